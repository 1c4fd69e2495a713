#include "image/RgbaImage.h"

#include "base/ByteOrder.h"

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

std::unique_ptr<IndexedImage> IndexedOfSize(const RgbaImage& image) {
    const auto count = PixelCount(image.width, image.height);
    if (!count || image.pixels.size() / 4 < *count) {
        return nullptr;
    }
    return MakeIndexedImage(image.width, image.height);
}

std::unique_ptr<RgbaImage> ExpandToRgba(const IndexedImage& image, const Palette& palette,
                                        const std::array<std::uint8_t, 256>& alpha) {
    const auto count = PixelCount(image.width, image.height);
    if (!count || (!image.pixels && *count != 0)) {
        return nullptr;
    }
    auto result = MakeRgbaImage(image.width, image.height);
    if (!result) {
        return nullptr;
    }
    std::uint8_t* out = result->pixels.data();
    for (std::size_t i = 0; i < *count; ++i, out += 4) {
        const std::size_t entry = image.pixels[i];
        out[0] = palette[3 * entry];
        out[1] = palette[3 * entry + 1];
        out[2] = palette[3 * entry + 2];
        out[3] = alpha[entry];
    }
    return result;
}

} // namespace texelary
