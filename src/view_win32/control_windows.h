#pragma once

#include "ui/controls.h"

#include <memory>
#include <string>

// clang-format off
#include <windows.h>
// clang-format on

namespace pxw::view_win32 {

/// A handle or pointer that a message or a window's data carries as a number, as Windows passes
/// them.
template <typename T> T fromNumber(LONG_PTR number) {
    return reinterpret_cast<T>(number); // NOLINT(performance-no-int-to-ptr)
}

/// Pixels of a length in twips at `dpi` dots per inch; at 96 dpi, twips / 15 as the Qt view has
/// it.
int pixelsOf(int twips, int dpi);

/// What the child windows of one form window share.
class ControlHost {
public:
    virtual ~ControlHost() = default;
    /// The font the model names, made once per window.
    virtual HFONT fontOf(const ui::Font& font) = 0;
    /// The window's tooltip window.
    virtual HWND toolTips() const = 0;
    /// True while the window shows the busy cursor.
    virtual bool busy() const = 0;
};

/// The child window of one control: a window of the system's class for its kind, mirroring the
/// control after each change and handing the user's input to it. It holds nothing the model
/// lacks. The control must outlive it.
class ControlWindow {
public:
    virtual ~ControlWindow();
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    /// Makes the child window of `control` at `place` (pixels of the parent's client area) and
    /// shows the control in it now and after each of its changes.
    static std::shared_ptr<ControlWindow> create(
        ui::Control& control, HWND parent, const RECT& place, int id, ControlHost& host);
    /// The child window's own view, or nullptr for any other window.
    static ControlWindow* of(HWND window);

    ui::Control& control() const { return control_; }
    HWND hwnd() const { return hwnd_; }

    /// Shows the control's current state.
    void mirror();
    /// A notification of the child window to its parent (the code of WM_COMMAND).
    virtual void onCommand(WORD) { }
    /// The colours the control asks for, on top of the system's (`brush`, from WM_CTLCOLOR...).
    virtual HBRUSH colours(HDC dc, HBRUSH brush) const;

protected:
    ControlWindow(ui::Control& control, ControlHost& host);
    virtual void mirrorKind() = 0;
    /// The child window's messages, before its class sees them.
    virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT passOn(UINT message, WPARAM wParam, LPARAM lParam);
    ControlHost& host() const { return host_; }
    void setText(const std::string& text);
    std::string text() const;
    /// True while the view itself changes the child window, whose notifications then are no
    /// input of the user's.
    bool mirroring() const { return mirroring_; }

private:
    static LRESULT CALLBACK subclassProc(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    void attach(HWND window);

    ui::Control& control_;
    ControlHost& host_;
    HWND hwnd_ = nullptr;
    HBRUSH backBrush_ = nullptr;
    std::wstring toolTip_;
    bool mirroring_ = false;
};

} // namespace pxw::view_win32
