#pragma once

#include "album_format.h"
#include "file_util.h"
#include "platform/status.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace pxw::zip {

using platform::Status;

/// One image (or other file) an album carries.
struct AlbumEntry {
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t index = 0; // in the archive
};

/// Why an entry name cannot be written into a folder as it is (a path, a folder, a link
/// trick), or nullopt when it is a plain file name.
std::optional<std::string> refusedEntryName(std::string_view name);

/// Reads an album file: finds its archive from the end of the file, checks every entry before
/// anything is read, and hands out the icon and the entries.
class AlbumReader {
public:
    explicit AlbumReader(AlbumLimits limits = {});
    ~AlbumReader();
    AlbumReader(const AlbumReader&) = delete;
    AlbumReader& operator=(const AlbumReader&) = delete;

    /// Opens `albumFile` and checks it whole; an album with any damaged or hostile entry is
    /// refused as a whole. Messages name the file as `shownName` (default: the path).
    Status open(const std::filesystem::path& albumFile, const std::string& shownName = {});

    const std::filesystem::path& path() const { return path_; }
    const std::vector<AlbumEntry>& entries() const { return entries_; }
    IconPlace iconPlace() const { return icon_; }

    Status readIcon(std::string& bytes) const;
    Status readEntry(std::size_t position, std::string& bytes);

    /// Writes the icon bytes to `file` (through a temporary name beside it).
    Status writeIcon(const std::filesystem::path& file) const;

    /// Writes every entry into `folder`, created when missing (its parent must exist). The
    /// entries are first written into a temporary folder inside it and moved into place only
    /// when all of them were read whole, so a damaged album writes nothing. Files of the same
    /// names are replaced; anything else of those names (a folder, a link) stops it first.
    Status extractAll(const std::filesystem::path& folder);

private:
    Status streamEntry(
        std::size_t position, const std::function<Status(const char*, std::size_t)>& consume);
    Status checkEntries();

    struct ZipClose {
        void operator()(::zip* archive) const;
    };

    AlbumLimits limits_;
    std::filesystem::path path_;
    UniqueFd fd_;
    std::unique_ptr<::zip, ZipClose> archive_;
    IconPlace icon_;
    std::vector<AlbumEntry> entries_;
};

} // namespace pxw::zip
