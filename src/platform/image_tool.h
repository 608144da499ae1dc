#pragma once

#include "install_paths.h"

#include <string>

namespace pxw::platform::image_tool {

/// The image tool executable and the folder the waited launch runs it in.
inline std::string executable() {
    return std::string(install_paths::ToolFolder) + "\\lumabatch.exe";
}
inline std::string workingFolder() {
    return std::string(install_paths::ToolFolder) + "\\";
}
/// The spelling the quick command line uses (it shows on that line as it stands here).
inline constexpr const char* QuickExecutable = "C:\\WINDOWS\\lumaforge\\lumabatch.exe";

/// The environment variable that hands a started program its show state (the nShow of its
/// launch), as Windows hands it over in the start-up information. Absent means hidden.
inline constexpr const char* ShowStateVariable = "PIXELWAIN_SHOW";
/// The tool's exit status for a run it refused outright (bad settings, an unusable folder):
/// nothing was done.
inline constexpr int RefusedExitCode = 2;
/// The tool's exit status after the user cancelled its run.
inline constexpr int CancelledExitCode = 3;

} // namespace pxw::platform::image_tool
