// Build, Select icon, Remove and Run, with the real image tool and the real zip component in a
// temporary prefix; the written album is read back by its own program and by unzip.

#include "album_zip_component.h"
#include "app/program.h"
#include "fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_processes.h"
#include "temp_prefix.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using pxw::platform::MessageIcon;
using pxw::testing::fileNames;
using pxw::testing::runCommand;
using pxw::testing::ScriptedDialogs;

namespace {

const std::string IconMessage
    = "You must Select an icon or keep the default icon in the list box!    ";
const std::string ListMessage = "You must select images into the image file list box!    ";

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct AlbumFixture : ::testing::Test {
    pxw::testing::TempPrefix prefix { LUMABATCH_PATH };
    pxw::testing::RecordingToolkit toolkit;
    ScriptedDialogs dialogs;
    pxw::platform::PosixFileSystem files { prefix.drives() };
    pxw::platform::PosixProcesses processes { prefix.drives() };
    pxw::zip::AlbumZipComponentFactory zip { prefix.drives(), PXWALBUM_PATH };
    pxw::platform::Services services { toolkit, dialogs, files, processes, zip };
    pxw::app::Program program { services };
    pxw::ui::frmBackupFiles& form = program.form;
    const std::string iconBytes = std::string("\0\0\1\0icon made for the test", 26);

    void SetUp() override {
        program.load();
        std::ofstream(prefix.driveC() / "windows" / "forpxw" / "pxwicon.ico", std::ios::binary)
            << iconBytes;
    }

    void listPhoto(const std::string& name, int width = 1200, int height = 900) {
        pxw::testing::makeJpeg(prefix.driveD() / name, width, height);
        std::string windows = "D:\\" + name;
        std::replace(windows.begin(), windows.end(), '/', '\\');
        dialogs.answers.push_back(ScriptedDialogs::choose(windows));
        form.FBrowse.click();
    }

    void buildAs(ScriptedDialogs::Answer saveAnswer) {
        dialogs.answers.push_back(std::move(saveAnswer));
        form.Createalbum.click();
    }

    std::string albumList(const fs::path& album) {
        int status = -1;
        std::string out = runCommand("'" + album.string() + "' --list 2>&1", &status);
        EXPECT_EQ(status, 0) << out;
        return out;
    }
};

} // namespace

TEST_F(AlbumFixture, BuildsAnAlbumOfTheConvertedImagesWithTheIcon) {
    listPhoto("b.jpg", 1200, 900);
    listPhoto("a.jpg", 900, 1200);
    buildAs(ScriptedDialogs::choose("D:\\trip.exe"));

    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt,
        "Success! Your images are wrapped as D:\\trip.exe.  You can click on the Run button to "
        "check the .Exe file.  ");
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(toolkit.messages[0].title, "Pixelwain");
    ASSERT_TRUE(dialogs.shownAsSave.back());
    const auto& save = dialogs.shown.back();
    EXPECT_EQ(save.Flags, 2);
    EXPECT_EQ(save.Filter, ".exe only (*.exe)|*.exe");
    EXPECT_EQ(save.DefaultExt, "exe");
    EXPECT_EQ(save.InitDir, "");
    EXPECT_EQ(save.DialogTitle, "Save images as a standalone Exe file...");

    const fs::path album = prefix.driveD() / "trip.exe";
    EXPECT_EQ(albumList(album), "00.jpg\n01.jpg\n");
    int status = -1;
    std::string unzip = runCommand("unzip -t '" + album.string() + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << unzip;
    EXPECT_EQ(unzip.find("warning"), std::string::npos) << unzip;
    const fs::path iconCopy = prefix.root() / "icon-back.ico";
    runCommand("'" + album.string() + "' --icon '" + iconCopy.string() + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readAll(iconCopy), iconBytes);
    const fs::path extracted = prefix.root() / "extracted";
    fs::create_directories(extracted);
    runCommand("'" + album.string() + "' --extract '" + extracted.string() + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(pxw::testing::imageSize(extracted / "00.jpg"), std::make_pair(300, 400));
    EXPECT_EQ(pxw::testing::imageSize(extracted / "01.jpg"), std::make_pair(300, 225));
    EXPECT_TRUE(fileNames(prefix.workFolder()).empty()) << "emptied after the success";
    EXPECT_EQ(form.SaveDialog.FileName, "D:\\trip.exe");
}

TEST_F(AlbumFixture, ASecondBuildOffersTheFirstPath) {
    listPhoto("a.jpg");
    buildAs(ScriptedDialogs::choose("D:\\first.exe"));
    buildAs(ScriptedDialogs::cancel());
    EXPECT_EQ(dialogs.shown.back().FileName, "D:\\first.exe");
    EXPECT_EQ(form.SaveDialog.FileName, "D:\\first.exe");
    EXPECT_EQ(toolkit.messages.size(), 1u) << "a cancelled save says nothing";
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "00.jpg" })
        << "the processed images stay after a cancel";
}

