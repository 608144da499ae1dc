#include "text_util.h"

#include <algorithm>
#include <cctype>

namespace pxw::lumabatch {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return lower(x) == lower(y);
    });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::size_t findIgnoringCase(std::string_view text, std::string_view what) {
    auto found = std::search(text.begin(), text.end(), what.begin(), what.end(),
        [](char x, char y) { return lower(x) == lower(y); });
    return found == text.end() && !what.empty() ? std::string_view::npos
                                                : static_cast<std::size_t>(found - text.begin());
}

std::string oneLine(std::string_view text) {
    std::string result;
    bool pendingBreak = false;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            pendingBreak = true;
            continue;
        }
        if (pendingBreak && !result.empty())
            result += "; ";
        pendingBreak = false;
        result += c;
    }
    auto notBlank = [](char c) { return c != ' ' && c != '\t'; };
    auto first = std::find_if(result.begin(), result.end(), notBlank);
    auto last = std::find_if(result.rbegin(), result.rend(), notBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace pxw::lumabatch
