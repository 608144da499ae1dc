#pragma once

#include "toolkit.h"

#include <string>
#include <vector>

namespace pxw::platform {

/// A common file dialog object. Keeps its values, the last chosen file name included, between
/// uses. Paths are Windows-style.
struct FileDialog {
    std::string DialogTitle;
    std::string Filter; ///< description|pattern pairs, separated by '|'
    std::string DefaultExt;
    std::string InitDir;
    std::string FileName; ///< several files: folder NUL name NUL name ...
    long Flags = 0;
    int MaxFileSize = 260;
    bool CancelError = false;
    int FilterIndex = 1;
};

/// One line of a dialog's filter: what the dialog shows, and its patterns ("*.jpg;*.gif").
struct FilterEntry {
    std::string description;
    std::string patterns;
};

/// The lines of a filter (description|patterns pairs); a pair with both parts empty is left out.
std::vector<FilterEntry> filterEntries(const std::string& filter);

/// Flags of the file dialog object, as the program sets them.
namespace dialog_flags {
inline constexpr long OverwritePrompt = 0x2;
inline constexpr long HideReadOnly = 0x4;
inline constexpr long AllowMultiSelect = 0x200;
inline constexpr long FileMustExist = 0x1000;
inline constexpr long Explorer = 0x80000;
inline constexpr long LongNames = 0x200000;
} // namespace dialog_flags

enum class DialogResult {
    Confirmed,
    Cancelled, ///< the user cancelled
    Failed, ///< the dialog could not return a result (for example, the names exceed MaxFileSize)
};

/// Shows file dialogs. On Confirmed the chosen name is written into dialog.FileName.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual DialogResult showOpen(FileDialog& dialog, WindowHandle owner) = 0;
    virtual DialogResult showSave(FileDialog& dialog, WindowHandle owner) = 0;
};

} // namespace pxw::platform
