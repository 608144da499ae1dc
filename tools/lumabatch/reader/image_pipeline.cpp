#include "image_pipeline.h"

#include "base/text.h"
#include "base/unique_fd.h"
#include "jpeg/libjpeg_errors.h"
#include "lumabatch/inside/icc_profile.h"
#include "lumabatch/inside/mapped_file.h"
#include "lumabatch/inside/text_util.h"

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
#include <vips/vips8>

namespace fs = std::filesystem;
using pxw::platform::Status;
using vips::VImage;

namespace pxw::lumabatch {

namespace {

constexpr double MillimetresPerInch = 25.4;

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
    return VImage::option()->set("height", box.height)->set("size", box.size);
}

VImage loadWithVips(const MappedFile& file, const ConvertSettings& settings, std::string& padded,
    VipsFailOn failOn) {
    Box box = boxFor(settings);
    const void* data = file.data();
    std::size_t size = file.size();
    // libheif reads ahead past the end of a small file, which a memory source refuses; a
    // HEIF file ("ftyp" box first) gets zeros behind it.
    constexpr std::size_t HeifReadAhead = 1 << 16;
    if (size > 8 && std::string_view(static_cast<const char*>(data) + 4, 4) == "ftyp") {
        padded.assign(static_cast<const char*>(data), size);
        padded.resize(size + HeifReadAhead);
        data = padded.data();
        size = padded.size();
    }
    VipsBlob* blob = vips_blob_new(nullptr, data, size);
    std::unique_ptr<VipsBlob, void (*)(VipsBlob*)> owner(
        blob, [](VipsBlob* b) { vips_area_unref(VIPS_AREA(b)); });
    // thumbnail_buffer keeps its own fail_on from the loader: only the loader's options reach
    // it. With it, the loaders fail on data that ends early (a GIF frame, PNG rows, TIFF
    // strips) and accept flaws after complete data (a missing trailer).
    return VImage::thumbnail_buffer(blob, box.width,
        thumbnailOptions(box)->set(
            "option_string", failOn == VIPS_FAIL_ON_NONE ? "fail_on=none" : "fail_on=truncated"));
}

bool isJpeg(const MappedFile& file) {
    return file.size() > 3 && std::memcmp(file.data(), "\xff\xd8\xff", 3) == 0;
}

std::optional<MagickReader>& magickReader() {
    static std::optional<MagickReader> reader;
    return reader;
}

VImage loadWithMagick(
    const MappedFile& file, const std::string& format, const ConvertSettings& settings) {
    // The tool sends ImageMagick's formats only to the reader program that links it.
    if (!magickReader())
        throw std::runtime_error("this image reader has no ImageMagick");
    VImage loaded = magickReader()->load(file.data(), file.size(), format);
    Box box = boxFor(settings);
    return loaded.thumbnail_image(box.width, thumbnailOptions(box));
}

// libtiff reading from the mapped file. Its RGBA interface reads every TIFF variant libtiff
// knows, old-style JPEG and subsampled YCbCr among them, which libvips and ImageMagick refuse
// or read wrongly.
struct TiffInMemory {
    const MappedFile& file;
    toff_t at = 0;
};

std::string& tiffError() {
    static std::string error;
    return error;
}

void recordTiffError(const char*, const char* format, va_list arguments) {
    std::array<char, 512> text {};
    std::vsnprintf(text.data(), text.size(), format, arguments);
    if (tiffError().empty())
        tiffError() = text.data();
}

tsize_t readTiff(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* tiff = static_cast<TiffInMemory*>(handle);
    const toff_t left = tiff->file.size() - std::min<toff_t>(tiff->at, tiff->file.size());
    const auto count = static_cast<toff_t>(std::min<toff_t>(static_cast<toff_t>(size), left));
    std::memcpy(buffer, static_cast<const char*>(tiff->file.data()) + tiff->at, count);
    tiff->at += count;
    return static_cast<tsize_t>(count);
}

toff_t seekTiff(thandle_t handle, toff_t offset, int whence) {
    auto* tiff = static_cast<TiffInMemory*>(handle);
    const toff_t base = whence == SEEK_CUR ? tiff->at : whence == SEEK_END ? tiff->file.size() : 0;
    tiff->at = base + offset;
    return tiff->at;
}

VImage loadWithLibtiff(const MappedFile& file, const ConvertSettings& settings) {
    tiffError().clear();
    TIFFSetErrorHandler(recordTiffError);
    TIFFSetWarningHandler(nullptr);
    TiffInMemory source { file };
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(
        TIFFClientOpen(
            "image", "rm", &source, readTiff,
            [](thandle_t, tdata_t, tsize_t) -> tsize_t { return -1; }, seekTiff,
            [](thandle_t) { return 0; },
            [](thandle_t handle) -> toff_t {
                return static_cast<TiffInMemory*>(handle)->file.size();
            },
            [](thandle_t, tdata_t*, toff_t*) { return 0; }, [](thandle_t, tdata_t, toff_t) {}),
        TIFFClose);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width)
        || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        throw std::runtime_error(tiffError().empty() ? "not a TIFF image" : tiffError());
    if (width > VIPS_MAX_COORD || height > VIPS_MAX_COORD)
        throw std::runtime_error("the image is too large");
    // One 32-bit RGBA value per pixel, bytes R G B A in memory on this little-endian host.
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 1)
        || !tiffError().empty())
        throw std::runtime_error(tiffError().empty() ? "cannot read the image" : tiffError());
    VipsImage* memory
        = vips_image_new_from_memory_copy(raster.data(), raster.size() * sizeof(std::uint32_t),
            static_cast<int>(width), static_cast<int>(height), 4, VIPS_FORMAT_UCHAR);
    if (!memory)
        throw vips::VError();
    VImage loaded
        = VImage(memory).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    Box box = boxFor(settings);
    return loaded.thumbnail_image(box.width, thumbnailOptions(box));
}

