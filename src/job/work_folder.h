#pragma once

#include "platform/services.h"
#include "ui/frm_backup_files.h"

#include <string>
#include <vector>

namespace pxw::job {

/// Takes the work folder for this window alone and removes what earlier runs left in it (copies
/// only: the user's own files are never there). False, after telling the user, when another
/// conversion still uses it or it cannot be emptied; nothing was started then.
bool takeCleanWorkFolder(ui::frmBackupFiles& form, platform::Services& services);

/// Lets the image tool share the work folder this window holds. False, after telling the user,
/// when another window took it meanwhile.
bool letToolIntoWorkFolder(ui::frmBackupFiles& form, platform::Services& services);

/// The names among the first `count` outputs of the naming template `pattern` that already
/// stand in `folder`, in the order the run would write them.
std::vector<std::string> existingOutputs(platform::FileSystem& files, const std::string& folder,
    const std::string& pattern, std::size_t count);

/// Asks once before a run replaces `existing` files in `folder`: true when there are none or the
/// user chose Replace.
bool mayReplace(platform::Toolkit& toolkit, const std::string& folder,
    const std::vector<std::string>& existing);

/// True, after telling the user as Build does, when the list holds no image.
bool refuseEmptyList(const ui::frmBackupFiles& form, platform::Toolkit& toolkit);

/// The message for an empty list, shared with Build.
inline constexpr const char* EmptyListPrompt
    = "You must select images into the image file list box!    ";

/// Up to ten of `lines`, each on a line of its own, with a last line that counts the rest (and,
/// with `inDetails`, says that the whole list is in the message's details).
std::string firstLines(const std::vector<std::string>& lines, bool inDetails);

} // namespace pxw::job
