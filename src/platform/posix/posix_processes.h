#pragma once

#include "platform/process.h"
#include "platform/windows_path.h"

#include <filesystem>

namespace pxw::platform {

/// Processes and the shell on a Linux host. Programs are started with fork and exec, never
/// through a shell, each in its own session so that ending this program never ends them. They
/// inherit only descriptors 0, 1 and 2.
///
/// A started program whose handle is dropped while it still runs is reaped by a later start;
/// programs started without a handle are handed to init at once (double fork), so neither
/// leaves zombies behind.
class PosixProcesses final : public Processes {
public:
    /// `executable` is the program's own file, whose folder programFolder() reports.
    explicit PosixProcesses(DriveMap drives, std::filesystem::path executable = "/proc/self/exe");

    /// lpFile and lpDirectory are Windows-style paths; lpVerb has no effect here. An nShow
    /// other than 0 reaches the program in the environment (image_tool::ShowStateVariable).
    /// With NoCloseProcess in fMask, hProcess watches the process; its end never kills it.
    bool shellExecuteEx(ShellExecuteInfo& info) override;
    /// The first word is a Windows-style path, or a bare name looked up on PATH.
    Status startDetached(const std::string& commandLine, int show) override;
    /// `argument` is passed as one word; with a drive letter it is mapped to a host path.
    Status startOpener(const std::string& program, const std::string& argument) override;
    /// Runs xdg-open on the host path of `target`, or on an address: a URL as given, a bare
    /// host name as "http://<host>/". A relative path is taken from `directory`.
    Status shellOpen(WindowHandle owner, const std::string& verb, const std::string& target,
        const std::string& parameters, const std::string& directory, int show) override;
    /// Empty when the executable's path cannot be read.
    std::string programFolder() override;

    /// Watches waited programs through SIGCHLD and a pipe, as is done anyway where pidfd_open
    /// is missing; for tests and measurements of that way.
    void watchChildrenBySignal();

private:
    Status startProgram(
        const std::string& program, std::vector<std::string> arguments, int show = 0);

    DriveMap drives_;
    std::filesystem::path executable_;
    bool watchBySignal_ = false;
};

} // namespace pxw::platform
