#include "job/command_lines.h"

#include <gtest/gtest.h>

using namespace pxw::job;

namespace {
struct LinesFixture : ::testing::Test {
    pxw::ui::frmBackupFiles form;
    void SetUp() override { form.namef.setText("[counter2;0].jpg"); }
};
} // namespace

TEST_F(LinesFixture, ConvertVariantWithTheDefaults) {
    form.DestDir.setText("D:\\out\\");
    EXPECT_EQ(convertParameters(form),
        "s=\"c:\\windows\\pxwtemp01\" d=\"D:\\out\\\" -w\"300\" -h\"400\" -prop -sm1 "
        "-namegen=\"[counter2;0].jpg\" -ov -dpiver72 -dpihor72 -sortlstAZ "
        "-sizeto(-1;-1;\"300\";\"400\") -exclude(db) -remsrc -nodlg -q\"90");
}

TEST_F(LinesFixture, ConvertVariantKeepsBlanksInsideQuotesAndEmptyFieldsEmpty) {
    form.DestDir.setText("D:\\my photos\\small ones\\");
    form.txtWidth.setText("");
    form.compressQ.setText("");
    form.namef.setText("trip one[counter1;1].jpg");
    EXPECT_EQ(convertParameters(form),
        "s=\"c:\\windows\\pxwtemp01\" d=\"D:\\my photos\\small ones\\\" -w\"\" -h\"400\" -prop "
        "-sm1 "
        "-namegen=\"trip one[counter1;1].jpg\" -ov -dpiver72 -dpihor72 -sortlstAZ "
        "-sizeto(-1;-1;\"\";\"400\") -exclude(db) -remsrc -nodlg -q\"");
}

TEST_F(LinesFixture, ConvertVariantToADriveRoot) {
    form.DestDir.setText("D:\\");
    EXPECT_NE(convertParameters(form).find(" d=\"D:\\\" -w"), std::string::npos);
}

TEST_F(LinesFixture, AlbumVariantWritesIntoTheWorkFolder) {
    form.txtWidth.setText("640");
    form.txtHeight.setText("480");
    form.compressQ.setText("75");
    form.DestDir.setText("D:\\not used\\");
    EXPECT_EQ(albumParameters(form),
        "s=\"c:\\windows\\pxwtemp01\" d=\"c:\\windows\\pxwtemp01\" -w\"640\" -h\"480\" -prop -sm1 "
        "-namegen=\"[counter2;0].jpg\" -ov -dpiver72 -dpihor72 -remsrc -sortlstAZ "
        "-sizeto(-1;-1;\"640\";\"480\") -exclude(db) -nodlg -q\"75");
}

TEST_F(LinesFixture, QuickVariantUnquotedWithUnderscoresAndTheFixedPattern) {
    form.DestDir.setText("D:\\my photos\\");
    form.namef.setText("ignored[counter1;1].jpg");
    EXPECT_EQ(quickCommandLine(form),
        "\"C:\\WINDOWS\\lumaforge\\lumabatch.exe\" s=c:\\windows\\pxwtemp01 d=D:\\my_photos\\ "
        "-w300 "
        "-h400 -sm1 -namegen=\"[counter2;0].jpg\" -ov -remsrc -sortlstAZ -exclude(db) -nodlg -q90");
}

TEST(Underscores, ReplaceEveryBlank) {
    EXPECT_EQ(blanksToUnderscores(" a  b "), "_a__b_");
    EXPECT_EQ(blanksToUnderscores("D:\\"), "D:\\");
}
