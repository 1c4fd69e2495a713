#pragma once

// QuakeX mip textures (.wal): a 100-byte header, then four mip levels whose pixels index the
// fixed WalPalette.

#include "formats/HeaderFields.h"
#include "image/IndexedImage.h"
#include "formats/ReadError.h"
#include "formats/StoredPicture.h"
#include "formats/WriteOptions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Remaps `image` from `palette` onto WalPalette and writes it with its four mip levels to `path`,
// replacing any file there only when the whole file has been written. True: the image now holds
// WalPalette indices. False: nothing was replaced and the image is as it was. Level i is
// floor(W / 2^i) x floor(H / 2^i) with either filter: readers work the sizes out that way.
bool WriteWal(IndexedImage& image, const Palette& palette, const std::string& path,
              const WriteOptions& options = {});

// The complete file as bytes, for a picture whose pixels already index WalPalette; none when the
// picture's size does not fit the format or memory runs out.
std::optional<std::vector<std::uint8_t>> EncodeWal(const IndexedImage& image,
                                                   const WriteOptions& options = {});

// Level 0 of the file. Null when the file cannot be read or its header does not fit the file.
// `error` (when given) receives the reason for a failure.
std::unique_ptr<IndexedImage> ReadWalImage(const std::string& path, ReadError* error = nullptr);
// A .wal file has no palette of its own: fills `palette` with WalPalette and returns true.
bool ReadWalPalette(Palette& palette);

// The name, animation name, flags, contents and value of the file's header; none when the file
// cannot be read. A file shorter than the header reads as if its missing bytes were zero.
std::optional<HeaderFields> ReadWalFields(const std::string& path);
HeaderFields ParseWalFields(std::span<const std::uint8_t> file);

// The four levels of the header: level 0's size as stored, the others' worked out from it (the
// header holds only level 0's), and the four offsets as stored.
StoredLevels ParseWalLevels(std::span<const std::uint8_t> file);

std::unique_ptr<IndexedImage> ParseWalImage(std::span<const std::uint8_t> file,
                                            ReadError* error = nullptr);

} // namespace texelary
