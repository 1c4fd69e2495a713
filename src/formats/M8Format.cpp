#include "formats/M8Format.h"

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
#include "formats/MipLevels.h"
#include "formats/StoredPicture.h"

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

using Header = std::array<std::uint8_t, M8Layout::kHeaderSize>;

// The header of `file`, zero-padded; none, with the reason in `error`, when it is the older
// version's, whose layout differs.
std::optional<Header> ReadableHeader(std::span<const std::uint8_t> file, ReadError* error) {
    using namespace M8Layout;
    const auto header = ZeroPaddedHeader<kHeaderSize>(file);
    if (LoadLE32Signed(header.data() + kVersion) == kOlderVersion) {
        SetReason(error, ReadError::Unsupported);
        return std::nullopt;
    }
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
        if (layout->levels[0].offset != 0) {
            std::memcpy(file.data() + kHeaderSize, image.pixels.get(),
                        static_cast<std::size_t>(image.width) *
                            static_cast<std::size_t>(image.height));
            MakeSmallerLevels(file.data(), *layout, options.mips, palette);
        }
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::unique_ptr<IndexedImage> ReadM8Image(std::span<const std::uint8_t> file, ReadError* error) {
    using namespace M8Layout;
    const auto header = ReadableHeader(file, error);
    if (!header) {
        return nullptr;
    }
    // Level 0 always starts right after the header, whatever the offset table says.
    const std::int32_t width = LoadLE32Signed(header->data() + kWidths);
    const std::int32_t height = LoadLE32Signed(header->data() + kHeights);
    return TakeStoredPicture(file, kHeaderSize, width, height, error);
}

bool ReadM8Palette(Palette& palette, std::span<const std::uint8_t> file, ReadError* error) {
    const auto header = ReadableHeader(file, error);
    if (!header) {
        return false;
    }
    std::memcpy(palette.data(), header->data() + M8Layout::kPalette, palette.size());
    SetReason(error, ReadError::None);
    return true;
}

std::optional<HeaderFields> ReadM8Fields(std::span<const std::uint8_t> file, ReadError* error) {
    const auto header = ReadableHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    SetReason(error, ReadError::None);
    return LoadHeaderFields(header->data(), M8Layout::kFieldOffsets);
}

StoredLevels ReadM8Levels(std::span<const std::uint8_t> file) {
    using namespace M8Layout;
    const auto header = ZeroPaddedHeader<kHeaderSize>(file);
    StoredLevels stored;
    stored.headerSize = kHeaderSize;
    stored.version = LoadLE32Signed(header.data() + kVersion);
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        stored.levels.push_back({LoadLE32Signed(header.data() + kWidths + 4 * i),
                                 LoadLE32Signed(header.data() + kHeights + 4 * i),
                                 LoadLE32Signed(header.data() + kOffsets + 4 * i)});
    }
    return stored;
}

} // namespace texelary