TEST_F(AlbumFixture, MissingIconStopsBeforeAnythingIsTouched) {
    fs::create_directories(prefix.workFolder());
    std::ofstream(prefix.workFolder() / "keep.jpg") << "x";
    form.iconlistRem.click();
    EXPECT_EQ(form.iconlist.text(), "");
    form.Createalbum.click(); // list empty too: only the icon message
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, IconMessage);
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "keep.jpg" });
    EXPECT_TRUE(fs::is_directory(prefix.driveC() / "windows" / "lumaforge"));
}

TEST_F(AlbumFixture, EmptyListEmptiesTheWorkFolderThenSaysSo) {
    fs::create_directories(prefix.workFolder() / "sub");
    std::ofstream(prefix.workFolder() / "old.jpg") << "x";
    std::ofstream(prefix.workFolder() / "sub" / "kept.jpg") << "x";
    form.Createalbum.click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, ListMessage);
    EXPECT_TRUE(fileNames(prefix.workFolder()).empty());
    EXPECT_TRUE(fs::exists(prefix.workFolder() / "sub" / "kept.jpg"))
        << "subfolders are not touched";
}

TEST_F(AlbumFixture, ANameWithoutExtensionAsTheDialogReturnsIt) {
    listPhoto("a.jpg");
    // The dialog appends its default extension; the build uses what the dialog returns.
    buildAs([](pxw::platform::FileDialog& dialog) {
        EXPECT_EQ(dialog.DefaultExt, "exe");
        dialog.FileName = "D:\\holiday." + dialog.DefaultExt;
        return pxw::platform::DialogResult::Confirmed;
    });
    EXPECT_TRUE(fs::exists(prefix.driveD() / "holiday.exe"));
    EXPECT_EQ(toolkit.messages.back().prompt,
        "Success! Your images are wrapped as D:\\holiday.exe.  You can click on the Run button to "
        "check the .Exe file.  ");
}

TEST_F(AlbumFixture, AFailedWriteLeavesNoFileAndNoMessage) {
    listPhoto("a.jpg");
    buildAs(ScriptedDialogs::choose("D:\\no such folder\\album.exe"));
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_FALSE(fs::exists(prefix.driveD() / "no such folder"));
    EXPECT_EQ(form.SaveDialog.FileName, "D:\\no such folder\\album.exe");
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "00.jpg" });
    form.cmdSystem.click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, "File is not there!   ");
}

TEST_F(AlbumFixture, AFailedWriteOverAnEarlierAlbumKeepsItAndClaimsNoSuccess) {
    listPhoto("a.jpg");
    const fs::path earlier = prefix.driveD() / "trip.exe";
    std::ofstream(earlier) << "the album of last summer";
    buildAs([this](pxw::platform::FileDialog& dialog) {
        // The icon goes missing while the dialog is open, so the write fails.
        fs::remove(prefix.driveC() / "windows" / "forpxw" / "pxwicon.ico");
        dialog.FileName = "D:\\trip.exe";
        return pxw::platform::DialogResult::Confirmed;
    });
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(readAll(earlier), "the album of last summer");
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "00.jpg" });
}

