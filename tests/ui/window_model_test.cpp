#include "ui/about.h"
#include "ui/frm_backup_files.h"

#include <gtest/gtest.h>

using pxw::ui::ControlKind;
using pxw::ui::frmBackupFiles;

TEST(WindowModel, StartsWithTheDesignValues) {
    frmBackupFiles form;
    EXPECT_EQ(form.caption(), "Pixelwain V1.2");
    EXPECT_EQ(form.clientWidth(), 9585);
    EXPECT_EQ(form.clientHeight(), 7215);
    EXPECT_EQ(form.txtWidth.text(), "300");
    EXPECT_EQ(form.txtHeight.text(), "400");
    EXPECT_EQ(form.compressQ.text(), "90");
    EXPECT_EQ(form.Text4.text(), "c:\\windows\\pxwtemp01");
    EXPECT_EQ(form.Text5.text(), "C:\\windows\\lumaforge");
    EXPECT_EQ(form.iconlist.text(), "c:\\windows\\forpxw\\pxwicon.ico");
    for (auto* empty : { &form.Text3, &form.DestDir, &form.namegen, &form.namef })
        EXPECT_EQ(empty->text(), "") << empty->name();
    for (auto* box : { &form.Check1, &form.Check2, &form.Check3, &form.Check4 })
        EXPECT_EQ(box->value(), 0) << box->name();
    EXPECT_EQ(form.FileList.ListCount(), 0);
    EXPECT_EQ(form.FileList.ListIndex(), -1);
    EXPECT_EQ(form.gFolderPath, "");
    EXPECT_EQ(form.SaveDialog.DialogTitle, "Save images as a standalone Exe file...");
    EXPECT_EQ(form.SaveDialog.DefaultExt, "exe");
    EXPECT_EQ(form.SaveDialog.Filter, "*.exe");
    EXPECT_TRUE(form.SaveDialog.CancelError);
    EXPECT_EQ(form.SaveDialog.FileName, "");
}

struct ControlRow {
    const char* name;
    ControlKind kind;
    const char* caption;
    const char* toolTip;
    pxw::ui::Twips geometry;
    int tab;
};

