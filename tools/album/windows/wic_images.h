#pragma once

// Image decoding with Windows' own codecs (WIC), for the Windows album program: the photos of
// an album and the PNG images of its icon. COM must be started on the calling thread.

#include "picture.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pxw::zip {

/// Decodes `bytes` (a JPEG photo, or a PNG image of the icon) to RGB, or to RGBA with `alpha`.
/// Damaged data, or an image of more than `maxPixels`, gives an empty picture and sets *error.
Picture decodeWithWic(std::string_view bytes, bool alpha, std::string* error,
    std::uint64_t maxPixels = std::uint64_t { 1 } << 28);

} // namespace pxw::zip
