// Convert and Output to folder from the button to the files, with the real image tool installed
// in a temporary prefix, real files and real child processes.

#include "convert_fixture.h"
#include "job/work_folder.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using pxw::platform::MessageIcon;
using pxw::testing::fileNames;
using pxw::testing::ScriptedDialogs;

namespace {

const std::string SuccessStart = "Success! Your images are converted as ";
const std::string SuccessEnd = ".   You can click on the open button to open the folder.     ";

struct ConvertFixture : pxw::testing::ProgramWithTool {
    /// Makes a photo on drive D: and lists it.
    void listPhoto(const std::string& relative, int width = 1200, int height = 900) {
        fs::path file = prefix.driveD() / relative;
        fs::create_directories(file.parent_path());
        pxw::testing::makeJpeg(file, width, height);
        list(relative);
    }
};

} // namespace

TEST_F(ConvertFixture, ConvertsResizesAndRenamesIntoThePickedFolder) {
    listPhoto("trip/zebra.jpg", 1200, 900);
    listPhoto("trip/Apple.jpg", 900, 1200);
    listPhoto("home/mango.jpg", 2000, 500);
    fs::create_directories(prefix.driveD() / "out");

    convertInto("D:\\out\\");

    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, SuccessStart + "D:\\out\\" + SuccessEnd);
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(toolkit.messages[0].title, "Pixelwain");
    EXPECT_EQ(form.DestDir.text(), "D:\\out\\");
    EXPECT_EQ(form.gFolderPath, "D:\\out\\");
    EXPECT_EQ(fileNames(prefix.driveD() / "out"),
        (std::vector<std::string> { "00.jpg", "01.jpg", "02.jpg" }));
    // A to Z by name: Apple (portrait), mango (wide), zebra (landscape); each fits 300 x 400.
    EXPECT_EQ(
        pxw::testing::imageSize(prefix.driveD() / "out" / "00.jpg"), std::make_pair(300, 400));
    EXPECT_EQ(pxw::testing::imageSize(prefix.driveD() / "out" / "01.jpg"), std::make_pair(300, 75));
    EXPECT_EQ(
        pxw::testing::imageSize(prefix.driveD() / "out" / "02.jpg"), std::make_pair(300, 225));
    EXPECT_TRUE(fileNames(prefix.workFolder()).empty()) << "the tool took every staged copy";
    EXPECT_TRUE(fs::exists(prefix.driveD() / "trip" / "zebra.jpg")) << "the user's own files stay";
    EXPECT_GT(toolkit.pumps, 0) << "the window kept processing events during the wait";
    EXPECT_FALSE(form.waitingForTool);
}

TEST_F(ConvertFixture, TheNamingTemplateIsRebuiltFromTheBoxesAtEachRun) {
    listPhoto("a.jpg");
    form.Check1.setValue(0);
    form.namegen.setText("trip");
    form.Check2.setValue(1);
    form.namegen.setText("holiday"); // typed after the last click: Convert still picks it up
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    EXPECT_EQ(form.namef.text(), "holiday[counter2;1].jpg");
    EXPECT_EQ(fileNames(prefix.driveD() / "out"), std::vector<std::string> { "holiday01.jpg" });
}

TEST_F(ConvertFixture, AFolderWithBlanksAndTheDriveRoot) {
    listPhoto("a.jpg");
    fs::create_directories(prefix.driveD() / "my photos");
    convertInto("D:\\my photos\\");
    EXPECT_EQ(fileNames(prefix.driveD() / "my photos"), std::vector<std::string> { "00.jpg" });
    EXPECT_EQ(toolkit.messages.back().prompt, SuccessStart + "D:\\my photos\\" + SuccessEnd);

    convertInto("D:\\");
    EXPECT_EQ(dialogs.shown.back().InitDir, "D:\\my photos\\")
        << "the picker opens where it was left";
    EXPECT_EQ(form.DestDir.text(), "D:\\");
    EXPECT_TRUE(fs::exists(prefix.driveD() / "00.jpg"));
    EXPECT_EQ(toolkit.messages.back().prompt, SuccessStart + "D:\\" + SuccessEnd);
}

TEST_F(ConvertFixture, TwoEntriesWithTheSameNameAreBothConverted) {
    listPhoto("trip/IMG_0001.jpg", 800, 600);
    listPhoto("home/IMG_0001.jpg", 600, 800);
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    EXPECT_EQ(
        fileNames(prefix.driveD() / "out"), (std::vector<std::string> { "00.jpg", "01.jpg" }));
    EXPECT_EQ(toolkit.messages.back().title, "Pixelwain");
}

