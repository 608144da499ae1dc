#pragma once

#include "platform/file_dialog.h"
#include "ui/frm_backup_files.h"

namespace pxw::inputs {

/// The name the folder picker puts into the dialog; the user moves into a folder and presses
/// Open, and the folder part of the answer is taken.
inline constexpr const char* FolderPlaceholder = "Select Folder and click Open";

/// Asks for the output folder. True when a folder was picked: then gFolderPath holds it with
/// one trailing backslash. False leaves everything as it was; a folder whose path does not fit
/// the dialog's answer is told with a message.
bool PickOutputFolder(
    ui::frmBackupFiles& form, platform::FileDialogService& dialogs, platform::Toolkit& toolkit);

} // namespace pxw::inputs
