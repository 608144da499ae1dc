#pragma once

#include "status.h"

#include <memory>
#include <string>
#include <vector>

namespace pxw::platform {

/// A folder taken by this program. While it is held exclusively no image tool run reads the
/// folder and no other window stages into it; the hold ends with this object.
class FolderLock {
public:
    virtual ~FolderLock() = default;
    /// Lets image tool runs share the folder from now on, while this program keeps others from
    /// taking it alone. False when another holder took it meanwhile: the hold is lost.
    virtual bool share() = 0;
};

struct FolderLockResult {
    std::unique_ptr<FolderLock> lock; ///< empty when the folder was not taken
    bool busy = false; ///< someone else holds it
    std::string error; ///< why, when it could not be taken for another reason
};

/// One entry of a folder listing.
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    bool isLink = false; ///< reached through a link
};

/// The file-system service, on Windows-style paths.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool folderExists(const std::string& path) = 0;
    virtual Status createFolder(const std::string& path) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    /// Copies `from` to `to`, replacing a file of that name.
    virtual Status copyFile(const std::string& from, const std::string& to) = 0;
    /// Deletes the files (not folders) matching a wildcard in its last component ("*.*",
    /// "*.jpg", "a?.png"); read-only files included. Fails when nothing matched.
    virtual Status deleteFiles(const std::string& wildcard) = 0;
    /// The files and folders directly in `folder`, in no set order; links are followed, and
    /// entries that are neither (devices, broken links) are left out. Empty when the folder
    /// cannot be read.
    virtual std::vector<FolderEntry> listFolder(const std::string& folder) = 0;
    /// Takes `folder` for this program alone, without waiting. The image tool shares the
    /// lock on its source folder while it runs.
    virtual FolderLockResult lockFolder(const std::string& folder) = 0;
};

} // namespace pxw::platform
