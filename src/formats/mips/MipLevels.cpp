#include "formats/mips/MipLevels.h"

#include "colour/BoxFilter.h"
#include "image/Resample.h"

#include <cstring>
#include <limits>

namespace texelary {

namespace {

PixelView LevelView(const std::uint8_t* file, const MipLevel& level) {
    return PixelView{level.width, level.height, static_cast<std::size_t>(level.width),
                     file + static_cast<std::size_t>(level.offset)};
}

} // namespace

std::optional<MipLevels> LayOutLevels(std::int32_t width, std::int32_t height,
                                      std::size_t headerSize, std::size_t count, LevelSizes sizes) {
    const auto pixels = PixelCount(width, height);
    if (!pixels || count > kMaxMipLevels) {
        return std::nullopt;
    }
    const bool averaged = sizes == LevelSizes::Averaged && *pixels != 0;
    MipLevels layout;
    layout.count = count;
    auto position = static_cast<std::int64_t>(headerSize);
    float factor = 1.0f;
    for (std::size_t i = 0; i < count; ++i, factor *= 0.5f) {
        MipLevel& level = layout.levels[i];
        level.factor = factor;
        level.width = ScaledSize(width, factor);
        level.height = ScaledSize(height, factor);
        if (averaged && i > 0) {
            const MipLevel& above = layout.levels[i - 1];
            const bool ended = above.width <= 1 && above.height <= 1;
            level.width = ended ? 0 : HalvedSide(above.width);
            level.height = ended ? 0 : HalvedSide(above.height);
        }
        const bool hasPixels = level.width != 0 && level.height != 0;
        level.offset = hasPixels ? static_cast<std::int32_t>(position) : 0;
        position += static_cast<std::int64_t>(level.width) * level.height;
        if (position > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
    }
    layout.fileSize = static_cast<std::size_t>(position);
    return layout;
}

void MakeSmallerLevels(std::uint8_t* file, const MipLevels& layout, MipFilter mips,
                       const Palette& palette) {
    if (layout.count == 0 || layout.levels[0].offset == 0) {
        return;
    }
    const PixelView full = LevelView(file, layout.levels[0]);
    if (mips == MipFilter::Point) {
        for (std::size_t i = 1; i < layout.count && layout.levels[i].offset != 0; ++i) {
            const MipLevel& level = layout.levels[i];
            Resample(file + static_cast<std::size_t>(level.offset), full, level.factor,
                     level.factor);
        }
        return;
    }
    NearestBySquares& nearest = NearestBySquares::For(palette);
    for (std::size_t i = 1; i < layout.count && layout.levels[i].offset != 0; ++i) {
        AverageLevelInto(file + static_cast<std::size_t>(layout.levels[i].offset),
                         LevelView(file, layout.levels[i - 1]), nearest);
    }
}

void PlaceLevels(std::uint8_t* file, const MipLevels& layout, const IndexedImage& image,
                 MipFilter mips, const Palette& palette) {
    if (layout.levels[0].offset == 0) {
        return;
    }
    std::memcpy(file + layout.levels[0].offset, image.pixels.get(),
                static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    MakeSmallerLevels(file, layout, mips, palette);
}

} // namespace texelary
