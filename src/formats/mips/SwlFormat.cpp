#include "formats/mips/SwlFormat.h"

// Byte layout of a .swl file (little-endian; no signature, the extension says what it is):
//
//   offset  size  field
//        0    64  name, NUL-terminated, zero-padded: empty, or the source's when its header
//                 fields are kept (so are the other fields below); cut to 63 bytes
//       64     4  width of level 0
//       68     4  height of level 0
//       72  1024  palette, 256 x (R, G, B, an unused byte written 0), index 0 first
//     1096     2  palette checksum: CRC-CCITT (polynomial 0x1021, first value 0xffff, nothing
//                 xored at the end) of the 1024 palette bytes
//     1098     2  padding
//     1100    16  level offsets, 4 entries, level 0 first: where level i's pixels start, 0 for an
//                 empty level; level 0 is normally right after the header
//     1116    64  animation name: the next frame's texture, empty when not animated
//     1180     4  flags (copied as stored)
//     1184     4  contents
//     1188     2  value (16 bits here, 32 in the other formats)
//     1190     2  direct light value
//     1192     4  animation time, float
//     1196     4  non-lit value, float
//     1200     2  direct light angle
//     1202     2  translucence angle
//     1204     4  direct light style, float
//     1208     4  translucence, float
//     1212     4  friction, float
//     1216     4  restitution, float
//     1220     4  translucence magnitude, float
//     1224    12  colour, 3 floats
//     1236        pixels of the four levels, level 0 first, rows top to bottom; level i is
//                 floor(W / 2^i) x floor(H / 2^i) and indexes the file's palette
//
// The layout is Ritual's sinmiptex_t as the public readers of SiN's textures give it: Yamagi
// Quake II's SWL_Decode, QuArK's QkSin and Wally's DecodeSWL agree on every offset, and all three
// take level 0 from its offset, as this reader does. None of them computes the palette checksum
// (QuArK and Wally copy the stored one or leave it 0) and no public source of the game's own tools
// shows how it is made, so the writer stores the CRC_Block of the Quake II code that SiN was built
// on (CRC-CCITT as above) over the palette bytes. A file written here may therefore differ from
// one of the game's in those two bytes; the reader never refuses a file for them, and the look
// inside only reports a checksum that its palette does not give.

#include "base/ByteOrder.h"
#include "formats/HeaderFields.h"
#include "formats/mips/MipLevels.h"
#include "formats/mips/StoredPicture.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace texelary {

namespace SwlLayout {
constexpr std::size_t kName = 0;
constexpr std::size_t kNameSize = 64;
constexpr std::size_t kWidth = 64;
constexpr std::size_t kHeight = 68;
constexpr std::size_t kPalette = 72;
constexpr std::size_t kPaletteSize = 256 * 4;
constexpr std::size_t kChecksum = 1096;
constexpr std::size_t kPaddingSize = 2;
constexpr std::size_t kOffsets = 1100;
constexpr std::size_t kAnimationName = 1116;
constexpr std::size_t kFlags = 1180;
constexpr std::size_t kContents = 1184;
constexpr std::size_t kValue = 1188;
constexpr std::size_t kDirect = 1190;
constexpr std::size_t kAnimationTime = 1192;
constexpr std::size_t kNonLit = 1196;
constexpr std::size_t kDirectAngle = 1200;
constexpr std::size_t kTranslucenceAngle = 1202;
constexpr std::size_t kDirectStyle = 1204;
constexpr std::size_t kTranslucence = 1208;
constexpr std::size_t kFriction = 1212;
constexpr std::size_t kRestitution = 1216;
constexpr std::size_t kTranslucenceMagnitude = 1220;
constexpr std::size_t kColour = 1224;
constexpr std::size_t kHeaderSize = 1236;

constexpr std::size_t kLevelCount = 4;
static_assert(kLevelCount <= kMaxMipLevels);

static_assert(kWidth == kName + kNameSize && kHeight == kWidth + 4 && kPalette == kHeight + 4);
static_assert(kChecksum == kPalette + kPaletteSize);
static_assert(kOffsets == kChecksum + 2 + kPaddingSize);
static_assert(kAnimationName == kOffsets + kLevelCount * 4);
static_assert(kFlags == kAnimationName + kNameSize && kContents == kFlags + 4);
static_assert(kValue == kContents + 4 && kDirect == kValue + 2);
static_assert(kAnimationTime == kDirect + 2 && kNonLit == kAnimationTime + 4);
static_assert(kDirectAngle == kNonLit + 4 && kTranslucenceAngle == kDirectAngle + 2);
static_assert(kDirectStyle == kTranslucenceAngle + 2 && kTranslucence == kDirectStyle + 4);
static_assert(kFriction == kTranslucence + 4 && kRestitution == kFriction + 4);
static_assert(kTranslucenceMagnitude == kRestitution + 4 && kColour == kTranslucenceMagnitude + 4);
static_assert(kHeaderSize == kColour + 12 && kHeaderSize == 1236);
} // namespace SwlLayout

