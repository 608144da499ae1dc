#include "direct_jpeg.h"

#include "jpeg/libjpeg_errors.h"
#include "lumabatch/inside/icc_profile.h"
#include "resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <lcms2.h>
#include <libexif/exif-data.h>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pxw::lumabatch {

namespace {

// libvips' largest coordinate: the size of a side the box does not limit.
constexpr double UnlimitedSide = 10000000;
// Input pixels the filter gets per output pixel at least, on both axes, when the decoder
// scales down. Against ImageMagick's -resize, 3 or 4 gave the same PSNR (within 0.03 dB on the
// benchmark's photos) for a third more time.
constexpr int InputPixelsPerOutput = 2;
constexpr int Eighths = 8;

WorkerReply leaveToLibvips(std::string why) {
    return { WorkerOutcome::Unsupported, std::move(why) };
}

// The box in the stored picture's axes, as libvips' thumbnail takes it.
struct Box {
    double width = UnlimitedSide;
    double height = UnlimitedSide;
    bool stretch = false; ///< each side to its own size
    bool onlyDown = false; ///< no box given: shrink (never, at this size) but not enlarge
};

Box boxFor(const ConvertSettings& settings, bool turned) {
    Box box;
    if (!settings.width && !settings.height) {
        box.onlyDown = true;
        return box;
    }
    box.width = settings.width.value_or(UnlimitedSide);
    box.height = settings.height.value_or(UnlimitedSide);
    box.stretch = settings.width && settings.height && !settings.keepProportions;
    if (turned)
        std::swap(box.width, box.height);
    return box;
}

std::pair<double, double> shrinkFactors(double width, double height, const Box& box) {
    double across = width / box.width;
    double down = height / box.height;
    if (!box.stretch)
        across = down = std::max(across, down);
    if (box.onlyDown) {
        across = std::max(across, 1.0);
        down = std::max(down, 1.0);
    }
    return { across, down };
}

// The size libvips' thumbnail gives the picture, so that either reader makes the same file:
// it shrinks on load by a power of two that leaves at least half the shrink to its filter
// (taking the whole pixels of the shrunk picture), then sizes the result from that.
std::pair<int, int> libvipsSize(int width, int height, const Box& box) {
    const auto [across, down] = shrinkFactors(width, height, box);
    const double shrink = std::min(across, down);
    const int onLoad = shrink >= 16 ? 8 : shrink >= 8 ? 4 : shrink >= 4 ? 2 : 1;
    const int loadedWidth = width / onLoad;
    const int loadedHeight = height / onLoad;
    const auto [loadedAcross, loadedDown] = shrinkFactors(loadedWidth, loadedHeight, box);
    return { std::max(1, static_cast<int>(std::floor(loadedWidth / loadedAcross + 0.5))),
        std::max(1, static_cast<int>(std::floor(loadedHeight / loadedDown + 0.5))) };
}

// The smallest scale in eighths that still gives the filter its input pixels.
int decodeEighths(int width, int height, int outWidth, int outHeight) {
    for (int eighths = 1; eighths < Eighths; ++eighths) {
        if (width * eighths >= InputPixelsPerOutput * Eighths * outWidth
            && height * eighths >= InputPixelsPerOutput * Eighths * outHeight)
            return eighths;
    }
    return Eighths;
}

struct Marker {
    const JOCTET* data = nullptr;
    unsigned length = 0;
};

int exifOrientation(const Marker& exif) {
    if (!exif.data)
        return 1;
    std::unique_ptr<ExifData, void (*)(ExifData*)> parsed(
        exif_data_new_from_data(exif.data, exif.length), exif_data_unref);
    if (!parsed)
        return 1;
    ExifEntry* entry = exif_content_get_entry(parsed->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1)
        return 1;
    const int orientation = exif_get_short(entry->data, exif_data_get_byte_order(parsed.get()));
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

struct Decoded {
    Pixels pixels;
    int width = 0; ///< of the picture as stored, before scaling
    int height = 0;
    int eighths = Eighths;
    int orientation = 1;
    std::string profile; ///< an ICC profile for the decoded channels, else empty
};

// Reads the header, then decodes at the scale `plan` chooses from the stored size and the
// orientation. No value, with the reason in `why`, when libvips should read it instead.
// Takes from the header what `decode` needs and sets the decoder up at the scale `plan`
// chooses; the reason when libvips should read the file instead.
template <typename Plan>
std::string readHeader(jpeg_decompress_struct& info, Decoded& decoded, Plan& plan) {
    const bool grey = info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE;
    const bool colour = info.num_components == 3
        && (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB);
    if (info.data_precision != 8 || (!grey && !colour))
        return "not an 8-bit grey or colour JPEG";
    constexpr std::string_view ExifHeader { "Exif\0\0", 6 };
    Marker exif;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (!exif.data && marker->marker == JPEG_APP0 + 1 && marker->data_length > ExifHeader.size()
            && std::memcmp(marker->data, ExifHeader.data(), ExifHeader.size()) == 0)
            exif = { marker->data, marker->data_length };
    }
    decoded.orientation = exifOrientation(exif);
    JOCTET* profile = nullptr;
    unsigned profileLength = 0;
    if (jpeg_read_icc_profile(&info, &profile, &profileLength)) {
        decoded.profile.assign(reinterpret_cast<const char*>(profile), profileLength);
        std::free(profile);
    }
    decoded.width = static_cast<int>(info.image_width);
    decoded.height = static_cast<int>(info.image_height);
    decoded.eighths = plan(decoded);
    if (decoded.eighths <= 0)
        return "the box enlarges the picture";
    // A grey profile is applied to grey pixels; without one, libjpeg makes them RGB.
    const bool greyProfile = grey && describesPixels(decoded.profile, "GRAY");
    if (!greyProfile && !(colour && describesPixels(decoded.profile, "RGB ")))
        decoded.profile.clear();
    info.out_color_space = greyProfile ? JCS_GRAYSCALE : JCS_RGB;
    info.scale_num = static_cast<unsigned>(decoded.eighths);
    info.scale_denom = Eighths;
    return {};
}

template <typename Plan>
std::optional<Decoded> decode(const void* data, std::size_t size, Plan plan, std::string& why) {
    jpeg_decompress_struct info {};
    jpeg::Errors errors;
    info.err = jpeg::use(errors);
    Decoded decoded;
    const bool read = jpeg::guarded(errors, [&] {
        jpeg_create_decompress(&info);
        jpeg_mem_src(
            &info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
        jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&info, TRUE);
        why = readHeader(info, decoded, plan);
        if (!why.empty())
            return;
        jpeg_start_decompress(&info);
        Pixels& pixels = decoded.pixels;
        pixels.width = static_cast<int>(info.output_width);
        pixels.height = static_cast<int>(info.output_height);
        pixels.channels = info.output_components;
        const std::size_t rowLength = static_cast<std::size_t>(pixels.width) * pixels.channels;
        pixels.data.resize(rowLength * pixels.height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = &pixels.data[rowLength * info.output_scanline];
            jpeg_read_scanlines(&info, &row, 1);
        }
        why = jpeg::missingData(info, errors);
        if (why.empty())
            jpeg_finish_decompress(&info);
    });
    jpeg_destroy_decompress(&info);
    if (!read)
        why = errors.message.data();
    if (!why.empty())
        return std::nullopt;
    return decoded;
}

// Converts the pixels through their embedded profile to sRGB (relative colorimetric, as the
// libvips reader does); always gives three channels.
std::optional<Pixels> toSrgb(Pixels pixels, const std::string& profile) {
    if (profile.empty())
        return pixels;
    std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> source(
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())),
        cmsCloseProfile);
    std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    if (!source || !srgb)
        return std::nullopt;
    std::unique_ptr<void, void (*)(cmsHTRANSFORM)> transform(
        cmsCreateTransform(source.get(), pixels.channels == 1 ? TYPE_GRAY_8 : TYPE_RGB_8,
            srgb.get(), TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0),
        cmsDeleteTransform);
    if (!transform)
        return std::nullopt;
    Pixels out { pixels.width, pixels.height, 3,
        std::vector<std::uint8_t>(static_cast<std::size_t>(pixels.width) * pixels.height * 3) };
    cmsDoTransform(transform.get(), pixels.data.data(), out.data.data(),
        static_cast<cmsUInt32Number>(pixels.width) * pixels.height);
    return out;
}

