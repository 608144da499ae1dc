#pragma once

#include "base/text.h"

#include <string>
#include <string_view>

namespace pxw::lumabatch {

using base::equalIgnoringCase;
using base::findIgnoringCase;
using base::startsWithIgnoringCase;

/// The text on one line: line breaks become "; ", blanks at both ends are dropped.
std::string oneLine(std::string_view text);

} // namespace pxw::lumabatch
