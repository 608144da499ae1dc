#include "fakes.h"
#include "inputs/input_commands.h"

#include <gtest/gtest.h>

using pxw::platform::DialogResult;
using pxw::platform::FileDialog;
using pxw::platform::MessageIcon;
using pxw::testing::ScriptedDialogs;

namespace {
// A multi-selection answer: the parts joined by NUL characters.
std::string nulJoined(std::initializer_list<std::string> parts) {
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : std::string(1, '\0')) + part;
    return joined;
}

struct ImageListFixture : ::testing::Test {
    pxw::testing::FakeServices fake;
    pxw::ui::frmBackupFiles form;
    pxw::inputs::InputCommands commands { form, fake.services };

    void choose(const std::string& answer) {
        fake.dialogs.answers.push_back(ScriptedDialogs::choose(answer));
        form.FBrowse.click();
    }
};
} // namespace

TEST_F(ImageListFixture, DialogIsSetUpBeforeEachUse) {
    form.rDialog.FileName = "left over";
    form.rDialog.InitDir = "D:\\kept";
    fake.dialogs.answers.push_back(ScriptedDialogs::cancel());
    form.FBrowse.click();
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    const FileDialog& shown = fake.dialogs.shown[0];
    EXPECT_FALSE(fake.dialogs.shownAsSave[0]);
    EXPECT_EQ(shown.DialogTitle, "Select image Files for Pixelwain");
    EXPECT_EQ(shown.Filter,
        "Image Files (*.jpg)|*.jpg|(*.gif)|*.gif|(*.tif)|*.tif|(*.tiff)|*.tiff|(*.png)|*.png|"
        "(*.psd)|*.psd|(*.bmp)|*.bmp|(*.pcd)|*.pcd|(*.jpeg2000)|*.jp2|(*.mac)|*.mac");
    EXPECT_EQ(shown.FilterIndex, 1);
    EXPECT_EQ(shown.FileName, "");
    EXPECT_EQ(shown.Flags, 0x281204);
    EXPECT_EQ(shown.MaxFileSize, 5200);
    EXPECT_TRUE(shown.CancelError);
    EXPECT_EQ(shown.InitDir, "D:\\kept") << "the initial folder is the dialog's own";
}

TEST_F(ImageListFixture, OneFileAddsItsFullPathAndTheCount) {
    choose("D:\\pics\\cat.jpg");
    EXPECT_EQ(form.FileList.entries(), std::vector<std::string> { "D:\\pics\\cat.jpg" });
    EXPECT_EQ(form.Text3.text(), "1");
}

TEST_F(ImageListFixture, SeveralFilesComeInAlphabeticalOrder) {
    choose(nulJoined({ "D:\\pics", "zebra.jpg", "Apple.png", "mango.gif" }));
    EXPECT_EQ(form.FileList.entries(),
        (std::vector<std::string> {
            "D:\\pics\\Apple.png", "D:\\pics\\mango.gif", "D:\\pics\\zebra.jpg" }));
    EXPECT_EQ(form.Text3.text(), "3");
}

TEST_F(ImageListFixture, DriveRootGetsNoSecondBackslash) {
    choose(nulJoined({ "D:\\", "a.jpg", "b.jpg" }));
    EXPECT_EQ(form.FileList.entries(), (std::vector<std::string> { "D:\\a.jpg", "D:\\b.jpg" }));
}

TEST_F(ImageListFixture, BlanksAroundTheAnswerAreRemoved) {
    choose("  D:\\my pics\\a b.jpg  ");
    EXPECT_EQ(form.FileList.List(0), "D:\\my pics\\a b.jpg");
}

TEST_F(ImageListFixture, DuplicatesAreAddedAgain) {
    choose("D:\\pics\\cat.jpg");
    choose("D:\\pics\\cat.jpg");
    EXPECT_EQ(form.FileList.ListCount(), 2);
    EXPECT_EQ(form.Text3.text(), "2");
}

TEST_F(ImageListFixture, CancelChangesNothingAndSaysNothing) {
    choose("D:\\pics\\cat.jpg");
    fake.dialogs.answers.push_back(ScriptedDialogs::cancel());
    form.FBrowse.click();
    EXPECT_EQ(form.FileList.ListCount(), 1);
    EXPECT_EQ(form.Text3.text(), "1");
    EXPECT_TRUE(fake.toolkit.messages.empty());
}