void setShort(ExifData* exif, ExifIfd ifd, ExifTag tag, ExifShort value) {
    ExifEntry* entry = exif_content_get_entry(exif->ifd[ifd], tag);
    if (!entry) {
        entry = exif_entry_new();
        exif_content_add_entry(exif->ifd[ifd], entry);
        exif_entry_initialize(entry, tag);
        exif_entry_unref(entry);
    }
    exif_set_short(entry->data, exif_data_get_byte_order(exif), value);
}

void setNumber(ExifData* exif, ExifIfd ifd, ExifTag tag, unsigned value) {
    ExifEntry* entry = exif_content_get_entry(exif->ifd[ifd], tag);
    if (!entry)
        return;
    const ExifByteOrder order = exif_data_get_byte_order(exif);
    if (entry->format == EXIF_FORMAT_RATIONAL)
        exif_set_rational(entry->data, order, { value, 1 });
    else if (entry->format == EXIF_FORMAT_LONG)
        exif_set_long(entry->data, order, value);
    else if (entry->format == EXIF_FORMAT_SHORT)
        exif_set_short(entry->data, order, static_cast<ExifShort>(value));
}

// The EXIF block libvips writes: the size, the resolution in inches and sRGB as the colour
// space.
std::string exifBlock(int width, int height, int dpiAcross, int dpiDown) {
    std::unique_ptr<ExifData, void (*)(ExifData*)> exif(exif_data_new(), exif_data_unref);
    exif_data_set_byte_order(exif.get(), EXIF_BYTE_ORDER_MOTOROLA);
    exif_data_set_data_type(exif.get(), EXIF_DATA_TYPE_COMPRESSED);
    exif_data_fix(exif.get());
    setShort(exif.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1);
    setShort(exif.get(), EXIF_IFD_0, EXIF_TAG_RESOLUTION_UNIT, 2);
    setNumber(exif.get(), EXIF_IFD_0, EXIF_TAG_X_RESOLUTION, static_cast<unsigned>(dpiAcross));
    setNumber(exif.get(), EXIF_IFD_0, EXIF_TAG_Y_RESOLUTION, static_cast<unsigned>(dpiDown));
    setShort(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_COLOR_SPACE, 1);
    setNumber(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<unsigned>(width));
    setNumber(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<unsigned>(height));
    unsigned char* bytes = nullptr;
    unsigned length = 0;
    exif_data_save_data(exif.get(), &bytes, &length);
    std::string block(reinterpret_cast<const char*>(bytes), length);
    std::free(bytes);
    return block;
}

