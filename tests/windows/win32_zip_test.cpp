// The zip component on Windows: albums around the Windows album program, for Windows alone or,
// with the Linux program beside it, for both; read back with the album reader.

#include "albumfile/album_reader.h"
#include "base/wide_text.h"
#include "platform/win32/native_path.h"
#include "temp_folder.h"
#include "zip/album_zip_component.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace pxw::zip {
namespace {

namespace fs = std::filesystem;

std::string text(const fs::path& path) {
    return base::narrowed(path.native());
}

std::string readFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

TEST(Win32Zip, WritesAlbumsForWindowsAloneOrForBoth) {
    for (const bool withLinuxProgram : { false, true }) {
        SCOPED_TRACE(withLinuxProgram ? "Windows and Linux" : "Windows alone");
        testing::TempFolder temp;
        fs::create_directory(temp / "images");
        std::ofstream(temp / "images" / "a.jpg", std::ios::binary) << "first";
        std::ofstream(temp / "images" / L"Bild \u00e4.jpg", std::ios::binary) << "second";
        fs::path linuxProgram;
        if (withLinuxProgram) {
            linuxProgram = temp / "pxwalbum";
            std::ofstream(linuxProgram, std::ios::binary) << "\x7f"
                                                             "ELF, a stand-in";
        }
        AlbumZipComponentFactory factory(
            platform::win32::nativeFilesystemPath, linuxProgram, PXW_WINDOWS_ALBUM_PROGRAM);
        std::unique_ptr<platform::ZipComponent> zip = factory.create();
        const std::string album = text(temp / "album.exe");
        for (const platform::Status& step : { zip->setIcon(PXW_TEST_ICON), zip->newArchive(album),
                 zip->addFolder(text(temp / "images"), 0), zip->writeSelfExtractor(album) })
            ASSERT_TRUE(step) << step.message();

        AlbumReader reader;
        const platform::Status opened = reader.open(base::Path((temp / "album.exe").native()));
        ASSERT_TRUE(opened) << opened.message();
        ASSERT_EQ(reader.entries().size(), 2U);
        EXPECT_EQ(reader.entries()[0].name, "Bild \xc3\xa4.jpg");
        std::string bytes;
        ASSERT_TRUE(reader.readEntry(1, bytes));
        EXPECT_EQ(bytes, "first");
        const std::string written = readFile(temp / "album.exe");
        EXPECT_EQ(written.rfind("MZ", 0), 0U);
        EXPECT_EQ(written.rfind("MZqFpD='\n", 0) == 0, withLinuxProgram)
            << "the script line of an album that opens on Linux too";
        EXPECT_EQ(written.find("ELF, a stand-in") != std::string::npos, withLinuxProgram);
    }
}

} // namespace
} // namespace pxw::zip
