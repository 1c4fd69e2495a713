#include "colour/TargetPalette.h"

#include "colour/Quantize.h"
#include "colour/Wad2Palette.h"
#include "colour/WalPalette.h"

#include <algorithm>
#include <new>

namespace texelary {

std::unique_ptr<IndexedImage> ToWalPalette(const RgbaImage& picture, Palette& palette,
                                           const TrueColourOptions& options) {
    const Palette& fixed = options.palette ? *options.palette : WalPalette;
    auto image = MapToPalette(picture, fixed, options);
    if (image) {
        palette = fixed;
    }
    return image;
}

Palette Wad2SearchPalette(const Palette& fixed, bool fullbright,
                          std::optional<std::uint8_t> transparentIndex) {
    Palette palette = fixed;
    if (!fullbright) {
        const std::size_t stand = transparentIndex == 0 ? 1 : 0;
        for (std::size_t i = 224; i < 256; ++i) {
            std::copy_n(fixed.begin() + 3 * stand, 3, palette.begin() + 3 * i);
        }
    }
    return palette;
}

std::unique_ptr<IndexedImage> ToWad2Palette(const RgbaImage& picture, Palette& palette,
                                            const TrueColourOptions& options) {
    const Palette& fixed = options.palette ? *options.palette : Wad2Palette;
    auto image = MapToPalette(
        picture, Wad2SearchPalette(fixed, options.fullbright, options.transparentIndex), options);
    if (image) {
        palette = fixed;
    }
    return image;
}

std::unique_ptr<IndexedImage> ToOwnPalette(const RgbaImage& picture, Palette& palette,
                                           const TrueColourOptions& options) {
    if (!options.palette) {
        return QuantizeToOwnPalette(picture, palette, options);
    }
    // The user's palette comes back for every file of a batch: the searches it needs are kept.
    auto image = MapToPalette(picture, *options.palette, options);
    if (image) {
        palette = *options.palette;
    }
    return image;
}

std::unique_ptr<IndexedImage> RemapToWad2Palette(const IndexedImage& image, const Palette& palette,
                                                 const Palette& fixed, bool fullbright) {
    try {
        auto remapped = std::make_unique<IndexedImage>();
        const PixelView rows{image.width, image.height, static_cast<std::size_t>(image.width),
                             image.pixels.get()};
        if (!image.pixels || !CopyRows(*remapped, rows, RowOrder::TopDown)) {
            return nullptr;
        }
        const std::size_t count = PixelCount(image.width, image.height).value_or(0);
        RemapToPalette({remapped->pixels.get(), count},
                       Wad2SearchPalette(fixed, fullbright, std::nullopt), palette);
        return remapped;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace texelary
