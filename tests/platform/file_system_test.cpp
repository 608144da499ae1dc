#include "platform/posix/posix_file_system.h"
#include "temp_prefix.h"

#include <csignal>
#include <cstdio>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pxw::platform {
namespace {

using ::testing::HasSubstr;
using testing::readFile;
using testing::TempPrefix;
using testing::writeFile;
namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Permission checks do not apply to root, so a test that needs them runs as nobody.
void dropRootPrivileges() {
    if (::geteuid() != 0)
        return;
    const gid_t nobodyGroup = 65534;
    const uid_t nobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(nobodyGroup, nobodyGroup, nobodyGroup) != 0
        || ::setresuid(nobody, nobody, nobody) != 0) {
        std::perror("cannot drop root privileges");
        std::_Exit(2);
    }
}

class FileSystemTest : public ::testing::Test {
protected:
    FileSystemTest() {
        fs::create_directories(c / "pics");
        fs::create_directories(c / "windows" / "pxwtemp01");
    }

    TempPrefix prefix;
    PosixFileSystem files { prefix.drives() };
    const fs::path c = prefix.driveC();
};

TEST_F(FileSystemTest, TellsFilesFromFolders) {
    writeFile(c / "pics" / "a.jpg", "a");
    fs::create_symlink(c / "pics" / "a.jpg", c / "pics" / "link.jpg");
    EXPECT_TRUE(files.folderExists(R"(C:\Pics)"));
    EXPECT_TRUE(files.folderExists(R"(c:\windows\pxwtemp01\)"));
    EXPECT_FALSE(files.folderExists(R"(C:\pics\a.jpg)"));
    EXPECT_FALSE(files.folderExists(R"(C:\nothere)"));
    EXPECT_FALSE(files.folderExists(R"(Q:\pics)"));
    EXPECT_TRUE(files.fileExists(R"(C:\PICS\A.JPG)"));
    EXPECT_TRUE(files.fileExists(R"(C:\pics\link.jpg)"));
    EXPECT_FALSE(files.fileExists(R"(C:\pics)"));
    EXPECT_FALSE(files.fileExists(R"(C:\pics\b.jpg)"));
    EXPECT_FALSE(files.fileExists(R"(\\server\share\a.jpg)"));
}

TEST_F(FileSystemTest, CreatesOneFolder) {
    EXPECT_TRUE(files.createFolder(R"(C:\WINDOWS\NewWork)"));
    EXPECT_TRUE(fs::is_directory(c / "windows" / "NewWork"));
    EXPECT_TRUE(files.folderExists(R"(c:\windows\newwork)"));
}

TEST_F(FileSystemTest, CreateFolderNeedsItsParentAndAFreeName) {
    Status missingParent = files.createFolder(R"(C:\nothere\work)");
    EXPECT_FALSE(missingParent);
    EXPECT_THAT(missingParent.message(), HasSubstr(R"(C:\nothere\work)"));
    EXPECT_THAT(missingParent.message(), HasSubstr("does not exist"));
    EXPECT_FALSE(fs::exists(c / "nothere"));

    Status existing = files.createFolder(R"(c:\windows\pxwtemp01)");
    EXPECT_FALSE(existing);
    EXPECT_THAT(existing.message(), HasSubstr("already exists"));

    Status unmapped = files.createFolder(R"(Q:\work)");
    EXPECT_FALSE(unmapped);
    EXPECT_THAT(unmapped.message(), HasSubstr("Q:"));
}

TEST_F(FileSystemTest, CopyReplacesTheDestinationAndLeavesNoTemporaryFile) {
    writeFile(c / "pics" / "a.jpg", "new content");
    fs::permissions(c / "pics" / "a.jpg", fs::perms(0640));
    writeFile(c / "windows" / "pxwtemp01" / "a.jpg", "older and longer content");

    EXPECT_TRUE(files.copyFile(R"(C:\pics\a.jpg)", R"(c:\windows\pxwtemp01\a.jpg)"));
    EXPECT_EQ(readFile(c / "windows" / "pxwtemp01" / "a.jpg"), "new content");
    EXPECT_EQ(fs::status(c / "windows" / "pxwtemp01" / "a.jpg").permissions(), fs::perms(0640));
    EXPECT_EQ(namesIn(c / "windows" / "pxwtemp01"), std::vector<std::string> { "a.jpg" });
    EXPECT_EQ(readFile(c / "pics" / "a.jpg"), "new content");
}

