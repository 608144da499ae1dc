#pragma once

#include "platform/process.h"

#include <functional>
#include <windows.h>

namespace pxw::platform::win32 {

/// The window a handle of the model stands for; nullptr when it is not shown. The view
/// provides it, so that this layer does not depend on the view.
using WindowLookup = std::function<HWND(WindowHandle)>;

/// Processes and the shell on Windows.
///
/// The waited launch's record (ShellExecuteInfo) keeps the form of the program's original: a
/// 60-byte ANSI record with 8-bit text. The wide call of a 64-bit program takes a
/// SHELLEXECUTEINFOW of 112 bytes with UTF-16 text, so the record is mapped onto one:
/// cbSize becomes sizeof(SHELLEXECUTEINFOW) whatever the record says; ShellExecuteInfo's
/// NoCloseProcess (0x40) becomes SEE_MASK_NOCLOSEPROCESS (0x40), with SEE_MASK_FLAG_NO_UI
/// added, since the caller shows its own message from `error`, and SEE_MASK_NOASYNC, so that
/// the start is done when the call returns; hwnd is the shown window of the record's owner; lpVerb,
/// lpFile, lpParameters and lpDirectory are UTF-8, widened to UTF-16 (an empty one becomes NULL);
/// nShow passes as it is; the process handle it returns is watched by hProcess.
///
/// ShellExecuteExW can neither redirect a standard error nor hand over an environment, so a
/// record asking for either (keepErrorOutput, environment) is started with CreateProcessW
/// instead: the program file itself (never a document's handler), the same parameters and
/// folder, nShow in the start-up information and also as image_tool::ShowStateVariable (as on
/// Linux), the entries added to this program's environment, no console window of its own, its
/// standard input and output on NUL and its standard error into a pipe that only it inherits.
class Win32Processes final : public Processes {
public:
    explicit Win32Processes(WindowLookup windows = {});

    /// With NoCloseProcess, hProcess watches the process; readyFd() is -1 (the caller's event
    /// pump waits briefly instead). Dropping the handle never ends the process.
    bool shellExecuteEx(ShellExecuteInfo& info) override;
    /// CreateProcessW on the command line as it stands; its first word is a path, or a name
    /// searched as Windows searches programs (".exe" added).
    Status startDetached(const std::string& commandLine, int show) override;
    /// `program` with `argument` as one quoted word; "xdg-open", the Linux desktop's opener,
    /// hands `argument` to the shell's default handler instead.
    Status startOpener(const std::string& program, const std::string& argument) override;
    /// ShellExecuteExW with the verb; the shell tells the user of a failure itself, as the
    /// callers ignore the result.
    Status shellOpen(WindowHandle owner, const std::string& verb, const std::string& target,
        const std::string& parameters, const std::string& directory, int show) override;
    /// The folder of this program's .exe (GetModuleFileNameW); empty when it cannot be read.
    std::string programFolder() override;

private:
    HWND windowOf(WindowHandle window) const;
    bool createProcess(ShellExecuteInfo& info, const std::wstring& program);
    Status startProgram(const std::string& program, const std::wstring& commandLine, int show);
    Status shellExecute(WindowHandle owner, const std::string& verb, const std::string& target,
        const std::string& parameters, const std::string& directory, int show,
        bool shellTellsFailures);

    WindowLookup windows_;
};

} // namespace pxw::platform::win32
