#pragma once

// UTF-8, the program's text, and UTF-16, the text of Windows' wide calls. Windows only.

#include <optional>
#include <string>
#include <string_view>

namespace pxw::base {

/// UTF-16 of a UTF-8 text; each byte that is not UTF-8 becomes U+FFFD.
std::wstring widened(std::string_view utf8);
/// UTF-16 of a UTF-8 text; nothing when it is not UTF-8.
std::optional<std::wstring> widenedStrictly(std::string_view utf8);
/// UTF-8 of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string narrowed(std::wstring_view wide);

} // namespace pxw::base
