#include "control_windows.h"

#include "base/wide_text.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

namespace pxw::view_win32 {

namespace {

COLORREF colorRef(const ui::Rgb& color) {
    return RGB(color.red, color.green, color.blue);
}

class ButtonWindow final : public ControlWindow {
public:
    ButtonWindow(ui::CommandButton& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

    void onCommand(WORD code) override {
        if (code == BN_CLICKED && !mirroring())
            model_.click();
    }

protected:
    void mirrorKind() override { setText(model_.caption()); }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        // No button is the window's default: Enter presses the focused button, as the space
        // bar does, and no other.
        const bool enter = wParam == VK_RETURN;
        if (message == WM_GETDLGCODE && lParam != 0 && enter)
            return passOn(message, wParam, lParam) | DLGC_WANTMESSAGE;
        if (message == WM_KEYDOWN && enter) {
            const bool repeated = (lParam & (1 << 30)) != 0;
            if (!repeated)
                model_.click();
            return 0;
        }
        if (message == WM_CHAR && wParam == '\r')
            return 0;
        return ControlWindow::handle(message, wParam, lParam);
    }

private:
    ui::CommandButton& model_;
};

class TextWindow final : public ControlWindow {
public:
    TextWindow(ui::TextBox& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

    // Only the user's edits go to the model; texts the program sets come back through mirror().
    void onCommand(WORD code) override {
        if (code != EN_CHANGE || mirroring())
            return;
        model_.setText(text());
        mirror();
    }

    // A read-only text box looks as an editable one does, as in the Qt view: Windows would
    // draw it on the window's grey.
    HBRUSH colours(HDC dc, HBRUSH brush) const override {
        if (!model_.locked() || model_.backColor())
            return ControlWindow::colours(dc, brush);
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return ControlWindow::colours(dc, ::GetSysColorBrush(COLOR_WINDOW));
    }

protected:
    void mirrorKind() override {
        const std::wstring shown = base::widened(model_.text());
        // The typing limit holds the user back, not the program: a longer text set by a
        // command is shown whole, and the user may shorten it but not lengthen it.
        const int limit = model_.maxLength() > 0 ? model_.maxLength() : NoTypingLimit;
        ::SendMessageW(hwnd(), EM_SETLIMITTEXT,
            static_cast<WPARAM>(std::max(limit, static_cast<int>(shown.size()))), 0);
        if (base::widened(text()) != shown) {
            ::SetWindowTextW(hwnd(), shown.c_str());
            ::SendMessageW(hwnd(), EM_SETSEL, 0, 0);
        }
    }

private:
    static constexpr int NoTypingLimit = 32767;
    ui::TextBox& model_;
};

class CheckWindow final : public ControlWindow {
public:
    CheckWindow(ui::CheckBox& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

    // The box does not flip itself: the model decides, and a reaction may set it back.
    void onCommand(WORD code) override {
        if (code != BN_CLICKED || mirroring())
            return;
        model_.toggle();
        mirror();
    }

protected:
    void mirrorKind() override {
        setText(model_.caption());
        ::SendMessageW(hwnd(), BM_SETCHECK, model_.value() != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }

private:
    ui::CheckBox& model_;
};

class ListWindow final : public ControlWindow {
public:
    ListWindow(ui::ListBox& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

    void onCommand(WORD code) override {
        if (code != LBN_SELCHANGE || mirroring())
            return;
        const auto row = static_cast<int>(::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0));
        if (row >= 0)
            model_.setListIndex(row);
        mirror();
    }

protected:
    void mirrorKind() override {
        mirrorEntries();
        // Only a change of the current entry scrolls to it.
        const int row = model_.ListIndex();
        if (::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0) != row)
            ::SendMessageW(hwnd(), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_DROPFILES)
            return ControlWindow::handle(message, wParam, lParam);
        // The files stay where they are: only their names are taken, as native paths.
        auto drop = fromNumber<HDROP>(static_cast<LONG_PTR>(wParam));
        std::vector<std::string> paths;
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
            ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
            if (!path.empty())
                paths.push_back(base::narrowed(path));
        }
        ::DragFinish(drop);
        if (!paths.empty())
            model_.drop(paths);
        return 0;
    }

private:
    // Once per change of the model's entries, however many came with it.
    void mirrorEntries() {
        const std::vector<std::string>& entries = model_.entries();
        const auto rows = static_cast<std::size_t>(::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0));
        if (entries == shown_ && rows == shown_.size())
            return;
        ::SendMessageW(hwnd(), WM_SETREDRAW, FALSE, 0);
        ::SendMessageW(hwnd(), LB_RESETCONTENT, 0, 0);
        HDC dc = ::GetDC(hwnd());
        auto* oldFont = ::SelectObject(dc, host().fontOf(model_.font()));
        LONG widest = 0;
        for (const std::string& entry : entries) {
            const std::wstring row = base::widened(entry);
            ::SendMessageW(hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
            SIZE size {};
            ::GetTextExtentPoint32W(dc, row.c_str(), static_cast<int>(row.size()), &size);
            widest = std::max(widest, size.cx);
        }
        ::SelectObject(dc, oldFont);
        ::ReleaseDC(hwnd(), dc);
        // A path wider than the list can be scrolled to, as the Qt list does.
        ::SendMessageW(hwnd(), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest) + 4, 0);
        ::SendMessageW(hwnd(), WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        shown_ = entries;
    }