namespace {

struct SwlHeader {
    MipFileHeader mip;
    std::uint16_t storedChecksum = 0;
};

float LoadFloat(ByteCursor& cursor) {
    return std::bit_cast<float>(cursor.U32());
}

void StoreLE16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

void StoreFloat(std::uint8_t* p, float value) {
    StoreLE32(p, std::bit_cast<std::uint32_t>(value));
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xffff;
    for (const std::uint8_t byte : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = static_cast<std::uint16_t>(crc << 1);
            if (top) {
                crc = static_cast<std::uint16_t>(crc ^ 0x1021);
            }
        }
    }
    return crc;
}

std::array<std::uint8_t, SwlLayout::kPaletteSize> StoredPalette(const Palette& palette) {
    std::array<std::uint8_t, SwlLayout::kPaletteSize> stored{};
    for (std::size_t i = 0; i < 256; ++i) {
        std::memcpy(stored.data() + 4 * i, palette.data() + 3 * i, 3);
    }
    return stored;
}

// The fields after the value, in the order the header keeps them.
SwlFields ReadSwlFields(ByteCursor& cursor) {
    SwlFields swl;
    swl.direct = cursor.U16();
    swl.animationTime = LoadFloat(cursor);
    swl.nonLit = LoadFloat(cursor);
    swl.directAngle = cursor.U16();
    swl.translucenceAngle = cursor.U16();
    swl.directStyle = LoadFloat(cursor);
    swl.translucence = LoadFloat(cursor);
    swl.friction = LoadFloat(cursor);
    swl.restitution = LoadFloat(cursor);
    swl.translucenceMagnitude = LoadFloat(cursor);
    for (float& component : swl.colour) {
        component = LoadFloat(cursor);
    }
    return swl;
}

// The header of `file`, read whole and checked once: none, with the reason in `error`, when the
// file ends inside it.
std::optional<SwlHeader> ReadHeader(std::span<const std::uint8_t> file, ReadError* error) {
    using namespace SwlLayout;
    ByteCursor cursor(file);
    const auto name = cursor.Bytes(kNameSize);
    const std::int32_t width = cursor.I32();
    const std::int32_t height = cursor.I32();
    const auto colours = cursor.Bytes(kPaletteSize);
    const std::uint16_t checksum = cursor.U16();
    cursor.Skip(kPaddingSize);
    std::array<std::int32_t, kLevelCount> offsets{};
    for (std::int32_t& offset : offsets) {
        offset = cursor.I32();
    }
    const auto animationName = cursor.Bytes(kNameSize);
    const std::uint32_t flags = cursor.U32();
    const std::uint32_t contents = cursor.U32();
    const std::uint16_t value = cursor.U16();
    const SwlFields swl = ReadSwlFields(cursor);
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    SwlHeader header;
    header.mip.stored = HalvedLevels(kHeaderSize, width, height, offsets);
    header.mip.fields = HeaderFields{LoadTextField(name.data(), kNameSize),
                                     LoadTextField(animationName.data(), kNameSize),
                                     flags,
                                     contents,
                                     value,
                                     std::nullopt,
                                     swl};
    for (std::size_t i = 0; i < 256; ++i) {
        std::memcpy(header.mip.palette.data() + 3 * i, colours.data() + 4 * i, 3);
    }
    header.storedChecksum = checksum;
    SetReason(error, ReadError::None);
    return header;
}

// Level 0 at the offset its header gives: a level with pixels may not start inside the header.
std::unique_ptr<IndexedImage> TakeLevel0(std::span<const std::uint8_t> file,
                                         const StoredLevel& level, ReadError* error) {
    const auto count = PixelCount(level.width, level.height);
    if (count && *count != 0 && level.offset < static_cast<std::int32_t>(SwlLayout::kHeaderSize)) {
        SetReason(error, ReadError::BadHeader);
        return nullptr;
    }
    const auto offset = static_cast<std::size_t>(std::max(level.offset, 0));
    return TakeStoredPicture(file, offset, level.width, level.height, error);
}

