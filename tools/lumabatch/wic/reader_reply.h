#pragma once

// The reply of the Windows reader program (lumabatch-reader.exe) on its pipe: a header of
// little-endian 32-bit words, then the pixels (blue-green-red, `length` = width * height * 3),
// the finished JPEG of a photo the reader converted itself (width, height and resolution 0), or
// a message of `length` bytes. The tool checks all of it: the reader may be hostile.

#include <cstdint>

namespace pxw::lumabatch::wic {

inline constexpr std::uint32_t ReplyMagic = 0x3152424C; // "LBR1"
/// The longest message a reader may send.
inline constexpr std::uint32_t MaxMessageBytes = 4096;
/// The longest JPEG a reader may send: three bytes a pixel of the largest picture it may make.
inline constexpr std::uint32_t MaxJpegBytes = 300'000'000;

enum class ReplyKind : std::uint32_t { Pixels = 0, Unsupported = 1, Failed = 2, Jpeg = 3 };

struct ReplyHeader {
    std::uint32_t magic = ReplyMagic;
    std::uint32_t kind = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t dpiX = 0;
    std::uint32_t dpiY = 0;
    std::uint32_t length = 0;
};

} // namespace pxw::lumabatch::wic
