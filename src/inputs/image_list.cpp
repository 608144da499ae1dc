#include "image_list.h"

#include "base/text.h"
#include "platform/image_tool.h"
#include "platform/windows_path.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace pxw::inputs {

namespace {
std::string trimBlanks(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
} // namespace

std::vector<std::string> pathsFromDialogAnswer(const std::string& fileName) {
    std::string text = trimBlanks(fileName);
    if (text.find('\0') == std::string::npos)
        return { text };
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t nul = text.find('\0', start);
        parts.push_back(text.substr(start, nul - start));
        if (nul == std::string::npos)
            break;
        start = nul + 1;
    }
    std::string folder = parts.front();
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < parts.size(); ++i)
        paths.push_back(folder + parts[i]);
    return paths;
}

bool isListedImageType(const std::string& path) {
    static const char* const extensions[]
        = { ".jpg", ".gif", ".tif", ".tiff", ".png", ".psd", ".bmp", ".pcd", ".jp2", ".mac" };
    return std::any_of(std::begin(extensions), std::end(extensions), [&](const char* extension) {
        return path.size() > std::strlen(extension) && base::endsWithIgnoringCase(path, extension);
    });
}

bool isConvertedImageType(const std::string& path) {
    return std::any_of(std::begin(platform::image_tool::ConvertedExtensions),
        std::end(platform::image_tool::ConvertedExtensions), [&](const char* extension) {
            return path.size() > std::strlen(extension)
                && base::endsWithIgnoringCase(path, extension);
        });
}

namespace {
// What a drop brings, sorted out.
struct DropHaul {
    std::unordered_set<std::string> listed; ///< in the list, or taken by this drop
    std::vector<std::string> images;
    std::vector<std::string> notImages;
    int alreadyListed = 0;
};

// Deep enough for any photo tree.
constexpr int MaxFolderDepth = 32;

void collect(const std::string& path, bool isFolder, int depth, platform::FileSystem& files,
    DropHaul& haul) {
    if (isFolder) {
        if (depth >= MaxFolderDepth)
            return;
        for (const platform::FolderEntry& entry : files.listFolder(path)) {
            // A linked folder inside may lead back to its parent, again and again.
            if (!(entry.isFolder && entry.isLink))
                collect(path + "\\" + entry.name, entry.isFolder, depth + 1, files, haul);
        }
    } else if (!isConvertedImageType(path)) {
        haul.notImages.push_back(path);
    } else if (haul.listed.insert(path).second) {
        haul.images.push_back(path);
    } else {
        ++haul.alreadyListed;
    }
}

std::string filesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " file was" : " files were");
}
} // namespace

ImageList::ImageList(ui::frmBackupFiles& form, platform::Services& services)
    : form_(form)
    , services_(services) {
}

void ImageList::FBrowse_Click() {
    platform::FileDialog& dialog = form_.rDialog;
    dialog.CancelError = true;
    dialog.DialogTitle = "Select image Files for Pixelwain";
    dialog.Filter = ImageFilter;
    dialog.FilterIndex = 1;
    dialog.FileName.clear();
    dialog.Flags = ImageDialogFlags;
    dialog.MaxFileSize = ImageDialogMaxFileSize;

    switch (services_.dialogs.showOpen(dialog, ui::handleOf(form_))) {
    case platform::DialogResult::Confirmed:
        add(pathsFromDialogAnswer(dialog.FileName));
        break;
    case platform::DialogResult::Cancelled:
        break;
    case platform::DialogResult::Failed:
        // The names of the chosen files do not fit the dialog's answer: say so rather than
        // drop the whole selection without a word.
        services_.toolkit.messageBox("Too many files were selected at once. Please select fewer "
                                     "files at a time.",
            platform::MessageIcon::Exclamation, "Pixelwain");
        break;
    }
}

void ImageList::FileList_DragDrop(const std::vector<std::string>& paths) {
    DropHaul haul;
    haul.listed.insert(form_.FileList.entries().begin(), form_.FileList.entries().end());
    for (const std::string& path : paths) {
        std::string trimmed = path;
        while (trimmed.size() > 3 && base::isPathSeparator(trimmed.back()))
            trimmed.pop_back();
        collect(trimmed, services_.files.folderExists(trimmed), 0, services_.files, haul);
    }
    if (!haul.images.empty())
        add(std::move(haul.images));
    std::string prompt;
    if (!haul.notImages.empty()) {
        prompt = filesText(haul.notImages.size())
            + (haul.notImages.size() == 1 ? " not added because it is not an image:"
                                          : " not added because they are not images:");
        for (std::size_t i = 0; i < haul.notImages.size() && i < 10; ++i)
            prompt
                += (i == 0 ? " " : ", ") + base::printable(platform::fileNameOf(haul.notImages[i]));
        prompt += haul.notImages.size() > 10
            ? " and " + std::to_string(haul.notImages.size() - 10) + " more."
            : ".";
    }
    if (haul.alreadyListed > 0) {
        prompt += (prompt.empty() ? "" : "\n")
            + filesText(static_cast<std::size_t>(haul.alreadyListed))
            + (haul.alreadyListed == 1 ? " not added because it is already in the list."
                                       : " not added because they are already in the list.");
    }
    if (!prompt.empty())
        services_.toolkit.messageBox(prompt, platform::MessageIcon::Information, "Pixelwain");
}

void ImageList::add(std::vector<std::string> paths) {
    form_.FileList.AddItems(std::move(paths));
    writeCount();
}

void ImageList::FileList_Click() {
    for (int i = 0; i < form_.FileList.ListCount(); ++i) {
        if (form_.FileList.Selected(i)) {
            form_.FileList.setToolTipText(form_.FileList.List(i));
            return;
        }
    }
}

void ImageList::FileRemove_Click() {
    if (form_.FileList.ListCount() == 0) {
        services_.toolkit.messageBox(
            "Nothing to remove!", platform::MessageIcon::Exclamation, "Pixelwain");
        return;
    }
    if (form_.FileList.ListIndex() != -1)
        form_.FileList.RemoveItem(form_.FileList.ListIndex());
    writeCount();
}

void ImageList::allClear_Click() {
    if (form_.FileList.ListCount() == 0) {
        services_.toolkit.messageBox(
            "Nothing is in the list box!", platform::MessageIcon::Exclamation, "Pixelwain");
        return;
    }
    form_.FileList.Clear();
    writeCount();
}

void ImageList::Text3_Change() {
    writeCount();
}

void ImageList::writeCount() {
    form_.Text3.setText(std::to_string(form_.FileList.ListCount()));
}

} // namespace pxw::inputs
