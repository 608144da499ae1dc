#include "reader_pool.h"

#include "reader_wire.h"
#include "sandbox_setup.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
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
// A reader's start-up (ImageMagick's can be slow) is no part of its first file's time.
constexpr std::chrono::seconds StartUpAllowance { 30 };
constexpr const char* DamagedReply = "the image reader sent a damaged reply";

// LeakSanitizer stops the process with ptrace, which the sandbox forbids.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif

// The environment of a reader: temporary files go to its private folder.
// A reader spends much of its time having fresh memory faulted in for each image (a large
// progressive JPEG's coefficients alone take ~100 MB), so its malloc backs large blocks with
// transparent huge pages, one fault where small pages take 512, and keeps a single arena that
// every image reuses. With a reader per core, each runs libvips on one thread: the other
// readers keep the cores busy, and fewer threads touch less fresh memory. A user's own
// settings of either come after ours and win.
std::vector<std::string> readerEnvironment(const fs::path& folder, bool readerPerCore) {
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

// A local stream socket pair: the tool's end, and the reader's end, which is not on the number
// it is moved to in the reader.
bool makeChannel(std::array<base::UniqueFd, 2>& ends) {
    std::array<int, 2> made {};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, made.data()) != 0)
        return false;
    ends[0].reset(made[0]);
    ends[1].reset(made[1]);
    if (made[1] == WorkerChannelFd)
        ends[1].reset(::fcntl(made[1], F_DUPFD_CLOEXEC, WorkerChannelFd + 1));
    return static_cast<bool>(ends[1]);
}

} // namespace

ProcessPool::ProcessPool(PoolSettings settings, ConvertSettings convert)
    : settings_(std::move(settings))
    , convert_(convert)
    , readers_(std::max(settings_.readers, 1U)) {
}

ProcessPool::~ProcessPool() {
    endAll();
}

std::optional<Program> ProcessPool::program(std::size_t slot) const {
    const Reader& reader = readers_[slot];
    return reader.pid < 0 ? std::nullopt : std::optional(reader.program);
}

