#pragma once

// The in-memory picture that every reader makes and every writer takes: one byte per pixel,
// each an index into a Palette that travels beside the image (the image never points to it).
// Rows lie back to back with a stride equal to the width; row 0 is the top row.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace texelary {

// 256 entries of red, green, blue, index 0 first: 768 bytes with no gaps. A plain value.
using Palette = std::array<std::uint8_t, 768>;

// A plain record. The four fields marked unused are kept for the record's layout and are
// always zero on images this program makes. A record may exist without a buffer (before
// AllocatePixels and after FreePixels); a present buffer holds width x height bytes.
struct IndexedImage {
    std::int32_t type = 0;          // unused
    std::int32_t width = 0;         // pixels per row
    std::int32_t height = 0;        // number of rows
    std::int32_t widthBytes = 0;    // unused
    std::uint16_t planes = 0;       // unused
    std::uint16_t bitsPerPixel = 0; // unused
    std::unique_ptr<std::uint8_t[]> pixels;
};

// Gives the image a buffer of width x height bytes (contents undefined) and returns true.
// An image that already has a buffer keeps it unchanged and true is returned whatever size is
// asked for. Negative sizes, a pixel count that does not fit a signed 32-bit integer, or
// memory that cannot be had give false and leave the image without a buffer. Zero bytes
// succeed and leave an (empty) buffer present. Width and height are not set here.
bool AllocatePixels(IndexedImage& image, std::int32_t width, std::int32_t height);

// A new image of width x height with a buffer (contents undefined); null where AllocatePixels
// gives false.
std::unique_ptr<IndexedImage> MakeIndexedImage(std::int32_t width, std::int32_t height);

// Releases the buffer, if any; width and height keep their values. A second call is harmless.
void FreePixels(IndexedImage& image);

// Read-only rows of a stored picture whose rows may be longer than its width (a bitmap's rows
// are padded to 4 bytes).
struct PixelView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;
    const std::uint8_t* pixels = nullptr;
};

// The order of a stored picture's rows.
enum class RowOrder : std::uint8_t { TopDown, BottomUp };

// Makes `target` (which must have no buffer) a copy of the stored rows, row 0 the top row
// whatever their order: sets its width and height and gives it a new buffer. False when the
// target already has a buffer (it is then untouched) or memory cannot be had (it keeps the new
// width and height and has no buffer).
bool CopyRows(IndexedImage& target, const PixelView& stored, RowOrder order);

// The number of pixels of a width x height picture as a byte count, or none when either side
// is negative or the product does not fit a signed 32-bit integer.
std::optional<std::size_t> PixelCount(std::int32_t width, std::int32_t height);

} // namespace texelary
