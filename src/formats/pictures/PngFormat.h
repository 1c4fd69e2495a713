#pragma once

// Portable Network Graphics, read and written through libspng. Palette files keep their indices
// and colours exactly, so that they convert like 8-bit bitmaps; every other kind (grey, grey with
// alpha, RGB, RGBA, of any depth, interlaced or not) arrives as true colour. What is written is
// one picture as an 8-bit palette file with all 256 colours, which reads back byte for byte.

#include "base/FileIo.h"
#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// The picture of the bytes of a PNG file. None, with the reason in `error` when given, when they
// are not a PNG, is damaged (a bad checksum of a chunk or of the image data, a broken
// compressed stream, data missing), has pixels naming colours past its palette, or would need
// more memory than its size can justify.
// Every reader's shape (TextureDecoder); the format stores no smaller levels.
std::optional<DecodedTexture> ParsePngPicture(std::span<const std::uint8_t> file,
                                              ReadError* error = nullptr,
                                              LevelsWanted levels = LevelsWanted::First);

// The same for the PNG file `file`, read as the decoder goes rather than held whole, so that a
// large file costs little more memory than its picture. Its image data is read twice: once to
// decode it, once to check it.
std::optional<DecodedTexture> ParsePngFile(FileReader& file, ReadError* error = nullptr);

// `image` as an 8-bit palette PNG holding all 256 entries of `palette`. None for a picture
// without pixels (a PNG has at least one) or when libspng or memory fails.
// With `transparentIndex`, a tRNS chunk makes that index fully transparent and every other
// opaque.
std::optional<std::vector<std::uint8_t>>
EncodePng(const IndexedImage& image, const Palette& palette,
          std::optional<std::uint8_t> transparentIndex = std::nullopt);

// `picture` as an 8-bit RGBA PNG, every channel of every pixel kept (a fully transparent
// pixel's colour too). None for a picture without pixels or when libspng or memory fails.
std::optional<std::vector<std::uint8_t>> EncodeRgbaPng(const RgbaImage& picture);

} // namespace texelary