TEST(WindowModel, EveryControlHasItsCaptionTooltipPlaceAndTabIndex) {
    const std::string dots(26, '.');
    const std::vector<ControlRow> rows = {
        { "FBrowse", ControlKind::CommandButton, "&Select images...",
            "Select images for batch processing.", { 120, 240, 1815, 360 }, 4 },
        { "Text3", ControlKind::TextBox, "", "", { 2280, 240, 375, 360 }, 7 },
        { "Label4", ControlKind::Label, "Image Selected", "", { 2760, 285, 1575, 345 }, 8 },
        { "Label2", ControlKind::Label, "pixelwain.example", "", { 6000, 120, 2655, 495 }, 34 },
        { "FileList", ControlKind::ListBox, "", "", { 120, 720, 8145, 2340 }, 2 },
        { "FileRemove", ControlKind::CommandButton, "&Remove",
            "Remove selected image in the image file list box.", { 8400, 1080, 990, 450 }, 5 },
        { "allClear", ControlKind::CommandButton, "&Clear All",
            "Remove all images in image file list box.", { 8400, 2400, 990, 450 }, 6 },
        { "Frame1", ControlKind::Frame, "   Image Setting     ", "", { 120, 3240, 8175, 1815 },
            11 },
        { "Label5", ControlKind::Label, "JPEG Compress Quality (1-99)", "", { 600, 360, 2655, 255 },
            12 },
        { "compressQ", ControlKind::TextBox, "", "", { 3240, 330, 375, 330 }, 13 },
        { "Label6", ControlKind::Label, "Image Size :", "", { 600, 840, 1095, 255 }, 14 },
        { "Label1", ControlKind::Label, "Width", "", { 1800, 840, 495, 255 }, 17 },
        { "txtWidth", ControlKind::TextBox, "", "Accept integer (1-5000) only",
            { 2300, 765, 615, 330 }, 16 },
        { "Label3", ControlKind::Label, "Height", "", { 3000, 840, 735, 255 }, 20 },
        { "txtHeight", ControlKind::TextBox, "", "Accept integer (1-5000) only",
            { 3600, 765, 615, 330 }, 15 },
        { "Label9", ControlKind::Label, "pixels (1-5000)", "", { 4320, 840, 1815, 255 }, 18 },
        { "Label7", ControlKind::Label, "Rename :", "", { 600, 1320, 855, 255 }, 22 },
        { "namegen", ControlKind::TextBox, "", "Rename the converted images.",
            { 1560, 1245, 975, 330 }, 21 },
        { "Label8", ControlKind::Label, "Name ", "", { 2640, 1320, 735, 255 }, 28 },
        { "Check1", ControlKind::CheckBox, "00,01~", "", { 3360, 1320, 1215, 255 }, 23 },
        { "Check2", ControlKind::CheckBox, "01,02~", "", { 4485, 1320, 1215, 255 }, 24 },
        { "Check3", ControlKind::CheckBox, "0,1,2,~", "", { 5595, 1320, 1215, 255 }, 25 },
        { "Check4", ControlKind::CheckBox, "1,2,3,~", "", { 6720, 1320, 1215, 255 }, 26 },
        { "Convert", ControlKind::CommandButton, "Convert &to ...",
            "Selecting a folder and converted images will be there.", { 120, 5235, 1455, 375 },
            19 },
        { "DestDir", ControlKind::TextBox, "",
            "The directory that you selected for converted images.", { 1680, 5280, 5655, 330 },
            10 },
        { "open", ControlKind::CommandButton, "&Open",
            "Go to the directory and check the converted images", { 7440, 5235, 855, 375 }, 33 },
        { "Frame2", ControlKind::Frame,
            "Convert and Wrap images as a standalone self-extracted .Exe file  ", "",
            { 120, 5760, 9015, 1335 }, 29 },
        { "Iconsel", ControlKind::CommandButton, "Se&lect icon",
            "Click this button to select an icon for standalone *.exe file.",
            { 240, 360, 1215, 375 }, 31 },
        { "iconlist", ControlKind::TextBox, "",
            "This one is system default component, you can  select one to replace it.",
            { 1560, 375, 6255, 360 }, 30 },
        { "iconlistRem", ControlKind::CommandButton, "Remov&e", "Remove all in the left text box.",
            { 7920, 360, 975, 375 }, 32 },
        { "Createalbum", ControlKind::CommandButton, "&Build",
            "This will popup a ms-dos screen firstly for editing images,then you need to type text "
            "to save images as  *.exe file.",
            { 360, 6600, 1215, 375 }, 35 },
        { "cmdSystem", ControlKind::CommandButton, "Ru&n ", "Run album *.exe file you just build.",
            { 1680, 6600, 855, 375 }, 36 },
        { "Command4", ControlKind::CommandButton, "E&xit", "Exit this program.",
            { 8040, 6600, 975, 375 }, 0 },
        { "Text4", ControlKind::TextBox, "", "", { 240, 7320, 3135, 330 }, 1 },
        { "Text5", ControlKind::TextBox, "", "", { 4800, 7320, 2655, 330 }, 3 },
        { "Command2", ControlKind::CommandButton, "&Output to folder ......", "",
            { 4920, 7800, 1815, 375 }, 9 },
        { "namef", ControlKind::TextBox, "", "", { 7080, 7800, 2175, 375 }, 27 },
    };
    frmBackupFiles form;
    ASSERT_EQ(form.controls().size(), rows.size());
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        pxw::ui::Control* control = form.control(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->kind(), row.kind);
        EXPECT_EQ(control->caption(), row.caption);
        if (std::string(row.name).starts_with("Check"))
            EXPECT_TRUE(control->toolTipText().ends_with(dots));
        else
            EXPECT_EQ(control->toolTipText(), row.toolTip);
        EXPECT_EQ(control->geometry().left, row.geometry.left);
        EXPECT_EQ(control->geometry().top, row.geometry.top);
        EXPECT_EQ(control->geometry().width, row.geometry.width);
        EXPECT_EQ(control->geometry().height, row.geometry.height);
        EXPECT_EQ(control->tabIndex(), row.tab);
    }
    EXPECT_EQ(form.Check1.toolTipText(),
        "Check the button will name the converted images since 00,01,02,03,04" + dots);
    EXPECT_EQ(form.Check3.toolTipText(),
        "Check the button will name the converted images since 0,1,2,3,4," + dots);
}

