#pragma once

// A true-colour picture as the PNG, TGA and PCX readers deliver it: four bytes per pixel (red,
// green, blue, alpha; alpha 255 opaque), rows back to back with a stride of 4 x width, row 0 the
// top row. A file of any depth (grey, 16 bits per sample, 15-bit colour) arrives in this one form.

#include "image/IndexedImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace texelary {

struct RgbaImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels; // 4 x width x height bytes
};

// A picture of width x height pixels, all transparent black. Null for negative sizes, a pixel
// count that does not fit a signed 32-bit integer (so that it can become an IndexedImage), or no
// memory.
std::unique_ptr<RgbaImage> MakeRgbaImage(std::int32_t width, std::int32_t height);

// A palette picture's colours as true colour, each pixel as opaque as `alpha` says for its entry:
// for a palette picture with transparent entries that is to take a transparent index. Null when
// the image has no pixels or memory runs out.
std::unique_ptr<RgbaImage> ExpandToRgba(const IndexedImage& image, const Palette& palette,
                                        const std::array<std::uint8_t, 256>& alpha);

// A palette picture of the same size as `image`, its pixels not yet set, to map `image` into.
// Null when the true-colour pixels do not fill that size or memory runs out.
std::unique_ptr<IndexedImage> IndexedOfSize(const RgbaImage& image);

// Alpha below this is "less than half opaque": such pixels become the transparent index when one
// is asked for.
constexpr std::uint8_t OpaqueAlpha = 128;

} // namespace texelary
