#pragma once

#include "ui/frm_backup_files.h"

#include <string>

namespace pxw::inputs {

/// The naming template for the check boxes and base name as they stand now.
std::string namingTemplate(const ui::frmBackupFiles& form);

/// Writes the naming template into namef. Runs on every click of the four naming boxes and at
/// the start of every Convert.
void applyNamingTemplate(ui::frmBackupFiles& form);

} // namespace pxw::inputs
