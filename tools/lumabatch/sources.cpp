#include "sources.h"

#include "job_system.h"
#include "lumabatch/inside/text_util.h"
#include "platform/names.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

bool isExcluded(const std::string& name, const std::vector<std::string>& excludedExtensions) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string_view extension = std::string_view(name).substr(dot + 1);
    return std::any_of(excludedExtensions.begin(), excludedExtensions.end(),
        [&](const std::string& excluded) { return equalIgnoringCase(extension, excluded); });
}

} // namespace

std::optional<std::vector<SourceFile>> listSources(const fs::path& folder,
    const std::vector<std::string>& excludedExtensions, bool sortAZ, std::string* error) {
    std::vector<SourceFile> sources;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        // The status of what a link points to, taken without opening anything: a FIFO's open
        // would wait for a writer.
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);
        if (statusError || !fs::exists(status))
            continue;
        std::string name = sys::pathText(it->path().filename());
        if (name.starts_with(WorkFilePrefix) || isExcluded(name, excludedExtensions))
            continue;
        const bool regular = fs::is_regular_file(status);
        const std::uintmax_t size = regular ? it->file_size(statusError) : 0;
        sources.push_back(
            { it->path(), std::move(name), statusError ? 0 : size, fs::is_directory(status) });
    }
    if (ec) {
        if (error)
            *error = "cannot read folder " + sys::pathText(folder) + ": " + ec.message();
        return std::nullopt;
    }
    if (sortAZ) {
        std::sort(sources.begin(), sources.end(), [](const SourceFile& a, const SourceFile& b) {
            return platform::NameOrder::user().less(a.name, b.name);
        });
    } else {
        std::sort(sources.begin(), sources.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
    }
    return sources;
}

} // namespace pxw::lumabatch
