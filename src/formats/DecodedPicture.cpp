#include "formats/DecodedPicture.h"

#include "base/FileIo.h"

#include <new>

namespace texelary {

std::optional<DecodedPicture> ParseGuarded(PictureParser parse, std::span<const std::uint8_t> file,
                                           ReadError* error) {
    try {
        auto picture = parse(file, error);
        if (picture) {
            SetReadError(error, ReadError::None);
        }
        return picture;
    } catch (const std::bad_alloc&) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
}

std::optional<DecodedPicture> ReadPictureFile(PictureParser parse, const std::string& path,
                                              ReadError* error) {
    const auto bytes = ReadFileBytes(path);
    if (!bytes) {
        return NoPicture(error, ReadError::CannotOpen);
    }
    return parse(*bytes, error);
}

} // namespace texelary
