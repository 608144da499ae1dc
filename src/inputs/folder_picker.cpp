#include "folder_picker.h"

namespace pxw::inputs {

bool PickOutputFolder(
    ui::frmBackupFiles& form, platform::FileDialogService& dialogs, platform::Toolkit& toolkit) {
    platform::FileDialog& dialog = form.unziptofolder;
    dialog.CancelError = true;
    dialog.DialogTitle = "Select the required folder";
    dialog.InitDir = form.gFolderPath;
    dialog.Filter = "folder";
    dialog.FileName = FolderPlaceholder;
    const platform::DialogResult result = dialogs.showOpen(dialog, ui::handleOf(form));
    if (result == platform::DialogResult::Failed) {
        // The dialog's answer holds 260 characters: a deeper folder cannot be handed back.
        toolkit.messageBox("The path of the chosen folder is too long. Please choose a folder "
                           "with a shorter path.",
            platform::MessageIcon::Exclamation, "Pixelwain");
        return false;
    }
    if (result != platform::DialogResult::Confirmed)
        return false;
    if (dialog.FileName == FolderPlaceholder)
        return false;
    form.gFolderPath = ui::frmBackupFiles::GetFolder(dialog.FileName) + "\\";
    return true;
}

} // namespace pxw::inputs
