#include "formats/mips/M32Format.h"

// Byte layout of a .m32 file (all numbers little-endian, 32-bit), as Heretic2's tools write it
// and as the TrenchBroom map editor's loader (LoadM32Texture) reads it:
//
//   offset  size  field
//        0     4  version: 4
//        4   128  name, NUL-terminated, zero-padded
//      132   128  alternate name: the texture drawn in its place
//      260   128  animation name: the next frame's name, empty when not animated
//      388   128  damage name: the texture shown once the surface is damaged
//      516    64  level widths, 16 unsigned entries, level 0 first
//      580    64  level heights, 16 unsigned entries
//      644    64  level offsets, 16 unsigned entries: where level i's pixels start, 0 for none
//      708     4  flags, copied as stored
//      712     4  contents
//      716     4  value
//      720     8  scale x, scale y: floats, the size the engine draws the texture at
//      728     4  mip scale
//      732   128  detail texture name
//      860    20  detail scale x, detail scale y, detail u, detail v, detail alpha: floats
//      880     8  detail blend source and destination
//      888    80  20 reserved words; the first holds a second flags word
//      968        pixels of the levels back to back, level 0 first, rows top to bottom, 4 bytes a
//                 pixel: red, green, blue, alpha
//
// The levels end at the first entry with a side of 0. Every level is read at its stored offset,
// level 0 too: the files put it right after the header, and the loaders seek to the offset.

#include "base/ByteOrder.h"
#include "base/WriteError.h"
#include "colour/BoxFilter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TEXELARY_M32_SSE2 1
#else
#define TEXELARY_M32_SSE2 0
#endif

