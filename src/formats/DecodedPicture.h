#pragma once

// What a reader of an everyday picture format (PNG, TGA, PCX) hands to a conversion: either a
// palette picture, whose indices and colours are kept exactly as the file has them, or a
// true-colour picture, which still has to be brought down to 256 colours.

#include "formats/ReadError.h"
#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>

namespace texelary {

struct DecodedPicture {
    // A palette picture: the file's indices, and its colours with the entries that the file does
    // not have set to black. `paletteAlpha` holds each entry's opacity (255 where the file gives
    // none).
    std::unique_ptr<IndexedImage> indexed;
    Palette palette{};
    std::array<std::uint8_t, 256> paletteAlpha = MakeOpaqueAlpha();

    // Or a true-colour picture. Exactly one of `indexed` and `trueColour` is set.
    std::unique_ptr<RgbaImage> trueColour;

    bool IsIndexed() const { return indexed != nullptr; }

    static constexpr std::array<std::uint8_t, 256> MakeOpaqueAlpha() {
        std::array<std::uint8_t, 256> alpha{};
        alpha.fill(255);
        return alpha;
    }
};

// What a picture reader gives when it fails: none, with the reason stored where asked.
inline std::optional<DecodedPicture> NoPicture(ReadError* error, ReadError reason) {
    SetReason(error, reason);
    return std::nullopt;
}

using PictureParser = std::optional<DecodedPicture> (*)(std::span<const std::uint8_t> file,
                                                        ReadError* error);

// What `parse()` gives: with a picture the reason is None, running out of memory is OutOfMemory.
template <class Parse> std::optional<DecodedPicture> ParseGuarded(Parse&& parse, ReadError* error) {
    try {
        auto picture = parse();
        if (picture) {
            SetReason(error, ReadError::None);
        }
        return picture;
    } catch (const std::bad_alloc&) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
}

// `parse` on the bytes, so.
std::optional<DecodedPicture> ParseGuarded(PictureParser parse, std::span<const std::uint8_t> file,
                                           ReadError* error);

} // namespace texelary
