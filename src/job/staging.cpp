#include "staging.h"

#include "platform/names.h"
#include "platform/windows_path.h"

#include <algorithm>

namespace pxw::job {

namespace {
// The drive mapping's own rule: a name it would match to a staged file is taken.
bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return platform::sameNameIgnoringCase(a, b);
}
} // namespace

std::string distinctStagingName(const std::string& name, const std::vector<std::string>& used) {
    auto taken = [&](const std::string& candidate) {
        return std::any_of(used.begin(), used.end(),
            [&](const std::string& u) { return sameIgnoringCase(u, candidate); });
    };
    if (!taken(name))
        return name;
    std::size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!taken(candidate))
            return candidate;
    }
}

StagingResult stageEntries(const std::vector<std::string>& entries, const std::string& workFolder,
    platform::FileSystem& files) {
    StagingResult result;
    for (const std::string& entry : entries) {
        std::string name = distinctStagingName(platform::fileNameOf(entry), result.stagedNames);
        platform::Status status = files.copyFile(entry, workFolder + "\\" + name);
        if (status) {
            result.stagedNames.push_back(name);
        } else {
            result.failures.push_back({ entry, status.message() });
        }
    }
    return result;
}

} // namespace pxw::job
