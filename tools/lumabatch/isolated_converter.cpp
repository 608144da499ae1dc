#include "isolated_converter.h"

#include "base/text.h"
#include "base/unique_fd.h"
#include "sandbox.h"
#include "worker_channel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace pxw::lumabatch {

namespace {

constexpr int PollMs = 100; // how often limits and a stop request are looked at
constexpr std::uint64_t MiB = std::uint64_t { 1024 } * 1024;
constexpr std::chrono::seconds StartUpAllowance { 30 };

// LeakSanitizer stops the process with ptrace, which the sandbox forbids.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif

// The environment of a worker: temporary files go to its private folder.
// A reader spends much of its time having fresh memory faulted in for each image (a large
// progressive JPEG's coefficients alone take ~100 MB), so its malloc backs large blocks with
// transparent huge pages, one fault where small pages take 512, and keeps a single arena that
// every image reuses. With a reader per core, each runs libvips on one thread: the other
// readers keep the cores busy, and fewer threads touch less fresh memory. A user's own
// settings of either come after ours and win.
std::vector<std::string> workerEnvironment(const fs::path& folder, bool readerPerCore) {
    std::vector<std::string> environment;
    std::string sanitizer = "ASAN_OPTIONS=";
    std::string tunables = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1";
    bool ownConcurrency = false;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text = *entry;
        if (!passedToReaders(text) || text.starts_with("TMPDIR=")
            || text.starts_with("MAGICK_TEMPORARY_PATH="))
            continue;
        if (UnderAddressSanitizer && text.starts_with(sanitizer)) {
            sanitizer = std::string(text) + ":";
            continue;
        }
        if (text.starts_with("GLIBC_TUNABLES=")) {
            tunables += ":" + std::string(text.substr(text.find('=') + 1));
            continue;
        }
        ownConcurrency = ownConcurrency || text.starts_with("VIPS_CONCURRENCY=");
        environment.emplace_back(text);
    }
    environment.push_back(tunables);
    if (readerPerCore && !ownConcurrency)
        environment.push_back("VIPS_CONCURRENCY=1");
    environment.push_back("TMPDIR=" + folder.string());
    environment.push_back("MAGICK_TEMPORARY_PATH=" + folder.string());
    if (UnderAddressSanitizer)
        environment.push_back(sanitizer + "detect_leaks=0");
    return environment;
}

std::uint64_t residentBytes(pid_t pid) {
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Waits for the ended child `pid` and marks it gone.
void reap(pid_t& pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
    pid = -1;
}

} // namespace

IsolatedConverter::IsolatedConverter(IsolationSettings isolation, ConvertSettings settings)
    : isolation_(std::move(isolation))
    , settings_(settings)
    , workers_(std::max(isolation_.workers, 1U)) {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern
        = (fs::path(temporary && *temporary ? temporary : "/tmp") / "lumabatch-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        folder_ = pattern;
    handToReaderUser(folder_);
}

IsolatedConverter::~IsolatedConverter() {
    for (Worker& worker : workers_)
        endWorker(worker);
    endStarter();
    std::error_code ec;
    if (!folder_.empty())
        fs::remove_all(folder_, ec);
}

std::uint64_t IsolatedConverter::defaultMemoryLimit(unsigned workers) {
    const auto physical = static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES))
        * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return std::clamp<std::uint64_t>(physical / 2 / std::max(workers, 1U), 1024 * MiB, 4096 * MiB);
}

// A local stream socket pair: the tool's end, and the worker's end, which is not on the number
// it is moved to in the worker.
bool IsolatedConverter::makeChannel(std::array<base::UniqueFd, 2>& ends) {
    std::array<int, 2> made {};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, made.data()) != 0)
        return false;
    ends[0].reset(made[0]);
    ends[1].reset(made[1]);
    if (made[1] == WorkerChannelFd)
        ends[1].reset(::fcntl(made[1], F_DUPFD_CLOEXEC, WorkerChannelFd + 1));
    return static_cast<bool>(ends[1]);
}

