#include "albumfile/album_reader.h"
#include "test_support.h"
#include "zip/album_zip_component.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;
using pxw::platform::DriveMap;
using pxw::platform::Status;
using pxw::platform::ZipComponent;

namespace pxw::zip::test {
namespace {

bool containsIgnoringCase(std::string text, std::string part) {
    auto lower = [](std::string& s) { std::transform(s.begin(), s.end(), s.begin(), ::tolower); };
    lower(text);
    lower(part);
    return text.find(part) != std::string::npos;
}

// A prefix with drive C: and Z: like the installer makes, a work folder with three photos
// and a subfolder, and the default icon.
class ZipComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prefix() / "dosdevices");
        fs::create_directories(driveC() / "windows" / "pxwtemp01" / "older");
        fs::create_directories(driveC() / "windows" / "forpxw");
        fs::create_directories(driveC() / "albums");
        fs::create_directory_symlink("../drive_c", prefix() / "dosdevices" / "c:");
        fs::create_directory_symlink("/", prefix() / "dosdevices" / "z:");
        photos = { { "img001.jpg", jpegBytes(300, 400, 1) },
            { "img002.jpg", jpegBytes(400, 300, 2) }, { "img003.jpg", jpegBytes(120, 160, 3) } };
        for (const auto& [name, bytes] : photos)
            writeFile(workFolder() / name, bytes);
        writeFile(workFolder() / "older" / "hidden.jpg", jpegBytes(20, 20, 9));
        icon = pngIconBytes(32, 4);
        writeFile(driveC() / "windows" / "forpxw" / "pxwicon.ico", icon);
    }

    fs::path prefix() const { return root / "prefix"; }
    fs::path driveC() const { return prefix() / "drive_c"; }
    fs::path workFolder() const { return driveC() / "windows" / "pxwtemp01"; }

    std::unique_ptr<ZipComponent> component(fs::path program = albumProgram()) {
        AlbumZipComponentFactory factory(DriveMap(prefix()), std::move(program));
        return factory.create();
    }

    // The eight operations in the order and with the arguments the album build uses.
    Status build(ZipComponent& zip, const std::string& albumPath) {
        for (const Status& step : { zip.setOption(0), zip.setTextOption(""), zip.setOtherOption(0),
                 zip.setIcon("c:\\windows\\forpxw\\pxwicon.ico"), zip.setOtherTextOption(""),
                 zip.newArchive("notUsed.zip"), zip.addFolder("C:\\WINDOWS\\PXWTEMP01", 1) }) {
            if (!step)
                return step;
        }
        return zip.writeSelfExtractor(albumPath);
    }

    TempFolder root;
    std::vector<std::pair<std::string, std::string>> photos;
    std::string icon;
};

TEST_F(ZipComponentTest, WritesAnExecutableAlbumThatZipToolsRead) {
    auto zip = component();
    Status written = build(*zip, "C:\\albums\\holiday.exe");
    ASSERT_TRUE(written) << written.message();
    const fs::path album = driveC() / "albums" / "holiday.exe";
    struct stat info { };
    ASSERT_EQ(::stat(album.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    EXPECT_EQ(readFile(album).substr(0, fs::file_size(albumProgram())), readFile(albumProgram()));
    EXPECT_EQ(folderNames(driveC() / "albums"), std::vector<std::string> { "holiday.exe" });

    RunResult tested = run({ "/usr/bin/unzip", "-t", album.string() });
    EXPECT_EQ(tested.exitCode, 0) << tested.out << tested.err;
    EXPECT_FALSE(containsIgnoringCase(tested.out + tested.err, "warning"))
        << tested.out << tested.err;

    RunResult info2 = run({ "/usr/bin/zipinfo", album.string() });
    EXPECT_EQ(info2.exitCode, 0) << info2.err;
    RunResult listed = run({ "/usr/bin/bsdtar", "-tf", album.string() });
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "img001.jpg\nimg002.jpg\nimg003.jpg\n");
    for (const auto& [name, bytes] : photos) {
        std::string line;
        std::istringstream lines(info2.out);
        bool found = false;
        while (std::getline(lines, line)) {
            if (line.ends_with(" " + name)) {
                found = true;
                EXPECT_NE(line.find(" stor "), std::string::npos) << line;
                EXPECT_NE(line.find(" " + std::to_string(bytes.size()) + " "), std::string::npos)
                    << line;
            }
        }
        EXPECT_TRUE(found) << name << " missing from\n" << info2.out;
    }
    EXPECT_EQ(info2.out.find("hidden.jpg"), std::string::npos);

    // libzip, which the album program does without, reads the same archive.
    int error = 0;
    zip_t* archive = zip_open(album.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr) << error;
    EXPECT_EQ(zip_get_num_entries(archive, 0), 3);
    for (zip_int64_t i = 0; i < 3; ++i) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st), 0);
        EXPECT_EQ(st.name, photos[static_cast<std::size_t>(i)].first);
        EXPECT_EQ(st.comp_method, ZIP_CM_STORE);
    }
    zip_discard(archive);
}