namespace texelary {

namespace M32Layout {
constexpr std::size_t kVersion = 0;
constexpr std::size_t kName = 4;
constexpr std::size_t kNameSize = 128;
constexpr std::size_t kAlternateName = 132;
constexpr std::size_t kAnimationName = 260;
constexpr std::size_t kDamageName = 388;
constexpr std::size_t kWidths = 516;
constexpr std::size_t kHeights = 580;
constexpr std::size_t kOffsets = 644;
constexpr std::size_t kFlags = 708;
constexpr std::size_t kContents = 712;
constexpr std::size_t kValue = 716;
constexpr std::size_t kScaleX = 720;
constexpr std::size_t kScaleY = 724;
constexpr std::size_t kMipScale = 728;
constexpr std::size_t kDetailName = 732;
constexpr std::size_t kDetailFloats = 860; // scale x, scale y, u, v, alpha
constexpr std::size_t kDetailSourceBlend = 880;
constexpr std::size_t kDetailDestinationBlend = 884;
constexpr std::size_t kReserved = 888;
constexpr std::size_t kHeaderSize = 968;

constexpr std::size_t kLevelCount = 16;
constexpr std::size_t kTableSize = kLevelCount * 4;
constexpr std::size_t kReservedCount = std::tuple_size_v<decltype(M32Fields::reserved)>;
constexpr std::int32_t kVersionWritten = 4;
constexpr std::size_t kBytesPerPixel = 4;

static_assert(kName == kVersion + 4);
static_assert(kAlternateName == kName + kNameSize);
static_assert(kAnimationName == kAlternateName + kNameSize);
static_assert(kDamageName == kAnimationName + kNameSize);
static_assert(kWidths == kDamageName + kNameSize);
static_assert(kHeights == kWidths + kTableSize && kOffsets == kHeights + kTableSize);
static_assert(kFlags == kOffsets + kTableSize);
static_assert(kContents == kFlags + 4 && kValue == kContents + 4 && kScaleX == kValue + 4);
static_assert(kScaleY == kScaleX + 4 && kMipScale == kScaleY + 4 && kDetailName == kMipScale + 4);
static_assert(kDetailFloats == kDetailName + kNameSize);
static_assert(kDetailSourceBlend == kDetailFloats + 5 * 4);
static_assert(kDetailDestinationBlend == kDetailSourceBlend + 4);
static_assert(kReserved == kDetailDestinationBlend + 4);
static_assert(kHeaderSize == kReserved + kReservedCount * 4 && kHeaderSize == 968);
} // namespace M32Layout

namespace {

using namespace M32Layout;

// A level's entry as stored: sides and offset unsigned, not yet checked.
struct M32Level {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offset = 0;
};

struct M32Header {
    std::array<M32Level, kLevelCount> levels{};
    HeaderFields fields;
};

float LoadFloat(ByteCursor& cursor) {
    return std::bit_cast<float>(cursor.U32());
}

std::string LoadName(ByteCursor& cursor) {
    const auto field = cursor.Bytes(kNameSize);
    return field.empty() ? std::string() : LoadTextField(field.data(), kNameSize);
}

// Reads the fields in file order; the cursor's failure flag says whether the header was whole.
void ReadFields(ByteCursor& cursor, M32Header& header) {
    HeaderFields& fields = header.fields;
    M32Fields& m32 = fields.m32.emplace();
    fields.name = LoadName(cursor);
    m32.alternateName = LoadName(cursor);
    fields.animationName = LoadName(cursor);
    m32.damageName = LoadName(cursor);
    for (M32Level& level : header.levels) {
        level.width = cursor.U32();
    }
    for (M32Level& level : header.levels) {
        level.height = cursor.U32();
    }
    for (M32Level& level : header.levels) {
        level.offset = cursor.U32();
    }
    fields.flags = cursor.U32();
    fields.contents = cursor.U32();
    fields.value = cursor.U32();
    m32.scaleX = LoadFloat(cursor);
    m32.scaleY = LoadFloat(cursor);
    m32.mipScale = cursor.I32();
    m32.detailName = LoadName(cursor);
    for (float* detail :
         {&m32.detailScaleX, &m32.detailScaleY, &m32.detailU, &m32.detailV, &m32.detailAlpha}) {
        *detail = LoadFloat(cursor);
    }
    m32.detailSourceBlend = cursor.I32();
    m32.detailDestinationBlend = cursor.I32();
    for (std::int32_t& word : m32.reserved) {
        word = cursor.I32();
    }
}

// The header of `file`, read whole: none, with the reason, for another version or a file that
// ends inside the header. The levels are not checked here.
std::optional<M32Header> ReadHeader(std::span<const std::uint8_t> file, ReadError* error) {
    ByteCursor cursor(file);
    const std::int32_t version = cursor.I32();
    if (cursor.Ok() && version != kVersionWritten) {
        SetReason(error, ReadError::BadSignature);
        return std::nullopt;
    }
    M32Header header;
    ReadFields(cursor, header);
    if (!cursor.Ok()) {
        SetReason(error, ReadError::Truncated);
        return std::nullopt;
    }
    SetReason(error, ReadError::None);
    return header;
}

// How many levels have pixels: those before the first entry with a side of 0.
std::size_t StoredLevelCount(const M32Header& header) {
    std::size_t count = 0;
    while (count < kLevelCount && header.levels[count].width != 0 &&
           header.levels[count].height != 0) {
        ++count;
    }
    return count;
}

// Checks the first `count` levels against the file before anything is allocated: ReadError::None
// when each has sides and a pixel count below 2^31, starts past the header and ends in the file.
ReadError CheckLevels(std::span<const std::uint8_t> file, const M32Header& header,
                      std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const M32Level& level = header.levels[i];
        // A side past 2^31 - 1 reads as negative, which PixelCount refuses.
        const auto pixels = PixelCount(static_cast<std::int32_t>(level.width),
                                       static_cast<std::int32_t>(level.height));
        if (!pixels || level.offset < kHeaderSize) {
            return ReadError::BadHeader;
        }
        // Below 2^31 pixels, the byte count fits any std::size_t of 64 bits; CheckedMul keeps
        // 32-bit builds honest.
        const auto bytes = CheckedMul(*pixels, kBytesPerPixel);
        if (!bytes || !FitsIn(file.size(), level.offset, *bytes)) {
            return ReadError::Truncated;
        }
    }
    return ReadError::None;
}

RgbaImage TakeLevel(std::span<const std::uint8_t> file, const M32Level& level) {
    RgbaImage picture;
    picture.width = static_cast<std::int32_t>(level.width);
    picture.height = static_cast<std::int32_t>(level.height);
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(level.offset);
    picture.pixels.assign(
        begin, begin + static_cast<std::ptrdiff_t>(kBytesPerPixel * level.width * level.height));
    return picture;
}

// The header and the first `wanted` levels (all the stored ones when more are wanted), checked:
// none, with the reason, when the header or one of those levels is refused.
std::optional<M32Header> ReadChecked(std::span<const std::uint8_t> file, std::size_t wanted,
                                     ReadError* error, std::size_t& count) {
    auto header = ReadHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    count = std::min(StoredLevelCount(*header), wanted);
    if (count == 0) {
        SetReason(error, ReadError::NoPixels);
        return std::nullopt;
    }
    const ReadError refused = CheckLevels(file, *header, count);
    SetReason(error, refused);
    return refused == ReadError::None ? std::move(header) : std::nullopt;
}

// The entries of the levels written for a W x H picture and the file's length; none when the
// picture has no pixels or the file would not fit signed 32-bit offsets.
struct WriteLayout {
    std::array<M32Level, kLevelCount> levels{};
    std::size_t count = 0;
    std::size_t fileSize = 0;
};

std::optional<WriteLayout> LayOutM32Levels(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    WriteLayout layout;
    auto position = static_cast<std::int64_t>(kHeaderSize);
    while (layout.count < kLevelCount) {
        layout.levels[layout.count++] = {static_cast<std::uint32_t>(width),
                                         static_cast<std::uint32_t>(height),
                                         static_cast<std::uint32_t>(position)};
        position += std::int64_t{width} * height * std::int64_t{kBytesPerPixel};
        if (position > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        if (width == 1 && height == 1) {
            break;
        }
        width = HalvedSide(width);
        height = HalvedSide(height);
    }
    layout.fileSize = static_cast<std::size_t>(position);
    return layout;
}

void StoreFields(std::uint8_t* header, const std::optional<HeaderFields>& kept) {
    const HeaderFields fields = kept.value_or(HeaderFields{});
    const M32Fields m32 = fields.m32.value_or(M32Fields{});
    StoreLE32(header + kVersion, kVersionWritten);
    StoreTextField(header + kName, kNameSize, fields.name);
    StoreTextField(header + kAlternateName, kNameSize, m32.alternateName);
    StoreTextField(header + kAnimationName, kNameSize, fields.animationName);
    StoreTextField(header + kDamageName, kNameSize, m32.damageName);
    StoreLE32(header + kFlags, fields.flags);
    StoreLE32(header + kContents, fields.contents);
    StoreLE32(header + kValue, fields.value);
    StoreLE32(header + kScaleX, std::bit_cast<std::uint32_t>(m32.scaleX));
    StoreLE32(header + kScaleY, std::bit_cast<std::uint32_t>(m32.scaleY));
    StoreLE32(header + kMipScale, m32.mipScale);
    StoreTextField(header + kDetailName, kNameSize, m32.detailName);
    const std::array<float, 5> details{m32.detailScaleX, m32.detailScaleY, m32.detailU, m32.detailV,
                                       m32.detailAlpha};
    for (std::size_t i = 0; i < details.size(); ++i) {
        StoreLE32(header + kDetailFloats + 4 * i, std::bit_cast<std::uint32_t>(details[i]));
    }
    StoreLE32(header + kDetailSourceBlend, m32.detailSourceBlend);
    StoreLE32(header + kDetailDestinationBlend, m32.detailDestinationBlend);
    for (std::size_t i = 0; i < kReservedCount; ++i) {
        StoreLE32(header + kReserved + 4 * i, m32.reserved[i]);
    }
}

std::uint32_t LoadPixel(const std::uint8_t* at) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, at, sizeof pixel);
    return pixel;
}

