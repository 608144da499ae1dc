#include "convert_commands.h"

#include "base/text.h"
#include "inputs/folder_picker.h"
#include "inputs/naming.h"
#include "job/command_lines.h"
#include "job/tool_reasons.h"
#include "job/work_folder.h"
#include "platform/image_tool.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace pxw::conversion {

namespace {
std::string imagesText(int count) {
    return std::to_string(count) + (count == 1 ? " image" : " images");
}
} // namespace

job::Report convertReport(const ConvertOutcome& outcome, const std::string& outputFolder) {
    const auto& failures = outcome.staging.failures;
    const auto& left = outcome.leftInWorkFolder;
    const job::ToolRun& tool = outcome.tool;
    if (tool.started && tool.exitCode == 0 && failures.empty() && left.empty()) {
        return { "Success! Your images are converted as " + outputFolder
                + ".   You can click on the open button to open the folder.     ",
            platform::MessageIcon::None, "Pixelwain" };
    }
    if (!tool.started) {
        return { "The image tool " + platform::image_tool::executable()
                + " could not be started: " + base::printable(tool.error)
                + ". No image was converted. Please reinstall this program.",
            platform::MessageIcon::Exclamation, "Warning" };
    }
    if (tool.exitCode == platform::image_tool::RefusedExitCode) {
        return { "The image tool refused to run: " + job::toolRefusal(tool.errorOutput)
                + ". No image was converted.",
            platform::MessageIcon::Exclamation, "Warning", job::printableReport(tool.errorOutput) };
    }

    // Each image that was not converted, with the reason the copy or the tool gave for it.
    std::vector<std::string> lines;
    lines.reserve(failures.size() + left.size() + 1);
    for (const job::StagingFailure& failure : failures)
        lines.push_back(base::printable(failure.entry) + ": " + base::printable(failure.reason));
    const std::map<std::string, std::string> reasons = job::toolReasons(tool.errorOutput, left);
    const bool cancelled = tool.exitCode == platform::image_tool::CancelledExitCode;
    if (!cancelled) {
        const auto& names = outcome.staging.stagedNames;
        for (const std::string& name : left) {
            // The user knows the image by its entry; the staged copy may bear another name.
            auto at = std::find(names.begin(), names.end(), name);
            const std::string& entry = at == names.end()
                ? name
                : outcome.staging.stagedEntries[static_cast<std::size_t>(at - names.begin())];
            auto reason = reasons.find(name);
            lines.push_back(base::printable(entry) + ": "
                + (reason == reasons.end() ? "the image tool gave no reason" : reason->second));
        }
    }
    const int notConverted = static_cast<int>(failures.size() + left.size());
    const int converted = outcome.listed - notConverted;
    std::string prompt;
    if (cancelled) {
        prompt = "The run was cancelled: " + std::to_string(converted) + " of "
            + imagesText(outcome.listed) + " were converted into " + outputFolder + ".";
    } else if (notConverted > 0) {
        prompt = imagesText(notConverted) + " of " + std::to_string(outcome.listed)
            + " could not be converted:";
    } else {
        prompt = "The image tool reported an error (exit status " + std::to_string(tool.exitCode)
            + ").";
        lines.push_back(job::printableReport(tool.errorOutput));
    }
    prompt += job::firstLines(lines, true);
    if (!cancelled) {
        prompt += converted > 0 ? "\nThe converted images are in " + outputFolder + "."
                                : std::string("\nNo image was converted.");
    }
    std::string details;
    for (const std::string& line : lines)
        details += line + "\n";
    return { prompt, platform::MessageIcon::Exclamation, "Warning",
        lines.size() > 10 ? details : std::string() };
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
    if (job::refuseEmptyList(form_, services_.toolkit))
        return;
    if (!inputs::PickOutputFolder(form_, services_.dialogs, services_.toolkit))
        return;
    form_.DestDir.setText(form_.gFolderPath);
    const auto listed = static_cast<std::size_t>(form_.FileList.ListCount());
    if (!job::mayReplace(services_.toolkit, form_.DestDir.text(),
            job::existingOutputs(
                services_.files, form_.DestDir.text(), form_.namef.text(), listed)))
        return;
    if (!job::takeCleanWorkFolder(form_, services_))
        return;

    ConvertOutcome outcome;
    outcome.listed = form_.FileList.ListCount();
    outcome.staging = job::stageEntries(form_.FileList.entries(), workFolder, services_.files);
    if (!job::letToolIntoWorkFolder(form_, services_))
        return;
    outcome.tool = job::waitedLaunch(form_, services_, job::convertParameters(form_),
        "lumabatch - converting into " + form_.DestDir.text());
    form_.workFolderHold.reset();
    if (outcome.tool.started) {
        std::unordered_set<std::string> remaining;
        for (const platform::FolderEntry& entry : services_.files.listFolder(workFolder))
            remaining.insert(entry.name);
        for (const std::string& name : outcome.staging.stagedNames) {
            if (remaining.contains(name))
                outcome.leftInWorkFolder.push_back(name);
        }
    }
    job::show(convertReport(outcome, form_.DestDir.text()), services_.toolkit);
}

void ConvertCommands::open_Click() {
    services_.processes.shellOpen(ui::handleOf(form_), "Open", form_.DestDir.text(), "",
        services_.processes.programFolder(), 1);
}

void ConvertCommands::Command2_Click() {
    if (job::refuseWhileWaiting(form_, services_.toolkit))
        return;
    if (job::refuseEmptyList(form_, services_.toolkit))
        return;
    if (!inputs::PickOutputFolder(form_, services_.dialogs, services_.toolkit))
        return;
    form_.DestDir.setText(job::blanksToUnderscores(form_.gFolderPath));
    const std::string workFolder = form_.Text4.text();
    if (!job::ensureFolder(workFolder, services_))
        return;
    const auto listed = static_cast<std::size_t>(form_.FileList.ListCount());
    if (!job::mayReplace(services_.toolkit, form_.DestDir.text(),
            job::existingOutputs(
                services_.files, form_.DestDir.text(), job::QuickNamingTemplate, listed)))
        return;
    if (!job::takeCleanWorkFolder(form_, services_))
        return;
    // A file that cannot be copied is left out; the tool converts the others.
    job::stageEntries(form_.FileList.entries(), workFolder, services_.files);
    if (!job::letToolIntoWorkFolder(form_, services_))
        return;
    // The hold stays until this window's next job: the tool takes its own meanwhile.
    if (!job::detachedLaunch(form_, services_)) {
        form_.workFolderHold.reset();
        services_.toolkit.messageBox(
            "File is not there!   ", platform::MessageIcon::Information, "Warning");
    }
}

} // namespace pxw::conversion
