// The order and arguments of the zip operations, recorded, with real folders.

#include "app/program.h"
#include "fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(AlbumBuild, CallsTheEightZipOperationsInOrderOnOneInstance) {
    pxw::testing::TempPrefix prefix; // no image tool: a stand-in that converts nothing
    std::ofstream(prefix.toolFile()) << "#!/bin/sh\nexit 0\n";
    fs::permissions(prefix.toolFile(), fs::perms::owner_all);
    std::ofstream(prefix.driveC() / "windows" / "forpxw" / "pxwicon.ico") << "icon";
    std::ofstream(prefix.driveD() / "a.jpg") << "image";

    pxw::testing::RecordingToolkit toolkit;
    pxw::testing::ScriptedDialogs dialogs;
    pxw::platform::PosixFileSystem files(prefix.drives());
    pxw::platform::PosixProcesses processes(prefix.drives());
    pxw::testing::RecordingZipFactory zip;
    pxw::platform::Services services { toolkit, dialogs, files, processes, zip };
    pxw::app::Program program(services);
    program.load();
    dialogs.answers.push_back(pxw::testing::ScriptedDialogs::choose("D:\\a.jpg"));
    program.form.FBrowse.click();
    dialogs.answers.push_back(pxw::testing::ScriptedDialogs::choose("D:\\album.exe"));
    program.form.Createalbum.click();

    EXPECT_EQ(zip.created, 1);
    EXPECT_EQ(zip.log,
        (std::vector<std::string> { "setOption 0", "setTextOption ''", "setOtherOption 0",
            "setIcon c:\\windows\\forpxw\\pxwicon.ico", "setOtherTextOption ''",
            "newArchive notUsed.zip", "addFolder c:\\windows\\pxwtemp01 1",
            "writeSelfExtractor D:\\album.exe" }));
    EXPECT_TRUE(toolkit.messages.empty()) << "the recording component writes no file: no message";
}
