#include "texture/WalFormat.h"

// Byte layout of a .wal file (all numbers little-endian, 32-bit):
//
//   offset  size  field
//        0    32  name, NUL-terminated, zero-padded: empty, or the source's name when its
//                 header fields are kept (so are the other three fields below)
//       32     4  width of level 0
//       36     4  height of level 0
//       40    16  level offsets, 4 entries, level 0 first: where level i's pixels start, 0 for an
//                 empty level
//       56    32  animation name: empty
//       88     4  flags: 0
//       92     4  contents: 0
//       96     4  value: 0
//      100        pixels of the four levels back to back, level 0 first, rows top to bottom;
//                 level i is floor(W / 2^i) x floor(H / 2^i) and indexes WalPalette
//
// Sizes and positions must fit a signed 32-bit integer.

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "texture/BoxFilter.h"
#include "texture/Resample.h"
#include "texture/StoredPicture.h"
#include "texture/WalPalette.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
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

static_assert(kWidth == kName + kNameSize);
static_assert(kHeight == kWidth + 4 && kOffsets == kHeight + 4);
static_assert(kAnimationName == kOffsets + kLevelCount * 4);
static_assert(kFlags == kAnimationName + kNameSize);
static_assert(kContents == kFlags + 4 && kValue == kContents + 4);
static_assert(kHeaderSize == kValue + 4 && kHeaderSize == 100);
static_assert(kNameSize == kTextureNameFieldSize);
} // namespace WalLayout

