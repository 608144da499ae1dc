#include "album_commands.h"

#include "base/text.h"
#include "job/command_lines.h"
#include "job/tool_reasons.h"
#include "job/work_folder.h"
#include "platform/image_tool.h"
#include "platform/install_paths.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace pxw::album {

namespace {
// The fixed wildcard with which the build empties the work folder.
std::string workFolderWildcard() {
    return std::string(platform::install_paths::WorkFolder) + "\\*.*";
}

job::Report warning(std::string prompt, platform::MessageIcon icon) {
    return { std::move(prompt), icon, "Warning" };
}

job::Report notBuilt(const std::string& why) {
    return warning("The album was not built: " + why, platform::MessageIcon::Exclamation);
}

// Each image the tool could not convert, with its reason.
job::Report failedImages(const BuildOutcome& outcome, const std::string& workFolder) {
    const auto& names = outcome.staging.stagedNames;
    const std::map<std::string, std::string> reasons
        = job::toolReasons(outcome.tool.errorOutput, names);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (auto reason = reasons.find(names[i]); reason != reasons.end())
            lines.push_back(
                base::printable(outcome.staging.stagedEntries[i]) + ": " + reason->second);
    }
    if (lines.empty())
        lines.push_back(job::printableReport(outcome.tool.errorOutput));
    job::Report report = notBuilt("the image tool could not convert every image (exit status "
        + std::to_string(outcome.tool.exitCode) + "):" + job::firstLines(lines, true)
        + "\nThe images it could not read stay in " + workFolder + ".");
    if (lines.size() > 10) {
        for (const std::string& line : lines)
            report.details += line + "\n";
    }
    return report;
}
} // namespace

std::optional<job::Report> buildReport(
    const BuildOutcome& outcome, const std::string& workFolder, const std::string& albumPath) {
    using End = BuildOutcome::End;
    switch (outcome.end) {
    case End::IconMissing:
        return warning("You must Select an icon or keep the default icon in the list box!    ",
            platform::MessageIcon::Information);
    case End::ListEmpty:
        return warning("You must select images into the image file list box!    ",
            platform::MessageIcon::Information);
    case End::StagingFailed: {
        const job::StagingFailure& failure = outcome.staging.failures.front();
        return notBuilt(failure.entry + " could not be copied: " + failure.reason);
    }
    case End::ToolFolderMissing:
        return warning(
            "Files missing,cause image edit wizard invalid. Please reinstall this program   ",
            platform::MessageIcon::Exclamation);
    case End::ToolFailed:
        if (!outcome.tool.started) {
            return notBuilt("the image tool could not be started: " + outcome.tool.error
                + ". Please reinstall this program.");
        }
        if (outcome.tool.exitCode == platform::image_tool::CancelledExitCode)
            return notBuilt("the conversion of its images was cancelled.");
        if (outcome.tool.exitCode == platform::image_tool::RefusedExitCode) {
            job::Report report = notBuilt("the image tool refused to run: "
                + job::toolRefusal(outcome.tool.errorOutput) + ".");
            report.details = job::printableReport(outcome.tool.errorOutput);
            return report;
        }
        return failedImages(outcome, workFolder);
    case End::PackingFailed:
        return notBuilt(outcome.packingError);
    case End::NotSaved:
    case End::WorkFolderUnusable:
        return std::nullopt;
    case End::Built:
        return job::Report { "Success! Your images are wrapped as " + albumPath
                + ".  You can click on the Run button to check the .Exe file.  ",
            platform::MessageIcon::None, "Pixelwain" };
    }
    return std::nullopt;
}

AlbumCommands::AlbumCommands(ui::frmBackupFiles& form, platform::Services& services)
    : form_(form)
    , services_(services) {
    form.Createalbum.Click = [this] { Createalbum_Click(); };
    form.Iconsel.Click = [this] { Iconsel_Click(); };
    form.iconlistRem.Click = [this] { iconlistRem_Click(); };
    form.cmdSystem.Click = [this] { cmdSystem_Click(); };
}

void AlbumCommands::Createalbum_Click() {
    if (job::refuseWhileWaiting(form_, services_.toolkit))
        return;
    const std::string workFolder = form_.Text4.text();
    if (!job::ensureFolder(workFolder, services_)
        || !job::ensureFolder(form_.Text5.text(), services_))
        return;
    const BuildOutcome outcome = build();
    if (std::optional<job::Report> report
        = buildReport(outcome, workFolder, form_.SaveDialog.FileName))
        job::show(*report, services_.toolkit);
    if (outcome.end == BuildOutcome::End::Built)
        services_.files.deleteFiles(workFolderWildcard());
    form_.workFolderHold.reset();
}

