// The package as installed: unpacked with dpkg -x into a scratch root (PXW_PACKAGE_ROOT), its
// pixelwain started with a fresh prefix, and real images converted through the window model by
// the unpacked image tool.

#include "app/program.h"
#include "fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using pxw::testing::ScriptedDialogs;

namespace {

TEST(Package, StartsWithAFreshPrefixAndConverts) {
    const char* root = std::getenv("PXW_PACKAGE_ROOT");
    if (!root)
        GTEST_SKIP() << "PXW_PACKAGE_ROOT names no unpacked package";
    const fs::path bin = fs::path(root) / "usr" / "bin";
    for (const char* program : { "pixelwain", "lumabatch", "pxwalbum" })
        EXPECT_EQ(pxw::testing::runCommand((bin / program).string() + " --version"),
            std::string(program) + " " PXW_VERSION "\n");

    // A fresh prefix: an empty folder beside TempPrefix's own, so only the program fills it.
    pxw::testing::TempPrefix scratch;
    const fs::path prefix = scratch.root() / "fresh";
    fs::create_directory(prefix);
    setenv("PIXELWAIN_PREFIX", prefix.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string program = (bin / "pixelwain").string();
    char* const arguments[] = { const_cast<char*>(program.c_str()), nullptr };
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, arguments, environ), 0);
    const bool made
        = pxw::testing::waitForFiles(prefix, 1, "made-by-pixelwain", std::chrono::seconds(60));
    const bool running = ::waitpid(pid, nullptr, WNOHANG) == 0;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(made) << "the first start made no prefix";
    EXPECT_TRUE(running) << "the window did not stay open";

    const pxw::platform::DriveMap drives(prefix);
    pxw::testing::RecordingToolkit toolkit;
    ScriptedDialogs dialogs;
    pxw::platform::PosixFileSystem files { drives };
    pxw::platform::PosixProcesses processes { drives, program };
    pxw::testing::RecordingZipFactory zip;
    pxw::platform::Services services { toolkit, dialogs, files, processes, zip };
    pxw::app::Program app { services };
    app.load();
    const fs::path photos = scratch.driveD();
    for (const char* name : { "a.jpg", "b.jpg" }) {
        pxw::testing::makeJpeg(photos / name, 1200, 900);
        dialogs.answers.push_back(ScriptedDialogs::choose(drives.toWindows(photos / name)));
        app.form.FBrowse.click();
    }
    fs::create_directories(scratch.root() / "out");
    dialogs.answers.push_back(ScriptedDialogs::choose(
        drives.toWindows(scratch.root() / "out") + "\\Select Folder and click Open"));
    app.form.Convert.click();

    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt.rfind("Success!", 0), 0u) << toolkit.messages[0].prompt;
    EXPECT_EQ(pxw::testing::fileNames(scratch.root() / "out"),
        (std::vector<std::string> { "00.jpg", "01.jpg" }));
    EXPECT_EQ(pxw::testing::imageSize(scratch.root() / "out" / "00.jpg"), std::make_pair(300, 225));
}

} // namespace
