#include "win32_toolkit.h"

#include "base/wide_text.h"

#include <cstdio>

// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <commctrl.h>
// clang-format on

namespace pxw::view_win32 {

namespace {

constexpr DWORD PollMilliseconds = 50;
constexpr int AcceptButton = 100;

UINT boxIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Exclamation:
        return MB_ICONEXCLAMATION;
    case platform::MessageIcon::Information:
        return MB_ICONINFORMATION;
    case platform::MessageIcon::None:
        break;
    }
    return 0;
}

PCWSTR taskIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Exclamation:
        return TD_WARNING_ICON;
    case platform::MessageIcon::Information:
        return TD_INFORMATION_ICON;
    case platform::MessageIcon::None:
        break;
    }
    return nullptr;
}

using TaskDialogFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// The task dialog belongs to the common controls of version 6, which the program's manifest
// asks for; a program without it gets the older ones, which lack it, and plain message boxes.
TaskDialogFunction taskDialog() {
    HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
    FARPROC function = controls ? ::GetProcAddress(controls, "TaskDialogIndirect") : nullptr;
    return reinterpret_cast<TaskDialogFunction>(reinterpret_cast<void (*)()>(function));
}

} // namespace

Win32Toolkit::Win32Toolkit(HINSTANCE instance)
    : instance_(instance) {
    INITCOMMONCONTROLSEX controls { sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES };
    ::InitCommonControlsEx(&controls);
}

Win32Toolkit::~Win32Toolkit() {
    // The further windows first: the main window owns them.
    further_.clear();
    main_.reset();
}

void Win32Toolkit::showMainWindow(ui::Form& form) {
    main_ = std::make_unique<FormWindow>(
        instance_, form, FormWindow::Role::Main, nullptr, [this, &form] {
            form.unload();
            if (main_ && main_->hwnd() != nullptr)
                ::DestroyWindow(main_->hwnd());
            ::PostQuitMessage(0);
        });
    if (main_->hwnd() == nullptr)
        return;
    main_->setBusy(busy_);
    main_->present(nullptr);
}

const FormWindow* Win32Toolkit::formWindowOf(platform::WindowHandle window) const {
    if (main_ && &main_->form() == window)
        return main_.get();
    auto found = further_.find(window);
    return found == further_.end() ? nullptr : found->second.get();
}

HWND Win32Toolkit::windowOf(platform::WindowHandle window) const {
    const FormWindow* shown = formWindowOf(window);
    HWND hwnd = shown ? shown->hwnd() : nullptr;
    return hwnd != nullptr && ::IsWindowVisible(hwnd) ? hwnd : nullptr;
}

