#pragma once

// Truevision TGA input: colour-mapped pictures with 8-bit indices keep their indices and colour
// map (like an 8-bit bitmap); true-colour pictures of 15, 16, 24 and 32 bits, 8-bit grey and
// 16-bit grey-and-alpha ones arrive as true colour. Uncompressed and run-length coded, any row and
// column order.

#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace texelary {

// The picture of a TGA file, row 0 its top row. None, with the reason in `error` when given, when
// the file cannot be read, its header is not a TGA header or holds values out of range, it is a
// kind this reader does not read (16-bit indices, interleaved rows, Huffman coding), or
// its data is cut short or runs past the picture.
// Every reader's shape (TextureDecoder); the format stores no smaller levels.
std::optional<DecodedTexture> ParseTgaPicture(std::span<const std::uint8_t> file,
                                              ReadError* error = nullptr,
                                              LevelsWanted levels = LevelsWanted::First);

} // namespace texelary
