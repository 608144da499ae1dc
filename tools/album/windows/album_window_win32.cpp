#include "album_window_win32.h"

#include "album_command.h"
#include "base/system.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "ico_decoder.h"
#include "picture.h"
#include "wic_images.h"

#include <algorithm>
#include <optional>
#include <vector>

// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <shlobj.h>
#include <windowsx.h>
// clang-format on

namespace pxw::zip {

namespace {

constexpr int barHeight = 44;
constexpr COLORREF backdrop = RGB(40, 40, 40);
constexpr int previousId = 1, nextId = 2, saveId = 3, captionId = 4;

// A 32-bit top-down DIB description for `picture`'s size.
BITMAPINFO dibInfo(int width, int height) {
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// `picture` as blue, green, red, alpha bytes (premultiplied where `premultiply`).
std::vector<unsigned char> bgra(const Picture& picture, bool premultiply) {
    std::vector<unsigned char> out(static_cast<std::size_t>(picture.width) * picture.height * 4);
    for (std::size_t i = 0, j = 0; j < out.size(); i += picture.channels, j += 4) {
        const unsigned alpha = picture.channels == 4 ? picture.pixels[i + 3] : 255;
        for (int c = 0; c < 3; ++c) {
            const unsigned value = picture.pixels[i + 2 - c];
            out[j + c] = static_cast<unsigned char>(premultiply ? value * alpha / 255 : value);
        }
        out[j + 3] = static_cast<unsigned char>(alpha);
    }
    return out;
}

HICON iconOf(const Picture& picture) {
    BITMAPINFO info = dibInfo(picture.width, picture.height);
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP color = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    if (!color)
        return nullptr;
    const std::vector<unsigned char> pixels = bgra(picture, false);
    std::copy(pixels.begin(), pixels.end(), static_cast<unsigned char*>(bits));
    HBITMAP mask = ::CreateBitmap(picture.width, picture.height, 1, 1, nullptr);
    ICONINFO parts { TRUE, 0, 0, mask, color };
    HICON icon = ::CreateIconIndirect(&parts);
    ::DeleteObject(mask);
    ::DeleteObject(color);
    return icon;
}

// The Replace / Keep both / Cancel question, a small modal window of its own.
class ClashQuestionWindow {
public:
    struct Reply {
        ClashAnswer answer = ClashAnswer::cancel;
        bool forAll = false;
    };

    static Reply ask(HWND owner, const std::string& title, const std::string& text) {
        static const bool registered = [] {
            WNDCLASSW type {};
            type.lpfnWndProc = procedure;
            type.hInstance = ::GetModuleHandleW(nullptr);
            type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            type.lpszClassName = L"PxwAlbumClash";
            return ::RegisterClassW(&type) != 0;
        }();
        Reply reply;
        if (!registered)
            return reply;
        ClashQuestionWindow question;
        HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, L"PxwAlbumClash",
            base::widened(title).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
            CW_USEDEFAULT, 476, 190, owner, nullptr, ::GetModuleHandleW(nullptr), &question);
        HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        auto control = [&](const wchar_t* type, const std::wstring& label, DWORD style, int x,
                           int y, int width, int height, int id) {
            HWND child = ::CreateWindowExW(0, type, label.c_str(), WS_CHILD | WS_VISIBLE | style, x,
                y, width, height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                nullptr, nullptr);
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            return child;
        };
        control(L"STATIC", base::widened(text), 0, 12, 10, 436, 60, 0);
        question.all_ = control(
            L"BUTTON", L"&Do the same for all", BS_AUTOCHECKBOX | WS_TABSTOP, 12, 74, 300, 24, 0);
        control(L"BUTTON", L"&Replace", BS_PUSHBUTTON | WS_TABSTOP, 12, 110, 120, 30, replaceId);
        HWND keepBoth = control(
            L"BUTTON", L"&Keep both", BS_DEFPUSHBUTTON | WS_TABSTOP, 142, 110, 150, 30, keepBothId);
        control(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 348, 110, 100, 30, IDCANCEL);
        ::EnableWindow(owner, FALSE);
        ::ShowWindow(window, SW_SHOW);
        ::SetFocus(keepBoth);
        MSG message;
        while (!question.answered_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
            // Enter answers with the default button, Escape with Cancel, Alt+letter with its
            // button, as in a dialog.
            if (!::IsDialogMessageW(window, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
        reply = question.reply_;
        ::EnableWindow(owner, TRUE);
        ::DestroyWindow(window);
        ::SetForegroundWindow(owner);
        return reply;
    }

private:
    static constexpr int replaceId = 10, keepBothId = 11;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
        auto* self
            = reinterpret_cast<ClashQuestionWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && (message == WM_COMMAND || message == WM_CLOSE)) {
            const int id = message == WM_CLOSE ? IDCANCEL : LOWORD(w);
            if (id == replaceId || id == keepBothId || id == IDCANCEL || id == IDOK) {
                self->reply_.answer = id == replaceId ? ClashAnswer::replace
                    : id == IDCANCEL                  ? ClashAnswer::cancel
                                                      : ClashAnswer::keepBoth;
                self->reply_.forAll = ::SendMessageW(self->all_, BM_GETCHECK, 0, 0) == BST_CHECKED;
                self->answered_ = true;
                return 0;
            }
        }
        return ::DefWindowProcW(window, message, w, l);
    }

    HWND all_ = nullptr;
    Reply reply_;
    bool answered_ = false;
};

class AlbumWindow {
public:
    AlbumWindow(AlbumReader& album, std::string albumName)
        : album_(album)
        , albumName_(std::move(albumName)) { }

    int run() {
        WNDCLASSW type {};
        type.lpfnWndProc = procedure;
        type.hInstance = ::GetModuleHandleW(nullptr);
        type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        type.lpszClassName = L"PxwAlbum";
        if (!::RegisterClassW(&type))
            return albumExitFailed;
        window_ = ::CreateWindowExW(0, L"PxwAlbum", base::widened(albumName_).c_str(),
            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 816, 679, nullptr,
            nullptr, type.hInstance, this);
        if (!window_)
            return albumExitFailed;
        HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        auto control = [&](const wchar_t* kind, const wchar_t* label, DWORD style, int id) {
            HWND child = ::CreateWindowExW(0, kind, label, WS_CHILD | WS_VISIBLE | style, 0, 0, 10,
                10, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            return child;
        };
        previous_ = control(L"BUTTON", L"< &Previous", BS_PUSHBUTTON, previousId);
        caption_ = control(L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, captionId);
        next_ = control(L"BUTTON", L"&Next >", BS_PUSHBUTTON, nextId);
        save_ = control(L"BUTTON", L"&Save all images...", BS_PUSHBUTTON, saveId);
        setIcon();
        showImage(0);
        layOut();
        ::ShowWindow(window_, SW_SHOWDEFAULT);

        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (handleKey(message))
                continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return albumExitOk;
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
        auto* self = reinterpret_cast<AlbumWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_SIZE:
            if (self)
                self->layOut();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = { 320, 240 };
            return 0;
        case WM_PAINT:
            if (self)
                self->paint();
            else
                ::ValidateRect(window, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1; // paint() covers everything but the buttons
        case WM_LBUTTONDOWN:
            if (self && GET_Y_LPARAM(l) < self->viewHeight())
                GET_X_LPARAM(l) >= self->width_ / 2 ? self->showNext() : self->showPrevious();
            return 0;
        case WM_COMMAND:
            if (self) {
                switch (LOWORD(w)) {
                case previousId:
                    self->showPrevious();
                    break;
                case nextId:
                    self->showNext();
                    break;
                case saveId:
                    self->saveAll();
                    break;
                default:
                    break;
                }
                ::SetFocus(window); // the arrow keys stay with the window
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, w, l);
        }
    }

    // The keys of the window, whichever of its controls has the focus.
    bool handleKey(const MSG& message) {
        if (message.hwnd != window_ && ::GetParent(message.hwnd) != window_)
            return false;
        if (message.message == WM_KEYDOWN) {
            switch (message.wParam) {
            case VK_LEFT:
                showPrevious();
                return true;
            case VK_RIGHT:
                showNext();
                return true;
            case VK_HOME:
                showImage(0);
                return true;
            case VK_END:
                showImage(imageCount() - 1);
                return true;
            default:
                return false;
            }
        }
        if (message.message == WM_SYSKEYDOWN) {
            const HWND button = message.wParam == 'P' ? previous_
                : message.wParam == 'N'               ? next_
                : message.wParam == 'S'               ? save_
                                                      : nullptr;
            if (button && ::IsWindowEnabled(button)) {
                ::SendMessageW(window_, WM_COMMAND, ::GetDlgCtrlID(button), 0);
                return true;
            }
        }
        return false;
    }

    int imageCount() const { return static_cast<int>(album_.entries().size()); }
    int viewHeight() const { return std::max(0, height_ - barHeight); }

    void layOut() {
        RECT client {};
        ::GetClientRect(window_, &client);
        width_ = client.right;
        height_ = client.bottom;
        const int top = viewHeight() + 7;
        ::MoveWindow(previous_, 8, top, 110, 30, TRUE);
        ::MoveWindow(caption_, 124, top, std::max(0, width_ - 124 - 290), 30, TRUE);
        ::MoveWindow(next_, width_ - 286, top, 110, 30, TRUE);
        ::MoveWindow(save_, width_ - 168, top, 160, 30, TRUE);
        ::InvalidateRect(window_, nullptr, FALSE);
    }

    void paint() {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window_, &paint);
        RECT view { 0, 0, width_, viewHeight() };
        HBRUSH dark = ::CreateSolidBrush(backdrop);
        if (picture_.empty()) {
            ::FillRect(dc, &view, dark);
            ::SetTextColor(dc, RGB(255, 255, 255));
            ::SetBkMode(dc, TRANSPARENT);
            RECT text { 20, 0, width_ - 20, viewHeight() };
            const std::wstring failure = base::widened(failure_);
            ::DrawTextW(dc, failure.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
        } else {
            const Size size = fittedSize(picture_.width, picture_.height, width_, viewHeight());
            if (shown_.width != size.width || shown_.height != size.height) {
                shown_ = scaled(picture_, size);
                shownBits_ = bgra(shown_, false);
            }
            const int left = (width_ - size.width) / 2, top = (viewHeight() - size.height) / 2;
            // The backdrop around the picture only, so that nothing flickers.
            const RECT around[] = { { 0, 0, width_, top },
                { 0, top + size.height, width_, viewHeight() }, { 0, top, left, top + size.height },
                { left + size.width, top, width_, top + size.height } };
            for (const RECT& part : around)
                ::FillRect(dc, &part, dark);
            BITMAPINFO info = dibInfo(shown_.width, shown_.height);
            ::SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(shown_.width),
                static_cast<DWORD>(shown_.height), 0, 0, 0, static_cast<UINT>(shown_.height),
                shownBits_.data(), &info, DIB_RGB_COLORS);
        }
        ::DeleteObject(dark);
        RECT bar { 0, viewHeight(), width_, height_ };
        ::FillRect(dc, &bar, ::GetSysColorBrush(COLOR_BTNFACE));
        ::EndPaint(window_, &paint);
    }

    void setIcon() {
        std::string bytes;
        if (!album_.readIcon(bytes))
            return;
        std::vector<Picture> pictures;
        for (const IconImage& image : decodeIco(bytes, nullptr)) {
            Picture picture
                = image.png.empty() ? image.pixels : decodeWithWic(image.png, true, nullptr);
            if (!picture.empty())
                pictures.push_back(std::move(picture));
        }
        if (pictures.empty())
            return;
        // The largest image for the big icon, the one nearest the small icon's size for it.
        const int small = ::GetSystemMetrics(SM_CXSMICON);
        auto largest = std::max_element(pictures.begin(), pictures.end(),
            [](const Picture& a, const Picture& b) { return a.width < b.width; });
        auto nearest = std::min_element(
            pictures.begin(), pictures.end(), [small](const Picture& a, const Picture& b) {
                return std::abs(a.width - small) < std::abs(b.width - small);
            });
        bigIcon_ = iconOf(*largest);
        smallIcon_ = iconOf(*nearest);
        ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
        ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    }

    void showImage(int index) {
        shown_ = {};
        if (imageCount() == 0) {
            picture_ = {};
            failure_ = "This album holds no images.";
            ::SetWindowTextW(caption_, L"");
            ::SetWindowTextW(window_, base::widened(albumName_).c_str());
            for (HWND button : { previous_, next_, save_ })
                ::EnableWindow(button, FALSE);
            ::InvalidateRect(window_, nullptr, FALSE);
            return;
        }
        current_ = std::clamp(index, 0, imageCount() - 1);
        const std::string& name = album_.entries()[static_cast<std::size_t>(current_)].name;
        std::string bytes, why;
        if (auto read = album_.readEntry(static_cast<std::size_t>(current_), bytes); !read)
            why = read.message();
        else if (picture_ = decodeWithWic(bytes, false, &why); picture_.empty())
            why = base::inQuotes(name) + " is not an image that can be shown: " + why;
        if (!why.empty())
            picture_ = {};
        failure_ = why;
        ::SetWindowTextW(caption_,
            base::widened(name + "  (" + std::to_string(current_ + 1) + " of "
                + std::to_string(imageCount()) + ")")
                .c_str());
        ::SetWindowTextW(window_, base::widened(name + " - " + albumName_).c_str());
        ::EnableWindow(previous_, current_ > 0);
        ::EnableWindow(next_, current_ + 1 < imageCount());
        ::InvalidateRect(window_, nullptr, FALSE);
    }

    void showNext() {
        if (current_ + 1 < imageCount())
            showImage(current_ + 1);
    }

    void showPrevious() {
        if (current_ > 0)
            showImage(current_ - 1);
    }

    std::optional<std::string> chooseFolder() {
        BROWSEINFOW browse {};
        browse.hwndOwner = window_;
        browse.lpszTitle = L"Save all images into a folder";
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
        if (!chosen)
            return std::nullopt;
        wchar_t path[MAX_PATH] = {};
        const bool found = ::SHGetPathFromIDListW(chosen, path);
        ::CoTaskMemFree(chosen);
        if (!found || !*path)
            return std::nullopt;
        return base::narrowed(path);
    }

    void saveAll() {
        std::optional<std::string> folder = chooseFolder();
        if (!folder)
            return;
        std::optional<ClashAnswer> forAll;
        ExtractReport report
            = album_.extractAll(base::sys::nameAsPath(*folder), [&](const std::string& name) {
                  if (forAll)
                      return *forAll;
                  const std::string text = base::inQuotes(name) + " is already in the folder "
                      + base::inQuotes(*folder)
                      + ".\nReplace that file with the album's image, or keep both?";
                  ClashQuestionWindow::Reply reply
                      = ClashQuestionWindow::ask(window_, albumName_, text);
                  if (reply.forAll)
                      forAll = reply.answer;
                  return reply.answer;
              });
        if (!report.cancelled)
            tellInBox(albumName_, saveReportText(report, *folder), !report.status);
    }

    AlbumReader& album_;
    std::string albumName_;
    HWND window_ = nullptr, previous_ = nullptr, caption_ = nullptr, next_ = nullptr,
         save_ = nullptr;
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
    int width_ = 0, height_ = 0, current_ = -1;
    Picture picture_, shown_;
    std::vector<unsigned char> shownBits_;
    std::string failure_;
};

} // namespace

void tellInBox(const std::string& title, const std::string& message, bool problem) {
    ::MessageBoxW(nullptr, base::widened(message).c_str(), base::widened(title).c_str(),
        MB_OK | (problem ? MB_ICONWARNING : MB_ICONINFORMATION));
}

int runAlbumWindow(AlbumReader& album, const std::string& albumName) {
    return AlbumWindow(album, albumName).run();
}

} // namespace pxw::zip
