#include "formats/mips/WalFormat.h"

// Byte layout of a .wal file (all numbers little-endian, 32-bit):
//
//   offset  size  field
//        0    32  name, NUL-terminated, zero-padded: empty, or the source's name when its
//                 header fields are kept (so are the animation name, flags, contents and
//                 value below); a kept name is cut to 31 bytes without splitting a UTF-8 character
//       32     4  width of level 0
//       36     4  height of level 0
//       40    16  level offsets, 4 entries, level 0 first: where level i's pixels start, 0 for an
//                 empty level; the reader takes level 0 from offset 100 whatever they say
//       56    32  animation name: empty, or the source's, cut like the name
//       88     4  flags: 0, or the source's (copied as stored)
//       92     4  contents: 0, or the source's
//       96     4  value: 0, or the source's
//      100        pixels of the four levels back to back, level 0 first, rows top to bottom;
//                 level i is floor(W / 2^i) x floor(H / 2^i) and indexes WalPalette
//
// Sizes and positions must fit a signed 32-bit integer.
//
// A later game of the family writes version 3, which keeps its palette in the file. Its first
// byte is 3, where a classic file starts with a name character (or 0 for no name):
//
//   offset  size  field
//        0     1  version: 3
//        1    32  name, NUL-terminated: here in the game's own files, though one public
//                 description puts it at 4
//       33     3  padding
//       36     4  width of level 0
//       40     4  height of level 0
//       44    36  level offsets, 9 entries, level 0 first, 0 for an empty level
//       80    32  animation name
//      112     4  flags
//      116     4  contents
//      120   768  palette, 256 x (R, G, B), index 0 first; index 255 is see-through
//      888     4  value
//      892        pixels of the levels, level 0 first; level i is floor(W / 2^i) x floor(H / 2^i)
//
// Learnt from TrenchBroom's WalTextureReader (its reader of these files) and checked against a
// file of the game. Written with the picture's own palette and the fields as in a classic file;
// the levels halve until a side reaches 0, as in the game's file.

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "colour/WalPalette.h"
#include "formats/mips/MipLevels.h"
#include "formats/mips/StoredPicture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace texelary {

namespace WalLayout {
constexpr std::size_t kName = 0;
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kWidth = 32;
constexpr std::size_t kHeight = 36;
constexpr std::size_t kOffsets = 40;
constexpr std::size_t kAnimationName = 56;
constexpr std::size_t kFlags = 88;
constexpr std::size_t kContents = 92;
constexpr std::size_t kValue = 96;
constexpr std::size_t kHeaderSize = 100;

constexpr std::size_t kLevelCount = 4;
static_assert(kLevelCount <= kMaxMipLevels);

static_assert(kWidth == kName + kNameSize);
static_assert(kHeight == kWidth + 4 && kOffsets == kHeight + 4);
static_assert(kAnimationName == kOffsets + kLevelCount * 4);
static_assert(kFlags == kAnimationName + kNameSize);
static_assert(kContents == kFlags + 4 && kValue == kContents + 4);
static_assert(kHeaderSize == kValue + 4 && kHeaderSize == 100);
static_assert(kNameSize == kTextureNameFieldSize);
constexpr HeaderFieldOffsets kFieldOffsets{kName, kAnimationName, kFlags, kContents, kValue};
} // namespace WalLayout

namespace Wal3Layout {
constexpr std::size_t kVersion = 0;
constexpr std::size_t kName = 1;
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kPaddingSize = 3;
constexpr std::size_t kWidth = 36;
constexpr std::size_t kHeight = 40;
constexpr std::size_t kOffsets = 44;
constexpr std::size_t kAnimationName = 80;
constexpr std::size_t kFlags = 112;
constexpr std::size_t kContents = 116;
constexpr std::size_t kPalette = 120;
constexpr std::size_t kValue = 888;
constexpr std::size_t kHeaderSize = 892;

constexpr std::size_t kLevelCount = 9;
static_assert(kLevelCount <= kMaxMipLevels);
constexpr std::uint8_t kVersionByte = 3;
constexpr std::size_t kSeeThroughIndex = 255;

static_assert(kName == kVersion + 1 && kWidth == kName + kNameSize + kPaddingSize);
static_assert(kHeight == kWidth + 4 && kOffsets == kHeight + 4);
static_assert(kAnimationName == kOffsets + kLevelCount * 4);
static_assert(kFlags == kAnimationName + kNameSize);
static_assert(kContents == kFlags + 4 && kPalette == kContents + 4);
static_assert(kValue == kPalette + std::tuple_size_v<Palette>);
static_assert(kHeaderSize == kValue + 4 && kHeaderSize == 892);
static_assert(kNameSize == kTextureNameFieldSize);
constexpr HeaderFieldOffsets kFieldOffsets{kName, kAnimationName, kFlags, kContents, kValue};
} // namespace Wal3Layout

