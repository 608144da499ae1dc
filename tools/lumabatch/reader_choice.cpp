#include "reader_choice.h"

#include "text_util.h"

#include <array>
#include <fstream>
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