TEST(WindowModel, FramesHoldTheirControls) {
    frmBackupFiles form;
    for (auto* c : std::initializer_list<pxw::ui::Control*> { &form.Label5, &form.compressQ,
             &form.txtWidth, &form.txtHeight, &form.namegen, &form.Check1, &form.Check4 })
        EXPECT_EQ(c->container(), &form.Frame1) << c->name();
    for (auto* c : std::initializer_list<pxw::ui::Control*> {
             &form.Iconsel, &form.iconlist, &form.iconlistRem })
        EXPECT_EQ(c->container(), &form.Frame2) << c->name();
    for (auto* c : std::initializer_list<pxw::ui::Control*> {
             &form.Createalbum, &form.cmdSystem, &form.Command4, &form.FileList })
        EXPECT_EQ(c->container(), nullptr) << c->name();
}

TEST(WindowModel, FontsColoursAndLimits) {
    frmBackupFiles form;
    EXPECT_EQ(form.font().face, "Arial");
    EXPECT_EQ(form.font().points, 9);
    for (auto* c : std::initializer_list<pxw::ui::Control*> {
             &form.FBrowse, &form.Text3, &form.Label4, &form.iconlist, &form.Text4, &form.Text5 })
        EXPECT_EQ(c->font().points, 9.75) << c->name();
    EXPECT_EQ(form.Label2.font().face, "Palatino Linotype");
    EXPECT_EQ(form.Label2.font().points, 15.75);
    EXPECT_EQ(form.Label2.foreColor(), pxw::ui::Rgb(0, 0, 192));
    EXPECT_EQ(form.FileList.backColor(), pxw::ui::Rgb(241, 245, 245));
    EXPECT_EQ(form.Convert.font().points, 9);

    EXPECT_EQ(form.txtWidth.maxLength(), 4);
    EXPECT_EQ(form.txtHeight.maxLength(), 4);
    EXPECT_EQ(form.compressQ.maxLength(), 2);
    EXPECT_EQ(form.Text3.maxLength(), 3);
    for (auto* box : { &form.Text3, &form.DestDir, &form.iconlist })
        EXPECT_TRUE(box->locked()) << box->name();
    for (auto* box : { &form.txtWidth, &form.namegen, &form.compressQ, &form.namef })
        EXPECT_FALSE(box->locked()) << box->name();
    EXPECT_FALSE(form.Text4.visible());
    EXPECT_FALSE(form.Text5.visible());
    EXPECT_TRUE(form.Command2.visible());
    EXPECT_TRUE(form.namef.visible());
}

TEST(WindowModel, TabChainFollowsTheTabIndexAndSkipsLabelsFramesAndHiddenBoxes) {
    frmBackupFiles form;
    std::vector<std::string> names;
    for (auto* c : form.tabChain())
        names.push_back(c->name());
    const std::vector<std::string> expected = { "Command4", "FileList", "FBrowse", "FileRemove",
        "allClear", "Text3", "Command2", "DestDir", "compressQ", "txtHeight", "txtWidth", "Convert",
        "namegen", "Check1", "Check2", "Check3", "Check4", "namef", "iconlist", "Iconsel",
        "iconlistRem", "open", "Createalbum", "cmdSystem" };
    EXPECT_EQ(names, expected);
}

TEST(WindowModel, MenuHasHelpSeparatorAndAbout) {
    frmBackupFiles form;
    EXPECT_EQ(form.mnuHelp.caption, "&Help");
    ASSERT_EQ(form.mnuHelp.items.size(), 3u);
    EXPECT_EQ(form.mnuHelp.items[0]->name(), "mnuHelpfile");
    EXPECT_EQ(form.mnuHelp.items[0]->caption(), "&Help");
    EXPECT_TRUE(form.mnuHelp.items[1]->isSeparator());
    EXPECT_EQ(form.mnuHelp.items[2]->caption(), "&About Pixelwain");
}

TEST(Reactions, RunOnEveryChangeAndNeverOnTheSameValue) {
    frmBackupFiles form;
    int changes = 0;
    form.namegen.Change = [&] { ++changes; };
    form.namegen.setText("trip");
    form.namegen.setText("trip");
    form.namegen.setText("");
    EXPECT_EQ(changes, 2);

    int clicks = 0;
    form.Check2.Click = [&] { ++clicks; };
    form.Check2.setValue(1);
    form.Check2.setValue(1);
    form.Check2.toggle();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(form.Check2.value(), 0);
}

