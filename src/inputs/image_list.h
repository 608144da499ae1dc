#pragma once

#include "platform/services.h"
#include "ui/frm_backup_files.h"

#include <string>
#include <vector>

namespace pxw::inputs {

/// The filter of the image dialog: ten description/pattern pairs, the first in force.
inline constexpr const char* ImageFilter
    = "Image Files (*.jpg)|*.jpg|(*.gif)|*.gif|(*.tif)|*.tif|(*.tiff)|*.tiff|(*.png)|*.png|"
      "(*.psd)|*.psd|(*.bmp)|*.bmp|(*.pcd)|*.pcd|(*.jpeg2000)|*.jp2|(*.mac)|*.mac";
inline constexpr long ImageDialogFlags = 2626052; // 0x281204
inline constexpr int ImageDialogMaxFileSize = 5200;

/// The paths a dialog answer names: one full path, or a folder and names separated by NULs.
std::vector<std::string> pathsFromDialogAnswer(const std::string& fileName);

/// Whether a file name carries one of the extensions the image dialog offers.
bool isListedImageType(const std::string& path);
/// Whether a file name carries the extension of a type the image tool converts.
bool isConvertedImageType(const std::string& path);

/// The commands of the image list: add, show entry path, remove, clear, count refresh.
class ImageList {
public:
    ImageList(ui::frmBackupFiles& form, platform::Services& services);

    void FBrowse_Click();
    void FileList_Click();
    void FileRemove_Click();
    void allClear_Click();
    void Text3_Change();
    /// Files and folders dropped from a file manager: the image files among them, and in the
    /// folders and their subfolders, are added unless already listed. One message names what
    /// was left out.
    void FileList_DragDrop(const std::vector<std::string>& paths);

private:
    void add(std::vector<std::string> paths);
    void writeCount();

    ui::frmBackupFiles& form_;
    platform::Services& services_;
};

} // namespace pxw::inputs
