#pragma once

#include "job/report.h"
#include "job/staging.h"
#include "job/tool_launch.h"
#include "platform/services.h"
#include "ui/frm_backup_files.h"

#include <string>
#include <vector>

namespace pxw::conversion {

/// What a convert run came to, for the message that reports it.
struct ConvertOutcome {
    int listed = 0;
    job::StagingResult staging;
    job::ToolRun tool;
    std::vector<std::string> leftInWorkFolder; ///< staged images the tool did not convert
};

/// "Success! ..." only when every listed image was converted; otherwise a warning that says
/// what went wrong.
job::Report convertReport(const ConvertOutcome& outcome, const std::string& outputFolder);

/// The Convert, Open and quick Output-to-folder commands, bound to their buttons on construction.
class ConvertCommands {
public:
    ConvertCommands(ui::frmBackupFiles& form, platform::Services& services);

    void Convert_Click();
    void open_Click();
    void Command2_Click();

private:
    ui::frmBackupFiles& form_;
    platform::Services& services_;
};

} // namespace pxw::conversion
