#include "base/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace pxw::base {

namespace {

// glibc gives the GNU strerror_r, which returns the text; other C libraries the POSIX one,
// which fills the buffer. strerror itself may share one buffer between threads.
[[maybe_unused]] const char* strerrorResult(const char* text, const char* /*buffer*/) {
    return text;
}
[[maybe_unused]] const char* strerrorResult(int result, const char* buffer) {
    return result == 0 ? buffer : "unknown error";
}

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
    char buffer[256] = {};
    return strerrorResult(::strerror_r(code, buffer, sizeof buffer), buffer);
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
    return inQuotes(std::string_view(path.native()));
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
