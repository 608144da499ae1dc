#pragma once

#include "album/album_commands.h"
#include "conversion/convert_commands.h"
#include "inputs/input_commands.h"
#include "platform/services.h"
#include "ui/frm_backup_files.h"
#include "ui/help_commands.h"

namespace pxw::app {

/// The running program: the main window model and its command groups. Each group binds the
/// reactions of its controls when it is built; the program binds the window's unloading.
/// Built by start-up, before the window is shown.
class Program {
public:
    explicit Program(platform::Services& services);

    /// Runs the load reaction; the window is then ready to be shown.
    void load() { form.Form_Load(); }

    ui::frmBackupFiles form;

private:
    inputs::InputCommands inputs_;
    conversion::ConvertCommands convert_;
    album::AlbumCommands album_;
    ui::HelpCommands help_;
};

} // namespace pxw::app
