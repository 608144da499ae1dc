#include "base/text.h"

#include "base/system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pxw::base {

std::vector<std::string> splitAt(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

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

std::string quotedPath(const Path& path) {
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

namespace pxw::base {

namespace {

// Code points that are valid text but change how the text around them is shown: C1 controls,
// bidi marks, embeddings, overrides and isolates, and the line and paragraph separators.
bool movesText(char32_t c) {
    return (c >= 0x80 && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f
        || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// The length of the well-formed UTF-8 sequence at the start of `text` (overlong forms and
// surrogates are not), and its code point; 0 when there is none.
std::size_t decodeUtf8(std::string_view text, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t lowest = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, code = lead & 0x1fU, lowest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, code = lead & 0x0fU, lowest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, code = lead & 0x07U, lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0U) != 0x80)
            return 0;
        code = (code << 6U) | (byte(i) & 0x3fU);
    }
    if (code < lowest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

} // namespace

std::string printable(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text.front());
        if (lead >= 0x20 && lead < 0x7f) {
            out += text.front();
            text.remove_prefix(1);
            continue;
        }
        char32_t code = 0;
        const std::size_t length = lead < 0x80 ? 0 : decodeUtf8(text, code);
        if (length == 0) {
            out += "\\x";
            out += hex[lead >> 4U];
            out += hex[lead & 0xfU];
            text.remove_prefix(1);
        } else if (movesText(code)) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "\\u{%04X}", static_cast<unsigned>(code));
            out += digits;
            text.remove_prefix(length);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

} // namespace pxw::base
