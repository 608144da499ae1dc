#pragma once

// Text for messages and names.

#include "base/path.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::base {

/// The parts of `text` between each `separator`: "a|b|" gives "a", "b" and "".
std::vector<std::string> splitAt(std::string_view text, char separator);

/// The text of errno value `code`; safe from any thread. 0, which the reads in files.h leave
/// for a file that ended early, reads "unexpected end of file".
std::string errorText(int code);

/// `text` in double quotes, for messages and command lines.
std::string inQuotes(std::string_view text);
std::string quotedPath(const Path& path);

/// ASCII letter case is ignored; other bytes compare as they are. For names the user sees,
/// platform/names.h folds the case of every script.
bool equalIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);
std::size_t findIgnoringCase(std::string_view text, std::string_view what);

/// `text` safe to print on a terminal, in a log or in a window: control characters, bytes that
/// are not UTF-8 and bidi overrides appear as `\xNN` or `\u{NNNN}`, so a name from outside can
/// neither forge a line nor move, retitle or reorder what is shown. A backslash stays as it is,
/// since Windows paths are full of them.
std::string printable(std::string_view text);

/// A backslash or a slash: both separate the parts of a Windows path.
constexpr bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace pxw::base
