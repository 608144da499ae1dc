#pragma once

#include "status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pxw::platform {

/// The host's own file system, on host paths: what setting up a prefix needs before any drive
/// letter exists. A final link is never followed.
class HostFileSystem {
public:
    enum class Kind { missing, link, file, folder, other };

    virtual ~HostFileSystem() = default;
    virtual Kind kindOf(const std::filesystem::path& path) = 0;
    /// Where a link points, as written in it; empty for anything that is not a link.
    virtual std::filesystem::path linkTarget(const std::filesystem::path& link) = 0;
    /// Creates the folder and its missing parents.
    virtual Status makeFolders(const std::filesystem::path& folder) = 0;
    /// Makes `at` a link to `target`, replacing a link or file of that name in one step.
    virtual Status placeLink(const std::filesystem::path& target, const std::filesystem::path& at)
        = 0;
    /// The names in a folder, sorted; none when it cannot be read.
    virtual std::vector<std::string> namesIn(const std::filesystem::path& folder) = 0;
    virtual std::optional<std::string> readText(const std::filesystem::path& file) = 0;
    /// Writes through a temporary name, so the file is either whole or as it was.
    virtual Status writeText(const std::filesystem::path& file, const std::string& text) = 0;
    /// Removes a file or a link (never a folder).
    virtual Status removeFile(const std::filesystem::path& file) = 0;
};

} // namespace pxw::platform
