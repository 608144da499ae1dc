#include "base/text.h"

#include "base/system.h"

#include <algorithm>
#include <cctype>

namespace pxw::base {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool sameLetter(char x, char y) {
    return lower(x) == lower(y);
}

} // namespace

std::string errorText(int code) {
    if (code == 0)
        return "unexpected end of file";
    return sys::errnoText(code);
}

std::string inQuotes(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

std::string quotedPath(const std::filesystem::path& path) {
    return inQuotes(sys::pathText(path));
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameLetter);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size()
        && equalIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t findIgnoringCase(std::string_view text, std::string_view what) {
    auto found = std::search(text.begin(), text.end(), what.begin(), what.end(), sameLetter);
    return found == text.end() && !what.empty() ? std::string_view::npos
                                                : static_cast<std::size_t>(found - text.begin());
}

} // namespace pxw::base
