#pragma once

// The whole program in a temporary prefix with the real image tool installed, real files and
// real child processes; dialogs are answered from a script, message boxes recorded.

#include "app/program.h"
#include "fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace pxw::testing {

struct ProgramWithTool : ::testing::Test {
    TempPrefix prefix { LUMABATCH_PATH };
    RecordingToolkit toolkit;
    ScriptedDialogs dialogs;
    platform::PosixFileSystem files { prefix.drives() };
    platform::PosixProcesses processes { prefix.drives() };
    RecordingZipFactory zip;
    platform::Services services { toolkit, dialogs, files, processes, zip };
    app::Program program { services };
    ui::frmBackupFiles& form = program.form;

    void SetUp() override { program.load(); }

    /// Lists the file at `relative` on drive D: as the image dialog would.
    void list(const std::string& relative) {
        std::string windows = "D:\\" + relative;
        std::replace(windows.begin(), windows.end(), '/', '\\');
        dialogs.answers.push_back(ScriptedDialogs::choose(windows));
        form.FBrowse.click();
    }

    /// Clicks Convert and picks `windowsFolder` for the output.
    void convertInto(const std::string& windowsFolder) {
        dialogs.answers.push_back(
            ScriptedDialogs::choose(windowsFolder + "Select Folder and click Open"));
        form.Convert.click();
    }
};

} // namespace pxw::testing
