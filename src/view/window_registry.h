#pragma once

#include "platform/toolkit.h"

#include <QPointer>
#include <QWidget>
#include <map>

namespace pxw::view {

/// Which widget shows which window of the model. Commands name windows by their model (see
/// ui::handleOf); message boxes, dialogs and modal windows look their owner's widget up here.
class WindowRegistry {
public:
    void add(platform::WindowHandle window, QWidget* view);
    /// The widget that shows `window`; nullptr when it has none, or no longer has one.
    QWidget* viewOf(platform::WindowHandle window) const;

private:
    std::map<platform::WindowHandle, QPointer<QWidget>> views_;
};

} // namespace pxw::view