TEST_F(ImageListFixture, ASelectionTooLongForTheDialogIsToldNotDropped) {
    fake.dialogs.answers.push_back([](FileDialog&) { return DialogResult::Failed; });
    form.FBrowse.click();
    EXPECT_EQ(form.FileList.ListCount(), 0);
    ASSERT_EQ(fake.toolkit.messages.size(), 1u);
    EXPECT_EQ(fake.toolkit.messages[0].title, "Pixelwain");
    EXPECT_NE(fake.toolkit.messages[0].prompt.find("fewer"), std::string::npos);
}

TEST_F(ImageListFixture, SelectionPutsThePathIntoTheTooltipUntilAnotherIsSelected) {
    choose(nulJoined({ "D:\\p", "a.jpg", "b.jpg" }));
    EXPECT_EQ(form.FileList.toolTipText(), "");
    form.FileList.setListIndex(1);
    EXPECT_EQ(form.FileList.toolTipText(), "D:\\p\\b.jpg");
    form.FileRemove.click();
    EXPECT_EQ(form.FileList.ListCount(), 1);
    EXPECT_EQ(form.FileList.toolTipText(), "D:\\p\\b.jpg") << "removal leaves the tooltip";
    form.FileList.setListIndex(0);
    EXPECT_EQ(form.FileList.toolTipText(), "D:\\p\\a.jpg");
}

TEST_F(ImageListFixture, RemoveWithoutCurrentEntryRemovesNothingSilently) {
    choose(nulJoined({ "D:\\p", "a.jpg", "b.jpg" }));
    form.Text3.setText("2"); // unchanged
    form.FileRemove.click();
    EXPECT_EQ(form.FileList.ListCount(), 2);
    EXPECT_EQ(form.Text3.text(), "2");
    EXPECT_TRUE(fake.toolkit.messages.empty());
}

TEST_F(ImageListFixture, EmptyListCommandsReportAndLeaveTheCountEmpty) {
    form.FileRemove.click();
    form.allClear.click();
    ASSERT_EQ(fake.toolkit.messages.size(), 2u);
    EXPECT_EQ(fake.toolkit.messages[0].prompt, "Nothing to remove!");
    EXPECT_EQ(fake.toolkit.messages[1].prompt, "Nothing is in the list box!");
    for (const auto& message : fake.toolkit.messages) {
        EXPECT_EQ(message.icon, MessageIcon::Exclamation);
        EXPECT_EQ(message.title, "Pixelwain");
    }
    EXPECT_EQ(form.Text3.text(), "");
}

TEST_F(ImageListFixture, ClearAllEmptiesTheListAndShowsZero) {
    choose(nulJoined({ "D:\\p", "a.jpg", "b.jpg" }));
    form.allClear.click();
    EXPECT_EQ(form.FileList.ListCount(), 0);
    EXPECT_EQ(form.Text3.text(), "0");
}

TEST_F(ImageListFixture, CountBoxAlwaysSnapsBackToTheCount) {
    choose("D:\\p\\a.jpg");
    form.Text3.setText("77");
    EXPECT_EQ(form.Text3.text(), "1");
    form.Text3.setText("");
    EXPECT_EQ(form.Text3.text(), "1");
}

TEST_F(ImageListFixture, DroppedImagesAreAddedLikeChosenOnesOthersNamed) {
    form.FileList.drop({ "Z:\\home\\ana\\b.JPG", "Z:\\home\\ana\\notes.txt", "Z:\\home\\ana\\a.png",
        "Z:\\home\\ana\\folder" });
    EXPECT_EQ(form.FileList.entries(),
        (std::vector<std::string> { "Z:\\home\\ana\\a.png", "Z:\\home\\ana\\b.JPG" }));
    EXPECT_EQ(form.Text3.text(), "2");
    form.FileList.drop({ "Z:\\home\\ana\\notes.txt" });
    EXPECT_EQ(form.Text3.text(), "2");
    ASSERT_EQ(fake.toolkit.messages.size(), 2u) << "each drop names what it left out";
    EXPECT_EQ(fake.toolkit.messages[0].prompt,
        "2 files were not added because they are not images: notes.txt, folder.");
}

TEST(DialogAnswer, SplitsFolderAndNames) {
    using pxw::inputs::pathsFromDialogAnswer;
    EXPECT_EQ(pathsFromDialogAnswer("C:\\a.jpg"), std::vector<std::string> { "C:\\a.jpg" });
    EXPECT_EQ(pathsFromDialogAnswer(nulJoined({ "C:\\x\\", "a.jpg" })),
        std::vector<std::string> { "C:\\x\\a.jpg" });
}
