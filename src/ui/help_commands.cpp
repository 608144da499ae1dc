#include "help_commands.h"

namespace pxw::ui {

std::string helpCommandLine(const std::string& programFolder) {
    return std::string(HelpOpener) + " " + programFolder + "\\pxwreadme.chm";
}

HelpCommands::HelpCommands(frmBackupFiles& form, platform::Services& services)
    : form_(form)
    , services_(services) {
    form.mnuHelpfile.Click = [this] { mnuHelpfile_Click(); };
    form.mnuHelp_About.Click = [this] { mnuHelp_About_Click(); };
    form.Label2.Click = [this] { Label2_Click(); };
}

void HelpCommands::mnuHelpfile_Click() {
    const std::string commandLine = helpCommandLine(services_.processes.programFolder());
    const std::size_t blank = commandLine.find(' ');
    if (!services_.processes.startOpener(
            commandLine.substr(0, blank), commandLine.substr(blank + 1)))
        services_.toolkit.messageBox(
            "Readme File cannot be found!", platform::MessageIcon::Exclamation, "Message");
}

void HelpCommands::mnuHelp_About_Click() {
    services_.toolkit.showModal(handleOf(about()), handleOf(form_));
}

void HelpCommands::Label2_Click() {
    openWebPage(form_);
}

About& HelpCommands::about() {
    if (!about_) {
        about_ = std::make_unique<About>();
        about_->Label4.Click = [this] { openWebPage(*about_); };
    }
    return *about_;
}

void HelpCommands::openWebPage(const Form& owner) {
    services_.processes.shellOpen(
        handleOf(owner), "Open", MakerWebAddress, "", services_.processes.programFolder(), 1);
}

} // namespace pxw::ui