// The embedded ICC profile, or empty.
std::string_view embeddedProfile(const VImage& image) {
    if (!image.get_typeof(VIPS_META_ICC_NAME))
        return {};
    std::size_t length = 0;
    const void* data = image.get_blob(VIPS_META_ICC_NAME, &length);
    return { static_cast<const char*>(data), length };
}

// thumbnail converts CMYK to sRGB itself but leaves other embedded profiles in place
// (converting everything through its export profile shifts untagged colours here).
VImage toSrgb(VImage image) {
    const std::string_view profile = embeddedProfile(image);
    if ((image.bands() >= 3 && describesPixels(profile, "RGB "))
        || (image.bands() <= 2 && describesPixels(profile, "GRAY")))
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

std::string encodeJpeg(const VImage& image, int quality) {
    VipsBlob* blob
        = image.jpegsave_buffer(VImage::option()->set("Q", quality)->set("interlace", false));
    std::unique_ptr<VipsBlob, void (*)(VipsBlob*)> owner(
        blob, [](VipsBlob* b) { vips_area_unref(VIPS_AREA(b)); });
    std::size_t length = 0;
    const void* data = vips_blob_get(blob, &length);
    return std::string(static_cast<const char*>(data), length);
}

// Readers that only warn when the data of a truncated or damaged file run short.
bool isDamageWarning(std::string_view message) {
    for (std::string_view sign :
        { "not enough data", "truncated", "premature", "unexpected end", "error in tile" }) {
        if (findIgnoringCase(message, sign) != std::string_view::npos)
            return true;
    }
    return false;
}

std::mutex& damageLock() {
    static std::mutex lock;
    return lock;
}

std::string& damageWarning() {
    static std::string warning;
    return warning;
}

std::string reasonFromVips(const std::string& message) {
    if (message.find("a known") != std::string::npos)
        return "not an image this tool can read";
    return oneLine(message);
}

} // namespace

void useMagickReader(const MagickReader& reader) {
    magickReader() = reader;
}

