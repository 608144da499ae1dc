#include "frm_backup_files.h"

#include "platform/install_paths.h"

namespace pxw::ui {

namespace {
const Font Arial975 { "Arial", 9.75 };
const std::string CheckTipStart = "Check the button will name the converted images since ";
const std::string Dots26(26, '.');
} // namespace

frmBackupFiles::frmBackupFiles()
    : Form("frmBackupFiles", "Pixelwain V1.2", 9585, 7215, Font { "Arial", 9 })
    , FBrowse("FBrowse", { 120, 240, 1815, 360 }, 4)
    , Text3("Text3", { 2280, 240, 375, 360 }, 7)
    , Label4("Label4", { 2760, 285, 1575, 345 }, 8)
    , Label2("Label2", { 6000, 120, 2655, 495 }, 34)
    , FileList("FileList", { 120, 720, 8145, 2340 }, 2)
    , FileRemove("FileRemove", { 8400, 1080, 990, 450 }, 5)
    , allClear("allClear", { 8400, 2400, 990, 450 }, 6)
    , Frame1("Frame1", { 120, 3240, 8175, 1815 }, 11)
    , Label5("Label5", { 600, 360, 2655, 255 }, 12)
    , compressQ("compressQ", { 3240, 330, 375, 330 }, 13)
    , Label6("Label6", { 600, 840, 1095, 255 }, 14)
    , Label1("Label1", { 1800, 840, 495, 255 }, 17)
    , txtWidth("txtWidth", { 2300, 765, 615, 330 }, 16)
    , Label3("Label3", { 3000, 840, 735, 255 }, 20)
    , txtHeight("txtHeight", { 3600, 765, 615, 330 }, 15)
    , Label9("Label9", { 4320, 840, 1815, 255 }, 18)
    , Label7("Label7", { 600, 1320, 855, 255 }, 22)
    , namegen("namegen", { 1560, 1245, 975, 330 }, 21)
    , Label8("Label8", { 2640, 1320, 735, 255 }, 28)
    , Check1("Check1", { 3360, 1320, 1215, 255 }, 23)
    , Check2("Check2", { 4485, 1320, 1215, 255 }, 24)
    , Check3("Check3", { 5595, 1320, 1215, 255 }, 25)
    , Check4("Check4", { 6720, 1320, 1215, 255 }, 26)
    , Convert("Convert", { 120, 5235, 1455, 375 }, 19)
    , DestDir("DestDir", { 1680, 5280, 5655, 330 }, 10)
    , open("open", { 7440, 5235, 855, 375 }, 33)
    , Frame2("Frame2", { 120, 5760, 9015, 1335 }, 29)
    , Iconsel("Iconsel", { 240, 360, 1215, 375 }, 31)
    , iconlist("iconlist", { 1560, 375, 6255, 360 }, 30)
    , iconlistRem("iconlistRem", { 7920, 360, 975, 375 }, 32)
    , Createalbum("Createalbum", { 360, 6600, 1215, 375 }, 35)
    , cmdSystem("cmdSystem", { 1680, 6600, 855, 375 }, 36)
    , Command4("Command4", { 8040, 6600, 975, 375 }, 0)
    , Text4("Text4", { 240, 7320, 3135, 330 }, 1)
    , Text5("Text5", { 4800, 7320, 2655, 330 }, 3)
    , Command2("Command2", { 4920, 7800, 1815, 375 }, 9)
    , namef("namef", { 7080, 7800, 2175, 375 }, 27)
    , mnuHelpfile("mnuHelpfile", "&Help")
    , mnuBr3("mnuBr3", "-", true)
    , mnuHelp_About("mnuHelp_About", "&About Pixelwain")
    , mnuHelp { "mnuHelp", "&Help", { &mnuHelpfile, &mnuBr3, &mnuHelp_About } } {
    addMenu(mnuHelp);
    add(FBrowse)
        .withCaption("&Select images...")
        .withToolTip("Select images for batch processing.")
        .withFont(Arial975);
    add(Text3).readOnly().withMaxLength(3).withFont(Arial975);
    add(Label4).withCaption("Image Selected").withForeColor({ 0, 0, 0 }).withFont(Arial975);
    add(Label2)
        .withCaption(MakerWebAddress)
        .withForeColor(LinkBlue)
        .withFont({ "Palatino Linotype", 15.75 });
    add(FileList).withBackColor({ 241, 245, 245 });
    add(FileRemove)
        .withCaption("&Remove")
        .withToolTip("Remove selected image in the image file list box.");
    add(allClear)
        .withCaption("&Clear All")
        .withToolTip("Remove all images in image file list box.");

    add(Frame1).withCaption("   Image Setting     ");
    add(Label5).withCaption("JPEG Compress Quality (1-99)").inside(Frame1);
    add(compressQ).withText("90").withMaxLength(2).inside(Frame1);
    add(Label6).withCaption("Image Size :").inside(Frame1);
    add(Label1).withCaption("Width").inside(Frame1);
    add(txtWidth)
        .withText("300")
        .withMaxLength(4)
        .withToolTip("Accept integer (1-5000) only")
        .inside(Frame1);
    add(Label3).withCaption("Height").inside(Frame1);
    add(txtHeight)
        .withText("400")
        .withMaxLength(4)
        .withToolTip("Accept integer (1-5000) only")
        .inside(Frame1);
    add(Label9).withCaption("pixels (1-5000)").inside(Frame1);
    add(Label7).withCaption("Rename :").inside(Frame1);
    add(namegen).withToolTip("Rename the converted images.").inside(Frame1);
    add(Label8).withCaption("Name ").inside(Frame1);
    add(Check1)
        .withCaption("00,01~")
        .withToolTip(CheckTipStart + "00,01,02,03,04" + Dots26)
        .inside(Frame1);
    add(Check2)
        .withCaption("01,02~")
        .withToolTip(CheckTipStart + "01,02,03,04,05" + Dots26)
        .inside(Frame1);
    add(Check3)
        .withCaption("0,1,2,~")
        .withToolTip(CheckTipStart + "0,1,2,3,4," + Dots26)
        .inside(Frame1);
    add(Check4)
        .withCaption("1,2,3,~")
        .withToolTip(CheckTipStart + "1,2,3,4," + Dots26)
        .inside(Frame1);

    add(Convert)
        .withCaption("Convert &to ...")
        .withToolTip("Selecting a folder and converted images will be there.");
    add(DestDir).readOnly().withToolTip("The directory that you selected for converted images.");
    add(open).withCaption("&Open").withToolTip(
        "Go to the directory and check the converted images");

    add(Frame2).withCaption("Convert and Wrap images as a standalone self-extracted .Exe file  ");
    add(Iconsel)
        .withCaption("Se&lect icon")
        .withToolTip("Click this button to select an icon for standalone *.exe file.")
        .inside(Frame2);
    add(iconlist)
        .withText("c:\\windows\\forpxw\\pxwicon.ico")
        .readOnly()
        .withToolTip("This one is system default component, you can  select one to replace it.")
        .withFont(Arial975)
        .inside(Frame2);
    add(iconlistRem)
        .withCaption("Remov&e")
        .withToolTip("Remove all in the left text box.")
        .inside(Frame2);

    add(Createalbum)
        .withCaption("&Build")
        .withToolTip("This will popup a ms-dos screen firstly for editing images,then you need to "
                     "type text to "
                     "save images as  *.exe file.");
    add(cmdSystem).withCaption("Ru&n ").withToolTip("Run album *.exe file you just build.");
    add(Command4).withCaption("E&xit").withToolTip("Exit this program.");

    add(Text4).withText(platform::install_paths::WorkFolder).hidden().withFont(Arial975);
    add(Text5).withText(platform::install_paths::ToolFolder).hidden().withFont(Arial975);
    add(Command2).withCaption("&Output to folder ......");
    add(namef);

    SaveDialog.DialogTitle = "Save images as a standalone Exe file...";
    SaveDialog.DefaultExt = "exe";
    SaveDialog.Filter = "*.exe";
    SaveDialog.CancelError = true;

    // The Exit button does what the close box does.
    Command4.Click = [this] { unload(); };
}

void frmBackupFiles::Form_Load() {
    Check1.setValue(1);
}

std::string frmBackupFiles::GetFolder(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

} // namespace pxw::ui
