// The album's reader and icon decoder as a Windows program (run under Wine): wide paths,
// Windows' own file calls, and the names Windows cannot hold.

#include "albumfile/album_format.h"
#include "albumfile/album_reader.h"
#include "ico_decoder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <zlib.h>

namespace fs = std::filesystem;

namespace pxw::zip {
namespace {

// The reader's own path type, which the Windows program keeps apart from std::filesystem.
base::Path wide(const fs::path& path) {
    return path.native();
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An icon of one 1x1 32-bit bitmap whose pixel is red, green and blue, fully opaque.
std::string oneDotIcon(unsigned char red, unsigned char green, unsigned char blue) {
    std::string icon;
    put(icon, 0, 2), put(icon, 1, 2), put(icon, 1, 2); // header: an icon of one image
    put(icon, 0x0101, 2), put(icon, 0, 2), put(icon, 1, 2), put(icon, 32, 2);
    put(icon, 48, 4), put(icon, 22, 4); // 40 + 4 + 4 bytes at offset 22
    put(icon, 40, 4), put(icon, 1, 4), put(icon, 2, 4), put(icon, 1, 2), put(icon, 32, 2);
    icon += std::string(24, '\0');
    icon += { static_cast<char>(blue), static_cast<char>(green), static_cast<char>(red), '\xff' };
    return icon + std::string(4, '\0');
}

// An album laid out the way the album writer lays it out: a program, the icon, the stored
// entries, the directory and the end record whose comment says where the icon lies.
std::string album(
    const std::vector<std::pair<std::string, std::string>>& files, const std::string& icon) {
    std::string bytes = "MZ a program's bytes";
    const IconPlace place { bytes.size(), icon.size() };
    bytes += icon;
    std::string directory;
    for (const auto& [name, data] : files) {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const auto offset = static_cast<std::uint32_t>(bytes.size());
        std::string common;
        put(common, 10, 2), put(common, 0x0800, 2), put(common, 0, 2), put(common, 0, 4);
        put(common, crc, 4), put(common, static_cast<std::uint32_t>(data.size()), 4);
        put(common, static_cast<std::uint32_t>(data.size()), 4);
        put(common, static_cast<std::uint32_t>(name.size()), 2), put(common, 0, 2);
        put(bytes, 0x04034b50, 4);
        bytes += common + name + data;
        put(directory, 0x02014b50, 4), put(directory, 0x030A, 2);
        directory += common;
        put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 2);
        put(directory, 0100644u << 16, 4), put(directory, offset, 4);
        directory += name;
    }
    const auto directoryAt = static_cast<std::uint32_t>(bytes.size());
    const std::string comment = iconComment(place);
    bytes += directory;
    put(bytes, 0x06054b50, 4), put(bytes, 0, 4);
    put(bytes, static_cast<std::uint32_t>(files.size()), 2);
    put(bytes, static_cast<std::uint32_t>(files.size()), 2);
    put(bytes, static_cast<std::uint32_t>(directory.size()), 4), put(bytes, directoryAt, 4);
    put(bytes, static_cast<std::uint32_t>(comment.size()), 2);
    return bytes + comment;
}

class TempFolder {
public:
    TempFolder()
        : path_(
            fs::temp_directory_path() / ("pxw-test-" + std::to_string(std::random_device {}()))) {
        fs::create_directory(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

private:
    fs::path path_;
};

const fs::path accented = fs::path(u8"\u00e9t\u00e9.jpg");
const std::string accentedUtf8 = "\xc3\xa9t\xc3\xa9.jpg";

TEST(WindowsNames, AreRefusedAndTheirAlbumWithThem) {
    for (const char* name : { "CON", "con.jpg", "NUL.txt", "COM1.jpg", "lpt9", "CON .jpg",
             "a:b.jpg", "a<b.jpg", "a|b", "photo.", "photo.jpg " }) {
        EXPECT_TRUE(refusedEntryName(name)) << name;
        TempFolder dir;
        writeFile(dir / "album.exe", album({ { name, "x" } }, oneDotIcon(1, 2, 3)));
        Status opened = AlbumReader().open(wide(dir / "album.exe"));
        EXPECT_FALSE(opened) << name;
        EXPECT_NE(opened.message().find(name), std::string::npos) << opened.message();
    }
    for (const char* name : { "CONSOLE.jpg", "COM10.jpg", "nul-photo.jpg", "a.b.jpg" })
        EXPECT_FALSE(refusedEntryName(name)) << name;
}

TEST(AlbumOnWindows, ReadsItsEntriesAndItsIconThroughWidePaths) {
    TempFolder dir;
    const std::string icon = oneDotIcon(200, 100, 50);
    writeFile(dir / accented, album({ { accentedUtf8, "first" }, { "b.jpg", "second" } }, icon));
    AlbumReader reader;
    ASSERT_TRUE(reader.open(wide(dir / accented))) << "opened";
    ASSERT_EQ(reader.entries().size(), 2u);
    EXPECT_EQ(reader.entries()[0].name, accentedUtf8);
    std::string bytes;
    ASSERT_TRUE(reader.readEntry(1, bytes));
    EXPECT_EQ(bytes, "second");

    ASSERT_TRUE(reader.writeIcon(wide(dir / "icon.ico"), false));
    EXPECT_EQ(readFile(dir / "icon.ico"), icon);
    std::string error;
    std::vector<IconImage> images = decodeIco(icon, &error);
    ASSERT_EQ(images.size(), 1u) << error;
    const std::vector<unsigned char> expected { 200, 100, 50, 255 };
    EXPECT_EQ(images[0].pixels.pixels, expected);

    const Status missing = AlbumReader().open(wide(dir / "none.exe"));
    EXPECT_NE(missing.message().find("none.exe\": No such file"), std::string::npos)
        << missing.message();
}

struct Clash {
    ClashAnswer answer;
    std::vector<fs::path> names; // in the folder afterwards
    std::string first; // the bytes of the first name afterwards
};

TEST(AlbumOnWindows, ExtractsAndSettlesEachClash) {
    for (const Clash& clash : {
             Clash { ClashAnswer::replace, { "b.jpg", accented }, "first" },
             Clash {
                 ClashAnswer::keepBoth, { "b.jpg", u8"\u00e9t\u00e9 (2).jpg", accented }, "mine" },
             Clash { ClashAnswer::keep, { "b.jpg", accented }, "mine" },
             Clash { ClashAnswer::cancel, { accented }, "mine" },
         }) {
        TempFolder dir;
        writeFile(dir / "album.exe", album({ { accentedUtf8, "first" }, { "b.jpg", "2" } }, ""));
        fs::create_directory(dir / "out");
        writeFile(dir / "out" / accented, "mine");
        AlbumReader reader;
        ASSERT_TRUE(reader.open(wide(dir / "album.exe")));
        ExtractReport report = reader.extractAll(wide(dir / "out"), [&](const std::string& name) {
            EXPECT_EQ(name, accentedUtf8);
            return clash.answer;
        });
        EXPECT_TRUE(report.status) << report.status.message();
        std::vector<fs::path> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir / "out"))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, clash.names) << static_cast<int>(clash.answer);
        EXPECT_EQ(readFile(dir / "out" / accented), clash.first);
    }
}

TEST(AlbumOnWindows, ADamagedEntryWritesNothing) {
    TempFolder dir;
    std::string bytes = album({ { "a.jpg", "first" }, { "b.jpg", "second" } }, "");
    bytes[bytes.find("second")] = 'S';
    writeFile(dir / "album.exe", bytes);
    AlbumReader reader;
    ASSERT_TRUE(reader.open(wide(dir / "album.exe")));
    ExtractReport report = reader.extractAll(
        wide(dir / "out"), [](const std::string&) { return ClashAnswer::cancel; });
    EXPECT_NE(report.status.message().find("CRC"), std::string::npos) << report.status.message();
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// The program's own path joins, splits and names as the library's path does on Windows.
TEST(AlbumOnWindows, PathStepsMatchTheLibrarysPath) {
    const wchar_t* const paths[] = { L"", L"a", L"a\\b", L"a/b/", L"a\\\\b", L"C:", L"C:a", L"C:\\",
        L"C:\\a", L"C:\\a\\b.jpg", L"\\a", L"\\\\srv\\share\\x", L"\\\\srv", L"/", L"C:a\\",
        L"a\\\\", L"C:/", L"\\\\" };
    for (const wchar_t* left : paths) {
        const fs::path library(left);
        const base::Path own(left);
        EXPECT_EQ(own.filename().native(), library.filename().native()) << fs::path(left);
        EXPECT_EQ(own.parent_path().native(), library.parent_path().native()) << fs::path(left);
        for (const wchar_t* right : paths)
            EXPECT_EQ((own / right).native(), (library / right).native())
                << fs::path(left) << " / " << fs::path(right);
    }
}

} // namespace
} // namespace pxw::zip
