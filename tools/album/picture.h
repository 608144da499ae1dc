#pragma once

// Decoded images in memory, and what the album window does with them: JPEG decoding from the
// album's bytes, and smooth scaling to the window.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::zip {

/// Pixels top-down, `channels` bytes each (3: RGB, 4: RGBA), rows without padding.
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<unsigned char> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
};

/// The size of a `width` x `height` image scaled to fill a `boxWidth` x `boxHeight` box with
/// its proportions kept (at least one pixel each way).
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
Size fittedSize(int width, int height, int boxWidth, int boxHeight);

/// Decodes JPEG `bytes` to RGB. An image larger than the box is decoded at the smallest of
/// libjpeg's reduced scales (1/8 to 1) that still fills the box, which keeps time and memory
/// small for large photos. Damaged data, or an image of more than `maxPixels`, gives an empty
/// picture and sets *error.
Picture decodeJpeg(std::string_view bytes, int boxWidth, int boxHeight, std::string* error,
    std::uint64_t maxPixels = std::uint64_t { 1 } << 28);

/// `picture` scaled to `size`: halved by averaging while it is twice as large or more, then
/// bilinear, so that both shrinking and enlarging stay smooth.
Picture scaled(const Picture& picture, Size size);

} // namespace pxw::zip
