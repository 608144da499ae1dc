#include "posix_processes.h"

#include "base/text.h"
#include "base/unique_fd.h"
#include "platform/image_tool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace pxw::platform {

using base::errorText;
using base::inQuotes;
using base::isPathSeparator;
using base::UniqueFd;

namespace {

bool hasDriveLetter(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

bool isNetworkPath(std::string_view path) {
    return path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]);
}

// "https://…", "file://…", "mailto:…"
bool hasScheme(std::string_view text) {
    if (base::startsWithIgnoringCase(text, "mailto:"))
        return true;
    const auto colon = text.find("://");
    if (colon == std::string_view::npos || colon == 0
        || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon),
        [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

// "www.pixelwain.example" or "www.pixelwain.example/page"
bool startsWithHostName(std::string_view text) {
    const std::string_view host = text.substr(0, text.find('/'));
    return host.find('.') != std::string_view::npos && host.front() != '.' && host.back() != '.'
        && std::all_of(host.begin(), host.end(),
            [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
}

std::optional<fs::path> findOnPath(const std::string& name) {
    const char* variable = std::getenv("PATH");
    const std::string searchPath = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = searchPath.find(':', start);
        std::string folder = searchPath.substr(start, end - start);
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        struct stat info { };
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)
            && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            return std::nullopt;
        start = end + 1;
    }
}

// Why `host` cannot be run, or nothing when it can.
std::optional<std::string> notRunnable(const fs::path& host) {
    const std::string where = " (" + host.string() + ")";
    struct stat info { };
    if (::stat(host.c_str(), &info) != 0) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR)
            return "not found" + where;
        return errorText(failure) + where;
    }
    if (S_ISDIR(info.st_mode))
        return "is a folder" + where;
    if (!S_ISREG(info.st_mode))
        return "is not a file" + where;
    if (::access(host.c_str(), X_OK) != 0)
        return "is not executable" + where;
    return std::nullopt;
}

// An album that opens on Windows too begins with an MZ header that is also the first line of a
// shell script (albumfile/album_program.h): the kernel does not run it, /bin/sh does.
bool isWindowsAndShellProgram(const fs::path& host) {
    static constexpr std::string_view firstLine = "MZqFpD='\n";
    char start[firstLine.size()] = {};
    UniqueFd file(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
    return file && ::read(file.get(), start, sizeof start) == static_cast<ssize_t>(sizeof start)
        && std::string_view(start, sizeof start) == firstLine;
}

enum class FailedStep : int { Session = 1, Folder, Exec, Fork };

struct ChildReport {
    int step = 0;
    int error = 0;
};

[[noreturn]] void reportAndExit(int statusFd, FailedStep step, int error) {
    const ChildReport report { static_cast<int>(step), error };
    [[maybe_unused]] ssize_t written = ::write(statusFd, &report, sizeof report);
    ::_exit(127);
}

// Everything the child needs, prepared before fork: between fork and exec only
// async-signal-safe calls are allowed, so nothing is allocated there.
class ExecPlan {
public:
    ExecPlan(fs::path program, std::vector<std::string> arguments, fs::path folder, int show,
        std::vector<std::string> extraEnvironment = {})
        : program_(std::move(program))
        , arguments_(std::move(arguments))
        , environment_(std::move(extraEnvironment))
        , folder_(std::move(folder)) {
        for (std::string& argument : arguments_)
            argv_.push_back(argument.data());
        argv_.push_back(nullptr);
        // This program's environment, with the show state and the extra entries of this
        // launch only.
        std::vector<std::string> replaced { std::string(image_tool::ShowStateVariable) + "=" };
        for (const std::string& entry : environment_)
            replaced.push_back(entry.substr(0, entry.find('=') + 1));
        if (show != 0)
            environment_.push_back(replaced.front() + std::to_string(show));
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view text(*entry);
            if (std::none_of(replaced.begin(), replaced.end(),
                    [&](const std::string& name) { return text.starts_with(name); }))
                environment_.emplace_back(*entry);
        }
        for (std::string& entry : environment_)
            envp_.push_back(entry.data());
        envp_.push_back(nullptr);
        struct rlimit limit { };
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            descriptorLimit_ = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
    }
    ExecPlan(const ExecPlan&) = delete;
    ExecPlan& operator=(const ExecPlan&) = delete;

    const fs::path& program() const { return program_; }
    const fs::path& folder() const { return folder_; }
    /// The program's standard error goes to `fd` instead of this program's.
    void sendErrorOutputTo(int fd) { errorOutputFd_ = fd; }

    [[noreturn]] void execInChild(int statusFd) const {
        // Dispositions that survive exec (ignored signals, the blocked mask) go back to
        // their defaults, so the program starts as if from a fresh login.
        struct sigaction byDefault { };
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &byDefault, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);

        if (::setsid() < 0)
            reportAndExit(statusFd, FailedStep::Session, errno);
        if (!folder_.empty() && ::chdir(folder_.c_str()) != 0)
            reportAndExit(statusFd, FailedStep::Folder, errno);
        if (errorOutputFd_ >= 0 && ::dup2(errorOutputFd_, STDERR_FILENO) < 0)
            reportAndExit(statusFd, FailedStep::Exec, errno);
        if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < descriptorLimit_; ++fd)
                ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        ::execve(program_.c_str(), argv_.data(), envp_.data());
        reportAndExit(statusFd, FailedStep::Exec, errno);
    }

