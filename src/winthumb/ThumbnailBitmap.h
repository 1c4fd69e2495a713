#pragma once

// A thumbnail as Explorer takes it from IThumbnailProvider::GetThumbnail: a 32-bit top-down DIB
// section, each pixel blue, green, red, alpha with the alpha straight (not premultiplied), which
// the caller is told by WTSAT_ARGB.

#include "base/Win32.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <objbase.h>
#include <span>

namespace texelary {

// The picture's pixels in Explorer's order: blue, green, red, alpha. `out` holds 4 x width x
// height bytes.
void CopyRgbaToBgra(const RgbaImage& picture, std::span<std::uint8_t> out);

// A DIB section of the picture; null when Windows cannot make one.
HBITMAP MakeThumbnailBitmap(const RgbaImage& picture);

} // namespace texelary