// Where the encoder writes. libjpeg's own memory destination frees the buffer it handed out
// whenever it grows it, so after an error the caller cannot tell whether to free it; a string
// owned here has no such question.
struct StringDestination {
    jpeg_destination_mgr manager {}; // first: libjpeg hands its callbacks a pointer to it
    std::string bytes;

    static constexpr std::size_t FirstSize = std::size_t { 1 } << 16;

    static StringDestination& of(j_compress_ptr info) {
        return *reinterpret_cast<StringDestination*>(info->dest);
    }
    static void start(j_compress_ptr info) { of(info).growTo(info, 0, FirstSize); }
    static boolean grow(j_compress_ptr info) {
        StringDestination& destination = of(info);
        const std::size_t used = destination.bytes.size();
        destination.growTo(info, used, used * 2);
        return TRUE;
    }
    static void end(j_compress_ptr info) {
        StringDestination& destination = of(info);
        destination.bytes.resize(destination.bytes.size() - destination.manager.free_in_buffer);
    }

    void growTo(j_compress_ptr info, std::size_t used, std::size_t size) {
        bool grown = true;
        try {
            bytes.resize(size);
        } catch (const std::bad_alloc&) {
            grown = false;
        }
        if (!grown)
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
        manager.next_output_byte = reinterpret_cast<JOCTET*>(bytes.data()) + used;
        manager.free_in_buffer = size - used;
    }
};