pid_t IsolatedConverter::spawnReader(
    const std::string& name, const std::string& mode, const fs::path& folder, int channelEnd) {
    std::vector<std::string> environment = workerEnvironment(folder, workers_.size() > 1);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = (isolation_.readerFolder / name).string();
    std::string arg0 = name;
    std::string arg1 = mode;
    std::string place = folder.string();
    std::string parent = std::to_string(::getpid());
    std::string modules = WithoutModulesArgument;
    std::array<char*, 6> argv { arg0.data(), arg1.data(), place.data(), parent.data(),
        modulesNeeded_ ? nullptr : modules.data(), nullptr };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channelEnd, WorkerChannelFd);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed
        = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

pid_t IsolatedConverter::forkWorker(int channelEnd) {
    if (starterPid_ < 0 && !starterFailed_) {
        std::array<base::UniqueFd, 2> ends;
        if (makeChannel(ends)) {
            starterPid_
                = spawnReader("lumabatch-reader", WorkerStarterArgument, folder_, ends[1].get());
            starterChannel_ = std::move(ends[0]);
        }
        starterFailed_ = starterPid_ < 0;
    }
    if (starterFailed_)
        return -1;
    std::string received;
    std::optional<WorkerReply> reply;
    if (sendRequest(starterChannel_.get(), {}, channelEnd)) {
        // The first reply waits for the starter's own start-up.
        const auto until = Clock::now() + StartUpAllowance;
        std::array<char, 64> buffer {};
        pollfd watched { starterChannel_.get(), POLLIN, 0 };
        while (!reply && Clock::now() < until && ::poll(&watched, 1, PollMs) >= 0) {
            if (watched.revents == 0)
                continue;
            const ssize_t got = ::read(starterChannel_.get(), buffer.data(), buffer.size());
            if (got == 0 || (got < 0 && errno != EINTR))
                break;
            received.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            reply = takeReply(received);
        }
    }
    const pid_t pid = reply ? static_cast<pid_t>(std::atol(reply->message.c_str())) : 0;
    if (pid <= 0) {
        // Workers are started one by one from here on.
        ::kill(starterPid_, SIGKILL);
        endStarter();
        starterFailed_ = true;
        return -1;
    }
    return pid;
}

void IsolatedConverter::endStarter() {
    if (starterPid_ < 0)
        return;
    // With its channel closed, the starter waits for the workers it forked (ended by now) and
    // ends.
    starterChannel_.reset();
    reap(starterPid_);
}

IsolatedConverter::Program IsolatedConverter::programFor(const Task& task) {
    if (task.byJpegReader)
        return Program::Jpeg;
    return needsMagick(task.magickFormat) ? Program::Magick : Program::Vips;
}

bool IsolatedConverter::startWorker(Worker& worker, Program program) {
    std::array<base::UniqueFd, 2> ends;
    if (folder_.empty() || !makeChannel(ends))
        return false;
    // libvips workers are forked by the starter; any other worker, or a libvips one when the
    // starter cannot be had, is a program started of its own.
    pid_t pid = program == Program::Vips ? forkWorker(ends[1].get()) : -1;
    std::error_code ec;
    if (pid > 0) {
        worker.folder = folder_ / ("reader-" + std::to_string(pid));
    } else {
        worker.folder = folder_ / ("own-reader-" + std::to_string(++workersStarted_));
        fs::create_directory(worker.folder, ec);
        ::chmod(worker.folder.c_str(), 0700);
        handToReaderUser(worker.folder);
        static constexpr const char* Names[]
            = { "lumabatch-jpeg-reader", "lumabatch-reader", "lumabatch-magick-reader" };
        pid = spawnReader(
            Names[static_cast<int>(program)], WorkerArgument, worker.folder, ends[1].get());
    }
    if (pid < 0) {
        fs::remove_all(worker.folder, ec);
        return false;
    }
    worker.pid = pid;
    worker.program = program;
    worker.channel = std::move(ends[0]);
    worker.received.clear();
    worker.ready = false;
    return true;
}

