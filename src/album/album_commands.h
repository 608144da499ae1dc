#pragma once

#include "job/report.h"
#include "job/staging.h"
#include "job/tool_launch.h"
#include "platform/services.h"
#include "ui/frm_backup_files.h"

#include <optional>
#include <string>

namespace pxw::album {

inline constexpr const char* ArchiveName = "notUsed.zip";
inline constexpr const char* SaveFilter = ".exe only (*.exe)|*.exe";
inline constexpr const char* IconFilter = "Icon Files (*.ico)|*.ico";
inline constexpr long IconDialogFlags = 2625540; // 0x281004

/// Where a build ended, for the message that reports it.
struct BuildOutcome {
    enum class End {
        IconMissing,
        WorkFolderUnusable, ///< the user has been told: another run holds it, or it stays full
        ListEmpty,
        StagingFailed, ///< `staging` says which entry and why
        ToolFolderMissing,
        ToolFailed, ///< `tool` says how
        PackingFailed, ///< `packingError` says why
        NotSaved, ///< the save was cancelled or the album was not written
        Built,
    };
    End end = End::Built;
    job::StagingResult staging;
    job::ToolRun tool;
    std::string packingError;
};

/// The message for a build that ended as `outcome`; none when the user cancelled the save or
/// the album was not written.
std::optional<job::Report> buildReport(
    const BuildOutcome& outcome, const std::string& workFolder, const std::string& albumPath);

/// The album commands: Build, Select icon, Remove icon and Run, bound to their buttons on
/// construction.
class AlbumCommands {
public:
    AlbumCommands(ui::frmBackupFiles& form, platform::Services& services);

    void Createalbum_Click();
    void Iconsel_Click();
    void iconlistRem_Click();
    void cmdSystem_Click();

private:
    BuildOutcome build();
    BuildOutcome::End packAndWrite(std::string& packingError);

    ui::frmBackupFiles& form_;
    platform::Services& services_;
};

} // namespace pxw::album
