#include "tool_reasons.h"

#include "base/text.h"

#include <unordered_map>

namespace pxw::job {

namespace {
constexpr std::string_view ToolPrefix = "lumabatch: ";
constexpr std::string_view ErrorPrefix = "lumabatch: error: ";
constexpr std::string_view HelpHint = "; try --help";

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}
} // namespace

std::map<std::string, std::string> toolReasons(
    const std::string& errorOutput, const std::vector<std::string>& names) {
    // The name as printed (escaped or not) leads to the name asked for.
    std::unordered_map<std::string, const std::string*> byPrinted;
    for (const std::string& name : names) {
        byPrinted.emplace(name, &name);
        byPrinted.emplace(base::printable(name), &name);
    }
    std::map<std::string, std::string> reasons;
    for (std::string_view line : linesOf(errorOutput)) {
        if (!line.starts_with(ToolPrefix) || line.starts_with(ErrorPrefix))
            continue;
        line.remove_prefix(ToolPrefix.size());
        // A name may hold ": " itself: the longest known name before one wins.
        const std::string* named = nullptr;
        std::size_t reasonAt = 0;
        for (std::size_t at = line.find(": "); at != std::string_view::npos;
             at = line.find(": ", at + 1)) {
            auto found = byPrinted.find(std::string(line.substr(0, at)));
            if (found != byPrinted.end()) {
                named = found->second;
                reasonAt = at + 2;
            }
        }
        if (named == nullptr)
            continue;
        std::string& reason = reasons[*named];
        reason += (reason.empty() ? "" : "; ") + base::printable(line.substr(reasonAt));
    }
    return reasons;
}

std::string toolRefusal(const std::string& errorOutput) {
    std::string words;
    for (std::string_view line : linesOf(errorOutput)) {
        if (!line.starts_with(ErrorPrefix))
            continue;
        line.remove_prefix(ErrorPrefix.size());
        if (line.ends_with(HelpHint))
            line.remove_suffix(HelpHint.size());
        words += (words.empty() ? "" : "; ") + base::printable(line);
    }
    return words.empty() ? printableReport(errorOutput) : words;
}

std::string printableReport(const std::string& errorOutput) {
    std::string report;
    for (std::string_view line : linesOf(errorOutput))
        report += (report.empty() ? "" : "\n") + base::printable(line);
    return report;
}

} // namespace pxw::job
