#pragma once

// Where the mip levels of a .m8 or .wal file lie, and how the levels below the full-size picture
// are made. The levels follow the file's header back to back, level 0 first, rows top to bottom.

#include "formats/WriteOptions.h"
#include "image/IndexedImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace texelary {

constexpr std::size_t kMaxMipLevels = 16;

struct MipLevel {
    float factor = 1.0f; // 2^-i, the single-precision value that point sampling uses
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t offset = 0; // where its pixels start in the file; 0 for a level without pixels
};

struct MipLevels {
    std::array<MipLevel, kMaxMipLevels> levels{};
    std::size_t count = 0;
    std::size_t fileSize = 0; // the header and every level
};

// How the sides of the levels follow from the picture's.
enum class LevelSizes : std::uint8_t {
    Scaled,   // level i is ScaledSize(W, 2^-i) x ScaledSize(H, 2^-i)
    Averaged, // each level HalvedSide of the one above, down to 1 x 1, then 0 x 0
};

// The layout of `count` (at most kMaxMipLevels) levels of a W x H picture after a header of
// `headerSize` bytes; none when a side is negative or the pixel count or the file length does
// not fit a signed 32-bit integer. A level with a zero side has no pixels and offset 0, but
// keeps its computed width and height. A picture without pixels always gets Scaled sizes: it
// has no levels to average.
std::optional<MipLevels> LayOutLevels(std::int32_t width, std::int32_t height,
                                      std::size_t headerSize, std::size_t count, LevelSizes sizes);

// Fills levels 1 and on inside `file` (layout.fileSize bytes, level 0 already in place): with
// Point each samples level 0, the full-size picture, never the level before; with Box each
// averages the level above in `palette`'s colours.
void MakeSmallerLevels(std::uint8_t* file, const MipLevels& layout, MipFilter mips,
                       const Palette& palette);

// Every level inside `file` (layout.fileSize bytes): `image`'s pixels as level 0, the picture's
// indices as they are, then the smaller levels as MakeSmallerLevels makes them. Nothing for a
// picture without pixels.
void PlaceLevels(std::uint8_t* file, const MipLevels& layout, const IndexedImage& image,
                 MipFilter mips, const Palette& palette);

} // namespace texelary
