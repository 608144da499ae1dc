#include "album_window.h"

#include "base/text.h"
#include "folder_dialog.h"
#include "ico_decoder.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <algorithm>
#include <memory>

namespace pxw::zip {

namespace {

constexpr int barHeight = 44;
const Fl_Color backdrop = fl_rgb_color(40, 40, 40);

// A picture of FLTK's own image, which may be grey (1 or 2 bytes a pixel) or colour.
Picture pictureOf(const Fl_RGB_Image& image) {
    Picture picture { image.w(), image.h(), image.d(), {} };
    if (picture.empty() || image.count() < 1 || !image.data()[0] || image.d() < 1 || image.d() > 4)
        return {};
    const auto* bits = reinterpret_cast<const unsigned char*>(image.data()[0]);
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * picture.channels;
    const std::size_t stride = image.ld() ? static_cast<std::size_t>(image.ld()) : rowBytes;
    for (int y = 0; y < picture.height; ++y)
        picture.pixels.insert(
            picture.pixels.end(), bits + stride * y, bits + stride * y + rowBytes);
    return picture;
}

constexpr int MinimumWidth = 320;
constexpr int MinimumHeight = 240;

} // namespace

std::optional<std::string> FltkDialogs::chooseFolder() {
    FolderDialog dialog("Save all images into a folder", ".");
    return dialog.run();
}

AlbumDialogs::ClashReply FltkDialogs::askClash(const std::string& name, const std::string& folder) {
    Fl_Double_Window dialog(460, 150, title_.c_str());
    const std::string text = base::inQuotes(name) + " is already in the folder "
        + base::inQuotes(folder) + ".\nReplace that file with the album's image, or keep both?";
    Fl_Box message(12, 10, 436, 60, text.c_str());
    message.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_WRAP);
    Fl_Check_Button all(12, 74, 300, 24, "&Do the same for all");
    Fl_Button replace(12, 110, 120, 30, "&Replace");
    Fl_Return_Button keepBoth(142, 110, 150, 30, "&Keep both");
    Fl_Button cancel(348, 110, 100, 30, "Cancel");
    dialog.end();
    dialog.set_modal();

    ClashReply reply;
    bool answered = false;
    struct Choice {
        Fl_Widget* widget;
        ClashAnswer answer;
        ClashReply* reply;
        bool* answered;
    };
    Choice choices[] = { { &replace, ClashAnswer::replace, &reply, &answered },
        { &keepBoth, ClashAnswer::keepBoth, &reply, &answered },
        { &cancel, ClashAnswer::cancel, &reply, &answered },
        { &dialog, ClashAnswer::cancel, &reply, &answered } }; // Escape, or closing it
    for (Choice& choice : choices)
        choice.widget->callback(
            [](Fl_Widget*, void* data) {
                auto* chosen = static_cast<Choice*>(data);
                chosen->reply->answer = chosen->answer;
                *chosen->answered = true;
            },
            &choice);
    dialog.show();
    while (!answered && dialog.shown())
        Fl::wait();
    reply.forAll = all.value() != 0;
    return reply;
}

void FltkDialogs::tell(const std::string& message, bool problem) {
    fl_message_title(title_.c_str());
    if (problem)
        fl_alert("%s", message.c_str());
    else
        fl_message("%s", message.c_str());
}

ImageBox::ImageBox(int x, int y, int width, int height)
    : Fl_Widget(x, y, width, height) {
    box(FL_FLAT_BOX);
    color(backdrop);
}

void ImageBox::setPicture(Picture picture, std::string failure) {
    picture_ = std::move(picture);
    shown_ = {};
    failure_ = std::move(failure);
    redraw();
}

std::array<int, 4> ImageBox::pictureRect() const {
    const Size size = fittedSize(picture_.width, picture_.height, w(), h());
    return { (w() - size.width) / 2, (h() - size.height) / 2, size.width, size.height };
}

void ImageBox::draw() {
    draw_box();
    if (picture_.empty()) {
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA, 15);
        fl_draw(failure_.c_str(), x() + 20, y(), w() - 40, h(), FL_ALIGN_CENTER | FL_ALIGN_WRAP);
        return;
    }
    const auto [left, top, width, height] = pictureRect();
    if (shown_.width != width || shown_.height != height)
        shown_ = scaled(picture_, { width, height });
    if (!shown_.empty())
        fl_draw_image(shown_.pixels.data(), x() + left, y() + top, width, height, shown_.channels);
}

int ImageBox::handle(int event) {
    if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE && step_) {
        step_(Fl::event_x() - x() >= w() / 2);
        return 1;
    }
    return Fl_Widget::handle(event);
}

namespace {
// 800 x 640, or less where the screen's work area is smaller, so that the window with the
// frame its window manager adds fits the screen it opens on.
Size openingSize() {
    int left = 0, top = 0, width = 0, height = 0;
    Fl::screen_work_area(left, top, width, height);
    constexpr int Frame = 48;
    return { std::clamp(width - Frame, MinimumWidth, 800),
        std::clamp(height - Frame, MinimumHeight, 640) };
}
} // namespace