int Win32Toolkit::run() {
    MSG message {};
    BOOL got = FALSE;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0)
        dispatch(message);
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void Win32Toolkit::dispatch(MSG& message) {
    FormWindow* window = FormWindow::of(message.hwnd);
    if (window != nullptr && window->navigate(message))
        return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

HWND Win32Toolkit::ownerOfBoxes() const {
    if (!modalWindows_.empty())
        return modalWindows_.back();
    return main_ ? main_->hwnd() : nullptr;
}

void Win32Toolkit::messageBox(
    const std::string& prompt, platform::MessageIcon icon, const std::string& title) {
    ::MessageBoxW(ownerOfBoxes(), base::widened(prompt).c_str(), base::widened(title).c_str(),
        MB_OK | boxIcon(icon));
}

void Win32Toolkit::detailedMessageBox(const std::string& prompt, platform::MessageIcon icon,
    const std::string& title, const std::string& details) {
    const TaskDialogFunction show = taskDialog();
    if (show == nullptr) {
        messageBox(prompt + "\n\n" + details, icon, title);
        return;
    }
    const std::wstring wideTitle = base::widened(title);
    const std::wstring widePrompt = base::widened(prompt);
    const std::wstring wideDetails = base::widened(details);
    TASKDIALOGCONFIG config {};
    config.cbSize = sizeof config;
    config.hwndParent = ownerOfBoxes();
    config.hInstance = instance_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = wideTitle.c_str();
    config.pszMainIcon = taskIcon(icon);
    config.pszContent = widePrompt.c_str();
    config.pszExpandedInformation = wideDetails.c_str();
    config.pszCollapsedControlText = L"Show Details...";
    config.pszExpandedControlText = L"Hide Details...";
    if (FAILED(show(&config, nullptr, nullptr, nullptr)))
        messageBox(prompt + "\n\n" + details, icon, title);
}

bool Win32Toolkit::confirm(
    const std::string& prompt, const std::string& title, const std::string& accept) {
    const std::wstring widePrompt = base::widened(prompt);
    const std::wstring wideTitle = base::widened(title);
    const TaskDialogFunction show = taskDialog();
    if (show == nullptr)
        return ::MessageBoxW(ownerOfBoxes(), widePrompt.c_str(), wideTitle.c_str(),
                   MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2)
            == IDOK;
    const std::wstring wideAccept = base::widened(accept);
    const TASKDIALOG_BUTTON acceptButton { AcceptButton, wideAccept.c_str() };
    TASKDIALOGCONFIG config {};
    config.cbSize = sizeof config;
    config.hwndParent = ownerOfBoxes();
    config.hInstance = instance_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN;
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
    config.pButtons = &acceptButton;
    config.cButtons = 1;
    // Enter must not replace a user's files by accident.
    config.nDefaultButton = IDCANCEL;
    config.pszWindowTitle = wideTitle.c_str();
    config.hMainIcon = ::LoadIconW(nullptr, IDI_QUESTION);
    config.pszContent = widePrompt.c_str();
    int pressed = IDCANCEL;
    return SUCCEEDED(show(&config, &pressed, nullptr, nullptr)) && pressed == AcceptButton;
}

std::optional<platform::ScreenRect> Win32Toolkit::screenRectOf(platform::WindowHandle window) {
    HWND shown = windowOf(window);
    RECT frame {};
    if (shown == nullptr || !::GetWindowRect(shown, &frame))
        return std::nullopt;
    return platform::ScreenRect { frame.left, frame.top, frame.right - frame.left,
        frame.bottom - frame.top };
}

void Win32Toolkit::setBusy(bool busy) {
    busy_ = busy;
    if (main_)
        main_->setBusy(busy);
}

void Win32Toolkit::processPendingEvents(int) {
    MSG message {};
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
        ::MsgWaitForMultipleObjectsEx(
            0, nullptr, PollMilliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the loop that waits for it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void Win32Toolkit::showModal(platform::WindowHandle window, platform::WindowHandle owner) {
    std::unique_ptr<FormWindow>& shown = further_[window];
    if (!shown) {
        // Closing hides the window, built once; its owner takes input again first, so that
        // it becomes the active window.
        shown = std::make_unique<FormWindow>(
            instance_, *window, FormWindow::Role::Further, windowOf(owner), [this, window] {
                HWND hwnd = further_.at(window)->hwnd();
                if (HWND ownerWindow = ::GetWindow(hwnd, GW_OWNER))
                    ::EnableWindow(ownerWindow, TRUE);
                ::ShowWindow(hwnd, SW_HIDE);
            });
    }
    HWND hwnd = shown->hwnd();
    if (hwnd == nullptr)
        return;
    HWND ownerWindow = ::GetWindow(hwnd, GW_OWNER);
    if (ownerWindow != nullptr)
        ::EnableWindow(ownerWindow, FALSE);
    modalWindows_.push_back(hwnd);
    shown->present(ownerWindow);
    MSG message {};
    while (::IsWindowVisible(hwnd)) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        dispatch(message);
    }
    modalWindows_.pop_back();
    if (ownerWindow != nullptr) {
        ::EnableWindow(ownerWindow, TRUE);
        ::SetActiveWindow(ownerWindow);
    }
    if (::IsWindowVisible(hwnd))
        ::ShowWindow(hwnd, SW_HIDE);
}

void Win32Toolkit::beep() {
    ::MessageBeep(MB_OK);
}

void Win32Toolkit::endProgram() {
    std::fflush(nullptr);
    // At once: no destructor, no further reaction, nothing asked. A child process started by a
    // command goes on.
    ::ExitProcess(0);
}

} // namespace pxw::view_win32
