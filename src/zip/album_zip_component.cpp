#include "zip/album_zip_component.h"

#include "base/text.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace pxw::zip {

AlbumZipComponent::AlbumZipComponent(
    platform::DriveMap drives, fs::path albumProgram, std::optional<fs::path> windowsAlbumProgram)
    : drives_(std::move(drives)) {
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
    std::optional<fs::path> host = drives_.toHost(windowsPath, &why);
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
    struct stat info { };
    if (::stat(icon->c_str(), &info) != 0)
        return Status::failure(
            "cannot use the icon " + base::inQuotes(iconPath) + ": " + base::errorText(errno));
    if (!S_ISREG(info.st_mode))
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
    platform::DriveMap drives, fs::path albumProgram, std::optional<fs::path> windowsAlbumProgram)
    : drives_(std::move(drives))
    , albumProgram_(std::move(albumProgram))
    , windowsAlbumProgram_(std::move(windowsAlbumProgram)) {
}

std::unique_ptr<platform::ZipComponent> AlbumZipComponentFactory::create() {
    return std::make_unique<AlbumZipComponent>(drives_, albumProgram_, windowsAlbumProgram_);
}

} // namespace pxw::zip
