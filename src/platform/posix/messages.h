#pragma once

// Pieces of the messages the POSIX services give back.

#include <string>
#include <system_error>

namespace pxw::platform {

/// The text of an errno value.
inline std::string describe(int error) {
    return std::generic_category().message(error);
}

inline std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace pxw::platform
