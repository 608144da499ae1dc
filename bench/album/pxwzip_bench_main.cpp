// Writes one album from a folder through the zip component, the way the album build does, for
// timing against other archivers: pxwzip-bench ALBUM_PROGRAM ICON FOLDER ALBUM (host paths).
// With WINDOWS_PROGRAM after them, the album opens on Windows too (albumfile/album_program.h).

#include "zip/album_zip_component.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::cerr << "usage: pxwzip-bench ALBUM_PROGRAM ICON FOLDER ALBUM [WINDOWS_PROGRAM]\n";
        return 2;
    }
    pxw::platform::DriveMap drives = pxw::platform::DriveMap::fromEnvironment();
    pxw::zip::AlbumZipComponentFactory factory(
        drives, argv[1], argc == 6 ? std::optional<std::filesystem::path>(argv[5]) : std::nullopt);
    std::unique_ptr<pxw::platform::ZipComponent> zip = factory.create();
    pxw::platform::Status steps[] = {
        zip->setOption(0),
        zip->setTextOption(""),
        zip->setOtherOption(0),
        zip->setIcon(drives.toWindows(argv[2])),
        zip->setOtherTextOption(""),
        zip->newArchive("notUsed.zip"),
        zip->addFolder(drives.toWindows(argv[3]), 1),
        zip->writeSelfExtractor(drives.toWindows(argv[4])),
    };
    for (const pxw::platform::Status& step : steps) {
        if (!step) {
            std::cerr << "pxwzip-bench: " << step.message() << '\n';
            return 1;
        }
    }
    return 0;
}
