#include "formats/pictures/TgaFormat.h"

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "formats/RunOutput.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

// Byte layout of a TGA file (all numbers little-endian). There is no signature: the header's
// fields are checked instead.
//
// | Offset | Size | Field              | How it is read                                        |
// |--------|------|--------------------|-------------------------------------------------------|
// | 0      | 1    | ID length          | that many bytes follow the header; skipped            |
// | 1      | 1    | colour map type    | 0 none, 1 present; anything else is not a TGA file    |
// | 2      | 1    | image type         | 1 colour-mapped, 2 true colour, 3 grey; +8 run-length |
// | 3      | 2    | first map entry    | the index that the map's first entry has              |
// | 5      | 2    | map length         | entries in the map                                    |
// | 7      | 1    | map entry size     | 15, 16, 24 or 32 bits                                 |
// | 8      | 4    | x and y origin     | ignored                                               |
// | 12     | 2    | width              | > 0                                                   |
// | 14     | 2    | height             | > 0                                                   |
// | 16     | 1    | pixel depth        | 8 (indices, grey); 16 (grey, alpha); 15, 16, 24, 32   |
// |        |      |                    | (true colour)                                         |
// | 17     | 1    | image descriptor   | bits 0-3 alpha bits, bit 4 columns right to left,     |
// |        |      |                    | bit 5 rows top row first, bits 6-7 interleaving (0)   |
// | 18     | ...  | image ID           | ID length bytes                                       |
// | ...    | ...  | colour map         | map length entries of ceil(entry size / 8) bytes      |
// | ...    | ...  | image data         | width x height pixels, bottom row first unless bit 5  |
//
// A pixel or map entry of 24 or 32 bits is blue, green, red (, alpha); one of 15 or 16 bits is a
// 16-bit number with blue in bits 0-4, green in 5-9, red in 10-14 and, for 16 bits, an alpha bit
// in bit 15. A grey pixel of 16 bits is a grey byte, then an alpha byte. Alpha counts when the
// descriptor announces alpha bits, and the alpha byte of 32-bit colour and 16-bit grey also
// when it announces none but some pixel's alpha byte is not 0. Run-length data is a
// series of packets: a byte n, then, when n's top bit is set, one pixel repeated (n & 0x7f) + 1
// times, or else (n & 0x7f) + 1 pixels as they are; packets may run on from one row to the next.
// Whatever follows the pixels (TGA 2.0 extension area and footer) is ignored.

