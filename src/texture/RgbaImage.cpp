#include "texture/RgbaImage.h"

#include "base/ByteOrder.h"
#include "texture/IndexedImage.h"

#include <new>

namespace texelary {

std::unique_ptr<RgbaImage> MakeRgbaImage(std::int32_t width, std::int32_t height) {
    const auto count = PixelCount(width, height);
    const auto bytes = count ? CheckedMul(*count, 4) : std::nullopt;
    if (!bytes) {
        return nullptr;
    }
    try {
        auto image = std::make_unique<RgbaImage>();
        image->width = width;
        image->height = height;
        image->pixels.assign(*bytes, 0);
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace texelary
