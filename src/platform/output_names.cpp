#include "output_names.h"

#include "base/text.h"

#include <algorithm>
#include <charconv>

namespace pxw::platform {

using base::equalIgnoringCase;
using base::findIgnoringCase;

namespace {

constexpr std::string_view CounterOpen = "[counter";
constexpr int MaxDigits = 18;

bool readWhole(std::string_view text, std::uint64_t& value) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc {} && end == text.data() + text.size();
}

std::optional<NameTemplate> refuse(std::string* error, std::string message) {
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

} // namespace

bool hasJpegExtension(std::string_view name) {
    for (std::string_view extension : { ".jpg", ".jpeg", ".jpe" }) {
        if (name.size() >= extension.size()
            && equalIgnoringCase(name.substr(name.size() - extension.size()), extension))
            return true;
    }
    return false;
}

std::string keptBaseName(std::string_view sourceName) {
    std::size_t dot = sourceName.rfind('.');
    std::string_view stem
        = (dot == std::string_view::npos || dot == 0) ? sourceName : sourceName.substr(0, dot);
    return std::string(stem) + ".jpg";
}

std::optional<NameTemplate> NameTemplate::parse(std::string_view text, std::string* error) {
    const std::string quoted = base::inQuotes(text);
    if (text.find('\\') != std::string_view::npos || text.find('/') != std::string_view::npos
        || text.find("..") != std::string_view::npos)
        return refuse(error,
            "-namegen=" + quoted
                + " would write outside the destination folder (no \\, / or .. in names)");

    // Not in a file name: a NUL would cut it short, a line break would split the report.
    if (std::any_of(text.begin(), text.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return refuse(error, "-namegen= holds a control character, which no file name may hold");

    std::size_t open = findIgnoringCase(text, CounterOpen);
    if (open == std::string_view::npos)
        return refuse(error, "-namegen=" + quoted + " has no [counterN;S] (e.g. [counter2;0].jpg)");
    std::size_t close = text.find(']', open);
    if (close == std::string_view::npos)
        return refuse(error, "-namegen=" + quoted + " has an unclosed [counter");
    std::string_view inside
        = text.substr(open + CounterOpen.size(), close - open - CounterOpen.size());
    std::size_t semicolon = inside.find(';');
    std::uint64_t digits = 0;
    std::uint64_t first = 0;
    if (semicolon == std::string_view::npos || !readWhole(inside.substr(0, semicolon), digits)
        || !readWhole(inside.substr(semicolon + 1), first) || digits < 1 || digits > MaxDigits
        || first > 999'999'999)
        return refuse(error,
            "-namegen=" + quoted
                + ": the counter must read [counterN;S] with N digits (1 to 18) and a first "
                  "number S (0 to 999999999)");

    std::string_view suffix = text.substr(close + 1);
    if (findIgnoringCase(suffix, CounterOpen) != std::string_view::npos)
        return refuse(error, "-namegen=" + quoted + " has more than one counter");
    if (!hasJpegExtension(suffix))
        return refuse(error, "-namegen=" + quoted + " must end in .jpg (the output is JPEG)");

    NameTemplate result;
    result.text_ = std::string(text);
    result.prefix_ = std::string(text.substr(0, open));
    result.suffix_ = std::string(suffix);
    result.digits_ = static_cast<int>(digits);
    result.first_ = first;
    return result;
}

std::string NameTemplate::nameFor(std::uint64_t index) const {
    std::string number = std::to_string(first_ + index);
    if (number.size() < static_cast<std::size_t>(digits_))
        number.insert(0, static_cast<std::size_t>(digits_) - number.size(), '0');
    return prefix_ + number + suffix_;
}

} // namespace pxw::platform
