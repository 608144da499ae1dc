// Checks the program's icons: the window icon in the resource and as .ico, the default album
// icon, and that the checked-in files are what make_icons.py draws. The desktop entry is checked
// with the package (tests/package/check.sh).

#include "pxw_assets.h"

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString assetsDir = QStringLiteral(PXW_ASSETS_DIR);

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

std::uint32_t little(const QByteArray& data, qsizetype at, int bytes) {
    if (at < 0 || at + bytes > data.size())
        throw std::runtime_error("field past the end of the icon file");
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
}

struct IconImage {
    int width = 0;
    int height = 0;
    int directoryColours = 0;
    int bitCount = 0;
    int paletteSize = 0;
    std::vector<QRgb> pixels; ///< top-down; fully transparent where the mask is set
};

/// Decodes the 4-bit palette images of an .ico file (the only kind the program's icons use).
std::vector<IconImage> readIcon(const QByteArray& data) {
    if (little(data, 0, 2) != 0 || little(data, 2, 2) != 1)
        throw std::runtime_error("not an icon file");
    std::vector<IconImage> images;
    const int count = static_cast<int>(little(data, 4, 2));
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        IconImage image;
        image.width = static_cast<int>(little(data, entry, 1));
        image.height = static_cast<int>(little(data, entry + 1, 1));
        image.directoryColours = static_cast<int>(little(data, entry + 2, 1));
        const qsizetype header = little(data, entry + 12, 4);
        image.bitCount = static_cast<int>(little(data, header + 14, 2));
        if (image.bitCount != 4 || little(data, header + 16, 4) != 0)
            throw std::runtime_error("not an uncompressed 4-bit image");
        if (static_cast<int>(little(data, header + 4, 4)) != image.width
            || static_cast<int>(little(data, header + 8, 4)) != 2 * image.height)
            throw std::runtime_error("bitmap size differs from the directory");
        image.paletteSize = static_cast<int>(little(data, header + 32, 4));
        if (image.paletteSize == 0)
            image.paletteSize = 16;
        const qsizetype palette = header + little(data, header, 4);
        const qsizetype colours = palette + 4 * static_cast<qsizetype>(image.paletteSize);
        const qsizetype width = image.width;
        const qsizetype colourRow = ((width * 4 + 31) / 32) * 4;
        const qsizetype maskRow = ((width + 31) / 32) * 4;
        const qsizetype mask = colours + colourRow * image.height;
        for (int y = 0; y < image.height; ++y) {
            const int stored = image.height - 1 - y; // rows are stored bottom-up
            for (int x = 0; x < image.width; ++x) {
                const auto packed = little(data, colours + stored * colourRow + x / 2, 1);
                const auto index = static_cast<qsizetype>(x % 2 == 0 ? packed >> 4 : packed & 0x0F);
                const auto maskByte = little(data, mask + stored * maskRow + x / 8, 1);
                if (maskByte & (0x80u >> (x % 8))) {
                    image.pixels.push_back(0);
                    continue;
                }
                const qsizetype colour = palette + 4 * index;
                image.pixels.push_back(qRgb(static_cast<int>(little(data, colour + 2, 1)),
                    static_cast<int>(little(data, colour + 1, 1)),
                    static_cast<int>(little(data, colour, 1))));
            }
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::vector<QRgb> pixelsOf(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRgb> pixels;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            pixels.push_back(qAlpha(pixel) == 0 ? 0 : pixel);
        }
    }
    return pixels;
}

int distinctColours(const std::vector<QRgb>& pixels) {
    std::vector<QRgb> seen;
    for (QRgb pixel : pixels) {
        if (std::find(seen.begin(), seen.end(), pixel) == seen.end())
            seen.push_back(pixel);
    }
    return static_cast<int>(seen.size());
}

TEST(WindowIcon, IsInTheResourceAs32By32With16Colours) {
    pxwInitAssets();
    const QImage icon(QStringLiteral(":/icons/pixelwain.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.colorCount(), 16);
    EXPECT_TRUE(icon.hasAlphaChannel());
}

TEST(WindowIcon, IcoIsOne32By32ImageWithA16ColourPalette) {
    const auto images = readIcon(readFile(assetsDir + "/pixelwain.ico"));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 32);
    EXPECT_EQ(images[0].height, 32);
    EXPECT_EQ(images[0].directoryColours, 16);
    EXPECT_EQ(images[0].paletteSize, 16);
    EXPECT_LE(distinctColours(images[0].pixels), 16);
}

TEST(WindowIcon, IcoAndPngShowTheSamePicture) {
    pxwInitAssets();
    const auto ico = readIcon(readFile(assetsDir + "/pixelwain.ico"));
    ASSERT_EQ(ico.size(), 1u);
    const auto png = pixelsOf(QImage(QStringLiteral(":/icons/pixelwain.png")));
    EXPECT_EQ(ico[0].pixels, png);
    EXPECT_EQ(png, pixelsOf(QImage(assetsDir + "/pixelwain.png")));
}

TEST(WindowIcon, HasATransparentBackgroundAndAPicture) {
    const auto pixels = readIcon(readFile(assetsDir + "/pixelwain.ico"))[0].pixels;
    EXPECT_EQ(pixels.front(), 0u) << "top-left corner should be transparent";
    EXPECT_NE(pixels[16 * 32 + 12], 0u) << "the middle should be drawn";
    EXPECT_GE(distinctColours(pixels), 8);
}

TEST(AlbumIcon, HoldsA32And48PixelImageWith16Colours) {
    const auto images = readIcon(readFile(assetsDir + "/pxwicon.ico"));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 32);
    EXPECT_EQ(images[1].width, 48);
    for (const auto& image : images) {
        EXPECT_EQ(image.height, image.width);
        EXPECT_EQ(image.paletteSize, 16);
        EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width * image.height));
    }
}

TEST(AlbumIcon, DiffersFromTheWindowIcon) {
    const auto album = readIcon(readFile(assetsDir + "/pxwicon.ico"));
    const auto window = readIcon(readFile(assetsDir + "/pixelwain.ico"));
    ASSERT_FALSE(album.empty());
    ASSERT_FALSE(window.empty());
    EXPECT_NE(album[0].pixels, window[0].pixels);
}

TEST(IconReader, RejectsOtherFiles) {
    EXPECT_THROW(readIcon(QByteArray("\x89PNG\r\n")), std::runtime_error);
    EXPECT_THROW(readIcon(QByteArray("\0\0\1\0\1\0", 6)), std::runtime_error);
}

TEST(Icons, CheckedInFilesAreWhatTheDrawingScriptMakes) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    QProcess script;
    script.start(python, { assetsDir + "/make_icons.py", scratch.path() });
    ASSERT_TRUE(script.waitForFinished(60000)) << script.errorString().toStdString();
    ASSERT_EQ(script.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();

    for (const char* name : { "/pixelwain.ico", "/pxwicon.ico" })
        EXPECT_EQ(readFile(scratch.path() + name), readFile(assetsDir + name)) << name;
    // Compressed bytes may differ between zlib versions; the picture may not.
    const QImage drawn(scratch.path() + "/pixelwain.png");
    const QImage kept(assetsDir + "/pixelwain.png");
    EXPECT_EQ(pixelsOf(drawn), pixelsOf(kept));
    EXPECT_EQ(drawn.colorTable(), kept.colorTable());
}

} // namespace
