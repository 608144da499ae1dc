#pragma once

#include "platform/toolkit.h"

#include <string>

namespace pxw::job {

/// The message box that reports how a job ended.
struct Report {
    std::string prompt;
    platform::MessageIcon icon;
    std::string title;
};

} // namespace pxw::job
