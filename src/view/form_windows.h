#pragma once

#include "form_view.h"
#include "platform/windows_path.h"
#include "ui/form.h"

#include <QDialog>
#include <QIcon>
#include <QMainWindow>

namespace pxw::view {

/// The program's icon, shared by all its windows; a null icon when the build carries none.
QIcon programIcon();

/// The main window: the form's caption, its menus on a menu bar over a fixed client area, a
/// minimize and a close box but no maximize box. Closing it unloads the form and is never
/// refused.
class MainWindow : public QMainWindow {
public:
    MainWindow(ui::Form& form, const platform::DriveMap& drives);

    FormView& view() const { return *view_; }
    /// Shows the window centred on its screen, the keyboard focus on the first control.
    void present();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ui::Form& form_;
    FormView* view_;
};

/// A further window of the model, such as the About window: fixed size, a close box only,
/// modal while shown.
class FormDialog : public QDialog {
public:
    FormDialog(const ui::Form& form, const platform::DriveMap& drives, QWidget* parent = nullptr);

    FormView& view() const { return *view_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    FormView* view_;
};

} // namespace pxw::view
