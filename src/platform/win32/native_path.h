#pragma once

// Windows paths as Windows takes them: the program's UTF-8 text widened for the wide calls, and
// the text of Windows' error codes for messages.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <windows.h>

namespace pxw::platform::win32 {

/// The UTF-16 path for a path of the program; nothing (and *error set) for an empty path or
/// one that is not UTF-8, which no file of the disk can have.
std::optional<std::wstring> nativePath(std::string_view path, std::string* error = nullptr);

/// The same as a library path, for what takes one (the zip component).
std::optional<std::filesystem::path> nativeFilesystemPath(
    std::string_view path, std::string* error = nullptr);

/// The system's text for a Windows error code, without its final period and line break.
std::string windowsErrorText(DWORD code);

/// A handle closed when this goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) { }
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(other.release()) { }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset(HANDLE handle = nullptr) {
        if (handle_)
            ::CloseHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace pxw::platform::win32
