#pragma once

#include "platform/toolkit.h"

#include <string>

namespace pxw::job {

/// The message box that reports how a job ended.
struct Report {
    std::string prompt;
    platform::MessageIcon icon;
    std::string title;
    std::string details = {}; ///< the whole list the prompt only begins, when it is long
};

/// Shows `report` in a message box, with its details when it has some.
inline void show(const Report& report, platform::Toolkit& toolkit) {
    if (report.details.empty())
        toolkit.messageBox(report.prompt, report.icon, report.title);
    else
        toolkit.detailedMessageBox(report.prompt, report.icon, report.title, report.details);
}

} // namespace pxw::job