TEST(Reactions, NestedChangesRunOnTheSameStack) {
    frmBackupFiles form;
    std::vector<std::string> seen;
    form.txtWidth.Change = [&] {
        seen.push_back(form.txtWidth.text());
        if (form.txtWidth.text() == "9999")
            form.txtWidth.setText("300");
    };
    form.txtWidth.setText("9999");
    EXPECT_EQ(seen, (std::vector<std::string> { "9999", "300" }));
    EXPECT_EQ(form.txtWidth.text(), "300");
}

TEST(Reactions, UnfinishedCommandsDoNothing) {
    frmBackupFiles form;
    for (auto* control : form.controls()) {
        if (auto* button = dynamic_cast<pxw::ui::CommandButton*>(control))
            button->click();
    }
    form.Label2.click();
    form.mnuHelpfile.click();
    SUCCEED();
}

TEST(Reactions, ExitRunsTheUnloadReaction) {
    frmBackupFiles form;
    int unloads = 0;
    form.Unload = [&] { ++unloads; };
    form.Command4.click();
    EXPECT_EQ(unloads, 1);
}

TEST(SortedList, KeepsAscendingOrderIgnoringCase) {
    frmBackupFiles form;
    for (const char* entry :
        { "D:\\pics\\b.jpg", "C:\\Z.png", "d:\\Pics\\A.jpg", "c:\\a.gif", "D:\\pics\\b.jpg" })
        form.FileList.AddItem(entry);
    EXPECT_EQ(form.FileList.entries(),
        (std::vector<std::string> {
            "c:\\a.gif", "C:\\Z.png", "d:\\Pics\\A.jpg", "D:\\pics\\b.jpg", "D:\\pics\\b.jpg" }));
}

TEST(SortedList, CurrentEntryFollowsInsertsAndRemovals) {
    frmBackupFiles form;
    form.FileList.AddItem("b");
    form.FileList.AddItem("d");
    form.FileList.setListIndex(1); // d
    form.FileList.AddItem("a");
    EXPECT_EQ(form.FileList.List(form.FileList.ListIndex()), "d");
    form.FileList.RemoveItem(0);
    EXPECT_EQ(form.FileList.List(form.FileList.ListIndex()), "d");
    form.FileList.RemoveItem(form.FileList.ListIndex());
    EXPECT_EQ(form.FileList.ListIndex(), -1);
    form.FileList.Clear();
    EXPECT_EQ(form.FileList.ListCount(), 0);
}

TEST(GetFolder, GivesTheTextBeforeTheLastBackslash) {
    struct Row {
        const char* path;
        const char* folder;
    };
    for (const Row& row : std::initializer_list<Row> {
             { "D:\\out\\Select Folder and click Open", "D:\\out" },
             { "D:\\Select Folder and click Open", "D:" },
             { "C:\\photos\\", "C:\\photos" },
             { "no backslash", "no backslash" },
             { "", "" },
         })
        EXPECT_EQ(frmBackupFiles::GetFolder(row.path), row.folder) << row.path;
}

TEST(AboutWindow, HasItsCaptionSizeAndFourLabels) {
    pxw::ui::About about;
    EXPECT_EQ(about.caption(), "About Pixelwain");
    EXPECT_EQ(about.clientWidth(), 4680);
    EXPECT_EQ(about.clientHeight(), 3090);
    ASSERT_EQ(about.controls().size(), 4u);
    EXPECT_EQ(about.Label1.caption(), "Pixelwain ");
    EXPECT_EQ(about.Label1.font().face, "Palatino Linotype");
    EXPECT_TRUE(about.Label1.font().bold && about.Label1.font().italic);
    EXPECT_EQ(about.Label3.caption(), "Version : 1.2");
    EXPECT_EQ(about.Label4.caption(), "pixelwain.example");
    EXPECT_EQ(about.Label4.foreColor(), pxw::ui::Rgb(0, 0, 192));
    EXPECT_FALSE(about.Label2.caption().empty());
    EXPECT_EQ(about.Label2.caption().find('\n'), std::string::npos);
}