void IsolatedConverter::endWorker(Worker& worker) {
    if (worker.pid < 0)
        return;
    ::kill(worker.pid, SIGKILL);
    reap(worker.pid);
    worker.channel.reset();
    std::error_code ec;
    fs::remove_all(worker.folder, ec);
}

void IsolatedConverter::finish(const Task& task, ConvertResult result) {
    results_.emplace_back(task.index, std::move(result));
}

void IsolatedConverter::reportFinished() {
    for (auto& [index, result] : results_)
        (*finished_)(index, std::move(result));
    results_.clear();
}

void IsolatedConverter::assign(Worker& worker, Task task) {
    const fs::path& source = (*sources_)[task.index];
    if (task.firstReason.empty())
        (*started_)(task.index);
    const base::UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        finish(task, { false, {}, "cannot open the file: " + base::errorText(errno), {} });
        return;
    }
    // A libvips worker reads JPEG files too, and one with ImageMagick reads everything; the
    // JPEG reader only its own.
    if (worker.pid >= 0 && worker.program < programFor(task))
        endWorker(worker);
    if (worker.pid < 0 && !startWorker(worker, programFor(task))) {
        // Without the JPEG reader, libvips reads its files.
        task.byJpegReader = false;
        if (!startWorker(worker, programFor(task))) {
            finish(task, { false, {}, "the image reader could not be started", {} });
            return;
        }
    }
    task.byJpegReader = worker.program == Program::Jpeg;
    WorkerRequest request { settings_, task.magickFormat };
    // A worker gone before it got the file shows as a closed channel below.
    sendRequest(worker.channel.get(), request, fd.get());
    task.since = Clock::now();
    worker.task = std::move(task);
}

void IsolatedConverter::handToLibvips(Task task) {
    task.byJpegReader = false;
    queue_.push_front(std::move(task));
}

void IsolatedConverter::lose(Worker& worker, const std::string& reason, bool crashed) {
    Task task = std::move(*worker.task);
    worker.task.reset();
    endWorker(worker);
    const std::string second = secondReaderFormat((*sources_)[task.index]);
    if (crashed && task.magickFormat.empty() && !second.empty()) {
        task.magickFormat = second;
        task.firstReason = reason;
        queue_.push_front(std::move(task));
        return;
    }
    std::string why
        = task.firstReason.empty() ? reason : task.firstReason + "; the second reader: " + reason;
    finish(task, { false, {}, std::move(why), {} });
}

void IsolatedConverter::readReply(Worker& worker) {
    std::array<char, 1 << 16> buffer {};
    const ssize_t got = ::read(worker.channel.get(), buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        reap(worker.pid);
        worker.channel.reset();
        std::error_code ec;
        fs::remove_all(worker.folder, ec);
        if (worker.task && worker.task->byJpegReader) {
            handToLibvips(std::move(*worker.task));
            worker.task.reset();
            return;
        }
        // A signal, or a sanitizer's report: either way the reader broke down on this file,
        // unless it never got as far as reading it.
        lose(worker,
            worker.ready ? "the image reader crashed on this file"
                         : "the image reader could not start",
            worker.ready);
        return;
    }
    worker.received.append(buffer.data(), static_cast<std::size_t>(got));
    while (std::optional<WorkerReply> reply = takeReply(worker.received))
        handleReply(worker, std::move(*reply));
}

void IsolatedConverter::handleReply(Worker& worker, WorkerReply reply) {
    if (reply.outcome == WorkerOutcome::Ready) {
        // Starting up is no part of a file's time.
        worker.ready = true;
        if (worker.task)
            worker.task->since = Clock::now();
        return;
    }
    if (!worker.task)
        return;
    Task task = std::move(*worker.task);
    worker.task.reset();
    if (task.byJpegReader && reply.outcome != WorkerOutcome::Converted) {
        handToLibvips(std::move(task));
        return;
    }
    const std::string second = secondReaderFormat((*sources_)[task.index]);
    switch (reply.outcome) {
    case WorkerOutcome::Converted:
        finish(task,
            { true, std::move(reply.message), {},
                task.firstReason.empty() ? std::string()
                                         : task.firstReason + "; read by the second reader" });
        return;
    case WorkerOutcome::Unsupported:
        if (task.magickFormat.empty() && !second.empty()) {
            task.magickFormat = second;
            task.firstReason = reply.message;
            queue_.push_front(std::move(task));
            return;
        }
        break;
    case WorkerOutcome::Failed:
    case WorkerOutcome::Ready:
        break;
    }
    finish(task,
        { false, {},
            task.firstReason.empty() ? reply.message
                                     : task.firstReason + "; the second reader: " + reply.message,
            {} });
}

