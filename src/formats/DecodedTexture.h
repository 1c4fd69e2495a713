#pragma once

// What every texture reader hands to a conversion, whatever the format: either a palette picture,
// whose indices and colours are kept exactly as the file has them, or a true-colour picture,
// which still has to be brought down to 256 colours; with the header fields and the smaller mip
// levels of the formats that store them.

#include "formats/HeaderFields.h"
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
#include <vector>

namespace texelary {

struct DecodedTexture {
    // A palette picture: the file's indices, and its colours with the entries that the file does
    // not have set to black. `paletteAlpha` holds each entry's opacity (255 where the file gives
    // none).
    std::unique_ptr<IndexedImage> indexed;
    Palette palette{};
    std::array<std::uint8_t, 256> paletteAlpha = MakeOpaqueAlpha();

    // Or a true-colour picture. Exactly one of `indexed` and `trueColour` is set.
    std::unique_ptr<RgbaImage> trueColour;

    // False for a picture whose palette could not be had (a bitmap of another depth than 8 bits):
    // the picture is there, `palette` is black, and the reader's reason says why.
    bool paletteRead = true;
    std::optional<HeaderFields> fields; // the header fields of a format that has them
    // The levels after level 0 that the file stores, in order, as far as they have pixels; only
    // when they were asked for (formats without levels give none).
    std::vector<std::unique_ptr<IndexedImage>> levels;
    // The same for a true-colour texture (.m32), whose levels are true colour too.
    std::vector<std::unique_ptr<RgbaImage>> trueColourLevels;

    bool IsIndexed() const { return indexed != nullptr; }

    static constexpr std::array<std::uint8_t, 256> MakeOpaqueAlpha() {
        std::array<std::uint8_t, 256> alpha{};
        alpha.fill(255);
        return alpha;
    }
};

// Which levels a reader decodes: level 0 alone, or every level the file stores.
enum class LevelsWanted : std::uint8_t { First = 0, All = 1 };

// What a texture reader gives when it fails: none, with the reason stored where asked.
inline std::optional<DecodedTexture> NoPicture(ReadError* error, ReadError reason) {
    SetReason(error, reason);
    return std::nullopt;
}

// The one shape of every format's reader: the texture of the bytes of a whole file (or wad lump);
// none, with the reason in `error`, when the reader refuses them. With a texture the reason is
// None, but for a picture whose palette could not be had, which keeps the palette's reason.
using TextureDecoder = std::optional<DecodedTexture> (*)(std::span<const std::uint8_t> file,
                                                         ReadError* error, LevelsWanted levels);

// What `parse()` gives: with a picture the reason is None, running out of memory is OutOfMemory.
template <class Parse> std::optional<DecodedTexture> ParseGuarded(Parse&& parse, ReadError* error) {
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

} // namespace texelary
