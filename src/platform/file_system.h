#pragma once

#include "status.h"

#include <string>

namespace pxw::platform {

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
};

} // namespace pxw::platform
