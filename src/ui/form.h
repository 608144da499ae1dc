#pragma once

#include "controls.h"
#include "menu.h"
#include "platform/toolkit.h"

#include <string>
#include <vector>

namespace pxw::ui {

/// What a window model tells its view: caption, client size, font, its menus and its controls in
/// the order they were created.
class Form {
public:
    Form(std::string name, std::string caption, int clientWidthTwips, int clientHeightTwips,
        Font font);
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    const Font& font() const { return font_; }
    const std::vector<Control*>& controls() const { return controls_; }
    Control* control(const std::string& name) const;
    /// The controls that take the focus, in keyboard order.
    std::vector<Control*> tabChain() const;
    /// The menu bar's menus, left to right; none for a window without a menu bar.
    const std::vector<Menu*>& menus() const { return menus_; }

    /// The user closes the window.
    void unload();
    Reaction Unload;

protected:
    template <typename T> T& add(T& control) {
        controls_.push_back(&control);
        return control;
    }
    void addMenu(Menu& menu) { menus_.push_back(&menu); }

private:
    std::string name_;
    std::string caption_;
    int clientWidth_;
    int clientHeight_;
    Font font_;
    std::vector<Control*> controls_;
    std::vector<Menu*> menus_;
};

/// A window's handle towards the platform is its form.
inline platform::WindowHandle handleOf(const Form& form) {
    return &form;
}

} // namespace pxw::ui
