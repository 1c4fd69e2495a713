#include "formats/mips/StoredPicture.h"

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

StoredLevels HalvedLevels(std::size_t headerSize, std::int32_t width, std::int32_t height,
                          std::span<const std::int32_t> offsets) {
    StoredLevels stored;
    stored.headerSize = headerSize;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        // Shifting a negative size is not defined; such a header is refused by the reader.
        const auto halved = [i](std::int32_t side) { return side < 0 ? side : side >> i; };
        stored.levels.push_back({halved(width), halved(height), offsets[i]});
    }
    return stored;
}

std::optional<std::vector<std::unique_ptr<IndexedImage>>>
TakeStoredLevels(std::span<const std::uint8_t> file, const StoredLevels& stored, ReadError* error) {
    std::vector<std::unique_ptr<IndexedImage>> pictures;
    for (std::size_t i = 1; i < stored.levels.size(); ++i) {
        const StoredLevel& level = stored.levels[i];
        if (level.width == 0 || level.height == 0) {
            break;
        }
        if (level.offset <= 0) {
            SetReason(error, ReadError::BadHeader);
            return std::nullopt;
        }
        auto picture = TakeStoredPicture(file, static_cast<std::size_t>(level.offset), level.width,
                                         level.height, error);
        if (!picture) {
            return std::nullopt;
        }
        pictures.push_back(std::move(picture));
    }
    SetReason(error, ReadError::None);
    return pictures;
}

std::optional<DecodedTexture> DecodeStoredTexture(std::span<const std::uint8_t> file,
                                                  MipFileHeader header, LevelsWanted levels,
                                                  ReadError* error) {
    const StoredLevel& full = header.stored.levels.at(0);
    try {
        DecodedTexture texture;
        texture.indexed =
            TakeStoredPicture(file, header.stored.headerSize, full.width, full.height, error);
        if (!texture.indexed) {
            return std::nullopt;
        }
        if (levels == LevelsWanted::All) {
            auto taken = TakeStoredLevels(file, header.stored, error);
            if (!taken) {
                return std::nullopt;
            }
            texture.levels = std::move(*taken);
        }
        texture.palette = header.palette;
        texture.fields = std::move(header.fields);
        SetReason(error, ReadError::None);
        return texture;
    } catch (const std::bad_alloc&) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
}

} // namespace texelary
