#include "formats/StoredPicture.h"

#include "base/ByteOrder.h"

#include <cstring>
#include <new>

namespace texelary {

std::unique_ptr<IndexedImage> TakeStoredPicture(std::span<const std::uint8_t> file,
                                                std::size_t offset, std::int32_t width,
                                                std::int32_t height, ReadError* error) {
    const auto count = PixelCount(width, height);
    if (!count) {
        SetReason(error, ReadError::BadHeader);
        return nullptr;
    }
    if (*count != 0 && !FitsIn(file.size(), offset, *count)) {
        SetReason(error, ReadError::Truncated);
        return nullptr;
    }
    try {
        auto image = MakeIndexedImage(width, height);
        if (!image) {
            SetReason(error, ReadError::OutOfMemory);
            return nullptr;
        }
        if (*count != 0) {
            std::memcpy(image->pixels.get(), file.data() + offset, *count);
        }
        SetReason(error, ReadError::None);
        return image;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return nullptr;
    }
}

StoredLevels HalvedLevels(std::span<const std::uint8_t> file, std::size_t headerSize,
                          std::size_t widthAt, std::size_t heightAt, std::size_t offsetsAt,
                          std::size_t count) {
    std::vector<std::uint8_t> header(headerSize, 0);
    std::copy_n(file.begin(), std::min(file.size(), headerSize), header.begin());
    StoredLevels stored;
    stored.headerSize = headerSize;
    const std::int32_t width = LoadLE32Signed(header.data() + widthAt);
    const std::int32_t height = LoadLE32Signed(header.data() + heightAt);
    for (std::size_t i = 0; i < count; ++i) {
        // Shifting a negative size is not defined; such a header is refused by the reader.
        const auto halved = [i](std::int32_t side) { return side < 0 ? side : side >> i; };
        stored.levels.push_back(
            {halved(width), halved(height), LoadLE32Signed(header.data() + offsetsAt + 4 * i)});
    }
    return stored;
}

} // namespace texelary
