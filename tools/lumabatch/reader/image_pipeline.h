#pragma once

#include "lumabatch/inside/convert_settings.h"
#include "lumabatch/inside/worker_channel.h"
#include "platform/status.h"

#include <filesystem>
#include <string>
#include <vips/vips8>

namespace pxw::lumabatch {

/// ImageMagick as a reader, in the reader programs that link it: loading Magick++ costs every
/// worker a good part of its start-up, and only Photo CD, MacPaint and second tries need it.
struct MagickReader {
    void (*start)(const char* programPath);
    /// Reads the image in `data` as `format`, upright, as 8-bit sRGB with or without alpha.
    vips::VImage (*load)(const void* data, std::size_t size, const std::string& format);
};

/// Makes ImageMagick the reader of its formats in this process; before initImageLibraries.
void useMagickReader(const MagickReader& reader);

/// Starts libvips (and ImageMagick, when in use) once per process; later calls do nothing.
/// Must run before the first conversion (the first one calls it too, but a main should do it
/// early). Without `withModules` libvips loads none of its modules (HEIF, JPEG XL, PDF,
/// ImageMagick, OpenSlide): for a batch of files libvips reads by itself, that spares each process
/// a good part of its start-up.
void initImageLibraries(const char* programPath, bool withModules = true);

/// Why a conversion failed.
enum class Failure {
    None,
    Unsupported, ///< the reader does not support this variant of the format
    Damaged, ///< a damaged file, or not an image at all
};

/// Reads one image, turns it upright by its EXIF orientation, converts it to sRGB, flattens
/// transparency on white, resizes it into the box (shrinking while loading where the format
/// allows) and encodes it as baseline JPEG without EXIF, XMP, IPTC or ICC data of the source.
/// On failure `jpeg` is unspecified and the status names the reason. The file is open, read by
/// libvips or, with a `magickFormat`, by the second reader as that format. Any warning about a
/// damaged image makes it fail.
platform::Status convertDescriptor(int fd, const std::string& magickFormat,
    const ConvertSettings& settings, std::string& jpeg, Failure* failure);

} // namespace pxw::lumabatch
