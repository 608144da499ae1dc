#include "window_registry.h"

namespace pxw::platform::qt {

void WindowRegistry::add(WindowHandle window, QWidget* view) {
    views_[window] = view;
}

QWidget* WindowRegistry::viewOf(WindowHandle window) const {
    auto found = views_.find(window);
    return found == views_.end() ? nullptr : found->second.data();
}

} // namespace pxw::platform::qt
