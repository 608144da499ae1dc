#include "base/wide_text.h"

#include <windows.h>

namespace pxw::base {

namespace {
std::optional<std::wstring> widenedWith(std::string_view utf8, DWORD flags) {
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, wide.data(), length);
    return wide;
}
} // namespace

std::wstring widened(std::string_view utf8) {
    return widenedWith(utf8, 0).value_or(std::wstring());
}

std::optional<std::wstring> widenedStrictly(std::string_view utf8) {
    return widenedWith(utf8, MB_ERR_INVALID_CHARS);
}

std::string narrowed(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length
        = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

} // namespace pxw::base
