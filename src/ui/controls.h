#pragma once

// The window model's controls. Each holds what its widget shows; setting a value runs the
// control's reaction at once, on the caller's stack, and setting the value it already holds
// runs nothing. A view observes the controls and mirrors them; it holds no state of its own.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pxw::ui {

/// A caption as a label shows it: an `&` marks an access key and is not drawn; `&&` is one `&`.
std::string withoutAccessKeyMarks(const std::string& caption);

/// Left, top, width, height in twips (15 twips are one pixel at 96 dpi).
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline constexpr int TwipsPerPixel = 15;

struct Font {
    std::string face = "Arial";
    double points = 9;
    bool bold = false;
    bool italic = false;
};

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// Dark blue of the web-address labels.
inline constexpr Rgb LinkBlue { 0, 0, 192 };

enum class ControlKind { CommandButton, TextBox, CheckBox, ListBox, Label, Frame };

using Reaction = std::function<void()>;

class Frame;

class Control {
public:
    Control(std::string name, ControlKind kind, Twips geometry, int tabIndex);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    /// Relative to the enclosing frame when there is one, else to the window's client area.
    const Twips& geometry() const { return geometry_; }
    int tabIndex() const { return tabIndex_; }
    /// Labels and frames never take the focus; hidden controls neither.
    bool takesFocus() const;

    const std::string& caption() const { return caption_; }
    const std::string& toolTipText() const { return toolTip_; }
    void setToolTipText(std::string text);
    const Font& font() const { return font_; }
    bool visible() const { return visible_; }
    const std::optional<Rgb>& foreColor() const { return foreColor_; }
    const std::optional<Rgb>& backColor() const { return backColor_; }
    Frame* container() const { return container_; }

    /// The view registers here to mirror changes of the control.
    void observe(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

    // Design-time set-up, used while the window is built.
    Control& withCaption(std::string caption);
    Control& withToolTip(std::string toolTip);
    Control& withFont(Font font);
    Control& hidden();
    Control& withForeColor(Rgb color);
    Control& withBackColor(Rgb color);
    Control& inside(Frame& frame);

protected:
    void notifyObservers();

private:
    std::string name_;
    ControlKind kind_;
    Twips geometry_;
    int tabIndex_;
    std::string caption_;
    std::string toolTip_;
    Font font_;
    bool visible_ = true;
    std::optional<Rgb> foreColor_;
    std::optional<Rgb> backColor_;
    Frame* container_ = nullptr;
    std::vector<std::function<void()>> observers_;
};

class CommandButton : public Control {
public:
    CommandButton(std::string name, Twips geometry, int tabIndex);
    /// A press by the user, by keyboard or mouse.
    void click();
    Reaction Click;
};

class Label : public Control {
public:
    Label(std::string name, Twips geometry, int tabIndex);
    void click();
    Reaction Click;
};

class Frame : public Control {
public:
    Frame(std::string name, Twips geometry, int tabIndex);
};

class TextBox : public Control {
public:
    TextBox(std::string name, Twips geometry, int tabIndex);
    const std::string& text() const { return text_; }
    /// Runs Change when the text differs from the current one.
    void setText(std::string text);
    bool locked() const { return locked_; }
    /// Typing limit in characters; 0 for none. Limits the user, not the program.
    int maxLength() const { return maxLength_; }

    TextBox& withText(std::string text);
    TextBox& readOnly();
    TextBox& withMaxLength(int characters);

    Reaction Change;

private:
    std::string text_;
    bool locked_ = false;
    int maxLength_ = 0;
};

class CheckBox : public Control {
public:
    CheckBox(std::string name, Twips geometry, int tabIndex);
    /// 0 clear, 1 checked.
    int value() const { return value_; }
    /// Runs Click when the state changes.
    void setValue(int value);
    /// A click by the user toggles the state.
    void toggle() { setValue(value_ == 0 ? 1 : 0); }
    Reaction Click;

private:
    int value_ = 0;
};

/// A sorted single-selection list box: entries in the order of lessIgnoringCase.
class ListBox : public Control {
public:
    ListBox(std::string name, Twips geometry, int tabIndex);

    /// Adds an entry at its place in the order; an equal entry goes after those already there.
    void AddItem(const std::string& entry);
    /// Adds many entries at once, each at its place in the order as AddItem puts it, and tells
    /// the observers once.
    void AddItems(std::vector<std::string> entries);
    /// Removes the entry at `index`; the current entry becomes none when it was removed.
    void RemoveItem(int index);
    void Clear();
    int ListCount() const { return static_cast<int>(entries_.size()); }
    const std::string& List(int index) const {
        return entries_.at(static_cast<std::size_t>(index));
    }
    const std::vector<std::string>& entries() const { return entries_; }
    bool Selected(int index) const { return index >= 0 && index == listIndex_; }
    /// The current entry, -1 for none.
    int ListIndex() const { return listIndex_; }
    /// Selecting an entry runs Click, as a user's click does.
    void setListIndex(int index);
    /// Image files dropped onto the list, as Windows-style paths.
    void drop(const std::vector<std::string>& paths);

    Reaction Click;
    std::function<void(const std::vector<std::string>&)> DragDrop;

private:
    std::vector<std::string> entries_;
    int listIndex_ = -1;
};

/// Orders texts as the sorted list box does: as the desktop lists names, in the user's
/// language, ignoring letter case (platform::NameOrder::user()).
bool lessIgnoringCase(const std::string& a, const std::string& b);

} // namespace pxw::ui
