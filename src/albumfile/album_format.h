#pragma once

// The layout of an album file: the album program's own bytes, then the icon bytes, then a zip
// archive whose offsets count from the start of the whole file (the way `zip -A` leaves a
// self-extracting archive). The archive comment records where the icon lies.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pxw::zip {

/// Where the carried icon lies, counted in bytes from the start of the album file.
struct IconPlace {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

/// How much an album may claim before it is refused as hostile or damaged.
struct AlbumLimits {
    std::uint64_t maxEntryBytes = std::uint64_t { 512 } << 20;
    std::uint64_t maxIconBytes = std::uint64_t { 16 } << 20;
};

/// Little-endian numbers of the zip records.
inline std::uint32_t little16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
inline std::uint32_t little32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

/// Albums never need zip64 records: an album stays below 4 GiB and 65535 entries.
inline constexpr std::uint64_t maxAlbumBytes = 0xFFFFFFFFu - 0x10000u;
inline constexpr std::uint64_t maxAlbumEntries = 0xFFFFu;

/// The archive comment that records the icon's place, and its reading (nullopt when the
/// comment is not exactly that text).
std::string iconComment(IconPlace place);
std::optional<IconPlace> parseIconComment(std::string_view comment);

/// The end-of-central-directory record of the archive at the end of a file.
struct ArchiveEnd {
    std::uint64_t recordOffset = 0;
    std::uint64_t directoryOffset = 0;
    std::uint64_t directorySize = 0;
    std::uint32_t entryCount = 0;
    std::string comment;
};

/// Finds the archive at the end of the open file `fd` of `fileSize` bytes: the end record whose
/// comment reaches exactly to the end of the file and whose central directory ends where the
/// record starts. Nothing is guessed from anywhere else. Returns nullopt and sets *error when
/// the file ends in no such record.
std::optional<ArchiveEnd> findArchiveEnd(int fd, std::uint64_t fileSize, std::string* error);

} // namespace pxw::zip
