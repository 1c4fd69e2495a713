#include "formats/pictures/BmpFormat.h"

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "base/NativePath.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

// Byte layout of a Windows bitmap file (all numbers little-endian):
//
// | Offset | Size | Field                  | How it is read                                     |
// |--------|------|------------------------|----------------------------------------------------|
// | 0      | 2    | signature              | "BM"                                               |
// | 2      | 4    | file size              | ignored: many writers get it wrong                 |
// | 6      | 4    | reserved               | ignored (OS/2 puts a hotspot here)                 |
// | 10     | 4    | pixel data offset      | 0 or inside the colour table: see PixelStart       |
// | 14     | 4    | info header size       | 12, 16, 40, 52, 56, 64, 108 or 124                 |
//
// OS/2 1.x core header (size 12):
// | 18     | 2    | width                  | unsigned, > 0                                      |
// | 20     | 2    | height                 | unsigned, > 0; rows stored bottom row first        |
// | 22     | 2    | planes                 | 1                                                  |
// | 24     | 2    | bits per pixel         |                                                    |
//
// Every other info header (sizes 16 to 124) starts the same way:
// | 18     | 4    | width                  | signed, > 0                                        |
// | 22     | 4    | height                 | signed, not 0; negative: stored top row first      |
// | 26     | 2    | planes                 | 1                                                  |
// | 28     | 2    | bits per pixel         |                                                    |
// | 30     | 4    | compression            | headers of 20 bytes or more; 0 none, 1 RLE8, ...   |
// | 34     | 12   | image size, resolution | ignored                                            |
// | 46     | 4    | colours used           | headers of 36 bytes or more; 0 means all           |
// | 50..   |      | colours important, colour masks, colour space, profile: ignored             |
//
// The colour table follows the info header (at 14 + its size; after the three or four colour
// masks when a 40-byte header announces bit fields). Its entries are blue, green, red (3 bytes)
// after a 12-byte header, and blue, green, red, reserved (4 bytes) after every other. The pixel
// data starts at the pixel data offset; each stored row is rounded up to a multiple of 4 bytes.