#if TEXELARY_M32_SSE2
// Pixels 0, 2, 4, 6 (`Pick` 2, 0, 2, 0) or 1, 3, 5, 7 of the eight at `at`.
template <int Pick> __m128i EveryOther(const std::uint8_t* at) {
    const __m128 low = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    const __m128 high =
        _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16)));
    return _mm_castps_si128(_mm_shuffle_ps(low, high, Pick));
}

__m128i Widened(__m128i a, __m128i b, __m128i c, __m128i d, bool high) {
    const __m128i zero = _mm_setzero_si128();
    const auto widen = [&](__m128i v) {
        return high ? _mm_unpackhi_epi8(v, zero) : _mm_unpacklo_epi8(v, zero);
    };
    return _mm_add_epi16(_mm_add_epi16(widen(a), widen(b)), _mm_add_epi16(widen(c), widen(d)));
}
#endif

// Writes `width` pixels of a row of the level below from rows `top` and `bottom` of the level
// above (the same row when it has one): each channel of pixel x the sum over the pixels at 2x
// and 2x + 1 of both rows (2x alone when `pairs` is false) divided by 4, rounded down. A block
// of two pixels is counted twice, so that this is the sum over the block divided by its pixel
// count, as AverageLevelInto rounds.
void AverageRowInto(std::uint8_t* target, const std::uint8_t* top, const std::uint8_t* bottom,
                    std::size_t width, bool pairs) {
    std::size_t x = 0;
#if TEXELARY_M32_SSE2
    constexpr int kEven = _MM_SHUFFLE(2, 0, 2, 0);
    constexpr int kOdd = _MM_SHUFFLE(3, 1, 3, 1);
    for (; pairs && x + 4 <= width; x += 4) {
        const std::uint8_t* t = top + 8 * x;
        const std::uint8_t* b = bottom + 8 * x;
        const __m128i te = EveryOther<kEven>(t), to = EveryOther<kOdd>(t);
        const __m128i be = EveryOther<kEven>(b), bo = EveryOther<kOdd>(b);
        const __m128i low = _mm_srli_epi16(Widened(te, to, be, bo, false), 2);
        const __m128i high = _mm_srli_epi16(Widened(te, to, be, bo, true), 2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 4 * x), _mm_packus_epi16(low, high));
    }
