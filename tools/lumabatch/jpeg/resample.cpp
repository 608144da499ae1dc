#include "resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pxw::lumabatch {

namespace {

constexpr double Lobes = 3;

double lanczos3(double x) {
    x = std::abs(x);
    if (x < 1e-9)
        return 1;
    if (x >= Lobes)
        return 0;
    const double px = std::numbers::pi * x;
    return Lobes * std::sin(px) * std::sin(px / Lobes) / (px * px);
}

// The filter of one axis: for each output position, its first input position and weights.
struct Taps {
    int stride = 0; ///< weights kept per output position
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights;
};

Taps tapsFor(int inSize, double span, int outSize) {
    const double scale = span / outSize;
    const double widen = std::max(scale, 1.0);
    const double support = Lobes * widen;
    Taps taps;
    taps.stride = static_cast<int>(std::ceil(2 * support)) + 1;
    taps.first.resize(outSize);
    taps.count.resize(outSize);
    taps.weights.assign(static_cast<std::size_t>(outSize) * taps.stride, 0.0F);
    for (int out = 0; out < outSize; ++out) {
        const double centre = (out + 0.5) * scale - 0.5;
        const int low = std::max(0, static_cast<int>(std::ceil(centre - support)));
        const int high = std::min(inSize - 1, static_cast<int>(std::floor(centre + support)));
        const int count = std::min(std::max(high - low + 1, 1), taps.stride);
        float* weights = &taps.weights[static_cast<std::size_t>(out) * taps.stride];
        double total = 0;
        for (int i = 0; i < count; ++i)
            total += lanczos3((low + i - centre) / widen);
        for (int i = 0; i < count; ++i)
            weights[i] = static_cast<float>(
                total != 0 ? lanczos3((low + i - centre) / widen) / total : 1.0 / count);
        taps.first[out] = std::min(low, inSize - 1);
        taps.count[out] = count;
    }
    return taps;
}

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

Pixels resizeLanczos3(const Pixels& in, double spanX, double spanY, int width, int height) {
    const Taps across = tapsFor(in.width, spanX, width);
    const Taps down = tapsFor(in.height, spanY, height);
    const int channels = in.channels;
    const std::size_t rowLength = static_cast<std::size_t>(in.width) * channels;
    Pixels out { width, height, channels,
        std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * channels) };
    // Down the columns first, a whole input row at a time (a loop the compiler vectorises),
    // into one row of sums; then across that row.
    std::vector<float> row(rowLength);
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0.0F);
        const float* weights = &down.weights[static_cast<std::size_t>(y) * down.stride];
        for (int k = 0; k < down.count[y]; ++k) {
            const std::uint8_t* source
                = &in.data[static_cast<std::size_t>(down.first[y] + k) * rowLength];
            const float weight = weights[k];
            for (std::size_t i = 0; i < rowLength; ++i)
                row[i] += weight * static_cast<float>(source[i]);
        }
        std::uint8_t* target = &out.data[static_cast<std::size_t>(y) * width * channels];
        for (int x = 0; x < width; ++x) {
            const float* xWeights = &across.weights[static_cast<std::size_t>(x) * across.stride];
            const float* source = &row[static_cast<std::size_t>(across.first[x]) * channels];
            for (int c = 0; c < channels; ++c) {
                float sum = 0;
                for (int k = 0; k < across.count[x]; ++k)
                    sum += xWeights[k] * source[k * channels + c];
                target[x * channels + c] = toByte(sum);
            }
        }
    }
    return out;
}

Pixels turnUpright(const Pixels& in, int orientation) {
    if (orientation < 2 || orientation > 8)
        return in;
    // How each orientation stores the picture: its axes swapped, then mirrored.
    struct Stored {
        bool swapped;
        bool mirroredX;
        bool mirroredY;
    };
    static constexpr Stored Orientations[] = { {}, {}, { false, true, false },
        { false, true, true }, { false, false, true }, { true, false, false },
        { true, false, true }, { true, true, true }, { true, true, false } };
    const Stored stored = Orientations[orientation];
    const int width = stored.swapped ? in.height : in.width;
    const int height = stored.swapped ? in.width : in.height;
    const int channels = in.channels;
    Pixels out { width, height, channels, std::vector<std::uint8_t>(in.data.size()) };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // The stored pixel shown at (x, y).
            int sx = stored.swapped ? y : x;
            int sy = stored.swapped ? x : y;
            if (stored.mirroredX)
                sx = in.width - 1 - sx;
            if (stored.mirroredY)
                sy = in.height - 1 - sy;
            std::copy_n(&in.data[(static_cast<std::size_t>(sy) * in.width + sx) * channels],
                channels, &out.data[(static_cast<std::size_t>(y) * width + x) * channels]);
        }
    }
    return out;
}

} // namespace pxw::lumabatch