namespace texelary {

namespace BmpLayout {

constexpr std::size_t kSignature = 0;
constexpr std::size_t kPixelOffset = 10;
constexpr std::size_t kInfoSize = 14;
constexpr std::size_t kFileHeaderSize = 14;

constexpr std::size_t kCoreWidth = 18;
constexpr std::size_t kCoreHeight = 20;
constexpr std::size_t kCorePlanes = 22;
constexpr std::size_t kCoreBitCount = 24;

constexpr std::size_t kWidth = 18;
constexpr std::size_t kHeight = 22;
constexpr std::size_t kPlanes = 26;
constexpr std::size_t kBitCount = 28;
constexpr std::size_t kCompression = 30;
constexpr std::size_t kColorsUsed = 46;

constexpr std::size_t kCoreHeaderSize = 12;     // OS/2 1.x
constexpr std::size_t kShortOs2HeaderSize = 16; // OS/2 2.x cut after the bit count
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kOs2HeaderSize = 64; // OS/2 2.x in full
constexpr std::size_t kV5HeaderSize = 124; // the longest

// Colour masks that follow a 40-byte header with bit-field compression (red, green, blue and,
// for the alpha kind, alpha; 4 bytes each).
constexpr std::size_t kBitFieldMasksSize = 12;
constexpr std::size_t kAlphaBitFieldMasksSize = 16;

constexpr std::size_t kCoreEntrySize = 3;
constexpr std::size_t kEntrySize = 4;
constexpr std::size_t kMaxEntries = 256;

// Enough of a file for its headers and a whole colour table.
constexpr std::size_t kPalettePrefix = kFileHeaderSize + kV5HeaderSize + kMaxEntries * kEntrySize;

static_assert(kPixelOffset + 4 == kFileHeaderSize && kInfoSize == kFileHeaderSize);
static_assert(kCoreBitCount + 2 == kFileHeaderSize + kCoreHeaderSize);
static_assert(kBitCount + 2 == kFileHeaderSize + kShortOs2HeaderSize);
static_assert(kColorsUsed + 8 == kFileHeaderSize + kInfoHeaderSize);
static_assert(kFileHeaderSize + kInfoHeaderSize + kMaxEntries * kEntrySize == 1078);
static_assert(kPalettePrefix == 1162);

} // namespace BmpLayout

namespace {

// Compression field values.
enum : std::uint32_t {
    CompressionNone = 0,
    CompressionRle8 = 1,
    CompressionRle4 = 2,
    CompressionBitFields = 3,
    CompressionAlphaBitFields = 6,
};

constexpr std::uint32_t MaxSide = 65535;

// Run-length data can describe a large picture in a few bytes (plain runs give up to 127.5
// pixels a byte; deltas and an early end of bitmap more), but a tiny hostile file must not cost a
// large allocation: a compressed picture may have at most this many pixels per byte of its data,
// or a small picture's worth in any case.
constexpr std::uint64_t MaxPixelsPerCompressedByte = 256;
constexpr std::uint64_t CompressedPixelsAllowed = std::uint64_t{1} << 24;

// What the headers say, checked and worked out into byte positions.
struct BmpHeader {
    std::int32_t width = 0;
    std::int32_t height = 0; // always positive; see topDown
    bool topDown = false;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = CompressionNone;
    std::size_t tableStart = 0;
    std::size_t entrySize = 0;
    std::size_t entryCount = 0; // entries before the pixel data, at most 256
    std::size_t pixelStart = 0;
    std::uint64_t rowBytes = 0;   // a stored row, padding included (uncompressed data)
    std::uint64_t pixelBytes = 0; // what the uncompressed rows need; the last row's padding
                                  // may be missing. 0 for compressed data
};

// Fields that only the positions of the table and the pixels need.
struct LayoutFields {
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t colorsUsed = 0;
};

bool Compressed(const BmpHeader& header) {
    return header.compression == CompressionRle8 || header.compression == CompressionRle4;
}

bool KnownHeaderSize(std::uint32_t size) {
    switch (size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

bool DefinedBitCount(std::uint16_t bitCount) {
    switch (bitCount) {
    case 0: // the pixels are a JPEG or PNG stream
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
    case 64:
        return true;
    default:
        return false;
    }
}

// The bit count and compression pairs this reader lays out. Only 8-bit ones are converted;
// the others are read far enough to know their pixels are there.
bool Readable(std::uint16_t bitCount, std::uint32_t compression, std::size_t headerSize) {
    switch (compression) {
    case CompressionNone:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32;
    case CompressionRle8:
        return bitCount == 8;
    case CompressionRle4:
        return bitCount == 4;
    case CompressionBitFields: // in a 64-byte OS/2 header, 3 means Huffman coding instead
        return (bitCount == 16 || bitCount == 32) && headerSize != BmpLayout::kOs2HeaderSize;
    case CompressionAlphaBitFields:
        return bitCount == 16 || bitCount == 32;
    default:
        return false;
    }
}

// Reads and checks the fields of the file header and the info header.
bool ReadFields(std::span<const std::uint8_t> bytes, BmpHeader& header, LayoutFields& fields,
                ReadError* error) {
    using namespace BmpLayout;
    if (bytes.size() < 2 || bytes[kSignature] != 'B' || bytes[kSignature + 1] != 'M') {
        return SetReason(error, ReadError::BadSignature);
    }
    ByteCursor cursor(bytes, kPixelOffset);
    fields.pixelOffset = cursor.U32();
    fields.headerSize = cursor.U32();
    if (!cursor.Ok()) {
        return SetReason(error, ReadError::Truncated);
    }
    if (!KnownHeaderSize(fields.headerSize)) {
        return SetReason(error, ReadError::BadHeader);
    }
    if (!FitsIn(bytes.size(), kFileHeaderSize, fields.headerSize)) {
        return SetReason(error, ReadError::Truncated);
    }

    const std::uint8_t* p = bytes.data();
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    header.compression = CompressionNone;
    if (fields.headerSize == kCoreHeaderSize) {
        width = LoadLE16(p + kCoreWidth);
        height = LoadLE16(p + kCoreHeight);
        planes = LoadLE16(p + kCorePlanes);
        header.bitCount = LoadLE16(p + kCoreBitCount);
    } else {
        width = LoadLE32Signed(p + kWidth);
        height = LoadLE32Signed(p + kHeight);
        planes = LoadLE16(p + kPlanes);
        header.bitCount = LoadLE16(p + kBitCount);
        if (kFileHeaderSize + fields.headerSize >= kCompression + 4) {
            header.compression = LoadLE32(p + kCompression);
        }
        if (kFileHeaderSize + fields.headerSize >= kColorsUsed + 4) {
            fields.colorsUsed = LoadLE32(p + kColorsUsed);
        }
    }

    header.topDown = height < 0;
    height = height < 0 ? -height : height; // 64 bits: the lowest 32-bit value turns positive
    if (planes != 1 || width <= 0 || height == 0 || width > MaxSide || height > MaxSide ||
        !DefinedBitCount(header.bitCount)) {
        return SetReason(error, ReadError::BadHeader);
    }
    // Run-length data is always stored bottom row first.
    if (header.topDown && Compressed(header)) {
        return SetReason(error, ReadError::BadHeader);
    }
    if (!Readable(header.bitCount, header.compression, fields.headerSize)) {
        return SetReason(error, ReadError::Unsupported);
    }
    header.width = static_cast<std::int32_t>(width);
    header.height = static_cast<std::int32_t>(height);
    return true;
}

// Where the colour table starts, how long its entries are, and how many the header announces.
std::size_t LocateColourTable(BmpHeader& header, const LayoutFields& fields) {
    using namespace BmpLayout;
    header.entrySize = fields.headerSize == kCoreHeaderSize ? kCoreEntrySize : kEntrySize;
    header.tableStart = kFileHeaderSize + fields.headerSize;
    if (fields.headerSize == kInfoHeaderSize && header.compression == CompressionBitFields) {
        header.tableStart += kBitFieldMasksSize;
    } else if (fields.headerSize == kInfoHeaderSize &&
               header.compression == CompressionAlphaBitFields) {
        header.tableStart += kAlphaBitFieldMasksSize;
    }
    std::size_t entries = header.bitCount <= 8 ? std::size_t{1} << header.bitCount : 0;
    if (fields.colorsUsed != 0) {
        entries = std::min<std::size_t>(fields.colorsUsed, kMaxEntries);
    }
    return entries;
}

// Where the pixels start, what uncompressed rows need, and so how many of the announced table
// entries lie before the pixels. `fileSize` is the length of the whole file.
void LocatePixels(BmpHeader& header, const LayoutFields& fields, std::size_t entries,
                  std::uint64_t fileSize) {
    const std::size_t tableEnd = header.tableStart + entries * header.entrySize;
    if (!Compressed(header)) {
        const std::uint64_t rowBits = static_cast<std::uint64_t>(header.width) * header.bitCount;
        header.rowBytes = (rowBits + 31) / 32 * 4;
        header.pixelBytes =
            header.rowBytes * static_cast<std::uint64_t>(header.height - 1) + (rowBits + 7) / 8;
    }

    // Some writers leave the offset at 0, and some write fewer entries than the header
    // announces and point past the ones they wrote. An offset before the table can only be
    // wrong; one inside it is believed unless the rows fit after the whole table. Compressed
    // data has no known length, so there an offset inside the table is always believed.
    header.pixelStart = fields.pixelOffset;
    if (fields.pixelOffset < header.tableStart) {
        header.pixelStart = tableEnd;
    } else if (fields.pixelOffset < tableEnd && !Compressed(header) && tableEnd <= fileSize &&
               header.pixelBytes <= fileSize - tableEnd) {
        header.pixelStart = tableEnd;
    }
    header.entryCount = header.pixelStart < tableEnd
                            ? (header.pixelStart - header.tableStart) / header.entrySize
                            : entries;
}

// Reads and checks the headers of `bytes`, the whole file or its first bytes; `fileSize` is the
// length of the whole file. Fields first, then the positions they imply; nothing is allocated.
bool ParseHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileSize, BmpHeader& header,
                 ReadError* error) {
    LayoutFields fields;
    if (!ReadFields(bytes, header, fields, error)) {
        return false;
    }
    const std::size_t entries = LocateColourTable(header, fields);
    LocatePixels(header, fields, entries, fileSize);
    return true;
}

// Decodes run-length coded 8-bit data into `pixels` (width x height, row 0 the top row). The
// stored rows run bottom row first. Runs that pass the row end are cut there; a delta that
// leaves the picture, the end-of-bitmap code or the end of the data ends decoding. Pixels that
// no code reaches keep their value.
void DecodeRle8(std::span<const std::uint8_t> data, std::uint8_t* pixels, std::size_t width,
                std::size_t height) {
    const std::size_t size = data.size();
    std::size_t at = 0;
    std::size_t x = 0; // always <= width
    std::size_t y = 0; // stored row, 0 the bottom one
    while (y < height && size - at >= 2) {
        const std::uint8_t count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        std::uint8_t* row = pixels + (height - 1 - y) * width;
        if (count != 0) {
            const std::size_t n = std::min<std::size_t>(count, width - x);
            std::memset(row + x, value, n);
            x += n;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta: move right and up
            if (size - at < 2) {
                return;
            }
            const std::size_t dx = data[at];
            const std::size_t dy = data[at + 1];
            at += 2;
            if (dx > width - x || dy >= height - y) {
                return;
            }
            x += dx;
            y += dy;
        } else { // `value` literal bytes, padded to an even count
            const std::size_t available = std::min<std::size_t>(value, size - at);
            const std::size_t n = std::min(available, width - x);
            std::memcpy(row + x, data.data() + at, n);
            x += n;
            if (available < value) {
                return;
            }
            at = std::min(size, at + value + (value & 1u));
        }
    }
}

// The colours of an 8-bit bitmap whose headers have been parsed. Entries the table lacks are
// black.
bool TakePalette(Palette& palette, std::span<const std::uint8_t> bytes, const BmpHeader& header,
                 ReadError* error) {
    if (header.bitCount != 8) {
        return SetReason(error, ReadError::UnsupportedDepth);
    }
    if (!FitsIn(bytes.size(), header.tableStart, header.entryCount * header.entrySize)) {
        return SetReason(error, ReadError::Truncated);
    }
    Palette colours{};
    const std::uint8_t* entry = bytes.data() + header.tableStart;
    for (std::size_t i = 0; i < header.entryCount; ++i, entry += header.entrySize) {
        colours[i * 3 + 0] = entry[2];
        colours[i * 3 + 1] = entry[1];
        colours[i * 3 + 2] = entry[0];
    }
    palette = colours;
    return SetReason(error, ReadError::None);
}

std::unique_ptr<IndexedImage> ParseImage(std::span<const std::uint8_t> file, ReadError* error) {
    BmpHeader header;
    if (!ParseHeader(file, file.size(), header, error)) {
        return nullptr;
    }
    if (header.pixelStart > file.size()) {
        SetReason(error, ReadError::Truncated);
        return nullptr;
    }
    const std::span<const std::uint8_t> data = file.subspan(header.pixelStart);
    if (header.pixelBytes > data.size()) {
        SetReason(error, ReadError::Truncated);
        return nullptr;
    }
    const auto count = PixelCount(header.width, header.height);
    if (!count) {
        SetReason(error, ReadError::BadHeader);
        return nullptr;
    }
    if (Compressed(header) && *count > CompressedPixelsAllowed &&
        *count / MaxPixelsPerCompressedByte > data.size()) {
        SetReason(error, ReadError::Truncated);
        return nullptr;
    }

    std::unique_ptr<IndexedImage> image;
    if (header.bitCount == 8 && header.compression == CompressionNone) {
        image = std::make_unique<IndexedImage>();
        const PixelView stored{header.width, header.height,
                               static_cast<std::size_t>(header.rowBytes), data.data()};
        if (!CopyRows(*image, stored, header.topDown ? RowOrder::TopDown : RowOrder::BottomUp)) {
            SetReason(error, ReadError::OutOfMemory);
            return nullptr;
        }
    } else {
        image = MakeIndexedImage(header.width, header.height);
        if (!image) {
            SetReason(error, ReadError::OutOfMemory);
            return nullptr;
        }
        std::memset(image->pixels.get(), 0, *count);
        // Other bit counts give a blank picture of the right size: it is never converted,
        // because the palette reader refuses such a bitmap.
        if (header.bitCount == 8) {
            DecodeRle8(data, image->pixels.get(), static_cast<std::size_t>(header.width),
                       static_cast<std::size_t>(header.height));
        }
    }
    SetReason(error, ReadError::None);
    return image;
}

bool ParsePalette(Palette& palette, std::span<const std::uint8_t> bytes, std::uint64_t fileSize,
                  ReadError* error) {
    BmpHeader header;
    return ParseHeader(bytes, fileSize, header, error) &&
           TakePalette(palette, bytes, header, error);
}

} // namespace

std::unique_ptr<IndexedImage> ReadBmpImage(std::span<const std::uint8_t> file, ReadError* error) {
    try {
        return ParseImage(file, error);
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return nullptr;
    }
}

bool ReadBmpPalette(Palette& palette, std::span<const std::uint8_t> file, ReadError* error) {
    return ParsePalette(palette, file, file.size(), error);
}

std::optional<DecodedTexture> DecodeBmp(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted /*levels*/) {
    auto image = ReadBmpImage(file, error);
    if (!image) {
        return std::nullopt;
    }
    DecodedTexture bitmap;
    bitmap.indexed = std::move(image);
    bitmap.paletteRead = ReadBmpPalette(bitmap.palette, file, error);
    return bitmap;
}

} // namespace texelary