namespace {

// The header's name, animation name, flags, contents and value, when the source's are kept.
void StoreFields(std::uint8_t* header, const HeaderFields& fields) {
    StoreHeaderFields(header, WalLayout::kFieldOffsets, fields);
}

// A classic .wal starts with its name, and a first byte of 3 marks a version-3 file: a name that
// begins with that byte (never text, but a version-3 source may hold one) would make the file read
// as the other kind, here and in the editors.
bool NameMarksVersion3(const WriteOptions& options) {
    return options.fields && !options.fields->name.empty() &&
           static_cast<std::uint8_t>(options.fields->name.front()) == Wal3Layout::kVersionByte;
}

// The whole file. Level 0 is the picture's pixels remapped from `palette` onto the fixed palette
// (WalPalette, or the options' own) in the buffer, unless `palette` is that one; the smaller levels
// are then made from level 0 as it stands there, so the remapped picture needs no copy of its own.
std::optional<std::vector<std::uint8_t>> Encode(const IndexedImage& image, const Palette& palette,
                                                const WriteOptions& options) {
    using namespace WalLayout;
    // The header's sizes are the scaled ones whatever the filter.
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount, LevelSizes::Scaled);
    if (!layout || (!image.pixels && layout->fileSize != kHeaderSize) ||
        NameMarksVersion3(options)) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> file(layout->fileSize); // zeroed: every unset byte is 0
        std::uint8_t* header = file.data();
        StoreLE32(header + kWidth, image.width);
        StoreLE32(header + kHeight, image.height);
        if (options.fields) {
            StoreFields(header, *options.fields);
        }
        for (std::size_t i = 0; i < kLevelCount; ++i) {
            StoreLE32(header + kOffsets + 4 * i, layout->levels[i].offset);
        }
        if (layout->levels[0].offset == 0) { // a picture without pixels
            return file;
        }
        const std::size_t pixelCount =
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
        std::uint8_t* level0 = file.data() + kHeaderSize;
        const std::uint8_t* pixels = image.pixels.get();
        // A picture already on the .wal palette keeps its indices, those of its repeated colours
        // included: a texture goes round trips unchanged. Any other is remapped on its way into
        // the buffer.
        const Palette& fixed = options.palette ? *options.palette : WalPalette;
        if (palette != fixed) {
            RemapToPalette({pixels, pixelCount}, level0, fixed, palette);
        } else {
            std::memcpy(level0, pixels, pixelCount);
        }
        MakeSmallerLevels(file.data(), *layout, options.mips, fixed);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The whole version-3 file: the picture's indices and palette kept as they are, index 255 the
// see-through one, and as many levels as halve down to a side of 1 (at most nine).
std::optional<std::vector<std::uint8_t>>
EncodeVersion3(const IndexedImage& image, const Palette& palette, const WriteOptions& options) {
    using namespace Wal3Layout;
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount, LevelSizes::Scaled);
    if (!layout || (!image.pixels && layout->fileSize != kHeaderSize)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> file(layout->fileSize); // zeroed: every unset byte is 0
    std::uint8_t* header = file.data();
    header[kVersion] = kVersionByte;
    if (options.fields) {
        StoreHeaderFields(header, kFieldOffsets, *options.fields);
    }
    StoreLE32(header + kWidth, image.width);
    StoreLE32(header + kHeight, image.height);
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        StoreLE32(header + kOffsets + 4 * i, layout->levels[i].offset);
    }
    std::memcpy(header + kPalette, palette.data(), palette.size());
    PlaceLevels(file.data(), *layout, image, options.mips, palette);
    return file;
}

// The header of a classic `file`, read whole and checked once: none, with the reason in `error`,
// when the file ends inside it.
std::optional<MipFileHeader> ReadClassicHeader(std::span<const std::uint8_t> file,
                                               ReadError* error) {
    using namespace WalLayout;
    ByteCursor cursor(file);
    const auto name = cursor.Bytes(kNameSize);
    const std::int32_t width = cursor.I32();
    const std::int32_t height = cursor.I32();
    std::array<std::int32_t, kLevelCount> offsets{};
    for (std::int32_t& offset : offsets) {
        offset = cursor.I32();
    }
    const auto animationName = cursor.Bytes(kNameSize);
    const std::uint32_t flags = cursor.U32();
    const std::uint32_t contents = cursor.U32();
    const std::uint32_t value = cursor.U32();
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    MipFileHeader header;
    header.stored = HalvedLevels(kHeaderSize, width, height, offsets);
    header.fields =
        HeaderFields{LoadTextField(name.data(), kNameSize),
                     LoadTextField(animationName.data(), kNameSize), flags, contents, value};
    header.palette = WalPalette;
    SetReason(error, ReadError::None);
    return header;
}

