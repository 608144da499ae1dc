#pragma once

#include "platform/file_system.h"
#include "platform/status.h"

#include <string>
#include <vector>

namespace pxw::job {

/// One list entry that could not be copied into the work folder.
struct StagingFailure {
    std::string entry;
    std::string reason;
};

struct StagingResult {
    std::vector<std::string> stagedNames; ///< names in the work folder, in list order
    std::vector<std::string> stagedEntries; ///< the list entry of each staged name
    std::vector<StagingFailure> failures;
};

/// Copies every entry into the work folder under its own file name, replacing files left
/// there by earlier runs. Within one pass a later entry whose name is already taken gets a
/// distinct name ("IMG_0001 (2).jpg"), so two images of the same name from different folders
/// are both converted. A copy that fails is reported and the next entry is copied.
StagingResult stageEntries(const std::vector<std::string>& entries, const std::string& workFolder,
    platform::FileSystem& files);

/// The name an entry gets in the work folder, given the names already used in this pass
/// (compared ignoring case, since the work folder is matched that way).
std::string distinctStagingName(const std::string& name, const std::vector<std::string>& used);

} // namespace pxw::job
