// Pixelwain: start-up makes or repairs the prefix, builds the window model, binds every reaction,
// binds the model to its Qt view and runs the event loop. Exit and closing the window end the
// process at once.

#include "app/program.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_host_file_system.h"
#include "platform/posix/posix_processes.h"
#include "platform/prefix_setup.h"
#include "view/qt_file_dialog.h"
#include "view/qt_toolkit.h"
#include "zip/album_zip_component.h"

#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <pxw_assets.h>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

std::filesystem::path userDataHome() {
    if (const char* value = std::getenv("XDG_DATA_HOME"); value && *value == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/") / ".local" / "share";
}

// The menu entry of a from-source install gives way to the package's entry of the same id.
void retireSourceMenuEntry(pxw::platform::HostFileSystem& files) {
    const std::string entry = "applications/example.pixelwain.Pixelwain.desktop";
    std::vector<std::filesystem::path> systemEntries;
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start)
            systemEntries.push_back(std::filesystem::path(list.substr(start, end - start)) / entry);
        start = end + 1;
    }
    pxw::platform::retireSourceMenuEntry(files, userDataHome() / entry, systemEntries);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "pixelwain " PXW_VERSION "\n";
        return 0;
    }
    QApplication application(argc, argv);
    pxwInitAssets();

    using namespace pxw::platform;
    std::error_code error;
    const std::filesystem::path programFolder
        = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    PosixHostFileSystem hostFiles;
    const Status prefixReady
        = setUpPrefix(hostFiles, defaultPrefix(), Installation::around(programFolder));
    retireSourceMenuEntry(hostFiles);

    const DriveMap drives = DriveMap::fromEnvironment();
    pxw::view::QtToolkit toolkit(drives);
    pxw::view::QtFileDialogService dialogs(toolkit.windows(), drives);
    PosixFileSystem files(drives);
    PosixProcesses processes(drives);
    // Installed with the Windows album program, albums open on Windows and on Linux alike.
    std::optional<std::filesystem::path> windowsAlbumProgram = programFolder / "pxwalbum.exe";
    if (!std::filesystem::is_regular_file(*windowsAlbumProgram, error))
        windowsAlbumProgram.reset();
    pxw::zip::AlbumZipComponentFactory zip(drives, programFolder / "pxwalbum", windowsAlbumProgram);
    Services services { toolkit, dialogs, files, processes, zip };

    pxw::app::Program program(services);
    program.load();
    toolkit.createMainWindow(program.form).present();
    if (!prefixReady)
        toolkit.messageBox(prefixReady.message(), MessageIcon::Exclamation, "Pixelwain");
    return QApplication::exec();
}
