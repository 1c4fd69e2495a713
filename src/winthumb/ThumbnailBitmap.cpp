#include "winthumb/ThumbnailBitmap.h"

#include <algorithm>

namespace texelary {

void CopyRgbaToBgra(const RgbaImage& picture, std::span<std::uint8_t> out) {
    const std::size_t bytes = std::min(out.size(), picture.pixels.size());
    for (std::size_t at = 0; at + 4 <= bytes; at += 4) {
        out[at] = picture.pixels[at + 2];
        out[at + 1] = picture.pixels[at + 1];
        out[at + 2] = picture.pixels[at];
        out[at + 3] = picture.pixels[at + 3];
    }
}

HBITMAP MakeThumbnailBitmap(const RgbaImage& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    // A negative height: row 0 is the top row, as in the picture.
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        return nullptr;
    }
    CopyRgbaToBgra(picture, {static_cast<std::uint8_t*>(bits), picture.pixels.size()});
    return bitmap;
}

} // namespace texelary
