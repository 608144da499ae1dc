#include "fakes.h"
#include "inputs/folder_picker.h"

#include <gtest/gtest.h>

using pxw::inputs::PickOutputFolder;
using pxw::testing::ScriptedDialogs;

namespace {
struct PickerFixture : ::testing::Test {
    pxw::testing::FakeServices fake;
    pxw::ui::frmBackupFiles form;

    bool pick(ScriptedDialogs::Answer answer) {
        fake.dialogs.answers.push_back(std::move(answer));
        return PickOutputFolder(form, fake.dialogs, fake.toolkit);
    }
};
} // namespace

TEST_F(PickerFixture, FirstPickOpensWithoutFolderThenWhereItLeftOff) {
    ASSERT_TRUE(pick(ScriptedDialogs::choose("D:\\my photos\\Select Folder and click Open")));
    EXPECT_EQ(form.gFolderPath, "D:\\my photos\\");
    ASSERT_TRUE(pick(ScriptedDialogs::choose("E:\\out\\Select Folder and click Open")));
    ASSERT_EQ(fake.dialogs.shown.size(), 2u);
    EXPECT_EQ(fake.dialogs.shown[0].InitDir, "");
    EXPECT_EQ(fake.dialogs.shown[1].InitDir, "D:\\my photos\\");
    for (const auto& shown : fake.dialogs.shown) {
        EXPECT_EQ(shown.DialogTitle, "Select the required folder");
        EXPECT_EQ(shown.Filter, "folder");
        EXPECT_EQ(shown.FileName, "Select Folder and click Open");
        EXPECT_TRUE(shown.CancelError);
    }
}

TEST_F(PickerFixture, DriveRootKeepsOneBackslash) {
    ASSERT_TRUE(pick(ScriptedDialogs::choose("D:\\Select Folder and click Open")));
    EXPECT_EQ(form.gFolderPath, "D:\\");
}

TEST_F(PickerFixture, AnExistingFileGivesItsFolder) {
    ASSERT_TRUE(pick(ScriptedDialogs::choose("D:\\pics\\cat.jpg")));
    EXPECT_EQ(form.gFolderPath, "D:\\pics\\");
}

TEST_F(PickerFixture, CancelAndThePlaceholderAloneChangeNothing) {
    form.gFolderPath = "D:\\before\\";
    EXPECT_FALSE(pick(ScriptedDialogs::cancel()));
    EXPECT_FALSE(pick(ScriptedDialogs::choose("Select Folder and click Open")));
    EXPECT_EQ(form.gFolderPath, "D:\\before\\");
    EXPECT_TRUE(fake.toolkit.messages.empty());
}

TEST_F(PickerFixture, AFolderTooLongForTheAnswerIsTold) {
    form.gFolderPath = "D:\\before\\";
    EXPECT_FALSE(pick([](auto&) { return pxw::platform::DialogResult::Failed; }));
    EXPECT_EQ(form.gFolderPath, "D:\\before\\");
    ASSERT_EQ(fake.toolkit.messages.size(), 1u);
    EXPECT_NE(fake.toolkit.messages[0].prompt.find("too long"), std::string::npos);
}