TEST_F(FileSystemTest, CopyCreatesANewFileAcrossDrives) {
    writeFile(c / "pics" / "b.png", std::string(200000, 'x'));
    EXPECT_TRUE(files.copyFile(R"(C:\pics\b.png)", R"(D:\B.png)"));
    EXPECT_EQ(readFile(prefix.driveD() / "B.png"), std::string(200000, 'x'));
}

TEST_F(FileSystemTest, CopyOfAMissingFileNamesItAndKeepsTheDestination) {
    writeFile(c / "windows" / "pxwtemp01" / "missing.jpg", "old");
    Status copied = files.copyFile(R"(C:\pics\missing.jpg)", R"(c:\windows\pxwtemp01\missing.jpg)");
    EXPECT_FALSE(copied);
    EXPECT_THAT(copied.message(), HasSubstr(R"(C:\pics\missing.jpg)"));
    EXPECT_THAT(copied.message(), HasSubstr("not found"));
    EXPECT_EQ(readFile(c / "windows" / "pxwtemp01" / "missing.jpg"), "old");
}

TEST_F(FileSystemTest, CopyFailsClearlyForBadPlaces) {
    writeFile(c / "pics" / "a.jpg", "a");
    ::mkfifo((c / "pics" / "fifo.jpg").c_str(), 0600); // never blocks the copy
    struct Row {
        const char* from;
        const char* to;
        const char* messagePart;
    };
    const Row rows[] = {
        { R"(C:\pics\a.jpg)", R"(C:\nothere\a.jpg)", "destination folder does not exist" },
        { R"(C:\pics\a.jpg)", R"(C:\pics)", "is a folder" },
        { R"(C:\pics)", R"(C:\windows\pxwtemp01\pics)", "is not a file" },
        { R"(C:\pics\fifo.jpg)", R"(C:\windows\pxwtemp01\fifo.jpg)", "is not a file" },
        { R"(Q:\a.jpg)", R"(C:\windows\pxwtemp01\a.jpg)", "Q:" },
        { R"(C:\pics\a.jpg)", R"(\\server\share\a.jpg)", "network" },
    };
    for (const Row& row : rows) {
        Status copied = files.copyFile(row.from, row.to);
        EXPECT_FALSE(copied) << row.from << " -> " << row.to;
        EXPECT_THAT(copied.message(), HasSubstr(row.messagePart)) << row.from << " -> " << row.to;
    }
    EXPECT_TRUE(namesIn(c / "windows" / "pxwtemp01").empty());
}

TEST_F(FileSystemTest, ACopyCutShortLeavesTheOldFileWhole) {
    writeFile(c / "pics" / "big.jpg", std::string(100000, 'n'));
    writeFile(c / "windows" / "pxwtemp01" / "big.jpg", "old");
    auto copyUnderSizeLimit = [&] {
        // A file size limit makes the write fail half way, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 4096, RLIM_INFINITY };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Status copied = files.copyFile(R"(C:\pics\big.jpg)", R"(C:\windows\pxwtemp01\big.jpg)");
        std::fprintf(stderr, "%s\n", copied.message().c_str());
        const bool oldFileWhole = readFile(c / "windows" / "pxwtemp01" / "big.jpg") == "old"
            && namesIn(c / "windows" / "pxwtemp01").size() == 1;
        std::_Exit(!copied && oldFileWhole ? 0 : 1);
    };
    EXPECT_EXIT(copyUnderSizeLimit(), ::testing::ExitedWithCode(0), "big.jpg");
}

TEST_F(FileSystemTest, DeleteAllRemovesFilesOnlyAndNeverFollowsLinks) {
    const fs::path work = c / "windows" / "pxwtemp01";
    for (const char* name : { "a.jpg", "B.PNG", "noextension", ".hidden", "x.y.z" })
        writeFile(work / name, "x");
    writeFile(work / "readonly.jpg", "x");
    fs::permissions(work / "readonly.jpg", fs::perms(0444));
    fs::create_directories(work / "sub");
    writeFile(work / "sub" / "inner.jpg", "x");
    fs::create_directories(prefix.root() / "outside");
    writeFile(prefix.root() / "outside" / "keep.jpg", "keep");
    fs::create_symlink(prefix.root() / "outside" / "keep.jpg", work / "link.jpg");
    fs::create_symlink(prefix.root() / "gone.jpg", work / "dangling.jpg");
    fs::create_directory_symlink(prefix.root() / "outside", work / "folderlink");

    EXPECT_TRUE(files.deleteFiles(R"(c:\windows\pxwtemp01\*.*)"));

    EXPECT_EQ(namesIn(work), (std::vector<std::string> { "folderlink", "sub" }));
    EXPECT_TRUE(fs::exists(work / "sub" / "inner.jpg"));
    EXPECT_EQ(readFile(prefix.root() / "outside" / "keep.jpg"), "keep");
}

