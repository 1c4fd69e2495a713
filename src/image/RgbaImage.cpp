#include "image/RgbaImage.h"

#include "base/ByteOrder.h"

#include <cstring>
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
    // Each entry's four bytes once, then one copy of four bytes a pixel.
    std::array<std::array<std::uint8_t, 4>, 256> colours{};
    for (std::size_t entry = 0; entry < 256; ++entry) {
        colours[entry] = {palette[3 * entry], palette[3 * entry + 1], palette[3 * entry + 2],
                          alpha[entry]};
    }
    std::uint8_t* out = result->pixels.data();
    const std::uint8_t* pixels = image.pixels.get();
    for (std::size_t i = 0; i < *count; ++i, out += 4) {
        std::memcpy(out, colours[pixels[i]].data(), 4);
    }
    return result;
}

} // namespace texelary
