#pragma once

namespace pxw::platform::image_tool {

/// The image tool executable and the folder the waited launch runs it in.
inline constexpr const char* Executable = "C:\\windows\\lumaforge\\lumabatch.exe";
inline constexpr const char* WorkingFolder = "C:\\windows\\lumaforge\\";
/// The spelling the quick command line uses.
inline constexpr const char* QuickExecutable = "C:\\WINDOWS\\lumaforge\\lumabatch.exe";

} // namespace pxw::platform::image_tool