TEST_F(FileSystemTest, DeleteMatchesTheWildcardIgnoringCase) {
    const fs::path pics = c / "pics";
    for (const char* name : { "a.jpg", "b.JPG", "c.Jpg", "d.png", "a1.png", "a12.png", "jpg" })
        writeFile(pics / name, "x");
    EXPECT_TRUE(files.deleteFiles(R"(C:\PICS\*.jpg)"));
    EXPECT_EQ(namesIn(pics), (std::vector<std::string> { "a1.png", "a12.png", "d.png", "jpg" }));
    EXPECT_TRUE(files.deleteFiles(R"(C:\pics\A?.PNG)"));
    EXPECT_EQ(namesIn(pics), (std::vector<std::string> { "a12.png", "d.png", "jpg" }));
}

TEST_F(FileSystemTest, DeleteFailsWhenNothingMatchesOrTheFolderIsMissing) {
    writeFile(c / "pics" / "a.png", "x");
    fs::create_directories(c / "pics" / "only.jpg");
    Status nothing = files.deleteFiles(R"(C:\pics\*.jpg)");
    EXPECT_FALSE(nothing);
    EXPECT_THAT(nothing.message(), HasSubstr("no file matches"));
    EXPECT_TRUE(fs::is_directory(c / "pics" / "only.jpg"));

    Status missing = files.deleteFiles(R"(C:\nothere\*.*)");
    EXPECT_FALSE(missing);
    EXPECT_THAT(missing.message(), HasSubstr(R"(C:\nothere\)"));
    EXPECT_THAT(missing.message(), HasSubstr("not found"));

    Status unmapped = files.deleteFiles(R"(\\server\share\*.*)");
    EXPECT_FALSE(unmapped);
    EXPECT_THAT(unmapped.message(), HasSubstr("network"));
    EXPECT_TRUE(fs::exists(c / "pics" / "a.png"));
}

TEST_F(FileSystemTest, DeleteFailsClearlyInAFolderThatIsNotWritable) {
    const fs::path locked = c / "locked";
    fs::create_directories(locked);
    writeFile(locked / "a.jpg", "x");
    for (const fs::path& folder :
        { prefix.root(), prefix.prefix(), c, prefix.prefix() / "dosdevices" })
        fs::permissions(folder, fs::perms(0755));
    fs::permissions(locked, fs::perms(0555));
    auto deleteAsAnotherUser = [&] {
        dropRootPrivileges();
        Status deleted = files.deleteFiles(R"(C:\locked\*.*)");
        std::fprintf(stderr, "%s\n", deleted.message().c_str());
        std::_Exit(deleted ? 1 : 0);
    };
    EXPECT_EXIT(deleteAsAnotherUser(), ::testing::ExitedWithCode(0), "not writable");
    EXPECT_TRUE(fs::exists(locked / "a.jpg"));
}

TEST(MatchesWildcard, FollowsWindowsRules) {
    struct Row {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        { "*.*", "a.jpg", true },
        { "*.*", "noextension", true },
        { "*.*", ".hidden", true },
        { "*", "a.b.c", true },
        { "*.jpg", "A.JPG", true },
        { "*.jpg", "a.jpeg", false },
        { "*.jpg", "a.jpg.png", false },
        { "a?.png", "a1.png", true },
        { "a?.png", "a.png", false },
        { "a?.png", "a12.png", false },
        { "a?.png", "aé.png", true },
        { "a*b", "ab", true },
        { "a*b", "axxbxxb", true },
        { "a*b", "axxbxxc", false },
        { "photo.*", "photo", true },
        { "photo.*", "photos", false },
        { "*.", "readme", true },
        { "*.", "readme.txt", false },
        { "exact.jpg", "EXACT.jpg", true },
        { "exact.jpg", "exact.jpgx", false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(matchesWildcard(row.pattern, row.name), row.matches)
            << row.pattern << " vs " << row.name;
}

} // namespace
} // namespace pxw::platform
