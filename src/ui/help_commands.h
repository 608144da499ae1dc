#pragma once

#include "about.h"
#include "frm_backup_files.h"
#include "platform/services.h"

#include <memory>
#include <string>

namespace pxw::ui {

/// The program that opens the help document with its associated viewer.
inline constexpr const char* HelpOpener = "xdg-open";

/// The command line that opens the help document in `programFolder`; the path stays unquoted,
/// as everything after the opener's name is its one argument.
std::string helpCommandLine(const std::string& programFolder);

/// Help ▸ Help, Help ▸ About and the two web-address links.
class HelpCommands {
public:
    HelpCommands(frmBackupFiles& form, platform::Services& services);

    void mnuHelpfile_Click();
    void mnuHelp_About_Click();
    void Label2_Click();

    /// The About window, created on first request.
    About& about();

private:
    void openWebPage(const Form& owner);

    frmBackupFiles& form_;
    platform::Services& services_;
    std::unique_ptr<About> about_;
};

} // namespace pxw::ui
