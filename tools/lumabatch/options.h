#pragma once

#include "exit_status.h"
#include "naming.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pxw::lumabatch {

inline constexpr int MaxSide = 5000;
inline constexpr int DefaultQuality = 90;
inline constexpr int DefaultTimeLimit = 60;

/// What one run of the tool is asked to do, as read from its command line.
struct Options {
    std::string sourceFolder; ///< as typed: Windows-style or a host path
    std::string destinationFolder;
    std::optional<int> width; ///< no value: no limit
    std::optional<int> height;
    bool keepProportions = false;
    std::optional<NameTemplate> names; ///< no value: keep each source's base name
    int quality = DefaultQuality;
    bool sortAZ = false;
    std::vector<std::string> excludedExtensions; ///< without the dot
    bool removeSources = false;
    bool overwrite = false;
    std::optional<int> dpiHorizontal;
    std::optional<int> dpiVertical;
    int timeLimitSeconds = DefaultTimeLimit; ///< per file
};

/// Either the options to go on with, or the exit status to end with at once (after --help,
/// or after a usage error has been written to `err`).
using ParseResult = std::variant<Options, ExitStatus>;

/// Reads the arguments (argv without the program name, already split). Prints --help to
/// `out`; a bad command line gives one line "lumabatch: error: ...; try --help" on `err`.
ParseResult parseCommandLine(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace pxw::lumabatch
