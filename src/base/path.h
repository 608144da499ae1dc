#pragma once

// A file's path. On Linux it is std::filesystem::path. The Windows album program travels inside
// every album, and the library's path converts its text through the locale machinery, which
// is over half a megabyte there; so that program keeps the wide string itself, with the few
// steps of std::filesystem::path it needs, which behave as those do on Windows.

#ifdef _WIN32
#include <compare>
#include <string>
#else
#include <filesystem>
#endif

namespace pxw::base {

#ifdef _WIN32
class Path {
public:
    Path() = default;
    Path(std::wstring text) // NOLINT(google-explicit-constructor): as std::filesystem::path
        : text_(std::move(text)) { }
    Path(const wchar_t* text) // NOLINT(google-explicit-constructor)
        : text_(text) { }

    const std::wstring& native() const { return text_; }
    const wchar_t* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }
    void clear() { text_.clear(); }

    /// The last part, empty after a separator or for a drive alone.
    Path filename() const;
    /// The path without its last part and the separators before it; a root stays as it is.
    Path parent_path() const;
    /// Appends with a separator; a `name` with a root replaces the path (or all but its drive).
    Path& operator/=(const Path& name);
    friend Path operator/(Path path, const Path& name) { return path /= name; }
    friend bool operator==(const Path&, const Path&) = default;

private:
    std::wstring text_;
};
#else
using Path = std::filesystem::path;
#endif

} // namespace pxw::base
