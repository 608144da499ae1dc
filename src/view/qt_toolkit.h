#pragma once

#include "form_windows.h"
#include "platform/toolkit.h"
#include "platform/windows_path.h"
#include "ui/form.h"
#include "window_registry.h"

#include <QPointer>
#include <QSocketNotifier>
#include <map>
#include <memory>
#include <vector>

namespace pxw::view {

/// The window toolkit on Qt Widgets. Window handles are the model's forms (ui::handleOf); the
/// toolkit builds and keeps their views. Needs a QApplication.
class QtToolkit : public platform::Toolkit {
public:
    explicit QtToolkit(platform::DriveMap drives);
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    /// Builds the view of the main window, registered under its form. Message boxes are
    /// shown over it.
    MainWindow& createMainWindow(ui::Form& form);
    const WindowRegistry& windows() const { return windows_; }
    /// The view showModal built for `form`, or nullptr before its first showing.
    FormDialog* dialogOf(const ui::Form& form) const;

    void messageBox(
        const std::string& prompt, platform::MessageIcon icon, const std::string& title) override;
    void detailedMessageBox(const std::string& prompt, platform::MessageIcon icon,
        const std::string& title, const std::string& details) override;
    bool confirm(
        const std::string& prompt, const std::string& title, const std::string& accept) override;
    std::optional<platform::ScreenRect> screenRectOf(platform::WindowHandle window) override;
    /// A busy cursor over the main window only: its controls still take input.
    void setBusy(bool busy) override;
    void processPendingEvents(int wakeFd) override;
    /// `window` and `owner` are forms (ui::handleOf); the window's view is built once.
    void showModal(platform::WindowHandle window, platform::WindowHandle owner) override;
    void beep() override;
    [[noreturn]] void endProgram() override;

private:
    platform::DriveMap drives_;
    WindowRegistry windows_;
    QPointer<MainWindow> mainWindow_;
    std::map<const ui::Form*, QPointer<FormDialog>> dialogs_;
    std::vector<QPointer<QWidget>> ownedViews_; // in the order they were built
    std::unique_ptr<QSocketNotifier> wakeNotifier_;
};

} // namespace pxw::view