// Baseline JPEG at `quality`, without chroma subsampling from quality 90 on, as libvips
// writes it.
std::optional<std::string> encode(const Pixels& pixels, const ConvertSettings& settings) {
    jpeg_compress_struct info {};
    jpeg::Errors errors;
    info.err = jpeg::use(errors);
    StringDestination destination;
    destination.manager.init_destination = StringDestination::start;
    destination.manager.empty_output_buffer = StringDestination::grow;
    destination.manager.term_destination = StringDestination::end;
    const std::string exif
        = exifBlock(pixels.width, pixels.height, *settings.dpiHorizontal, *settings.dpiVertical);
    const bool written = jpeg::guarded(errors, [&] {
        jpeg_create_compress(&info);
        info.dest = &destination.manager;
        info.image_width = static_cast<JDIMENSION>(pixels.width);
        info.image_height = static_cast<JDIMENSION>(pixels.height);
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, settings.quality, TRUE);
        if (settings.quality >= 90) {
            for (int i = 0; i < info.num_components; ++i)
                info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
        }
        info.write_JFIF_header = TRUE;
        info.density_unit = 1; // dots per inch
        info.X_density = static_cast<UINT16>(*settings.dpiHorizontal);
        info.Y_density = static_cast<UINT16>(*settings.dpiVertical);
        jpeg_start_compress(&info, TRUE);
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
            static_cast<unsigned>(exif.size()));
        const std::size_t rowLength = static_cast<std::size_t>(pixels.width) * 3;
        while (info.next_scanline < info.image_height) {
            auto row = const_cast<JSAMPROW>(&pixels.data[rowLength * info.next_scanline]);
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    jpeg_destroy_compress(&info);
    if (!written)
        return std::nullopt;
    return std::move(destination.bytes);
}

} // namespace

WorkerReply convertJpegDirectly(
    const void* data, std::size_t size, const ConvertSettings& settings) {
    constexpr int MaxDensity = 65535;
    if (!settings.dpiHorizontal || !settings.dpiVertical || *settings.dpiHorizontal < 1
        || *settings.dpiVertical < 1 || *settings.dpiHorizontal > MaxDensity
        || *settings.dpiVertical > MaxDensity)
        return leaveToLibvips("the source's resolution is to be kept");
    int outWidth = 0;
    int outHeight = 0;
    std::string why;
    std::optional<Decoded> decoded = decode(
        data, size,
        [&](const Decoded& stored) {
            const Box box = boxFor(settings, stored.orientation >= 5);
            std::tie(outWidth, outHeight) = libvipsSize(stored.width, stored.height, box);
            if (outWidth > stored.width || outHeight > stored.height)
                return 0;
            return decodeEighths(stored.width, stored.height, outWidth, outHeight);
        },
        why);
    if (!decoded)
        return leaveToLibvips(why);
    const double scaled = decoded->eighths / static_cast<double>(Eighths);
    Pixels& pixels = decoded->pixels;
    // Kept at its size (no box): the filter would only copy it, slowly.
    Pixels resized = pixels.width == outWidth && pixels.height == outHeight
        ? std::move(pixels)
        : resizeLanczos3(
            pixels, decoded->width * scaled, decoded->height * scaled, outWidth, outHeight);
    std::optional<Pixels> srgb
        = toSrgb(turnUpright(resized, decoded->orientation), decoded->profile);
    if (!srgb)
        return leaveToLibvips("its colour profile cannot be read");
    std::optional<std::string> jpeg = encode(*srgb, settings);
    if (!jpeg)
        return leaveToLibvips("the picture cannot be encoded");
    return { WorkerOutcome::Converted, std::move(*jpeg) };
}

} // namespace pxw::lumabatch
