// Pixelwain on Windows: builds the window model on the Windows services, binds it to the Win32
// view and runs the message loop until the main window closes.

#include "app/program.h"
#include "platform/win32/native_path.h"
#include "platform/win32/win32_file_dialog.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_processes.h"
#include "view_win32/win32_toolkit.h"
#include "zip/album_zip_component.h"

#include <filesystem>
#include <system_error>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    namespace fs = std::filesystem;
    using namespace pxw::platform;

    pxw::view_win32::Win32Toolkit toolkit(instance);
    const win32::WindowLookup windows
        = [&toolkit](WindowHandle window) { return toolkit.windowOf(window); };
    win32::Win32FileDialogService dialogs(windows);
    win32::Win32FileSystem files;
    win32::Win32Processes processes(windows);

    // pxwalbum.exe opens the albums on Windows. The Linux album program beside it, where the
    // installer carries it, makes each album one file that opens on Linux as well.
    const fs::path programFolder
        = win32::nativeFilesystemPath(processes.programFolder()).value_or(fs::path());
    std::error_code error;
    fs::path linuxAlbumProgram = programFolder / "pxwalbum";
    if (!fs::is_regular_file(linuxAlbumProgram, error))
        linuxAlbumProgram.clear();
    pxw::zip::AlbumZipComponentFactory zip(
        win32::nativeFilesystemPath, linuxAlbumProgram, programFolder / "pxwalbum.exe");
    Services services { toolkit, dialogs, files, processes, zip };

    pxw::app::Program program(services);
    program.load();
    toolkit.showMainWindow(program.form);
    return toolkit.run();
}
