#pragma once

// Small POSIX helpers shared by the album writer and reader.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pxw::zip {

/// Owns a file descriptor and closes it once.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : fd_(fd) { }
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(other.release()) { }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset();
    /// Closes now and reports whether the close succeeded (a late write error shows here).
    bool close();

private:
    int fd_ = -1;
};

/// The text of errno value `code`.
std::string errorText(int code);

/// `path` in quotes, for messages.
std::string quotedPath(const std::filesystem::path& path);

/// Reads exactly `length` bytes at `offset`; false with errno set (0 when the file ended first).
bool readFully(int fd, void* buffer, std::size_t length, std::uint64_t offset);

/// Writes all `length` bytes at `offset`; false with errno set.
bool writeFully(int fd, const void* buffer, std::size_t length, std::uint64_t offset);

/// Copies `length` bytes from the start of `from` to `to` at `toOffset`; false with errno set
/// (0 when `from` ended first).
bool copyBytes(int from, int to, std::uint64_t length, std::uint64_t toOffset);

} // namespace pxw::zip
