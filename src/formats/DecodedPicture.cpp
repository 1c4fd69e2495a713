#include "formats/DecodedPicture.h"

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

} // namespace texelary
