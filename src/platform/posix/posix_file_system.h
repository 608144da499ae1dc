#pragma once

#include "platform/file_system.h"
#include "platform/wildcard.h"
#include "platform/windows_path.h"

namespace pxw::platform {

/// The file-system service on a Linux host; every path goes through the drive table.
class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(DriveMap drives);

    bool folderExists(const std::string& path) override;
    /// Creates that one folder; its parent must exist, and the folder must not.
    Status createFolder(const std::string& path) override;
    /// True for a file (a link to a file included), false for a folder.
    bool fileExists(const std::string& path) override;
    /// Copies to a temporary name beside `to` and renames it, so a failed copy never leaves
    /// a partial file under the final name. Keeps the source's permissions and times.
    Status copyFile(const std::string& from, const std::string& to) override;
    /// Deletes matching regular files and links that do not point at a folder (the link, never
    /// its target). Folders and their contents stay.
    Status deleteFiles(const std::string& wildcard) override;
    std::vector<FolderEntry> listFolder(const std::string& folder) override;
    /// An exclusive flock on the folder itself, which the image tool takes shared.
    FolderLockResult lockFolder(const std::string& folder) override;

private:
    DriveMap drives_;
};

} // namespace pxw::platform