namespace {

struct WalGeometry {
    std::array<float, WalLayout::kLevelCount> factors{};
    std::array<std::int32_t, WalLayout::kLevelCount> widths{};
    std::array<std::int32_t, WalLayout::kLevelCount> heights{};
    std::array<std::int32_t, WalLayout::kLevelCount> offsets{};
    std::size_t pixelCount = 0; // of level 0
    std::size_t fileSize = 0;
};

// Level positions of a W x H picture; none when a side is negative or the pixel count or the
// file length does not fit a signed 32-bit integer.
std::optional<WalGeometry> LayOutLevels(std::int32_t width, std::int32_t height) {
    const auto count = PixelCount(width, height);
    if (!count) {
        return std::nullopt;
    }
    WalGeometry geometry;
    geometry.pixelCount = *count;
    std::int64_t position = static_cast<std::int64_t>(WalLayout::kHeaderSize);
    float factor = 1.0f;
    for (std::size_t i = 0; i < WalLayout::kLevelCount; ++i) {
        const std::int32_t levelWidth = ScaledSize(width, factor);
        const std::int32_t levelHeight = ScaledSize(height, factor);
        const bool hasPixels = levelWidth != 0 && levelHeight != 0;
        geometry.factors[i] = factor;
        geometry.widths[i] = levelWidth;
        geometry.heights[i] = levelHeight;
        geometry.offsets[i] = hasPixels ? static_cast<std::int32_t>(position) : 0;
        position += static_cast<std::int64_t>(levelWidth) * levelHeight;
        if (position > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        factor *= 0.5f;
    }
    geometry.fileSize = static_cast<std::size_t>(position);
    return geometry;
}

// The header's name, animation name, flags, contents and value, when the source's are kept.
void StoreFields(std::uint8_t* header, const HeaderFields& fields) {
    using namespace WalLayout;
    StoreTextField(header + kName, kNameSize, fields.name);
    StoreTextField(header + kAnimationName, kNameSize, fields.animationName);
    StoreLE32(header + kFlags, fields.flags);
    StoreLE32(header + kContents, fields.contents);
    StoreLE32(header + kValue, fields.value);
}

// Levels 1 to 3 made from level 0 as it stands in the file: sampled from it, or each averaged
// from the level before in WalPalette's colours.
void MakeSmallerLevels(std::vector<std::uint8_t>& file, const WalGeometry& geometry,
                       MipFilter mips) {
    const PixelView full{geometry.widths[0], geometry.heights[0],
                         static_cast<std::size_t>(geometry.widths[0]),
                         file.data() + WalLayout::kHeaderSize};
    if (mips == MipFilter::Point) {
        for (std::size_t i = 1; i < WalLayout::kLevelCount; ++i) {
            if (geometry.offsets[i] != 0) {
                ResampleInto(file.data() + static_cast<std::size_t>(geometry.offsets[i]), full,
                             geometry.factors[i], geometry.factors[i]);
            }
        }
        return;
    }
    NearestBySquares& nearest = NearestBySquares::For(WalPalette);
    // A level has pixels only when both sides of the level above are at least 2, so halving
    // with HalvedSide gives the sizes the header implies.
    for (std::size_t i = 1; i < WalLayout::kLevelCount && geometry.offsets[i] != 0; ++i) {
        const PixelView above{geometry.widths[i - 1], geometry.heights[i - 1],
                              static_cast<std::size_t>(geometry.widths[i - 1]),
                              file.data() + static_cast<std::size_t>(geometry.offsets[i - 1])};
        AverageLevelInto(file.data() + static_cast<std::size_t>(geometry.offsets[i]), above,
                         nearest);
    }
}

// The whole file. Level 0 is the picture's pixels, put through `remap` when one is given; the
// smaller levels are then made from level 0 as it stands in the buffer, so a remapped picture
// needs no copy of its own.
std::optional<std::vector<std::uint8_t>> Encode(const IndexedImage& image, const RemapTable* remap,
                                                const WriteOptions& options) {
    using namespace WalLayout;
    const auto geometry = LayOutLevels(image.width, image.height);
    if (!geometry || (!image.pixels && geometry->pixelCount != 0)) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> file(geometry->fileSize); // zeroed: every unset byte is 0
        std::uint8_t* header = file.data();
        StoreLE32(header + kWidth, image.width);
        StoreLE32(header + kHeight, image.height);
        if (options.fields) {
            StoreFields(header, *options.fields);
        }
        for (std::size_t i = 0; i < kLevelCount; ++i) {
            StoreLE32(header + kOffsets + 4 * i, geometry->offsets[i]);
        }
        if (geometry->pixelCount == 0) {
            return file;
        }
        std::uint8_t* level0 = file.data() + kHeaderSize;
        const std::uint8_t* pixels = image.pixels.get();
        if (remap != nullptr) {
            for (std::size_t i = 0; i < geometry->pixelCount; ++i) {
                level0[i] = (*remap)[pixels[i]];
            }
        } else {
            std::memcpy(level0, pixels, geometry->pixelCount);
        }
        MakeSmallerLevels(file, *geometry, options.mips);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The header as the readers see it: a file shorter than the header reads as if its missing
// bytes were zero.
std::array<std::uint8_t, WalLayout::kHeaderSize> HeaderOf(std::span<const std::uint8_t> file) {
    std::array<std::uint8_t, WalLayout::kHeaderSize> header{};
    const std::size_t length = std::min(file.size(), header.size());
    if (length != 0) {
        std::memcpy(header.data(), file.data(), length);
    }
    return header;
}

} // namespace

std::optional<std::vector<std::uint8_t>> EncodeWal(const IndexedImage& image,
                                                   const WriteOptions& options) {
    return Encode(image, nullptr, options);
}

bool WriteWal(IndexedImage& image, const Palette& palette, const std::string& path,
              const WriteOptions& options) {
    try {
        const RemapTable remap = BuildRemapTable(WalPalette, palette);
        const auto file = Encode(image, &remap, options);
        if (!file || !WriteFileReplacing(path, *file)) {
            return false;
        }
        // Only a written file changes the caller's picture: level 0 is the remapped picture.
        const auto count = PixelCount(image.width, image.height); // fits: the file was made
        if (count && *count != 0) {
            std::memcpy(image.pixels.get(), file->data() + WalLayout::kHeaderSize, *count);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::unique_ptr<IndexedImage> ParseWalImage(std::span<const std::uint8_t> file, ReadError* error) {
    using namespace WalLayout;
    const auto header = HeaderOf(file);
    // Level 0 always starts right after the header, whatever the offset table says.
    const std::int32_t width = LoadLE32Signed(header.data() + kWidth);
    const std::int32_t height = LoadLE32Signed(header.data() + kHeight);
    return TakeStoredPicture(file, kHeaderSize, width, height, error);
}

HeaderFields ParseWalFields(std::span<const std::uint8_t> file) {
    using namespace WalLayout;
    const auto header = HeaderOf(file);
    HeaderFields fields;
    fields.name = LoadTextField(header.data() + kName, kNameSize);
    fields.animationName = LoadTextField(header.data() + kAnimationName, kNameSize);
    fields.flags = LoadLE32(header.data() + kFlags);
    fields.contents = LoadLE32(header.data() + kContents);
    fields.value = LoadLE32(header.data() + kValue);
    return fields;
}

StoredLevels ParseWalLevels(std::span<const std::uint8_t> file) {
    using namespace WalLayout;
    const auto header = HeaderOf(file);
    StoredLevels stored;
    stored.headerSize = kHeaderSize;
    const std::int32_t width = LoadLE32Signed(header.data() + kWidth);
    const std::int32_t height = LoadLE32Signed(header.data() + kHeight);
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        // Shifting a negative size is not defined; such a header is refused by the reader.
        const auto halved = [i](std::int32_t side) { return side < 0 ? side : side >> i; };
        stored.levels.push_back(
            {halved(width), halved(height), LoadLE32Signed(header.data() + kOffsets + 4 * i)});
    }
    return stored;
}

std::optional<HeaderFields> ReadWalFields(const std::string& path) {
    const auto file = ReadFilePrefix(path, WalLayout::kHeaderSize);
    if (!file) {
        return std::nullopt;
    }
    return ParseWalFields(*file);
}

std::unique_ptr<IndexedImage> ReadWalImage(const std::string& path, ReadError* error) {
    const auto file = ReadInputFile(path, error);
    if (!file) {
        return nullptr;
    }
    return ParseWalImage(*file, error);
}

bool ReadWalPalette(Palette& palette) {
    palette = WalPalette;
    return true;
}

} // namespace texelary
