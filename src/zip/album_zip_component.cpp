#include "zip/album_zip_component.h"

#include "base/text.h"

#include <system_error>

namespace fs = std::filesystem;

namespace pxw::zip {

HostPathOf throughDrives(platform::DriveMap drives) {
    return [drives = std::move(drives)](std::string_view windowsPath, std::string* error) {
        return drives.toHost(windowsPath, error);
    };
}

AlbumZipComponent::AlbumZipComponent(
    HostPathOf hostPathOf, fs::path albumProgram, std::optional<fs::path> windowsAlbumProgram)
    : hostPathOf_(std::move(hostPathOf)) {
    recipe_.program = std::move(albumProgram);
    recipe_.windowsProgram = std::move(windowsAlbumProgram);
}

Status AlbumZipComponent::setOption(int) {
    return Status::success();
}
Status AlbumZipComponent::setTextOption(const std::string&) {
    return Status::success();
}
Status AlbumZipComponent::setOtherOption(int) {
    return Status::success();
}
Status AlbumZipComponent::setOtherTextOption(const std::string&) {
    return Status::success();
}

std::optional<fs::path> AlbumZipComponent::hostPath(
    const std::string& windowsPath, const char* what, Status& failure) const {
    std::string why;
    std::optional<fs::path> host = hostPathOf_(windowsPath, &why);
    if (!host)
        failure = Status::failure(
            std::string("cannot use the ") + what + " " + base::inQuotes(windowsPath) + ": " + why);
    return host;
}

Status AlbumZipComponent::setIcon(const std::string& iconPath) {
    Status failure = Status::success();
    std::optional<fs::path> icon = hostPath(iconPath, "icon", failure);
    if (!icon)
        return failure;
    std::error_code error;
    const fs::file_status status = fs::status(*icon, error);
    if (error)
        return Status::failure(
            "cannot use the icon " + base::inQuotes(iconPath) + ": " + error.message());
    if (!fs::is_regular_file(status))
        return Status::failure(
            "cannot use the icon " + base::inQuotes(iconPath) + ": it is not a file");
    recipe_.icon = std::move(icon);
    return Status::success();
}

Status AlbumZipComponent::newArchive(const std::string&) {
    // The name is only a label: the album is written where writeSelfExtractor says.
    recipe_.files.clear();
    archiveStarted_ = true;
    return Status::success();
}

Status AlbumZipComponent::addFolder(const std::string& folder, int) {
    if (!archiveStarted_)
        return Status::failure(
            "cannot add the folder " + base::inQuotes(folder) + ": no archive was started");
    Status failure = Status::success();
    std::optional<fs::path> host = hostPath(folder, "folder", failure);
    if (!host)
        return failure;
    if (Status added = collectFolderFiles(*host, recipe_.files); !added)
        return Status::failure(
            "cannot add the folder " + base::inQuotes(folder) + ": " + added.message());
    return Status::success();
}

Status AlbumZipComponent::writeSelfExtractor(const std::string& exePath) {
    if (!archiveStarted_)
        return Status::failure(
            "cannot write the album " + base::inQuotes(exePath) + ": no archive was started");
    Status failure = Status::success();
    std::optional<fs::path> destination = hostPath(exePath, "album path", failure);
    if (!destination)
        return failure;
    return writeAlbum(recipe_, *destination);
}

AlbumZipComponentFactory::AlbumZipComponentFactory(
    HostPathOf hostPathOf, fs::path albumProgram, std::optional<fs::path> windowsAlbumProgram)
    : hostPathOf_(std::move(hostPathOf))
    , albumProgram_(std::move(albumProgram))
    , windowsAlbumProgram_(std::move(windowsAlbumProgram)) {
}

AlbumZipComponentFactory::AlbumZipComponentFactory(
    platform::DriveMap drives, fs::path albumProgram, std::optional<fs::path> windowsAlbumProgram)
    : AlbumZipComponentFactory(
        throughDrives(std::move(drives)), std::move(albumProgram), std::move(windowsAlbumProgram)) {
}

std::unique_ptr<platform::ZipComponent> AlbumZipComponentFactory::create() {
    return std::make_unique<AlbumZipComponent>(hostPathOf_, albumProgram_, windowsAlbumProgram_);
}

} // namespace pxw::zip
