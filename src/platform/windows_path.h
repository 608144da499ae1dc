#pragma once

// Windows-style paths on a Linux host, mapped through a drive table the way Wine does it:
// <prefix>/dosdevices/<letter>: is a link to the folder that serves as that drive. The program
// makes the prefix on start (prefix_setup.h); the table is read after that.
// Also the one command-line splitting rule shared by the launcher and the image tool.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::platform {

/// The prefix: $PIXELWAIN_PREFIX, or ~/.pixelwain when unset.
std::filesystem::path defaultPrefix();

class DriveMap {
public:
    /// Reads the drive letters from <prefix>/dosdevices.
    explicit DriveMap(std::filesystem::path prefix);
    /// The drive table of defaultPrefix().
    static DriveMap fromEnvironment();

    const std::filesystem::path& prefix() const { return prefix_; }

    /// Host path for a Windows-style path. Existing folder and file names are matched exactly
    /// first, then ignoring letter case; names that do not exist keep the case as written.
    /// `\` and `/` both separate; "." and ".." are resolved by name and never lead above the
    /// drive's folder. A path without a drive is relative to the current folder.
    /// Returns nullopt and sets *error for an unknown drive, a UNC path or an empty path.
    std::optional<std::filesystem::path> toHost(
        std::string_view windowsPath, std::string* error = nullptr) const;

    /// Windows-style path for a host path: the drive whose target is the longest prefix of the
    /// (absolute) host path, else Z:.
    std::string toWindows(const std::filesystem::path& hostPath) const;

private:
    std::filesystem::path prefix_;
    std::map<char, std::filesystem::path> drives_; // lower-case letter -> canonical target
};

/// Splits a command line: blanks and tabs separate arguments outside quotes; a `"` opens or
/// closes quoting and is dropped; a backslash is an ordinary character; an open quote runs to
/// the end. `d="D:\out\"` gives `d=D:\out\`, and `-q"90` gives `-q90`.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

/// One command line that splitCommandLine splits back into `words`: each word in quotes,
/// separated by blanks. A `"` inside a word cannot be carried and is left out.
std::string joinQuoted(const std::vector<std::string>& words);

/// The text after the last backslash (the whole text when there is none).
std::string fileNameOf(std::string_view windowsPath);

} // namespace pxw::platform
