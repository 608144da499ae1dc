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
/// The extensions of the image files the tool converts (letter case aside).
inline constexpr const char* ConvertedExtensions[]
    = { ".jpg", ".jpeg", ".jpe", ".gif", ".tif", ".tiff", ".png", ".psd", ".bmp", ".pcd", ".jp2",
          ".j2k", ".jpf", ".webp", ".heic", ".heif", ".mac", ".pnt", ".pntg" };

/// The environment variables that hand the tool's progress window (which inherits the tool's
/// environment) the title of the run as the user asked for it, and the place of the program's
/// window as "x y width height" in screen pixels, to open over it.
inline constexpr const char* ProgressTitleVariable = "LUMAPROGRESS_TITLE";
inline constexpr const char* ProgressOwnerVariable = "LUMAPROGRESS_OWNER";

/// The tool's exit status for a run it refused outright (bad settings, an unusable folder):
/// nothing was done.
inline constexpr int RefusedExitCode = 2;
/// The tool's exit status after the user cancelled its run.
inline constexpr int CancelledExitCode = 3;

} // namespace pxw::platform::image_tool
