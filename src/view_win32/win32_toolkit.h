#pragma once

#include "form_window.h"
#include "platform/toolkit.h"
#include "ui/form.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// clang-format off
#include <windows.h>
// clang-format on

namespace pxw::view_win32 {

/// The window toolkit on Win32. Window handles are the model's forms (ui::handleOf); the toolkit
/// builds and keeps their windows. Message boxes and modal windows lie over the window last
/// shown modally, else over the main window.
class Win32Toolkit : public platform::Toolkit {
public:
    explicit Win32Toolkit(HINSTANCE instance);
    ~Win32Toolkit() override;
    Win32Toolkit(const Win32Toolkit&) = delete;
    Win32Toolkit& operator=(const Win32Toolkit&) = delete;

    /// Makes and shows the main window, centred on its screen. Closing it unloads the form,
    /// never refused, and then ends run().
    void showMainWindow(ui::Form& form);
    /// A shown window of the model, or nullptr.
    HWND windowOf(platform::WindowHandle window) const;
    /// The message loop, until the main window closes; the exit code of its end.
    int run();
    /// The window built for `window`, or nullptr before it was first shown.
    const FormWindow* formWindowOf(platform::WindowHandle window) const;

    void messageBox(
        const std::string& prompt, platform::MessageIcon icon, const std::string& title) override;
    void detailedMessageBox(const std::string& prompt, platform::MessageIcon icon,
        const std::string& title, const std::string& details) override;
    bool confirm(
        const std::string& prompt, const std::string& title, const std::string& accept) override;
    std::optional<platform::ScreenRect> screenRectOf(platform::WindowHandle window) override;
    /// The busy cursor over the main window only: its controls still take input.
    void setBusy(bool busy) override;
    /// Windows has no descriptor to wait on: without pending messages it waits a moment for
    /// one, so that a caller polling a child process costs no busy core.
    void processPendingEvents(int wakeFd) override;
    /// The window of `window` is built once, at its first showing, owned by `owner`'s window.
    void showModal(platform::WindowHandle window, platform::WindowHandle owner) override;
    void beep() override;
    [[noreturn]] void endProgram() override;

private:
    void dispatch(MSG& message);
    HWND ownerOfBoxes() const;

    HINSTANCE instance_;
    std::unique_ptr<FormWindow> main_;
    std::map<platform::WindowHandle, std::unique_ptr<FormWindow>> further_;
    std::vector<HWND> modalWindows_; ///< shown modally, innermost last
    bool busy_ = false;
};

} // namespace pxw::view_win32
