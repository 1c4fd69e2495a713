#pragma once

// QuakeX mip textures (.wal): a 100-byte header, then four mip levels whose pixels index the
// fixed WalPalette.

#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/StoredPicture.h"
#include "formats/WriteOptions.h"
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
// picture's size does not fit the format or memory runs out. The image never changes. Level i is
// floor(W / 2^i) x floor(H / 2^i) with either filter: readers work the sizes out that way.
std::optional<std::vector<std::uint8_t>> WriteWal(const IndexedImage& image, const Palette& palette,
                                                  const WriteOptions& options = {});

// Why WriteWal would give nothing for `image` but for memory: the picture's size does not fit the
// format. Null when it fits.
const char* RefuseWal(const IndexedImage& image, const WriteOptions& options);

// Level 0 of the bytes of a .wal file. Null when its header does not fit the file; `error` (when
// given) receives the reason.
std::unique_ptr<IndexedImage> ReadWalImage(std::span<const std::uint8_t> file,
                                           ReadError* error = nullptr);
// A .wal file has no palette of its own: fills `palette` with WalPalette and returns true.
bool ReadWalPalette(Palette& palette);

// The name, animation name, flags, contents and value of the file's header. A file shorter than
// the header reads as if its missing bytes were zero.
HeaderFields ReadWalFields(std::span<const std::uint8_t> file);

// The four levels of the header: level 0's size as stored, the others' worked out from it (the
// header holds only level 0's), and the four offsets as stored.
StoredLevels ReadWalLevels(std::span<const std::uint8_t> file);

} // namespace texelary
