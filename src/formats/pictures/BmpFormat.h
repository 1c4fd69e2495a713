#pragma once

// Windows bitmap input. Only 256-colour (8 bits per pixel) bitmaps are converted; other readable
// bitmaps still give a picture so that it is the palette reader that refuses them.

#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace texelary {

// The picture of the bytes of a bitmap file, row 0 the top row. Null when they are not a bitmap
// this reader understands or memory runs out; `error` (when given) receives the reason.
std::unique_ptr<IndexedImage> ReadBmpImage(std::span<const std::uint8_t> file,
                                           ReadError* error = nullptr);

// Fills `palette` (red, green, blue) from the file's colour table. False, with the palette
// untouched, when the bytes are not an 8-bit bitmap.
bool ReadBmpPalette(Palette& palette, std::span<const std::uint8_t> file,
                    ReadError* error = nullptr);

// The picture and palette of a bitmap in the shape of every reader (TextureDecoder). None, with
// the reason, when ReadBmpImage gives no picture; a picture whose palette ReadBmpPalette refuses
// comes with `paletteRead` false and the palette's reason. A bitmap has no smaller levels.
std::optional<DecodedTexture> DecodeBmp(std::span<const std::uint8_t> file,
                                        ReadError* error = nullptr,
                                        LevelsWanted levels = LevelsWanted::First);

} // namespace texelary
