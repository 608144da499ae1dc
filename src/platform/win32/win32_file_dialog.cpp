#include "win32_file_dialog.h"

#include "base/wide_text.h"

#include <algorithm>
#include <commdlg.h>
#include <vector>

namespace pxw::platform::win32 {

using base::widened;

std::wstring dialogFilterOf(const std::string& filter) {
    std::wstring wide;
    for (const FilterEntry& entry : filterEntries(filter)) {
        wide.append(widened(entry.description)).push_back(L'\0');
        wide.append(entry.patterns.empty() ? L"*.*" : widened(entry.patterns)).push_back(L'\0');
    }
    if (!wide.empty())
        wide.push_back(L'\0');
    return wide;
}

std::string dialogAnswerOf(const wchar_t* buffer, std::size_t capacity) {
    // The parts end at a double NUL; one part alone is a full path.
    std::string answer;
    std::size_t at = 0;
    while (at < capacity && buffer[at] != L'\0') {
        const std::size_t length = std::wcslen(buffer + at);
        if (!answer.empty())
            answer += '\0';
        answer += base::narrowed(std::wstring_view(buffer + at, length));
        at += length + 1;
    }
    return answer;
}

Win32FileDialogService::Win32FileDialogService(WindowLookup windows)
    : windows_(std::move(windows)) {
}

DialogResult Win32FileDialogService::showOpen(FileDialog& dialog, WindowHandle owner) {
    return show(dialog, owner, false);
}

DialogResult Win32FileDialogService::showSave(FileDialog& dialog, WindowHandle owner) {
    return show(dialog, owner, true);
}

DialogResult Win32FileDialogService::show(FileDialog& dialog, WindowHandle owner, bool save) {
    const std::size_t capacity = static_cast<std::size_t>(std::max(dialog.MaxFileSize, 2));
    std::vector<wchar_t> answer(capacity + 1, L'\0');
    // An answer naming several files is no name to offer again.
    if (dialog.FileName.find('\0') == std::string::npos) {
        const std::wstring name = widened(dialog.FileName);
        std::copy_n(name.begin(), std::min(name.size(), capacity - 1), answer.begin());
    }
    const std::wstring filter = dialogFilterOf(dialog.Filter);
    const std::wstring title = widened(dialog.DialogTitle);
    const std::wstring folder = widened(dialog.InitDir);
    std::wstring extension = widened(dialog.DefaultExt);
    if (!extension.empty() && extension.front() == L'.')
        extension.erase(0, 1); // the dialog wants it without the period

    OPENFILENAMEW shown {};
    shown.lStructSize = sizeof shown;
    shown.hwndOwner = owner && windows_ ? windows_(owner) : nullptr;
    shown.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    shown.nFilterIndex = static_cast<DWORD>(std::max(dialog.FilterIndex, 0));
    shown.lpstrFile = answer.data();
    shown.nMaxFile = static_cast<DWORD>(capacity);
    shown.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    shown.lpstrTitle = title.empty() ? nullptr : title.c_str();
    shown.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // The tool runs in a folder of its own and every path the program uses is absolute; still,
    // the dialog leaves this program's current folder as it was.
    shown.Flags = static_cast<DWORD>(dialog.Flags) | OFN_NOCHANGEDIR;

    const BOOL confirmed = save ? ::GetSaveFileNameW(&shown) : ::GetOpenFileNameW(&shown);
    if (!confirmed)
        // No extended error: the user cancelled. FNERR_BUFFERTOOSMALL and the others: the
        // dialog could not hand its answer back.
        return ::CommDlgExtendedError() == 0 ? DialogResult::Cancelled : DialogResult::Failed;
    dialog.FileName = dialogAnswerOf(answer.data(), capacity);
    dialog.FilterIndex = static_cast<int>(shown.nFilterIndex);
    return DialogResult::Confirmed;
}

} // namespace pxw::platform::win32
