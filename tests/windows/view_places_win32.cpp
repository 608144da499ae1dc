// Shows the main window through the Win32 view, lists each control's child window as
// "name left top width height" in pixels of the client area, then runs until the window is
// closed and says whether closing unloaded the form.

#include "ui/frm_backup_files.h"
#include "view_win32/win32_toolkit.h"

#include <cstdio>

int main() {
    using namespace pxw;
    ui::frmBackupFiles form;
    form.Form_Load();
    int unloads = 0;
    form.Unload = [&unloads] { ++unloads; };
    view_win32::Win32Toolkit toolkit(::GetModuleHandleW(nullptr));
    toolkit.showMainWindow(form);
    HWND window = toolkit.windowOf(ui::handleOf(form));
    if (window == nullptr) {
        std::fprintf(stderr, "the main window was not shown\n");
        return 1;
    }
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM parent) -> BOOL {
            if (const view_win32::ControlWindow* view = view_win32::ControlWindow::of(child)) {
                RECT place {};
                ::GetWindowRect(child, &place);
                ::MapWindowPoints(nullptr, view_win32::fromNumber<HWND>(parent),
                    reinterpret_cast<POINT*>(&place), 2);
                std::printf("%s %ld %ld %ld %ld\n", view->control().name().c_str(), place.left,
                    place.top, place.right - place.left, place.bottom - place.top);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(window));
    std::printf("listed\n");
    std::fflush(stdout);
    const int status = toolkit.run();
    std::printf("closed: %d unload(s), exit code %d\n", unloads, status);
    return unloads == 1 && status == 0 ? 0 : 1;
}
