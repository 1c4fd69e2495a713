#include "image/IndexedImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace texelary {

std::optional<std::size_t> PixelCount(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    const auto count = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    if (count > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(count);
}

bool AllocatePixels(IndexedImage& image, std::int32_t width, std::int32_t height) {
    if (image.pixels) {
        return true;
    }
    const auto count = PixelCount(width, height);
    if (!count) {
        return false;
    }
    try {
        image.pixels = std::make_unique_for_overwrite<std::uint8_t[]>(*count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::unique_ptr<IndexedImage> MakeIndexedImage(std::int32_t width, std::int32_t height) {
    try {
        auto image = std::make_unique<IndexedImage>();
        if (!AllocatePixels(*image, width, height)) {
            return nullptr;
        }
        image->width = width;
        image->height = height;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void FreePixels(IndexedImage& image) {
    image.pixels.reset();
}

namespace {

void CopyRowIn(IndexedImage& image, const std::uint8_t* source, std::int32_t row) {
    const auto width = static_cast<std::size_t>(image.width);
    std::memcpy(image.pixels.get() + static_cast<std::size_t>(row) * width, source, width);
}

} // namespace

bool CopyRows(IndexedImage& target, const PixelView& stored, RowOrder order) {
    if (target.pixels) {
        return false;
    }
    target.width = stored.width;
    target.height = stored.height;
    if (!AllocatePixels(target, stored.width, stored.height)) {
        return false;
    }
    for (std::int32_t row = 0; row < stored.height; ++row) {
        const std::int32_t storedRow = order == RowOrder::TopDown ? row : stored.height - 1 - row;
        CopyRowIn(target, stored.pixels + static_cast<std::size_t>(storedRow) * stored.stride, row);
    }
    return true;
}

} // namespace texelary
