#pragma once

#include <filesystem>
#include <string>

namespace pxw::lumabatch {

/// The loader an image file goes to. libvips reads most formats; ImageMagick reads what
/// libvips cannot read correctly here.
enum class Reader {
    Vips,
    MagickPhotoCd, ///< libvips finds no reader; its pixels are YCC and need converting
    MagickMacPaint, ///< has no signature: must be named to ImageMagick, or it is taken for TGA
};

/// Chooses the reader by the file's extension (letter case ignored) and, for Photo CD, by
/// its signature.
Reader readerFor(const std::filesystem::path& file);

/// Whether libvips reads the file without any of its modules: it starts with the signature
/// of a JPEG, PNG, GIF, TIFF or WebP file.
bool readByLibvipsItself(const std::filesystem::path& file);

/// Whether reading the file takes a lot of memory at once: a progressive JPEG of more than a
/// few megapixels, whose decoder keeps every coefficient of the image until its last scan
/// (about 6 bytes a pixel), where other JPEG files are decoded shrunk, a few rows at a time.
bool readsWholeImageAtOnce(const std::filesystem::path& file);

/// Whether the JPEG reader takes the file first: an 8-bit grey or colour JPEG, baseline or
/// progressive. It leaves what it cannot read as libvips would to libvips.
bool readByJpegReader(const std::filesystem::path& file);

/// The ImageMagick format a reader names, empty for libvips.
std::string magickFormatFor(Reader reader);

/// The format the second reader reads a file of an accepted kind as, when libvips cannot
/// read it: libtiff for "TIFF", else ImageMagick; empty for other kinds of file.
std::string secondReaderFormat(const std::filesystem::path& file);

/// The format libtiff reads as the second reader; every other non-empty format is
/// ImageMagick's.
inline constexpr const char* TiffFormat = "TIFF";

/// Whether reading as `format` (empty: libvips) needs ImageMagick.
inline bool needsMagick(const std::string& format) {
    return !format.empty() && format != TiffFormat;
}

} // namespace pxw::lumabatch
