#include "temp_prefix.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace pxw::platform {
namespace {

using ::testing::HasSubstr;
using testing::TempPrefix;
namespace fs = std::filesystem;

// Restores an environment variable when the test ends.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value)
        : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class DriveMapTest : public ::testing::Test {
protected:
    DriveMapTest() {
        fs::create_directories(prefix.driveC() / "Pictures" / "Holiday");
        fs::create_directories(prefix.driveC() / "pictures");
        testing::writeFile(prefix.driveC() / "windows" / "lumaforge" / "lumabatch.exe", "");
        fs::create_directories(prefix.driveD() / "out");
        fs::create_directories(prefix.driveD() / "Äpfel" / "Ёлка");
        fs::create_directories(prefix.driveD() / "Straße");
    }

    TempPrefix prefix;
    DriveMap drives = prefix.drives();
};

struct ToHostRow {
    const char* windowsPath;
    fs::path expected;
};

TEST_F(DriveMapTest, MapsWindowsPathsOntoTheHost) {
    const fs::path c = prefix.driveC();
    const fs::path d = prefix.driveD();
    const ToHostRow rows[] = {
        { R"(C:\windows\lumaforge\lumabatch.exe)", c / "windows/lumaforge/lumabatch.exe" },
        { R"(c:\WINDOWS\LumaForge\LUMABATCH.EXE)", c / "windows/lumaforge/lumabatch.exe" },
        { "C:/windows/lumaforge", c / "windows/lumaforge" },
        { R"(C:\windows/lumaforge\)", c / "windows/lumaforge" },
        // Both spellings exist: the exact one wins.
        { R"(C:\Pictures)", c / "Pictures" },
        { R"(C:\pictures)", c / "pictures" },
        { R"(C:\Pictures\HOLIDAY)", c / "Pictures/Holiday" },
        // Names that do not exist keep their case.
        { R"(c:\windows\PxwTemp01\A.JPG)", c / "windows/PxwTemp01/A.JPG" },
        { R"(D:\)", d },
        { "d:", d },
        { R"(D:\OUT\new.jpg)", d / "out/new.jpg" },
        { R"(Z:\)", "/" },
        { R"(z:\USR)", "/usr" },
        // Letter case of every script, and the decomposed form of an accented letter.
        { R"(D:\äPFEL\ёЛКА)", d / "Äpfel/Ёлка" },
        { "D:\\A\xcc\x88pfel", d / "Äpfel" },
        { R"(D:\STRASSE)", d / "Straße" },
        // ".." goes up by name, never above the drive's folder.
        { R"(C:\..\..\windows\.\lumaforge)", c / "windows/lumaforge" },
        { R"(D:\out\..\..\OUT\x\..)", d / "out" },
    };
    for (const ToHostRow& row : rows) {
        std::string error;
        const std::optional<fs::path> host = drives.toHost(row.windowsPath, &error);
        ASSERT_TRUE(host) << row.windowsPath << ": " << error;
        EXPECT_EQ(host->lexically_normal(), row.expected.lexically_normal()) << row.windowsPath;
    }
}

TEST_F(DriveMapTest, PathWithoutDriveIsRelativeToTheCurrentFolder) {
    const std::optional<fs::path> host = drives.toHost(R"(sub\a.jpg)");
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, fs::current_path() / "sub" / "a.jpg");
}

TEST_F(DriveMapTest, RefusesUnknownDrivesAndNetworkPaths) {
    struct Row {
        const char* windowsPath;
        const char* messagePart;
    };
    const Row rows[] = {
        { R"(Q:\pics\a.jpg)", "Q:" },
        { R"(q:\pics\a.jpg)", "Q:" },
        { R"(\\server\share\a.jpg)", "network" },
        { "//server/share/a.jpg", "network" },
        { "", "empty" },
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_FALSE(drives.toHost(row.windowsPath, &error)) << row.windowsPath;
        EXPECT_THAT(error, HasSubstr(row.messagePart)) << row.windowsPath;
    }
}

TEST_F(DriveMapTest, MapsHostPathsBackToWindowsPaths) {
    EXPECT_EQ(
        drives.toWindows(prefix.driveC() / "windows" / "lumaforge"), R"(C:\windows\lumaforge)");
    EXPECT_EQ(drives.toWindows(prefix.driveC()), R"(C:\)");
    // d: lies inside what z: covers: the longer target wins.
    EXPECT_EQ(drives.toWindows(prefix.driveD() / "out" / "a.jpg"), R"(D:\out\a.jpg)");
    EXPECT_EQ(drives.toWindows(prefix.driveD()), R"(D:\)");
    EXPECT_EQ(drives.toWindows("/usr/share/a b.txt"), R"(Z:\usr\share\a b.txt)");
    EXPECT_EQ(drives.toWindows("/"), R"(Z:\)");
}

TEST_F(DriveMapTest, RoundTripsThroughBothDirections) {
    for (const char* windowsPath :
        { R"(C:\windows\lumaforge\lumabatch.exe)", R"(D:\out\new name.jpg)" }) {
        const std::optional<fs::path> host = drives.toHost(windowsPath);
        ASSERT_TRUE(host);
        EXPECT_EQ(drives.toWindows(*host), windowsPath);
    }
}

TEST_F(DriveMapTest, PrefixComesFromTheEnvironment) {
    {
        ScopedVariable variable("PIXELWAIN_PREFIX", prefix.prefix().c_str());
        EXPECT_EQ(defaultPrefix(), prefix.prefix());
        const std::optional<fs::path> host = DriveMap::fromEnvironment().toHost(R"(C:\WINDOWS)");
        ASSERT_TRUE(host);
        EXPECT_EQ(*host, prefix.driveC() / "windows");
    }
    ScopedVariable noPrefix("PIXELWAIN_PREFIX", nullptr);
    ScopedVariable home("HOME", prefix.root().c_str());
    EXPECT_EQ(defaultPrefix(), prefix.root() / ".pixelwain");
}

TEST(DriveMapWithoutTable, KnowsNoDrive) {
    TempPrefix prefix;
    fs::remove_all(prefix.prefix() / "dosdevices");
    const DriveMap drives = prefix.drives();
    std::string error;
    EXPECT_FALSE(drives.toHost(R"(C:\windows)", &error));
    EXPECT_THAT(error, HasSubstr("C:"));
    EXPECT_EQ(drives.toWindows("/tmp"), R"(Z:\tmp)");
}

} // namespace
} // namespace pxw::platform
