#pragma once

// True colour brought down to the colours of a fixed palette, as a .wal texture needs: every
// pixel becomes the index of the nearest palette colour by the same measure as the remap between
// palettes, the sum of absolute differences (colour/Nearest.h).

#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <array>
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

// Whether an RGBA pixel is one that `options` make transparent: less than half opaque, when there
// is a transparent index.
inline bool Transparent(const std::uint8_t* pixel, const TrueColourOptions& options) {
    return options.transparentIndex && pixel[3] < OpaqueAlpha;
}

// A new picture of the same size whose pixels index `palette`. Without dithering each pixel is
// exactly what a search of all 256 entries (all but the transparent one, when asked for) gives.
// The first picture of a palette is searched colour by colour, as MapToNewPalette does; from the
// second picture of the same palette on, the searches are remembered per thread, one byte per
// 24-bit colour filled as colours turn up, so that a batch of pictures pays for each distinct
// colour once while a single picture pays for no table. Null when memory runs out or the
// picture's size does not fit an IndexedImage.
std::unique_ptr<IndexedImage> MapToPalette(const RgbaImage& image, const Palette& palette,
                                           const TrueColourOptions& options = {});

// For each entry of `source`, the nearest entry of `target`: what a search of all 256 gives. The
// searches look only at the target entries that can be nearest in the colour's block of the
// cube, found once per block and kept per thread while `target` stays the same, so that a batch
// whose files each bring a palette of their own pays little for each. Throws std::bad_alloc when
// memory runs out.
std::array<std::uint8_t, 256> NearestEntries(const Palette& target, const Palette& source);

// The same picture as MapToPalette gives, for a palette that will not come again (a picture's
// own): nothing is remembered between calls, and each colour is searched among the entries that
// can be nearest in its block of the cube, which costs far less than filling a table would.
std::unique_ptr<IndexedImage> MapToNewPalette(const RgbaImage& image, const Palette& palette,
                                              const TrueColourOptions& options = {});

// The index that MapToNewPalette without dithering gives each of `count` colours (0xRRGGBB),
// written to `nearest`. False when memory runs out.
bool NearestOfColours(const Palette& palette, const TrueColourOptions& options,
                      const std::uint32_t* colours, std::size_t count, std::uint8_t* nearest);

} // namespace texelary
