#include "window_link.h"

#include "base/text.h"
#include "platform/image_tool.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

constexpr int CloseWaitMs = 1000;
constexpr const char* ProgramNames[] = { "lumaprogress.exe", "lumaprogress" };

bool hasValue(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Ends the window if it has not ended within the wait, then reaps it.
void awaitEnd(pid_t pid, int waitMs) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd ready { pidfd, POLLIN, 0 };
        int result;
        do
            result = ::poll(&ready, 1, waitMs);
        while (result < 0 && errno == EINTR);
        if (result == 0)
            ::kill(pid, SIGKILL);
        ::close(pidfd);
    } else {
        ::kill(pid, SIGKILL);
    }
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
}

} // namespace

int requestedShowState() {
    const char* value = std::getenv(platform::image_tool::ShowStateVariable);
    return value ? std::atoi(value) : 0;
}

bool displayAvailable() {
    return hasValue("DISPLAY") || hasValue("WAYLAND_DISPLAY") || hasValue("QT_QPA_PLATFORM");
}

std::optional<fs::path> progressWindowProgram() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    for (const char* name : ProgramNames) {
        fs::path candidate = self.parent_path() / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

std::unique_ptr<WindowLink> WindowLink::start(const fs::path& program, const std::string& title,
    std::size_t total, std::function<void()> onCancel) {
    std::array<int, 2> toWindow {};
    std::array<int, 2> fromWindow {};
    if (::pipe2(toWindow.data(), O_CLOEXEC) != 0)
        return nullptr;
    if (::pipe2(fromWindow.data(), O_CLOEXEC) != 0) {
        ::close(toWindow[0]);
        ::close(toWindow[1]);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toWindow[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromWindow[1], STDOUT_FILENO);
    // Qt's complaints about the display are no message of the tool's.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string programText = program.string();
    std::array<char*, 2> argv { programText.data(), nullptr };
    pid_t pid = -1;
    const int failed
        = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toWindow[0]);
    ::close(fromWindow[1]);
    if (failed != 0) {
        ::close(toWindow[1]);
        ::close(fromWindow[0]);
        return nullptr;
    }
    std::unique_ptr<WindowLink> link(
        new WindowLink(pid, toWindow[1], fromWindow[0], std::move(onCancel)));
    link->send("title " + title);
    link->send("total " + std::to_string(total));
    return link;
}

WindowLink::WindowLink(pid_t pid, int toWindow, int fromWindow, std::function<void()> onCancel)
    : pid_(pid)
    , toWindow_(toWindow)
    , fromWindow_(fromWindow)
    , onCancel_(std::move(onCancel))
    , listener_([this] { listen(); }) {
}

WindowLink::~WindowLink() {
    ::close(toWindow_);
    awaitEnd(pid_, CloseWaitMs);
    listener_.join();
    ::close(fromWindow_);
}

void WindowLink::started(const std::string& name) {
    send("file " + name);
}

void WindowLink::finished(std::size_t done) {
    send("done " + std::to_string(done));
}

void WindowLink::send(const std::string& line) {
    // Names with line breaks would split a message; every other control is harmless here,
    // but is shown escaped all the same.
    std::string text = base::printable(line) + '\n';
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(toWindow_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the window has gone: the run goes on without it
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void WindowLink::listen() {
    std::string received;
    std::array<char, 256> buffer {};
    for (;;) {
        const ssize_t got = ::read(fromWindow_, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        received.append(buffer.data(), static_cast<std::size_t>(got));
        if (received.find("cancel\n") != std::string::npos) {
            onCancel_();
            return;
        }
    }
}

} // namespace pxw::lumabatch
