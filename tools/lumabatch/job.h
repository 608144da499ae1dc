#pragma once

#include "exit_status.h"
#include "options.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace pxw::platform {
class DriveMap;
}

namespace pxw::lumabatch {

/// The folder a folder value of the command line names; nullopt with *error set when none.
using FolderResolver
    = std::function<std::optional<std::filesystem::path>(std::string_view, std::string* error)>;

/// Host folder for a folder value of the command line on Linux: a value starting with / is a
/// host path as it stands, anything else a Windows-style path mapped through `drives`.
std::optional<std::filesystem::path> resolveFolder(
    std::string_view value, const platform::DriveMap& drives, std::string* error);

struct JobSettings {
    bool showProgressBar = false;
    unsigned filesInFlight = 0; ///< 0: one per processor
    /// The progress window program to show during the run; none: no window.
    std::optional<std::filesystem::path> windowProgram;
    /// Where the image reader programs lie; empty: beside the tool's own executable.
    std::filesystem::path readerFolder;
};

/// Runs one batch: takes the list of sources, converts them in parallel into work files in
/// the destination, then gives the outputs their names and removes the sources (-remsrc).
/// No output ever replaces a source whose own output is not yet in place, nor a source that
/// could not be converted. Failures are reported on `err`, one line each.
ExitStatus runJob(const Options& options, const FolderResolver& resolveFolder, std::ostream& err,
    const JobSettings& settings = {});
/// The same with the folders mapped through `drives` (Linux).
ExitStatus runJob(const Options& options, const platform::DriveMap& drives, std::ostream& err,
    const JobSettings& settings = {});

/// Asks a running job to stop (safe in a signal handler): it starts no new file, abandons the
/// files in flight and removes their work files, places the outputs finished by then (and
/// removes their sources with -remsrc), and ends with ExitStatus::Cancelled.
void requestStop();

} // namespace pxw::lumabatch
