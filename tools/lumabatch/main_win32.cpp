// lumabatch.exe: the image tool on Windows. Its command line is read whole and split by the
// program's own rule, as the launcher builds it: the C runtime's rule would read the `\"` of
// `d="D:\out\"` as a quote and join the options after it to the folder.

#include "base/wide_text.h"
#include "job.h"
#include "job_system.h"
#include "options.h"
#include "platform/windows_path.h"
#include "window_link.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <windows.h>

namespace {

BOOL WINAPI onStopEvent(DWORD) {
    pxw::lumabatch::requestStop();
    return TRUE;
}

// The progress bar draws with the terminal's control sequences, which a console shows once
// asked to.
bool consoleShowsBar() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(error, &mode)
        && SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// Started from a window program, the tool gets a console of its own, which only its progress
// window should show: hidden when no other program shares it.
void hideOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1)
        ShowWindow(GetConsoleWindow(), SW_HIDE);
}

} // namespace

int main() {
    using namespace pxw::lumabatch;
    // Messages in UTF-8 with the same line ends as on Linux: the program reads their reasons.
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args
        = pxw::platform::splitCommandLine(sys::pathText(std::filesystem::path(GetCommandLineW())));
    if (!args.empty())
        args.erase(args.begin()); // the program
    if (args == std::vector<std::string> { "--version" })
        return std::cout << "lumabatch " PXW_VERSION "\n" ? 0 : 1;
    ParseResult parsed = parseCommandLine(args, std::cout, std::cerr);
    if (const ExitStatus* status = std::get_if<ExitStatus>(&parsed))
        return toExitCode(*status);

    SetConsoleCtrlHandler(onStopEvent, TRUE);
    JobSettings settings;
    settings.showProgressBar = consoleShowsBar();
    if (requestedShowState() != 0) {
        settings.windowProgram = progressWindowProgram();
        hideOwnConsole();
    }
    // Folders are Windows paths as they stand.
    auto nativeFolder
        = [](std::string_view value, std::string* error) -> std::optional<std::filesystem::path> {
        if (value.empty()) {
            *error = "an empty path";
            return std::nullopt;
        }
        return sys::pathFromText(value);
    };
    return toExitCode(runJob(std::get<Options>(parsed), nativeFolder, std::cerr, settings));
}
