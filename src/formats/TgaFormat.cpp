#include "formats/TgaFormat.h"

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
// | 16     | 1    | pixel depth        | 8 (indices, grey); 15, 16, 24, 32 (true colour)       |
// | 17     | 1    | image descriptor   | bits 0-3 alpha bits, bit 4 columns right to left,     |
// |        |      |                    | bit 5 rows top row first, bits 6-7 interleaving (0)   |
// | 18     | ...  | image ID           | ID length bytes                                       |
// | ...    | ...  | colour map         | map length entries of ceil(entry size / 8) bytes      |
// | ...    | ...  | image data         | width x height pixels, bottom row first unless bit 5  |
//
// A pixel or map entry of 24 or 32 bits is blue, green, red (, alpha); one of 15 or 16 bits is a
// 16-bit number with blue in bits 0-4, green in 5-9, red in 10-14 and, for 16 bits, an alpha bit
// in bit 15. Alpha counts only when the descriptor announces alpha bits. Run-length data is a
// series of packets: a byte n, then, when n's top bit is set, one pixel repeated (n & 0x7f) + 1
// times, or else (n & 0x7f) + 1 pixels as they are; packets may run on from one row to the next.
// Whatever follows the pixels (TGA 2.0 extension area and footer) is ignored.

namespace texelary {

namespace TgaLayout {

constexpr std::size_t IdLength = 0;
constexpr std::size_t ColourMapType = 1;
constexpr std::size_t ImageType = 2;
constexpr std::size_t FirstEntry = 3;
constexpr std::size_t MapLength = 5;
constexpr std::size_t MapEntrySize = 7;
constexpr std::size_t Width = 12;
constexpr std::size_t Height = 14;
constexpr std::size_t PixelDepth = 16;
constexpr std::size_t Descriptor = 17;
constexpr std::size_t HeaderSize = 18;

static_assert(Descriptor + 1 == HeaderSize);
// The cursor reads the fields one after another, skipping the 4-byte origin before the width.
static_assert(IdLength == 0 && ColourMapType == IdLength + 1 && ImageType == ColourMapType + 1);
static_assert(FirstEntry == ImageType + 1 && MapLength == FirstEntry + 2 &&
              MapEntrySize == MapLength + 2);
static_assert(Width == MapEntrySize + 1 + 4 && Height == Width + 2 && PixelDepth == Height + 2 &&
              Descriptor == PixelDepth + 1);

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

bool ParseHeader(std::span<const std::uint8_t> file, TgaHeader& header, ReadError* error) {
    using namespace TgaLayout;
    ByteCursor cursor(file);
    const std::uint8_t idLength = cursor.U8();
    const std::uint8_t mapType = cursor.U8();
    const std::uint8_t imageType = cursor.U8();
    header.firstEntry = cursor.U16();
    header.mapLength = cursor.U16();
    header.entryBits = cursor.U8();
    cursor.Skip(4); // origin
    const std::uint16_t width = cursor.U16();
    const std::uint16_t height = cursor.U16();
    header.pixelBits = cursor.U8();
    const std::uint8_t descriptor = cursor.U8();
    if (!cursor.Ok()) {
        return SetReadError(error, ReadError::Truncated);
    }
    static_assert(HeaderSize == 18);

    const auto kind = static_cast<std::uint8_t>(imageType & ~RunLengthFlag);
    if (mapType > 1) {
        return SetReadError(error, ReadError::BadSignature);
    }
    if (imageType == TypeHuffman || imageType == TypeHuffmanQuadtree) {
        return SetReadError(error, ReadError::Unsupported);
    }
    if (kind < TypeColourMapped || kind > TypeGrey) {
        return SetReadError(error, imageType == 0 || imageType == RunLengthFlag
                                       ? ReadError::Unsupported // a header without a picture
                                       : ReadError::BadSignature);
    }
    header.kind = kind;
    header.runLength = (imageType & RunLengthFlag) != 0;
    header.alpha = (descriptor & AlphaBitsMask) != 0;
    header.rightToLeft = (descriptor & RightToLeft) != 0;
    header.topRowFirst = (descriptor & TopRowFirst) != 0;
    header.width = width;
    header.height = height;
    header.pixelBytes = (header.pixelBits + 7) / 8;
    header.entryBytes = (header.entryBits + 7) / 8;

    if (width == 0 || height == 0) {
        return SetReadError(error, ReadError::BadHeader);
    }
    if (mapType == 1 && header.mapLength != 0 && header.entryBits != 15 && header.entryBits != 16 &&
        header.entryBits != 24 && header.entryBits != 32) {
        return SetReadError(error, ReadError::BadHeader);
    }
    switch (kind) {
    case TypeColourMapped:
        if (mapType != 1 || header.mapLength == 0) {
            return SetReadError(error, ReadError::BadHeader);
        }
        if (header.pixelBits != 8) { // 16-bit indices do not fit a 256-colour picture
            return SetReadError(error, header.pixelBits == 16 ? ReadError::Unsupported
                                                              : ReadError::BadHeader);
        }
        break;
    case TypeTrueColour:
        if (header.pixelBits != 15 && header.pixelBits != 16 && header.pixelBits != 24 &&
            header.pixelBits != 32) {
            return SetReadError(error, ReadError::BadHeader);
        }
        break;
    default:                         // grey
        if (header.pixelBits != 8) { // 16-bit grey is grey and alpha, rarely seen
            return SetReadError(error, header.pixelBits == 16 ? ReadError::Unsupported
                                                              : ReadError::BadHeader);
        }
        break;
    }
    if ((descriptor & InterleaveMask) != 0) {
        return SetReadError(error, ReadError::Unsupported);
    }

    header.mapStart = HeaderSize + idLength;
    const std::size_t mapBytes = mapType == 1 ? header.mapLength * header.entryBytes : 0;
    header.dataStart = header.mapStart + mapBytes;
    if (header.dataStart > file.size()) {
        return SetReadError(error, ReadError::Truncated);
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

std::optional<DecodedPicture> Parse(std::span<const std::uint8_t> file, ReadError* error) {
    TgaHeader header;
    if (!ParseHeader(file, header, error)) {
        return std::nullopt;
    }
    const auto count = PixelCount(header.width, header.height);
    if (!count) {
        return NoPicture(error, ReadError::BadHeader);
    }
    const std::span<const std::uint8_t> data = file.subspan(header.dataStart);
    const std::size_t storedBytes = *count * header.pixelBytes; // at most 2^32 x 4
    if (header.runLength ? *count / MaxPixelsPerPacket > data.size() / (1 + header.pixelBytes)
                         : storedBytes > data.size()) {
        return NoPicture(error, ReadError::Truncated);
    }

    // The stored pixels in file order: the file itself, or its runs expanded.
    std::vector<std::uint8_t> expanded;
    const std::uint8_t* stored = data.data();
    if (header.runLength) {
        expanded.resize(storedBytes);
        if (const ReadError reason = ExpandRuns(data, header.pixelBytes, expanded);
            reason != ReadError::None) {
            return NoPicture(error, reason);
        }
        stored = expanded.data();
    }

    DecodedPicture picture;
    const auto width = static_cast<std::size_t>(header.width);
    const auto height = static_cast<std::size_t>(header.height);
    // Where stored pixel (column, row) lands in the picture, as a pixel number.
    const auto target = [&](std::size_t column, std::size_t row) {
        const std::size_t y = header.topRowFirst ? row : height - 1 - row;
        const std::size_t x = header.rightToLeft ? width - 1 - column : column;
        return y * width + x;
    };

    if (header.kind == TypeColourMapped) {
        const std::uint8_t* entry = file.data() + header.mapStart;
        for (std::size_t i = 0; i < header.mapLength && header.firstEntry + i < 256; ++i) {
            std::uint8_t rgba[4];
            ToRgba(entry + i * header.entryBytes, header.entryBits, header.alpha, rgba);
            const std::size_t index = header.firstEntry + i;
            std::memcpy(picture.palette.data() + 3 * index, rgba, 3);
            picture.paletteAlpha[index] = rgba[3];
        }
        picture.indexed = MakeIndexedImage(header.width, header.height);
        if (!picture.indexed) {
            return NoPicture(error, ReadError::OutOfMemory);
        }
        std::uint8_t* pixels = picture.indexed->pixels.get();
        for (std::size_t row = 0; row < height; ++row) {
            for (std::size_t column = 0; column < width; ++column) {
                pixels[target(column, row)] = *stored++;
            }
        }
    } else {
        picture.trueColour = MakeRgbaImage(header.width, header.height);
        if (!picture.trueColour) {
            return NoPicture(error, ReadError::OutOfMemory);
        }
        std::uint8_t* pixels = picture.trueColour->pixels.data();
        for (std::size_t row = 0; row < height; ++row) {
            for (std::size_t column = 0; column < width; ++column) {
                std::uint8_t* out = pixels + 4 * target(column, row);
                if (header.kind == TypeGrey) {
                    out[0] = out[1] = out[2] = *stored;
                    out[3] = 255;
                } else {
                    ToRgba(stored, header.pixelBits, header.alpha, out);
                }
                stored += header.pixelBytes;
            }
        }
    }
    return picture;
}

} // namespace

std::optional<DecodedPicture> ParseTgaPicture(std::span<const std::uint8_t> file,
                                              ReadError* error) {
    return ParseGuarded(Parse, file, error);
}

} // namespace texelary
