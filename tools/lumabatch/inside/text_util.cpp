#include "text_util.h"

#include <algorithm>

namespace pxw::lumabatch {

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
