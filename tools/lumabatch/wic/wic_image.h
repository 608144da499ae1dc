#pragma once

// The Windows image readers and writer of the tool, on the Windows Imaging Component, which
// every Windows (and Wine) has: nothing to cross-build or install. The reader program decodes
// with it; the tool encodes the JPEG from the pixels the reader sent back.

#include "lumabatch/inside/convert_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::lumabatch::wic {

/// 8-bit pixels in blue-green-red order, row after row without padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
    int dpiX = 0; ///< 0: unknown
    int dpiY = 0;
};

/// What decoding a file gave: an image, or why not.
struct Decoded {
    enum class Kind { Image, Unsupported, Failed } kind = Kind::Failed;
    Image image;
    std::string reason;
};

/// Decodes the first frame of an encoded file, turns it upright by its EXIF orientation and
/// brings it to the size the settings ask for, as the Linux readers do. Refuses images of more
/// than `pixelBudget` pixels before decoding them. COM must be started on this thread.
Decoded decodeScaled(
    std::string_view encoded, const ConvertSettings& settings, std::uint64_t pixelBudget);

/// The size an upright `width` x `height` image gets with `settings`: the box of -w/-h (one
/// side alone keeps the proportions, both stretch unless -keep), never enlarged without a box.
std::pair<int, int> outputSize(int width, int height, const ConvertSettings& settings);

/// Encodes a baseline JPEG of `quality` (1 to 100) with the settings' resolution, else the
/// image's. Empty, with *error set, when the encoder fails.
std::string encodeJpeg(const Image& image, const ConvertSettings& settings, std::string* error);

/// Starts COM for this thread for as long as it lives.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool started_;
};

} // namespace pxw::lumabatch::wic