BuildOutcome AlbumCommands::build() {
    using End = BuildOutcome::End;
    platform::FileSystem& files = services_.files;
    BuildOutcome outcome;
    auto endAt = [&outcome](End end) {
        outcome.end = end;
        return outcome;
    };
    if (form_.iconlist.text().empty() || !files.fileExists(form_.iconlist.text()))
        return endAt(End::IconMissing);
    if (!job::takeCleanWorkFolder(form_, services_))
        return endAt(End::WorkFolderUnusable);
    if (form_.FileList.ListCount() == 0)
        return endAt(End::ListEmpty);
    outcome.staging = job::stageEntries(form_.FileList.entries(), form_.Text4.text(), files);
    if (!outcome.staging.failures.empty())
        return endAt(End::StagingFailed);
    if (!files.folderExists(form_.Text5.text()))
        return endAt(End::ToolFolderMissing);
    if (!job::letToolIntoWorkFolder(form_, services_))
        return endAt(End::WorkFolderUnusable);
    outcome.tool = job::waitedLaunch(
        form_, services_, job::albumParameters(form_), "lumabatch - preparing the album's images");
    if (!outcome.tool.started || outcome.tool.exitCode != 0)
        return endAt(End::ToolFailed);
    outcome.end = packAndWrite(outcome.packingError);
    if (outcome.end == End::Built && !files.fileExists(form_.SaveDialog.FileName))
        outcome.end = End::NotSaved;
    return outcome;
}

BuildOutcome::End AlbumCommands::packAndWrite(std::string& packingError) {
    using End = BuildOutcome::End;
    std::unique_ptr<platform::ZipComponent> zip = services_.zip.create();
    platform::ZipComponent& z = *zip;
    const std::string icon = form_.iconlist.text();
    const std::string folder = form_.Text4.text();
    const std::function<platform::Status()> operations[] = {
        [&] { return z.setOption(0); },
        [&] { return z.setTextOption(""); },
        [&] { return z.setOtherOption(0); },
        [&] { return z.setIcon(icon); },
        [&] { return z.setOtherTextOption(""); },
        [&] { return z.newArchive(ArchiveName); },
        [&] { return z.addFolder(folder, 1); },
    };
    for (const auto& operation : operations) {
        if (platform::Status status = operation(); !status) {
            packingError = status.message();
            return End::PackingFailed;
        }
    }

    platform::FileDialog& dialog = form_.SaveDialog;
    dialog.Flags = 2;
    dialog.InitDir.clear();
    dialog.Filter = SaveFilter;
    if (services_.dialogs.showSave(dialog, ui::handleOf(form_))
        != platform::DialogResult::Confirmed)
        return End::NotSaved;
    // A failed write leaves an earlier album of that name as it was; that file must not pass
    // for the new album, so the write's own answer counts along with the file's presence.
    return zip->writeSelfExtractor(dialog.FileName) ? End::Built : End::NotSaved;
}

void AlbumCommands::Iconsel_Click() {
    platform::FileDialog& dialog = form_.iconselect;
    dialog.CancelError = true;
    dialog.DialogTitle = "Select an icon File for Pixelwain";
    dialog.Filter = IconFilter;
    dialog.FilterIndex = 1;
    dialog.FileName.clear();
    dialog.InitDir = "C:\\WINDOWS\\forpxw";
    dialog.Flags = IconDialogFlags;
    dialog.MaxFileSize = 5200;
    if (services_.dialogs.showOpen(dialog, ui::handleOf(form_))
        == platform::DialogResult::Confirmed)
        form_.iconlist.setText(dialog.FileName);
}

void AlbumCommands::iconlistRem_Click() {
    form_.iconlist.setText("");
}

void AlbumCommands::cmdSystem_Click() {
    // Quoted, so an album path with blanks still names one program. The album program has
    // no use for a show state.
    if (!services_.processes.startDetached(base::inQuotes(form_.SaveDialog.FileName), 0))
        services_.toolkit.messageBox(
            "File is not there!   ", platform::MessageIcon::Information, "Warning");
}

} // namespace pxw::album