std::optional<DecodedTexture> DecodeHeader(std::span<const std::uint8_t> file, SwlHeader header,
                                           LevelsWanted levels, ReadError* error) {
    DecodedTexture texture;
    texture.indexed = TakeLevel0(file, header.mip.stored.levels.at(0), error);
    if (!texture.indexed) {
        return std::nullopt;
    }
    if (levels == LevelsWanted::All) {
        auto taken = TakeStoredLevels(file, header.mip.stored, error);
        if (!taken) {
            return std::nullopt;
        }
        texture.levels = std::move(*taken);
    }
    texture.palette = header.mip.palette;
    texture.fields = std::move(header.mip.fields);
    SetReason(error, ReadError::None);
    return texture;
}

std::string Hex16(std::uint16_t value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "0x%04x", value);
    return text.data();
}

void StoreSwlFields(std::uint8_t* header, const SwlFields& swl) {
    using namespace SwlLayout;
    StoreLE16(header + kDirect, swl.direct);
    StoreFloat(header + kAnimationTime, swl.animationTime);
    StoreFloat(header + kNonLit, swl.nonLit);
    StoreLE16(header + kDirectAngle, swl.directAngle);
    StoreLE16(header + kTranslucenceAngle, swl.translucenceAngle);
    StoreFloat(header + kDirectStyle, swl.directStyle);
    StoreFloat(header + kTranslucence, swl.translucence);
    StoreFloat(header + kFriction, swl.friction);
    StoreFloat(header + kRestitution, swl.restitution);
    StoreFloat(header + kTranslucenceMagnitude, swl.translucenceMagnitude);
    for (std::size_t i = 0; i < swl.colour.size(); ++i) {
        StoreFloat(header + kColour + 4 * i, swl.colour[i]);
    }
}

// The kept fields of the source; without them the header's fields stay zero.
void StoreFields(std::uint8_t* header, const HeaderFields& fields) {
    using namespace SwlLayout;
    StoreTextField(header + kName, kNameSize, fields.name);
    StoreTextField(header + kAnimationName, kNameSize, fields.animationName);
    StoreLE32(header + kFlags, fields.flags);
    StoreLE32(header + kContents, fields.contents);
    StoreLE16(header + kValue, static_cast<std::uint16_t>(fields.value));
    if (fields.swl) {
        StoreSwlFields(header, *fields.swl);
    }
}

std::optional<MipLevels> Layout(const IndexedImage& image) {
    // The header's sizes are the halved ones whatever the filter, as in the .wal.
    return LayOutLevels(image.width, image.height, SwlLayout::kHeaderSize, SwlLayout::kLevelCount,
                        LevelSizes::Scaled);
}

} // namespace

std::uint16_t SwlPaletteChecksum(const Palette& palette) {
    return Crc16(StoredPalette(palette));
}

const char* RefuseSwl(const IndexedImage& image, const WriteOptions&) {
    return Layout(image) ? nullptr : DescribeWriteError(WriteError::TooLarge);
}

std::optional<std::vector<std::uint8_t>> WriteSwl(const IndexedImage& image, const Palette& palette,
                                                  const WriteOptions& options) {
    using namespace SwlLayout;
    const auto layout = Layout(image);
    if (!layout || (!image.pixels && layout->fileSize != kHeaderSize)) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> file(layout->fileSize); // zeroed: every unset byte is 0
        std::uint8_t* header = file.data();
        StoreLE32(header + kWidth, image.width);
        StoreLE32(header + kHeight, image.height);
        const auto stored = StoredPalette(palette);
        std::memcpy(header + kPalette, stored.data(), stored.size());
        StoreLE16(header + kChecksum, Crc16(stored));
        for (std::size_t i = 0; i < kLevelCount; ++i) {
            StoreLE32(header + kOffsets + 4 * i, layout->levels[i].offset);
        }
        if (options.fields) {
            StoreFields(header, *options.fields);
        }
        PlaceLevels(file.data(), *layout, image, options.mips, palette);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<DecodedTexture> DecodeSwl(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels) {
    auto header = ReadHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    return ParseGuarded([&] { return DecodeHeader(file, std::move(*header), levels, error); },
                        error);
}

std::optional<TextureInfo> InspectSwl(std::span<const std::uint8_t> file, ReadError* error) {
    auto header = ReadHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    const auto texture = ParseGuarded(
        [&] { return DecodeHeader(file, *header, LevelsWanted::First, error); }, error);
    if (!texture) {
        return std::nullopt;
    }
    TextureInfo info = InfoOfImage(*texture->indexed);
    const std::uint16_t computed = SwlPaletteChecksum(header->mip.palette);
    if (header->storedChecksum != computed) {
        info.ruleBreaks.push_back("palette checksum " + Hex16(header->storedChecksum) + ", not " +
                                  Hex16(computed) + " as its palette gives");
    }
    CheckLevels(header->mip.stored, file.size(), info);
    info.fields = std::move(header->mip.fields);
    return info;
}

} // namespace texelary
