#include "image/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace texelary {

namespace {

// Source index picked for each target position: trunc of a single-precision accumulator that
// starts at 0 and grows by step, rounded to single precision after every addition. Held to the
// last source index so that unusual factors never read outside the source.
std::int32_t Picked(float accumulator, std::int32_t sourceSize) {
    const auto index = static_cast<std::int64_t>(accumulator);
    return static_cast<std::int32_t>(std::min<std::int64_t>(index, sourceSize - 1));
}

} // namespace

std::int32_t ScaledSize(std::int32_t size, float factor) {
    // long double holds the product of a 32-bit integer and a float exactly where it has a
    // 64-bit mantissa; for the power-of-two factors in use the product is exact in any case.
    const long double product = static_cast<long double>(size) * static_cast<long double>(factor);
    if (!(product > 0.0L)) {
        return 0;
    }
    if (product >= 2147483647.0L) {
        return 2147483647;
    }
    return static_cast<std::int32_t>(product);
}

void Resample(std::uint8_t* target, const PixelView& source, float horizontalFactor,
              float verticalFactor) {
    const float stepX = 1.0f / horizontalFactor;
    const float stepY = 1.0f / verticalFactor;
    const std::int32_t width = ScaledSize(source.width, horizontalFactor);
    const std::int32_t height = ScaledSize(source.height, verticalFactor);
    if (width == 0 || height == 0) {
        return;
    }
    const auto targetWidth = static_cast<std::size_t>(width);

    // Every row picks the same columns, so the column sequence is worked out once.
    if (stepX == 1.0f) {
        float accY = 0.0f;
        for (std::int32_t y = 0; y < height; ++y) {
            const auto row = static_cast<std::size_t>(Picked(accY, source.height));
            std::memcpy(target + static_cast<std::size_t>(y) * targetWidth,
                        source.pixels + row * source.stride, targetWidth);
            accY += stepY;
        }
        return;
    }
    // A whole-number step below 2^24 makes every accumulator value exact, so the picked column
    // is simply x times the step: the mip levels take this path and need no column table.
    constexpr float kExactLimit = 16777216.0f;
    if (stepX >= 1.0f && stepX == std::floor(stepX) &&
        static_cast<float>(source.width) <= kExactLimit) {
        const auto step = static_cast<std::size_t>(stepX);
        float accY = 0.0f;
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* in =
                source.pixels +
                static_cast<std::size_t>(Picked(accY, source.height)) * source.stride;
            std::uint8_t* out = target + static_cast<std::size_t>(y) * targetWidth;
            for (std::size_t x = 0; x < targetWidth; ++x) {
                out[x] = in[x * step];
            }
            accY += stepY;
        }
        return;
    }
    std::vector<std::uint32_t> columns(targetWidth);
    float accX = 0.0f;
    for (auto& column : columns) {
        column = static_cast<std::uint32_t>(Picked(accX, source.width));
        accX += stepX;
    }
    float accY = 0.0f;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* in =
            source.pixels + static_cast<std::size_t>(Picked(accY, source.height)) * source.stride;
        std::uint8_t* out = target + static_cast<std::size_t>(y) * targetWidth;
        for (std::size_t x = 0; x < targetWidth; ++x) {
            out[x] = in[columns[x]];
        }
        accY += stepY;
    }
}

} // namespace texelary
