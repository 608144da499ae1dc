#include "reader_choice.h"

#include "text_util.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string_view>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

constexpr std::string_view PhotoCdSignature = "PCD_IPI";
constexpr std::size_t PhotoCdSignatureOffset = 2048;

bool hasPhotoCdSignature(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, PhotoCdSignature.size()> head {};
    in.seekg(static_cast<std::streamoff>(PhotoCdSignatureOffset));
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return in && std::string_view(head.data(), head.size()) == PhotoCdSignature;
}

// Above this the coefficients of a progressive JPEG make it a heavy read.
constexpr std::uint64_t HeavyDecodeBytes = std::uint64_t { 32 } << 20;
// Markers before the frame header (tables, EXIF with its thumbnail) lie within this.
constexpr std::size_t JpegHeaderBytes = 1 << 16;

} // namespace

Reader readerFor(const fs::path& file) {
    std::string extension = file.extension().string();
    if (equalIgnoringCase(extension, ".pcd") || hasPhotoCdSignature(file))
        return Reader::MagickPhotoCd;
    if (equalIgnoringCase(extension, ".mac") || equalIgnoringCase(extension, ".pntg")
        || equalIgnoringCase(extension, ".pnt"))
        return Reader::MagickMacPaint;
    return Reader::Vips;
}

bool readByLibvipsItself(const fs::path& file) {
    std::array<char, 12> head {};
    std::ifstream in(file, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    const std::string_view start(head.data(), static_cast<std::size_t>(in.gcount()));
    return start.starts_with("\xFF\xD8\xFF") || start.starts_with("\x89PNG\r\n\x1A\n")
        || start.starts_with("GIF87a") || start.starts_with("GIF89a")
        || start.starts_with(std::string_view("II*\0", 4))
        || start.starts_with(std::string_view("MM\0*", 4))
        || (start.starts_with("RIFF") && start.substr(8) == "WEBP");
}

namespace {

struct JpegFrame {
    unsigned marker = 0; ///< SOF0 to SOF15
    unsigned precision = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t components = 0;
};

// The frame header of a JPEG file, read segment by segment; none for other files.
std::optional<JpegFrame> jpegFrame(const fs::path& file) {
    std::string head(JpegHeaderBytes, '\0');
    std::ifstream in(file, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (!head.starts_with("\xFF\xD8"))
        return std::nullopt;
    auto byte = [&head](std::size_t at) { return static_cast<unsigned char>(head[at]); };
    for (std::size_t at = 2; at + 9 < head.size() && byte(at) == 0xFF;) {
        const unsigned marker = byte(at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return JpegFrame { marker, byte(at + 4),
                std::uint64_t { byte(at + 7) } << 8 | byte(at + 8),
                std::uint64_t { byte(at + 5) } << 8 | byte(at + 6), byte(at + 9) };
        at += 2 + (byte(at + 2) << 8 | byte(at + 3));
    }
    return std::nullopt;
}

} // namespace

bool readsWholeImageAtOnce(const fs::path& file) {
    const std::optional<JpegFrame> frame = jpegFrame(file);
    const bool progressive = frame && (frame->marker & 0x3) == 0x2;
    return progressive && frame->width * frame->height * frame->components * 2 > HeavyDecodeBytes;
}

bool readByJpegReader(const fs::path& file) {
    constexpr unsigned Baseline = 0xC0;
    constexpr unsigned Progressive = 0xC2;
    const std::optional<JpegFrame> frame = jpegFrame(file);
    return frame && frame->marker >= Baseline && frame->marker <= Progressive
        && frame->precision == 8 && (frame->components == 1 || frame->components == 3);
}

std::string magickFormatFor(Reader reader) {
    switch (reader) {
    case Reader::MagickPhotoCd:
        return "PCD";
    case Reader::MagickMacPaint:
        return "MAC";
    case Reader::Vips:
        break;
    }
    return {};
}

std::string secondReaderFormat(const fs::path& file) {
    struct Kind {
        const char* extension;
        const char* format;
    };
    static constexpr Kind Kinds[] = { { ".jpg", "JPEG" }, { ".jpeg", "JPEG" }, { ".jpe", "JPEG" },
        { ".gif", "GIF" }, { ".tif", "TIFF" }, { ".tiff", "TIFF" }, { ".png", "PNG" },
        { ".psd", "PSD" }, { ".bmp", "BMP" }, { ".jp2", "JP2" }, { ".j2k", "J2K" },
        { ".jpf", "JP2" }, { ".webp", "WEBP" }, { ".heic", "HEIC" }, { ".heif", "HEIC" } };
    const std::string extension = file.extension().string();
    for (const Kind& kind : Kinds) {
        if (equalIgnoringCase(extension, kind.extension))
            return kind.format;
    }
    return {};
}

} // namespace pxw::lumabatch
