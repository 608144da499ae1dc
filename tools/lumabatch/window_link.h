#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace pxw::lumabatch {

/// The progress window (lumaprogress), a separate program fed over a pipe: the tool itself
/// loads no GUI library. A window that cannot start, or goes away, is simply not fed; only
/// its Cancel stops the run.
class WindowLink {
public:
    /// Starts `program`; no value when it cannot be started. `onCancel` runs on a thread of
    /// its own when the user cancels or closes the window.
    static std::unique_ptr<WindowLink> start(const std::filesystem::path& program,
        const std::string& title, std::size_t total, std::function<void()> onCancel);
    WindowLink(const WindowLink&) = delete;
    WindowLink& operator=(const WindowLink&) = delete;
    /// Closes the window: ends its input and waits for it at most a second.
    ~WindowLink();

    void started(const std::string& name);
    void finished(std::size_t done);

private:
#ifdef _WIN32
    // On Windows the tool shows the window itself, on a thread of its own with its message loop
    // (window_link_win32.cpp); `program` is not used there.
    struct Window;
    explicit WindowLink(std::unique_ptr<Window> window);

    std::unique_ptr<Window> window_;
#else
    WindowLink(pid_t pid, int toWindow, int fromWindow, std::function<void()> onCancel);
    void send(const std::string& line);
    void listen();

    pid_t pid_;
    int toWindow_;
    int fromWindow_;
    std::function<void()> onCancel_;
    std::thread listener_;
#endif
};

/// The show state the program asked for (the launch's nShow), 0 when none. On Windows also
/// the start-up information's, when the variable is not set.
int requestedShowState();

/// True when a window can be shown here: a display is named, or Qt's platform is chosen
/// (always on Windows).
bool displayAvailable();

/// The progress window program beside the tool's own executable, when it is there; on
/// Windows the tool itself, which shows the window.
std::optional<std::filesystem::path> progressWindowProgram();

} // namespace pxw::lumabatch
