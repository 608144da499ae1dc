// Shows the main window through the Win32 view, and the About window over it, and lists each
// control's child window as "form.control left top width height" in pixels of the client area,
// after a line "form 0 0 width height" for the client area itself. Then runs until the main
// window is closed and says whether closing unloaded the form.

#include "ui/about.h"
#include "ui/frm_backup_files.h"
#include "view_win32/win32_toolkit.h"

#include <cstdio>

namespace {

void listPlaces(HWND window, const pxw::ui::Form& form) {
    RECT client {};
    ::GetClientRect(window, &client);
    std::printf("%s 0 0 %ld %ld\n", form.name().c_str(), client.right, client.bottom);
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM parent) -> BOOL {
            if (const auto* view = pxw::view_win32::ControlWindow::of(child)) {
                RECT place {};
                ::GetWindowRect(child, &place);
                auto* window = pxw::view_win32::fromNumber<HWND>(parent);
                ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
                std::printf("%s.%s %ld %ld %ld %ld\n",
                    pxw::view_win32::FormWindow::of(window)->form().name().c_str(),
                    view->control().name().c_str(), place.left, place.top, place.right - place.left,
                    place.bottom - place.top);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(window));
}

} // namespace

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
    listPlaces(window, form);
    ui::About about;
    const view_win32::FormWindow aboutWindow(
        ::GetModuleHandleW(nullptr), about, view_win32::FormWindow::Role::Further, window, nullptr);
    listPlaces(aboutWindow.hwnd(), about);
    std::printf("listed\n");
    std::fflush(stdout);
    const int status = toolkit.run();
    std::printf("closed: %d unload(s), exit code %d\n", unloads, status);
    return unloads == 1 && status == 0 ? 0 : 1;
}
