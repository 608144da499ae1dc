#pragma once

// A real prefix in a scratch folder: drive C: with the image tool installed, drive D: for the
// user's files (a folder beside the prefix, as another disk would be), Z: for the host.
// PIXELWAIN_PREFIX points at the prefix for the test and for the programs the test starts.

#include "platform/windows_path.h"
#include "temp_folder.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::testing {

class TempPrefix {
public:
    /// `imageTool`: the built lumabatch to link as C:\windows\lumaforge\lumabatch.exe, or
    /// empty to leave the tool out.
    explicit TempPrefix(const std::filesystem::path& imageTool = {});
    ~TempPrefix();
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    /// The scratch folder, removed with everything in it at the end; holds the prefix.
    const std::filesystem::path& root() const { return root_.path(); }
    std::filesystem::path prefix() const { return root_ / "prefix"; }
    std::filesystem::path driveC() const { return prefix() / "drive_c"; }
    std::filesystem::path driveD() const { return root_ / "drive_d"; }
    platform::DriveMap drives() const { return platform::DriveMap(prefix()); }
    std::filesystem::path workFolder() const { return driveC() / "windows" / "pxwtemp01"; }
    std::filesystem::path toolFile() const {
        return driveC() / "windows" / "lumaforge" / "lumabatch.exe";
    }

private:
    TempFolder root_;
    std::string previousPrefix_;
    bool hadPrefix_ = false;
};

void writeFile(const std::filesystem::path& file, std::string_view content);
std::string readFile(const std::filesystem::path& file);

/// Writes a real JPEG of the given size (a gradient with some noise) with the vips command.
void makeJpeg(const std::filesystem::path& file, int width, int height);

/// Width and height of an image, read by vips.
std::pair<int, int> imageSize(const std::filesystem::path& file);

/// The names of the regular files in a folder, sorted.
std::vector<std::string> fileNames(const std::filesystem::path& folder);

/// Waits, without spinning, until `folder` holds `count` files with `extension` (a rename or
/// close of a written file wakes it), or the time runs out.
bool waitForFiles(const std::filesystem::path& folder, std::size_t count,
    const std::string& extension, std::chrono::seconds limit);

/// Runs a command line through the shell and gives its standard output; sets *status.
std::string runCommand(const std::string& command, int* status = nullptr);

} // namespace pxw::testing
