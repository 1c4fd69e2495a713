#include "formats/mips/M8Format.h"

// Byte layout of a .m8 file (all numbers little-endian, 32-bit):
//
//   offset  size  field
//        0     4  version: 2 (version 1 is an older layout with another header)
//        4    32  name, NUL-terminated, zero-padded: "Created by Texelary", or the source's
//                 name when its header fields are kept
//       36    64  level widths, 16 entries, level 0 first: floor(W / 2^i)
//      100    64  level heights, 16 entries: floor(H / 2^i)
//      164    64  level offsets, 16 entries: where level i's pixels start, 0 for an empty level
//      228    32  animation name: empty (map compilers take it as the next frame's name), or
//                 the source's
//      260   768  palette, 256 x (R, G, B), index 0 first
//     1028     4  flags: 0, or the source's (copied as stored: engines read some high bits)
//     1032     4  contents: 0, or the source's
//     1036     4  value: 0, or the source's
//     1040        pixels of the levels back to back, level 0 first, rows top to bottom
//
// A level whose width or height is 0 has no pixels and offset 0, but its width and height
// entries still hold the computed values. Sizes and positions must fit a signed 32-bit integer.
// Averaged levels are sized as the games' own files are: a side of 1 stays 1 while the other
// halves, down to 1 x 1 (32 x 128 ends 1 x 4, 1 x 2, 1 x 1), and the entries after that are 0.

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "formats/mips/MipLevels.h"
#include "formats/mips/StoredPicture.h"

#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

namespace texelary {

namespace M8Layout {
constexpr std::size_t kVersion = 0;
constexpr std::size_t kName = 4;
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kWidths = 36;
constexpr std::size_t kHeights = 100;
constexpr std::size_t kOffsets = 164;
constexpr std::size_t kAnimationName = 228;
constexpr std::size_t kPalette = 260;
constexpr std::size_t kFlags = 1028;
constexpr std::size_t kContents = 1032;
constexpr std::size_t kValue = 1036;
constexpr std::size_t kHeaderSize = 1040;

constexpr std::size_t kLevelCount = 16;
static_assert(kLevelCount <= kMaxMipLevels);
constexpr std::size_t kTableSize = kLevelCount * 4;
constexpr std::int32_t kVersionWritten = 2;
constexpr std::int32_t kOlderVersion = 1;
constexpr std::string_view kNameWritten = "Created by Texelary";

static_assert(kName == kVersion + 4);
static_assert(kWidths == kName + kNameSize);
static_assert(kHeights == kWidths + kTableSize);
static_assert(kOffsets == kHeights + kTableSize);
static_assert(kAnimationName == kOffsets + kTableSize);
static_assert(kPalette == kAnimationName + kNameSize);
static_assert(kFlags == kPalette + std::tuple_size_v<Palette>);
static_assert(kContents == kFlags + 4 && kValue == kContents + 4);
static_assert(kHeaderSize == kValue + 4 && kHeaderSize == 1040);
static_assert(kNameWritten.size() < kNameSize); // room for the terminating zero
static_assert(kNameSize == kTextureNameFieldSize);
constexpr HeaderFieldOffsets kFieldOffsets{kName, kAnimationName, kFlags, kContents, kValue};
} // namespace M8Layout

namespace {

// The header's fields: the writer's own, or the source's kept ones.
void StoreFields(std::uint8_t* header, const std::optional<HeaderFields>& fields) {
    using namespace M8Layout;
    if (!fields) {
        std::memcpy(header + kName, kNameWritten.data(), kNameWritten.size());
        return;
    }
    StoreHeaderFields(header, kFieldOffsets, *fields);
}

// The header of `file`, read whole and checked once: none, with the reason in `error`, when it
// is the older version's, whose layout differs, or the file ends inside it.
std::optional<MipFileHeader> ReadHeader(std::span<const std::uint8_t> file, ReadError* error) {
    using namespace M8Layout;
    ByteCursor cursor(file);
    const std::int32_t version = cursor.I32();
    if (cursor.Ok() && version == kOlderVersion) {
        SetReason(error, ReadError::Unsupported);
        return std::nullopt;
    }
    const auto name = cursor.Bytes(kNameSize);
    std::array<std::array<std::int32_t, kLevelCount>, 3> table{}; // widths, heights, offsets
    for (auto& column : table) {
        for (std::int32_t& entry : column) {
            entry = cursor.I32();
        }
    }
    const auto animationName = cursor.Bytes(kNameSize);
    const auto colours = cursor.Bytes(std::tuple_size_v<Palette>);
    const std::uint32_t flags = cursor.U32();
    const std::uint32_t contents = cursor.U32();
    const std::uint32_t value = cursor.U32();
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    MipFileHeader header;
    header.stored.headerSize = kHeaderSize;
    header.stored.version = version;
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        header.stored.levels.push_back({table[0][i], table[1][i], table[2][i]});
    }
    header.fields =
        HeaderFields{LoadTextField(name.data(), kNameSize),
                     LoadTextField(animationName.data(), kNameSize), flags, contents, value};
    std::copy(colours.begin(), colours.end(), header.palette.begin());
    SetReason(error, ReadError::None);
    return header;
}

} // namespace