void initImageLibraries(const char* programPath, bool withModules) {
    static std::once_flag once;
    std::call_once(once, [programPath, withModules] {
        if (magickReader())
            magickReader()->start(programPath);
        // Warnings of the readers name no file: the one that says the data ran short is kept
        // for the conversion under way, the others change nothing.
        g_log_set_handler(
            "VIPS", G_LOG_LEVEL_WARNING,
            [](const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
                if (message && isDamageWarning(message)) {
                    std::lock_guard lock(damageLock());
                    if (damageWarning().empty())
                        damageWarning() = message;
                }
            },
            nullptr);
        // libvips looks for its modules under VIPSHOME/lib; a place without one has none.
        if (!withModules)
            g_setenv("VIPSHOME", "/nonexistent", TRUE);
        if (VIPS_INIT(programPath ? programPath : "lumabatch") != 0)
            vips_error_exit("cannot start libvips");
        // Nothing is read twice in a batch, so caching would only hold on to memory.
        vips_cache_set_max(0);
        // liborc's vector code stays on: a reader converts one image at a time, so no thread
        // frees generated code while another compiles some.
    });
}

Status convertDescriptor(int fd, const std::string& magickFormat, const ConvertSettings& settings,
    std::string& jpeg, Failure* failure) {
    initImageLibraries(nullptr);
    auto failed = [&](Failure kind, const std::string& reason) {
        if (failure)
            *failure = kind;
        return Status::failure(reason);
    };
    auto converted = [&] {
        if (failure)
            *failure = Failure::None;
        return Status::success();
    };
    try {
        // The file stays mapped until the image is encoded.
        const MappedFile file(fd);
        std::string padded;
        vips_error_clear();
        {
            std::lock_guard lock(damageLock());
            damageWarning().clear();
        }
        // libvips can only fail a JPEG on every warning or on none; libjpeg's own state
        // tells complete pixel data with flawed markers, which converts, from data that ends
        // early, which fails: the JPEG reader judges by the same rule.
        const bool byVips = magickFormat.empty();
        std::optional<std::string> missingJpegData;
        if (byVips && isJpeg(file))
            missingJpegData = jpeg::missingData(file.data(), file.size());
        const bool completeJpeg = missingJpegData && missingJpegData->empty();
        VImage image = byVips            ? loadWithVips(file, settings, padded,
                           completeJpeg ? VIPS_FAIL_ON_NONE : VIPS_FAIL_ON_TRUNCATED)
            : magickFormat == TiffFormat ? loadWithLibtiff(file, settings)
                                         : loadWithMagick(file, magickFormat, settings);
        image = withResolution(withoutSourceMetadata(flattenOnWhite(toSrgb(image))), settings);
        jpeg = encodeJpeg(image, settings.quality);
        if (missingJpegData && !missingJpegData->empty())
            return failed(Failure::Damaged, oneLine(*missingJpegData));
        if (completeJpeg)
            return converted();
        // A reader that fails on a tile only warns, and the encoder goes on with grey: a
        // damaged file must fail instead.
        if (const std::string errors = vips_error_buffer(); !errors.empty())
            return failed(Failure::Damaged, oneLine(errors));
        std::lock_guard lock(damageLock());
        if (!damageWarning().empty())
            return failed(Failure::Damaged, "damaged image: " + oneLine(damageWarning()));
        return converted();
    } catch (const vips::VError& error) {
        // A loader that stops on data that ends early says less than the warning it gave.
        if (std::lock_guard lock(damageLock()); !damageWarning().empty())
            return failed(Failure::Damaged, "damaged image: " + oneLine(damageWarning()));
        // An encoder that fails on a damaged file may leave the message in the error buffer.
        std::string message = *error.what() ? error.what() : vips_error_buffer();
        if (message.empty())
            message = "the image data cannot be read";
        const bool unsupported = message.find("not supported") != std::string::npos
            || message.find("unsupported") != std::string::npos
            || message.find("a known") != std::string::npos;
        return failed(
            unsupported ? Failure::Unsupported : Failure::Damaged, reasonFromVips(message));
    } catch (const std::exception& error) {
        return failed(Failure::Damaged, oneLine(error.what()));
    }
}

} // namespace pxw::lumabatch