AlbumWindow::AlbumWindow(AlbumReader& album, std::string albumName, AlbumDialogs& dialogs)
    : Fl_Double_Window(openingSize().width, openingSize().height)
    , album_(album)
    , albumName_(std::move(albumName))
    , dialogs_(dialogs) {
    view_ = new ImageBox(0, 0, w(), h() - barHeight);
    auto* bar = new Fl_Group(0, h() - barHeight, w(), barHeight);
    const int top = h() - barHeight + 7;
    previous_ = new Fl_Button(8, top, 110, 30, "< &Previous");
    caption_ = new Fl_Box(124, top, w() - 124 - 290, 30);
    next_ = new Fl_Button(w() - 286, top, 110, 30, "&Next >");
    save_ = new Fl_Button(w() - 168, top, 160, 30, "&Save all images...");
    bar->resizable(caption_);
    bar->end();
    end();
    resizable(view_);
    size_range(MinimumWidth, MinimumHeight);

    // The arrow keys belong to the window, so the buttons never take the focus from it.
    for (Fl_Button* button : { previous_, next_, save_ })
        button->clear_visible_focus();
    previous_->callback(
        [](Fl_Widget*, void* self) { static_cast<AlbumWindow*>(self)->showPrevious(); }, this);
    next_->callback(
        [](Fl_Widget*, void* self) { static_cast<AlbumWindow*>(self)->showNext(); }, this);
    save_->callback(
        [](Fl_Widget*, void* self) { static_cast<AlbumWindow*>(self)->saveAll(); }, this);
    view_->onStep([this](bool forward) { forward ? showNext() : showPrevious(); });

    setIcon();
    showImage(0);
}

void AlbumWindow::setIcon() {
    std::string bytes;
    if (!album_.readIcon(bytes))
        return;
    std::vector<IconImage> images = decodeIco(bytes, nullptr);
    for (const IconImage& image : images) {
        if (!image.png.empty()) {
            Fl_PNG_Image png(nullptr, reinterpret_cast<const unsigned char*>(image.png.data()),
                static_cast<int>(image.png.size()));
            Picture picture = png.fail() ? Picture {} : pictureOf(png);
            if (!picture.empty())
                icons_.push_back(std::move(picture));
        } else {
            icons_.push_back(image.pixels);
        }
    }
    std::vector<std::unique_ptr<Fl_RGB_Image>> owned;
    std::vector<const Fl_RGB_Image*> shown;
    for (const Picture& picture : icons_) {
        owned.push_back(std::make_unique<Fl_RGB_Image>(
            picture.pixels.data(), picture.width, picture.height, picture.channels));
        shown.push_back(owned.back().get());
    }
    // The window keeps copies.
    if (!shown.empty())
        icons(shown.data(), static_cast<int>(shown.size()));
}

void AlbumWindow::showImage(int index) {
    if (imageCount() == 0) {
        current_ = -1;
        view_->setPicture({}, "This album holds no images.");
        caption_->copy_label("");
        copy_label(albumName_.c_str());
        previous_->deactivate();
        next_->deactivate();
        save_->deactivate();
        return;
    }
    current_ = std::clamp(index, 0, imageCount() - 1);
    const std::string& name = album_.entries()[static_cast<std::size_t>(current_)].name;

    // Only the image shown is read and decoded, at most at the size of the screen.
    std::string bytes, why;
    Picture picture;
    if (auto read = album_.readEntry(static_cast<std::size_t>(current_), bytes); !read)
        why = read.message();
    else if (picture = decodeJpeg(bytes, std::max(Fl::w(), w()), std::max(Fl::h(), h()), &why);
             picture.empty())
        why = base::inQuotes(name) + " is not an image that can be shown: " + why;
    view_->setPicture(std::move(picture), why);

    caption_->copy_label(
        (name + "  (" + std::to_string(current_ + 1) + " of " + std::to_string(imageCount()) + ")")
            .c_str());
    copy_label((name + " - " + albumName_).c_str());
    current_ > 0 ? previous_->activate() : previous_->deactivate();
    current_ + 1 < imageCount() ? next_->activate() : next_->deactivate();
}

void AlbumWindow::showNext() {
    if (current_ + 1 < imageCount())
        showImage(current_ + 1);
}

void AlbumWindow::showPrevious() {
    if (current_ > 0)
        showImage(current_ - 1);
}

void AlbumWindow::saveAll() {
    std::optional<std::string> folder = dialogs_.chooseFolder();
    if (!folder)
        return;
    std::optional<ClashAnswer> forAll;
    ExtractReport report = album_.extractAll(*folder, [&](const std::string& name) {
        if (forAll)
            return *forAll;
        AlbumDialogs::ClashReply reply = dialogs_.askClash(name, *folder);
        if (reply.forAll)
            forAll = reply.answer;
        return reply.answer;
    });
    if (!report.cancelled)
        dialogs_.tell(saveReportText(report, *folder), !report.status);
}

int AlbumWindow::handle(int event) {
    if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
        switch (Fl::event_key()) {
        case FL_Left:
            showPrevious();
            return 1;
        case FL_Right:
            showNext();
            return 1;
        case FL_Home:
            showImage(0);
            return 1;
        case FL_End:
            showImage(imageCount() - 1);
            return 1;
        default:
            break;
        }
    }
    return Fl_Double_Window::handle(event);
}

} // namespace pxw::zip
