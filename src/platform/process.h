#pragma once

#include "status.h"
#include "toolkit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pxw::platform {

/// Answer of a zero time-out wait on a process that still runs.
inline constexpr int WaitTimeout = 258;
/// Answer once it has ended.
inline constexpr int WaitObject0 = 0;

/// A started process, watched until it ends.
class ProcessHandle {
public:
    virtual ~ProcessHandle() = default;
    /// WaitTimeout while the process runs, WaitObject0 once it has ended.
    virtual int waitZero() = 0;
    /// Exit status once ended (-1 when killed by a signal or still running).
    virtual int exitCode() const = 0;
    /// A descriptor that becomes readable when the process ends, or -1. Where its standard
    /// error is kept, also when it wrote some or closed it: a wake is then no proof of the end.
    virtual int readyFd() const = 0;
    /// What the process wrote to its standard error, as far as read by waitZero (its first
    /// MiB); empty where it is not kept.
    virtual std::string errorOutput() const = 0;
};

/// The shell-execute record of the waited launch.
struct ShellExecuteInfo {
    static constexpr std::uint32_t NoCloseProcess = 0x40;

    std::uint32_t cbSize = 60;
    std::uint32_t fMask = 0;
    WindowHandle hwnd = nullptr;
    std::string lpVerb;
    std::string lpFile; ///< Windows-style
    std::string lpParameters;
    std::string lpDirectory; ///< Windows-style
    int nShow = 0;
    /// "NAME=value" entries the program gets in its environment besides this program's own.
    std::vector<std::string> environment;
    /// Keep what the process writes to its standard error (with NoCloseProcess) for hProcess.
    bool keepErrorOutput = false;
    std::unique_ptr<ProcessHandle> hProcess; ///< set when fMask has NoCloseProcess
    std::string error; ///< why a launch failed, for the caller's message
};

/// Processes and the shell.
class Processes {
public:
    virtual ~Processes() = default;
    /// Starts lpFile with lpParameters split by the one command-line rule. Returns false (and
    /// fills info.error) when the program is missing or cannot be run. Never goes through a shell.
    virtual bool shellExecuteEx(ShellExecuteInfo& info) = 0;
    /// Starts a program from one command line without waiting; its first word names the program.
    /// A `show` other than 0 asks it for a visible window, as nShow does.
    virtual Status startDetached(const std::string& commandLine, int show) = 0;
    /// Starts `program` (a host command such as "xdg-open") with one argument, without waiting.
    virtual Status startOpener(const std::string& program, const std::string& argument) = 0;
    /// Hands a document, folder or address to the desktop's default handler. The result only
    /// says whether the handler could be started.
    virtual Status shellOpen(WindowHandle owner, const std::string& verb, const std::string& target,
        const std::string& parameters, const std::string& directory, int show)
        = 0;
    /// The folder that holds the program's executable, Windows-style, without trailing backslash.
    virtual std::string programFolder() = 0;
};

} // namespace pxw::platform
