#include "ico_decoder.h"

#include <cstdint>
#include <optional>

namespace pxw::zip {

namespace {

constexpr std::string_view pngSignature("\x89PNG\r\n\x1a\n", 8);

std::uint32_t read16(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}
std::uint32_t read32(std::string_view bytes, std::size_t at) {
    return read16(bytes, at) | (read16(bytes, at + 2) << 16);
}
std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A PNG's header chunk must come first and give a sensible size; the decoder does the rest.
// Adds its pixels to `pixels`.
std::optional<std::string> checkPng(std::string_view png, std::uint64_t& pixels) {
    if (png.size() < 33 || png.substr(12, 4) != "IHDR" || bigEndian32(png, 8) != 13)
        return "a PNG image in it has no header";
    const std::uint32_t width = bigEndian32(png, 16), height = bigEndian32(png, 20);
    if (width == 0 || height == 0 || width > maxIconSide || height > maxIconSide)
        return "a PNG image in it is " + std::to_string(width) + "x" + std::to_string(height);
    pixels += std::uint64_t { width } * height;
    return std::nullopt;
}

// A device-independent bitmap as icons keep it: the header, a palette for 8 bits or fewer,
// the colour rows bottom-up at twice the icon's height, then the transparency mask rows.
std::optional<std::string> decodeBitmap(std::string_view bitmap, Picture& picture) {
    if (bitmap.size() < 40 || read32(bitmap, 0) < 40 || read32(bitmap, 0) > bitmap.size())
        return "a bitmap in it has no header";
    const std::uint32_t headerSize = read32(bitmap, 0);
    const auto width = static_cast<std::int32_t>(read32(bitmap, 4));
    const auto doubleHeight = static_cast<std::int32_t>(read32(bitmap, 8));
    const std::uint32_t bits = read16(bitmap, 14), compression = read32(bitmap, 16);
    const std::uint32_t colorsUsed = read32(bitmap, 32);
    if (width <= 0 || width > maxIconSide || doubleHeight <= 0 || doubleHeight % 2 != 0
        || doubleHeight / 2 > maxIconSide)
        return "a bitmap in it has the size " + std::to_string(width) + "x"
            + std::to_string(doubleHeight / 2);
    if (read16(bitmap, 12) != 1 || compression != 0
        || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return "a bitmap in it is of a kind icons do not use";
    const int height = doubleHeight / 2;

    const std::uint64_t paletteSize = bits <= 8 ? (colorsUsed ? colorsUsed : 1u << bits) : 0;
    if (bits <= 8 && paletteSize > (1u << bits))
        return "a bitmap in it has too many colours";
    const std::uint64_t colorStride
        = (std::uint64_t { static_cast<unsigned>(width) } * bits + 31) / 32 * 4;
    const std::uint64_t maskStride = (std::uint64_t { static_cast<unsigned>(width) } + 31) / 32 * 4;
    const std::uint64_t paletteAt = headerSize, colorsAt = paletteAt + paletteSize * 4;
    const std::uint64_t maskAt = colorsAt + colorStride * height;
    const std::uint64_t end = maskAt + maskStride * height;
    // 32-bit images carry their own transparency; the mask may be left out of them.
    if (maskAt > bitmap.size() || (bits != 32 && end > bitmap.size()))
        return "a bitmap in it is cut short";
    const bool hasMask = end <= bitmap.size();

    picture = Picture { width, height, 4, {} };
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::size_t row = colorsAt + colorStride * (height - 1 - y);
        const std::size_t maskRow = maskAt + maskStride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            unsigned char* out
                = picture.pixels.data() + (static_cast<std::size_t>(y) * width + x) * 4;
            std::uint32_t blue = 0, green = 0, red = 0, alpha = 255;
            if (bits <= 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const unsigned byte = static_cast<unsigned char>(bitmap[row + bit / 8]);
                const unsigned index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= paletteSize)
                    return "a bitmap in it uses a colour it does not have";
                const std::size_t entry = paletteAt + std::size_t { index } * 4;
                blue = static_cast<unsigned char>(bitmap[entry]);
                green = static_cast<unsigned char>(bitmap[entry + 1]);
                red = static_cast<unsigned char>(bitmap[entry + 2]);
            } else {
                const std::size_t at = row + static_cast<std::size_t>(x) * (bits / 8);
                blue = static_cast<unsigned char>(bitmap[at]);
                green = static_cast<unsigned char>(bitmap[at + 1]);
                red = static_cast<unsigned char>(bitmap[at + 2]);
                if (bits == 32) {
                    alpha = static_cast<unsigned char>(bitmap[at + 3]);
                    anyAlpha = anyAlpha || alpha != 0;
                }
            }
            if (hasMask && (static_cast<unsigned char>(bitmap[maskRow + x / 8]) >> (7 - x % 8)) & 1)
                alpha = 0;
            out[0] = static_cast<unsigned char>(red);
            out[1] = static_cast<unsigned char>(green);
            out[2] = static_cast<unsigned char>(blue);
            out[3] = static_cast<unsigned char>(alpha);
        }
    }
    // Old 32-bit icons leave the alpha bytes zero and rely on the mask alone.
    if (bits == 32 && !anyAlpha) {
        for (int y = 0; y < height; ++y) {
            const std::size_t maskRow = maskAt + maskStride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool clear = hasMask
                    && ((static_cast<unsigned char>(bitmap[maskRow + x / 8]) >> (7 - x % 8)) & 1);
                picture.pixels[(static_cast<std::size_t>(y) * width + x) * 4 + 3] = clear ? 0 : 255;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<IconImage> decodeIco(std::string_view bytes, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "the icon cannot be read: " + why;
        return std::vector<IconImage> {};
    };
    std::uint64_t pixels = 0;
    if (bytes.starts_with(pngSignature)) {
        if (auto why = checkPng(bytes, pixels))
            return fail(*why);
        return { IconImage { {}, bytes } };
    }
    if (bytes.size() < 6 || read16(bytes, 0) != 0 || read16(bytes, 2) != 1)
        return fail("it is neither an .ico file nor a PNG image");
    const std::size_t count = read16(bytes, 4);
    const std::size_t directoryEnd = 6 + count * 16;
    if (count == 0 || directoryEnd > bytes.size())
        return fail("its list of images is cut short");
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + i * 16;
        const std::uint64_t size = read32(bytes, entry + 8), offset = read32(bytes, entry + 12);
        if (offset < directoryEnd || offset > bytes.size() || size > bytes.size() - offset)
            return fail("image " + std::to_string(i + 1) + " lies outside the file");
        std::string_view data = bytes.substr(offset, size);
        IconImage image;
        if (data.starts_with(pngSignature)) {
            if (auto why = checkPng(data, pixels))
                return fail(*why);
            image.png = data;
        } else if (auto why = decodeBitmap(data, image.pixels)) {
            return fail(*why);
        }
        pixels += std::uint64_t { static_cast<unsigned>(image.pixels.width) }
            * static_cast<unsigned>(image.pixels.height);
        if (pixels > maxIconPixels)
            return fail(
                "its images have more than " + std::to_string(maxIconPixels) + " pixels together");
        images.push_back(std::move(image));
    }
    return images;
}

} // namespace pxw::zip
