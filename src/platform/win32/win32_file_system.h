#pragma once

#include "platform/file_system.h"

namespace pxw::platform::win32 {

/// The file-system service on Windows, on the paths as given: the wide calls on the UTF-16 of
/// each path. Behaves and reports as the Linux one does (posix/posix_file_system.h), without
/// its drive table; a message names a path once, since the path is the disk's own.
class Win32FileSystem final : public FileSystem {
public:
    bool folderExists(const std::string& path) override;
    /// Creates that one folder; its parent must exist, and the folder must not.
    Status createFolder(const std::string& path) override;
    /// True for a file (a link to a file included), false for a folder.
    bool fileExists(const std::string& path) override;
    /// Copies to a temporary name beside `to` and renames it, so a failed copy never leaves
    /// a partial file under the final name. Keeps the source's attributes and times.
    Status copyFile(const std::string& from, const std::string& to) override;
    /// Deletes matching files and links that do not stand for a folder (the link, never its
    /// target); read-only ones lose that attribute first. Folders and their contents stay.
    Status deleteFiles(const std::string& wildcard) override;
    std::vector<FolderEntry> listFolder(const std::string& folder) override;
    /// A handle on the folder that shares it with no one; sharing it lets readers in (the
    /// image tool opens it for reading, sharing reading) and still keeps any exclusive taker
    /// out.
    FolderLockResult lockFolder(const std::string& folder) override;
};

} // namespace pxw::platform::win32
