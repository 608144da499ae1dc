#include "field_number.h"

#include <string>

namespace pxw::platform {

std::optional<int> readFieldNumber(std::string_view text) {
    std::size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    // Compared by hand rather than with std::isdigit, which follows the locale.
    auto isDigit
        = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };

    skipBlanks();
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at++] == '-';
        skipBlanks();
    }
    long whole = 0;
    bool anyDigit = false;
    for (; isDigit(at); ++at) {
        anyDigit = true;
        whole = whole * 10 + (text[at] - '0');
        if (whole > 100000)
            return std::nullopt;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t fractionStart = at;
        while (isDigit(at))
            ++at;
        const std::string_view fraction = text.substr(fractionStart, at - fractionStart);
        anyDigit = anyDigit || !fraction.empty();
        // Decided on the digits themselves, so "2.5000000000000000001" is above a half.
        if (!fraction.empty() && fraction[0] >= '5') {
            const bool exactlyHalf = fraction[0] == '5'
                && fraction.find_first_not_of('0', 1) == std::string_view::npos;
            if (!exactlyHalf || whole % 2 == 1)
                ++whole;
        }
    }
    skipBlanks();
    if (!anyDigit || at != text.size())
        return std::nullopt;
    const long value = negative ? -whole : whole;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace pxw::platform
