#pragma once

#include "ui/frm_backup_files.h"

#include <string>

namespace pxw::job {

/// Parameters of the image tool for the convert run, from the controls as they stand now.
std::string convertParameters(const ui::frmBackupFiles& form);
/// Parameters for the album build: the work folder is source and destination.
std::string albumParameters(const ui::frmBackupFiles& form);
/// The whole command line of the quick run (program and parameters). Its numbers are unquoted,
/// so blanks typed around them are left out.
std::string quickCommandLine(const ui::frmBackupFiles& form);

/// The fixed naming template of the quick run.
inline constexpr const char* QuickNamingTemplate = "[counter2;0].jpg";

/// `text` with every blank replaced by "_".
std::string blanksToUnderscores(std::string text);

} // namespace pxw::job
