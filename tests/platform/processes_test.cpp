#include "base/unique_fd.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pxw::platform {
namespace {

using base::UniqueFd;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::TempPrefix;
using testing::writeFile;
namespace fs = std::filesystem;

// Long enough for a loaded machine and a sanitizer build; reached only when a test fails.
constexpr int BoundMilliseconds = 30000;

const char* const ToolPath = R"(C:\windows\lumaforge\lumabatch.exe)";
const char* const ToolFolder = R"(C:\windows\lumaforge\)";

bool becomesReadable(int fd, int milliseconds = BoundMilliseconds) {
    pollfd watched { fd, POLLIN, 0 };
    int ready;
    do
        ready = ::poll(&watched, 1, milliseconds);
    while (ready < 0 && errno == EINTR);
    return ready == 1;
}

// True when this process has no child at all, ended or running.
bool hasNoChildren() {
    siginfo_t info {};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
}

struct ChildReport {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t session = 0;
    std::string folder;
    std::string argv0;
    std::string show; ///< the show state in the environment, "-" when absent
    std::string descriptors;
    std::vector<std::string> arguments;
};

class ProcessesTest : public ::testing::Test {
protected:
    ProcessesTest() {
        fs::create_symlink(PXW_TEST_CHILD, tool);
        fs::create_directories(prefix.driveD() / "out");
        ::mkfifo(notifyPath.c_str(), 0600);
        ::mkfifo(gatePath.c_str(), 0600);
        notify.reset(::open(notifyPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        gate.reset(::open(gatePath.c_str(), O_RDWR | O_CLOEXEC));
        ::setenv("PXW_CHILD_REPORT", reportPath.c_str(), 1);
        ::setenv("PXW_CHILD_NOTIFY", notifyPath.c_str(), 1);
        if (const char* path = std::getenv("PATH"))
            oldPath = path;
    }
    ~ProcessesTest() override {
        // Closing the gate lets any helper still waiting on it end.
        gate.reset();
        for (const char* name :
            { "PXW_CHILD_REPORT", "PXW_CHILD_NOTIFY", "PXW_CHILD_GATE", "PXW_CHILD_EXIT" })
            ::unsetenv(name);
        if (oldPath)
            ::setenv("PATH", oldPath->c_str(), 1);
    }

    void useGate() { ::setenv("PXW_CHILD_GATE", gatePath.c_str(), 1); }
    void openGate() { ASSERT_EQ(::write(gate.get(), "g", 1), 1); }

    // Waits until a helper has written its report, and reads it.
    ChildReport awaitReport() {
        ChildReport report;
        char byte;
        if (!becomesReadable(notify.get()) || ::read(notify.get(), &byte, 1) != 1) {
            ADD_FAILURE() << "the helper program did not report";
            return report;
        }
        std::ifstream in(reportPath);
        for (std::string line; std::getline(in, line);) {
            const auto equals = line.find('=');
            const std::string key = line.substr(0, equals);
            const std::string value = line.substr(equals + 1);
            if (key == "pid")
                report.pid = std::stoi(value);
            else if (key == "ppid")
                report.parent = std::stoi(value);
            else if (key == "sid")
                report.session = std::stoi(value);
            else if (key == "cwd")
                report.folder = value;
            else if (key == "argv0")
                report.argv0 = value;
            else if (key == "show")
                report.show = value;
            else if (key == "fds")
                report.descriptors = value;
            else if (key == "arg")
                report.arguments.push_back(value);
        }
        fs::remove(reportPath);
        return report;
    }

    ShellExecuteInfo toolLaunch(std::string parameters) {
        ShellExecuteInfo info;
        info.fMask = ShellExecuteInfo::NoCloseProcess;
        info.lpVerb = "open";
        info.lpFile = ToolPath;
        info.lpParameters = std::move(parameters);
        info.lpDirectory = ToolFolder;
        info.nShow = 1;
        return info;
    }

    // Puts a folder holding `name` -> the helper first on PATH.
    void putOnPath(const std::string& name) {
        fs::create_directories(bin);
        fs::create_symlink(PXW_TEST_CHILD, bin / name);
        ::setenv("PATH", (bin.string() + ":" + oldPath.value_or("/usr/bin:/bin")).c_str(), 1);
    }

    TempPrefix prefix;
    PosixProcesses processes { prefix.drives() };
    const fs::path tool = prefix.driveC() / "windows" / "lumaforge" / "lumabatch.exe";
    const fs::path bin = prefix.root() / "bin";
    const fs::path reportPath = prefix.root() / "report.txt";
    const fs::path notifyPath = prefix.root() / "notify";
    const fs::path gatePath = prefix.root() / "gate";
    UniqueFd notify;
    UniqueFd gate;
    std::optional<std::string> oldPath;
};

TEST_F(ProcessesTest, WaitedLaunchGetsTheSplitParametersAndTheWorkingFolder) {
    ShellExecuteInfo info = toolLaunch(
        R"(s="c:\windows\pxwtemp01" d="D:\out\" -w"300" -h"400" -prop -sm1 -namegen="[counter2;0].jpg" -ov -dpiver72 -dpihor72 -sortlstAZ -sizeto(-1;-1;"300";"400") -exclude(db) -remsrc -nodlg -q"90)");
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    ASSERT_TRUE(info.hProcess);

    const ChildReport report = awaitReport();
    EXPECT_THAT(report.arguments,
        ElementsAre(R"(s=c:\windows\pxwtemp01)", R"(d=D:\out\)", "-w300", "-h400", "-prop", "-sm1",
            "-namegen=[counter2;0].jpg", "-ov", "-dpiver72", "-dpihor72", "-sortlstAZ",
            "-sizeto(-1;-1;300;400)", "-exclude(db)", "-remsrc", "-nodlg", "-q90"));
    EXPECT_EQ(report.argv0, tool.string());
    EXPECT_EQ(report.folder, fs::canonical(prefix.driveC() / "windows" / "lumaforge").string());

    ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
    EXPECT_EQ(info.hProcess->waitZero(), WaitObject0);
    EXPECT_EQ(info.hProcess->exitCode(), 0);
}

// Both ways of seeing the end: a pidfd, and the SIGCHLD pipe used where pidfd_open is missing.
// Each descriptor stays quiet while the child runs, so the waiting pump sleeps.
TEST_F(ProcessesTest, HandleAnswersTimeoutWhileRunningThenTheExitCode) {
    useGate();
    ::setenv("PXW_CHILD_EXIT", "7", 1);
    for (const bool bySignal : { false, true }) {
        SCOPED_TRACE(bySignal ? "SIGCHLD pipe" : "pidfd");
        if (bySignal)
            processes.watchChildrenBySignal();
        ShellExecuteInfo info = toolLaunch("-q90");
        ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
        ASSERT_TRUE(info.hProcess);
        awaitReport();

        EXPECT_EQ(info.hProcess->waitZero(), WaitTimeout);
        EXPECT_EQ(info.hProcess->waitZero(), 258);
        EXPECT_EQ(info.hProcess->exitCode(), -1);
        ASSERT_GE(info.hProcess->readyFd(), 0);
        EXPECT_FALSE(becomesReadable(info.hProcess->readyFd(), 0));

        openGate();
        ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
        EXPECT_EQ(info.hProcess->waitZero(), WaitObject0);
        EXPECT_EQ(info.hProcess->exitCode(), 7);
        EXPECT_EQ(info.hProcess->waitZero(), WaitObject0);
        // The pipe is shared by every child: emptied, so later waits do not spin.
        EXPECT_TRUE(!bySignal || !becomesReadable(info.hProcess->readyFd(), 0));
        EXPECT_TRUE(hasNoChildren());
    }
}

// More than a pipe holds: the wait reads it meanwhile, so the child never stalls on a full pipe.
TEST_F(ProcessesTest, KeptErrorOutputIsReadWhileWaiting) {
    ::setenv("PXW_CHILD_STDERR_BYTES", "300000", 1);
    ShellExecuteInfo info = toolLaunch("");
    info.keepErrorOutput = true;
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    while (info.hProcess->waitZero() == WaitTimeout)
        ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
    ::unsetenv("PXW_CHILD_STDERR_BYTES");
    EXPECT_EQ(info.hProcess->exitCode(), 0);
    EXPECT_EQ(info.hProcess->errorOutput().size(), 300000u);
}

// A child that ends before the handle watches it still wakes the first wait.
TEST_F(ProcessesTest, SignalPipeSeesAChildThatEndedAtOnce) {
    processes.watchChildrenBySignal();
    ShellExecuteInfo info = toolLaunch("");
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    awaitReport();
    ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
    while (info.hProcess->waitZero() == WaitTimeout)
        ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
    EXPECT_EQ(info.hProcess->exitCode(), 0);
}

TEST_F(ProcessesTest, ChildGetsOnlyTheStandardDescriptorsAndItsOwnSession) {
    UniqueFd leaky(::open("/dev/null", O_RDONLY));
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    UniqueFd pipeRead(pipeEnds[0]), pipeWrite(pipeEnds[1]);

    ShellExecuteInfo info = toolLaunch("");
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    const ChildReport report = awaitReport();
    EXPECT_EQ(report.descriptors, "");
    EXPECT_EQ(report.session, report.pid);
    EXPECT_NE(report.session, ::getsid(0));
    EXPECT_THAT(report.arguments, IsEmpty());
    ASSERT_TRUE(becomesReadable(info.hProcess->readyFd()));
    EXPECT_EQ(info.hProcess->waitZero(), WaitObject0);
}

TEST_F(ProcessesTest, LaunchFailuresSayWhy) {
    writeFile(prefix.driveC() / "windows" / "lumaforge" / "plain.exe", "data");
    fs::permissions(prefix.driveC() / "windows" / "lumaforge" / "plain.exe", fs::perms(0644));
    // Executable, but neither a program nor a script: exec itself refuses it.
    writeFile(prefix.driveC() / "windows" / "lumaforge" / "garbage.exe", "not a program\n");
    fs::permissions(prefix.driveC() / "windows" / "lumaforge" / "garbage.exe", fs::perms(0755));

    struct Row {
        const char* file;
        const char* folder;
        const char* messagePart;
    };
    const Row rows[] = {
        { R"(C:\windows\lumaforge\nothere.exe)", ToolFolder, "not found" },
        { R"(C:\windows\lumaforge\plain.exe)", ToolFolder, "not executable" },
        { R"(C:\windows\lumaforge\garbage.exe)", ToolFolder, "Exec format error" },
        { R"(C:\windows\lumaforge)", ToolFolder, "is a folder" },
        { R"(Q:\tools\lumabatch.exe)", ToolFolder, "Q:" },
        { ToolPath, R"(C:\windows\nothere\)", "working folder" },
    };
    for (const Row& row : rows) {
        ShellExecuteInfo info = toolLaunch("-q90");
        info.lpFile = row.file;
        info.lpDirectory = row.folder;
        EXPECT_FALSE(processes.shellExecuteEx(info)) << row.file;
        EXPECT_FALSE(info.hProcess) << row.file;
        EXPECT_THAT(info.error, HasSubstr(row.messagePart)) << row.file;
        EXPECT_THAT(info.error, HasSubstr(row.file)) << row.file;
    }
    EXPECT_TRUE(hasNoChildren());
}

TEST_F(ProcessesTest, DroppedHandleNeitherEndsTheProgramNorLeavesAZombie) {
    useGate();
    ShellExecuteInfo info = toolLaunch("");
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    const ChildReport report = awaitReport();
    UniqueFd watch(static_cast<int>(::syscall(SYS_pidfd_open, report.pid, 0)));
    ASSERT_TRUE(watch);

    info.hProcess.reset();
    EXPECT_FALSE(becomesReadable(watch.get(), 0)) << "the program ended with its handle";
    EXPECT_EQ(::kill(report.pid, 0), 0);

    openGate();
    ASSERT_TRUE(becomesReadable(watch.get()));
    // The next start reaps the program left behind.
    ShellExecuteInfo failing = toolLaunch("");
    failing.lpFile = R"(C:\windows\lumaforge\nothere.exe)";
    EXPECT_FALSE(processes.shellExecuteEx(failing));
    EXPECT_TRUE(hasNoChildren());
}

TEST_F(ProcessesTest, LaunchWithoutHandleLeavesNoChild) {
    ShellExecuteInfo info = toolLaunch("one");
    info.fMask = 0;
    ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
    EXPECT_FALSE(info.hProcess);
    EXPECT_TRUE(hasNoChildren());
    EXPECT_THAT(awaitReport().arguments, ElementsAre("one"));
}

TEST_F(ProcessesTest, DetachedStartSplitsTheWholeLineAndRunsInItsOwnSession) {
    useGate();
    ASSERT_TRUE(processes.startDetached(
        R"("C:\WINDOWS\lumaforge\lumabatch.exe" s=c:\windows\pxwtemp01 d=D:\my_out\ -w300 -h400 -sm1 -namegen="[counter2;0].jpg" -ov -remsrc -sortlstAZ -exclude(db) -nodlg -q90)",
        1));
    EXPECT_TRUE(hasNoChildren());

    const ChildReport report = awaitReport();
    EXPECT_THAT(report.arguments,
        ElementsAre(R"(s=c:\windows\pxwtemp01)", R"(d=D:\my_out\)", "-w300", "-h400", "-sm1",
            "-namegen=[counter2;0].jpg", "-ov", "-remsrc", "-sortlstAZ", "-exclude(db)", "-nodlg",
            "-q90"));
    EXPECT_EQ(report.argv0, tool.string());
    EXPECT_NE(report.parent, ::getpid());
    EXPECT_EQ(report.session, report.pid);
    EXPECT_NE(::getsid(report.pid), ::getsid(0));
    EXPECT_EQ(report.descriptors, "");

    UniqueFd watch(static_cast<int>(::syscall(SYS_pidfd_open, report.pid, 0)));
    ASSERT_TRUE(watch);
    EXPECT_FALSE(becomesReadable(watch.get(), 0));
    openGate();
    EXPECT_TRUE(becomesReadable(watch.get()));
}

TEST_F(ProcessesTest, ShowStateReachesTheProgramInItsEnvironmentOnly) {
    // A show state this program was itself given never leaks into a hidden start.
    ::setenv("PIXELWAIN_SHOW", "5", 1);
    struct Row {
        const char* launch;
        int show;
        const char* seen;
    };
    const Row rows[] = { { "waited", 1, "1" }, { "waited", 0, "-" }, { "detached", 1, "1" },
        { "detached", 0, "-" } };
    for (const Row& row : rows) {
        if (std::string(row.launch) == "waited") {
            ShellExecuteInfo info = toolLaunch("one");
            info.nShow = row.show;
            ASSERT_TRUE(processes.shellExecuteEx(info)) << info.error;
        } else {
            ASSERT_TRUE(processes.startDetached(std::string(ToolPath) + " one", row.show));
        }
        const ChildReport report = awaitReport();
        EXPECT_EQ(report.show, row.seen) << row.launch << " " << row.show;
        EXPECT_THAT(report.arguments, ElementsAre("one"));
    }
    ::unsetenv("PIXELWAIN_SHOW");
}

TEST_F(ProcessesTest, DetachedStartFindsABareNameOnPath) {
    putOnPath("pxw-fake-tool");
    ASSERT_TRUE(processes.startDetached("pxw-fake-tool one \"two three\"\t\"\"", 0));
    const ChildReport report = awaitReport();
    EXPECT_EQ(report.argv0, "pxw-fake-tool");
    EXPECT_THAT(report.arguments, ElementsAre("one", "two three", ""));
}

TEST_F(ProcessesTest, DetachedStartRunsWhatTheKernelCannotWithTheShell) {
    // The way an album that opens on Windows too begins: an MZ header that is a shell script.
    const fs::path album = prefix.driveC() / "album.exe";
    writeFile(album, std::string("MZqFpD='\n\0\0'\nexec ", 18) + tool.string() + " \"$@\"\n");
    fs::permissions(album, fs::perms(0755));
    ASSERT_TRUE(processes.startDetached(R"("C:\album.exe" one)", 0));
    EXPECT_THAT(awaitReport().arguments, ElementsAre("one"));
}

TEST_F(ProcessesTest, DetachedStartFailuresSayWhy) {
    writeFile(prefix.driveC() / "windows" / "lumaforge" / "plain.exe", "data");
    fs::permissions(prefix.driveC() / "windows" / "lumaforge" / "plain.exe", fs::perms(0644));
    struct Row {
        const char* line;
        const char* messagePart;
    };
    const Row rows[] = {
        { R"("C:\WINDOWS\lumaforge\nothere.exe" -q90)", "not found" },
        { R"(C:\windows\lumaforge\plain.exe)", "not executable" },
        { "pxw-no-such-program --help", "not found on PATH" },
        { R"(Q:\lumabatch.exe)", "Q:" },
        { "   ", "empty" },
    };
    for (const Row& row : rows) {
        Status started = processes.startDetached(row.line, 1);
        EXPECT_FALSE(started) << row.line;
        EXPECT_THAT(started.message(), HasSubstr(row.messagePart)) << row.line;
    }
    EXPECT_TRUE(hasNoChildren());
}

TEST_F(ProcessesTest, ShellOpenHandsPathsAndAddressesToXdgOpen) {
    putOnPath("xdg-open");
    writeFile(prefix.driveC() / "windows" / "lumaforge" / "pxwreadme.chm", "help");
    struct Row {
        const char* target;
        const char* folder;
        std::string expected;
    };
    const Row rows[] = {
        { R"(D:\OUT\)", "", (prefix.driveD() / "out").string() },
        { "www.pixelwain.example", R"(C:\windows\lumaforge)", "http://www.pixelwain.example/" },
        { "https://www.pixelwain.example/help?a=1", "", "https://www.pixelwain.example/help?a=1" },
        { "pxwreadme.chm", R"(C:\windows\lumaforge)",
            (prefix.driveC() / "windows" / "lumaforge" / "pxwreadme.chm").string() },
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(processes.shellOpen(nullptr, "Open", row.target, "", row.folder, 1))
            << row.target;
        const ChildReport report = awaitReport();
        EXPECT_EQ(report.argv0, "xdg-open") << row.target;
        EXPECT_THAT(report.arguments, ElementsAre(row.expected)) << row.target;
    }
    EXPECT_TRUE(hasNoChildren());
}

TEST_F(ProcessesTest, ShellOpenFailsWhenNoOpenerCanStart) {
    fs::create_directories(bin);
    ::setenv("PATH", bin.c_str(), 1);
    Status opened = processes.shellOpen(nullptr, "Open", "www.pixelwain.example", "", "", 1);
    EXPECT_FALSE(opened);
    EXPECT_THAT(opened.message(), HasSubstr("xdg-open"));

    putOnPath("xdg-open");
    Status unmapped = processes.shellOpen(nullptr, "Open", R"(Q:\out\)", "", "", 1);
    EXPECT_FALSE(unmapped);
    EXPECT_THAT(unmapped.message(), HasSubstr("Q:"));
}

TEST_F(ProcessesTest, OpenerGetsOneMappedArgumentWithBlanks) {
    putOnPath("xdg-open");
    ASSERT_TRUE(processes.startOpener("xdg-open", R"(C:\Program Files\Pixel wain\pxwreadme.chm)"));
    const ChildReport report = awaitReport();
    EXPECT_THAT(report.arguments,
        ElementsAre((prefix.driveC() / "Program Files" / "Pixel wain" / "pxwreadme.chm").string()));

    ASSERT_TRUE(processes.startOpener("xdg-open", "a b \"c\""));
    EXPECT_THAT(awaitReport().arguments, ElementsAre("a b \"c\""));
}

TEST_F(ProcessesTest, ProgramFolderIsTheExecutablesFolderWindowsStyle) {
    PosixProcesses installed(
        prefix.drives(), prefix.driveC() / "windows" / "lumaforge" / "pixelwain");
    EXPECT_EQ(installed.programFolder(), R"(C:\windows\lumaforge)");

    PosixProcesses atRoot(prefix.drives(), prefix.driveD() / "pixelwain");
    EXPECT_EQ(atRoot.programFolder(), "D:");

    const std::string own = processes.programFolder();
    EXPECT_EQ(own, prefix.drives().toWindows(fs::canonical("/proc/self/exe").parent_path()));
    EXPECT_THAT(own, ::testing::StartsWith(R"(Z:\)"));
    EXPECT_NE(own.back(), '\\');
}

} // namespace
} // namespace pxw::platform
