#include "file_dialog.h"

#include "base/text.h"

namespace pxw::platform {

std::vector<FilterEntry> filterEntries(const std::string& filter) {
    std::vector<FilterEntry> entries;
    if (filter.empty())
        return entries;
    const std::vector<std::string> parts = base::splitAt(filter, '|');
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        FilterEntry entry { parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string() };
        if (!entry.description.empty() || !entry.patterns.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace pxw::platform
