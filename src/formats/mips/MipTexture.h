#pragma once

// Mip texture lumps, the textures of WAD2 and WAD3 archives: a 40-byte header with the name,
// the size and the offsets of four levels, the levels' pixels, and in a WAD3 the texture's own
// palette after the last level. WAD2 textures index the fixed Wad2Palette.

#include "archives/Archive.h"
#include "archives/WadArchive.h"
#include "base/WriteError.h"
#include "colour/Wad2Palette.h"
#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"
#include "formats/WriteOptions.h"
#include "formats/mips/StoredPicture.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

struct MipTexture {
    std::string name;                                  // the lump's own name field
    std::unique_ptr<IndexedImage> image;               // level 0
    std::vector<std::unique_ptr<IndexedImage>> levels; // levels 1 to 3, as far as they have pixels
    Palette palette{};                                 // Wad2Palette, or a WAD3 lump's own
};

namespace MipTextureLayout {
// A WAD3 lump's palette after its last level: the count and the colours.
inline constexpr std::size_t kPaletteSize = 2 + sizeof(Palette);
} // namespace MipTextureLayout

// The four levels of the lump's header, unchecked: level 0's size as stored, the others' worked
// out from it (W / 2^i x H / 2^i), and the four offsets from the start of the lump as stored.
// None, with the reason (Truncated), for a lump shorter than its header.
std::optional<StoredLevels> ReadMipTextureLevels(std::span<const std::uint8_t> lump,
                                                 ReadError* error = nullptr);

// The texture of a mip texture lump of a wad of `kind`. None, with the reason, for a lump shorter
// than its header, a size that is negative or past a signed 32-bit pixel count, no pixels, a
// level with pixels that overlaps the header or runs past the end of the lump, a WAD3 lump
// without its palette, or no memory.
//
// A WAD3 palette is a 16-bit count of 256 then 768 bytes of red, green, blue, found right after
// level 3, at offsets[3] + W/8 x H/8. Some writers pad before it, so the count is also looked for
// at each even offset (from the lump's start) up to 4 bytes past that place, where every byte
// skipped is zero; the first count of 256 found is taken. What follows the palette is ignored.
std::optional<MipTexture> DecodeMipTexture(std::span<const std::uint8_t> lump, WadKind kind,
                                           ReadError* error = nullptr);

// Where the 768 bytes of a WAD3 lump's colours start, found as DecodeMipTexture finds them;
// none for a lump shorter than its header or without its palette.
std::optional<std::size_t> Wad3PaletteColours(std::span<const std::uint8_t> lump);

// The texture of a WAD2 or WAD3 mip texture lump in the shape of every reader (TextureDecoder):
// level 0 and the lump's palette, and levels 1 to 3 when asked for. None, with the reason a
// texture's reader gives (ReadErrorOfMipTexture), when DecodeMipTexture refuses the lump.
std::optional<DecodedTexture> DecodeWad2Lump(std::span<const std::uint8_t> lump, ReadError* error,
                                             LevelsWanted levels);
std::optional<DecodedTexture> DecodeWad3Lump(std::span<const std::uint8_t> lump, ReadError* error,
                                             LevelsWanted levels);

// What a texture's reader says of a lump DecodeMipTexture refused for `error`: the reasons every
// reader gives (Truncated, NoPixels, BadHeader, ...), not the lump's own.
ReadError ReadErrorOfMipTexture(ReadError error);

// A WAD2 mip texture lump named `name` for `image`, whose pixels already index Wad2Palette, or a
// WAD3 one for `image` and its `palette`, which the lump carries. Levels 1 to 3 are made by `mips`
// as the .wal writer makes its own, averaged ones in the lump's palette. None, with the reason,
// for a width or height that is not a positive multiple of 16, a texture too large for a lump,
// an image without pixels, a name longer than 15 bytes or one that CheckEntryName refuses
// (BadEntryName), or no memory. The image never changes.
// `palette` is the one the WAD2 texture's pixels index: the fixed one unless the user gave another.
std::optional<std::vector<std::uint8_t>> EncodeWad2MipTexture(const IndexedImage& image,
                                                              std::string_view name,
                                                              MipFilter mips = MipFilter::Point,
                                                              WriteError* error = nullptr,
                                                              const Palette& palette = Wad2Palette);
std::optional<std::vector<std::uint8_t>>
EncodeWad3MipTexture(const IndexedImage& image, const Palette& palette, std::string_view name,
                     MipFilter mips = MipFilter::Point, WriteError* error = nullptr);

} // namespace texelary
