// The Windows platform services on a real temporary folder and real child processes.

#include "base/wide_text.h"
#include "platform/win32/native_path.h"
#include "platform/win32/win32_file_dialog.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_processes.h"
#include "temp_folder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace pxw::platform::win32 {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string text(const fs::path& path) {
    return base::narrowed(path.native());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(text(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

bool contains(const std::string& message, const std::string& part) {
    return message.find(part) != std::string::npos;
}

struct Win32FileSystemTest : ::testing::Test {
    TempFolder temp;
    Win32FileSystem files;
    std::string at(const std::string& relative) const {
        return text(temp.path()) + "\\" + relative;
    }
};

TEST_F(Win32FileSystemTest, ReportsAsTheLinuxOneDoes) {
    fs::create_directory(temp / "pics");
    fs::create_directory(temp / "pics" / "sub.jpg");
    writeFile(temp / "pics" / "a.jpg", "a");
    writeFile(temp / "pics" / L"\u00c4.JPG", "umlaut");
    writeFile(temp / "pics" / "long.jpeg", "8.3 name LONG~1.JPG, not matched");
    writeFile(temp / "pics" / "locked.jpg", "read-only");
    ::SetFileAttributesW((temp / "pics" / "locked.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
    writeFile(temp / "old.jpg", "earlier");
    ::SetFileAttributesW((temp / "old.jpg").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(files.folderExists(at("PICS\\")));
    EXPECT_FALSE(files.folderExists(at("pics\\a.jpg")));
    EXPECT_TRUE(files.fileExists(at("pics\\A.JPG")));
    EXPECT_FALSE(files.fileExists(at("pics")));
    EXPECT_FALSE(files.fileExists("caf\xe9.jpg")); // not UTF-8: no file of the disk

    struct Row {
        const char* what = nullptr;
        Status status;
        const char* message = nullptr; ///< a part of it; nullptr for success
    };
    const Row rows[] = {
        { "new folder", files.createFolder(at("made")), nullptr },
        { "again", files.createFolder(at("made")), "it already exists" },
        { "no parent", files.createFolder(at("none\\made")), "does not exist" },
        { "copy over an earlier read-only file", files.copyFile(at("pics\\Ä.JPG"), at("old.jpg")),
            nullptr },
        { "missing source", files.copyFile(at("none.jpg"), at("made\\x.jpg")), "not found" },
        { "source folder", files.copyFile(at("pics"), at("made\\x.jpg")), "is not a file" },
        { "onto a folder", files.copyFile(at("old.jpg"), at("made")), "is a folder" },
        { "into nowhere", files.copyFile(at("old.jpg"), at("none\\x.jpg")),
            "destination folder does not exist" },
        { "wildcard", files.deleteFiles(at("pics\\*.jpg")), nullptr },
        { "nothing left", files.deleteFiles(at("pics\\*.jpg")), "no file matches" },
        { "missing folder", files.deleteFiles(at("none\\*.*")), "not found" },
        { "no pattern", files.deleteFiles(at("pics\\")), "no file name pattern" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.status.ok(), row.message == nullptr) << row.status.message();
        if (row.message) {
            EXPECT_TRUE(contains(row.status.message(), row.message)) << row.status.message();
        }
    }
    EXPECT_EQ(readFile(temp / "old.jpg"), "umlaut");
    EXPECT_EQ(namesIn(temp.path()), (std::vector<std::string> { "made", "old.jpg", "pics" }))
        << "no temporary copy is left";
    EXPECT_EQ(namesIn(temp / "pics"), (std::vector<std::string> { "long.jpeg", "sub.jpg" }));

    std::vector<FolderEntry> listed = files.listFolder(at("pics"));
    std::sort(listed.begin(), listed.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(listed.size(), 2U);
    EXPECT_FALSE(listed[0].isFolder);
    EXPECT_TRUE(listed[1].isFolder);
    EXPECT_TRUE(files.listFolder(at("none")).empty());
}

TEST_F(Win32FileSystemTest, AHeldFolderIsSharedWithReadersOnly) {
    FolderLockResult held = files.lockFolder(text(temp.path()));
    ASSERT_TRUE(held.lock) << held.error;
    FolderLockResult second = files.lockFolder(text(temp.path()));
    EXPECT_FALSE(second.lock);
    EXPECT_TRUE(second.busy);
    auto readerGetsIn = [&] {
        return static_cast<bool>(UniqueHandle(::CreateFileW(temp.path().c_str(), GENERIC_READ,
            FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    };
    EXPECT_FALSE(readerGetsIn());
    ASSERT_TRUE(held.lock->share());
    EXPECT_TRUE(readerGetsIn()) << "the image tool opens its folder for reading";
    EXPECT_TRUE(files.lockFolder(text(temp.path())).busy);
    held.lock.reset();
    EXPECT_TRUE(files.lockFolder(text(temp.path())).lock);
}

// The child program of these tests lies beside this one.
std::string childProgram() {
    wchar_t own[MAX_PATH];
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    return text(fs::path(own).parent_path() / "pxw_windows_test_child.exe");
}

std::map<std::string, std::string> reportOf(const fs::path& file) {
    std::map<std::string, std::string> report;
    std::istringstream lines(readFile(file));
    for (std::string line; std::getline(lines, line);)
        report[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    return report;
}

struct Win32ProcessesTest : ::testing::Test {
    TempFolder temp;
    Win32Processes processes;

    // Runs a waited launch to its end, as the image tool's launch does.
    std::unique_ptr<ProcessHandle> waitFor(ShellExecuteInfo& info) {
        EXPECT_TRUE(processes.shellExecuteEx(info)) << info.error;
        if (!info.hProcess)
            return nullptr;
        EXPECT_EQ(info.hProcess->readyFd(), -1);
        HANDLE none = nullptr;
        while (info.hProcess->waitZero() == WaitTimeout)
            ::MsgWaitForMultipleObjects(0, &none, FALSE, 10, QS_ALLINPUT);
        return std::move(info.hProcess);
    }
};

TEST_F(Win32ProcessesTest, WaitedLaunchesReportTheirEnd) {
    struct Row {
        const char* what;
        bool keepErrorOutput;
        std::vector<std::string> environment;
        std::string added; ///< the variable as the child saw it
        std::string errorOutput;
        std::string showVariable;
    };
    const Row rows[] = {
        // ShellExecuteExW: no pipe, no environment of its own; the show state as nShow.
        { "shell", false, {}, "-", "", "-" },
        // CreateProcessW: the pipe and the entries, the show state in both places.
        { "pipe", true, { "PXW_CHILD_ADDED=ä b" }, "ä b", "why it failed", "1" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ShellExecuteInfo info;
        info.fMask = ShellExecuteInfo::NoCloseProcess;
        info.lpVerb = "open";
        info.lpFile = childProgram();
        info.lpParameters = "--report \"" + text(temp / "report") + "\" --exit 7 --stderr \""
            + row.errorOutput + "\" -x\"1 2\" z";
        info.lpDirectory = text(temp.path()) + "\\";
        info.nShow = 1;
        info.keepErrorOutput = row.keepErrorOutput;
        info.environment = row.environment;
        std::unique_ptr<ProcessHandle> ended = waitFor(info);
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->exitCode(), 7);
        EXPECT_EQ(ended->errorOutput(), row.keepErrorOutput ? row.errorOutput : "");
        auto report = reportOf(temp / "report");
        EXPECT_EQ(report["words"], "-x1 2|z|");
        EXPECT_EQ(report["added"], row.added);
        EXPECT_EQ(report["show"], "1");
        EXPECT_EQ(report["showVariable"], row.showVariable);
        EXPECT_TRUE(fs::equivalent(report["folder"], temp.path())) << report["folder"];
    }
}

TEST_F(Win32ProcessesTest, LaunchFailuresSayWhy) {
    struct Row {
        std::string file, folder, reason;
    };
    const Row rows[]
        = { { text(temp / "none.exe"), "", "not found" }, { text(temp.path()), "", "is a folder" },
              { childProgram(), text(temp / "none"), "working folder" } };
    for (const Row& row : rows) {
        ShellExecuteInfo info;
        info.fMask = ShellExecuteInfo::NoCloseProcess;
        info.lpFile = row.file;
        info.lpDirectory = row.folder;
        EXPECT_FALSE(processes.shellExecuteEx(info));
        EXPECT_TRUE(contains(info.error, row.reason)) << info.error;
        EXPECT_FALSE(info.hProcess);
    }
    EXPECT_FALSE(processes.startOpener("xdg-open", text(temp / "none.chm")));
    EXPECT_FALSE(processes.startDetached("no-such-program-here --x", 1));
    EXPECT_FALSE(processes.startDetached("", 1));
}

TEST_F(Win32ProcessesTest, DetachedProgramsRunOnTheirOwn) {
    const std::wstring eventName = L"pxw-test-" + std::to_wstring(::GetCurrentProcessId());
    UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    const Status started = processes.startDetached("\"" + childProgram() + "\" --report \""
            + text(temp / "report") + "\" --signal " + base::narrowed(eventName) + " a\"b c\"",
        5);
    ASSERT_TRUE(started) << started.message();
    ASSERT_EQ(::WaitForSingleObject(done.get(), 30000), WAIT_OBJECT_0);
    auto report = reportOf(temp / "report");
    EXPECT_EQ(report["words"], "ab c|");
    EXPECT_EQ(report["show"], "5");
    EXPECT_EQ(report["showVariable"], "-") << "the environment is this program's own";
}

TEST_F(Win32ProcessesTest, ProgramFolderIsThisProgramsFolder) {
    EXPECT_EQ(processes.programFolder() + "\\pxw_windows_test_child.exe", childProgram());
}

TEST(Win32FileDialogs, FiltersAndAnswersInTheCommonDialogsForm) {
    using namespace std::string_literals;
    EXPECT_EQ(
        dialogFilterOf("Images|*.jpg;*.png|folder"), L"Images\0*.jpg;*.png\0folder\0*.*\0\0"s);
    EXPECT_EQ(dialogFilterOf(""), L"");
    const wchar_t several[] = L"C:\\pics\0a.jpg\0\x00c4.png\0\0";
    EXPECT_EQ(dialogAnswerOf(several, std::size(several)), "C:\\pics\0a.jpg\0\xc3\x84.png"s);
    const wchar_t one[] = L"C:\\pics\\a.jpg\0\0";
    EXPECT_EQ(dialogAnswerOf(one, std::size(one)), "C:\\pics\\a.jpg");
}

} // namespace
} // namespace pxw::platform::win32
