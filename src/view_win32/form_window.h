#pragma once

#include "control_windows.h"
#include "ui/form.h"

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

// clang-format off
#include <windows.h>
// clang-format on

namespace pxw::view_win32 {

/// The window of a form: its caption, its menus on a menu bar over a client area of the form's
/// fixed size, and one child window per control at its place. The main window has a minimize
/// and a close box; a further window (the About window) a close box only, over its owner. The
/// form must outlive the window.
class FormWindow final : private ControlHost {
public:
    enum class Role { Main, Further };

    /// `closed` runs when the user closes the window; the window stays until it is destroyed.
    FormWindow(HINSTANCE instance, const ui::Form& form, Role role, HWND owner,
        std::function<void()> closed);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    /// nullptr once the window has been destroyed.
    HWND hwnd() const { return hwnd_; }
    const ui::Form& form() const { return form_; }
    /// The child window of the named control, or nullptr.
    HWND controlWindow(const std::string& name) const;
    /// The form window that `window` is or lies in, or nullptr.
    static FormWindow* of(HWND window);

    /// Shows the window centred over `over` (nullptr: its screen), the keyboard focus on the
    /// first control of the tab chain.
    void present(HWND over);
    /// The busy cursor over the window; its controls still take input.
    void setBusy(bool busy);
    /// The window's keyboard navigation (Tab in the model's tab order, access keys, Enter on a
    /// button); true when it took `message`.
    bool navigate(MSG& message);

private:
    using FontKey = std::tuple<std::string, double, bool, bool>;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    HMENU buildMenus();
    void buildControls();
    bool moveFocus(const MSG& message);
    RECT placeOf(const ui::Control& control) const;
    void fitClientArea(DWORD style, DWORD extendedStyle);

    HFONT fontOf(const ui::Font& font) override;
    HWND toolTips() const override { return toolTips_; }
    bool busy() const override { return busy_; }

    const ui::Form& form_;
    std::function<void()> closed_;
    int dpi_ = 96;
    HWND hwnd_ = nullptr;
    HWND toolTips_ = nullptr;
    std::vector<ui::MenuItem*> menuItems_; ///< by menu command, from MenuCommandBase
    std::vector<std::shared_ptr<ControlWindow>> controls_;
    std::vector<std::pair<FontKey, HFONT>> fonts_;
    HWND focusWhenInactive_ = nullptr;
    bool busy_ = false;
    bool destroying_ = false;
};

} // namespace pxw::view_win32