private:
    fs::path program_;
    std::vector<std::string> arguments_;
    std::vector<char*> argv_;
    std::vector<std::string> environment_;
    std::vector<char*> envp_;
    fs::path folder_;
    int errorOutputFd_ = -1;
    int descriptorLimit_ = 65536;
};

std::optional<ChildReport> readChildReport(int fd) {
    ChildReport report;
    auto* bytes = reinterpret_cast<char*>(&report);
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t n = ::read(fd, bytes + got, sizeof report - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof report)
        return std::nullopt;
    return report;
}

void waitForExit(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
}

struct SpawnResult {
    pid_t pid = -1;
    std::string error;
};

// Starts the plan in its own session. A detached program is the child of an intermediate
// process that ends at once, so init adopts and reaps it. Failures up to and including
// exec come back through a close-on-exec pipe, which reads as empty once exec succeeded.
SpawnResult spawn(const ExecPlan& plan, bool detach) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return { -1, "cannot start a process: " + errorText(errno) };
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    const pid_t pid = ::fork();
    if (pid < 0)
        return { -1, "cannot start a process: " + errorText(errno) };
    if (pid == 0) {
        if (detach) {
            const pid_t grandchild = ::fork();
            if (grandchild < 0)
                reportAndExit(writeEnd.get(), FailedStep::Fork, errno);
            if (grandchild > 0)
                ::_exit(0);
        }
        plan.execInChild(writeEnd.get());
    }
    writeEnd.reset();
    const std::optional<ChildReport> report = readChildReport(readEnd.get());
    if (detach || report)
        waitForExit(pid);
    if (!report)
        return { detach ? 0 : pid, {} };

    const std::string reason = errorText(report->error);
    switch (static_cast<FailedStep>(report->step)) {
    case FailedStep::Session:
        return { -1, "cannot start a new session: " + reason };
    case FailedStep::Folder:
        return { -1, "cannot enter the working folder " + plan.folder().string() + ": " + reason };
    case FailedStep::Fork:
        return { -1, "cannot start a process: " + reason };
    case FailedStep::Exec:
    default:
        return { -1, "cannot run " + plan.program().string() + ": " + reason };
    }
}

// Children whose handle went while they still ran; reaped by later starts. Never destroyed,
// so a handle that outlives static destruction can still hand its child over.
struct AbandonedChildren {
    std::mutex lock;
    std::vector<pid_t> pids;
};

AbandonedChildren& abandonedChildren() {
    static auto* children = new AbandonedChildren;
    return *children;
}

