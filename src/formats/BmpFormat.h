#pragma once

// Windows bitmap input. Only 256-colour (8 bits per pixel) bitmaps are converted; other readable
// bitmaps still give a picture so that it is the palette reader that refuses them.

#include "image/IndexedImage.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace texelary {

// The picture of a bitmap file, row 0 the top row. Null when the file is missing, cannot be read,
// is not a bitmap this reader understands, or memory runs out; `error` (when given) receives the
// reason.
std::unique_ptr<IndexedImage> ReadBmpImage(const std::string& path, ReadError* error = nullptr);

// Fills `palette` (red, green, blue) from the file's colour table. False, with the palette
// untouched, when the file cannot be read or is not an 8-bit bitmap.
bool ReadBmpPalette(Palette& palette, const std::string& path, ReadError* error = nullptr);

// The same on the bytes of a file; `error` (when given) receives the reason for a failure.
std::unique_ptr<IndexedImage> ParseBmpImage(std::span<const std::uint8_t> file,
                                            ReadError* error = nullptr);
bool ParseBmpPalette(Palette& palette, std::span<const std::uint8_t> file,
                     ReadError* error = nullptr);

} // namespace texelary
