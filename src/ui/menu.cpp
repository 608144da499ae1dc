#include "menu.h"

namespace pxw::ui {

MenuItem::MenuItem(std::string name, std::string caption, bool separator)
    : name_(std::move(name))
    , caption_(std::move(caption))
    , separator_(separator) {
}

void MenuItem::click() {
    if (Click)
        Click();
}

} // namespace pxw::ui