// True once the child has ended and is reaped (or was reaped by someone else).
bool reapIfEnded(pid_t pid, int* exitCode) {
    siginfo_t info {};
    int result;
    do
        result = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG);
    while (result < 0 && errno == EINTR);
    if (result < 0) {
        if (exitCode)
            *exitCode = -1;
        return true;
    }
    if (info.si_pid == 0)
        return false;
    if (exitCode)
        *exitCode = info.si_code == CLD_EXITED ? info.si_status : -1;
    return true;
}

void reapAbandoned() {
    AbandonedChildren& children = abandonedChildren();
    std::lock_guard lock(children.lock);
    std::erase_if(children.pids, [](pid_t pid) { return reapIfEnded(pid, nullptr); });
}

void abandon(pid_t pid) {
    AbandonedChildren& children = abandonedChildren();
    std::lock_guard lock(children.lock);
    children.pids.push_back(pid);
}

// Where pidfd_open is missing (kernels before 5.3, some sandboxes), the end of a child is seen
// through SIGCHLD: the handler writes a byte into a pipe that the event pump watches. Installed
// once, kept for the life of the program; a handler that was there before still runs.
class ChildSignalPipe {
public:
    static ChildSignalPipe& instance() {
        static auto* pipe = new ChildSignalPipe; // never destroyed: the handler may still run
        return *pipe;
    }

    int readFd() const { return readFd_; }

    // A byte of our own, for a child that may have ended before the handler was in place.
    void kick() const { [[maybe_unused]] ssize_t n = ::write(writeFd_, "k", 1); }

    void drain() const {
        char bytes[64];
        while (::read(readFd_, bytes, sizeof bytes) > 0) { }
    }

private:
    ChildSignalPipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        readFd_ = ends[0];
        writeFd_ = ends[1];
        signalWriteFd = writeFd_;
        struct sigaction action { };
        action.sa_sigaction = onChildSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART | SA_NOCLDSTOP;
        ::sigaction(SIGCHLD, &action, &previousAction);
    }

    static void onChildSignal(int signal, siginfo_t* info, void* context) {
        const int savedErrno = errno;
        [[maybe_unused]] ssize_t n = ::write(signalWriteFd, "c", 1);
        errno = savedErrno;
        if (previousAction.sa_flags & SA_SIGINFO) {
            if (previousAction.sa_sigaction)
                previousAction.sa_sigaction(signal, info, context);
        } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
            previousAction.sa_handler(signal);
        }
    }

    static inline int signalWriteFd = -1;
    static inline struct sigaction previousAction { };
    int readFd_ = -1;
    int writeFd_ = -1;
};

class ChildHandle final : public ProcessHandle {
public:
    ChildHandle(pid_t pid, bool usePidFd)
        : pid_(pid) {
        if (usePidFd)
            pidfd_.reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
        if (pidfd_.get() < 0) {
            signalPipe_ = &ChildSignalPipe::instance();
            signalPipe_->kick();
        }
    }
    ChildHandle(const ChildHandle&) = delete;
    ChildHandle& operator=(const ChildHandle&) = delete;
    ~ChildHandle() override {
        if (!ended_ && !reapIfEnded(pid_, nullptr))
            abandon(pid_);
    }

