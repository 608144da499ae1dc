#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <optional>
#include <string>

namespace pxw::zip {

/// Asks for a folder: the folders of one folder in a list, and a line with the answer. The answer
/// is the line exactly as typed (a folder that does not exist yet too), taken by Enter or OK; a
/// name that is not a full path is taken inside the listed folder. A click on a folder in the list
/// puts it on the line, a double click lists its folders.
class FolderDialog {
public:
    FolderDialog(const char* title, const std::string& startFolder);

    /// Shows the dialog and waits for the answer; nullopt for Cancel, Escape or closing it.
    std::optional<std::string> run();

    Fl_Double_Window& window() { return window_; }
    Fl_Input& pathInput() { return path_; }
    Fl_File_Browser& folderList() { return list_; }
    bool answered() const { return answered_; }
    const std::optional<std::string>& answer() const { return answer_; }

private:
    void list(const std::string& folder);
    void accept();
    void listClicked();

    Fl_Double_Window window_;
    Fl_Input path_; // first in the Tab order
    Fl_File_Browser list_;
    Fl_Return_Button ok_;
    Fl_Button cancel_;
    std::string listed_; // the folder whose folders the list shows
    bool answered_ = false;
    std::optional<std::string> answer_;
};

} // namespace pxw::zip
