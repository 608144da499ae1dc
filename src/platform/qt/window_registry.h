#pragma once

#include "platform/toolkit.h"

#include <QPointer>
#include <QWidget>
#include <map>

namespace pxw::platform::qt {

/// Which widget shows which window of the model. Commands name windows by their model (see
/// ui::handleOf); message boxes, dialogs and modal windows look their owner's widget up here.
class WindowRegistry {
public:
    void add(WindowHandle window, QWidget* view);
    /// The widget that shows `window`; nullptr when it has none, or no longer has one.
    QWidget* viewOf(WindowHandle window) const;

private:
    std::map<WindowHandle, QPointer<QWidget>> views_;
};

} // namespace pxw::platform::qt
