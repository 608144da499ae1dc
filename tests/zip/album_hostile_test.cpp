// Damaged and hostile albums: each is refused whole, with a non-zero exit, and nothing is
// written, neither inside the chosen folder nor beside it.

#include "albumfile/album_format.h"
#include "albumfile/album_reader.h"
#include "test_support.h"
#include "zip/album_writer.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;
using pxw::platform::Status;

namespace pxw::zip::test {
namespace {

struct CraftedEntry {
    std::string name;
    std::string data;
    std::uint32_t mode = S_IFREG | 0644;
    bool deflate = false;
};

// An album made the way an attacker could: any names and attributes, put together with
// libzip and made self-extracting with `zip -A`, which moves the offsets past the program.
fs::path craftAlbum(const TempFolder& dir, const std::vector<CraftedEntry>& entries,
    const std::optional<std::string>& comment = std::nullopt) {
    const fs::path plain = dir / "plain.zip";
    fs::path album = dir / "crafted.exe";
    int error = 0;
    zip_t* archive = zip_open(plain.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("zip_open failed");
    for (const CraftedEntry& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
        zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
        if (index < 0)
            throw std::runtime_error("zip_file_add failed for " + entry.name);
        auto at = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive, at, entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, entry.mode << 16);
    }
    std::string text = comment.value_or(iconComment({ fs::file_size(albumProgram()), 0 }));
    zip_set_archive_comment(archive, text.data(), static_cast<zip_uint16_t>(text.size()));
    if (zip_close(archive) != 0)
        throw std::runtime_error("zip_close failed");
    writeFile(album, readFile(albumProgram()) + readFile(plain));
    fs::remove(plain);
    fs::permissions(album, fs::perms::owner_all);
    RunResult adjusted = run({ "/usr/bin/zip", "-A", "-q", album.string() });
    if (adjusted.exitCode != 0)
        throw std::runtime_error("zip -A failed: " + adjusted.err);
    return album;
}

fs::path writtenAlbum(
    const TempFolder& dir, const std::vector<std::pair<std::string, std::string>>& files) {
    fs::create_directories(dir / "src");
    AlbumRecipe recipe { albumProgram(), dir / "icon.png", {} };
    writeFile(dir / "icon.png", pngIconBytes(16, 1));
    for (const auto& [name, bytes] : files) {
        writeFile(dir / "src" / name, bytes);
        recipe.files.push_back({ name, dir / "src" / name });
    }
    fs::path album = dir / "album.exe";
    Status written = writeAlbum(recipe, album);
    if (!written)
        throw std::runtime_error(written.message());
    return album;
}

std::uint32_t read32(const std::string& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
void write32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

// Where the first entry's central and local headers lie.
std::pair<std::size_t, std::size_t> firstEntryHeaders(const fs::path& album) {
    int fd = ::open(album.c_str(), O_RDONLY);
    std::optional<ArchiveEnd> end = findArchiveEnd(fd, fs::file_size(album), nullptr);
    ::close(fd);
    if (!end)
        throw std::runtime_error("no archive end");
    std::string bytes = readFile(album);
    std::size_t central = end->directoryOffset;
    return { central, read32(bytes, central + 42) };
}

// Runs the album with --extract into a folder that does not exist yet, and with --list.
struct Refusal {
    RunResult extract;
    RunResult list;
};
Refusal extractInto(const fs::path& album, const fs::path& out) {
    return { run({ album.string(), "--extract", out.string() }, true),
        run({ album.string(), "--list" }, true) };
}

struct HostileCase {
    const char* label;
    CraftedEntry entry;
    const char* reason;
};

void PrintTo(const HostileCase& hostile, std::ostream* out) {
    *out << hostile.label;
}

class HostileEntryTest : public ::testing::TestWithParam<HostileCase> { };

TEST_P(HostileEntryTest, IsRefusedAndNothingIsWritten) {
    TempFolder dir;
    CraftedEntry hostile = GetParam().entry;
    if (hostile.name == "@absolute")
        hostile.name = (dir / "absolute-evil").string();
    const fs::path album = craftAlbum(dir, { { "good.jpg", jpegBytes(40, 30, 1) }, hostile });
    fs::create_directories(dir / "place");
    const auto before = folderNames(dir.path());

    Refusal result = extractInto(album, dir / "place" / "out");
    EXPECT_EQ(result.extract.exitCode, 1) << result.extract.err;
    EXPECT_NE(result.extract.err.find(GetParam().reason), std::string::npos) << result.extract.err;
    EXPECT_EQ(result.list.exitCode, 1);
    EXPECT_TRUE(result.list.out.empty()) << result.list.out;
    EXPECT_TRUE(folderNames(dir / "place").empty());
    EXPECT_EQ(folderNames(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Albums, HostileEntryTest,
    ::testing::Values(HostileCase { "ParentStep", { "../evil", "x" }, "leads out of the folder" },
        HostileCase { "ParentStepInside", { "sub/../../evil", "x" }, "leads out of the folder" },
        HostileCase { "BackslashParent", { "..\\evil", "x" }, "leads out of the folder" },
        HostileCase { "Backslash", { "sub\\evil", "x" }, "backslash" },
        HostileCase { "Absolute", { "@absolute", "x" }, "absolute path" },
        HostileCase { "Drive", { "C:evil", "x" }, "names a drive" },
        HostileCase { "Subfolder", { "sub/photo.jpg", "x" }, "subfolder" },
        HostileCase { "Folder", { "sub/", "", S_IFDIR | 0755 }, "is a folder" },
        HostileCase { "Symlink", { "link.jpg", "/etc/passwd", S_IFLNK | 0777 }, "symbolic link" },
        HostileCase { "Fifo", { "pipe.jpg", "", S_IFIFO | 0644 }, "not a plain file" },
        HostileCase { "ControlCharacter", { "a\nb.jpg", "x" }, "control character" }),
    [](const ::testing::TestParamInfo<HostileCase>& info) {
        return std::string(info.param.label);
    });

TEST(DamagedAlbum, TruncatedAlbumHoldsNoAlbum) {
    TempFolder dir;
    const fs::path album = writtenAlbum(
        dir, { { "a.jpg", jpegBytes(50, 50, 1) }, { "b.jpg", jpegBytes(60, 50, 2) } });
    std::string whole = readFile(album);
    // Cut only what follows the program's own bytes: a cut into the program would leave a
    // file that cannot run at all, which says nothing about the album reader.
    const std::size_t tail = whole.size() - fs::file_size(albumProgram());
    for (std::size_t cut : { std::size_t { 10 }, tail / 2, tail - 1 }) {
        writeFile(album, whole.substr(0, whole.size() - cut));
        Refusal result = extractInto(album, dir / "out");
        EXPECT_EQ(result.extract.exitCode, 1) << cut;
        EXPECT_NE(result.extract.err.find("holds no album"), std::string::npos)
            << result.extract.err;
        EXPECT_NE(result.extract.err.find("truncated"), std::string::npos) << result.extract.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST(DamagedAlbum, MissingMiddleIsRefused) {
    TempFolder dir;
    const fs::path album = writtenAlbum(
        dir, { { "a.jpg", jpegBytes(50, 50, 1) }, { "b.jpg", jpegBytes(60, 50, 2) } });
    std::string whole = readFile(album);
    auto [central, local] = firstEntryHeaders(album);
    // Drop bytes from the first image: the directory at the end no longer matches the file.
    writeFile(album, whole.substr(0, local + 100) + whole.substr(local + 400));
    Refusal result = extractInto(album, dir / "out");
    EXPECT_EQ(result.extract.exitCode, 1) << result.extract.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(DamagedAlbum, CorruptImageDataWritesNothingIntoAnExistingFolder) {
    TempFolder dir;
    const std::string second = jpegBytes(80, 60, 2);
    const fs::path album
        = writtenAlbum(dir, { { "a.jpg", jpegBytes(50, 50, 1) }, { "b.jpg", second } });
    std::string whole = readFile(album);
    // Flip a byte in the middle of the last image: only reading it finds the damage.
    std::size_t inSecond = whole.find(second) + second.size() / 2;
    ASSERT_NE(whole.find(second), std::string::npos);
    whole[inSecond] = static_cast<char>(whole[inSecond] ^ 0x55);
    writeFile(album, whole);

    fs::create_directories(dir / "out");
    writeFile(dir / "out" / "keep.txt", "mine");
    writeFile(dir / "out" / "a.jpg", "earlier a.jpg");
    Refusal result = extractInto(album, dir / "out");
    EXPECT_EQ(result.extract.exitCode, 1);
    EXPECT_NE(result.extract.err.find("b.jpg"), std::string::npos) << result.extract.err;
    EXPECT_NE(result.extract.err.find("CRC"), std::string::npos) << result.extract.err;
    EXPECT_EQ(folderNames(dir / "out"), (std::vector<std::string> { "a.jpg", "keep.txt" }));
    EXPECT_EQ(readFile(dir / "out" / "a.jpg"), "earlier a.jpg");
    EXPECT_EQ(result.list.exitCode, 0) << "listing needs no image data";
}

TEST(DamagedAlbum, HugeDeclaredSizeIsRefused) {
    TempFolder dir;
    const fs::path album = writtenAlbum(dir, { { "a.jpg", jpegBytes(50, 50, 1) } });
    std::string whole = readFile(album);
    auto [central, local] = firstEntryHeaders(album);
    for (std::size_t field : { central + 20, central + 24, local + 18, local + 22 })
        write32(whole, field, 0x30000000u);
    writeFile(album, whole);
    Refusal result = extractInto(album, dir / "out");
    EXPECT_EQ(result.extract.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(DamagedAlbum, CompressedOrShiftedEntriesAreRefused) {
    // Albums store their images as they are, one right after the other.
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i) + "\n";
    struct Case {
        bool deflate;
        std::uint32_t declared; // 0: as written
        const char* reason;
    };
    for (const Case& damage : { Case { true, 0, "compression method" },
             Case { false, 100, "does not account for the whole archive" } }) {
        TempFolder dir;
        const fs::path album
            = craftAlbum(dir, { { "notes.txt", text, S_IFREG | 0644, damage.deflate } });
        if (damage.declared) {
            std::string whole = readFile(album);
            auto [central, local] = firstEntryHeaders(album);
            for (std::size_t field : { central + 20, central + 24, local + 18, local + 22 })
                write32(whole, field, damage.declared);
            writeFile(album, whole);
        }
        Refusal result = extractInto(album, dir / "out");
        EXPECT_EQ(result.extract.exitCode, 1);
        EXPECT_NE(result.extract.err.find(damage.reason), std::string::npos) << result.extract.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
}

TEST(DamagedAlbum, EntryOverTheLimitIsRefusedBeforeReading) {
    TempFolder dir;
    const fs::path album = writtenAlbum(dir, { { "a.jpg", std::string(5000, 'a') } });
    AlbumReader reader(AlbumLimits { 1000, 1000 });
    Status opened = reader.open(album);
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.message().find("claims 5000 bytes"), std::string::npos) << opened.message();
    AlbumReader generous;
    EXPECT_TRUE(generous.open(album));
}

TEST(DamagedAlbum, IconOutsideTheFileOrNoIconRecordIsRefused) {
    TempFolder dir;
    const fs::path album = craftAlbum(dir, { { "a.jpg", "x" } }, iconComment({ 1u << 30, 10 }));
    RunResult outside = run({ album.string(), "--icon", (dir / "icon").string() }, true);
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_NE(outside.err.find("icon lies outside"), std::string::npos) << outside.err;
    EXPECT_FALSE(fs::exists(dir / "icon"));

    const fs::path plain = craftAlbum(dir, { { "a.jpg", "x" } }, "just a zip");
    RunResult notAlbum = run({ plain.string(), "--list" }, true);
    EXPECT_EQ(notAlbum.exitCode, 1);
    EXPECT_NE(notAlbum.err.find("holds no album"), std::string::npos) << notAlbum.err;
}

TEST(DamagedAlbum, PlantedLinkInTheFolderIsNotFollowed) {
    TempFolder dir;
    const fs::path album = writtenAlbum(dir, { { "a.jpg", jpegBytes(50, 50, 1) } });
    writeFile(dir / "outside.txt", "precious");
    fs::create_directories(dir / "out");
    fs::create_symlink(dir / "outside.txt", dir / "out" / "a.jpg");
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        const char* message;
    };
    for (const Case& extract :
        { Case { {}, 3, "kept" }, Case { { "--overwrite" }, 1, "not a plain file" } }) {
        std::vector<std::string> argv { album.string(), "--extract", (dir / "out").string() };
        argv.insert(argv.end(), extract.options.begin(), extract.options.end());
        RunResult result = run(argv, true);
        EXPECT_EQ(result.exitCode, extract.exitCode) << result.err;
        EXPECT_NE(result.err.find(extract.message), std::string::npos) << result.err;
        EXPECT_EQ(readFile(dir / "outside.txt"), "precious");
        EXPECT_TRUE(fs::is_symlink(dir / "out" / "a.jpg"));
        EXPECT_EQ(folderNames(dir / "out"), std::vector<std::string> { "a.jpg" });
    }
}

} // namespace
} // namespace pxw::zip::test
