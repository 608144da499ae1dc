// lumabatch-reader.exe: decodes one image for the tool. It gets the open file and the write end
// of its pipe as inherited handles (it opens no path; it may run at low integrity, in a job
// object that limits its memory and time) and the settings on its command line:
//   lumabatch-reader.exe FILE-HANDLE PIPE-HANDLE WIDTH HEIGHT KEEP PIXEL-BUDGET QUALITY DPI-X
//   DPI-Y
// WIDTH, HEIGHT, DPI-X and DPI-Y are 0 for no value, KEEP is 0 or 1. A JPEG photo it converts
// whole with the Linux tool's JPEG reader, so that it comes out as on Linux, byte for byte;
// what that reader leaves, and every other format, it decodes with WIC.

#include "lumabatch/jpeg/direct_jpeg.h"
#include "reader_reply.h"
#include "wic_image.h"

#include <cstdlib>
#include <cwchar>
#include <exception>
#include <optional>
#include <string>
#include <windows.h>

namespace {

using namespace pxw::lumabatch;

std::uint64_t number(const wchar_t* text) {
    return std::wcstoull(text, nullptr, 10);
}

// An inherited handle, whose value the tool wrote on the command line.
HANDLE handleAt(const wchar_t* text) {
    return reinterpret_cast<HANDLE>( // NOLINT(performance-no-int-to-ptr): handles are numbers
        static_cast<std::uintptr_t>(number(text)));
}

bool writeAll(HANDLE pipe, const void* data, std::size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1 << 20));
        if (!WriteFile(pipe, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool sendMessage(HANDLE pipe, wic::ReplyKind kind, std::string message) {
    message.resize(std::min<std::size_t>(message.size(), wic::MaxMessageBytes));
    wic::ReplyHeader header;
    header.kind = static_cast<std::uint32_t>(kind);
    header.length = static_cast<std::uint32_t>(message.size());
    return writeAll(pipe, &header, sizeof header) && writeAll(pipe, message.data(), message.size());
}

// The JPEG reader's verdict on a JPEG photo: the finished file, or none for WIC to decode.
std::optional<std::string> convertedJpeg(
    const std::string& content, const ConvertSettings& settings) {
    if (content.size() < 3 || content.compare(0, 3, "\xFF\xD8\xFF") != 0)
        return std::nullopt;
    try {
        WorkerReply reply = convertJpegDirectly(content.data(), content.size(), settings);
        if (reply.outcome == WorkerOutcome::Converted && reply.message.size() <= wic::MaxJpegBytes)
            return std::move(reply.message);
    } catch (const std::exception&) { // out of memory: WIC may still make do
    }
    return std::nullopt;
}

// The whole file, read through its handle.
bool readWhole(HANDLE file, std::string& content) {
    LARGE_INTEGER size {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || size.QuadPart > (1LL << 31))
        return false;
    content.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < content.size()) {
        DWORD read = 0;
        const DWORD chunk
            = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
        if (!ReadFile(file, content.data() + done, chunk, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 10)
        return 2;
    const HANDLE file = handleAt(argv[1]);
    const HANDLE pipe = handleAt(argv[2]);
    ConvertSettings settings;
    if (const std::uint64_t width = number(argv[3]))
        settings.width = static_cast<int>(width);
    if (const std::uint64_t height = number(argv[4]))
        settings.height = static_cast<int>(height);
    settings.keepProportions = number(argv[5]) != 0;
    const std::uint64_t pixelBudget = number(argv[6]);
    settings.quality = static_cast<int>(number(argv[7]));
    if (const std::uint64_t dpiX = number(argv[8]))
        settings.dpiHorizontal = static_cast<int>(dpiX);
    if (const std::uint64_t dpiY = number(argv[9]))
        settings.dpiVertical = static_cast<int>(dpiY);

    std::string content;
    if (!readWhole(file, content))
        return sendMessage(pipe, wic::ReplyKind::Failed, "cannot read the file") ? 0 : 1;
    CloseHandle(file);
    if (std::optional<std::string> jpeg = convertedJpeg(content, settings)) {
        wic::ReplyHeader header;
        header.kind = static_cast<std::uint32_t>(wic::ReplyKind::Jpeg);
        header.length = static_cast<std::uint32_t>(jpeg->size());
        return writeAll(pipe, &header, sizeof header) && writeAll(pipe, jpeg->data(), jpeg->size())
            ? 0
            : 1;
    }
    const wic::ComScope com;
    wic::Decoded decoded = wic::decodeScaled(content, settings, pixelBudget);
    content = std::string();
    if (decoded.kind != wic::Decoded::Kind::Image) {
        const auto kind = decoded.kind == wic::Decoded::Kind::Unsupported
            ? wic::ReplyKind::Unsupported
            : wic::ReplyKind::Failed;
        return sendMessage(pipe, kind, decoded.reason) ? 0 : 1;
    }
    const wic::Image& image = decoded.image;
    wic::ReplyHeader header;
    header.kind = static_cast<std::uint32_t>(wic::ReplyKind::Pixels);
    header.width = static_cast<std::uint32_t>(image.width);
    header.height = static_cast<std::uint32_t>(image.height);
    header.dpiX = static_cast<std::uint32_t>(image.dpiX);
    header.dpiY = static_cast<std::uint32_t>(image.dpiY);
    header.length = static_cast<std::uint32_t>(image.bgr.size());
    return writeAll(pipe, &header, sizeof header)
            && writeAll(pipe, image.bgr.data(), image.bgr.size())
        ? 0
        : 1;
}