TEST_F(AlbumFixture, AMissingToolBuildsNoAlbumAndSaysWhy) {
    fs::remove(prefix.toolFile());
    listPhoto("a.jpg");
    buildAs(ScriptedDialogs::choose("D:\\trip.exe"));
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_NE(toolkit.messages[0].prompt.find("could not be started"), std::string::npos);
    EXPECT_FALSE(fs::exists(prefix.driveD() / "trip.exe"));
    EXPECT_EQ(dialogs.shown.size(), 1u) << "no save dialog";
}

TEST_F(AlbumFixture, ACancelledConversionBuildsNoAlbumAndSaysSo) {
    fs::remove(prefix.toolFile());
    std::ofstream(prefix.toolFile()) << "#!/bin/sh\nexit 3\n";
    fs::permissions(prefix.toolFile(), fs::perms::owner_all);
    listPhoto("a.jpg");
    buildAs(ScriptedDialogs::choose("D:\\trip.exe"));
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt,
        "The album was not built: the conversion of its images was cancelled.");
    EXPECT_FALSE(fs::exists(prefix.driveD() / "trip.exe"));
    EXPECT_EQ(dialogs.shown.size(), 1u) << "no save dialog";
}

TEST_F(AlbumFixture, SameNamedEntriesBothGoIntoTheAlbum) {
    fs::create_directories(prefix.driveD() / "x");
    fs::create_directories(prefix.driveD() / "y");
    listPhoto("x/IMG.jpg");
    listPhoto("y/IMG.jpg");
    buildAs(ScriptedDialogs::choose("D:\\both.exe"));
    EXPECT_EQ(albumList(prefix.driveD() / "both.exe"), "00.jpg\n01.jpg\n");
}

TEST_F(AlbumFixture, RunStartsTheAlbumOrSaysFileIsNotThere) {
    form.cmdSystem.click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, "File is not there!   ");
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");

    // A stand-in album that proves it was started: it writes a file beside itself.
    fs::create_directories(prefix.driveD() / "my albums");
    const fs::path album = prefix.driveD() / "my albums" / "trip.exe";
    std::ofstream(album) << "#!/bin/sh\ntouch \"$(dirname \"$0\")/started\"\n";
    fs::permissions(album, fs::perms::owner_all);
    form.SaveDialog.FileName = "D:\\my albums\\trip.exe";
    form.cmdSystem.click();
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_TRUE(pxw::testing::waitForFiles(
        prefix.driveD() / "my albums", 1, "started", std::chrono::seconds(20)));
}

TEST_F(AlbumFixture, SelectIconSetsUpItsDialogEveryTimeAndCancelKeepsThePath) {
    dialogs.answers.push_back(ScriptedDialogs::choose("D:\\icons\\star.ico"));
    form.Iconsel.click();
    EXPECT_EQ(form.iconlist.text(), "D:\\icons\\star.ico");
    dialogs.answers.push_back(ScriptedDialogs::cancel());
    form.Iconsel.click();
    EXPECT_EQ(form.iconlist.text(), "D:\\icons\\star.ico");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto& shown : dialogs.shown) {
        EXPECT_EQ(shown.DialogTitle, "Select an icon File for Pixelwain");
        EXPECT_EQ(shown.Filter, "Icon Files (*.ico)|*.ico");
        EXPECT_EQ(shown.FileName, "");
        EXPECT_EQ(shown.InitDir, "C:\\WINDOWS\\forpxw");
        EXPECT_EQ(shown.Flags, 2625540);
        EXPECT_TRUE(shown.CancelError);
    }
    EXPECT_TRUE(toolkit.messages.empty());
}
