#include "native_path.h"

#include "base/wide_text.h"

namespace pxw::platform::win32 {

std::optional<std::wstring> nativePath(std::string_view path, std::string* error) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (path.empty())
        return fail("the path is empty");
    std::optional<std::wstring> wide = base::widenedStrictly(path);
    if (!wide)
        return fail("the path is not valid UTF-8 text");
    if (wide->find(L'\0') != std::wstring::npos)
        return fail("the path holds a NUL character");
    return wide;
}

std::optional<std::filesystem::path> nativeFilesystemPath(
    std::string_view path, std::string* error) {
    std::optional<std::wstring> wide = nativePath(path, error);
    if (!wide)
        return std::nullopt;
    return std::filesystem::path(std::move(*wide));
}

std::string windowsErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text ? text : L"", length);
    ::LocalFree(text);
    while (!wide.empty()
        && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '
            || wide.back() == L'.'))
        wide.pop_back();
    if (wide.empty())
        return "Windows error " + std::to_string(code);
    return base::narrowed(wide);
}

} // namespace pxw::platform::win32
