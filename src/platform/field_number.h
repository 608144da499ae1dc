#pragma once

#include <optional>
#include <string_view>

namespace pxw::platform {

/// Reads a size or quality number the one way the window's fields and the image tool both
/// read it: optional blanks, an optional sign (blanks may follow it), digits with an optional
/// decimal fraction (".6" and "5." included), optional blanks. The fraction rounds to the
/// nearest whole number, a half to the even neighbour. Nothing for any other text, or for a
/// number outside -32768 to 32767. The decimal point is always ".", whatever the locale.
std::optional<int> readFieldNumber(std::string_view text);

} // namespace pxw::platform
