#pragma once

// Heretic2 true-colour mip textures (.m32): a 968-byte header holding the names, sizes and
// offsets of sixteen levels, the surface fields and a detail texture, then the levels as RGBA.

#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"
#include "formats/WriteOptions.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace texelary {

// The texture of the bytes of a .m32 file: level 0 as true colour (alpha kept) and the header
// fields, the .m32 ones in `fields->m32`; with LevelsWanted::All the smaller levels too, in
// DecodedTexture::trueColourLevels, each checked as DecodeM32Levels checks them. None, with
// the reason in `error`: a version other than 4 (BadSignature), a file that ends inside the
// header or before level 0's pixels (Truncated), a level 0 without pixels (NoPixels), a side
// past 2^31 - 1, a pixel count past it or an offset inside the header (BadHeader).
std::optional<DecodedTexture> DecodeM32(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels);

// Every level the file stores, level 0 first, up to the first with a side of 0. None, with the
// reason, when any of them is refused as DecodeM32 says of level 0.
std::optional<std::vector<RgbaImage>> DecodeM32Levels(std::span<const std::uint8_t> file,
                                                      ReadError* error = nullptr);

// A look inside a .m32 file (levels, fields, where it strays from the rules); none, with the
// reason, when DecodeM32 refuses it.
std::optional<TextureInfo> InspectM32(std::span<const std::uint8_t> file, ReadError* error);

// The whole file for `picture`, its colours and alpha kept exactly: levels down to 1 x 1, each
// side halved but a side of 1 kept while the other halves, at most sixteen. MipFilter::Box
// averages 2 x 2 blocks of the level above, Point takes the top-left pixel of each block of level
// 0. The header holds options.fields (names cut to fit) or, without them, an empty name and
// M32Fields' defaults. None when RefuseM32 refuses or memory runs out; the picture never changes.
std::optional<std::vector<std::uint8_t>> WriteM32(const RgbaImage& picture,
                                                  const WriteOptions& options = {});

// Why WriteM32 would give nothing for `picture` but for memory: it has no pixels, or the file
// would not fit signed 32-bit offsets. Null when it fits.
const char* RefuseM32(const RgbaImage& picture, const WriteOptions& options);

} // namespace texelary
