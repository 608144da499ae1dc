#pragma once

#include <cstdint>
#include <vector>

namespace pxw::lumabatch {

/// Pixels of 1 or 3 interleaved 8-bit channels, row after row.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<std::uint8_t> data;
};

/// Brings `in` to `width` x `height` with a Lanczos3 filter, as ImageMagick's -resize does:
/// output pixel centres spread evenly over the picture, the filter widened by the shrink
/// factor (and kept at its own width on an axis that grows), weights that fall outside the
/// picture left out. `spanX` and `spanY` are the picture's extent in input pixels: a decoder
/// that scaled it down may have rounded its last row and column up.
Pixels resizeLanczos3(const Pixels& in, double spanX, double spanY, int width, int height);

/// Turns pixels as stored upright by their EXIF orientation (1 to 8).
Pixels turnUpright(const Pixels& in, int orientation);

} // namespace pxw::lumabatch
