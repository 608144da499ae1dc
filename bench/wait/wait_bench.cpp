// How much CPU the program itself spends while it waits for the image tool: the real waited
// launch and the real Qt event pump, with a stand-in image tool that runs for a few seconds,
// installed in a temporary prefix. Prints the program's CPU time as a share of one core, next
// to a pump that only polls (what the wait would cost without being woken by the tool's end).
// The wake-up is measured both ways: through a pidfd, and through the SIGCHLD pipe used where
// pidfd_open is missing.

#include "album_zip_component.h"
#include "job/tool_launch.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "ui/frm_backup_files.h"
#include "view/qt_file_dialog.h"
#include "view/qt_toolkit.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace pxw::platform;

namespace {

double cpuSeconds() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// The same toolkit, but its pump never blocks.
class PollingToolkit : public pxw::view::QtToolkit {
public:
    using QtToolkit::QtToolkit;
    void processPendingEvents(int) override { QtToolkit::processPendingEvents(-1); }
};

struct Measure {
    double wall;
    double cpu;
};

Measure measureWait(pxw::view::QtToolkit& toolkit, const DriveMap& drives, bool bySignal = false) {
    pxw::view::QtFileDialogService dialogs(toolkit.windows(), drives);
    PosixFileSystem files(drives);
    PosixProcesses processes(drives);
    if (bySignal)
        processes.watchChildrenBySignal();
    pxw::zip::AlbumZipComponentFactory zip(drives, "/nonexistent");
    Services services { toolkit, dialogs, files, processes, zip };
    pxw::ui::frmBackupFiles form;

    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const pxw::job::ToolRun run = pxw::job::waitedLaunch(form, services, "", "lumabatch - waiting");
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (!run.started) {
        std::fprintf(stderr, "the stand-in tool did not start: %s\n", run.error.c_str());
        std::exit(2);
    }
    return { wall.count(), cpuSeconds() - cpuBefore };
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string seconds = argc > 1 ? argv[1] : "3";

    std::string pattern = (fs::temp_directory_path() / "pxw-wait-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 2;
    const fs::path prefix = pattern;
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c" / "windows" / "lumaforge");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    const fs::path tool = prefix / "drive_c" / "windows" / "lumaforge" / "lumabatch.exe";
    std::ofstream(tool) << "#!/bin/sh\nexec sleep " << seconds << "\n";
    fs::permissions(tool, fs::perms::owner_all);
    const DriveMap drives(prefix);

    pxw::view::QtToolkit toolkit(drives);
    const Measure woken = measureWait(toolkit, drives);
    const Measure signalled = measureWait(toolkit, drives, true);
    PollingToolkit polling(drives);
    const Measure polled = measureWait(polling, drives);
    fs::remove_all(prefix);

    std::printf("tool run: %.2f s wall\n", woken.wall);
    std::printf("waited launch, pump woken by the tool's end: %.4f s CPU = %.2f%% of one core\n",
        woken.cpu, 100.0 * woken.cpu / woken.wall);
    std::printf("the same, woken through the SIGCHLD pipe:    %.4f s CPU = %.2f%% of one core\n",
        signalled.cpu, 100.0 * signalled.cpu / signalled.wall);
    std::printf("polling pump, for comparison:                %.4f s CPU = %.2f%% of one core\n",
        polled.cpu, 100.0 * polled.cpu / polled.wall);
    if (polled.cpu > 0)
        std::printf("ratio of CPU time, woken/polling: %.4f\n", woken.cpu / polled.cpu);
    return woken.cpu / woken.wall < 0.05 && signalled.cpu / signalled.wall < 0.05 ? 0 : 1;
}
