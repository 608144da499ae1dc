#include "image_pipeline.h"

#include "text_util.h"

#include <Magick++.h>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>
#include <vips/vips8>
extern "C" {
#include <vips/vector.h>
}

namespace fs = std::filesystem;
using pxw::platform::Status;
using vips::VImage;

namespace pxw::lumabatch {

namespace {

constexpr double MillimetresPerInch = 25.4;
constexpr std::string_view PhotoCdSignature = "PCD_IPI";
constexpr std::size_t PhotoCdSignatureOffset = 2048;

bool readWholeFile(const fs::path& file, std::string& bytes, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open the file";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read the file";
        return false;
    }
    return true;
}

bool hasPhotoCdSignature(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, PhotoCdSignature.size()> head {};
    in.seekg(static_cast<std::streamoff>(PhotoCdSignatureOffset));
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return in && std::string_view(head.data(), head.size()) == PhotoCdSignature;
}

// Box options for thumbnail / thumbnail_image. A side without a limit is as large as
// libvips allows; without both sides the image keeps its size.
struct Box {
    int width;
    int height;
    VipsSize size;
};

Box boxFor(const ConvertSettings& settings) {
    if (!settings.width && !settings.height)
        return { VIPS_MAX_COORD, VIPS_MAX_COORD, VIPS_SIZE_DOWN };
    Box box { settings.width.value_or(VIPS_MAX_COORD), settings.height.value_or(VIPS_MAX_COORD),
        VIPS_SIZE_BOTH };
    // Stretching needs both sides; with one side given the other follows the proportions.
    if (settings.width && settings.height && !settings.keepProportions)
        box.size = VIPS_SIZE_FORCE;
    return box;
}

vips::VOption* thumbnailOptions(const Box& box) {
    return VImage::option()
        ->set("height", box.height)
        ->set("size", box.size)
        ->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
}

VImage loadWithVips(const fs::path& source, const ConvertSettings& settings) {
    Box box = boxFor(settings);
    return VImage::thumbnail(source.c_str(), box.width, thumbnailOptions(box));
}

VImage loadWithMagick(const fs::path& source, const char* format, const ConvertSettings& settings) {
    std::string bytes;
    std::string error;
    if (!readWholeFile(source, bytes, error))
        throw std::runtime_error(error);
    Magick::Image image;
    image.quiet(true);
    image.magick(format);
    image.read(Magick::Blob(bytes.data(), bytes.size()));
    bytes.clear();
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
    VImage loaded(memory);
    loaded = loaded.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    Box box = boxFor(settings);
    return loaded.thumbnail_image(box.width, thumbnailOptions(box));
}

// The colour space an embedded ICC profile is made for ("RGB ", "GRAY", "CMYK", ...).
std::string_view profileColourSpace(const VImage& image) {
    if (!image.get_typeof(VIPS_META_ICC_NAME))
        return {};
    std::size_t length = 0;
    const void* data = image.get_blob(VIPS_META_ICC_NAME, &length);
    constexpr std::size_t SignatureOffset = 16;
    if (length < SignatureOffset + 4)
        return {};
    return std::string_view(static_cast<const char*>(data) + SignatureOffset, 4);
}

// thumbnail converts CMYK to sRGB itself but leaves other embedded profiles in place
// (converting everything through its export profile shifts untagged colours here).
VImage toSrgb(VImage image) {
    std::string_view profileSpace = profileColourSpace(image);
    if ((profileSpace == "RGB " && image.bands() >= 3)
        || (profileSpace == "GRAY" && image.bands() <= 2))
        image = image.icc_transform(
            "srgb", VImage::option()->set("embedded", true)->set("intent", VIPS_INTENT_RELATIVE));
    VipsInterpretation interpretation = image.interpretation();
    if (interpretation != VIPS_INTERPRETATION_sRGB && interpretation != VIPS_INTERPRETATION_RGB) {
        if (vips_colourspace_issupported(image.get_image())) {
            image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        } else {
            // Untagged pixels: take them by their band count.
            image = image.copy(VImage::option()->set("interpretation",
                image.bands() < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
            if (image.bands() < 3)
                image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        }
    }
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

VImage flattenOnWhite(VImage image) {
    if (image.has_alpha())
        image = image.flatten(
            VImage::option()->set("background", std::vector<double> { 255, 255, 255 }));
    if (image.bands() > 3)
        image = image.extract_band(0, VImage::option()->set("n", 3));
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

// libvips' `strip` would drop the resolution as well, so the source's metadata is removed
// field by field and the resolution stays.
VImage withoutSourceMetadata(VImage image) {
    image = image.copy();
    std::unique_ptr<gchar*, decltype(&g_strfreev)> fields(
        vips_image_get_fields(image.get_image()), &g_strfreev);
    for (gchar** field = fields.get(); field && *field; ++field) {
        std::string_view name = *field;
        if (name.starts_with("exif-") || name == VIPS_META_XMP_NAME || name == VIPS_META_IPTC_NAME
            || name == VIPS_META_ICC_NAME || name == VIPS_META_ORIENTATION
            || name == "jpeg-thumbnail-data")
            image.remove(*field);
    }
    // libvips writes a small EXIF block of its own (size, resolution); left alone it
    // would call the colours uncalibrated.
    image.set("exif-ifd2-ColorSpace", "1 (sRGB, Short, 1 components, 2 bytes)");
    return image;
}

VImage withResolution(VImage image, const ConvertSettings& settings) {
    if (!settings.dpiHorizontal && !settings.dpiVertical)
        return image;
    auto option = VImage::option();
    if (settings.dpiHorizontal)
        option->set("xres", *settings.dpiHorizontal / MillimetresPerInch);
    if (settings.dpiVertical)
        option->set("yres", *settings.dpiVertical / MillimetresPerInch);
    image = image.copy(option);
    // A source measured in centimetres would otherwise pass its unit on.
    image.set(VIPS_META_RESOLUTION_UNIT, "in");
    return image;
}

// Called by libvips as the pixels are computed; a cancelled run stops the computation there.
void stopIfCancelled(VipsImage* image, VipsProgress*, void* flag) {
    if (static_cast<const std::atomic<bool>*>(flag)->load())
        vips_image_set_kill(image, TRUE);
}

std::string encodeJpeg(VImage image, int quality, const std::atomic<bool>* cancelled) {
    if (cancelled) {
        image = image.copy();
        vips_image_set_progress(image.get_image(), TRUE);
        g_signal_connect(image.get_image(), "eval", G_CALLBACK(stopIfCancelled),
            const_cast<std::atomic<bool>*>(cancelled));
    }
    VipsBlob* blob
        = image.jpegsave_buffer(VImage::option()->set("Q", quality)->set("interlace", false));
    std::unique_ptr<VipsBlob, void (*)(VipsBlob*)> owner(
        blob, [](VipsBlob* b) { vips_area_unref(VIPS_AREA(b)); });
    std::size_t length = 0;
    const void* data = vips_blob_get(blob, &length);
    return std::string(static_cast<const char*>(data), length);
}

std::string reasonFromVips(const std::string& message) {
    if (message.find("is not a known file format") != std::string::npos)
        return "not an image this tool can read";
    return oneLine(message);
}

} // namespace

void initImageLibraries(const char* programPath) {
    static std::once_flag once;
    std::call_once(once, [programPath] {
        Magick::InitializeMagick(programPath);
        // Warnings of the readers name no file and change nothing: failures are reported
        // per file instead.
        g_log_set_handler(
            "VIPS", G_LOG_LEVEL_WARNING,
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        if (VIPS_INIT(programPath ? programPath : "lumabatch") != 0)
            vips_error_exit("cannot start libvips");
        // Nothing is read twice in a batch, so caching would only hold on to memory.
        vips_cache_set_max(0);
        // liborc frees its generated code without a lock; with several images in flight that
        // crashed now and then. The plain C paths cost about 4% of a batch's time.
        vips_vector_set_enabled(FALSE);
    });
}

Reader readerFor(const fs::path& file) {
    std::string extension = file.extension().string();
    if (equalIgnoringCase(extension, ".pcd") || hasPhotoCdSignature(file))
        return Reader::MagickPhotoCd;
    if (equalIgnoringCase(extension, ".mac") || equalIgnoringCase(extension, ".pntg")
        || equalIgnoringCase(extension, ".pnt"))
        return Reader::MagickMacPaint;
    return Reader::Vips;
}

Status convertToJpeg(const fs::path& source, const ConvertSettings& settings, std::string& jpeg) {
    initImageLibraries(nullptr);
    try {
        VImage image;
        switch (readerFor(source)) {
        case Reader::Vips:
            image = loadWithVips(source, settings);
            break;
        case Reader::MagickPhotoCd:
            image = loadWithMagick(source, "PCD", settings);
            break;
        case Reader::MagickMacPaint:
            image = loadWithMagick(source, "MAC", settings);
            break;
        }
        image = withResolution(withoutSourceMetadata(flattenOnWhite(toSrgb(image))), settings);
        jpeg = encodeJpeg(image, settings.quality, settings.cancelled);
        return Status::success();
    } catch (const vips::VError& error) {
        return Status::failure(reasonFromVips(error.what()));
    } catch (const Magick::Exception& error) {
        return Status::failure(oneLine(error.what()));
    } catch (const std::exception& error) {
        return Status::failure(oneLine(error.what()));
    }
}

} // namespace pxw::lumabatch
