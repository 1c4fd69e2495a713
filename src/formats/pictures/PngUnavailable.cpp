// PNG support for a build without libspng (a platform that has no build of it): every PNG is
// refused with a reason that says so, and nothing is written.

#include "formats/pictures/PngFormat.h"

namespace texelary {

std::optional<DecodedTexture> ParsePngPicture(std::span<const std::uint8_t>, ReadError* error,
                                              LevelsWanted /*levels*/) {
    SetReason(error, ReadError::NotBuiltIn);
    return std::nullopt;
}

std::optional<DecodedTexture> ParsePngFile(FileReader&, ReadError* error) {
    SetReason(error, ReadError::NotBuiltIn);
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> EncodePng(const IndexedImage&, const Palette&,
                                                   std::optional<std::uint8_t>) {
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> EncodeRgbaPng(const RgbaImage&) {
    return std::nullopt;
}

} // namespace texelary
