#pragma once

// Small POSIX helpers shared by the album writer and reader.

#include "platform/posix/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pxw::zip {

using platform::UniqueFd;

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
