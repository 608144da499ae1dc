#pragma once

#include "file_dialog.h"
#include "file_system.h"
#include "process.h"
#include "toolkit.h"
#include "zip_component.h"

namespace pxw::platform {

/// The platform services the commands use, passed together.
struct Services {
    Toolkit& toolkit;
    FileDialogService& dialogs;
    FileSystem& files;
    Processes& processes;
    ZipComponentFactory& zip;
};

} // namespace pxw::platform
