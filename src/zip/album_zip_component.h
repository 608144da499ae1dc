#pragma once

#include "platform/windows_path.h"
#include "platform/zip_component.h"
#include "zip/album_writer.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pxw::zip {

/// The zip component: writes albums with libzip (the album program, the icon, the images in a
/// zip archive) at Windows-style paths mapped through the drive table. The option operations
/// are accepted and have no effect.
class AlbumZipComponent final : public platform::ZipComponent {
public:
    /// With `windowsAlbumProgram`, albums open on Windows and on Linux alike.
    AlbumZipComponent(platform::DriveMap drives, std::filesystem::path albumProgram,
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

    platform::DriveMap drives_;
    AlbumRecipe recipe_;
    bool archiveStarted_ = false;
};

class AlbumZipComponentFactory final : public platform::ZipComponentFactory {
public:
    /// `albumProgram` is the host path of the `pxwalbum` program put in front of every album;
    /// `windowsAlbumProgram`, that of `pxwalbum.exe`, which joins it where it was installed.
    AlbumZipComponentFactory(platform::DriveMap drives, std::filesystem::path albumProgram,
        std::optional<std::filesystem::path> windowsAlbumProgram = std::nullopt);

    std::unique_ptr<platform::ZipComponent> create() override;

private:
    platform::DriveMap drives_;
    std::filesystem::path albumProgram_;
    std::optional<std::filesystem::path> windowsAlbumProgram_;
};

} // namespace pxw::zip
