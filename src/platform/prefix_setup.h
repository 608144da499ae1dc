#pragma once

// The prefix, made and repaired on every start the way Wine makes its own: the drive table,
// and links from the Windows places the program uses to the files installed on this machine.
// The programs are installed once (system-wide by the package, or by the from-source
// installer under ~/.local); every user's prefix only links to them.

#include "host_file_system.h"
#include "status.h"

#include <filesystem>
#include <vector>

namespace pxw::platform {

/// Where the installed files lie: the program folder that holds the running program, and the
/// data folder beside it (<root>/lib/pixelwain and <root>/share/pixelwain), so an installation
/// works wherever its root was unpacked.
struct Installation {
    std::filesystem::path programFolder;
    std::filesystem::path dataFolder;

    static Installation around(const std::filesystem::path& programFolder);
};

/// The list, inside the prefix, of the entries the set-up made there.
inline constexpr const char* MadeListName = "made-by-pixelwain";

/// Makes what is missing in `prefix`, and updates the entries it made before when they point at
/// another installation. What the user put there (another link, a file, an extra drive letter)
/// is never changed or removed. A prefix made by the earlier installer, which copied the
/// programs into it, has those copies replaced by links once. The failure names the prefix and
/// every reason; whatever could be made is made.
Status setUpPrefix(
    HostFileSystem& files, const std::filesystem::path& prefix, const Installation& installed);

/// The from-source installer's menu entry (marked X-Pixelwain-Source-Install) gives way to the
/// package's entry of the same id: when one of `systemEntries` exists, `userEntry` is removed.
void retireSourceMenuEntry(HostFileSystem& files, const std::filesystem::path& userEntry,
    const std::vector<std::filesystem::path>& systemEntries);

} // namespace pxw::platform
