#pragma once

// A true-colour picture as the PNG, TGA and PCX readers deliver it: four bytes per pixel (red,
// green, blue, alpha; alpha 255 opaque), rows back to back with a stride of 4 x width, row 0 the
// top row. A file of any depth (grey, 16 bits per sample, 15-bit colour) arrives in this one form.

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

// Alpha below this is "less than half opaque": such pixels become the transparent index when one
// is asked for.
constexpr std::uint8_t OpaqueAlpha = 128;

} // namespace texelary
