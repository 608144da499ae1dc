#pragma once

// The album's icon, read without any toolkit's help: FLTK 1.3 reads no .ico files. The bytes
// come from the album file, so every size and offset is checked against them.

#include "picture.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pxw::zip {

/// One image of an icon file: either decoded pixels (RGBA) or the bytes of a PNG image, whose
/// signature and dimensions were checked, for a PNG decoder.
struct IconImage {
    Picture pixels;
    std::string_view png;
};

/// The largest icon side read; larger images are refused (icons stop at 256).
inline constexpr int maxIconSide = 1024;

/// The most pixels all images of one icon may have together: sixteen of the largest side. An
/// icon whose entries all point at one large image would otherwise cost its count times that.
constexpr std::uint64_t maxIconPixels = std::uint64_t { 16 } * maxIconSide * maxIconSide;

/// The images of an .ico file (BMP entries of 1, 4, 8, 24 or 32 bits, and PNG entries), or of
/// a lone PNG file. Any entry that does not fit its bytes makes the whole icon refused: an
/// empty list with *error set.
std::vector<IconImage> decodeIco(std::string_view bytes, std::string* error);

} // namespace pxw::zip
