#pragma once

#include <string>
#include <string_view>

namespace pxw::lumabatch {

/// ASCII letter case is ignored; other bytes compare as they are.
bool equalIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
std::size_t findIgnoringCase(std::string_view text, std::string_view what);

/// The text on one line: line breaks become "; ", blanks at both ends are dropped.
std::string oneLine(std::string_view text);

} // namespace pxw::lumabatch