TEST_F(ConvertFixture, AVanishedEntryIsToldAndTheOthersAreConverted) {
    listPhoto("a.jpg");
    listPhoto("b.jpg");
    fs::remove(prefix.driveD() / "a.jpg");
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    EXPECT_EQ(fileNames(prefix.driveD() / "out"), std::vector<std::string> { "00.jpg" });
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_NE(
        toolkit.messages[0].prompt.find("1 image of 2 could not be converted"), std::string::npos)
        << toolkit.messages[0].prompt;
    EXPECT_NE(toolkit.messages[0].prompt.find("D:\\a.jpg"), std::string::npos);
    EXPECT_EQ(toolkit.messages[0].prompt.find("Success!"), std::string::npos);
}

TEST_F(ConvertFixture, AFileTheToolCannotReadIsToldAndKept) {
    listPhoto("good.jpg");
    std::ofstream(prefix.driveD() / "broken.jpg") << "not a picture";
    dialogs.answers.push_back(ScriptedDialogs::choose("D:\\broken.jpg"));
    form.FBrowse.click();
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    EXPECT_EQ(fileNames(prefix.driveD() / "out").size(), 1u);
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_NE(
        toolkit.messages[0].prompt.find("1 image of 2 could not be converted"), std::string::npos)
        << toolkit.messages[0].prompt;
    EXPECT_NE(toolkit.messages[0].prompt.find(":\nD:\\broken.jpg: "), std::string::npos)
        << "the image is named, with the tool's reason: " << toolkit.messages[0].prompt;
    EXPECT_TRUE(fs::exists(prefix.workFolder() / "broken.jpg")) << "the unreadable copy stays";
    EXPECT_TRUE(fs::exists(prefix.driveD() / "broken.jpg"));
}

TEST_F(ConvertFixture, AMissingToolIsToldNotReportedAsSuccess) {
    fs::remove(prefix.toolFile());
    listPhoto("a.jpg");
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_NE(toolkit.messages[0].prompt.find("could not be started"), std::string::npos);
    EXPECT_TRUE(fileNames(prefix.driveD() / "out").empty());
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "a.jpg" });
}

TEST_F(ConvertFixture, ACancelledRunIsAWarningThatCountsWhatWasConverted) {
    // A stand-in for a tool the user cancelled after one image: it takes one staged copy,
    // leaves the others and ends with the tool's "cancelled" status.
    fs::remove(prefix.toolFile());
    std::ofstream(prefix.toolFile()) << "#!/bin/sh\necho \"$PIXELWAIN_SHOW\" > ../shown\n"
                                        "cd ../pxwtemp01 && rm -- \"$(ls | head -n 1)\"\nexit 3\n";
    fs::permissions(prefix.toolFile(), fs::perms::owner_all);
    listPhoto("a.jpg");
    listPhoto("b.jpg");
    listPhoto("c.jpg");
    fs::create_directories(prefix.driveD() / "out");
    convertInto("D:\\out\\");
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt,
        "The run was cancelled: 1 of 3 images were converted into D:\\out\\.");
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::Exclamation);
    std::ifstream shown(prefix.driveC() / "windows" / "shown");
    std::string show;
    EXPECT_TRUE(std::getline(shown, show));
    EXPECT_EQ(show, "1") << "Convert starts the tool with a visible show state";
}

TEST_F(ConvertFixture, AnEmptyListStartsNothingAndSaysSo) {
    fs::create_directories(prefix.workFolder());
    pxw::testing::makeJpeg(prefix.workFolder() / "left.jpg", 640, 480);
    fs::create_directories(prefix.driveD() / "out");
    for (pxw::ui::CommandButton* button : { &form.Convert, &form.Command2 })
        button->click();
    ASSERT_EQ(toolkit.messages.size(), 2u);
    for (const auto& message : toolkit.messages)
        EXPECT_EQ(message.prompt, pxw::job::EmptyListPrompt);
    EXPECT_TRUE(dialogs.shown.empty()) << "no folder is asked for";
    EXPECT_TRUE(fileNames(prefix.driveD() / "out").empty());
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "left.jpg" });
}

