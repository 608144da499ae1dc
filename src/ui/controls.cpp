#include "controls.h"

#include "platform/names.h"

#include <algorithm>

namespace pxw::ui {

std::string withoutAccessKeyMarks(const std::string& caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&')
                shown += caption[++i];
            continue;
        }
        shown += caption[i];
    }
    return shown;
}

Control::Control(std::string name, ControlKind kind, Twips geometry, int tabIndex)
    : name_(std::move(name))
    , kind_(kind)
    , geometry_(geometry)
    , tabIndex_(tabIndex) {
}

bool Control::takesFocus() const {
    return visible_ && kind_ != ControlKind::Label && kind_ != ControlKind::Frame;
}

void Control::setToolTipText(std::string text) {
    if (text == toolTip_)
        return;
    toolTip_ = std::move(text);
    notifyObservers();
}

Control& Control::withCaption(std::string caption) {
    caption_ = std::move(caption);
    return *this;
}

Control& Control::withToolTip(std::string toolTip) {
    toolTip_ = std::move(toolTip);
    return *this;
}

Control& Control::withFont(Font font) {
    font_ = std::move(font);
    return *this;
}

Control& Control::hidden() {
    visible_ = false;
    return *this;
}

Control& Control::withForeColor(Rgb color) {
    foreColor_ = color;
    return *this;
}

Control& Control::withBackColor(Rgb color) {
    backColor_ = color;
    return *this;
}

Control& Control::inside(Frame& frame) {
    container_ = &frame;
    return *this;
}

void Control::notifyObservers() {
    for (const auto& observer : observers_)
        observer();
}

CommandButton::CommandButton(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::CommandButton, geometry, tabIndex) {
}

void CommandButton::click() {
    if (Click)
        Click();
}

Label::Label(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::Label, geometry, tabIndex) {
}

void Label::click() {
    if (Click)
        Click();
}

Frame::Frame(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::Frame, geometry, tabIndex) {
}

TextBox::TextBox(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::TextBox, geometry, tabIndex) {
}

void TextBox::setText(std::string text) {
    if (text == text_)
        return;
    text_ = std::move(text);
    notifyObservers();
    if (Change)
        Change();
}

TextBox& TextBox::withText(std::string text) {
    text_ = std::move(text);
    return *this;
}

TextBox& TextBox::readOnly() {
    locked_ = true;
    return *this;
}

TextBox& TextBox::withMaxLength(int characters) {
    maxLength_ = characters;
    return *this;
}

CheckBox::CheckBox(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::CheckBox, geometry, tabIndex) {
}

void CheckBox::setValue(int value) {
    value = value == 0 ? 0 : 1;
    if (value == value_)
        return;
    value_ = value;
    notifyObservers();
    if (Click)
        Click();
}

ListBox::ListBox(std::string name, Twips geometry, int tabIndex)
    : Control(std::move(name), ControlKind::ListBox, geometry, tabIndex) {
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return platform::NameOrder::user().less(a, b);
}

void ListBox::AddItem(const std::string& entry) {
    auto place = std::upper_bound(entries_.begin(), entries_.end(), entry, lessIgnoringCase);
    int index = static_cast<int>(place - entries_.begin());
    entries_.insert(place, entry);
    if (listIndex_ >= index)
        ++listIndex_;
    notifyObservers();
}

void ListBox::AddItems(std::vector<std::string> entries) {
    if (entries.empty())
        return;
    // Sorted once and merged, where one AddItem after the other moves the tail each time.
    std::stable_sort(entries.begin(), entries.end(), lessIgnoringCase);
    const auto currentAt = static_cast<std::size_t>(std::max(listIndex_, 0));
    std::vector<std::string> merged;
    merged.reserve(entries_.size() + entries.size());
    std::size_t old = 0;
    int newIndex = -1;
    for (std::string& entry : entries) {
        // An equal entry goes after those already there, as AddItem puts it.
        while (old < entries_.size() && !lessIgnoringCase(entry, entries_[old])) {
            if (listIndex_ >= 0 && old == currentAt)
                newIndex = static_cast<int>(merged.size());
            merged.push_back(std::move(entries_[old++]));
        }
        merged.push_back(std::move(entry));
    }
    for (; old < entries_.size(); ++old) {
        if (listIndex_ >= 0 && old == currentAt)
            newIndex = static_cast<int>(merged.size());
        merged.push_back(std::move(entries_[old]));
    }
    entries_ = std::move(merged);
    listIndex_ = newIndex;
    notifyObservers();
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= ListCount())
        return;
    entries_.erase(entries_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
    notifyObservers();
}

void ListBox::Clear() {
    if (entries_.empty() && listIndex_ == -1)
        return;
    entries_.clear();
    listIndex_ = -1;
    notifyObservers();
}

void ListBox::setListIndex(int index) {
    if (index < -1 || index >= ListCount())
        return;
    bool changed = index != listIndex_;
    listIndex_ = index;
    if (changed)
        notifyObservers();
    if (index != -1 && Click)
        Click();
}

void ListBox::drop(const std::vector<std::string>& paths) {
    if (DragDrop)
        DragDrop(paths);
}

} // namespace pxw::ui
