#pragma once

#include "image_list.h"
#include "platform/services.h"
#include "ui/frm_backup_files.h"

namespace pxw::inputs {

/// Binds the reactions of the job inputs: the image list, the size and quality checks, and
/// the naming boxes.
class InputCommands {
public:
    InputCommands(ui::frmBackupFiles& form, platform::Services& services);

private:
    ImageList imageList_;
};

} // namespace pxw::inputs