TEST_F(ZipComponentTest, WrittenAlbumListsExtractsAndGivesBackItsIcon) {
    auto zip = component();
    ASSERT_TRUE(build(*zip, "C:\\albums\\holiday.exe"));
    const std::string album = (driveC() / "albums" / "holiday.exe").string();

    RunResult listed = run({ album, "--list" }, true);
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "img001.jpg\nimg002.jpg\nimg003.jpg\n");

    // The icon, too, keeps a file already there unless --overwrite is given.
    writeFile(root / "icon.ico", "mine");
    RunResult kept = run({ album, "--icon", (root / "icon.ico").string() }, true);
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(kept.err.find("kept"), std::string::npos) << kept.err;
    EXPECT_EQ(readFile(root / "icon.ico"), "mine");
    RunResult iconRun = run({ album, "--icon", (root / "icon.ico").string(), "--overwrite" }, true);
    EXPECT_EQ(iconRun.exitCode, 0) << iconRun.err;
    EXPECT_EQ(readFile(root / "icon.ico"), icon);

    const fs::path out = root / "out";
    RunResult extracted = run({ album, "--extract", out.string() }, true);
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(
        folderNames(out), (std::vector<std::string> { "img001.jpg", "img002.jpg", "img003.jpg" }));
    for (const auto& [name, bytes] : photos)
        EXPECT_EQ(readFile(out / name), bytes) << name;

    // A second extraction keeps the user's file and names it; --overwrite replaces it.
    writeFile(out / "img001.jpg", "changed");
    fs::remove(out / "img002.jpg");
    RunResult again = run({ album, "--extract", out.string() }, true);
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_NE(again.err.find("kept \"" + (out / "img001.jpg").string() + "\""), std::string::npos)
        << again.err;
    EXPECT_EQ(readFile(out / "img001.jpg"), "changed");
    EXPECT_EQ(readFile(out / "img002.jpg"), photos[1].second);
    EXPECT_EQ(run({ album, "--extract", out.string(), "--overwrite" }, true).exitCode, 0);
    EXPECT_EQ(readFile(out / "img001.jpg"), photos[0].second);
    EXPECT_EQ(folderNames(out).size(), 3u);
}

TEST_F(ZipComponentTest, AlbumProgramAloneSaysItHoldsNoAlbum) {
    for (const std::vector<std::string>& arguments :
        { std::vector<std::string> { "--list" }, std::vector<std::string> {} }) {
        std::vector<std::string> argv { albumProgram().string() };
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        RunResult result = run(argv, true);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("holds no album"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(albumProgram().filename().string()), std::string::npos)
            << result.err;
    }
}

TEST_F(ZipComponentTest, AlbumWithoutDisplayAsksForAScriptOption) {
    auto zip = component();
    ASSERT_TRUE(build(*zip, "C:\\albums\\a.exe"));
    const std::pair<std::vector<std::string>, const char*> displays[]
        = { { {}, "no display to show" },
              { { "DISPLAY=:4242" }, "cannot open the display \":4242\"" } };
    for (const auto& [environment, message] : displays) {
        RunResult result = run({ (driveC() / "albums" / "a.exe").string() }, true, environment);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    RunResult wrong = run({ (driveC() / "albums" / "a.exe").string(), "--extract" }, true);
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("--extract needs a folder"), std::string::npos) << wrong.err;
}

TEST_F(ZipComponentTest, MissingDestinationFolderLeavesNoFile) {
    auto zip = component();
    Status written = build(*zip, "C:\\nowhere\\holiday.exe");
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("does not exist"), std::string::npos) << written.message();
    EXPECT_FALSE(fs::exists(driveC() / "nowhere"));
}

TEST_F(ZipComponentTest, ReadOnlyDestinationFolderLeavesNoFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    fs::permissions(driveC() / "albums", fs::perms::owner_read | fs::perms::owner_exec);
    auto zip = component();
    Status written = build(*zip, "C:\\albums\\holiday.exe");
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("albums"), std::string::npos) << written.message();
    EXPECT_TRUE(folderNames(driveC() / "albums").empty());
}

TEST_F(ZipComponentTest, FileGoneBeforeWritingIsNamedAndNothingIsLeft) {
    auto zip = component();
    for (const Status& step : { zip->setIcon("C:\\windows\\forpxw\\pxwicon.ico"),
             zip->newArchive("notUsed.zip"), zip->addFolder("C:\\windows\\pxwtemp01", 1) })
        ASSERT_TRUE(step) << step.message();
    fs::remove(workFolder() / "img002.jpg");
    // An earlier album under that name stays as it was: it is the user's file.
    writeFile(driveC() / "albums" / "holiday.exe", "earlier album");
    Status written = zip->writeSelfExtractor("C:\\albums\\holiday.exe");
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("img002.jpg"), std::string::npos) << written.message();
    EXPECT_NE(written.message().find("No such file"), std::string::npos) << written.message();
    EXPECT_EQ(folderNames(driveC() / "albums"), std::vector<std::string> { "holiday.exe" });
    EXPECT_EQ(readFile(driveC() / "albums" / "holiday.exe"), "earlier album");
}

