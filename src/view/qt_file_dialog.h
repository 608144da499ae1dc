#pragma once

#include "platform/file_dialog.h"
#include "platform/windows_path.h"
#include "window_registry.h"

#include <QFileDialog>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

namespace pxw::view {

/// Qt name filters for a dialog filter of description|pattern pairs. Several patterns of one
/// pair are separated by ';'; a pair without a pattern shows every file.
QStringList nameFiltersOf(const std::string& filter);

/// The place of `selected` among `filters`: Qt names the selected filter in full, or by its
/// description alone when the dialog hides the patterns. -1 when it is none of them.
int nameFilterIndex(const QStringList& filters, const QString& selected);

/// The dialog's answer for the chosen host files, Windows-style: the full path of one file, or
/// the folder followed by each name, all separated by NUL characters.
std::string answerOf(const QStringList& chosenFiles, const platform::DriveMap& drives);

/// The file dialogs on Qt's own file dialog, which behaves alike on every desktop. In Open mode
/// a name that does not exist is accepted unless the flags ask for existing files, so the
/// folder picker gets back the folder the user moved into plus its placeholder name.
class QtFileDialogService : public platform::FileDialogService {
public:
    /// Shows the configured dialog and returns the chosen host paths, or nothing when the user
    /// cancelled.
    using Runner = std::function<std::optional<QStringList>(QFileDialog&)>;

    /// Owners are looked up in `windows`; paths are mapped through `drives`.
    QtFileDialogService(const WindowRegistry& windows, platform::DriveMap drives);

    platform::DialogResult showOpen(
        platform::FileDialog& dialog, platform::WindowHandle owner) override;
    platform::DialogResult showSave(
        platform::FileDialog& dialog, platform::WindowHandle owner) override;

    /// Replaces the modal run of the dialog, for answering it from a script.
    void setRunner(Runner runner) { runner_ = std::move(runner); }

private:
    platform::DialogResult show(
        platform::FileDialog& dialog, platform::WindowHandle owner, QFileDialog::AcceptMode mode);
    void setUp(
        QFileDialog& shown, const platform::FileDialog& dialog, QFileDialog::AcceptMode mode) const;

    const WindowRegistry& windows_;
    platform::DriveMap drives_;
    Runner runner_;
};

} // namespace pxw::view