// The header of a version-3 `file`, read whole and checked once: none, with the reason in
// `error`, when the file ends inside it.
std::optional<MipFileHeader> ReadVersion3Header(std::span<const std::uint8_t> file,
                                                ReadError* error) {
    using namespace Wal3Layout;
    ByteCursor cursor(file);
    const std::uint8_t version = cursor.U8();
    const auto name = cursor.Bytes(kNameSize);
    cursor.Skip(kPaddingSize);
    const std::int32_t width = cursor.I32();
    const std::int32_t height = cursor.I32();
    std::array<std::int32_t, kLevelCount> offsets{};
    for (std::int32_t& offset : offsets) {
        offset = cursor.I32();
    }
    const auto animationName = cursor.Bytes(kNameSize);
    const std::uint32_t flags = cursor.U32();
    const std::uint32_t contents = cursor.U32();
    const auto colours = cursor.Bytes(std::tuple_size_v<Palette>);
    const std::uint32_t value = cursor.U32();
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    MipFileHeader header;
    header.stored = HalvedLevels(kHeaderSize, width, height, offsets);
    header.stored.version = version;
    header.fields =
        HeaderFields{LoadTextField(name.data(), kNameSize),
                     LoadTextField(animationName.data(), kNameSize), flags, contents, value};
    std::copy(colours.begin(), colours.end(), header.palette.begin());
    SetReason(error, ReadError::None);
    return header;
}

bool IsVersion3(std::span<const std::uint8_t> file) {
    return !file.empty() && file[Wal3Layout::kVersion] == Wal3Layout::kVersionByte;
}

std::optional<MipFileHeader> ReadHeader(std::span<const std::uint8_t> file, ReadError* error) {
    return IsVersion3(file) ? ReadVersion3Header(file, error) : ReadClassicHeader(file, error);
}

} // namespace

const char* RefuseWal(const IndexedImage& image, const WriteOptions& options) {
    using namespace WalLayout;
    if (NameMarksVersion3(options)) {
        return "a name that begins with the byte 3 would read as a version-3 .wal";
    }
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount, LevelSizes::Scaled);
    return layout ? nullptr : DescribeWriteError(WriteError::TooLarge);
}

std::optional<std::vector<std::uint8_t>> WriteWal(const IndexedImage& image, const Palette& palette,
                                                  const WriteOptions& options) {
    try {
        return Encode(image, palette, options);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

const char* RefuseWal3(const IndexedImage& image, const WriteOptions& /*options*/) {
    using namespace Wal3Layout;
    const auto layout =
        LayOutLevels(image.width, image.height, kHeaderSize, kLevelCount, LevelSizes::Scaled);
    return layout ? nullptr : DescribeWriteError(WriteError::TooLarge);
}

std::optional<std::vector<std::uint8_t>>
WriteWal3(const IndexedImage& image, const Palette& palette, const WriteOptions& options) {
    try {
        return EncodeVersion3(image, palette, options);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<MipFileHeader> ReadWalHeader(std::span<const std::uint8_t> file, ReadError* error) {
    return ReadHeader(file, error);
}

std::optional<DecodedTexture> DecodeWal(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels) {
    auto header = ReadHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    auto texture = DecodeStoredTexture(file, std::move(*header), levels, error);
    if (texture && IsVersion3(file)) {
        texture->paletteAlpha[Wal3Layout::kSeeThroughIndex] = 0;
    }
    return texture;
}

std::unique_ptr<IndexedImage> ReadWalImage(std::span<const std::uint8_t> file, ReadError* error) {
    auto texture = DecodeWal(file, error, LevelsWanted::First);
    return texture ? std::move(texture->indexed) : nullptr;
}

std::optional<HeaderFields> ReadWalFields(std::span<const std::uint8_t> file) {
    return FieldsOf(ReadHeader(file, nullptr));
}

StoredLevels ReadWalLevels(std::span<const std::uint8_t> file) {
    return LevelsOf(ReadHeader(file, nullptr));
}

bool ReadWalPalette(Palette& palette) {
    palette = WalPalette;
    return true;
}

} // namespace texelary
