#pragma once

#include "album_command.h"
#include "albumfile/album_reader.h"
#include "picture.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pxw::zip {

/// The questions and messages of the album window, apart from it so that tests can answer them.
class AlbumDialogs {
public:
    struct ClashReply {
        ClashAnswer answer = ClashAnswer::cancel;
        bool forAll = false; // "Do the same for all" was ticked
    };

    virtual ~AlbumDialogs() = default;
    /// The folder to save the images into; nullopt when the user cancels.
    virtual std::optional<std::string> chooseFolder() = 0;
    /// Replace, Keep both or Cancel, for an image whose name a file in `folder` has.
    virtual ClashReply askClash(const std::string& name, const std::string& folder) = 0;
    virtual void tell(const std::string& message, bool problem) = 0;
};

/// The dialogs as FLTK windows.
class FltkDialogs final : public AlbumDialogs {
public:
    explicit FltkDialogs(std::string title)
        : title_(std::move(title)) { }
    std::optional<std::string> chooseFolder() override;
    ClashReply askClash(const std::string& name, const std::string& folder) override;
    void tell(const std::string& message, bool problem) override;

private:
    std::string title_;
};

/// Shows one picture scaled to fit, its proportions kept, or a line saying why there is none.
/// A click on its left half asks for the previous image, on its right half for the next one.
class ImageBox final : public Fl_Widget {
public:
    ImageBox(int x, int y, int width, int height);

    void setPicture(Picture picture, std::string failure);
    /// Called with true for "next", false for "previous".
    void onStep(std::function<void(bool)> step) { step_ = std::move(step); }
    const Picture& picture() const { return picture_; }
    /// Where the picture is drawn, relative to the box: x, y, width, height.
    std::array<int, 4> pictureRect() const;

    void draw() override;
    int handle(int event) override;

private:
    Picture picture_;
    Picture shown_; // picture_ scaled to the box, made again when the box changes size
    std::string failure_;
    std::function<void(bool)> step_;
};

/// The album's window: one image at a time, decoded when it is shown, moved through with the
/// arrow keys, Home and End, the buttons (Alt+P, Alt+N) or a click on the image, and a button
/// (Alt+S) that saves all images into a folder. Its icon is the icon the album carries.
class AlbumWindow final : public Fl_Double_Window {
public:
    AlbumWindow(AlbumReader& album, std::string albumName, AlbumDialogs& dialogs);

    int currentIndex() const { return current_; }
    int imageCount() const { return static_cast<int>(album_.entries().size()); }
    std::string captionText() const { return caption_->label() ? caption_->label() : ""; }
    ImageBox* imageBox() const { return view_; }
    Fl_Button* previousButton() const { return previous_; }
    Fl_Button* nextButton() const { return next_; }
    Fl_Button* saveButton() const { return save_; }
    /// The images of the window icon, as decoded from the album's icon.
    const std::vector<Picture>& iconPictures() const { return icons_; }

    void showImage(int index);
    void showNext();
    void showPrevious();
    /// What the save button does: asks for a folder, saves, and tells how it went.
    void saveAll();

    int handle(int event) override;

private:
    void setIcon();

    AlbumReader& album_;
    std::string albumName_;
    AlbumDialogs& dialogs_;
    int current_ = -1;
    std::vector<Picture> icons_;
    ImageBox* view_;
    Fl_Button* previous_;
    Fl_Box* caption_;
    Fl_Button* next_;
    Fl_Button* save_;
};

} // namespace pxw::zip
