// Starts a program, waits until it maps a window whose title holds TITLE on $DISPLAY, and
// prints how long that took and the program's peak memory; with --keys N it first presses the
// Right arrow key N times in that window, each time waiting until the title changes.
//
//   pxw-album-start [--keys N] TITLE COMMAND [ARGUMENT...]
//
// Exits 0 once the window showed (the program is then ended), 1 when it did not within 20 s.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto limit = std::chrono::seconds(20);

std::string windowTitle(Display* display, Window window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) && name)
        title = name;
    if (name)
        XFree(name);
    return title;
}

// Waits for the next X event, or for the program to end; false when neither came in time.
bool nextEvent(Display* display, int pidFd, Clock::time_point deadline, XEvent& event) {
    while (!XPending(display)) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready[] = { { ConnectionNumber(display), POLLIN, 0 }, { pidFd, POLLIN, 0 } };
        if (left.count() <= 0 || ::poll(ready, 2, static_cast<int>(left.count())) <= 0
            || (ready[1].revents & POLLIN))
            return false;
    }
    XNextEvent(display, &event);
    return true;
}

long peakKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    int keys = 0, first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--keys") == 0) {
        keys = std::atoi(argv[2]);
        first = 3;
    }
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: pxw-album-start [--keys N] TITLE COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const std::string wanted = argv[first];
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pxw-album-start: cannot open the display\n");
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[first + 1], nullptr, nullptr, argv + first + 1, environ) != 0) {
        std::fprintf(stderr, "pxw-album-start: cannot start %s\n", argv[first + 1]);
        return 2;
    }
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const auto deadline = start + limit;
    Window shown = 0;
    XEvent event;
    while (!shown && nextEvent(display, pidFd, deadline, event)) {
        if (event.type == MapNotify
            && windowTitle(display, event.xmap.window).find(wanted) != std::string::npos)
            shown = event.xmap.window;
    }
    const double milliseconds
        = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    int result = 1;
    if (shown) {
        std::printf(
            "window shown after %.1f ms, peak memory %ld kB\n", milliseconds, peakKilobytes(pid));
        XSelectInput(display, shown, PropertyChangeMask);
        int pressed = 0;
        for (; pressed < keys; ++pressed) {
            XKeyEvent key {};
            key.type = KeyPress;
            key.display = display;
            key.window = shown;
            key.root = DefaultRootWindow(display);
            key.same_screen = True;
            key.keycode = XKeysymToKeycode(display, XK_Right);
            XSendEvent(display, shown, True, KeyPressMask, reinterpret_cast<XEvent*>(&key));
            bool changed = false;
            while (!changed && nextEvent(display, pidFd, deadline, event))
                changed = event.type == PropertyNotify && event.xproperty.atom == XA_WM_NAME;
            if (!changed)
                break;
        }
        if (keys > 0)
            std::printf("after %d of %d images, peak memory %ld kB, title \"%s\"\n", pressed + 1,
                keys + 1, peakKilobytes(pid), windowTitle(display, shown).c_str());
        result = pressed == keys ? 0 : 1;
    } else {
        std::fprintf(stderr, "pxw-album-start: no window titled \"%s\" within %lld s\n",
            wanted.c_str(), static_cast<long long>(limit.count()));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    XCloseDisplay(display);
    return result;
}
