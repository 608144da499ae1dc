#include "reader_choice.h"

#include "lumabatch/inside/text_util.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch {

namespace {

constexpr std::string_view PhotoCdSignature = "PCD_IPI";
constexpr std::size_t PhotoCdSignatureOffset = 2048;
// Above this the coefficients of a progressive JPEG make it a heavy read.
constexpr std::uint64_t HeavyDecodeBytes = std::uint64_t { 32 } << 20;
constexpr std::uint64_t MiB = std::uint64_t { 1 } << 20;

struct JpegFrame {
    unsigned marker = 0; ///< SOF0 to SOF15
    unsigned precision = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t components = 0;
    std::uint64_t coefficientBytes = 0; ///< every component's 8 x 8 blocks, 2 bytes a coefficient
};

// The frame header of a JPEG file, read segment by segment; none for other files.
std::optional<JpegFrame> jpegFrame(std::string_view head) {
    if (!head.starts_with("\xFF\xD8"))
        return std::nullopt;
    auto byte
        = [&head](std::size_t at) -> std::uint64_t { return static_cast<unsigned char>(head[at]); };
    for (std::size_t at = 2; at + 9 < head.size() && byte(at) == 0xFF;) {
        const auto marker = static_cast<unsigned>(byte(at + 1));
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC) {
            at += 2 + (byte(at + 2) << 8 | byte(at + 3));
            continue;
        }
        JpegFrame frame { marker, static_cast<unsigned>(byte(at + 4)),
            byte(at + 7) << 8 | byte(at + 8), byte(at + 5) << 8 | byte(at + 6), byte(at + 9), 0 };
        // Each component holds ceil(width * h / hMax / 8) x ceil(height * v / vMax / 8) blocks.
        const std::size_t first = at + 10;
        if (first + 3 * frame.components > head.size())
            return frame;
        std::uint64_t hMax = 1;
        std::uint64_t vMax = 1;
        for (std::size_t c = 0; c < frame.components; ++c) {
            hMax = std::max(hMax, byte(first + 3 * c + 1) >> 4);
            vMax = std::max(vMax, byte(first + 3 * c + 1) & 0xF);
        }
        for (std::size_t c = 0; c < frame.components; ++c) {
            const std::uint64_t h = std::max<std::uint64_t>(byte(first + 3 * c + 1) >> 4, 1);
            const std::uint64_t v = std::max<std::uint64_t>(byte(first + 3 * c + 1) & 0xF, 1);
            const std::uint64_t columns = (frame.width * h + hMax * 8 - 1) / (hMax * 8);
            const std::uint64_t rows = (frame.height * v + vMax * 8 - 1) / (vMax * 8);
            frame.coefficientBytes += columns * rows * 64 * 2;
        }
        return frame;
    }
    return std::nullopt;
}

std::string gigabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (1024.0 * MiB));
    return text;
}

} // namespace

SourceHead inspectHead(std::string_view head, std::string_view name) {
    SourceHead result;
    const std::string extension = fs::path(name).extension().native();
    if (equalIgnoringCase(extension, ".pcd")
        || head.substr(std::min(head.size(), PhotoCdSignatureOffset)).starts_with(PhotoCdSignature))
        result.reader = Reader::MagickPhotoCd;
    else if (equalIgnoringCase(extension, ".mac") || equalIgnoringCase(extension, ".pntg")
        || equalIgnoringCase(extension, ".pnt"))
        result.reader = Reader::MagickMacPaint;
    result.libvipsItself = head.starts_with("\xFF\xD8\xFF") || head.starts_with("\x89PNG\r\n\x1A\n")
        || head.starts_with("GIF87a") || head.starts_with("GIF89a")
        || head.starts_with(std::string_view("II*\0", 4))
        || head.starts_with(std::string_view("MM\0*", 4))
        || (head.starts_with("RIFF")
            && head.substr(std::min<std::size_t>(head.size(), 8), 4) == "WEBP");
    if (const std::optional<JpegFrame> frame = jpegFrame(head)) {
        constexpr unsigned Baseline = 0xC0;
        constexpr unsigned Progressive = 0xC2;
        result.jpegReaderReads = frame->marker >= Baseline && frame->marker <= Progressive
            && frame->precision == 8 && (frame->components == 1 || frame->components == 3);
        result.progressive = (frame->marker & 0x3) == 0x2;
        result.width = frame->width;
        result.height = frame->height;
        result.decodeBytes = result.progressive ? frame->coefficientBytes : 0;
        result.heavy = result.progressive
            && frame->width * frame->height * frame->components * 2 > HeavyDecodeBytes;
    }
    return result;
}

OpenedSource openSource(const fs::path& file) {
    OpenedSource source;
    // O_NONBLOCK: opening a FIFO with no writer would wait for one, for good.
    source.fd.reset(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info { };
    if (!source.fd || ::fstat(source.fd.get(), &info) != 0) {
        source.folder = errno == EISDIR;
        source.refusal
            = source.folder ? "a folder" : "cannot open the file: " + base::errorText(errno);
        source.fd.reset();
        return source;
    }
    if (!S_ISREG(info.st_mode)) {
        source.folder = S_ISDIR(info.st_mode);
        source.refusal = source.folder ? "a folder" : "not a regular file";
        source.fd.reset();
        return source;
    }
    source.device = info.st_dev;
    source.inode = info.st_ino;
    return source;
}

SourceHead readHead(int fd, const fs::path& file) {
    std::string head(SourceHeadBytes, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t read
            = ::pread(fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    head.resize(got);
    return inspectHead(head, file.filename().native());
}

namespace {

SourceHead headOf(const fs::path& file) {
    const OpenedSource source = openSource(file);
    return source.fd ? readHead(source.fd.get(), file) : inspectHead({}, file.filename().native());
}

} // namespace

Reader readerFor(const fs::path& file) {
    return headOf(file).reader;
}

bool readByLibvipsItself(const fs::path& file) {
    return headOf(file).libvipsItself;
}

bool readsWholeImageAtOnce(const SourceHead& head) {
    return head.heavy;
}

bool readsWholeImageAtOnce(const fs::path& file) {
    return readsWholeImageAtOnce(headOf(file));
}

bool readByJpegReader(const fs::path& file) {
    return headOf(file).jpegReaderReads;
}

std::string costRefusal(const SourceHead& head, std::uint64_t memoryLimit) {
    if (memoryLimit == 0 || head.decodeBytes <= memoryLimit)
        return {};
    return "a progressive JPEG of " + std::to_string(head.width) + " x "
        + std::to_string(head.height) + " pixels: decoding it would take "
        + gigabytes(head.decodeBytes) + " of memory, more than the "
        + std::to_string(memoryLimit / MiB) + " MB allowed";
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
