#include "formats/DecodedPicture.h"

namespace texelary {

std::optional<DecodedPicture> ParseGuarded(PictureParser parse, std::span<const std::uint8_t> file,
                                           ReadError* error) {
    return ParseGuarded([&] { return parse(file, error); }, error);
}

} // namespace texelary
