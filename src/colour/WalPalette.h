#pragma once

// The fixed palette that the pixels of every .wal file index, and the nearest-colour remap onto it.

#include "image/IndexedImage.h"

#include <array>
#include <cstdint>
#include <span>

namespace texelary {

extern const Palette WalPalette;

// For each source index, the index of the nearest target colour by the sum of absolute
// differences (colour/Nearest.h).
using RemapTable = std::array<std::uint8_t, 256>;
RemapTable BuildRemapTable(const Palette& target, const Palette& source);

// Rewrites every pixel in place from an index into `source` to the index of the nearest colour
// in `target`. The search of the 256 colours runs once per call (and is reused while the same pair
// of palettes comes back); the pixels then go through a table.
void RemapToPalette(std::span<std::uint8_t> pixels, const Palette& target, const Palette& source);
// The same, written to `out` (as many bytes as `pixels`, or `pixels` itself) instead of in place.
void RemapToPalette(std::span<const std::uint8_t> pixels, std::uint8_t* out, const Palette& target,
                    const Palette& source);

} // namespace texelary
