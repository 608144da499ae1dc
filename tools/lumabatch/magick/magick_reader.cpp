#include "magick_reader.h"

#include <Magick++.h>
#include <stdexcept>
#include <vector>

using vips::VImage;

namespace pxw::lumabatch {

namespace {

void start(const char* programPath) {
    Magick::InitializeMagick(programPath);
}

VImage load(const void* data, std::size_t size, const std::string& format) {
    Magick::Image image;
    // Warnings are reported: a damaged image must fail, not pass half grey.
    image.quiet(false);
    image.magick(format);
    try {
        image.read(Magick::Blob(data, size));
    } catch (const Magick::WarningCorruptImage&) {
        throw;
    } catch (const Magick::Warning&) {
        // Remarks about unknown tags and the like: the image is read.
    }
    if (image.columns() == 0 || image.rows() == 0)
        throw std::runtime_error("no image in the file");
    image.autoOrient();
    // Photo CD pixels arrive as YCC; anything else not in sRGB is converted the same way.
    if (image.colorSpace() != MagickCore::sRGBColorspace)
        image.colorSpace(MagickCore::sRGBColorspace);
    const bool withAlpha = image.matte();
    const int bands = withAlpha ? 4 : 3;
    const std::size_t width = image.columns();
    const std::size_t height = image.rows();
    std::vector<unsigned char> pixels(width * height * static_cast<std::size_t>(bands));
    image.write(
        0, 0, width, height, withAlpha ? "RGBA" : "RGB", MagickCore::CharPixel, pixels.data());

    VipsImage* memory = vips_image_new_from_memory_copy(pixels.data(), pixels.size(),
        static_cast<int>(width), static_cast<int>(height), bands, VIPS_FORMAT_UCHAR);
    if (!memory)
        throw vips::VError();
    return VImage(memory).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace

const MagickReader& magickReader() {
    static const MagickReader reader { start, load };
    return reader;
}

} // namespace pxw::lumabatch
