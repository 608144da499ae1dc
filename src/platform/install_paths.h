#pragma once

// Folders on drive C:, as the program names them: on Linux on the prefix's drive C:, whose
// mapping matches names ignoring case; on Windows the folders themselves, under the Windows
// folder, whose names ignore case too. So these spellings are the program's, not the disk's.

namespace pxw::platform::install_paths {

/// The image tool's folder; the waited launch runs the tool in it.
inline constexpr const char* ToolFolder = "C:\\windows\\lumaforge";
/// The work folder: the jobs stage the listed images here and the tool converts them in place.
inline constexpr const char* WorkFolder = "c:\\windows\\pxwtemp01";

} // namespace pxw::platform::install_paths
