#pragma once

// Heretic2 mip textures (.m8): a 1040-byte header holding the palette and the sizes and offsets
// of sixteen mip levels, then the pixels of the levels back to back.

#include "formats/DecodedTexture.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/WriteOptions.h"
#include "formats/mips/StoredPicture.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// The whole file for `image` with `palette` and its mip levels; none when the picture's size
// does not fit the format or memory runs out. The image never changes. Point-sampled levels halve
// both sides down to 0, sixteen levels in all; averaged ones (MipFilter::Box) keep a side at 1
// while the other still halves and end at 1 x 1, the levels after it being 0 x 0.
std::optional<std::vector<std::uint8_t>> WriteM8(const IndexedImage& image, const Palette& palette,
                                                 const WriteOptions& options = {});

// Why WriteM8 would give nothing for `image` but for memory: the picture's size does not fit the
// format. Null when it fits.
const char* RefuseM8(const IndexedImage& image, const WriteOptions& options);

// The header of the bytes of a .m8 file, read whole: its version, sixteen level entries, fields
// and palette as stored. None, with the reason in `error`, for the older version this program
// does not read (Unsupported) or a file that ends inside the header (Truncated).
std::optional<MipFileHeader> ReadM8Header(std::span<const std::uint8_t> file,
                                          ReadError* error = nullptr);

// The texture of the bytes of a .m8 file: level 0, the stored palette and the header fields, and
// the smaller levels when asked for. None, with the reason, when the header is refused as
// ReadM8Header says or a level wanted does not fit the file.
std::optional<DecodedTexture> DecodeM8(std::span<const std::uint8_t> file, ReadError* error,
                                       LevelsWanted levels);

// Level 0 alone (DecodeM8's); null, with the reason, when it cannot be had.
std::unique_ptr<IndexedImage> ReadM8Image(std::span<const std::uint8_t> file,
                                          ReadError* error = nullptr);
// The palette stored in the file; false, with the palette untouched, when the header is refused.
bool ReadM8Palette(Palette& palette, std::span<const std::uint8_t> file,
                   ReadError* error = nullptr);
// The name, animation name, flags, contents and value of the header; none when it is refused.
std::optional<HeaderFields> ReadM8Fields(std::span<const std::uint8_t> file,
                                         ReadError* error = nullptr);
// The version and the sixteen level entries of the header, as stored; none when it is refused.
StoredLevels ReadM8Levels(std::span<const std::uint8_t> file);

} // namespace texelary
