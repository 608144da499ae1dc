// Lists where the Qt view places the controls of the main window and of the About window, one
// line per control: "form.control left top width height" in pixels of the window's client
// area, after a line "form 0 0 width height" for the client area itself. The Windows tests
// compare the Win32 view's places with these.

#include "ui/about.h"
#include "ui/frm_backup_files.h"
#include "view/form_view.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    pxw::ui::frmBackupFiles mainForm;
    pxw::ui::About about;
    for (const pxw::ui::Form* form :
        { static_cast<pxw::ui::Form*>(&mainForm), static_cast<pxw::ui::Form*>(&about) }) {
        pxw::view::FormView view(*form, pxw::platform::DriveMap("/nonexistent"));
        const char* name = form->name().c_str();
        std::printf("%s 0 0 %d %d\n", name, view.width(), view.height());
        for (const pxw::ui::Control* control : form->controls()) {
            const QWidget* widget = view.widgetOf(*control);
            const QPoint at = widget->mapTo(&view, QPoint(0, 0));
            std::printf("%s.%s %d %d %d %d\n", name, control->name().c_str(), at.x(), at.y(),
                widget->width(), widget->height());
        }
    }
    return 0;
}
