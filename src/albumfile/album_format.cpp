#include "albumfile/album_format.h"

#include "base/files.h"
#include "base/text.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace pxw::zip {

namespace {

constexpr std::string_view commentStart = "pxwalbum icon offset=";
constexpr std::string_view commentMiddle = " length=";

constexpr std::size_t endRecordSize = 22;
constexpr std::size_t maxCommentSize = 0xFFFF;

// Reads a decimal number that fills `text` exactly.
std::optional<std::uint64_t> wholeNumber(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string iconComment(IconPlace place) {
    return std::string(commentStart) + std::to_string(place.offset) + std::string(commentMiddle)
        + std::to_string(place.length);
}

std::optional<IconPlace> parseIconComment(std::string_view comment) {
    if (!comment.starts_with(commentStart))
        return std::nullopt;
    comment.remove_prefix(commentStart.size());
    std::size_t middle = comment.find(commentMiddle);
    if (middle == std::string_view::npos)
        return std::nullopt;
    auto offset = wholeNumber(comment.substr(0, middle));
    auto length = wholeNumber(comment.substr(middle + commentMiddle.size()));
    if (!offset || !length)
        return std::nullopt;
    return IconPlace { *offset, *length };
}

std::optional<ArchiveEnd> findArchiveEnd(int fd, std::uint64_t fileSize, std::string* error) {
    auto fail = [&](std::string message) -> std::optional<ArchiveEnd> {
        if (error)
            *error = std::move(message);
        return std::nullopt;
    };
    if (fileSize < endRecordSize)
        return fail("the file is too short to end in an archive");

    std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, endRecordSize + maxCommentSize);
    std::uint64_t tailStart = fileSize - tailSize;
    std::vector<unsigned char> tail(static_cast<std::size_t>(tailSize));
    if (!base::readFully(fd, tail.data(), tail.size(), tailStart))
        return fail("cannot read the end of the file: " + base::errorText(errno));

    // Scanning from the end finds the record nearest the end first; a signature that merely
    // occurs inside the comment or the last entry's data fails the checks and is passed over.
    for (std::size_t at = tail.size() - endRecordSize + 1; at-- > 0;) {
        const unsigned char* record = tail.data() + at;
        if (little32(record) != 0x06054b50u)
            continue;
        std::size_t commentSize = little16(record + 20);
        if (at + endRecordSize + commentSize != tail.size())
            continue;
        std::uint32_t thisDisk = little16(record + 4);
        std::uint32_t directoryDisk = little16(record + 6);
        std::uint32_t entriesHere = little16(record + 8);
        std::uint32_t entries = little16(record + 10);
        std::uint64_t directorySize = little32(record + 12);
        std::uint64_t directoryOffset = little32(record + 16);
        std::uint64_t recordOffset = tailStart + at;
        if (thisDisk != 0 || directoryDisk != 0 || entriesHere != entries)
            continue;
        if (directoryOffset > recordOffset || recordOffset - directoryOffset != directorySize)
            continue;
        ArchiveEnd end;
        end.recordOffset = recordOffset;
        end.directoryOffset = directoryOffset;
        end.directorySize = directorySize;
        end.entryCount = entries;
        end.comment.assign(reinterpret_cast<const char*>(record + endRecordSize), commentSize);
        return end;
    }
    return fail("there is no image archive at its end");
}

} // namespace pxw::zip