#endif
    // The four channels summed at once, two 16-bit lanes per word (4 x 255 fits).
    constexpr std::uint32_t kLanes = 0x00ff00ffu;
    const std::size_t across = pairs ? kBytesPerPixel : 0;
    for (; x < width; ++x) {
        const std::size_t left = (pairs ? 8 : 4) * x;
        const std::uint32_t p[4] = {LoadPixel(top + left), LoadPixel(top + left + across),
                                    LoadPixel(bottom + left), LoadPixel(bottom + left + across)};
        std::uint32_t even = 0;
        std::uint32_t odd = 0;
        for (const std::uint32_t pixel : p) {
            even += pixel & kLanes;
            odd += (pixel >> 8) & kLanes;
        }
        const std::uint32_t pixel = ((even >> 2) & kLanes) | (((odd >> 2) & kLanes) << 8);
        std::memcpy(target + 4 * x, &pixel, sizeof pixel);
    }
}

// Writes `width` pixels of a point-sampled row: pixel x is pixel x << shift of `row`.
void SampleRowInto(std::uint8_t* target, const std::uint8_t* row, std::size_t width,
                   std::size_t shift) {
    std::size_t x = 0;
#if TEXELARY_M32_SSE2
    for (; shift == 1 && x + 4 <= width; x += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 4 * x),
                         EveryOther<_MM_SHUFFLE(2, 0, 2, 0)>(row + 8 * x));
    }
#endif
    for (; x < width; ++x) {
        std::memcpy(target + 4 * x, row + kBytesPerPixel * (x << shift), kBytesPerPixel);
    }
}

// The levels after level 0, made in the file itself from level 0 there.
struct SmallerLevels {
    const WriteLayout& layout;
    std::uint8_t* file;

    std::uint8_t* Row(std::size_t level, std::size_t y) const {
        const M32Level& at = layout.levels[level];
        return file + at.offset + kBytesPerPixel * at.width * y;
    }
};

