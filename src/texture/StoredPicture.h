#pragma once

// The full-size picture of a mip texture file: width x height pixel bytes stored at a fixed
// offset, rows top to bottom with no padding.

#include "texture/IndexedImage.h"
#include "texture/ReadError.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace texelary {

// A new picture holding the width x height bytes at `offset` of `file`. The header is checked
// against the file before anything is allocated: null (with the reason in `error`) for a
// negative size, a pixel count that does not fit a signed 32-bit integer, pixels that run past
// the end of the file, or no memory. A 0-pixel picture needs no bytes at all.
std::unique_ptr<IndexedImage> TakeStoredPicture(std::span<const std::uint8_t> file,
                                                std::size_t offset, std::int32_t width,
                                                std::int32_t height, ReadError* error);

} // namespace texelary
