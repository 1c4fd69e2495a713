#pragma once

// QuakeX mip textures (.wal): a 100-byte header, then four mip levels whose pixels index the
// fixed WalPalette.

#include "texture/IndexedImage.h"
#include "texture/ReadError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Remaps `image` from `palette` onto WalPalette and writes it with its four mip levels to `path`,
// replacing any file there only when the whole file has been written. True: the image now holds
// WalPalette indices. False: nothing was replaced and the image is as it was.
bool WriteWal(IndexedImage& image, const Palette& palette, const std::string& path);

// The complete file as bytes, for a picture whose pixels already index WalPalette; none when the
// picture's size does not fit the format or memory runs out.
std::optional<std::vector<std::uint8_t>> EncodeWal(const IndexedImage& image);

// Level 0 of the file. Null when the file cannot be read or its header does not fit the file.
std::unique_ptr<IndexedImage> ReadWalImage(const std::string& path);
// A .wal file has no palette of its own: fills `palette` with WalPalette and returns true.
bool ReadWalPalette(Palette& palette);

std::unique_ptr<IndexedImage> ParseWalImage(std::span<const std::uint8_t> file,
                                            ReadError* error = nullptr);

} // namespace texelary
