#pragma once

namespace pxw::platform::image_tool {

/// The image tool executable and the folder the waited launch runs it in.
inline constexpr const char* Executable = "C:\\windows\\lumaforge\\lumabatch.exe";
inline constexpr const char* WorkingFolder = "C:\\windows\\lumaforge\\";
/// The spelling the quick command line uses.
inline constexpr const char* QuickExecutable = "C:\\WINDOWS\\lumaforge\\lumabatch.exe";

/// The environment variable that hands a started program its show state (the nShow of its
/// launch), as Windows hands it over in the start-up information. Absent means hidden.
inline constexpr const char* ShowStateVariable = "PIXELWAIN_SHOW";
/// The tool's exit status after the user cancelled its run.
inline constexpr int CancelledExitCode = 3;

} // namespace pxw::platform::image_tool