// Makes the rows of levels 1 and on that row y of level 0 (`row`, with the one above it) makes.
void MakeRowsBelow(const SmallerLevels& smaller, const std::uint8_t* row, std::size_t rowBytes,
                   std::size_t y, MipFilter mips) {
    const WriteLayout& layout = smaller.layout;
    if (mips == MipFilter::Box) {
        const bool tall = layout.levels[0].height > 1;
        const M32Level& below = layout.levels[1];
        if ((!tall || y % 2 == 1) && (tall ? y / 2 : y) < below.height) {
            AverageRowInto(smaller.Row(1, tall ? y / 2 : y), tall ? row - rowBytes : row, row,
                           below.width, layout.levels[0].width > 1);
        }
        return;
    }
    for (std::size_t i = 1; i < layout.count && y % (std::size_t{1} << i) == 0; ++i) {
        if ((y >> i) < layout.levels[i].height) {
            SampleRowInto(smaller.Row(i, y >> i), row, layout.levels[i].width, i);
        }
    }
}

// Averages levels 2 and on, each from the one above it.
void AverageSmallest(const SmallerLevels& smaller) {
    const WriteLayout& layout = smaller.layout;
    for (std::size_t i = 2; i < layout.count; ++i) {
        const M32Level& above = layout.levels[i - 1];
        const bool tall = above.height > 1;
        for (std::size_t y = 0; y < layout.levels[i].height; ++y) {
            const std::uint8_t* top = smaller.Row(i - 1, tall ? 2 * y : y);
            AverageRowInto(smaller.Row(i, y), top, tall ? top + kBytesPerPixel * above.width : top,
                           layout.levels[i].width, above.width > 1);
        }
    }
}

// The sides of the level table as --info's size rule takes them; sides past 2^31 - 1, which no
// file's levels can have, held there.
void CheckSizes(const M32Header& header, TextureInfo& info) {
    constexpr std::uint32_t kLargest = 0x7FFFFFFFu;
    std::vector<StoredLevel> levels;
    for (const M32Level& level : header.levels) {
        levels.push_back({static_cast<std::int32_t>(std::min(level.width, kLargest)),
                          static_cast<std::int32_t>(std::min(level.height, kLargest)), 0});
    }
    CheckLevelSizes(levels, info);
}

// Where the level table strays from the rules the writers keep, in the words --info uses for the
// palette mip textures: sizes halving, the levels with pixels back to back from the end of the
// header (the others at offset 0), the file ending with the last of them.
void CheckRules(const M32Header& header, std::size_t fileSize, TextureInfo& info) {
    constexpr std::int64_t kFarPastAnyFile = std::int64_t{1} << 62;
    CheckSizes(header, info);
    auto position = static_cast<std::int64_t>(kHeaderSize);
    for (std::size_t i = 0; i < kLevelCount; ++i) {
        const M32Level& level = header.levels[i];
        // Both held at 2^62, far past any file, so that neither this nor the sum can overflow.
        const std::uint64_t pixels = std::uint64_t{level.width} * level.height;
        const std::int64_t bytes = pixels > kFarPastAnyFile / 4
                                       ? kFarPastAnyFile
                                       : static_cast<std::int64_t>(pixels * kBytesPerPixel);
        const std::string which = "level " + std::to_string(i);
        if (bytes == 0) {
            if (level.offset != 0) {
                info.ruleBreaks.push_back(which + " has no pixels but offset " +
                                          std::to_string(level.offset));
            }
            continue;
        }
        if (level.offset != position) {
            info.ruleBreaks.push_back(which + " starts at " + std::to_string(level.offset) +
                                      ", not right after the one before (" +
                                      std::to_string(position) + ")");
        }
        info.levels.push_back({static_cast<std::int32_t>(level.width),
                               static_cast<std::int32_t>(level.height),
                               static_cast<std::int32_t>(level.offset)});
        position = bytes < kFarPastAnyFile - position ? position + bytes : kFarPastAnyFile;
    }
    const auto size = static_cast<std::int64_t>(fileSize);
    if (size < position) {
        info.ruleBreaks.push_back("the file ends at " + std::to_string(size) +
                                  ", before the end of its last level (" +
                                  std::to_string(position) + ")");
    } else if (size > position) {
        const std::int64_t extra = size - position;
        info.ruleBreaks.push_back("the file goes on " + std::to_string(extra) +
                                  (extra == 1 ? " byte" : " bytes") + " past its last level");
    }
}

} // namespace

