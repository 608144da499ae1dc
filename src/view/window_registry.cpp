#include "window_registry.h"

namespace pxw::view {

void WindowRegistry::add(platform::WindowHandle window, QWidget* view) {
    views_[window] = view;
}

QWidget* WindowRegistry::viewOf(platform::WindowHandle window) const {
    auto found = views_.find(window);
    return found == views_.end() ? nullptr : found->second.data();
}

} // namespace pxw::view
