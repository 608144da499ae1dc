#pragma once

#include "platform/windows_path.h"
#include "platform/zip_component.h"
#include "zip/album_writer.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pxw::zip {

/// Where a path of the program lies on this host: through the drive table on Linux, as it
/// stands on Windows. Nothing, with *error set, when it lies nowhere.
using HostPathOf = std::function<std::optional<std::filesystem::path>(
    std::string_view windowsPath, std::string* error)>;

/// The drive table's mapping, as a HostPathOf.
HostPathOf throughDrives(platform::DriveMap drives);

/// The zip component: writes albums with libzip (the album program, the icon, the images in a
/// zip archive) at Windows-style paths, found on this host by `hostPathOf`. The option
/// operations are accepted and have no effect.
class AlbumZipComponent final : public platform::ZipComponent {
public:
    /// With `windowsAlbumProgram`, albums open on Windows and on Linux alike; with it and an
    /// empty `albumProgram`, on Windows alone.
    AlbumZipComponent(HostPathOf hostPathOf, std::filesystem::path albumProgram,
        std::optional<std::filesystem::path> windowsAlbumProgram = std::nullopt);

    Status setOption(int value) override;
    Status setTextOption(const std::string& value) override;
    Status setOtherOption(int value) override;
    Status setIcon(const std::string& iconPath) override;
    Status setOtherTextOption(const std::string& value) override;
    Status newArchive(const std::string& name) override;
    Status addFolder(const std::string& folder, int flags) override;
    Status writeSelfExtractor(const std::string& exePath) override;

private:
    std::optional<std::filesystem::path> hostPath(
        const std::string& windowsPath, const char* what, Status& failure) const;

    HostPathOf hostPathOf_;
    AlbumRecipe recipe_;
    bool archiveStarted_ = false;
};

class AlbumZipComponentFactory final : public platform::ZipComponentFactory {
public:
    /// `albumProgram` is the host path of the `pxwalbum` program put in front of every album;
    /// `windowsAlbumProgram`, that of `pxwalbum.exe`, which joins it where it was installed.
    /// On Windows `albumProgram` is the Linux program where the installer carries it, else
    /// empty: the albums then open on Windows alone.
    AlbumZipComponentFactory(HostPathOf hostPathOf, std::filesystem::path albumProgram,
        std::optional<std::filesystem::path> windowsAlbumProgram = std::nullopt);
    /// Paths mapped through the drive table (Linux).
    AlbumZipComponentFactory(platform::DriveMap drives, std::filesystem::path albumProgram,
        std::optional<std::filesystem::path> windowsAlbumProgram = std::nullopt);

    std::unique_ptr<platform::ZipComponent> create() override;

private:
    HostPathOf hostPathOf_;
    std::filesystem::path albumProgram_;
    std::optional<std::filesystem::path> windowsAlbumProgram_;
};

} // namespace pxw::zip