namespace texelary {

namespace TgaLayout {

constexpr std::size_t kIdLength = 0;
constexpr std::size_t kColourMapType = 1;
constexpr std::size_t kImageType = 2;
constexpr std::size_t kFirstEntry = 3;
constexpr std::size_t kMapLength = 5;
constexpr std::size_t kMapEntrySize = 7;
constexpr std::size_t kWidth = 12;
constexpr std::size_t kHeight = 14;
constexpr std::size_t kPixelDepth = 16;
constexpr std::size_t kDescriptor = 17;
constexpr std::size_t kHeaderSize = 18;

static_assert(kDescriptor + 1 == kHeaderSize);
// The cursor reads the fields one after another, skipping the 4-byte origin before the width.
static_assert(kIdLength == 0 && kColourMapType == kIdLength + 1 &&
              kImageType == kColourMapType + 1);
static_assert(kFirstEntry == kImageType + 1 && kMapLength == kFirstEntry + 2 &&
              kMapEntrySize == kMapLength + 2);
static_assert(kWidth == kMapEntrySize + 1 + 4 && kHeight == kWidth + 2 &&
              kPixelDepth == kHeight + 2 && kDescriptor == kPixelDepth + 1);

} // namespace TgaLayout

namespace {

enum : std::uint8_t {
    TypeColourMapped = 1,
    TypeTrueColour = 2,
    TypeGrey = 3,
    RunLengthFlag = 8,
    TypeHuffman = 32,
    TypeHuffmanQuadtree = 33,
};

enum : std::uint8_t {
    AlphaBitsMask = 0x0f,
    RightToLeft = 0x10,
    TopRowFirst = 0x20,
    InterleaveMask = 0xc0,
};

// Run-length packets are at least a count byte and one pixel, and give at most 128 pixels.
constexpr std::uint64_t MaxPixelsPerPacket = 128;

// The header's fields as the file stores them, before any is checked.
struct TgaFields {
    std::uint8_t idLength = 0;
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t firstEntry = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t entryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelBits = 0;
    std::uint8_t descriptor = 0;
};

struct TgaHeader {
    std::uint8_t kind = 0; // TypeColourMapped, TypeTrueColour or TypeGrey
    bool runLength = false;
    std::size_t firstEntry = 0;
    std::size_t mapLength = 0;
    std::size_t entryBytes = 0;
    unsigned entryBits = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    unsigned pixelBits = 0;
    std::size_t pixelBytes = 0;
    bool alpha = false;
    bool rightToLeft = false;
    bool topRowFirst = false;
    std::size_t mapStart = 0;
    std::size_t dataStart = 0;
};

// Reads the 18 header bytes in the order of the layout table; false when the file is shorter.
bool ReadFields(std::span<const std::uint8_t> file, TgaFields& fields) {
    using namespace TgaLayout;
    ByteCursor cursor(file);
    fields.idLength = cursor.U8();
    fields.mapType = cursor.U8();
    fields.imageType = cursor.U8();
    fields.firstEntry = cursor.U16();
    fields.mapLength = cursor.U16();
    fields.entryBits = cursor.U8();
    cursor.Skip(4); // origin
    fields.width = cursor.U16();
    fields.height = cursor.U16();
    fields.pixelBits = cursor.U8();
    fields.descriptor = cursor.U8();
    static_assert(kHeaderSize == 18);
    return cursor.Ok();
}

// The image type without its run-length flag: TypeColourMapped, TypeTrueColour or TypeGrey in a
// file that passes CheckType.
std::uint8_t KindOf(std::uint8_t imageType) {
    return static_cast<std::uint8_t>(imageType & ~RunLengthFlag);
}

// Why the colour map type and image type refuse the file (not a TGA file, or a coding this
// reader does not read); None when they name a kind it reads.
ReadError CheckType(const TgaFields& fields) {
    const std::uint8_t kind = KindOf(fields.imageType);
    if (fields.mapType > 1) {
        return ReadError::BadSignature;
    }
    if (fields.imageType == TypeHuffman || fields.imageType == TypeHuffmanQuadtree) {
        return ReadError::Unsupported;
    }
    if (kind < TypeColourMapped || kind > TypeGrey) {
        return fields.imageType == 0 || fields.imageType == RunLengthFlag
                   ? ReadError::Unsupported // a header without a picture
                   : ReadError::BadSignature;
    }
    return ReadError::None;
}

// Why the pixel depth refuses a picture of the type's kind, or the colour map it needs is
// missing; None when both fit.
ReadError CheckPixelDepth(const TgaFields& fields) {
    switch (KindOf(fields.imageType)) {
    case TypeColourMapped:
        if (fields.mapType != 1 || fields.mapLength == 0) {
            return ReadError::BadHeader;
        }
        if (fields.pixelBits != 8) { // 16-bit indices do not fit a 256-colour picture
            return fields.pixelBits == 16 ? ReadError::Unsupported : ReadError::BadHeader;
        }
        return ReadError::None;
    case TypeTrueColour:
        if (fields.pixelBits != 15 && fields.pixelBits != 16 && fields.pixelBits != 24 &&
            fields.pixelBits != 32) {
            return ReadError::BadHeader;
        }
        return ReadError::None;
    default: // grey, or grey and alpha
        return fields.pixelBits == 8 || fields.pixelBits == 16 ? ReadError::None
                                                               : ReadError::BadHeader;
    }
}

// Why the fields refuse the file, in the order the reasons are looked for; None for a header
// this reader takes.
ReadError CheckFields(const TgaFields& fields) {
    if (const ReadError reason = CheckType(fields); reason != ReadError::None) {
        return reason;
    }
    if (fields.width == 0 || fields.height == 0) {
        return ReadError::BadHeader;
    }
    if (fields.mapType == 1 && fields.mapLength != 0 && fields.entryBits != 15 &&
        fields.entryBits != 16 && fields.entryBits != 24 && fields.entryBits != 32) {
        return ReadError::BadHeader;
    }
    if (const ReadError reason = CheckPixelDepth(fields); reason != ReadError::None) {
        return reason;
    }
    if ((fields.descriptor & InterleaveMask) != 0) {
        return ReadError::Unsupported;
    }
    return ReadError::None;
}

// The header that the checked fields describe, with where the colour map and the image data
// start.
TgaHeader DescribeHeader(const TgaFields& fields) {
    using namespace TgaLayout;
    TgaHeader header;
    header.kind = KindOf(fields.imageType);
    header.runLength = (fields.imageType & RunLengthFlag) != 0;
    header.firstEntry = fields.firstEntry;
    header.mapLength = fields.mapLength;
    header.entryBits = fields.entryBits;
    header.entryBytes = (header.entryBits + 7) / 8;
    header.width = fields.width;
    header.height = fields.height;
    header.pixelBits = fields.pixelBits;
    header.pixelBytes = (header.pixelBits + 7) / 8;
    header.alpha = (fields.descriptor & AlphaBitsMask) != 0;
    header.rightToLeft = (fields.descriptor & RightToLeft) != 0;
    header.topRowFirst = (fields.descriptor & TopRowFirst) != 0;
    header.mapStart = kHeaderSize + fields.idLength;
    const std::size_t mapBytes = fields.mapType == 1 ? header.mapLength * header.entryBytes : 0;
    header.dataStart = header.mapStart + mapBytes;
    return header;
}

bool ParseHeader(std::span<const std::uint8_t> file, TgaHeader& header, ReadError* error) {
    TgaFields fields;
    if (!ReadFields(file, fields)) {
        return SetReason(error, ReadError::Truncated);
    }
    if (const ReadError reason = CheckFields(fields); reason != ReadError::None) {
        return SetReason(error, reason);
    }
    header = DescribeHeader(fields);
    if (header.dataStart > file.size()) {
        return SetReason(error, ReadError::Truncated);
    }
    return true;
}

// One pixel or map entry of 15, 16, 24 or 32 bits as red, green, blue, alpha.
void ToRgba(const std::uint8_t* in, unsigned bits, bool alpha, std::uint8_t* out) {
    if (bits <= 16) {
        const unsigned value = LoadLE16(in);
        const auto expand = [](unsigned five) {
            return static_cast<std::uint8_t>((five << 3) | (five >> 2));
        };
        out[0] = expand((value >> 10) & 0x1f);
        out[1] = expand((value >> 5) & 0x1f);
        out[2] = expand(value & 0x1f);
        out[3] = bits == 16 && alpha ? ((value & 0x8000) != 0 ? 255 : 0) : 255;
        return;
    }
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = bits == 32 && alpha ? in[3] : 255;
}

// Whether `data` can hold `count` pixels at all, checked before anything is allocated: as they
// are they take count x pixelBytes bytes, as runs at least a count byte and a pixel for every
// MaxPixelsPerPacket of them.
bool DataCanHold(const TgaHeader& header, std::size_t count, std::span<const std::uint8_t> data) {
    const std::size_t storedBytes = count * header.pixelBytes; // at most 2^32 x 4
    return header.runLength ? count / MaxPixelsPerPacket <= data.size() / (1 + header.pixelBytes)
                            : storedBytes <= data.size();
}

// Expands run-length packets into `stored` (pixels of `pixelBytes` each, in file order).
ReadError ExpandRuns(std::span<const std::uint8_t> data, std::size_t pixelBytes,
                     std::span<std::uint8_t> stored) {
    ByteCursor in(data);
    RunOutput out(stored);
    while (!out.Full()) {
        const std::uint8_t packet = in.U8();
        if (!in.Ok()) {
            return ReadError::Truncated;
        }
        const std::size_t count = (packet & 0x7fu) + 1u;
        if (!out.Fits(count * pixelBytes)) {
            return ReadError::CorruptData; // a packet that runs past the last pixel
        }
        const bool run = (packet & 0x80u) != 0;
        const auto pixels = in.Bytes(run ? pixelBytes : count * pixelBytes);
        if (!in.Ok()) {
            return ReadError::Truncated;
        }
        out.Repeat(pixels, run ? count : 1);
    }
    return ReadError::None;
}

// Whether the alpha bytes of `count` stored pixels are alpha although the descriptor announces
// no alpha bits. Many writers leave the bits at 0 and still store alpha in 32-bit colour and
// 16-bit grey, and Pillow and ImageMagick read it, so their transparency would be lost; but a
// file whose alpha bytes are all 0 would come out wholly transparent if read so, and there the
// byte is only padding: such files stay opaque.
bool AlphaBytesInUse(const TgaHeader& header, const std::uint8_t* stored, std::size_t count) {
    const bool alphaByte = (header.kind == TypeTrueColour && header.pixelBits == 32) ||
                           (header.kind == TypeGrey && header.pixelBits == 16);
    if (!alphaByte) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (stored[i * header.pixelBytes + header.pixelBytes - 1] != 0) {
            return true;
        }
    }
    return false;
}

// Where stored pixel (column, row) lands in the picture, as a pixel number.
std::size_t PixelNumber(const TgaHeader& header, std::size_t column, std::size_t row) {
    const auto width = static_cast<std::size_t>(header.width);
    const auto height = static_cast<std::size_t>(header.height);
    const std::size_t y = header.topRowFirst ? row : height - 1 - row;
    const std::size_t x = header.rightToLeft ? width - 1 - column : column;
    return y * width + x;
}

// The colour map's entries that an 8-bit index can reach, into the picture's palette and
// palette alpha.
void LoadColourMap(std::span<const std::uint8_t> file, const TgaHeader& header,
                   DecodedTexture& picture) {
    const std::uint8_t* entry = file.data() + header.mapStart;
    for (std::size_t i = 0; i < header.mapLength && header.firstEntry + i < 256; ++i) {
        std::uint8_t rgba[4];
        ToRgba(entry + i * header.entryBytes, header.entryBits, header.alpha, rgba);
        const std::size_t index = header.firstEntry + i;
        std::memcpy(picture.palette.data() + 3 * index, rgba, 3);
        picture.paletteAlpha[index] = rgba[3];
    }
}

// A colour-mapped picture from the colour map and the `stored` indices in file order. False when
// memory runs out.
bool FillIndexed(std::span<const std::uint8_t> file, const TgaHeader& header,
                 const std::uint8_t* stored, DecodedTexture& picture) {
    LoadColourMap(file, header, picture);
    picture.indexed = MakeIndexedImage(header.width, header.height);
    if (!picture.indexed) {
        return false;
    }
    std::uint8_t* pixels = picture.indexed->pixels.get();
    for (std::size_t row = 0; row < static_cast<std::size_t>(header.height); ++row) {
        for (std::size_t column = 0; column < static_cast<std::size_t>(header.width); ++column) {
            pixels[PixelNumber(header, column, row)] = *stored++;
        }
    }
    return true;
}

// A true-colour picture from the `stored` grey or colour pixels in file order. False when memory
// runs out.
bool FillTrueColour(const TgaHeader& header, const std::uint8_t* stored, DecodedTexture& picture) {
    picture.trueColour = MakeRgbaImage(header.width, header.height);
    if (!picture.trueColour) {
        return false;
    }
    std::uint8_t* pixels = picture.trueColour->pixels.data();
    for (std::size_t row = 0; row < static_cast<std::size_t>(header.height); ++row) {
        for (std::size_t column = 0; column < static_cast<std::size_t>(header.width); ++column) {
            std::uint8_t* out = pixels + 4 * PixelNumber(header, column, row);
            if (header.kind == TypeGrey) {
                out[0] = out[1] = out[2] = stored[0];
                out[3] = header.pixelBytes == 2 && header.alpha ? stored[1] : 255;
            } else {
                ToRgba(stored, header.pixelBits, header.alpha, out);
            }
            stored += header.pixelBytes;
        }
    }
    return true;
}

std::optional<DecodedTexture> Parse(std::span<const std::uint8_t> file, ReadError* error) {
    TgaHeader header;
    if (!ParseHeader(file, header, error)) {
        return std::nullopt;
    }
    const auto count = PixelCount(header.width, header.height);
    if (!count) {
        return NoPicture(error, ReadError::BadHeader);
    }
    const std::span<const std::uint8_t> data = file.subspan(header.dataStart);
    if (!DataCanHold(header, *count, data)) {
        return NoPicture(error, ReadError::Truncated);
    }

    // The stored pixels in file order: the file itself, or its runs expanded.
    std::vector<std::uint8_t> expanded;
    const std::uint8_t* stored = data.data();
    if (header.runLength) {
        expanded.resize(*count * header.pixelBytes);
        if (const ReadError reason = ExpandRuns(data, header.pixelBytes, expanded);
            reason != ReadError::None) {
            return NoPicture(error, reason);
        }
        stored = expanded.data();
    }

    if (!header.alpha) {
        header.alpha = AlphaBytesInUse(header, stored, *count);
    }

    DecodedTexture picture;
    const bool filled = header.kind == TypeColourMapped ? FillIndexed(file, header, stored, picture)
                                                        : FillTrueColour(header, stored, picture);
    if (!filled) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
    return picture;
}

} // namespace

std::optional<DecodedTexture> ParseTgaPicture(std::span<const std::uint8_t> file, ReadError* error,
                                              LevelsWanted /*levels*/) {
    return ParseGuarded([&] { return Parse(file, error); }, error);
}

} // namespace texelary
