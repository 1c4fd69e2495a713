#pragma once

// True colour brought down to the colours of a fixed palette, as a .wal texture needs: every
// pixel becomes the index of the nearest palette colour by the same measure as the remap between
// palettes, the sum of absolute differences (colour/Nearest.h).

#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace texelary {

// How a true-colour picture becomes a 256-colour one, for a fixed palette and for a palette of
// its own alike.
struct TrueColourOptions {
    // Floyd-Steinberg error diffusion, rows alternately left to right and right to left, for
    // photographs; off by default, so that every pixel simply gets its nearest colour.
    bool dither = false;
    // When set, pixels less than half opaque (alpha below 128) become this index, and no opaque
    // pixel is given it, so that the index means "transparent" and nothing else. When not set,
    // alpha is ignored and every index is an ordinary colour.
    std::optional<std::uint8_t> transparentIndex;
    // For the WAD2 palette: whether its full-bright colours (indices 224 to 255) may be chosen.
    bool fullbright = false;
    // A palette given by the user: the fixed palette of .wal and WAD2 targets instead of the
    // game's, and for the others the palette pictures take instead of one made of their own.
    std::optional<Palette> palette = std::nullopt;
};

// A new picture of the same size whose pixels index `palette`. Without dithering each pixel is
// exactly what a search of all 256 entries (all but the transparent one, when asked for) gives.
// The searches are remembered per thread for the last palette, one byte per 24-bit colour filled
// as colours turn up, so that a batch of pictures pays for each distinct colour once. Null when
// memory runs out or the picture's size does not fit an IndexedImage.
std::unique_ptr<IndexedImage> MapToPalette(const RgbaImage& image, const Palette& palette,
                                           const TrueColourOptions& options = {});

// The same picture as MapToPalette gives, for a palette that will not come again (a picture's
// own): nothing is remembered between calls, and each colour is searched among the entries whose
// channel sum is close enough to its own, which costs far less than filling a table would.
std::unique_ptr<IndexedImage> MapToNewPalette(const RgbaImage& image, const Palette& palette,
                                              const TrueColourOptions& options = {});

// The index that MapToNewPalette without dithering gives each of `count` colours (0xRRGGBB),
// written to `nearest`. False when memory runs out.
bool NearestOfColours(const Palette& palette, const TrueColourOptions& options,
                      const std::uint32_t* colours, std::size_t count, std::uint8_t* nearest);

} // namespace texelary
