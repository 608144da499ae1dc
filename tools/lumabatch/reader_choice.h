#pragma once

#include "base/unique_fd.h"
#include "lumabatch/inside/worker_channel.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pxw::lumabatch {

/// The loader an image file goes to. libvips reads most formats; ImageMagick reads what
/// libvips cannot read correctly here.
enum class Reader {
    Vips,
    MagickPhotoCd, ///< libvips finds no reader; its pixels are YCC and need converting
    MagickMacPaint, ///< has no signature: must be named to ImageMagick, or it is taken for TGA
};

/// How many bytes of a file's start its head holds: the markers of a JPEG file before its frame
/// header (tables, EXIF with its thumbnail), and Photo CD's signature.
inline constexpr std::size_t SourceHeadBytes = 1 << 16;

/// What the tool learns of a source from one look at its start, before any reader sees it.
struct SourceHead {
    Reader reader = Reader::Vips;
    /// It starts with the signature of a JPEG, PNG, GIF, TIFF or WebP file, which libvips reads
    /// without any of its modules.
    bool libvipsItself = false;
    /// An 8-bit grey or colour JPEG, baseline or progressive: the JPEG reader takes it first.
    bool jpegReaderReads = false;
    /// A progressive JPEG, whose decoder keeps every coefficient of the image until its last scan,
    /// where other JPEG files are decoded shrunk, a few rows at a time.
    bool progressive = false;
    std::uint64_t width = 0; ///< as the JPEG frame header claims; 0 when unknown
    std::uint64_t height = 0;
    /// Bytes a progressive JPEG's coefficients take while it is decoded; 0 for other files.
    std::uint64_t decodeBytes = 0;
    /// A progressive JPEG of more than a few megapixels (about 6 bytes a pixel at once).
    bool heavy = false;
};

/// Reads what the head says; `name` is the file's name, whose extension counts too.
SourceHead inspectHead(std::string_view head, std::string_view name);

/// A source opened for reading, never blocking: a FIFO, a device or a socket is refused, not
/// waited on. Links are followed.
struct OpenedSource {
    base::UniqueFd fd; ///< none when refused
    std::string refusal; ///< why, when refused
    bool folder = false; ///< refused because it is a folder
    dev_t device = 0;
    ino_t inode = 0;
};
OpenedSource openSource(const std::filesystem::path& file);

/// Reads the head of an open source (without moving its offset) and inspects it.
SourceHead readHead(int fd, const std::filesystem::path& file);

/// Chooses the reader by the file's extension (letter case ignored) and, for Photo CD, by
/// its signature.
Reader readerFor(const std::filesystem::path& file);

/// Whether libvips reads the file without any of its modules.
bool readByLibvipsItself(const std::filesystem::path& file);

/// Whether reading the file takes a lot of memory at once: a progressive JPEG of more than a
/// few megapixels.
bool readsWholeImageAtOnce(const SourceHead& head);
bool readsWholeImageAtOnce(const std::filesystem::path& file);

/// Whether the JPEG reader takes the file first. It leaves what it cannot read as libvips
/// would to libvips.
bool readByJpegReader(const std::filesystem::path& file);

/// Why a file is refused before any reader sees it, because decoding it would take more than
/// `memoryLimit` bytes; empty when it may be read.
std::string costRefusal(const SourceHead& head, std::uint64_t memoryLimit);

/// The ImageMagick format a reader names, empty for libvips.
std::string magickFormatFor(Reader reader);

/// The format the second reader reads a file of an accepted kind as, when libvips cannot
/// read it: libtiff for "TIFF", else ImageMagick; empty for other kinds of file.
std::string secondReaderFormat(const std::filesystem::path& file);

/// Whether reading as `format` (empty: libvips) needs ImageMagick.
inline bool needsMagick(const std::string& format) {
    return !format.empty() && format != TiffFormat;
}

} // namespace pxw::lumabatch
