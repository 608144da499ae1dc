#pragma once

#include "platform/file_dialog.h"
#include "win32_processes.h"

#include <optional>
#include <string>

namespace pxw::platform::win32 {

/// The filter of a dialog (description|pattern pairs separated by '|') as the common dialog
/// takes it: each part ended by NUL, and one NUL more at the end. A pair without a pattern
/// shows every file, as on Linux.
std::wstring dialogFilterOf(const std::string& filter);

/// The dialog's answer from its buffer: one full path, or (several files chosen) the folder
/// and each name separated by NUL characters, as the model reads it back.
std::string dialogAnswerOf(const wchar_t* buffer, std::size_t capacity);

/// The file dialogs on Windows' common dialogs (GetOpenFileNameW, GetSaveFileNameW). The
/// model's flags are the dialogs' own and pass as they are; the answer's buffer holds
/// MaxFileSize characters. The folder picker is an Open dialog that accepts its placeholder
/// name, as the model sets it up.
class Win32FileDialogService final : public FileDialogService {
public:
    explicit Win32FileDialogService(WindowLookup windows);

    DialogResult showOpen(FileDialog& dialog, WindowHandle owner) override;
    DialogResult showSave(FileDialog& dialog, WindowHandle owner) override;

private:
    DialogResult show(FileDialog& dialog, WindowHandle owner, bool save);

    WindowLookup windows_;
};

} // namespace pxw::platform::win32
