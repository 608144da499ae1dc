// Writes one album from a folder through the zip component, the way the album build does, for
// timing against other archivers: pxwzip-bench ALBUM_PROGRAM ICON FOLDER ALBUM (host paths).
// With WINDOWS_PROGRAM after them, the album opens on Windows too (albumfile/album_program.h).

#include "albumfile/album_program.h"
#include "zip/album_zip_component.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

std::string readAll(const char* file) {
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::cerr << "usage: pxwzip-bench ALBUM_PROGRAM ICON FOLDER ALBUM [WINDOWS_PROGRAM]\n";
        return 2;
    }
    std::string program = argv[1];
    if (argc == 6) {
        std::string error;
        std::optional<std::string> dual
            = pxw::zip::dualAlbumProgram(readAll(argv[5]), readAll(argv[1]), &error);
        program = std::string(argv[4]) + ".program";
        if (!dual || !(std::ofstream(program, std::ios::binary) << *dual)) {
            std::cerr << "pxwzip-bench: " << (dual ? "cannot write " + program : error) << '\n';
            return 1;
        }
    }
    struct Remove {
        std::string file;
        ~Remove() {
            if (!file.empty())
                std::filesystem::remove(file);
        }
    } removeProgram { argc == 6 ? program : std::string() };
    pxw::platform::DriveMap drives = pxw::platform::DriveMap::fromEnvironment();
    pxw::zip::AlbumZipComponentFactory factory(drives, program);
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