    /// Keeps what the child writes to `readEnd` (its standard error). From now on readyFd()
    /// also wakes when there is something to read, so a full pipe never stalls the child
    /// while the caller sleeps.
    void collectErrorOutput(UniqueFd readEnd) {
        UniqueFd watcher(::epoll_create1(EPOLL_CLOEXEC));
        if (!watcher || ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) != 0)
            return;
        for (int fd : { endFd(), readEnd.get() }) {
            epoll_event event {};
            event.events = EPOLLIN;
            event.data.fd = fd;
            if (::epoll_ctl(watcher.get(), EPOLL_CTL_ADD, fd, &event) != 0)
                return;
        }
        errorPipe_ = std::move(readEnd);
        watcher_ = std::move(watcher);
    }

    int waitZero() override {
        readErrorOutput();
        // Emptied before the look, so an end after it leaves a byte that wakes the next wait.
        if (signalPipe_)
            signalPipe_->drain();
        if (!ended_) {
            ended_ = reapIfEnded(pid_, &exitCode_);
            if (ended_)
                readErrorOutput(); // what came between the first read and the end
        }
        return ended_ ? WaitObject0 : WaitTimeout;
    }
    int exitCode() const override { return ended_ ? exitCode_ : -1; }
    int readyFd() const override { return watcher_ ? watcher_.get() : endFd(); }
    std::string errorOutput() const override { return errorOutput_; }

private:
    static constexpr std::size_t MaxErrorOutput = 1 << 20;

    int endFd() const { return signalPipe_ ? signalPipe_->readFd() : pidfd_.get(); }

    // Reads what is there now; beyond the limit it is read and dropped.
    void readErrorOutput() {
        if (!errorPipe_)
            return;
        char bytes[4096];
        for (;;) {
            const ssize_t n = ::read(errorPipe_.get(), bytes, sizeof bytes);
            if (n > 0) {
                const std::size_t room
                    = MaxErrorOutput - std::min(MaxErrorOutput, errorOutput_.size());
                errorOutput_.append(bytes, std::min(room, static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0) { // every writer has gone
                ::epoll_ctl(watcher_.get(), EPOLL_CTL_DEL, errorPipe_.get(), nullptr);
                errorPipe_.reset();
            }
            return;
        }
    }

    pid_t pid_;
    UniqueFd pidfd_;
    UniqueFd errorPipe_;
    UniqueFd watcher_;
    std::string errorOutput_;
    const ChildSignalPipe* signalPipe_ = nullptr;
    bool ended_ = false;
    int exitCode_ = -1;
};

} // namespace

PosixProcesses::PosixProcesses(DriveMap drives, fs::path executable)
    : drives_(std::move(drives))
    , executable_(std::move(executable)) {
}

bool PosixProcesses::shellExecuteEx(ShellExecuteInfo& info) {
    reapAbandoned();
    info.hProcess.reset();
    info.error.clear();
    auto fail = [&](std::string reason) {
        info.error = "cannot start " + inQuotes(info.lpFile) + ": " + std::move(reason);
        return false;
    };

    std::string error;
    const std::optional<fs::path> program = drives_.toHost(info.lpFile, &error);
    if (!program)
        return fail(error);
    if (std::optional<std::string> reason = notRunnable(*program))
        return fail(*reason);

    fs::path folder;
    if (!info.lpDirectory.empty()) {
        const std::optional<fs::path> mapped = drives_.toHost(info.lpDirectory, &error);
        if (!mapped)
            return fail("working folder: " + error);
        std::error_code ec;
        if (!fs::is_directory(*mapped, ec))
            return fail("working folder " + inQuotes(info.lpDirectory) + " not found ("
                + mapped->string() + ")");
        folder = *mapped;
    }

    std::vector<std::string> arguments = splitCommandLine(info.lpParameters);
    arguments.insert(arguments.begin(), program->string());
    ExecPlan plan(*program, std::move(arguments), folder, info.nShow, info.environment);
    const bool watched = (info.fMask & ShellExecuteInfo::NoCloseProcess) != 0;
    // A watched program's standard error is kept for the caller: its reasons for a failure.
    UniqueFd errorRead;
    UniqueFd errorWrite;
    if (int ends[2]; watched && info.keepErrorOutput && ::pipe2(ends, O_CLOEXEC) == 0) {
        errorRead.reset(ends[0]);
        errorWrite.reset(ends[1]);
        plan.sendErrorOutputTo(errorWrite.get());
    }
    SpawnResult started = spawn(plan, !watched);
    errorWrite.reset();
    if (started.pid < 0)
        return fail(started.error);
    if (watched) {
        auto handle = std::make_unique<ChildHandle>(started.pid, !watchBySignal_);
        if (errorRead)
            handle->collectErrorOutput(std::move(errorRead));
        info.hProcess = std::move(handle);
    }
    return true;
}

