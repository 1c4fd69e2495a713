#pragma once

// Heretic2 mip textures (.m8): a 1040-byte header holding the palette and the sizes and offsets
// of sixteen mip levels, then the pixels of the levels back to back.

#include "texture/IndexedImage.h"
#include "texture/ReadError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Writes `image` with `palette` and its sixteen mip levels to `path`, replacing any file there
// only when the whole file has been written. False when anything fails; the image never changes.
bool WriteM8(const IndexedImage& image, const Palette& palette, const std::string& path);

// The complete file as bytes; none when the picture's size does not fit the format or memory
// runs out.
std::optional<std::vector<std::uint8_t>> EncodeM8(const IndexedImage& image,
                                                  const Palette& palette);

// Level 0 of the file. Null when the file cannot be read or its header does not fit the file.
std::unique_ptr<IndexedImage> ReadM8Image(const std::string& path);
// The palette stored in the file; false when the file cannot be read.
bool ReadM8Palette(Palette& palette, const std::string& path);

std::unique_ptr<IndexedImage> ParseM8Image(std::span<const std::uint8_t> file,
                                           ReadError* error = nullptr);
bool ParseM8Palette(Palette& palette, std::span<const std::uint8_t> file,
                    ReadError* error = nullptr);

} // namespace texelary
