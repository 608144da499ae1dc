#pragma once

#include "controls.h"
#include "form.h"
#include "platform/file_dialog.h"
#include "platform/file_system.h"

#include <memory>
#include <string>

namespace pxw::ui {

/// The maker's web address, shown on the link labels.
inline constexpr const char* MakerWebAddress = "pixelwain.example";

/// The main window: every control of the program with its start value. The controls are the
/// program's state; commands read them when they run.
class frmBackupFiles : public Form {
public:
    frmBackupFiles();

    /// The load reaction: checks Check1, which builds the first naming template.
    void Form_Load();

    /// The text before the last backslash of `path`, or the whole path when it holds none.
    static std::string GetFolder(const std::string& path);

    // Top area: the image list.
    CommandButton FBrowse;
    TextBox Text3;
    Label Label4;
    Label Label2;
    ListBox FileList;
    CommandButton FileRemove;
    CommandButton allClear;

    Frame Frame1;
    Label Label5;
    TextBox compressQ;
    Label Label6;
    Label Label1;
    TextBox txtWidth;
    Label Label3;
    TextBox txtHeight;
    Label Label9;
    Label Label7;
    TextBox namegen;
    Label Label8;
    CheckBox Check1;
    CheckBox Check2;
    CheckBox Check3;
    CheckBox Check4;

    CommandButton Convert;
    TextBox DestDir;
    CommandButton open;

    Frame Frame2;
    CommandButton Iconsel;
    TextBox iconlist;
    CommandButton iconlistRem;

    CommandButton Createalbum;
    CommandButton cmdSystem;
    CommandButton Command4;

    TextBox Text4;
    TextBox Text5;
    CommandButton Command2;
    TextBox namef;

    MenuItem mnuHelpfile;
    MenuItem mnuBr3;
    MenuItem mnuHelp_About;
    Menu mnuHelp;

    platform::FileDialog rDialog;
    platform::FileDialog unziptofolder;
    platform::FileDialog iconselect;
    platform::FileDialog SaveDialog;

    /// The output folder last picked, ending in a backslash; empty until the first pick.
    std::string gFolderPath;

    /// True while a command waits for the image tool; the commands that start a job refuse to
    /// start a second one meanwhile, since both would work on the one work folder.
    bool waitingForTool = false;
    /// This window's hold on the work folder, kept after a run that was not waited for until
    /// the next job takes the folder again, so the image tool can take its own hold first.
    std::unique_ptr<platform::FolderLock> workFolderHold;
};

} // namespace pxw::ui