TEST_F(ZipComponentTest, MissingAlbumProgramOrIconFails) {
    auto zip = component(root / "no-pxwalbum");
    Status written = build(*zip, "C:\\albums\\holiday.exe");
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("no-pxwalbum"), std::string::npos) << written.message();
    EXPECT_TRUE(folderNames(driveC() / "albums").empty());

    auto other = component();
    Status icon = other->setIcon("C:\\windows\\forpxw\\missing.ico");
    EXPECT_FALSE(icon);
    EXPECT_NE(icon.message().find("missing.ico"), std::string::npos) << icon.message();
}

TEST_F(ZipComponentTest, OperationsOutOfOrderOrOnMissingFoldersFail) {
    auto zip = component();
    EXPECT_FALSE(zip->addFolder("C:\\windows\\pxwtemp01", 1));
    EXPECT_FALSE(zip->writeSelfExtractor("C:\\albums\\a.exe"));
    ASSERT_TRUE(zip->newArchive("notUsed.zip"));
    Status missing = zip->addFolder("C:\\windows\\pxwtemp02", 1);
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.message().find("pxwtemp02"), std::string::npos) << missing.message();
    Status unmapped = zip->addFolder("Q:\\images", 1);
    EXPECT_FALSE(unmapped);
    EXPECT_NE(unmapped.message().find("Q:"), std::string::npos) << unmapped.message();
    EXPECT_FALSE(fs::exists(workFolder() / "notUsed.zip"));
}

TEST_F(ZipComponentTest, EmptyFolderGivesNoAlbum) {
    fs::create_directories(driveC() / "empty");
    auto zip = component();
    ASSERT_TRUE(zip->newArchive("notUsed.zip"));
    ASSERT_TRUE(zip->addFolder("C:\\empty", 1));
    Status written = zip->writeSelfExtractor("C:\\albums\\a.exe");
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("no files"), std::string::npos) << written.message();
    EXPECT_TRUE(folderNames(driveC() / "albums").empty());
}

TEST_F(ZipComponentTest, ReaderFindsIconAndEntriesFromTheEnd) {
    auto zip = component();
    ASSERT_TRUE(build(*zip, "C:\\albums\\a.exe"));
    AlbumReader reader;
    Status opened = reader.open(driveC() / "albums" / "a.exe");
    ASSERT_TRUE(opened) << opened.message();
    EXPECT_EQ(reader.iconPlace().offset, fs::file_size(albumProgram()));
    EXPECT_EQ(reader.iconPlace().length, icon.size());
    ASSERT_EQ(reader.entries().size(), 3u);
    std::string bytes;
    ASSERT_TRUE(reader.readEntry(1, bytes));
    EXPECT_EQ(bytes, photos[1].second);
    ASSERT_TRUE(reader.readIcon(bytes));
    EXPECT_EQ(bytes, icon);
}

TEST_F(ZipComponentTest, ClashesAreSettledBeforeAnythingIsWritten) {
    auto zip = component();
    ASSERT_TRUE(build(*zip, "C:\\albums\\a.exe"));
    AlbumReader reader;
    ASSERT_TRUE(reader.open(driveC() / "albums" / "a.exe"));
    struct Case {
        ClashAnswer answer;
        std::vector<std::string> names;
        std::string firstName; // where the first photo went
    };
    const Case cases[] = {
        { ClashAnswer::replace, { "img001 (2).jpg", "img001.jpg", "img002.jpg", "img003.jpg" },
            "img001.jpg" },
        { ClashAnswer::keepBoth,
            { "img001 (2).jpg", "img001 (3).jpg", "img001.jpg", "img002.jpg", "img003.jpg" },
            "img001 (3).jpg" },
        { ClashAnswer::keep, { "img001 (2).jpg", "img001.jpg", "img002.jpg", "img003.jpg" }, "" },
        { ClashAnswer::cancel, { "img001 (2).jpg", "img001.jpg" }, "" },
    };
    for (const Case& clash : cases) {
        const fs::path out = root / ("out" + std::to_string(static_cast<int>(clash.answer)));
        fs::create_directories(out);
        writeFile(out / "img001.jpg", "mine");
        writeFile(out / "img001 (2).jpg", "mine too");
        std::vector<std::string> asked;
        ExtractReport report = reader.extractAll(out, [&](const std::string& name) {
            asked.push_back(name);
            return clash.answer;
        });
        EXPECT_TRUE(report.status) << report.status.message();
        EXPECT_EQ(asked, std::vector<std::string> { "img001.jpg" });
        EXPECT_EQ(folderNames(out), clash.names);
        EXPECT_EQ(report.cancelled, clash.answer == ClashAnswer::cancel);
        EXPECT_EQ(readFile(out / "img001 (2).jpg"), "mine too");
        EXPECT_EQ(readFile(out / "img001.jpg"),
            clash.answer == ClashAnswer::replace ? photos[0].second : "mine");
        if (!clash.firstName.empty()) {
            EXPECT_EQ(readFile(out / clash.firstName), photos[0].second);
        }
    }
}

} // namespace
} // namespace pxw::zip::test
