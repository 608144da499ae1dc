#pragma once

#include "platform/image_tool.h"

namespace pxw::lumabatch {

/// The tool's exit status, as callers and scripts read it.
enum class ExitStatus {
    AllDone = 0, ///< every file converted (or nothing to convert)
    SomeFailed = 1, ///< at least one file failed or an output was kept; the others are done
    NothingDone = 2, ///< bad command line or unusable folder; nothing was touched
    /// stopped by the user: outputs finished by then are in place, the rest untouched
    Cancelled = platform::image_tool::CancelledExitCode,
};

inline int toExitCode(ExitStatus status) {
    return static_cast<int>(status);
}

} // namespace pxw::lumabatch
