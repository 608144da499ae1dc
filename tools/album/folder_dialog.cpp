#include "folder_dialog.h"

#include <FL/Fl.H>
#include <filesystem>

namespace fs = std::filesystem;

namespace pxw::zip {

// FLTK's own folder chooser completes what is typed with the first entry of its list ("../"
// among them), so Enter took another folder than the one typed. Here the line is never rewritten.
FolderDialog::FolderDialog(const char* title, const std::string& startFolder)
    : window_(460, 360, title)
    , path_(70, 280, 380, 26, "&Folder:")
    , list_(10, 10, 440, 260)
    , ok_(240, 320, 100, 30, "OK")
    , cancel_(350, 320, 100, 30, "Cancel") {
    window_.end();
    window_.resizable(list_);
    window_.set_modal();
    list_.type(FL_HOLD_BROWSER);
    list_.when(FL_WHEN_RELEASE_ALWAYS); // a double click on the selected line too
    list_.filetype(Fl_File_Browser::DIRECTORIES);
    list_.callback(
        [](Fl_Widget*, void* self) { static_cast<FolderDialog*>(self)->listClicked(); }, this);
    path_.when(FL_WHEN_ENTER_KEY_ALWAYS);
    path_.callback(
        [](Fl_Widget*, void* self) { static_cast<FolderDialog*>(self)->accept(); }, this);
    ok_.callback([](Fl_Widget*, void* self) { static_cast<FolderDialog*>(self)->accept(); }, this);
    // Cancel, Escape and closing the window leave the dialog without an answer.
    const auto cancel
        = [](Fl_Widget*, void* self) { static_cast<FolderDialog*>(self)->answered_ = true; };
    cancel_.callback(cancel, this);
    window_.callback(cancel, this);

    list(startFolder);
    path_.value(listed_.c_str());
    path_.position(path_.size(), 0); // all of it selected, so that typing replaces it
    path_.take_focus();
}

std::optional<std::string> FolderDialog::run() {
    window_.show();
    while (!answered_ && window_.shown())
        Fl::wait();
    window_.hide();
    return answer_;
}

void FolderDialog::list(const std::string& folder) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error).lexically_normal();
    listed_ = error ? folder : absolute.string();
    if (listed_.size() > 1 && listed_.back() == '/')
        listed_.pop_back();
    list_.load(listed_.c_str());
}

void FolderDialog::accept() {
    const std::string typed = path_.value();
    if (typed.empty())
        return;
    answer_ = typed.front() == '/' ? typed : (fs::path(listed_) / typed).string();
    answered_ = true;
}

void FolderDialog::listClicked() {
    const int line = list_.value();
    if (line < 1 || !list_.text(line))
        return;
    std::string name = list_.text(line);
    if (!name.empty() && name.back() == '/')
        name.pop_back();
    const fs::path folder
        = name == ".." ? fs::path(listed_).parent_path() : fs::path(listed_) / name;
    const bool mouse = Fl::event() == FL_PUSH || Fl::event() == FL_RELEASE;
    if (mouse && Fl::event_clicks()) {
        list(folder.string());
        path_.value(listed_.c_str());
    } else {
        path_.value(folder.c_str());
    }
}

} // namespace pxw::zip
