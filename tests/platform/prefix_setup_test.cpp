// The prefix made and repaired on start, on the real file system: an installation in a scratch
// folder, and a user's prefix beside it.

#include "platform/posix/posix_host_file_system.h"
#include "platform/prefix_setup.h"
#include "temp_prefix.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pxw::platform {
namespace {

using ::testing::HasSubstr;
using testing::readFile;
using testing::writeFile;
namespace fs = std::filesystem;

class PrefixSetupTest : public ::testing::Test {
protected:
    // An installed version under <scratch>/<name>/usr.
    Installation install(const std::string& name) {
        Installation installed
            = Installation::around(scratch.root() / name / "usr" / "lib" / "pixelwain");
        fs::create_directories(installed.programFolder);
        fs::create_directories(installed.dataFolder);
        for (const char* file : { "pixelwain", "pxwalbum", "lumabatch", "pxwreadme.chm" })
            writeFile(installed.programFolder / file, name);
        writeFile(installed.dataFolder / "pxwicon.ico", name);
        return installed;
    }
    // Which installation a Windows path of the prefix leads to ("" when it is not a link to one).
    std::string versionAt(const std::string& windowsPath) {
        const fs::path host = DriveMap(prefix).toHost(windowsPath).value();
        return fs::is_symlink(host) ? readFile(host) : "";
    }

    testing::TempPrefix scratch;
    const fs::path prefix = scratch.root() / "user";
    PosixHostFileSystem files;
    const Installation installed = install("v1");
};

const char* const Tool = R"(C:\windows\lumaforge\lumabatch.exe)";
const char* const Icon = R"(C:\windows\forpxw\pxwicon.ico)";
const char* const Help = R"(C:\Program Files\Pixelwain\pxwreadme.chm)";

TEST_F(PrefixSetupTest, AFreshPrefixLinksToTheInstalledFiles) {
    ASSERT_TRUE(setUpPrefix(files, prefix, installed));

    for (const char* path : { Tool, Icon, Help, R"(C:\Program Files\Pixelwain\pxwalbum)" })
        EXPECT_EQ(versionAt(path), "v1") << path;
    EXPECT_EQ(fs::read_symlink(prefix / "dosdevices" / "z:"), "/");
    EXPECT_EQ(fs::read_symlink(prefix / "dosdevices" / "c:"), "../drive_c");
}

TEST_F(PrefixSetupTest, RepairsOnlyWhatItMade) {
    struct Row {
        const char* what;
        std::function<void()> change;
        std::string path;
        std::string expected; // the version it leads to, or the user's file content
    };
    const fs::path c = prefix / "drive_c";
    const std::vector<Row> rows {
        { "a removed link is made again",
            [&] { fs::remove(c / "windows/lumaforge/lumabatch.exe"); }, Tool, "v1" },
        { "the user's own file stays",
            [&] {
                fs::remove(c / "windows/forpxw/pxwicon.ico");
                writeFile(c / "windows/forpxw/pxwicon.ico", "mine");
            },
            Icon, "mine" },
        { "the user's own link stays",
            [&] {
                fs::remove(c / "Program Files/Pixelwain/pxwreadme.chm");
                fs::create_symlink(
                    scratch.root() / "my.chm", c / "Program Files/Pixelwain/pxwreadme.chm");
                writeFile(scratch.root() / "my.chm", "my help");
            },
            Help, "my help" },
        { "a link to another version is updated",
            [&] { fs::rename(scratch.root() / "v1", scratch.root() / "v0"); }, Tool, "v2" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(prefix);
        fs::remove_all(scratch.root() / "v0");
        ASSERT_TRUE(setUpPrefix(files, prefix, installed));
        fs::create_directory_symlink(scratch.root(), prefix / "dosdevices" / "q:");
        row.change();
        const Installation now = fs::exists(installed.programFolder) ? installed : install("v2");

        ASSERT_TRUE(setUpPrefix(files, prefix, now));
        const fs::path host = DriveMap(prefix).toHost(row.path).value();
        EXPECT_EQ(readFile(host), row.expected);
        EXPECT_TRUE(fs::is_symlink(prefix / "dosdevices" / "q:")) << "the user's drive letter";
        fs::remove_all(scratch.root() / "v2");
        install("v1");
    }
}

TEST_F(PrefixSetupTest, MigratesTheCopiesOfTheEarlierInstallerOnce) {
    const fs::path programs = prefix / "drive_c" / "Program Files" / "Pixelwain";
    fs::create_directories(programs);
    fs::create_directories(prefix / "drive_c" / "windows" / "lumaforge");
    for (const fs::path& copy : { programs / "pixelwain", programs / "pxwalbum",
             prefix / "drive_c" / "windows" / "lumaforge" / "lumabatch.exe" })
        writeFile(copy, "old copy");
    writeFile(programs / "notes.txt", "the user's");

    ASSERT_TRUE(setUpPrefix(files, prefix, installed));
    EXPECT_EQ(versionAt(Tool), "v1");
    EXPECT_EQ(versionAt(R"(C:\Program Files\Pixelwain\pxwalbum)"), "v1");
    EXPECT_EQ(readFile(programs / "notes.txt"), "the user's");

    fs::remove(programs / "pixelwain");
    writeFile(programs / "pixelwain", "the user's own build");
    ASSERT_TRUE(setUpPrefix(files, prefix, installed));
    EXPECT_EQ(readFile(programs / "pixelwain"), "the user's own build");
}

TEST_F(PrefixSetupTest, APrefixThatCannotBeMadeIsNamedWithTheReason) {
    writeFile(prefix, "a file in the way");
    const Status status = setUpPrefix(files, prefix, installed);
    ASSERT_FALSE(status);
    EXPECT_THAT(status.message(), HasSubstr("\"" + prefix.string() + "\""));
    EXPECT_THAT(status.message(), HasSubstr("Not a directory"));
}

TEST_F(PrefixSetupTest, TheSourceInstallMenuEntryGivesWayToThePackage) {
    const fs::path user = scratch.root() / "user.desktop",
                   system = scratch.root() / "system.desktop";
    for (const auto& [userText, systemExists, kept] :
        std::vector<std::tuple<std::string, bool, bool>> {
            { "[Desktop Entry]\nX-Pixelwain-Source-Install=true\n", true, false },
            { "[Desktop Entry]\nX-Pixelwain-Source-Install=true\n", false, true },
            { "[Desktop Entry]\nName=the user's own\n", true, true } }) {
        writeFile(user, userText);
        fs::remove(system);
        if (systemExists)
            writeFile(system, "[Desktop Entry]\n");
        retireSourceMenuEntry(files, user, { system });
        EXPECT_EQ(fs::exists(user), kept) << userText << systemExists;
    }
}

} // namespace
} // namespace pxw::platform
