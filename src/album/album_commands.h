#pragma once

#include "platform/services.h"
#include "ui/frm_backup_files.h"

namespace pxw::album {

/// The fixed wildcard with which the build empties the work folder.
inline constexpr const char* WorkFolderWildcard = "c:\\windows\\pxwtemp01\\*.*";
inline constexpr const char* ArchiveName = "notUsed.zip";
inline constexpr const char* SaveFilter = ".exe only (*.exe)|*.exe";
inline constexpr const char* IconFilter = "Icon Files (*.ico)|*.ico";
inline constexpr long IconDialogFlags = 2625540; // 0x281004

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
    void warn(
        const std::string& prompt, platform::MessageIcon icon = platform::MessageIcon::Information);
    bool packAndWrite();

    ui::frmBackupFiles& form_;
    platform::Services& services_;
};

} // namespace pxw::album
