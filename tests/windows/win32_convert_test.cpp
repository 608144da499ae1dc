// The model's Convert and Build on the Windows services: real files staged in a temporary folder,
// the image tool installed where the program starts it, dialogs answered from a script. The tool is
// $PXW_TEST_TOOL (a Windows path; the programs beside it, its readers, are installed with it);
// unset, the child program beside this one stands in, moving the staged images into the output
// folder unconverted.

#include "albumfile/album_reader.h"
#include "app/program.h"
#include "base/wide_text.h"
#include "fakes.h"
#include "platform/image_tool.h"
#include "platform/win32/native_path.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_processes.h"
#include "temp_folder.h"
#include "zip/album_zip_component.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace pxw::platform::win32 {
namespace {

namespace fs = std::filesystem;

fs::path toolToInstall() {
    if (const wchar_t* tool = ::_wgetenv(L"PXW_TEST_TOOL"); tool && *tool)
        return tool;
    wchar_t own[MAX_PATH];
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    return fs::path(own).parent_path() / "pxw_windows_test_child.exe";
}

// A real image of 2 by 2 pixels, a 24-bit BMP, which any image tool reads.
void writeImage(const fs::path& file, unsigned char shade) {
    unsigned char bmp[70] = { 'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0,
        0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0 };
    std::fill(bmp + 54, bmp + 70, shade);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

// The program on the Windows services, with the image tool installed where it starts it.
struct Win32Program : ::testing::Test {
    testing::TempFolder temp;
    testing::RecordingToolkit toolkit;
    testing::ScriptedDialogs dialogs;
    Win32FileSystem files;
    Win32Processes processes;

    static void installTool() {
        const fs::path tool = base::widened(image_tool::executable());
        fs::create_directories(tool.parent_path());
        const fs::path given = toolToInstall();
        fs::copy_file(given, tool, fs::copy_options::overwrite_existing);
        if (!::_wgetenv(L"PXW_TEST_TOOL"))
            return;
        for (const auto& beside : fs::directory_iterator(given.parent_path())) {
            if (beside.path().extension() == ".exe" && beside.path() != given)
                fs::copy_file(beside.path(), tool.parent_path() / beside.path().filename(),
                    fs::copy_options::overwrite_existing);
        }
    }

    std::string windowsPath(const fs::path& path) const { return base::narrowed(path.native()); }

    // Lists two real images through the Add dialog.
    void listImages(app::Program& program) {
        installTool();
        fs::create_directory(temp / "in");
        writeImage(temp / "in" / "first.bmp", 0x20);
        writeImage(temp / "in" / "zweites Bild.bmp", 0xe0);
        for (const char* name : { "first.bmp", "zweites Bild.bmp" }) {
            dialogs.answers.push_back(
                testing::ScriptedDialogs::choose(windowsPath(temp / "in" / name)));
            program.form.FBrowse.click();
        }
    }
};

TEST_F(Win32Program, ConvertsTheListedImagesIntoTheChosenFolder) {
    testing::RecordingZipFactory zip;
    Services services { toolkit, dialogs, files, processes, zip };
    app::Program program(services);
    program.load();
    listImages(program);
    fs::create_directory(temp / "out");
    const std::string out = windowsPath(temp / "out") + "\\";
    dialogs.answers.push_back(
        testing::ScriptedDialogs::choose(out + "Select Folder and click Open"));
    program.form.Convert.click();

    ASSERT_EQ(toolkit.messages.size(), 1U);
    EXPECT_EQ(
        toolkit.messages[0].prompt.rfind("Success! Your images are converted as " + out, 0), 0U)
        << toolkit.messages[0].prompt;
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "out"), fs::directory_iterator()), 2);
    EXPECT_TRUE(files.listFolder(program.form.Text4.text()).empty())
        << "the tool took every staged image";
    EXPECT_EQ(toolkit.busyChanges, (std::vector<bool> { true, false }));
}

TEST_F(Win32Program, BuildsAnAlbumOfTheConvertedImages) {
    zip::AlbumZipComponentFactory zip(nativeFilesystemPath, {}, PXW_WINDOWS_ALBUM_PROGRAM);
    Services services { toolkit, dialogs, files, processes, zip };
    app::Program program(services);
    program.load();
    const fs::path icon = base::widened(program.form.iconlist.text());
    fs::create_directories(icon.parent_path());
    fs::copy_file(PXW_TEST_ICON, icon, fs::copy_options::overwrite_existing);
    listImages(program);
    const std::string album = windowsPath(temp / "trip.exe");
    dialogs.answers.push_back(testing::ScriptedDialogs::choose(album));
    program.form.Createalbum.click();

    ASSERT_EQ(toolkit.messages.size(), 1U);
    EXPECT_EQ(
        toolkit.messages[0].prompt.rfind("Success! Your images are wrapped as " + album, 0), 0U)
        << toolkit.messages[0].prompt;
    zip::AlbumReader reader;
    const Status opened = reader.open(base::Path((temp / "trip.exe").native()));
    ASSERT_TRUE(opened) << opened.message();
    EXPECT_EQ(reader.entries().size(), 2U);
    EXPECT_TRUE(files.listFolder(program.form.Text4.text()).empty()) << "emptied after the success";
}

} // namespace
} // namespace pxw::platform::win32
