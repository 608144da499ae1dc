// The progress window on Windows: a small window of the tool's own (a line of text, a progress
// bar and Cancel) on a thread with its message loop, where Linux starts lumaprogress.

#include "base/wide_text.h"
#include "platform/image_tool.h"
#include "window_link.h"

#include <cstdlib>
#include <mutex>
#include <utility>
// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <commctrl.h>
// clang-format on

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

constexpr UINT UpdateMessage = WM_APP + 1;
constexpr UINT CloseMessage = WM_APP + 2;
constexpr int CancelId = 1;
constexpr const wchar_t* ClassName = L"LumabatchProgress";

} // namespace

struct WindowLink::Window {
    std::function<void()> onCancel;
    std::wstring title;
    std::size_t total = 0;
    std::thread thread;
    HWND window = nullptr;
    HWND text = nullptr;
    HWND bar = nullptr;
    std::mutex mutex;
    std::wstring current; ///< what the next update shows
    std::size_t done = 0;
    bool cancelled = false;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the window keeps its owner as a number
        auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == CancelId)
                self->cancel();
            return 0;
        case WM_CLOSE:
            self->cancel();
            return 0;
        case UpdateMessage: {
            std::lock_guard lock(self->mutex);
            SetWindowTextW(self->text, self->current.c_str());
            SendMessageW(self->bar, PBM_SETPOS, self->done, 0);
            return 0;
        }
        case CloseMessage:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

    // Cancel, or closing the window, stops the run once; the window stays until the tool ends.
    void cancel() {
        if (std::exchange(cancelled, true))
            return;
        EnableWindow(GetDlgItem(window, CancelId), FALSE);
        SetWindowTextW(text, L"Cancelling...");
        onCancel();
    }

    void run() {
        INITCOMMONCONTROLSEX controls { sizeof controls, ICC_PROGRESS_CLASS };
        InitCommonControlsEx(&controls);
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        // NOLINTNEXTLINE(performance-no-int-to-ptr): a system colour stands for a brush
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = ClassName;
        RegisterClassW(&windowClass);
        window
            = CreateWindowExW(0, ClassName, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                CW_USEDEFAULT, CW_USEDEFAULT, 420, 150, nullptr, nullptr, instance, nullptr);
        if (window) {
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
            text = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ENDELLIPSIS, 12,
                10, 380, 20, window, nullptr, instance, nullptr);
            bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 12, 36, 380, 20,
                window, nullptr, instance, nullptr);
            const HWND button = CreateWindowExW(0, L"BUTTON", L"Cancel",
                WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 302, 66, 90, 26, window,
                // NOLINTNEXTLINE(performance-no-int-to-ptr): a child control's id
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(CancelId)), instance, nullptr);
            SendMessageW(text, WM_SETFONT, font, 0);
            SendMessageW(button, WM_SETFONT, font, 0);
            SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
            ShowWindow(window, SW_SHOWNORMAL);
        }
        SetEvent(ready);
        if (!window)
            return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
};

int requestedShowState() {
    if (const char* value = std::getenv(platform::image_tool::ShowStateVariable))
        return std::atoi(value);
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 0;
}

bool displayAvailable() {
    return true;
}

std::optional<fs::path> progressWindowProgram() {
    return fs::path(L"lumabatch.exe");
}

std::unique_ptr<WindowLink> WindowLink::start(
    const fs::path&, const std::string& title, std::size_t total, std::function<void()> onCancel) {
    auto window = std::make_unique<Window>();
    window->onCancel = std::move(onCancel);
    window->title = base::widened(title);
    window->total = total;
    Window* shown = window.get();
    window->thread = std::thread([shown] { shown->run(); });
    WaitForSingleObject(window->ready, INFINITE);
    if (!window->window) {
        window->thread.join();
        return nullptr;
    }
    return std::unique_ptr<WindowLink>(new WindowLink(std::move(window)));
}

WindowLink::WindowLink(std::unique_ptr<Window> window)
    : window_(std::move(window)) {
}

WindowLink::~WindowLink() {
    PostMessageW(window_->window, CloseMessage, 0, 0);
    window_->thread.join();
    CloseHandle(window_->ready);
}

void WindowLink::started(const std::string& name) {
    {
        std::lock_guard lock(window_->mutex);
        window_->current = base::widened(name);
    }
    PostMessageW(window_->window, UpdateMessage, 0, 0);
}

void WindowLink::finished(std::size_t done) {
    {
        std::lock_guard lock(window_->mutex);
        window_->done = done;
    }
    PostMessageW(window_->window, UpdateMessage, 0, 0);
}

} // namespace pxw::lumabatch
