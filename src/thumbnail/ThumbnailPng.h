#pragma once

// The thumbnailer's PNG file: an 8-bit RGBA picture compressed with libdeflate in one call. The
// program starts once per file, so it writes this one kind of PNG itself rather than through
// the PNG format's writer, whose library (with zlib and libm) would be loaded at every start.

#include "image/RgbaImage.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace texelary {

// The PNG file's bytes; none for a picture without pixels or when memory runs out.
std::optional<std::vector<std::uint8_t>> EncodeThumbnailPng(const RgbaImage& picture);

} // namespace texelary
