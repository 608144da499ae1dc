#include "size_fields.h"

#include <cctype>
#include <cmath>

namespace pxw::inputs {

std::optional<int> readInteger16(std::string_view text) {
    std::size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    auto isDigit = [&](std::size_t i) {
        return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
    };
    skipBlanks();
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
        skipBlanks();
    }
    std::string number;
    while (isDigit(at))
        number += text[at++];
    bool hasFraction = false;
    if (at < text.size() && text[at] == '.') {
        ++at;
        std::string fraction;
        while (isDigit(at))
            fraction += text[at++];
        if (!fraction.empty()) {
            number += "." + fraction;
            hasFraction = true;
        }
    }
    skipBlanks();
    if (at != text.size() || number.empty() || (number.front() == '.' && !hasFraction))
        return std::nullopt;
    if (number.size() > 40)
        return std::nullopt;
    double value = std::stod(number.front() == '.' ? "0" + number : number);
    if (negative)
        value = -value;
    double rounded = std::nearbyint(value); // the default rounding mode is half to even
    if (rounded < -32768 || rounded > 32767)
        return std::nullopt;
    return static_cast<int>(rounded);
}

void checkField(ui::TextBox& field, const FieldRule& rule, platform::Toolkit& toolkit) {
    std::optional<int> number = readInteger16(field.text());
    if (!number)
        return;
    if (*number > rule.upperBound || *number <= 0) {
        toolkit.messageBox(rule.warning, platform::MessageIcon::Information, "Warning");
        field.setText(rule.defaultText);
    }
}

} // namespace pxw::inputs
