#include "form_window.h"

#include "base/wide_text.h"

#include <algorithm>
#include <cmath>

// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <commctrl.h>
// clang-format on

namespace pxw::view_win32 {

namespace {

const wchar_t* const WindowClass = L"PixelwainForm";
const wchar_t* const FormProperty = L"pxw.view_win32.form";
constexpr int ControlIdBase = 100;
constexpr int MenuCommandBase = 1000;
constexpr int ToolTipWidth = 400; // pixels at 96 dpi, where a long tip wraps

void registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing {};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, WindowClass, &existing))
        return;
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = fromNumber<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = ::LoadIconW(instance, L"PXW_PROGRAM_ICON");
    windowClass.lpszClassName = WindowClass;
    ::RegisterClassExW(&windowClass);
}

int systemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

} // namespace

FormWindow::FormWindow(
    HINSTANCE instance, const ui::Form& form, Role role, HWND owner, std::function<void()> closed)
    : form_(form)
    , closed_(std::move(closed))
    , dpi_(systemDpi()) {
    registerWindowClass(instance, &FormWindow::windowProc);
    const DWORD style = role == Role::Main
        ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
        : WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD extendedStyle
        = WS_EX_CONTROLPARENT | (role == Role::Further ? WS_EX_DLGMODALFRAME : 0);
    HMENU menuBar = buildMenus();
    // The window procedure is set before the first message: CreateWindowExW hands `this` on.
    ::CreateWindowExW(extendedStyle, WindowClass, base::widened(form.caption()).c_str(), style,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, menuBar, instance, this);
    if (hwnd_ == nullptr) {
        if (menuBar != nullptr)
            ::DestroyMenu(menuBar);
        return;
    }
    toolTips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    ::SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, ::MulDiv(ToolTipWidth, dpi_, 96));
    fitClientArea(style, extendedStyle);
    buildControls();
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr)
        ::DestroyWindow(hwnd_);
    controls_.clear();
    for (const auto& [key, font] : fonts_)
        ::DeleteObject(font);
}

HWND FormWindow::controlWindow(const std::string& name) const {
    auto found = std::find_if(controls_.begin(), controls_.end(),
        [&](const auto& view) { return view->control().name() == name; });
    return found == controls_.end() ? nullptr : (*found)->hwnd();
}

FormWindow* FormWindow::of(HWND window) {
    HWND root = window == nullptr ? nullptr : ::GetAncestor(window, GA_ROOT);
    return root == nullptr ? nullptr : static_cast<FormWindow*>(::GetPropW(root, FormProperty));
}

HMENU FormWindow::buildMenus() {
    if (form_.menus().empty())
        return nullptr;
    HMENU bar = ::CreateMenu();
    for (const ui::Menu* menu : form_.menus()) {
        HMENU popup = ::CreatePopupMenu();
        for (ui::MenuItem* item : menu->items) {
            if (item->isSeparator()) {
                ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const auto command = static_cast<UINT_PTR>(MenuCommandBase + menuItems_.size());
            ::AppendMenuW(popup, MF_STRING, command, base::widened(item->caption()).c_str());
            menuItems_.push_back(item);
        }
        ::AppendMenuW(
            bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), base::widened(menu->caption).c_str());
    }
    return bar;
}

