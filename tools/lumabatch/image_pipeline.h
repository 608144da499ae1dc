#pragma once

#include "platform/status.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pxw::lumabatch {

struct ConvertSettings {
    std::optional<int> width; ///< no value: no limit
    std::optional<int> height;
    bool keepProportions = false;
    int quality = 90;
    std::optional<int> dpiHorizontal; ///< no value: keep the source's resolution
    std::optional<int> dpiVertical;
};

/// Starts libvips and ImageMagick once per process; later calls do nothing. Must run before
/// the first conversion (the first one calls it too, but a main should do it early).
/// Without `withModules` libvips loads none of its modules (HEIF, JPEG XL, PDF, ImageMagick,
/// OpenSlide): for a batch of files libvips reads by itself, that spares each process a
/// good part of its start-up.
void initImageLibraries(const char* programPath, bool withModules = true);

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

/// The ImageMagick format a reader names, empty for libvips.
std::string magickFormatFor(Reader reader);

/// The format the second reader reads a file of an accepted kind as, when libvips cannot
/// read it: libtiff for "TIFF", else ImageMagick; empty for other kinds of file.
std::string secondReaderFormat(const std::filesystem::path& file);

/// Why a conversion failed.
enum class Failure {
    None,
    Unsupported, ///< the reader does not support this variant of the format
    Damaged, ///< a damaged file, or not an image at all
};

/// Reads one image, turns it upright by its EXIF orientation, converts it to sRGB, flattens
/// transparency on white, resizes it into the box (shrinking while loading where the format
/// allows) and encodes it as baseline JPEG without EXIF, XMP, IPTC or ICC data of the source.
/// On failure `jpeg` is unspecified and the status names the reason.
platform::Status convertToJpeg(
    const std::filesystem::path& source, const ConvertSettings& settings, std::string& jpeg);

/// The same for an open file, read by libvips or, with a `magickFormat`, by the second reader
/// as that format. Any warning about a damaged image makes it fail.
platform::Status convertDescriptor(int fd, const std::string& magickFormat,
    const ConvertSettings& settings, std::string& jpeg, Failure* failure);

} // namespace pxw::lumabatch
