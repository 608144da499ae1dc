// Pixelwain: start-up builds the window model, binds every reaction, binds the model to its
// Qt view and runs the event loop. Exit and closing the window end the process at once.

#include "app/program.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "platform/qt/qt_file_dialog.h"
#include "platform/qt/qt_toolkit.h"
#include "pxw_assets.h"
#include "zip/album_zip_component.h"

#include <QApplication>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    pxwInitAssets();

    using namespace pxw::platform;
    const DriveMap drives = DriveMap::fromEnvironment();
    qt::QtToolkit toolkit(drives);
    qt::QtFileDialogService dialogs(toolkit.windows(), drives);
    PosixFileSystem files(drives);
    PosixProcesses processes(drives);
    std::error_code error;
    const std::filesystem::path programFolder
        = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    pxw::zip::AlbumZipComponentFactory zip(drives, programFolder / "pxwalbum");
    Services services { toolkit, dialogs, files, processes, zip };

    pxw::app::Program program(services);
    program.load();
    toolkit.createMainWindow(program.form).present();
    return QApplication::exec();
}
