// The Win32 view under Wine: model changes reach the child windows, the user's input reaches
// the model, and the toolkit's modal windows and questions hold their owner.

#include "ui/about.h"
#include "ui/frm_backup_files.h"
#include "view_win32/win32_toolkit.h"

#include <commctrl.h>
#include <functional>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <string>
#include <vector>

using namespace pxw;

namespace {

std::string textOf(HWND window) {
    wchar_t text[512] {};
    ::GetWindowTextW(window, text, 512);
    return std::string(text, text + std::wcslen(text)); // the tests' texts are ASCII
}

std::string rowsOf(HWND list) {
    std::string rows;
    for (LRESULT i = 0; i < ::SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        wchar_t row[512] {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
        rows += std::string(row, row + std::wcslen(row)) + "|";
    }
    return rows;
}

std::string joined(const std::vector<std::string>& entries) {
    std::string rows;
    for (const std::string& entry : entries)
        rows += entry + "|";
    return rows;
}

// The main window shown through the view; unloading counts instead of ending the program.
struct Shown {
    Shown() {
        form.Form_Load();
        form.Unload = [this] { ++unloads; };
        toolkit.showMainWindow(form);
    }
    HWND operator[](const std::string& name) const {
        return toolkit.formWindowOf(ui::handleOf(form))->controlWindow(name);
    }
    HWND window() const { return toolkit.windowOf(ui::handleOf(form)); }
    // Posts a key to the focused control and lets the view handle it, as a key press is.
    void press(WPARAM key) {
        ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
        toolkit.processPendingEvents(-1);
    }

    ui::frmBackupFiles form;
    int unloads = 0;
    view_win32::Win32Toolkit toolkit { ::GetModuleHandleW(nullptr) };
};

// Runs `check` from the message loop of whatever modal window the thread shows next.
std::function<void()> duringModal;
void runDuringModal(std::function<void()> check) {
    duringModal = std::move(check);
    ::SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR timer, DWORD) {
        ::KillTimer(nullptr, timer);
        duringModal();
    });
}

} // namespace