// The client area takes the form's size; a menu bar that wraps onto a second row is measured
// after the fact.
void FormWindow::fitClientArea(DWORD style, DWORD extendedStyle) {
    const int width = pixelsOf(form_.clientWidth(), dpi_);
    const int height = pixelsOf(form_.clientHeight(), dpi_);
    RECT frame { 0, 0, width, height };
    ::AdjustWindowRectEx(&frame, style, ::GetMenu(hwnd_) != nullptr, extendedStyle);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client {};
    ::GetClientRect(hwnd_, &client);
    if (client.bottom != height || client.right != width)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + width - client.right,
            frame.bottom - frame.top + height - client.bottom,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Controls inside a frame are placed relative to the frame's top-left corner; each length is
// converted on its own, as the Qt view places a widget inside its frame.
RECT FormWindow::placeOf(const ui::Control& control) const {
    const ui::Twips& place = control.geometry();
    int left = pixelsOf(place.left, dpi_);
    int top = pixelsOf(place.top, dpi_);
    for (const ui::Frame* frame = control.container(); frame != nullptr;
         frame = frame->container()) {
        left += pixelsOf(frame->geometry().left, dpi_);
        top += pixelsOf(frame->geometry().top, dpi_);
    }
    return { left, top, left + pixelsOf(place.width, dpi_), top + pixelsOf(place.height, dpi_) };
}

// Controls overlap as the model places them (the check boxes of a row): a control made later
// lies over those made before it, and frames beneath everything, so that the controls inside
// them are drawn over them. The keyboard's order is the tab chain's, not this one.
void FormWindow::buildControls() {
    const std::vector<ui::Control*>& controls = form_.controls();
    for (std::size_t index = 0; index < controls.size(); ++index) {
        ui::Control& control = *controls[index];
        auto view = ControlWindow::create(
            control, hwnd_, placeOf(control), ControlIdBase + static_cast<int>(index), *this);
        if (!view)
            continue;
        const HWND place = control.kind() == ui::ControlKind::Frame ? HWND_BOTTOM : HWND_TOP;
        ::SetWindowPos(view->hwnd(), place, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        controls_.push_back(std::move(view));
    }
}

// Tab and Shift+Tab go round the tab chain; the arrow keys too from a button or a check box.
// A text box reached so shows its text selected.
bool FormWindow::moveFocus(const MSG& message) {
    if (message.message != WM_KEYDOWN || (::GetKeyState(VK_CONTROL) & 0x8000) != 0)
        return false;
    const ControlWindow* focused = ControlWindow::of(::GetFocus());
    const bool onButton = focused != nullptr
        && (focused->control().kind() == ui::ControlKind::CommandButton
            || focused->control().kind() == ui::ControlKind::CheckBox);
    int step = 0;
    if (message.wParam == VK_TAB)
        step = (::GetKeyState(VK_SHIFT) & 0x8000) != 0 ? -1 : 1;
    else if (onButton && (message.wParam == VK_RIGHT || message.wParam == VK_DOWN))
        step = 1;
    else if (onButton && (message.wParam == VK_LEFT || message.wParam == VK_UP))
        step = -1;
    const std::vector<ui::Control*> chain = form_.tabChain();
    if (step == 0 || chain.empty())
        return false;
    const auto count = static_cast<std::ptrdiff_t>(chain.size());
    auto at = std::find_if(chain.begin(), chain.end(),
        [&](const ui::Control* control) { return focused && &focused->control() == control; });
    const std::ptrdiff_t from = at == chain.end() ? (step > 0 ? -1 : 0) : at - chain.begin();
    const ui::Control* next = chain[static_cast<std::size_t>((from + step + count) % count)];
    HWND target = controlWindow(next->name());
    if (next->kind() == ui::ControlKind::TextBox)
        ::SendMessageW(target, EM_SETSEL, 0, -1);
    ::SetFocus(target);
    return true;
}

HFONT FormWindow::fontOf(const ui::Font& font) {
    const FontKey key { font.face, font.points, font.bold, font.italic };
    for (const auto& [known, made] : fonts_) {
        if (known == key)
            return made;
    }
    const int height = -static_cast<int>(std::lround(font.points * dpi_ / 72.0));
    HFONT made = ::CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, FALSE,
        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, base::widened(font.face).c_str());
    fonts_.emplace_back(key, made);
    return made;
}

void FormWindow::present(HWND over) {
    RECT area {};
    if (over != nullptr) {
        ::GetWindowRect(over, &area);
    } else {
        MONITORINFO monitor {};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    RECT frame {};
    ::GetWindowRect(hwnd_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = std::max<int>(area.left, (area.left + area.right - width) / 2);
    const int top = std::max<int>(area.top, (area.top + area.bottom - height) / 2);
    ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    const std::vector<ui::Control*> chain = form_.tabChain();
    if (!chain.empty())
        ::SetFocus(controlWindow(chain.front()->name()));
}

void FormWindow::setBusy(bool busy) {
    busy_ = busy;
    // The cursor changes at once when it lies over the window, not at its next move.
    POINT at {};
    ::GetCursorPos(&at);
    if (HWND under = ::WindowFromPoint(at); under != nullptr && of(under) == this)
        ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool FormWindow::navigate(MSG& message) {
    return hwnd_ != nullptr && (moveFocus(message) || ::IsDialogMessageW(hwnd_, &message));
}

LRESULT CALLBACK FormWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = fromNumber<FormWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<FormWindow*>(fromNumber<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ::SetPropW(window, FormProperty, self);
    }
    if (self == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::RemovePropW(window, FormProperty);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        if (destroying_)
            return 0;
        if (lParam != 0) {
            if (ControlWindow* view = ControlWindow::of(fromNumber<HWND>(lParam)))
                view->onCommand(HIWORD(wParam));
            return 0;
        }
        // A menu command; Enter and Escape outside a button (IDOK, IDCANCEL) do nothing.
        const int item = LOWORD(wParam) - MenuCommandBase;
        if (item >= 0 && item < static_cast<int>(menuItems_.size()))
            menuItems_[static_cast<std::size_t>(item)]->click();
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
        auto brush = fromNumber<HBRUSH>(::DefWindowProcW(hwnd_, message, wParam, lParam));
        if (const ControlWindow* view = ControlWindow::of(fromNumber<HWND>(lParam)))
            brush = view->colours(fromNumber<HDC>(static_cast<LONG_PTR>(wParam)), brush);
        return reinterpret_cast<LRESULT>(brush);
    }
    case WM_SETCURSOR:
        if (busy_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // The focus comes back to the control that had it when the window was left.
        if (LOWORD(wParam) == WA_INACTIVE) {
            focusWhenInactive_ = ::GetFocus();
        } else if (focusWhenInactive_ != nullptr && ::IsChild(hwnd_, focusWhenInactive_)) {
            ::SetFocus(focusWhenInactive_);
            return 0;
        }
        break;
    case WM_CLOSE:
        // Never refused; what closing means is the owner's.
        if (closed_)
            closed_();
        return 0;
    case WM_DESTROY:
        destroying_ = true;
        break;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace pxw::view_win32