TEST_F(ConvertFixture, CancellingThePickerStopsSilentlyAfterMakingTheWorkFolder) {
    listPhoto("a.jpg");
    form.DestDir.setText("");
    dialogs.answers.push_back(ScriptedDialogs::cancel());
    form.Convert.click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_TRUE(fs::is_directory(prefix.workFolder()));
    EXPECT_TRUE(fileNames(prefix.workFolder()).empty());
    EXPECT_EQ(form.DestDir.text(), "");
}

TEST_F(ConvertFixture, AWorkFolderThatCannotBeMadeStopsWithAWarning) {
    fs::remove_all(prefix.driveC() / "windows");
    std::ofstream(prefix.driveC() / "windows") << "a file where the folder should be";
    listPhoto("a.jpg");
    form.Convert.click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_NE(toolkit.messages[0].prompt.find("c:\\windows\\pxwtemp01"), std::string::npos);
    EXPECT_TRUE(dialogs.shown.size() == 1u) << "only the image dialog was shown, no folder picker";
}

TEST_F(ConvertFixture, WhileWaitingASecondJobIsRefusedAndOtherControlsWork) {
    listPhoto("a.jpg");
    fs::create_directories(prefix.driveD() / "out");
    int shownBefore = 0;
    bool triedOnce = false;
    toolkit.onPump = [&] {
        if (triedOnce || !form.waitingForTool)
            return;
        triedOnce = true;
        shownBefore = static_cast<int>(dialogs.shown.size());
        form.Convert.click();
        form.Command2.click();
        form.Createalbum.click();
        form.txtWidth.setText("640"); // other controls keep working
    };
    convertInto("D:\\out\\");
    ASSERT_TRUE(triedOnce);
    EXPECT_EQ(toolkit.beeps, 3);
    EXPECT_EQ(static_cast<int>(dialogs.shown.size()), shownBefore) << "no second job started";
    EXPECT_EQ(form.txtWidth.text(), "640");
    EXPECT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(fileNames(prefix.driveD() / "out"), std::vector<std::string> { "00.jpg" });
}

TEST_F(ConvertFixture, OutputToFolderStartsTheQuickRunDetached) {
    listPhoto("a.jpg", 1000, 800);
    listPhoto("b.jpg", 800, 1000);
    fs::create_directories(prefix.driveD() / "quick_out");
    fs::create_directories(prefix.driveD() / "quick out");
    dialogs.answers.push_back(
        ScriptedDialogs::choose("D:\\quick out\\Select Folder and click Open"));
    form.Command2.click();
    EXPECT_EQ(form.DestDir.text(), "D:\\quick_out\\");
    EXPECT_EQ(form.gFolderPath, "D:\\quick out\\");
    EXPECT_TRUE(toolkit.messages.empty()) << "a successful start says nothing";
    ASSERT_TRUE(pxw::testing::waitForFiles(
        prefix.driveD() / "quick_out", 2, ".jpg", std::chrono::seconds(60)));
    EXPECT_EQ(fileNames(prefix.driveD() / "quick_out"),
        (std::vector<std::string> { "00.jpg", "01.jpg" }));
    EXPECT_TRUE(fileNames(prefix.driveD() / "quick out").empty());
}

TEST_F(ConvertFixture, OutputToFolderWithoutTheToolSaysFileIsNotThere) {
    fs::remove(prefix.toolFile());
    listPhoto("a.jpg");
    dialogs.answers.push_back(ScriptedDialogs::choose("D:\\Select Folder and click Open"));
    form.Command2.click();
    ASSERT_EQ(toolkit.messages.size(), 1u);
    EXPECT_EQ(toolkit.messages[0].prompt, "File is not there!   ");
    EXPECT_EQ(toolkit.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(toolkit.messages[0].title, "Warning");
    EXPECT_EQ(form.DestDir.text(), "D:\\");
    EXPECT_EQ(fileNames(prefix.workFolder()), std::vector<std::string> { "a.jpg" })
        << "copies stay";
}

TEST_F(ConvertFixture, OutputToFolderCancelledChangesNothing) {
    listPhoto("a.jpg");
    form.DestDir.setText("");
    dialogs.answers.push_back(ScriptedDialogs::cancel());
    form.Command2.click();
    EXPECT_TRUE(toolkit.messages.empty());
    EXPECT_EQ(form.DestDir.text(), "");
    EXPECT_FALSE(fs::exists(prefix.workFolder()));
}
