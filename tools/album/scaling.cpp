// The album window's smooth scaling, apart from the JPEG decoding of picture.cpp so that the
// Windows album program, which decodes with Windows' codecs, scales the same way.

#include "picture.h"

#include <algorithm>
#include <utility>

namespace pxw::zip {

namespace {

// Averages 2x2 blocks.
Picture halved(const Picture& from) {
    Picture to { from.width / 2, from.height / 2, from.channels, {} };
    to.pixels.resize(static_cast<std::size_t>(to.width) * to.height * to.channels);
    const std::size_t stride = static_cast<std::size_t>(from.width) * from.channels;
    unsigned char* out = to.pixels.data();
    for (int y = 0; y < to.height; ++y) {
        const unsigned char* top = from.pixels.data() + stride * 2 * static_cast<std::size_t>(y);
        const unsigned char* bottom = top + stride;
        for (int x = 0; x < to.width; ++x) {
            for (int c = 0; c < from.channels; ++c) {
                const std::size_t left = static_cast<std::size_t>(2 * x) * from.channels + c;
                const std::size_t right = left + from.channels;
                *out++ = static_cast<unsigned char>(
                    (top[left] + top[right] + bottom[left] + bottom[right] + 2) / 4);
            }
        }
    }
    return to;
}

} // namespace

Size fittedSize(int width, int height, int boxWidth, int boxHeight) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return {};
    // Fit the width, unless that makes the image too tall (compared without rounding).
    if (std::int64_t { boxWidth } * height <= std::int64_t { boxHeight } * width)
        return { boxWidth,
            std::max(1, static_cast<int>(std::int64_t { height } * boxWidth / width)) };
    return { std::max(1, static_cast<int>(std::int64_t { width } * boxHeight / height)),
        boxHeight };
}

Picture scaled(const Picture& picture, Size size) {
    if (picture.empty() || size.width <= 0 || size.height <= 0)
        return {};
    const Picture* from = &picture;
    Picture smaller;
    while (from->width >= 2 * size.width && from->height >= 2 * size.height) {
        smaller = halved(*from);
        from = &smaller;
    }
    const int channels = from->channels;
    Picture to { size.width, size.height, channels, {} };
    to.pixels.resize(static_cast<std::size_t>(size.width) * size.height * channels);
    // Pixel centres of the result mapped onto the source, clamped at the edges; 8 bits of
    // fraction.
    auto sample = [](int at, int toLength, int fromLength, int& first, int& weight) {
        int position = static_cast<int>(
            ((2 * std::int64_t { at } + 1) * fromLength * 256) / (2 * std::int64_t { toLength })
            - 128);
        position = std::clamp(position, 0, (fromLength - 1) * 256);
        first = position >> 8;
        weight = position & 0xFF;
    };
    std::vector<std::pair<int, int>> columns(static_cast<std::size_t>(size.width));
    for (int x = 0; x < size.width; ++x)
        sample(x, size.width, from->width, columns[x].first, columns[x].second);
    const std::size_t stride = static_cast<std::size_t>(from->width) * channels;
    unsigned char* out = to.pixels.data();
    for (int y = 0; y < size.height; ++y) {
        int row = 0, rowWeight = 0;
        sample(y, size.height, from->height, row, rowWeight);
        const unsigned char* top = from->pixels.data() + stride * row;
        const unsigned char* bottom = row + 1 < from->height ? top + stride : top;
        for (int x = 0; x < size.width; ++x) {
            const auto [column, columnWeight] = columns[x];
            const std::size_t left = static_cast<std::size_t>(column) * channels;
            const std::size_t right = column + 1 < from->width ? left + channels : left;
            for (int c = 0; c < channels; ++c) {
                const int upper
                    = top[left + c] * (256 - columnWeight) + top[right + c] * columnWeight;
                const int lower
                    = bottom[left + c] * (256 - columnWeight) + bottom[right + c] * columnWeight;
                *out++ = static_cast<unsigned char>(
                    (upper * (256 - rowWeight) + lower * rowWeight + (1 << 15)) >> 16);
            }
        }
    }
    return to;
}

} // namespace pxw::zip