void IsolatedConverter::checkLimits(Worker& worker) {
    if (!worker.task)
        return;
    // A worker that never gets ready is given up too, later.
    const auto limit = isolation_.timeLimit + (worker.ready ? Clock::duration() : StartUpAllowance);
    if (Clock::now() - worker.task->since > limit) {
        lose(worker, "took longer than " + std::to_string(isolation_.timeLimit.count()) + " s",
            false);
        return;
    }
    if (isolation_.memoryLimit > 0 && residentBytes(worker.pid) > isolation_.memoryLimit)
        lose(worker,
            "needed more than " + std::to_string(isolation_.memoryLimit / MiB) + " MB of memory",
            false);
}

std::optional<IsolatedConverter::Task> IsolatedConverter::takeTask() {
    // Two heavy reads at once would double the batch's peak of memory.
    const bool heavyInFlight = std::any_of(workers_.begin(), workers_.end(),
        [](const Worker& worker) { return worker.task && worker.task->heavy; });
    const auto next = std::find_if(queue_.begin(), queue_.end(),
        [heavyInFlight](const Task& task) { return !heavyInFlight || !task.heavy; });
    if (next == queue_.end())
        return std::nullopt;
    Task task = std::move(*next);
    queue_.erase(next);
    return task;
}

void IsolatedConverter::run(const std::vector<fs::path>& sources,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished,
    const std::atomic<bool>& stop) {
    sources_ = &sources;
    started_ = &started;
    finished_ = &finished;
    modulesNeeded_ = false;
    // The JPEG reader writes the resolution asked for; keeping the source's is libvips' work.
    const bool jpegReaderFits = settings_.dpiHorizontal && settings_.dpiVertical;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Reader reader = readerFor(sources[i]);
        const bool byJpegReader
            = jpegReaderFits && reader == Reader::Vips && readByJpegReader(sources[i]);
        queue_.push_back({ i, byJpegReader, magickFormatFor(reader), {},
            readsWholeImageAtOnce(sources[i]), {} });
        // The second readers (libtiff, ImageMagick) need no module of libvips either.
        if (reader == Reader::Vips && !modulesNeeded_ && !readByLibvipsItself(sources[i]))
            modulesNeeded_ = true;
    }
    // Start every worker at once: they get ready side by side.
    for (std::size_t i = 0; i < std::min(workers_.size(), queue_.size()); ++i)
        startWorker(workers_[i], programFor(queue_[i]));

    std::vector<pollfd> watched;
    std::vector<Worker*> busy;
    while (!stop) {
        for (Worker& worker : workers_) {
            while (!worker.task && !stop) {
                std::optional<Task> task = takeTask();
                if (!task)
                    break;
                assign(worker, std::move(*task));
            }
        }
        reportFinished();
        watched.clear();
        busy.clear();
        for (Worker& worker : workers_) {
            if (worker.task) {
                watched.push_back({ worker.channel.get(), POLLIN, 0 });
                busy.push_back(&worker);
            }
        }
        if (busy.empty() && queue_.empty())
            break;
        if (::poll(watched.data(), watched.size(), PollMs) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < busy.size(); ++i) {
            if (watched[i].revents != 0)
                readReply(*busy[i]);
            checkLimits(*busy[i]);
        }
    }
    // Stopped: what is in flight is abandoned with its worker; what is done is reported.
    for (Worker& worker : workers_) {
        worker.task.reset();
        endWorker(worker);
    }
    reportFinished();
}

} // namespace pxw::lumabatch
