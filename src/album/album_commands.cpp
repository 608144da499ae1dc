#include "album_commands.h"

#include "conversion/command_lines.h"
#include "conversion/staging.h"
#include "conversion/tool_launch.h"
#include "platform/image_tool.h"

#include <functional>
#include <memory>

namespace pxw::album {

AlbumCommands::AlbumCommands(ui::frmBackupFiles& form, platform::Services& services)
    : form_(form)
    , services_(services) {
    form.Createalbum.Click = [this] { Createalbum_Click(); };
    form.Iconsel.Click = [this] { Iconsel_Click(); };
    form.iconlistRem.Click = [this] { iconlistRem_Click(); };
    form.cmdSystem.Click = [this] { cmdSystem_Click(); };
}

void AlbumCommands::warn(const std::string& prompt, platform::MessageIcon icon) {
    services_.toolkit.messageBox(prompt, icon, "Warning");
}

void AlbumCommands::Createalbum_Click() {
    if (conversion::refuseWhileWaiting(form_, services_.toolkit))
        return;
    platform::FileSystem& files = services_.files;
    const std::string workFolder = form_.Text4.text();
    if (!conversion::ensureFolder(workFolder, services_)
        || !conversion::ensureFolder(form_.Text5.text(), services_))
        return;

    if (form_.iconlist.text().empty() || !files.fileExists(form_.iconlist.text())) {
        warn("You must Select an icon or keep the default icon in the list box!    ");
        return;
    }
    files.deleteFiles(WorkFolderWildcard); // nothing to delete is fine
    if (form_.FileList.ListCount() == 0) {
        warn("You must select images into the image file list box!    ");
        return;
    }

    conversion::StagingResult staging
        = conversion::stageEntries(form_.FileList.entries(), workFolder, files);
    if (!staging.failures.empty()) {
        const conversion::StagingFailure& failure = staging.failures.front();
        warn(
            "The album was not built: " + failure.entry + " could not be copied: " + failure.reason,
            platform::MessageIcon::Exclamation);
        return;
    }
    if (!files.folderExists(form_.Text5.text())) {
        warn("Files missing,cause image edit wizard invalid. Please reinstall this program   ",
            platform::MessageIcon::Exclamation);
        return;
    }

    conversion::ToolRun tool
        = conversion::waitedLaunch(form_, services_, conversion::albumParameters(form_));
    if (!tool.started) {
        warn("The album was not built: the image tool could not be started: " + tool.error
                + ". Please reinstall this program.",
            platform::MessageIcon::Exclamation);
        return;
    }
    if (tool.exitCode == platform::image_tool::CancelledExitCode) {
        warn("The album was not built: the conversion of its images was cancelled.",
            platform::MessageIcon::Exclamation);
        return;
    }
    if (tool.exitCode != 0) {
        warn("The album was not built: the image tool could not convert every image (exit status "
                + std::to_string(tool.exitCode) + "). The images it could not read stay in "
                + workFolder + ".",
            platform::MessageIcon::Exclamation);
        return;
    }

    if (!packAndWrite())
        return;
    const std::string& albumPath = form_.SaveDialog.FileName;
    if (!files.fileExists(albumPath))
        return;
    services_.toolkit.messageBox("Success! Your images are wrapped as " + albumPath
            + ".  You can click on the Run button to check the .Exe file.  ",
        platform::MessageIcon::None, "Pixelwain");
    files.deleteFiles(WorkFolderWildcard);
}

bool AlbumCommands::packAndWrite() {
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
            warn(
                "The album was not built: " + status.message(), platform::MessageIcon::Exclamation);
            return false;
        }
    }

    platform::FileDialog& dialog = form_.SaveDialog;
    dialog.Flags = 2;
    dialog.InitDir.clear();
    dialog.Filter = SaveFilter;
    if (services_.dialogs.showSave(dialog, ui::handleOf(form_))
        != platform::DialogResult::Confirmed)
        return false;
    // A failed write leaves an earlier album of that name as it was; that file must not pass
    // for the new album, so the write's own answer counts along with the file's presence.
    return static_cast<bool>(zip->writeSelfExtractor(dialog.FileName));
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
    if (!services_.processes.startDetached("\"" + form_.SaveDialog.FileName + "\"", 0))
        warn("File is not there!   ");
}

} // namespace pxw::album
