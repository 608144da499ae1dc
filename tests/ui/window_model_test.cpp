#include "ui/about.h"
#include "ui/frm_backup_files.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

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

TEST(WindowModel, ControlTextsAreTheOnesOfTheTable) {
    struct Texts {
        const char* name;
        std::string caption;
        std::string toolTip;
    };
    const std::string checkTip = "Check the button will name the converted images since ";
    const std::string dots(26, '.');
    const std::vector<Texts> table = {
        { "FBrowse", "&Select images...", "Select images for batch processing." },
        { "Label4", "Image Selected", "" },
        { "Label2", "pixelwain.example", "" },
        { "FileRemove", "&Remove", "Remove selected image in the image file list box." },
        { "allClear", "&Clear All", "Remove all images in image file list box." },
        { "Frame1", "   Image Setting     ", "" },
        { "Label5", "JPEG Compress Quality (1-99)", "" },
        { "Label6", "Image Size :", "" },
        { "Label1", "Width", "" },
        { "txtWidth", "", "Accept integer (1-5000) only" },
        { "Label3", "Height", "" },
        { "txtHeight", "", "Accept integer (1-5000) only" },
        { "Label9", "pixels (1-5000)", "" },
        { "Label7", "Rename :", "" },
        { "namegen", "", "Rename the converted images." },
        { "Label8", "Name ", "" },
        { "Check1", "00,01~", checkTip + "00,01,02,03,04" + dots },
        { "Check2", "01,02~", checkTip + "01,02,03,04,05" + dots },
        { "Check3", "0,1,2,~", checkTip + "0,1,2,3,4," + dots },
        { "Check4", "1,2,3,~", checkTip + "1,2,3,4," + dots },
        { "Convert", "Convert &to ...", "Selecting a folder and converted images will be there." },
        { "DestDir", "", "The directory that you selected for converted images." },
        { "open", "&Open", "Go to the directory and check the converted images" },
        { "Frame2", "Convert and Wrap images as a standalone self-extracted .Exe file  ", "" },
        { "Iconsel", "Se&lect icon",
            "Click this button to select an icon for standalone *.exe file." },
        { "iconlist", "",
            "This one is system default component, you can  select one to replace it." },
        { "iconlistRem", "Remov&e", "Remove all in the left text box." },
        { "Createalbum", "&Build",
            "This will popup a ms-dos screen firstly for editing images,then you need to type text "
            "to save images as  *.exe file." },
        { "cmdSystem", "Ru&n ", "Run album *.exe file you just build." },
        { "Command4", "E&xit", "Exit this program." },
        { "Command2", "&Output to folder ......", "" },
    };
    frmBackupFiles form;
    for (const Texts& row : table)
        EXPECT_NE(form.control(row.name), nullptr) << row.name;
    // A control the table leaves out shows no text of its own.
    for (const pxw::ui::Control* control : form.controls()) {
        const auto row = std::ranges::find_if(
            table, [&](const Texts& texts) { return control->name() == texts.name; });
        EXPECT_EQ(control->caption(), row == table.end() ? "" : row->caption) << control->name();
        EXPECT_EQ(control->toolTipText(), row == table.end() ? "" : row->toolTip)
            << control->name();
    }
}

TEST(WindowModel, ControlsLieInsideTheirContainerAndHaveDistinctTabIndexes) {
    frmBackupFiles form;
    std::set<int> tabIndexes;
    for (const pxw::ui::Control* control : form.controls()) {
        SCOPED_TRACE(control->name());
        tabIndexes.insert(control->tabIndex());
        const pxw::ui::Twips& place = control->geometry();
        const pxw::ui::Frame* frame = control->container();
        const int width = frame ? frame->geometry().width : form.clientWidth();
        const int height = frame ? frame->geometry().height : form.clientHeight();
        EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.left + place.width <= width);
        // These two are shown but lie below the lower edge, out of sight in the fixed window.
        if (control == &form.Command2 || control == &form.namef) {
            EXPECT_GE(place.top, height);
        } else if (control->visible()) {
            EXPECT_LE(place.top + place.height, height);
        }
    }
    EXPECT_EQ(tabIndexes.size(), form.controls().size());
    EXPECT_EQ(*tabIndexes.rbegin() + 1, static_cast<int>(form.controls().size()));
    // The naming boxes read left to right on one line.
    const pxw::ui::CheckBox* boxes[] = { &form.Check1, &form.Check2, &form.Check3, &form.Check4 };
    for (std::size_t i = 1; i < std::size(boxes); ++i) {
        EXPECT_EQ(boxes[i]->geometry().top, boxes[0]->geometry().top);
        EXPECT_GT(boxes[i]->geometry().left, boxes[i - 1]->geometry().left);
    }
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
    EXPECT_EQ(form.Label2.foreColor(), (pxw::ui::Rgb { 0, 0, 192 }));
    EXPECT_EQ(form.FileList.backColor(), (pxw::ui::Rgb { 241, 245, 245 }));
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

TEST(Reactions, ClicksWithNothingBoundChangeNothingTheViewShows) {
    frmBackupFiles form;
    int changes = 0;
    for (auto* control : form.controls())
        control->observe([&] { ++changes; });
    for (auto* control : form.controls()) {
        if (auto* button = dynamic_cast<pxw::ui::CommandButton*>(control))
            button->click();
    }
    form.Label2.click();
    form.mnuHelpfile.click();
    EXPECT_EQ(changes, 0);
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
    EXPECT_EQ(about.Label4.foreColor(), (pxw::ui::Rgb { 0, 0, 192 }));
    EXPECT_FALSE(about.Label2.caption().empty());
    EXPECT_EQ(about.Label2.caption().find('\n'), std::string::npos);
}
