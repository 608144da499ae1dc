#include "qt_file_dialog.h"

#include "base/text.h"
#include "platform/names.h"

#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace pxw::view {

namespace {

QString hostString(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

fs::path hostPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

std::optional<QString> existingHostFolder(
    const std::string& windowsFolder, const platform::DriveMap& drives) {
    if (windowsFolder.empty())
        return std::nullopt;
    std::optional<fs::path> host = drives.toHost(windowsFolder);
    std::error_code error;
    if (!host || !fs::is_directory(*host, error))
        return std::nullopt;
    return hostString(*host);
}

QFileDialog::FileMode openModeFor(long flags) {
    if (flags & platform::dialog_flags::AllowMultiSelect)
        return QFileDialog::ExistingFiles;
    if (flags & platform::dialog_flags::FileMustExist)
        return QFileDialog::ExistingFile;
    return QFileDialog::AnyFile;
}

std::optional<QStringList> runModally(QFileDialog& shown) {
    if (shown.exec() != QDialog::Accepted)
        return std::nullopt;
    return shown.selectedFiles();
}

} // namespace

QStringList nameFiltersOf(const std::string& filter) {
    QStringList filters;
    for (const platform::FilterEntry& entry : platform::filterEntries(filter)) {
        QStringList wildcards;
        for (const std::string& one : base::splitAt(entry.patterns, ';')) {
            const QString wildcard = QString::fromStdString(one).trimmed();
            if (!wildcard.isEmpty())
                wildcards << wildcard;
        }
        const QString shown = wildcards.isEmpty() ? QStringLiteral("*") : wildcards.join(u' ');
        filters << QString::fromStdString(entry.description) + QStringLiteral(" (") + shown + u')';
    }
    return filters;
}

int nameFilterIndex(const QStringList& filters, const QString& selected) {
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString& filter = filters.at(i);
        const QString description
            = filter.left(filter.lastIndexOf(QStringLiteral(" ("))).simplified();
        if (filter == selected || description == selected.simplified())
            return static_cast<int>(i);
    }
    return -1;
}

std::string answerOf(const QStringList& chosenFiles, const platform::DriveMap& drives) {
    if (chosenFiles.isEmpty())
        return {};
    if (chosenFiles.size() == 1)
        return drives.toWindows(hostPath(chosenFiles.front()));
    std::string answer = drives.toWindows(hostPath(chosenFiles.front()).parent_path());
    for (const QString& file : chosenFiles) {
        answer += '\0';
        answer += hostPath(file).filename().string();
    }
    return answer;
}

QtFileDialogService::QtFileDialogService(const WindowRegistry& windows, platform::DriveMap drives)
    : windows_(windows)
    , drives_(std::move(drives))
    , runner_(runModally) {
}

platform::DialogResult QtFileDialogService::showOpen(
    platform::FileDialog& dialog, platform::WindowHandle owner) {
    return show(dialog, owner, QFileDialog::AcceptOpen);
}

platform::DialogResult QtFileDialogService::showSave(
    platform::FileDialog& dialog, platform::WindowHandle owner) {
    return show(dialog, owner, QFileDialog::AcceptSave);
}

platform::DialogResult QtFileDialogService::show(
    platform::FileDialog& dialog, platform::WindowHandle owner, QFileDialog::AcceptMode mode) {
    QFileDialog shown(windows_.viewOf(owner));
    setUp(shown, dialog, mode);
    const std::optional<QStringList> chosen = runner_(shown);
    if (!chosen || chosen->isEmpty())
        return platform::DialogResult::Cancelled;

    std::string answer = answerOf(*chosen, drives_);
    // The caller's buffer holds MaxFileSize characters (UTF-16 code units), the terminating NUL
    // included (two of them after a list of several files).
    const std::size_t terminators = chosen->size() > 1 ? 2 : 1;
    if (platform::utf16Length(answer) + terminators
        > static_cast<std::size_t>(std::max(dialog.MaxFileSize, 0)))
        return platform::DialogResult::Failed;
    dialog.FileName = std::move(answer);
    const int filter = nameFilterIndex(shown.nameFilters(), shown.selectedNameFilter());
    if (filter >= 0)
        dialog.FilterIndex = filter + 1;
    return platform::DialogResult::Confirmed;
}

void QtFileDialogService::setUp(
    QFileDialog& shown, const platform::FileDialog& dialog, QFileDialog::AcceptMode mode) const {
    const bool save = mode == QFileDialog::AcceptSave;
    shown.setOption(QFileDialog::DontUseNativeDialog, true);
    // The filter list shows the descriptions only, as they are written.
    shown.setOption(QFileDialog::HideNameFilterDetails, true);
    shown.setAcceptMode(mode);
    shown.setFileMode(save ? QFileDialog::AnyFile : openModeFor(dialog.Flags));
    if (save && !(dialog.Flags & platform::dialog_flags::OverwritePrompt))
        shown.setOption(QFileDialog::DontConfirmOverwrite, true);
    shown.setWindowTitle(!dialog.DialogTitle.empty() ? QString::fromStdString(dialog.DialogTitle)
            : save                                   ? QStringLiteral("Save As")
                                                     : QStringLiteral("Open"));

    const QStringList filters = nameFiltersOf(dialog.Filter);
    if (!filters.isEmpty()) {
        shown.setNameFilters(filters);
        const int index = std::clamp(dialog.FilterIndex, 1, static_cast<int>(filters.size())) - 1;
        shown.selectNameFilter(filters.at(index));
    }

    std::string extension = dialog.DefaultExt;
    if (!extension.empty() && extension.front() == '.')
        extension.erase(0, 1);
    if (!extension.empty())
        shown.setDefaultSuffix(QString::fromStdString(extension));

    // A file name that carries a folder opens the dialog in that folder; otherwise the initial
    // folder does, and without one the dialog starts in its own default folder. An answer
    // naming several files is no name to offer again.
    std::string name = dialog.FileName.find('\0') == std::string::npos ? dialog.FileName : "";
    std::optional<QString> folder;
    if (std::size_t slash = name.rfind('\\'); slash != std::string::npos) {
        std::string nameFolder = name.substr(0, slash);
        if (nameFolder.size() == 2 && nameFolder[1] == ':')
            nameFolder += '\\';
        folder = existingHostFolder(nameFolder, drives_);
        name.erase(0, slash + 1);
    }
    if (!folder)
        folder = existingHostFolder(dialog.InitDir, drives_);
    if (folder)
        shown.setDirectory(*folder);
    if (!name.empty())
        shown.selectFile(QString::fromStdString(name));
}

} // namespace pxw::view
