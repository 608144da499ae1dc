#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pxw::lumabatch {

/// Names that start with this belong to the tool's own files in progress (base::temporaryName
/// with the tags "lumabatch-out" and "lumabatch-held"): never taken as sources.
inline constexpr const char* WorkFilePrefix = ".lumabatch-";

struct SourceFile {
    std::filesystem::path path;
    std::string name;
    std::uintmax_t size = 0; ///< bytes, as listed
    bool folder = false; ///< a folder: named, but no source
};

/// The entries directly in `folder` (links followed; regular files, folders, and what else there
/// is, which the tool refuses by name), without the
/// excluded extensions (letter case ignored) and the tool's own work files; in the order the
/// window's list uses (platform::NameOrder::user()) when `sortAZ`, else in the order of the
/// names' bytes.
/// nullopt with *error set when the folder cannot be read.
std::optional<std::vector<SourceFile>> listSources(const std::filesystem::path& folder,
    const std::vector<std::string>& excludedExtensions, bool sortAZ, std::string* error);

} // namespace pxw::lumabatch
