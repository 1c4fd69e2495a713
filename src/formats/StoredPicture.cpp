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
        SetReadError(error, ReadError::BadHeader);
        return nullptr;
    }
    if (*count != 0 && !FitsIn(file.size(), offset, *count)) {
        SetReadError(error, ReadError::Truncated);
        return nullptr;
    }
    try {
        auto image = MakeIndexedImage(width, height);
        if (!image) {
            SetReadError(error, ReadError::OutOfMemory);
            return nullptr;
        }
        if (*count != 0) {
            std::memcpy(image->pixels.get(), file.data() + offset, *count);
        }
        SetReadError(error, ReadError::None);
        return image;
    } catch (const std::bad_alloc&) {
        SetReadError(error, ReadError::OutOfMemory);
        return nullptr;
    }
}

} // namespace texelary
