// Lists where the Qt view places each control of the main window, one line per control:
// "name left top width height", in pixels of the window's client area. The Windows tests
// compare the Win32 view's places with these.

#include "ui/frm_backup_files.h"
#include "view/form_view.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    pxw::ui::frmBackupFiles form;
    pxw::view::FormView view(form, pxw::platform::DriveMap("/nonexistent"));
    for (const pxw::ui::Control* control : form.controls()) {
        const QWidget* widget = view.widgetOf(*control);
        const QPoint at = widget->mapTo(&view, QPoint(0, 0));
        std::printf("%s %d %d %d %d\n", control->name().c_str(), at.x(), at.y(), widget->width(),
            widget->height());
    }
    return 0;
}