const char* RefuseM8(const IndexedImage& image, const WriteOptions& options) {
    using namespace M8Layout;
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount,
                     options.mips == MipFilter::Box ? LevelSizes::Averaged : LevelSizes::Scaled);
    return layout ? nullptr : DescribeWriteError(WriteError::TooLarge);
}

std::optional<std::vector<std::uint8_t>> WriteM8(const IndexedImage& image, const Palette& palette,
                                                 const WriteOptions& options) {
    using namespace M8Layout;
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount,
                     options.mips == MipFilter::Box ? LevelSizes::Averaged : LevelSizes::Scaled);
    if (!layout || (!image.pixels && layout->fileSize != kHeaderSize)) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> file(layout->fileSize); // zeroed: every unset byte is 0
        std::uint8_t* header = file.data();
        StoreLE32(header + kVersion, kVersionWritten);
        StoreFields(header, options.fields);
        for (std::size_t i = 0; i < kLevelCount; ++i) {
            StoreLE32(header + kWidths + 4 * i, layout->levels[i].width);
            StoreLE32(header + kHeights + 4 * i, layout->levels[i].height);
            StoreLE32(header + kOffsets + 4 * i, layout->levels[i].offset);
        }
        std::memcpy(header + kPalette, palette.data(), palette.size());
        PlaceLevels(file.data(), *layout, image, options.mips, palette);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<MipFileHeader> ReadM8Header(std::span<const std::uint8_t> file, ReadError* error) {
    return ReadHeader(file, error);
}

std::optional<DecodedTexture> DecodeM8(std::span<const std::uint8_t> file, ReadError* error,
                                       LevelsWanted levels) {
    auto header = ReadHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    // Level 0 always starts right after the header, whatever the offset table says.
    return DecodeStoredTexture(file, std::move(*header), levels, error);
}

std::unique_ptr<IndexedImage> ReadM8Image(std::span<const std::uint8_t> file, ReadError* error) {
    auto texture = DecodeM8(file, error, LevelsWanted::First);
    return texture ? std::move(texture->indexed) : nullptr;
}

bool ReadM8Palette(Palette& palette, std::span<const std::uint8_t> file, ReadError* error) {
    const auto header = ReadHeader(file, error);
    if (header) {
        palette = header->palette;
    }
    return header.has_value();
}

std::optional<HeaderFields> ReadM8Fields(std::span<const std::uint8_t> file, ReadError* error) {
    return FieldsOf(ReadHeader(file, error));
}

StoredLevels ReadM8Levels(std::span<const std::uint8_t> file) {
    return LevelsOf(ReadHeader(file, nullptr));
}

} // namespace texelary
