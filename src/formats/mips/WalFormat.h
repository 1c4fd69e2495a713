#pragma once

// QuakeX mip textures (.wal): a 100-byte header, then four mip levels whose pixels index the
// fixed WalPalette. The reader also takes the version-3 files of a later game of the family: an
// 892-byte header holding the file's own palette, then up to nine levels.

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

// The whole file for `image`, its pixels remapped from `palette` onto WalPalette (each to the
// nearest colour there), with its four mip levels made from the remapped picture; none when the
// picture's size does not fit the format, a kept name begins with the byte that marks a version-3
// file, or memory runs out. The image never changes. Level i is
// floor(W / 2^i) x floor(H / 2^i) with either filter: readers work the sizes out that way.
std::optional<std::vector<std::uint8_t>> WriteWal(const IndexedImage& image, const Palette& palette,
                                                  const WriteOptions& options = {});

// Why WriteWal would give nothing for `image` but for memory: the picture's size does not fit the
// format, or the kept name would mark the file as version 3. Null when it fits.
const char* RefuseWal(const IndexedImage& image, const WriteOptions& options);

// The whole version-3 file for `image`: its indices and `palette` kept as they are (index 255 is
// the one the game draws as a hole), the options' fields in the header, and levels
// floor(W / 2^i) x floor(H / 2^i) made with the options' filter until a side reaches 0, at most
// nine. None when the picture's size does not fit the format or memory runs out.
std::optional<std::vector<std::uint8_t>>
WriteWal3(const IndexedImage& image, const Palette& palette, const WriteOptions& options = {});

// Why WriteWal3 would give nothing for `image` but for memory; null when it fits.
const char* RefuseWal3(const IndexedImage& image, const WriteOptions& options);

// The header of the bytes of a .wal file, read whole: level 0's size and the others' worked out
// from it (the header holds only level 0's), the offsets and the fields as stored, and the
// palette the pixels index: the fixed WalPalette, or a version-3 file's own (its version then
// set). None, with the reason in `error`, for a file that ends inside the header (Truncated).
std::optional<MipFileHeader> ReadWalHeader(std::span<const std::uint8_t> file,
                                           ReadError* error = nullptr);

// The texture of the bytes of a .wal file: level 0, the header's palette (index 255 see-through
// in a version-3 file) and the header fields, and the smaller levels when asked for. None, with the
// reason, when the header is refused as ReadWalHeader says or a level wanted does not fit the file.
std::optional<DecodedTexture> DecodeWal(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels);

// Level 0 alone (DecodeWal's); null, with the reason, when it cannot be had.
std::unique_ptr<IndexedImage> ReadWalImage(std::span<const std::uint8_t> file,
                                           ReadError* error = nullptr);
// A classic .wal file has no palette of its own: fills `palette` with WalPalette and returns
// true. (DecodeWal gives a version-3 file's own.)
bool ReadWalPalette(Palette& palette);
// The name, animation name, flags, contents and value of the header; none when it is refused.
std::optional<HeaderFields> ReadWalFields(std::span<const std::uint8_t> file);
// The levels of the header (ReadWalHeader's); none when it is refused.
StoredLevels ReadWalLevels(std::span<const std::uint8_t> file);

} // namespace texelary