pid_t ProcessPool::spawnReader(
    const std::string& name, const std::string& mode, const fs::path& folder, int channelEnd) {
    std::vector<std::string> environment = readerEnvironment(folder, readers_.size() > 1);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = (settings_.readerFolder / name).string();
    std::string arg0 = name;
    std::string arg1 = mode;
    std::string place = folder.string();
    std::string parent = std::to_string(::getpid());
    std::string modules = WithoutModulesArgument;
    std::array<char*, 6> argv { arg0.data(), arg1.data(), place.data(), parent.data(),
        settings_.modulesNeeded ? nullptr : modules.data(), nullptr };

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

pid_t ProcessPool::forkReader(int channelEnd) {
    if (starterPid_ < 0 && !starterFailed_) {
        std::array<base::UniqueFd, 2> ends;
        if (makeChannel(ends)) {
            starterPid_ = spawnReader(
                "lumabatch-reader", WorkerStarterArgument, settings_.folder, ends[1].get());
            starterChannel_ = std::move(ends[0]);
        }
        starterFailed_ = starterPid_ < 0;
    }
    if (starterFailed_)
        return -1;
    std::string received;
    DecodedReply decoded;
    if (sendRequest(starterChannel_.get(), {}, channelEnd)) {
        // The first reply waits for the starter's own start-up.
        const auto until = Clock::now() + StartUpAllowance;
        std::array<char, 64> buffer {};
        pollfd watched { starterChannel_.get(), POLLIN, 0 };
        while (decoded.kind == DecodedReply::Kind::Incomplete && Clock::now() < until
            && ::poll(&watched, 1, PollMs) >= 0) {
            if (watched.revents == 0)
                continue;
            const ssize_t got = ::read(starterChannel_.get(), buffer.data(), buffer.size());
            if (got == 0 || (got < 0 && errno != EINTR))
                break;
            received.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            decoded = takeReply(received, { 0, true });
        }
    }
    const pid_t pid = decoded.kind == DecodedReply::Kind::Reply
        ? static_cast<pid_t>(std::atol(decoded.reply.message.c_str()))
        : 0;
    if (pid <= 0) {
        // Readers are started one by one from here on.
        ::kill(starterPid_, SIGKILL);
        endStarter();
        starterFailed_ = true;
        return -1;
    }
    return pid;
}

void ProcessPool::endStarter() {
    if (starterPid_ < 0)
        return;
    // With its channel closed, the starter waits for the readers it forked (ended by now) and
    // ends.
    starterChannel_.reset();
    reap(starterPid_);
}

bool ProcessPool::start(Reader& reader, Program program) {
    std::array<base::UniqueFd, 2> ends;
    if (settings_.folder.empty() || !makeChannel(ends))
        return false;
    // libvips readers are forked by the starter; any other reader, or a libvips one when the
    // starter cannot be had, is a program started of its own.
    pid_t pid = program == Program::Vips ? forkReader(ends[1].get()) : -1;
    std::error_code ec;
    if (pid > 0) {
        reader.folder = settings_.folder / ("reader-" + std::to_string(pid));
    } else {
        reader.folder = settings_.folder / ("own-reader-" + std::to_string(++started_));
        fs::create_directory(reader.folder, ec);
        ::chmod(reader.folder.c_str(), 0700);
        handToReaderUser(reader.folder);
        static constexpr const char* Names[]
            = { "lumabatch-jpeg-reader", "lumabatch-reader", "lumabatch-magick-reader" };
        pid = spawnReader(
            Names[static_cast<int>(program)], WorkerArgument, reader.folder, ends[1].get());
    }
    if (pid < 0) {
        fs::remove_all(reader.folder, ec);
        return false;
    }
    reader.pid = pid;
    reader.program = program;
    reader.channel = std::move(ends[0]);
    reader.received.clear();
    reader.ready = false;
    reader.busy = false;
    return true;
}

void ProcessPool::end(Reader& reader) {
    reader.busy = false;
    if (reader.pid < 0)
        return;
    ::kill(reader.pid, SIGKILL);
    reap(reader.pid);
    reader.channel.reset();
    std::error_code ec;
    fs::remove_all(reader.folder, ec);
}

void ProcessPool::endAll() {
    for (Reader& reader : readers_)
        end(reader);
    endStarter();
}

bool ProcessPool::handOver(std::size_t slot, const Task& task, int fd, std::uint64_t jpegLimit) {
    Reader& reader = readers_[slot];
    if (reader.pid >= 0 && reader.program != task.program)
        end(reader);
    if (reader.pid < 0 && !start(reader, task.program))
        return false;
    // A reader gone before it got the file shows as a closed channel later.
    sendRequest(reader.channel.get(), { convert_, task.magickFormat }, fd);
    reader.busy = true;
    reader.jpegLimit = jpegLimit;
    reader.handedOver = Clock::now();
    reader.allowance = reader.ready ? Clock::duration() : StartUpAllowance;
    return true;
}

std::optional<ReaderPool::Report> ProcessPool::read(Reader& reader) {
    const std::size_t slot = static_cast<std::size_t>(&reader - readers_.data());
    std::array<char, 1 << 16> buffer {};
    const ssize_t got = ::read(reader.channel.get(), buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return std::nullopt;
    if (got <= 0) {
        // A signal, or a sanitizer's report: either way the reader broke down on this file,
        // unless it never got as far as reading it.
        const bool busy = reader.busy;
        const bool ready = reader.ready;
        end(reader);
        if (!busy)
            return std::nullopt;
        return Report { slot, ready ? Outcome::Crashed : Outcome::NotStarted, {} };
    }
    reader.received.append(buffer.data(), static_cast<std::size_t>(got));
    for (;;) {
        DecodedReply decoded
            = takeReply(reader.received, { reader.busy ? reader.jpegLimit : 0, !reader.ready });
        if (decoded.kind == DecodedReply::Kind::Incomplete)
            return std::nullopt;
        const bool busy = reader.busy;
        if (decoded.kind == DecodedReply::Kind::Damaged
            || (!busy && decoded.reply.outcome != WorkerOutcome::Ready)) {
            end(reader);
            return busy ? std::optional(Report { slot, Outcome::Stopped, DamagedReply })
                        : std::nullopt;
        }
        if (decoded.reply.outcome == WorkerOutcome::Ready) {
            // The file's clock runs from its hand-over; the start-up only uses up the allowance.
            reader.ready = true;
            reader.allowance = std::min(reader.allowance, Clock::now() - reader.handedOver);
            continue;
        }
        reader.busy = false;
        // A reply for no file is against the rules: the reader is not trusted with another.
        if (!reader.received.empty())
            end(reader);
        static constexpr Outcome Outcomes[]
            = { Outcome::Failed, Outcome::Converted, Outcome::Unsupported, Outcome::Failed };
        return Report { slot, Outcomes[static_cast<int>(decoded.reply.outcome)],
            std::move(decoded.reply.message) };
    }
}

std::optional<ReaderPool::Report> ProcessPool::checkLimits(Reader& reader) {
    if (!reader.busy)
        return std::nullopt;
    const std::size_t slot = static_cast<std::size_t>(&reader - readers_.data());
    if (Clock::now() - reader.handedOver > settings_.timeLimit + reader.allowance) {
        end(reader);
        return Report { slot, Outcome::Stopped,
            "took longer than " + std::to_string(settings_.timeLimit.count()) + " s" };
    }
    if (settings_.memoryLimit > 0 && residentBytes(reader.pid) > settings_.memoryLimit) {
        end(reader);
        return Report { slot, Outcome::Stopped,
            "needed more than " + std::to_string(settings_.memoryLimit / MiB) + " MB of memory" };
    }
    return std::nullopt;
}

std::vector<ReaderPool::Report> ProcessPool::wait() {
    // Idle readers are watched too: anything but their "ready" is against the rules.
    std::vector<pollfd> watched;
    std::vector<Reader*> live;
    for (Reader& reader : readers_) {
        if (reader.pid >= 0) {
            watched.push_back({ reader.channel.get(), POLLIN, 0 });
            live.push_back(&reader);
        }
    }
    std::vector<Report> reports;
    if (::poll(watched.data(), watched.size(), PollMs) < 0 && errno != EINTR)
        return reports;
    for (std::size_t i = 0; i < live.size(); ++i) {
        std::optional<Report> report;
        if (watched[i].revents != 0)
            report = read(*live[i]);
        if (!report && live[i]->pid >= 0)
            report = checkLimits(*live[i]);
        if (report)
            reports.push_back(std::move(*report));
    }
    return reports;
}

} // namespace pxw::lumabatch
