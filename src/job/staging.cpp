#include "staging.h"

#include "platform/names.h"
#include "platform/windows_path.h"

#include <unordered_set>

namespace pxw::job {

namespace {
// The name an entry gets, given the keys (platform::nameKeyIgnoringCase) of the names taken:
// the drive mapping's own rule, so a name it would match to a staged file is taken. One look-up
// per candidate keeps a long list linear.
std::string distinctName(const std::string& name, const std::unordered_set<std::string>& taken) {
    if (!taken.contains(platform::nameKeyIgnoringCase(name)))
        return name;
    std::size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!taken.contains(platform::nameKeyIgnoringCase(candidate)))
            return candidate;
    }
}
} // namespace

std::string distinctStagingName(const std::string& name, const std::vector<std::string>& used) {
    std::unordered_set<std::string> taken;
    for (const std::string& u : used)
        taken.insert(platform::nameKeyIgnoringCase(u));
    return distinctName(name, taken);
}

StagingResult stageEntries(const std::vector<std::string>& entries, const std::string& workFolder,
    platform::FileSystem& files) {
    StagingResult result;
    std::unordered_set<std::string> taken;
    for (const std::string& entry : entries) {
        std::string name = distinctName(platform::fileNameOf(entry), taken);
        platform::Status status = files.copyFile(entry, workFolder + "\\" + name);
        if (status) {
            taken.insert(platform::nameKeyIgnoringCase(name));
            result.stagedNames.push_back(std::move(name));
            result.stagedEntries.push_back(entry);
        } else {
            result.failures.push_back({ entry, status.message() });
        }
    }
    return result;
}

} // namespace pxw::job
