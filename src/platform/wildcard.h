#pragma once

// The file-name wildcards of deleteFiles, matched alike on every system: Windows' own matching
// also looks at the short 8.3 names, so that "*.jpg" would take "photo.jpeg" there.

#include <string>
#include <string_view>

namespace pxw::platform {

/// Windows wildcard matching, ignoring letter case: `*` any run, `?` one character; a pattern
/// ending in ".*" also matches names without a dot ("*.*" matches every name), and one ending
/// in "." matches only names without a dot.
bool matchesWildcard(std::string_view pattern, std::string_view name);

/// A wildcard path split into its folder (with its trailing separator, empty for the current
/// folder) and the pattern of its last component.
struct WildcardPath {
    std::string folder;
    std::string pattern;
};

/// "C:\pics\*.jpg" gives "C:\pics\" and "*.jpg"; "C:*.jpg" the drive's root, as a drive's
/// current folder is on this program's drives.
WildcardPath splitWildcardPath(const std::string& wildcard);

} // namespace pxw::platform
