#pragma once

#include "platform/services.h"
#include "ui/frm_backup_files.h"

#include <string>

namespace pxw::job {

/// What a waited run of the image tool came to.
struct ToolRun {
    bool started = false;
    int exitCode = -1; ///< 0 every file done, 1 some failed, 2 nothing done, 3 cancelled; -1 killed
    std::string error; ///< why it could not be started
    std::string errorOutput; ///< what the tool wrote to its standard error: its reasons
};

/// Starts the image tool with `parameters` and waits until it ends. The window keeps
/// processing its events meanwhile; `form.waitingForTool` is set and a busy cursor shown for
/// that time.
/// `progressTitle` names the run in the title of the tool's progress window, which opens over
/// the main window.
ToolRun waitedLaunch(ui::frmBackupFiles& form, platform::Services& services,
    const std::string& parameters, const std::string& progressTitle);

/// Starts the quick run of the image tool, whose whole command line comes from the controls,
/// and does not wait for it.
platform::Status detachedLaunch(const ui::frmBackupFiles& form, platform::Services& services);

/// Makes sure the work folder exists. On failure the user has been told, naming the folder.
bool ensureFolder(const std::string& folder, platform::Services& services);

/// True (after a short beep) when a job is already waiting for the image tool; a second job
/// would work on the same work folder, so it is refused.
bool refuseWhileWaiting(const ui::frmBackupFiles& form, platform::Toolkit& toolkit);

} // namespace pxw::job
