#include "folder_picker.h"

namespace pxw::inputs {

bool PickOutputFolder(ui::frmBackupFiles& form, platform::FileDialogService& dialogs) {
    platform::FileDialog& dialog = form.unziptofolder;
    dialog.CancelError = true;
    dialog.DialogTitle = "Select the required folder";
    dialog.InitDir = form.gFolderPath;
    dialog.Filter = "folder";
    dialog.FileName = FolderPlaceholder;
    if (dialogs.showOpen(dialog, ui::handleOf(form)) != platform::DialogResult::Confirmed)
        return false;
    if (dialog.FileName == FolderPlaceholder)
        return false;
    form.gFolderPath = ui::frmBackupFiles::GetFolder(dialog.FileName) + "\\";
    return true;
}

} // namespace pxw::inputs
