#include "formats/mips/MipTexture.h"

// Byte layout of a mip texture lump (all numbers little-endian, 32-bit):
//
//   offset  size  field
//        0    16  name, NUL-terminated: at most 15 bytes
//       16     4  width W of level 0
//       20     4  height H of level 0
//       24    16  level offsets from the start of the lump, 4 entries, level 0 first
//       40        pixels of the four levels, rows top to bottom; level i is W / 2^i x H / 2^i.
//                 This writer puts them back to back, level 0 first.
//
// In a WAD3 lump only, after level 3:
//        0     2  number of colours: 256
//        2   768  red, green, blue per entry, index 0 first
//      770     2  padding, written zero, so that the lump ends on a multiple of 4
//
// Engines take W and H to be multiples of 16; this writer makes no others.

#include "base/ByteOrder.h"
#include "colour/Wad2Palette.h"
#include "formats/HeaderFields.h"
#include "formats/mips/MipLevels.h"

#include <array>
#include <cstring>
#include <limits>
#include <new>

namespace texelary {

namespace MipTextureLayout {
constexpr std::size_t kName = 0;
constexpr std::size_t kNameSize = 16;
constexpr std::size_t kWidth = 16;
constexpr std::size_t kHeight = 20;
constexpr std::size_t kOffsets = 24;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kLevelCount = 4;
static_assert(kLevelCount <= kMaxMipLevels);

constexpr std::size_t kColourCount = 0;
constexpr std::size_t kColours = 2;
constexpr std::size_t kPaletteEnd = 772; // with the padding
constexpr std::size_t kMaxPalettePadding = 4;

static_assert(kWidth == kName + kNameSize && kHeight == kWidth + 4 && kOffsets == kHeight + 4);
static_assert(kHeaderSize == kOffsets + 4 * kLevelCount && kHeaderSize == 40);
static_assert(kColours == kColourCount + 2 && kPaletteSize == kColours + sizeof(Palette));
static_assert(kPaletteEnd == kPaletteSize + 2 && kPaletteEnd % 4 == 0);
} // namespace MipTextureLayout

namespace {

std::size_t LevelPixels(const StoredLevel& level) {
    return static_cast<std::size_t>(level.width) * static_cast<std::size_t>(level.height);
}

// Where a WAD3 lump's palette count is, as DecodeMipTexture says; none when it has none.
std::optional<std::size_t> FindPalette(std::span<const std::uint8_t> lump,
                                       const StoredLevel& last) {
    using namespace MipTextureLayout;
    const std::int64_t end = std::int64_t{last.offset} + std::int64_t{last.width} * last.height;
    if (end < 0) {
        return std::nullopt;
    }
    const auto start = static_cast<std::size_t>(end);
    std::size_t at = start;
    while (at <= start + kMaxPalettePadding && FitsIn(lump.size(), at, kPaletteSize)) {
        if (LoadLE16(lump.data() + at + kColourCount) == 256) {
            return at;
        }
        const std::size_t next = (at + 2) & ~std::size_t{1}; // the next even offset
        // The bytes skipped are padding, and padding is zero.
        for (; at < next; ++at) {
            if (lump[at] != 0) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

// What DecodeMipTexture refuses before anything is allocated; None when the lump is whole.
ReadError CheckLevels(std::span<const std::uint8_t> lump, const StoredLevels& stored) {
    using namespace MipTextureLayout;
    const StoredLevel& full = stored.levels[0];
    const auto count = PixelCount(full.width, full.height);
    if (!count) {
        return ReadError::TextureSize;
    }
    if (*count == 0) {
        return ReadError::TextureNoPixels;
    }
    for (const StoredLevel& level : stored.levels) {
        const std::size_t pixels = LevelPixels(level);
        if (pixels != 0 && (level.offset < static_cast<std::int32_t>(kHeaderSize) ||
                            !FitsIn(lump.size(), static_cast<std::size_t>(level.offset), pixels))) {
            return ReadError::LevelOutside;
        }
    }
    return ReadError::None;
}

std::unique_ptr<IndexedImage> TakeLevel(std::span<const std::uint8_t> lump,
                                        const StoredLevel& level) {
    return TakeStoredPicture(lump, static_cast<std::size_t>(level.offset), level.width,
                             level.height, nullptr);
}

std::optional<std::vector<std::uint8_t>> Encode(const IndexedImage& image, const Palette& palette,
                                                std::string_view name, WadKind kind, MipFilter mips,
                                                WriteError* error) {
    using namespace MipTextureLayout;
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount, LevelSizes::Scaled);
    const std::size_t extra = kind == WadKind::Wad3 ? kPaletteEnd : 0;
    constexpr std::size_t kLimit = std::numeric_limits<std::int32_t>::max();
    WriteError refusal = WriteError::None;
    if (image.width == 0 || image.height == 0) {
        refusal = WriteError::TextureNoPixels;
    } else if (image.width < 0 || image.height < 0) {
        refusal = WriteError::TextureSize;
    } else if (image.width % 16 != 0 || image.height % 16 != 0) {
        refusal = WriteError::NotMultipleOf16;
    } else if (!layout || layout->fileSize > kLimit - extra) {
        refusal = WriteError::TextureSize;
    } else if (!image.pixels) {
        refusal = WriteError::TextureNoPixels;
    } else if (CheckEntryName(name, kNameSize) != ReadError::None) {
        refusal = WriteError::BadEntryName;
    }
    if (!SetReason(error, refusal)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> lump(layout->fileSize + extra); // zeroed: name padded
    std::memcpy(lump.data() + kName, name.data(), name.size());
    StoreLE32(lump.data() + kWidth, image.width);
    StoreLE32(lump.data() + kHeight, image.height);
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        StoreLE32(lump.data() + kOffsets + 4 * i, layout->levels[i].offset);
    }
    std::memcpy(lump.data() + kHeaderSize, image.pixels.get(),
                static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    MakeSmallerLevels(lump.data(), *layout, mips, palette);
    if (kind == WadKind::Wad3) {
        std::uint8_t* colours = lump.data() + layout->fileSize;
        colours[kColourCount] = 0; // 256, little-endian
        colours[kColourCount + 1] = 1;
        std::memcpy(colours + kColours, palette.data(), palette.size());
    }
    return lump;
}

} // namespace

std::optional<StoredLevels> ReadMipTextureLevels(std::span<const std::uint8_t> lump,
                                                 ReadError* error) {
    using namespace MipTextureLayout;
    ByteCursor cursor(lump, kWidth);
    const std::int32_t width = cursor.I32();
    const std::int32_t height = cursor.I32();
    std::array<std::int32_t, kLevelCount> offsets{};
    for (std::int32_t& offset : offsets) {
        offset = cursor.I32();
    }
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    SetReason(error, ReadError::None);
    return HalvedLevels(kHeaderSize, width, height, offsets);
}

std::optional<std::size_t> Wad3PaletteColours(std::span<const std::uint8_t> lump) {
    const auto stored = ReadMipTextureLevels(lump);
    const auto at = stored ? FindPalette(lump, stored->levels.back()) : std::nullopt;
    return at ? std::optional(*at + MipTextureLayout::kColours) : std::nullopt;
}

std::optional<MipTexture> DecodeMipTexture(std::span<const std::uint8_t> lump, WadKind kind,
                                           ReadError* error) {
    using namespace MipTextureLayout;
    const auto read = ReadMipTextureLevels(lump, error);
    if (!read) {
        return std::nullopt;
    }
    const StoredLevels& stored = *read;
    if (!SetReason(error, CheckLevels(lump, stored))) {
        return std::nullopt;
    }
    try {
        MipTexture texture;
        texture.palette = Wad2Palette;
        if (kind == WadKind::Wad3) {
            const auto at = FindPalette(lump, stored.levels[kLevelCount - 1]);
            if (!at) {
                SetReason(error, ReadError::NoPalette);
                return std::nullopt;
            }
            std::memcpy(texture.palette.data(), lump.data() + *at + kColours,
                        texture.palette.size());
        }
        texture.name = LoadTextField(lump.data() + kName, kNameSize);
        texture.image = TakeLevel(lump, stored.levels[0]);
        for (std::size_t i = 1; i < kLevelCount && LevelPixels(stored.levels[i]) != 0; ++i) {
            texture.levels.push_back(TakeLevel(lump, stored.levels[i]));
            if (!texture.levels.back()) {
                texture.image.reset();
                break;
            }
        }
        if (!texture.image) { // the levels were checked: only memory can run out
            SetReason(error, ReadError::OutOfMemory);
            return std::nullopt;
        }
        SetReason(error, ReadError::None);
        return texture;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> EncodeWad2MipTexture(const IndexedImage& image,
                                                              std::string_view name, MipFilter mips,
                                                              WriteError* error,
                                                              const Palette& palette) {
    try {
        return Encode(image, palette, name, WadKind::Wad2, mips, error);
    } catch (const std::bad_alloc&) {
        SetReason(error, WriteError::OutOfMemory);
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> EncodeWad3MipTexture(const IndexedImage& image,
                                                              const Palette& palette,
                                                              std::string_view name, MipFilter mips,
                                                              WriteError* error) {
    try {
        return Encode(image, palette, name, WadKind::Wad3, mips, error);
    } catch (const std::bad_alloc&) {
        SetReason(error, WriteError::OutOfMemory);
        return std::nullopt;
    }
}

namespace {

std::optional<DecodedTexture> DecodeLump(std::span<const std::uint8_t> lump, WadKind kind,
                                         ReadError* error, LevelsWanted levels) {
    ReadError refused = ReadError::None;
    auto texture = DecodeMipTexture(lump, kind, &refused);
    if (!texture) {
        return NoPicture(error, ReadErrorOfMipTexture(refused));
    }
    DecodedTexture decoded;
    decoded.indexed = std::move(texture->image);
    decoded.palette = texture->palette;
    if (levels == LevelsWanted::All) {
        decoded.levels = std::move(texture->levels);
    }
    SetReason(error, ReadError::None);
    return decoded;
}

} // namespace

std::optional<DecodedTexture> DecodeWad2Lump(std::span<const std::uint8_t> lump, ReadError* error,
                                             LevelsWanted levels) {
    return DecodeLump(lump, WadKind::Wad2, error, levels);
}

std::optional<DecodedTexture> DecodeWad3Lump(std::span<const std::uint8_t> lump, ReadError* error,
                                             LevelsWanted levels) {
    return DecodeLump(lump, WadKind::Wad3, error, levels);
}

ReadError ReadErrorOfMipTexture(ReadError error) {
    switch (error) {
    case ReadError::None:
    case ReadError::Truncated:
    case ReadError::OutOfMemory:
        return error;
    case ReadError::NoPalette:
        return ReadError::Truncated;
    case ReadError::TextureNoPixels:
        return ReadError::NoPixels;
    case ReadError::TextureSize:
    case ReadError::LevelOutside:
        return ReadError::BadHeader;
    default:
        return ReadError::CorruptData;
    }
}

} // namespace texelary
