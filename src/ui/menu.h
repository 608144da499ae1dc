#pragma once

#include "controls.h"

#include <string>
#include <vector>

namespace pxw::ui {

class MenuItem {
public:
    MenuItem(std::string name, std::string caption, bool separator = false);
    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    bool isSeparator() const { return separator_; }
    void click();
    Reaction Click;

private:
    std::string name_;
    std::string caption_;
    bool separator_;
};

/// A menu on the menu bar with its items in order.
struct Menu {
    std::string name;
    std::string caption;
    std::vector<MenuItem*> items;
};

} // namespace pxw::ui