std::optional<DecodedTexture> DecodeM32(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels) {
    return ParseGuarded(
        [&]() -> std::optional<DecodedTexture> {
            std::size_t count = 0;
            auto header = ReadChecked(file, 1, error, count);
            if (!header) {
                return std::nullopt;
            }
            DecodedTexture texture;
            texture.trueColour = std::make_unique<RgbaImage>(TakeLevel(file, header->levels[0]));
            texture.fields = std::move(header->fields);
            if (levels == LevelsWanted::All) {
                auto all = DecodeM32Levels(file, error);
                if (!all) {
                    return std::nullopt;
                }
                for (std::size_t i = 1; i < all->size(); ++i) {
                    texture.trueColourLevels.push_back(
                        std::make_unique<RgbaImage>(std::move((*all)[i])));
                }
            }
            return texture;
        },
        error);
}

std::optional<TextureInfo> InspectM32(std::span<const std::uint8_t> file, ReadError* error) {
    std::size_t count = 0;
    const auto header = ReadChecked(file, 1, error, count);
    if (!header) {
        return std::nullopt;
    }
    TextureInfo info;
    info.width = static_cast<std::int32_t>(header->levels[0].width);
    info.height = static_cast<std::int32_t>(header->levels[0].height);
    info.version = kVersionWritten; // the only version the reader takes
    CheckRules(*header, file.size(), info);
    info.fields = header->fields;
    return info;
}

std::optional<std::vector<RgbaImage>> DecodeM32Levels(std::span<const std::uint8_t> file,
                                                      ReadError* error) {
    try {
        std::size_t count = 0;
        const auto header = ReadChecked(file, kLevelCount, error, count);
        if (!header) {
            return std::nullopt;
        }
        std::vector<RgbaImage> levels;
        levels.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            levels.push_back(TakeLevel(file, header->levels[i]));
        }
        return levels;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
}

} // namespace texelary

namespace texelary {

namespace {

// Appends level 0 and the levels after it to the header in `file`. The smaller levels are made
// in place from level 0's rows in the file: the vector zero-fills them first (a third of level 0
// at most), which costs less than making them apart and copying them in.
void AppendLevels(std::vector<std::uint8_t>& file, const RgbaImage& picture,
                  const WriteLayout& layout, MipFilter mips) {
    file.insert(file.end(), picture.pixels.begin(), picture.pixels.end());
    if (layout.count == 1) {
        return;
    }
    file.resize(layout.fileSize);
    const SmallerLevels smaller{layout, file.data()};
    const std::size_t rowBytes = kBytesPerPixel * layout.levels[0].width;
    const std::uint8_t* row = file.data() + layout.levels[0].offset;
    for (std::size_t y = 0; y < layout.levels[0].height; ++y, row += rowBytes) {
        MakeRowsBelow(smaller, row, rowBytes, y, mips);
    }
    if (mips == MipFilter::Box) {
        AverageSmallest(smaller);
    }
}

} // namespace

const char* RefuseM32(const RgbaImage& picture, const WriteOptions& /*options*/) {
    if (picture.width <= 0 || picture.height <= 0) {
        return DescribeWriteError(WriteError::TextureNoPixels);
    }
    if (!LayOutM32Levels(picture.width, picture.height)) {
        return DescribeWriteError(WriteError::TooLarge);
    }
    return picture.pixels.empty() ? DescribeWriteError(WriteError::TextureNoPixels) : nullptr;
}

std::optional<std::vector<std::uint8_t>> WriteM32(const RgbaImage& picture,
                                                  const WriteOptions& options) {
    const auto layout = LayOutM32Levels(picture.width, picture.height);
    const std::size_t fullBytes = kBytesPerPixel * static_cast<std::size_t>(picture.width) *
                                  static_cast<std::size_t>(picture.height);
    if (!layout || picture.pixels.size() != fullBytes) {
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> file;
        file.reserve(layout->fileSize);
        file.resize(kHeaderSize);
        StoreFields(file.data(), options.fields);
        for (std::size_t i = 0; i < kLevelCount; ++i) {
            const M32Level& level = layout->levels[i];
            StoreLE32(file.data() + kWidths + 4 * i, level.width);
            StoreLE32(file.data() + kHeights + 4 * i, level.height);
            StoreLE32(file.data() + kOffsets + 4 * i, level.offset);
        }
        AppendLevels(file, picture, *layout, options.mips);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace texelary
