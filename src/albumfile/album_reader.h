#pragma once

#include "albumfile/album_format.h"
#include "base/path.h"
#include "base/unique_fd.h"
#include "platform/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::zip {

using platform::Status;

/// One image (or other file) an album carries, stored as it is.
struct AlbumEntry {
    std::string name;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::uint64_t dataOffset = 0; // where its bytes start in the album file
};

/// Why an entry name cannot be written into a folder as it is (a path, a folder, a link
/// trick), or nullopt when it is a plain file name. On Windows, refusedOnWindows too.
std::optional<std::string> refusedEntryName(std::string_view name);

/// Why Windows cannot hold `name` as a file name or would read it as another: a colon (a
/// stream), a character it does not allow, a device name such as "CON" or "com1.jpg", or a
/// trailing dot or blank (dropped). nullopt when it holds the name as it is.
std::optional<std::string> refusedOnWindows(std::string_view name);

/// The name "Keep both" gives the `number`th copy of `name`: "00.jpg" becomes "00 (2).jpg".
/// The stem is shortened (never inside a UTF-8 character) so that the name stays within 255
/// bytes.
std::string keepBothName(const std::string& name, int number);

/// What to do with an image whose name a file in the folder has already.
enum class ClashAnswer {
    replace, // write over the file
    keepBoth, // write the image under a free name, "name (2).ext"
    keep, // leave the file and skip the image
    cancel, // write nothing at all
};
using ClashQuestion = std::function<ClashAnswer(const std::string& name)>;

/// What an extraction did.
struct ExtractReport {
    Status status = Status::success();
    bool cancelled = false;
    std::vector<std::string> written; // the names written, "Keep both" names included
    std::size_t renamed = 0; // how many of them got a "Keep both" name
    std::vector<std::string> renamedNames; // those names, in the order written
    std::vector<std::string> kept; // files of the folder left as they were, in their place
};

/// Reads an album file: finds its archive from the end of the file, checks every entry before
/// anything is read, and hands out the icon and the entries. Only the layout the album writer
/// makes is accepted: stored entries, one after the other from the end of the icon up to the
/// directory, with nothing between them. It is a reader of that one layout rather than a zip
/// library (the album program cannot link libzip, which Debian ships shared only): minizip
/// would still need every check here, and would accept what an album never holds (compressed,
/// encrypted or zip64 entries, data descriptors, gaps).
class AlbumReader {
public:
    explicit AlbumReader(AlbumLimits limits = {});

    /// Opens `albumFile` and checks it whole; an album with any damaged or hostile entry is
    /// refused as a whole. Messages name the file as `shownName` (default: the path).
    Status open(const base::Path& albumFile, const std::string& shownName = {});

    const base::Path& path() const { return path_; }
    const std::vector<AlbumEntry>& entries() const { return entries_; }
    IconPlace iconPlace() const { return icon_; }

    Status readIcon(std::string& bytes) const;
    /// Reads one entry whole and checks its CRC.
    Status readEntry(std::size_t position, std::string& bytes) const;

    /// Writes the icon bytes to `file` (through a temporary name beside it). A file already
    /// there is kept, and named in the failure, unless `replace`.
    Status writeIcon(const base::Path& file, bool replace) const;

    /// Writes every entry into `folder`, created when missing (its parent must exist). Each
    /// name a file (or anything else) in the folder has already is put to `ask` first, before
    /// anything is written. The entries are then written into a temporary folder inside it and
    /// moved into place only when all of them were read whole, so a damaged album writes
    /// nothing. Only plain files are ever replaced, and only when `ask` says so.
    ExtractReport extractAll(const base::Path& folder, const ClashQuestion& ask);

private:
    Status streamEntry(
        std::size_t position, const std::function<Status(const char*, std::size_t)>& consume) const;
    Status readDirectory(const ArchiveEnd& end, std::uint64_t fileSize);

    AlbumLimits limits_;
    base::Path path_;
    base::UniqueFd fd_;
    IconPlace icon_;
    std::vector<AlbumEntry> entries_;
};

} // namespace pxw::zip