TEST(Win32View, ModelChangesReachTheControls) {
    using Form = ui::frmBackupFiles;
    const std::string tip = "Width of the converted images";
    struct Row {
        const char* control;
        std::function<void(Form&)> change;
        std::function<std::string(HWND)> shown;
        std::function<std::string(const Form&)> model;
    };
    const auto checked = [](HWND box) {
        return std::to_string(::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
    };
    const auto tipOf = [](HWND control) {
        wchar_t text[128] {};
        TTTOOLINFOW tool {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = ::GetParent(control);
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        HWND tips = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
        ::SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
        return std::string(text, text + std::wcslen(text));
    };
    const Row rows[] = {
        { "Text3", [](Form& f) { f.Text3.setText("12"); }, textOf,
            [](const Form& f) { return f.Text3.text(); } },
        { "txtWidth", [](Form& f) { f.txtWidth.setText("123456"); }, textOf, // beyond its limit
            [](const Form& f) { return f.txtWidth.text(); } },
        { "Check2", [](Form& f) { f.Check2.setValue(1); }, checked,
            [](const Form& f) { return std::to_string(f.Check2.value()); } },
        { "FileList",
            [](Form& f) {
                f.FileList.AddItems({ "C:\\b.jpg", "C:\\A.jpg" });
            },
            rowsOf, [](const Form& f) { return joined(f.FileList.entries()); } },
        { "FileList", [](Form& f) { f.FileList.setListIndex(1); },
            [](HWND list) { return std::to_string(::SendMessageW(list, LB_GETCURSEL, 0, 0)); },
            [](const Form& f) { return std::to_string(f.FileList.ListIndex()); } },
        { "txtWidth", [&](Form& f) { f.txtWidth.setToolTipText(tip); }, tipOf,
            [](const Form& f) { return f.txtWidth.toolTipText(); } },
    };
    Shown shown;
    for (const Row& row : rows) {
        const std::string before = row.shown(shown[row.control]);
        row.change(shown.form);
        EXPECT_NE(row.shown(shown[row.control]), before) << row.control;
        EXPECT_EQ(row.shown(shown[row.control]), row.model(shown.form)) << row.control;
    }
}

TEST(Win32View, InputReachesTheModel) {
    Shown shown;
    ui::frmBackupFiles& form = shown.form;
    int removes = 0, links = 0, abouts = 0;
    std::vector<std::string> dropped;
    form.FileRemove.Click = [&] { ++removes; };
    form.Label2.Click = [&] { ++links; };
    form.mnuHelp_About.Click = [&] { ++abouts; };
    form.FileList.DragDrop = [&](const std::vector<std::string>& paths) { dropped = paths; };

    ::SendMessageW(shown["Check2"], BM_CLICK, 0, 0);
    EXPECT_EQ(form.Check2.value(), 1);
    const std::string typed = "ab";
    for (char key : typed)
        ::SendMessageW(shown["namegen"], WM_CHAR, static_cast<WPARAM>(key), 1);
    EXPECT_EQ(form.namegen.text(), typed);
    ::SetFocus(shown["FileRemove"]);
    shown.press(VK_RETURN);
    EXPECT_EQ(removes, 1) << "Enter presses the focused button";

    form.FileList.AddItems({ "C:\\a.jpg", "C:\\b.jpg" });
    RECT row {};
    ::SendMessageW(shown["FileList"], LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 2, row.top + 2);
    ::SendMessageW(shown["FileList"], WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(shown["FileList"], WM_LBUTTONUP, 0, at);
    EXPECT_EQ(form.FileList.ListIndex(), 1);

    // A click on the link label, then a double click: the second press is no second click.
    for (UINT message : { WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
             WM_LBUTTONDBLCLK, WM_LBUTTONUP })
        ::SendMessageW(shown["Label2"], message, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(links, 2);

    // Files dropped as the shell drops them: native paths behind a DROPFILES header.
    const wchar_t paths[] = L"C:\\photos\\one.jpg\0D:\\two.png\0"; // and the list's end
    HGLOBAL drop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof paths);
    auto* header = static_cast<DROPFILES*>(::GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(std::begin(paths), std::end(paths), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(drop);
    ::SendMessageW(shown["FileList"], WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(dropped, (std::vector<std::string> { "C:\\photos\\one.jpg", "D:\\two.png" }));

    HMENU help = ::GetSubMenu(::GetMenu(shown.window()), 0);
    ::SendMessageW(shown.window(), WM_COMMAND, ::GetMenuItemID(help, 2), 0);
    EXPECT_EQ(abouts, 1);

    ::SendMessageW(shown.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(shown.unloads, 1);
    EXPECT_EQ(shown.toolkit.run(), 0) << "closing the main window ends the loop";
}

TEST(Win32View, MenusAndTabOrderAreTheModels) {
    Shown shown;
    HMENU bar = ::GetMenu(shown.window());
    const ui::Menu& menu = shown.form.mnuHelp;
    wchar_t caption[64] {};
    ::GetMenuStringW(bar, 0, caption, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(caption), std::wstring(menu.caption.begin(), menu.caption.end()));
    HMENU items = ::GetSubMenu(bar, 0);
    ASSERT_EQ(::GetMenuItemCount(items), static_cast<int>(menu.items.size()));
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const auto position = static_cast<UINT>(i);
        const std::string& expected = menu.items[i]->caption();
        ::GetMenuStringW(items, position, caption, 64, MF_BYPOSITION);
        if (menu.items[i]->isSeparator())
            EXPECT_TRUE(::GetMenuState(items, position, MF_BYPOSITION) & MF_SEPARATOR);
        else
            EXPECT_EQ(std::wstring(caption), std::wstring(expected.begin(), expected.end()));
    }

    std::vector<std::string> expected, reached;
    for (const ui::Control* control : shown.form.tabChain())
        expected.push_back(control->name());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        reached.push_back(view_win32::ControlWindow::of(::GetFocus())->control().name());
        shown.press(VK_TAB);
    }
    EXPECT_EQ(reached, expected);
    EXPECT_EQ(::GetFocus(), shown[expected.front()]) << "the chain goes round";
}

TEST(Win32View, ModalWindowsHoldTheirOwner) {
    Shown shown;
    ui::About about;
    bool ownerTookInput = true, aboutShown = false;
    runDuringModal([&] {
        ownerTookInput = ::IsWindowEnabled(shown.window());
        HWND window = shown.toolkit.windowOf(ui::handleOf(about));
        aboutShown = window != nullptr && ::GetWindow(window, GW_OWNER) == shown.window();
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    });
    shown.toolkit.showModal(ui::handleOf(about), ui::handleOf(shown.form));
    EXPECT_FALSE(ownerTookInput);
    EXPECT_TRUE(aboutShown);
    EXPECT_TRUE(::IsWindowEnabled(shown.window()));
    EXPECT_EQ(shown.toolkit.windowOf(ui::handleOf(about)), nullptr) << "closed";
}

namespace {

// The window of the thread's that bears `title`, or nullptr.
HWND shownWindowTitled(const std::string& title) {
    struct Search {
        std::string title;
        HWND found = nullptr;
    } search { title };
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = view_win32::fromNumber<Search*>(data);
            if (::IsWindowVisible(window) && textOf(window) == search->title)
                search->found = window;
            return search->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of a window's shown children, each followed by '|'.
std::string childTexts(HWND window) {
    std::string texts;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            if (::IsWindowVisible(child))
                *view_win32::fromNumber<std::string*>(data) += textOf(child) + "|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

} // namespace

TEST(Win32Toolkit, QuestionsOfferTheAcceptButtonAndDefaultToCancel) {
    Shown shown;
    const std::string title = "Replace files", accept = "Replace";
    struct Row {
        const char* answer;
        std::function<void(HWND)> answerWith;
        bool accepted;
    };
    const Row rows[] = {
        { "the accept button", [](HWND box) { ::SendMessageW(box, TDM_CLICK_BUTTON, 100, 0); },
            true },
        { "Enter",
            [](HWND box) {
                ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                ::PostMessageW(::GetFocus(), WM_KEYUP, VK_RETURN, 1);
                (void)box;
            },
            false },
    };
    for (const Row& row : rows) {
        std::string texts;
        runDuringModal([&] {
            HWND box = shownWindowTitled(title);
            texts = childTexts(box);
            row.answerWith(box);
        });
        EXPECT_EQ(shown.toolkit.confirm("Replace 3 files?", title, accept), row.accepted)
            << row.answer;
        EXPECT_NE(texts.find("|" + accept + "|"), std::string::npos) << texts;
    }
}

TEST(Win32Toolkit, DetailsWaitBehindAButton) {
    Shown shown;
    const std::string title = "Not converted", details = "C:\\a.jpg\r\nC:\\b.jpg";
    std::string collapsed, expanded;
    runDuringModal([&] {
        HWND box = shownWindowTitled(title);
        collapsed = childTexts(box);
        HWND button = ::FindWindowExW(box, nullptr, nullptr, L"Show Details...");
        ::SendMessageW(button, BM_CLICK, 0, 0);
        expanded = childTexts(box);
        ::SendMessageW(box, TDM_CLICK_BUTTON, IDOK, 0);
    });
    shown.toolkit.detailedMessageBox(
        "2 images were not converted.", platform::MessageIcon::Exclamation, title, details);
    EXPECT_EQ(collapsed.find(details), std::string::npos) << "shown before the button was used";
    EXPECT_NE(expanded.find(details), std::string::npos) << expanded;
}

TEST(Win32Toolkit, BusyShowsTheBusyCursorOverTheMainWindow) {
    Shown shown;
    const HCURSOR busy = ::LoadCursorW(nullptr, IDC_APPSTARTING);
    for (bool state : { true, false }) {
        shown.toolkit.setBusy(state);
        HWND control = shown["FileList"];
        ::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(::GetCursor() == busy, state);
    }
}
