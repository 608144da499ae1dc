#pragma once

#include "lumabatch/inside/convert_settings.h"
#include "lumabatch/inside/worker_channel.h"

#include <cstddef>

namespace pxw::lumabatch {

/// Converts a JPEG photo as the libvips reader does (upright, sRGB, fitted into the box at the
/// size libvips gives it, the resolution asked for, baseline JPEG with a small EXIF block),
/// with libjpeg, libexif and Little CMS alone: a program that loads only these starts in a
/// tenth of the time libvips takes to load. It decodes at the smallest of libjpeg's eighths
/// that leaves the filter two pixels to each output pixel.
///
/// A file it does not take on, it leaves to the libvips reader with an Unsupported reply:
/// anything but 8-bit grey, RGB or YCbCr; a box that enlarges the picture; no resolution
/// asked for; and any file libjpeg warns about or fails on, whose verdict is libvips'.
WorkerReply convertJpegDirectly(
    const void* data, std::size_t size, const ConvertSettings& settings);

} // namespace pxw::lumabatch
