// lumabatch: converts a folder of images into resized, renamed JPEG files.

#include "job.h"
#include "options.h"
#include "platform/windows_path.h"
#include "window_link.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

namespace {

extern "C" void onStopSignal(int) {
    pxw::lumabatch::requestStop();
}

} // namespace

int main(int argc, char** argv) {
    using namespace pxw::lumabatch;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args == std::vector<std::string> { "--version" })
        return std::cout << "lumabatch " PXW_VERSION "\n" ? 0 : 1;
    ParseResult parsed = parseCommandLine(args, std::cout, std::cerr);
    if (const ExitStatus* status = std::get_if<ExitStatus>(&parsed))
        return toExitCode(*status);

    // The image libraries start in the workers only: this process stays free of their threads.
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    // A progress window that has gone is no reason to stop.
    std::signal(SIGPIPE, SIG_IGN);

    JobSettings settings;
    settings.showProgressBar = ::isatty(STDERR_FILENO) == 1;
    // The program that started the tool asked for a window; without a display it converts
    // all the same.
    if (requestedShowState() != 0 && displayAvailable())
        settings.windowProgram = progressWindowProgram();
    return toExitCode(runJob(std::get<Options>(parsed), pxw::platform::DriveMap::fromEnvironment(),
        std::cerr, settings));
}