    ui::ListBox& model_;
    std::vector<std::string> shown_; ///< the entries the rows show
};

class LabelWindow final : public ControlWindow {
public:
    LabelWindow(ui::Label& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

protected:
    void mirrorKind() override { setText(ui::withoutAccessKeyMarks(model_.caption())); }

    // A click is a press and a release inside the label; the second press of a double click is
    // no second click.
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_LBUTTONDOWN:
            pressed_ = true;
            ::SetCapture(hwnd());
            return 0;
        case WM_LBUTTONDBLCLK:
            pressed_ = false;
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = std::exchange(pressed_, false);
            if (::GetCapture() == hwnd())
                ::ReleaseCapture();
            RECT inside {};
            ::GetClientRect(hwnd(), &inside);
            const POINT at { static_cast<short>(LOWORD(lParam)),
                static_cast<short>(HIWORD(lParam)) };
            if (wasPressed && ::PtInRect(&inside, at))
                model_.click();
            return 0;
        }
        case WM_SETCURSOR:
            // A label that reacts to a click (a web-address link) shows the pointing hand.
            if (model_.Click && !host().busy()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        default:
            break;
        }
        return ControlWindow::handle(message, wParam, lParam);
    }

private:
    ui::Label& model_;
    bool pressed_ = false;
};

class FrameWindow final : public ControlWindow {
public:
    FrameWindow(ui::Frame& model, ControlHost& host)
        : ControlWindow(model, host)
        , model_(model) { }

protected:
    void mirrorKind() override { setText(model_.caption()); }

private:
    ui::Frame& model_;
};

struct WindowKind {
    const wchar_t* className;
    DWORD style;
    DWORD extendedStyle;
};

// The system's class and styles of each kind of control, and its view.
std::shared_ptr<ControlWindow> viewOf(ui::Control& control, ControlHost& host, WindowKind& kind) {
    switch (control.kind()) {
    case ui::ControlKind::CommandButton:
        kind = { WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0 };
        return std::make_shared<ButtonWindow>(static_cast<ui::CommandButton&>(control), host);
    case ui::ControlKind::TextBox: {
        const bool locked = static_cast<ui::TextBox&>(control).locked();
        const DWORD readOnly = locked ? ES_READONLY : 0;
        kind = { WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP | readOnly, WS_EX_CLIENTEDGE };
        return std::make_shared<TextWindow>(static_cast<ui::TextBox&>(control), host);
    }
    case ui::ControlKind::CheckBox:
        kind = { WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0 };
        return std::make_shared<CheckWindow>(static_cast<ui::CheckBox&>(control), host);
    case ui::ControlKind::ListBox:
        // Unsorted: the model keeps its entries in order.
        kind = { WC_LISTBOXW,
            LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL
                | WS_TABSTOP,
            WS_EX_CLIENTEDGE };
        return std::make_shared<ListWindow>(static_cast<ui::ListBox&>(control), host);
    case ui::ControlKind::Label:
        // SS_NOTIFY: without it a label lets the mouse through, to its parent.
        kind = { WC_STATICW, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0 };
        return std::make_shared<LabelWindow>(static_cast<ui::Label&>(control), host);
    case ui::ControlKind::Frame:
        kind = { WC_BUTTONW, BS_GROUPBOX, 0 };
        return std::make_shared<FrameWindow>(static_cast<ui::Frame&>(control), host);
    }
    return nullptr;
}

const wchar_t* const ViewProperty = L"pxw.view_win32.control";

} // namespace

int pixelsOf(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

ControlWindow::ControlWindow(ui::Control& control, ControlHost& host)
    : control_(control)
    , host_(host) {
    if (const auto& back = control.backColor())
        backBrush_ = ::CreateSolidBrush(colorRef(*back));
}

ControlWindow::~ControlWindow() {
    if (hwnd_ != nullptr)
        ::DestroyWindow(hwnd_);
    if (backBrush_ != nullptr)
        ::DeleteObject(backBrush_);
}

std::shared_ptr<ControlWindow> ControlWindow::create(
    ui::Control& control, HWND parent, const RECT& place, int id, ControlHost& host) {
    WindowKind kind {};
    std::shared_ptr<ControlWindow> view = viewOf(control, host, kind);
    if (!view)
        return nullptr;
    const DWORD style
        = WS_CHILD | WS_CLIPSIBLINGS | kind.style | (control.visible() ? WS_VISIBLE : 0);
    HWND window
        = ::CreateWindowExW(kind.extendedStyle, kind.className, L"", style, place.left, place.top,
            place.right - place.left, place.bottom - place.top, parent, fromNumber<HMENU>(id),
            fromNumber<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (window == nullptr)
        return nullptr;
    view->attach(window);
    // Files dropped onto the list become its WM_DROPFILES.
    if (control.kind() == ui::ControlKind::ListBox)
        ::DragAcceptFiles(window, TRUE);
    ::SendMessageW(
        window, WM_SETFONT, reinterpret_cast<WPARAM>(host.fontOf(control.font())), FALSE);

    TTTOOLINFOW tool {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(host.toolTips(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    view->mirror();
    // The model may outlive the view.
    control.observe([weak = std::weak_ptr<ControlWindow>(view)] {
        if (auto shown = weak.lock())
            shown->mirror();
    });
    return view;
}

ControlWindow* ControlWindow::of(HWND window) {
    return window == nullptr ? nullptr
                             : static_cast<ControlWindow*>(::GetPropW(window, ViewProperty));
}

void ControlWindow::attach(HWND window) {
    hwnd_ = window;
    ::SetPropW(window, ViewProperty, this);
    ::SetWindowSubclass(window, &ControlWindow::subclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void ControlWindow::mirror() {
    if (hwnd_ == nullptr)
        return;
    const bool outer = !std::exchange(mirroring_, true);
    mirrorKind();

    const std::wstring toolTip = base::widened(control_.toolTipText());
    if (toolTip != toolTip_) {
        toolTip_ = toolTip;
        TTTOOLINFOW tool {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = ::GetParent(hwnd_);
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        tool.lpszText = toolTip_.data();
        ::SendMessageW(host_.toolTips(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    const bool shown = (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != control_.visible())
        ::ShowWindow(hwnd_, control_.visible() ? SW_SHOWNA : SW_HIDE);
    if (outer)
        mirroring_ = false;
}

HBRUSH ControlWindow::colours(HDC dc, HBRUSH brush) const {
    if (const auto& fore = control_.foreColor())
        ::SetTextColor(dc, colorRef(*fore));
    if (backBrush_ == nullptr)
        return brush;
    ::SetBkColor(dc, colorRef(*control_.backColor()));
    return backBrush_;
}

LRESULT ControlWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    return passOn(message, wParam, lParam);
}

LRESULT ControlWindow::passOn(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

void ControlWindow::setText(const std::string& text) {
    if (this->text() != text)
        ::SetWindowTextW(hwnd_, base::widened(text).c_str());
}

std::string ControlWindow::text() const {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd_)), L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size() + 1))));
    return base::narrowed(text);
}

LRESULT CALLBACK ControlWindow::subclassProc(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* view = fromNumber<ControlWindow*>(static_cast<LONG_PTR>(self));
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &ControlWindow::subclassProc, 1);
        ::RemovePropW(window, ViewProperty);
        view->hwnd_ = nullptr;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    return view->handle(message, wParam, lParam);
}

} // namespace pxw::view_win32
