// What the album window does with bytes from the album: icons, JPEG decoding and scaling.

#include "ico_decoder.h"
#include "picture.h"
#include "test_support.h"

#include <Magick++.h>
#include <gtest/gtest.h>

namespace pxw::zip::test {
namespace {

// An .ico file written by ImageMagick from a `size` x `size` pattern, and the pattern's RGBA:
// with partly transparent true colour (a 32-bit bitmap), or with as many opaque `colours`
// (1-, 4- or 8-bit bitmaps with a palette).
std::pair<std::string, std::vector<unsigned char>> magickIcon(int size, int colours) {
    Magick::InitializeMagick(nullptr);
    std::vector<unsigned char> rgba(static_cast<std::size_t>(size) * size * 4);
    for (int i = 0; i < size * size; ++i) {
        unsigned char* p = &rgba[static_cast<std::size_t>(i) * 4];
        const int shade = colours ? i % colours : i;
        p[0] = static_cast<unsigned char>(shade * 7);
        p[1] = static_cast<unsigned char>(colours ? shade * 3 : i / size * 8);
        p[2] = 90;
        p[3] = colours || i % 5 ? 255 : 0;
    }
    Magick::Image image(static_cast<std::size_t>(size), static_cast<std::size_t>(size), "RGBA",
        Magick::CharPixel, rgba.data());
    if (colours) {
        image.matte(false);
        image.classType(Magick::PseudoClass);
    }
    Magick::Blob blob;
    image.write(&blob, "ICO");
    return { std::string(static_cast<const char*>(blob.data()), blob.length()), rgba };
}

TEST(Icon, BitmapEntriesGiveTheirPixels) {
    const std::pair<int, int> kinds[] = { { 0, 32 }, { 2, 1 }, { 16, 4 }, { 200, 8 } };
    for (const auto& [colours, bits] : kinds) {
        auto [ico, expected] = magickIcon(16, colours);
        ASSERT_EQ(ico[6 + 16 + 14], bits) << "ImageMagick chose another kind of bitmap";
        std::string error;
        std::vector<IconImage> images = decodeIco(ico, &error);
        ASSERT_EQ(images.size(), 1u) << error;
        const Picture& picture = images[0].pixels;
        ASSERT_EQ(picture.width, 16);
        ASSERT_EQ(picture.height, 16);
        for (std::size_t i = 0; i < expected.size(); i += 4) {
            // Fully transparent pixels may keep any colour.
            EXPECT_EQ(picture.pixels[i + 3], expected[i + 3]) << i / 4;
            if (expected[i + 3]) {
                EXPECT_EQ(std::vector<unsigned char>(&picture.pixels[i], &picture.pixels[i + 3]),
                    std::vector<unsigned char>(&expected[i], &expected[i + 3]))
                    << "pixel " << i / 4 << " of the " << bits << "-bit icon";
            }
        }
    }
}

TEST(Icon, PngIsHandedOnAfterItsSizeIsChecked) {
    const std::string png = pngIconBytes(32, 1);
    std::string ico("\0\0\1\0\1\0 \0\0\0\1\0 \0", 14);
    for (std::uint32_t value : { static_cast<std::uint32_t>(png.size()), 22u })
        ico += std::string(reinterpret_cast<const char*>(&value), 4);
    ico += png;
    for (const std::string& bytes : { png, ico }) {
        std::vector<IconImage> images = decodeIco(bytes, nullptr);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].png, png);
    }
    std::string huge = png;
    huge[16] = 1; // width 2^24 + 32
    std::string error;
    EXPECT_TRUE(decodeIco(huge, &error).empty());
    EXPECT_NE(error.find("16777248x32"), std::string::npos) << error;
}

