#pragma once

// PC Paintbrush (PCX) input: 256-colour pictures (8 bits, one plane, the palette after the 0x0C
// marker at the end of the file; a file without it is refused) keep their indices and palette,
// as do 16-colour, 8-colour and 4-colour ones (1 bit in 2 to 4 planes, or 2 or 4 bits in one
// plane, with the header's palette) and two-colour ones (1 bit in one plane, black and white);
// 24 and 32-bit pictures (8 bits in 3 or 4 planes) arrive as true colour.

#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace texelary {

// The picture of a PCX file, row 0 its top row. None, with the reason in `error` when given,
// when the file cannot be read, is not a PCX file, holds header values out of range, is a kind
// this reader does not read (other plane counts), or its data is cut short or runs past the
// picture.
// Every reader's shape (TextureDecoder); the format stores no smaller levels.
std::optional<DecodedTexture> ParsePcxPicture(std::span<const std::uint8_t> file,
                                              ReadError* error = nullptr,
                                              LevelsWanted levels = LevelsWanted::First);

} // namespace texelary