Status PosixProcesses::startProgram(
    const std::string& program, std::vector<std::string> arguments, int show) {
    reapAbandoned();
    const std::string action = "cannot start " + inQuotes(program) + ": ";
    if (program.empty())
        return Status::failure("cannot start a program: no program named");

    fs::path host;
    std::string argv0 = program;
    if (hasDriveLetter(program) || program.find_first_of("\\/") != std::string::npos) {
        std::string error;
        const std::optional<fs::path> mapped = drives_.toHost(program, &error);
        if (!mapped)
            return Status::failure(action + error);
        host = *mapped;
        argv0 = host.string();
    } else if (std::optional<fs::path> found = findOnPath(program)) {
        host = *found;
    } else {
        return Status::failure(action + "not found on PATH");
    }
    if (std::optional<std::string> reason = notRunnable(host))
        return Status::failure(action + *reason);

    arguments.insert(arguments.begin(), std::move(argv0));
    if (isWindowsAndShellProgram(host)) {
        arguments.front() = host.string();
        arguments.insert(arguments.begin(), "/bin/sh");
        host = "/bin/sh";
    }
    const ExecPlan plan(host, std::move(arguments), {}, show);
    if (SpawnResult started = spawn(plan, true); started.pid < 0)
        return Status::failure(action + started.error);
    return Status::success();
}

Status PosixProcesses::startDetached(const std::string& commandLine, int show) {
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty())
        return Status::failure("cannot start a program: the command line is empty");
    const std::string program = std::move(words.front());
    words.erase(words.begin());
    return startProgram(program, std::move(words), show);
}

Status PosixProcesses::startOpener(const std::string& program, const std::string& argument) {
    std::string hostArgument = argument;
    if (hasDriveLetter(argument) || isNetworkPath(argument)) {
        std::string error;
        const std::optional<fs::path> mapped = drives_.toHost(argument, &error);
        if (!mapped)
            return Status::failure("cannot start " + inQuotes(program) + ": " + error);
        hostArgument = mapped->string();
    }
    return startProgram(program, { hostArgument });
}

Status PosixProcesses::shellOpen(WindowHandle, const std::string&, const std::string& target,
    const std::string&, const std::string& directory, int) {
    if (target.empty())
        return Status::failure("cannot open an empty target");
    std::string error;
    std::string opened = target;
    if (hasScheme(target)) {
        opened = target;
    } else if (hasDriveLetter(target) || isNetworkPath(target)) {
        const std::optional<fs::path> mapped = drives_.toHost(target, &error);
        if (!mapped)
            return Status::failure("cannot open " + inQuotes(target) + ": " + error);
        opened = mapped->string();
    } else {
        // Relative to the working folder, as the shell takes it; else an address.
        std::string relative = target;
        if (!directory.empty())
            relative = directory + (isPathSeparator(directory.back()) ? "" : "\\") + target;
        const std::optional<fs::path> mapped = drives_.toHost(relative, nullptr);
        std::error_code ec;
        const bool looksLikePath = target.find('\\') != std::string::npos;
        if (mapped && (looksLikePath || fs::exists(*mapped, ec)))
            opened = mapped->string();
        else if (startsWithHostName(target))
            opened = "http://" + target + (target.find('/') == std::string::npos ? "/" : "");
    }
    return startProgram("xdg-open", { opened });
}

void PosixProcesses::watchChildrenBySignal() {
    watchBySignal_ = true;
}

std::string PosixProcesses::programFolder() {
    std::error_code ec;
    const fs::path executable = fs::weakly_canonical(executable_, ec);
    if (ec || executable.empty())
        return {};
    std::string folder = drives_.toWindows(executable.parent_path());
    if (folder.size() > 1 && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

} // namespace pxw::platform