// 65,535 entries that all point at one 256 x 256 bitmap: refused once the pixels of the entries
// read so far pass the budget, long before the last entry.
TEST(Icon, EntriesSharingOneImageStayWithinThePixelBudget) {
    const std::string one = magickIcon(256, 0).first;
    const std::string bitmap = one.substr(6 + 16);
    constexpr std::size_t Count = 65535;
    std::string ico("\0\0\1\0", 4);
    ico += std::string { static_cast<char>(Count & 0xff), static_cast<char>(Count >> 8) };
    const auto offset = static_cast<std::uint32_t>(6 + Count * 16);
    for (std::size_t i = 0; i < Count; ++i) {
        ico += one.substr(6, 8); // size, colours, planes, bits as the one image has them
        const auto size = static_cast<std::uint32_t>(bitmap.size());
        ico += std::string(reinterpret_cast<const char*>(&size), 4);
        ico += std::string(reinterpret_cast<const char*>(&offset), 4);
    }
    ico += bitmap;
    std::string error;
    EXPECT_TRUE(decodeIco(ico, &error).empty());
    EXPECT_NE(error.find("pixels together"), std::string::npos) << error;
}

TEST(Icon, DamagedBytesAreRefusedOrReadWithinBounds) {
    // Every cut and every byte set to 0xFF: never a read outside the bytes (AddressSanitizer
    // watches), and pictures as large as they say.
    for (int colours : { 0, 16 }) {
        const std::string ico = magickIcon(8, colours).first;
        for (std::size_t at = 0; at < ico.size(); ++at) {
            std::string changed = ico;
            changed[at] = '\xff';
            for (const std::string& bytes : { ico.substr(0, at), changed }) {
                std::string error;
                std::vector<IconImage> images = decodeIco(bytes, &error);
                EXPECT_EQ(images.empty(), !error.empty()) << at;
                for (const IconImage& image : images)
                    EXPECT_EQ(image.pixels.pixels.size(),
                        static_cast<std::size_t>(image.pixels.width) * image.pixels.height * 4);
            }
        }
    }
}

TEST(Jpeg, DecodesAtTheSmallestScaleThatFillsTheBox) {
    const std::string jpeg = jpegBytes(300, 400, 1);
    struct Case {
        int boxWidth, boxHeight, width, height;
    };
    for (const Case& box :
        { Case { 1024, 768, 300, 400 }, Case { 100, 100, 75, 100 }, Case { 30, 30, 38, 50 } }) {
        std::string error;
        Picture picture = decodeJpeg(jpeg, box.boxWidth, box.boxHeight, &error);
        EXPECT_EQ(picture.width, box.width) << error;
        EXPECT_EQ(picture.height, box.height);
        EXPECT_EQ(picture.pixels.size(), std::size_t(picture.width) * picture.height * 3);
    }
    std::string error;
    EXPECT_TRUE(decodeJpeg(jpeg.substr(0, 300), 800, 600, &error).empty());
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(decodeJpeg(jpeg, 800, 600, &error, 1000).empty());
    EXPECT_NE(error.find("too large (300x400)"), std::string::npos) << error;
}

TEST(Scaling, FitsKeepingProportionsAndBlendsSmoothly) {
    EXPECT_EQ(fittedSize(300, 400, 800, 596), (Size { 447, 596 }));
    EXPECT_EQ(fittedSize(400, 300, 800, 596), (Size { 794, 596 }));
    EXPECT_EQ(fittedSize(4000, 10, 100, 100), (Size { 100, 1 }));
    // Enlarged, a black-to-white step becomes a ramp; shrunk, a fine check becomes grey.
    Picture step { 2, 1, 3, { 0, 0, 0, 255, 255, 255 } };
    Picture ramp = scaled(step, { 8, 1 });
    const std::size_t bytesPerPixel = 3;
    for (std::size_t x = 1; x < 8; ++x)
        EXPECT_LE(ramp.pixels[(x - 1) * bytesPerPixel], ramp.pixels[x * bytesPerPixel]) << x;
    EXPECT_GT(ramp.pixels[3 * bytesPerPixel], 0);
    EXPECT_LT(ramp.pixels[4 * bytesPerPixel], 255);
    const int side = 64;
    const auto area = static_cast<std::size_t>(side) * side;
    Picture check { side, side, 1, std::vector<unsigned char>(area) };
    for (std::size_t i = 0; i < area; ++i)
        check.pixels[i] = (i % side + i / side) % 2 ? 255 : 0;
    for (unsigned char value : scaled(check, { 5, 5 }).pixels)
        EXPECT_NEAR(value, 128, 2);
}

} // namespace
} // namespace pxw::zip::test
