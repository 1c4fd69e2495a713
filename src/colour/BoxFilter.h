#pragma once

// Averaged mip levels: each level made from the level just above it, each pixel the average
// colour of a 2 x 2 block of that level, mapped back to the nearest colour of the palette. This is
// how the games' own tools made the levels of their textures; point sampling keeps one pixel of
// four instead, which shimmers in the distance.

#include "colour/Nearest.h"
#include "image/IndexedImage.h"
#include "image/Resample.h"

#include <array>
#include <cstdint>

namespace texelary {

// The palette entry nearest to a colour by the squared distance of Nearest.h, the measure of
// averaged levels. Answers are remembered per colour (a cache of kCacheSlots, the older answer
// giving way), so that a smooth picture, and a batch of pictures with one palette, pays for few
// searches.
class NearestBySquares {
public:
    explicit NearestBySquares(const Palette& palette);

    // The search for `palette` kept by this thread, with the answers it remembers: made anew
    // when the palette differs from the last one asked for, byte for byte. Valid until the next
    // call on this thread.
    static NearestBySquares& For(const Palette& palette);

    std::uint8_t Find(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    // The nearest entry to the colour of entry `index`: the lowest index of that same colour.
    std::uint8_t Canonical(std::uint8_t index) const { return m_canonical[index]; }

    const Palette& Colours() const { return m_palette; }

private:
    static std::size_t SlotOf(std::uint32_t colour);
    std::uint8_t Search(std::int32_t red, std::int32_t green, std::int32_t blue) const;

    static constexpr int kCacheBits = 18;
    static constexpr std::size_t kCacheSlots = std::size_t{1} << kCacheBits;

    Palette m_palette;
    // The palette by channel, as floats: squared distances of bytes stay exact in them (at most
    // 3 x 255^2), and the search over all 256 entries then runs as vector arithmetic.
    Channels<float> m_channels;
    std::array<std::int32_t, 256> m_index{}; // 0 to 255, for the search's keys
    std::array<std::uint8_t, 256> m_canonical{};
    std::array<std::uint32_t, kCacheSlots> m_cacheKeys{}; // colour | kCached, 0 when empty
    std::array<std::uint8_t, kCacheSlots> m_cacheValues{};
};

// One side of the level below a level with this side: halved and rounded down, except that a
// side of 1 stays 1 while the other side still halves.
std::int32_t HalvedSide(std::int32_t side);

// Writes into `target` the level below `above`, of HalvedSide(width) x HalvedSide(height) pixels.
// Pixel (x, y) averages the block of `above` that starts at (2x, 2y): 2 x 2 pixels, or 1 x 2 /
// 2 x 1 where a side of `above` is 1; each of red, green and blue is the sum over the block
// divided by the block's pixel count, rounded down, and the result is `nearest`'s entry for that
// colour. A last odd column or row of `above` belongs to no block. `above` must be at least 1 x 1
// and not 1 x 1.
void AverageLevelInto(std::uint8_t* target, const PixelView& above, NearestBySquares& nearest);

} // namespace texelary
