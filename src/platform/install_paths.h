#pragma once

// Folders on the prefix's drive C:, as the program names them. The drive mapping matches names
// ignoring case, so these spellings are the program's, not the disk's.

namespace pxw::platform::install_paths {

/// The image tool's folder; the waited launch runs the tool in it.
inline constexpr const char* ToolFolder = "C:\\windows\\lumaforge";
/// The work folder: the jobs stage the listed images here and the tool converts them in place.
inline constexpr const char* WorkFolder = "c:\\windows\\pxwtemp01";

} // namespace pxw::platform::install_paths
