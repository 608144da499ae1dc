#include "app/program.h"
#include "fakes.h"
#include "inputs/input_commands.h"

#include <gtest/gtest.h>

namespace {
struct NamingFixture : ::testing::Test {
    pxw::testing::FakeServices fake;
    pxw::ui::frmBackupFiles form;
    pxw::inputs::InputCommands commands { form, fake.services };
    void SetUp() override { form.Form_Load(); }
};
} // namespace

TEST(StartUp, ChecksCheck1AndBuildsTheFirstTemplate) {
    pxw::testing::FakeServices fake;
    pxw::app::Program program(fake.services);
    program.load();
    const auto& form = program.form;
    EXPECT_EQ(form.namef.text(), "[counter2;0].jpg");
    EXPECT_EQ(form.Check1.value(), 1);
    EXPECT_EQ(form.Check2.value() + form.Check3.value() + form.Check4.value(), 0);
    EXPECT_EQ(form.txtWidth.text(), "300");
    EXPECT_EQ(form.txtHeight.text(), "400");
    EXPECT_EQ(form.compressQ.text(), "90");
    EXPECT_EQ(form.Text3.text(), "");
    EXPECT_EQ(form.DestDir.text(), "");
    EXPECT_EQ(form.gFolderPath, "");
    EXPECT_TRUE(fake.toolkit.messages.empty());
    EXPECT_TRUE(fake.files.touchedPaths.empty()) << "start-up touches no file";
}

TEST(StartUp, ExitAndCloseEndTheProgramWithoutAQuestion) {
    pxw::testing::FakeServices fake;
    pxw::app::Program program(fake.services);
    program.load();
    program.form.Command4.click();
    EXPECT_EQ(fake.toolkit.ends, 1);
    program.form.Unload();
    EXPECT_EQ(fake.toolkit.ends, 2);
    EXPECT_TRUE(fake.toolkit.messages.empty());
}

TEST_F(NamingFixture, TemplateFollowsTheFirstCheckedBox) {
    form.namegen.setText("trip");
    EXPECT_EQ(form.namef.text(), "[counter2;0].jpg")
        << "typing the base name alone rebuilds nothing";
    form.Check1.setValue(0);
    EXPECT_EQ(form.namef.text(), "trip[counter2;0].jpg");
    form.Check2.setValue(1);
    EXPECT_EQ(form.namef.text(), "trip[counter2;1].jpg");
    form.Check1.setValue(1);
    EXPECT_EQ(form.namef.text(), "[counter2;0].jpg");
    form.Check2.setValue(0);
    form.Check3.setValue(1);
    EXPECT_EQ(form.namef.text(), "[counter2;0].jpg") << "Check1 still decides";
    form.Check1.setValue(0);
    EXPECT_EQ(form.namef.text(), "trip[counter1;0].jpg");
    form.Check3.setValue(0);
    form.Check4.setValue(1);
    EXPECT_EQ(form.namef.text(), "trip[counter1;1].jpg");
    form.namegen.setText("a b/c");
    form.Check4.setValue(0);
    EXPECT_EQ(form.namef.text(), "a b/c[counter2;0].jpg") << "the base name is passed on unchanged";
}
