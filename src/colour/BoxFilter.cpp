#include "colour/BoxFilter.h"

#include "base/LastPerThread.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace texelary {

namespace {

constexpr std::uint32_t kCached = 1u << 24; // marks a used cache slot; colours use 24 bits

} // namespace

NearestBySquares::NearestBySquares(const Palette& palette)
    : m_palette(palette)
    , m_channels(SplitChannels<float>(palette)) {
    for (std::size_t i = 0; i < 256; ++i) {
        m_index[i] = static_cast<std::int32_t>(i);
    }
    // An entry's own colour is at distance 0 from it, so the search gives the lowest index of
    // that colour.
    for (std::size_t i = 0; i < 256; ++i) {
        m_canonical[i] = Search(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]);
    }
}

std::uint8_t NearestBySquares::Search(std::int32_t red, std::int32_t green,
                                      std::int32_t blue) const {
    const auto r = static_cast<float>(red);
    const auto g = static_cast<float>(green);
    const auto b = static_cast<float>(blue);
    // Each entry's distance (below 2^18) and index in one key: the smallest key is the first
    // entry at the smallest distance, the tie rule of Nearest.h, and the loop is one vector
    // reduction.
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    for (std::size_t t = 0; t < 256; ++t) {
        const float distance =
            SquaredDistance(m_channels.red[t], m_channels.green[t], m_channels.blue[t], r, g, b);
        best = std::min(best, (static_cast<std::int32_t>(distance) << 8) | m_index[t]);
    }
    return static_cast<std::uint8_t>(best & 0xFF);
}

std::size_t NearestBySquares::SlotOf(std::uint32_t colour) {
    // Fibonacci hashing: neighbouring colours land far apart.
    return static_cast<std::size_t>((colour * 2654435761u) >> (32 - kCacheBits));
}

std::uint8_t NearestBySquares::Find(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint32_t colour = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    const std::size_t slot = SlotOf(colour);
    if (m_cacheKeys[slot] != (colour | kCached)) {
        m_cacheKeys[slot] = colour | kCached;
        m_cacheValues[slot] = Search(red, green, blue);
    }
    return m_cacheValues[slot];
}

NearestBySquares& NearestBySquares::For(const Palette& palette) {
    static LastPerThread<Palette, NearestBySquares> last;
    return last.For(palette);
}

std::int32_t HalvedSide(std::int32_t side) {
    return side > 1 ? side / 2 : side;
}

void AverageLevelInto(std::uint8_t* target, const PixelView& above, NearestBySquares& nearest) {
    const std::int32_t width = HalvedSide(above.width);
    const std::int32_t height = HalvedSide(above.height);
    const std::size_t blockWidth = above.width > 1 ? 2 : 1;
    const std::size_t blockHeight = above.height > 1 ? 2 : 1;
    const std::uint32_t count = static_cast<std::uint32_t>(blockWidth * blockHeight);
    const Palette& palette = nearest.Colours();
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* rows[2] = {
            above.pixels + static_cast<std::size_t>(y) * blockHeight * above.stride, nullptr};
        rows[1] = blockHeight == 2 ? rows[0] + above.stride : rows[0];
        for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t left = static_cast<std::size_t>(x) * blockWidth;
            const std::size_t right = left + blockWidth - 1;
            const std::uint8_t first = rows[0][left];
            if (rows[0][right] == first && rows[1][left] == first && rows[1][right] == first) {
                // A block of one index averages to that entry's own colour.
                *target++ = nearest.Canonical(first);
                continue;
            }
            std::uint32_t sums[3] = {0, 0, 0};
            for (std::size_t row = 0; row < blockHeight; ++row) {
                for (std::size_t column = left; column <= right; ++column) {
                    const std::size_t entry = 3 * std::size_t{rows[row][column]};
                    sums[0] += palette[entry];
                    sums[1] += palette[entry + 1];
                    sums[2] += palette[entry + 2];
                }
            }
            *target++ = nearest.Find(static_cast<std::uint8_t>(sums[0] / count),
                                     static_cast<std::uint8_t>(sums[1] / count),
                                     static_cast<std::uint8_t>(sums[2] / count));
        }
    }
}

} // namespace texelary
