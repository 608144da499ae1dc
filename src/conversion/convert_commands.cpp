#include "convert_commands.h"

#include "inputs/folder_picker.h"
#include "inputs/naming.h"
#include "job/command_lines.h"
#include "platform/image_tool.h"

namespace pxw::conversion {

namespace {
std::string imagesText(int count) {
    return std::to_string(count) + (count == 1 ? " image" : " images");
}
} // namespace

job::Report convertReport(
    const ConvertOutcome& outcome, const std::string& outputFolder, const std::string& workFolder) {
    const auto& failures = outcome.staging.failures;
    const int left = static_cast<int>(outcome.leftInWorkFolder.size());
    if (outcome.tool.started && outcome.tool.exitCode == 0 && failures.empty() && left == 0) {
        return { "Success! Your images are converted as " + outputFolder
                + ".   You can click on the open button to open the folder.     ",
            platform::MessageIcon::None, "Pixelwain" };
    }
    std::string prompt;
    const int notConverted = static_cast<int>(failures.size()) + left;
    if (outcome.tool.started && outcome.tool.exitCode == platform::image_tool::CancelledExitCode) {
        prompt = "The run was cancelled: " + std::to_string(outcome.listed - notConverted) + " of "
            + imagesText(outcome.listed) + " were converted into " + outputFolder + ".";
        for (const job::StagingFailure& failure : failures)
            prompt += "\n" + failure.entry + ": " + failure.reason;
    } else if (!outcome.tool.started) {
        prompt = "The image tool " + platform::image_tool::executable() + " could not be started: "
            + outcome.tool.error + ". No image was converted. Please reinstall this program.";
    } else {
        if (notConverted > 0) {
            prompt = imagesText(notConverted) + " of " + std::to_string(outcome.listed)
                + " could not be converted.";
        } else {
            prompt = "The image tool reported an error (exit status "
                + std::to_string(outcome.tool.exitCode) + ").";
        }
        if (left > 0) {
            // The tool stops short of an image it cannot read and of one it cannot write (a
            // full disk, a folder without write permission): either way the copy stays.
            prompt += " The image tool could not read or write " + imagesText(left)
                + "; they stay in " + workFolder + ":";
            for (const std::string& name : outcome.leftInWorkFolder)
                prompt += "\n" + name;
        }
        for (const job::StagingFailure& failure : failures)
            prompt += "\n" + failure.entry + ": " + failure.reason;
        prompt += "\nThe converted images are in " + outputFolder + ".";
    }
    return { prompt, platform::MessageIcon::Exclamation, "Warning" };
}

ConvertCommands::ConvertCommands(ui::frmBackupFiles& form, platform::Services& services)
    : form_(form)
    , services_(services) {
    form.Convert.Click = [this] { Convert_Click(); };
    form.open.Click = [this] { open_Click(); };
    form.Command2.Click = [this] { Command2_Click(); };
}

void ConvertCommands::Convert_Click() {
    if (job::refuseWhileWaiting(form_, services_.toolkit))
        return;
    const std::string workFolder = form_.Text4.text();
    if (!job::ensureFolder(workFolder, services_))
        return;
    inputs::applyNamingTemplate(form_);
    if (!inputs::PickOutputFolder(form_, services_.dialogs, services_.toolkit))
        return;
    form_.DestDir.setText(form_.gFolderPath);

    ConvertOutcome outcome;
    outcome.listed = form_.FileList.ListCount();
    outcome.staging = job::stageEntries(form_.FileList.entries(), workFolder, services_.files);
    outcome.tool = job::waitedLaunch(form_, services_, job::convertParameters(form_));
    if (outcome.tool.started) {
        for (const std::string& name : outcome.staging.stagedNames) {
            if (services_.files.fileExists(workFolder + "\\" + name))
                outcome.leftInWorkFolder.push_back(name);
        }
    }
    const job::Report report = convertReport(outcome, form_.DestDir.text(), workFolder);
    services_.toolkit.messageBox(report.prompt, report.icon, report.title);
}

void ConvertCommands::open_Click() {
    services_.processes.shellOpen(ui::handleOf(form_), "Open", form_.DestDir.text(), "",
        services_.processes.programFolder(), 1);
}

void ConvertCommands::Command2_Click() {
    if (job::refuseWhileWaiting(form_, services_.toolkit))
        return;
    if (!inputs::PickOutputFolder(form_, services_.dialogs, services_.toolkit))
        return;
    form_.DestDir.setText(job::blanksToUnderscores(form_.gFolderPath));
    const std::string workFolder = form_.Text4.text();
    if (!job::ensureFolder(workFolder, services_))
        return;
    // A file that cannot be copied is left out; the tool converts the others.
    job::stageEntries(form_.FileList.entries(), workFolder, services_.files);
    if (!job::detachedLaunch(form_, services_))
        services_.toolkit.messageBox(
            "File is not there!   ", platform::MessageIcon::Information, "Warning");
}

} // namespace pxw::conversion
