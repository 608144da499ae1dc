#include "form.h"

#include <algorithm>

namespace pxw::ui {

Form::Form(
    std::string name, std::string caption, int clientWidthTwips, int clientHeightTwips, Font font)
    : name_(std::move(name))
    , caption_(std::move(caption))
    , clientWidth_(clientWidthTwips)
    , clientHeight_(clientHeightTwips)
    , font_(std::move(font)) {
}

Control* Form::control(const std::string& name) const {
    auto found = std::find_if(
        controls_.begin(), controls_.end(), [&](const Control* c) { return c->name() == name; });
    return found == controls_.end() ? nullptr : *found;
}

void Form::unload() {
    if (Unload)
        Unload();
}

std::vector<Control*> Form::tabChain() const {
    std::vector<Control*> chain;
    std::copy_if(controls_.begin(), controls_.end(), std::back_inserter(chain),
        [](const Control* c) { return c->takesFocus(); });
    std::stable_sort(chain.begin(), chain.end(),
        [](const Control* a, const Control* b) { return a->tabIndex() < b->tabIndex(); });
    return chain;
}

} // namespace pxw::ui
