#include "formats/pictures/PcxFormat.h"

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "formats/RunOutput.h"

#include <cstring>
#include <new>
#include <vector>

// Byte layout of a PCX file (all numbers little-endian):
//
// | Offset | Size | Field                  | How it is read                                    |
// |--------|------|------------------------|---------------------------------------------------|
// | 0      | 1    | manufacturer           | 0x0A                                              |
// | 1      | 1    | version                | 0, 2, 3, 4 or 5                                   |
// | 2      | 1    | encoding               | 1 run-length; 0 (stored as is) is also read       |
// | 3      | 1    | bits per pixel a plane | 1, 2, 4 or 8                                      |
// | 4      | 8    | xmin, ymin, xmax, ymax | width xmax - xmin + 1, height ymax - ymin + 1     |
// | 12     | 4    | resolution             | ignored                                           |
// | 16     | 48   | 16-colour palette      | red, green, blue: colours of 1 to 4-bit pictures  |
// |        |      |                        | (1 bit, 1 plane: black and white, see LoadPalette)|
// | 64     | 1    | reserved               | ignored                                           |
// | 65     | 1    | planes                 | 1 to 4                                            |
// | 66     | 2    | bytes per plane line   | at least the bits of one row of a plane           |
// | 68     | 60   | palette kind, screen size, filler: ignored                                 |
// | 128    | ...  | pixel data             | rows top row first; each row one line of bytes    |
// |        |      |                        | per plane, planes one after another               |
// | end-769| 1    | 0x0C                   | a 256-colour palette follows (8-bit, one plane);  |
// |        |      |                        | a file without it is refused                      |
// | end-768| 768  | 256-colour palette     | red, green, blue                                  |
//
// Run-length coding works on the bytes of the lines: a byte of the form 11nnnnnn is followed by
// one byte to be repeated nnnnnn times; any other byte stands for itself. Runs may run on from
// one line to the next (some writers do that), but not past the last line. Pixel values are
// spread over the planes: a pixel of 1-bit planes takes bit p of its index from plane p; 8-bit
// planes hold red, green, blue and alpha. Within a byte the leftmost pixel has the highest bits.

namespace texelary {

namespace PcxLayout {

constexpr std::size_t kManufacturer = 0;
constexpr std::size_t kVersion = 1;
constexpr std::size_t kEncoding = 2;
constexpr std::size_t kBitsPerPixel = 3;
constexpr std::size_t kWindow = 4;
constexpr std::size_t kHeaderPalette = 16;
constexpr std::size_t kPlanes = 65;
constexpr std::size_t kBytesPerLine = 66;
constexpr std::size_t kHeaderSize = 128;

constexpr std::size_t kHeaderPaletteEntries = 16;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kTrailingPaletteSize = 1 + 768;

static_assert(kHeaderPalette + 3 * kHeaderPaletteEntries + 1 == kPlanes);
static_assert(kWindow + 8 + 4 == kHeaderPalette);
// The cursor reads these one after another.
static_assert(kEncoding == kVersion + 1 && kBitsPerPixel == kEncoding + 1 &&
              kWindow == kBitsPerPixel + 1);
static_assert(kBytesPerLine == kPlanes + 1);

} // namespace PcxLayout

namespace {

constexpr std::uint8_t ManufacturerZsoft = 0x0A;
constexpr std::uint8_t RunMarker = 0xC0;

// A run is two bytes and gives at most 63.
constexpr std::uint64_t MaxBytesPerDataByte = 32;

struct PcxHeader {
    bool runLength = true;
    unsigned bits = 0;
    std::size_t planes = 0;
    std::size_t lineBytes = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// 8 bits in 3 or 4 planes: red, green, blue (and alpha). Every other kind that ParseHeader
// lets through is a palette picture.
bool IsTrueColour(const PcxHeader& header) {
    return header.bits == 8 && header.planes >= 3;
}

bool ParseHeader(std::span<const std::uint8_t> file, PcxHeader& header, ReadError* error) {
    using namespace PcxLayout;
    if (file.empty() || file[kManufacturer] != ManufacturerZsoft) {
        return SetReason(error, ReadError::BadSignature);
    }
    if (file.size() < kHeaderSize) {
        return SetReason(error, ReadError::Truncated);
    }
    ByteCursor cursor(file, kVersion);
    const std::uint8_t version = cursor.U8();
    const std::uint8_t encoding = cursor.U8();
    header.bits = cursor.U8();
    const std::uint16_t xMin = cursor.U16();
    const std::uint16_t yMin = cursor.U16();
    const std::uint16_t xMax = cursor.U16();
    const std::uint16_t yMax = cursor.U16();
    cursor = ByteCursor(file, kPlanes);
    header.planes = cursor.U8();
    header.lineBytes = cursor.U16();
    if (!cursor.Ok()) {
        return SetReason(error, ReadError::Truncated);
    }
    if (version == 1 || version > 5 || encoding > 1) {
        return SetReason(error, ReadError::BadSignature);
    }
    header.runLength = encoding == 1;
    if (xMax < xMin || yMax < yMin || header.planes == 0 || header.planes > 4 ||
        (header.bits != 1 && header.bits != 2 && header.bits != 4 && header.bits != 8)) {
        return SetReason(error, ReadError::BadHeader);
    }
    header.width = xMax - xMin + 1;
    header.height = yMax - yMin + 1;
    if (header.lineBytes * 8 < static_cast<std::size_t>(header.width) * header.bits) {
        return SetReason(error, ReadError::BadHeader);
    }
    const bool indexed =
        header.bits * header.planes <= 8 && (header.bits == 1 || header.planes == 1);
    const bool trueColour = IsTrueColour(header);
    if (!indexed && !trueColour) {
        return SetReason(error, ReadError::Unsupported);
    }
    return true;
}

// Takes the picture's colours from where its kind keeps them and gives the pixel data that is
// left: the data after the header, less the trailing palette of a 256-colour picture. None when
// a 256-colour picture lacks that palette: its marker wrong, or the palette cut short.
std::optional<std::span<const std::uint8_t>>
LoadPalette(std::span<const std::uint8_t> file, const PcxHeader& header, Palette& palette) {
    using namespace PcxLayout;
    std::span<const std::uint8_t> data = file.subspan(kHeaderSize);
    if (header.bits == 8 && header.planes == 1) {
        // The palette is found from the end of the file; the pixel data stops before it. A file
        // without it has lost its colours: guessing them (grey) would report a broken file as
        // converted.
        if (data.size() < kTrailingPaletteSize ||
            data[data.size() - kTrailingPaletteSize] != kPaletteMarker) {
            return std::nullopt;
        }
        std::memcpy(palette.data(), data.data() + data.size() - 768, 768);
        data = data.first(data.size() - kTrailingPaletteSize);
    } else if (header.bits == 1 && header.planes == 1) {
        // Black and white whatever the header palette holds, as other readers take these files:
        // writers fill that palette in too many ways (left 0, eight black entries, the two
        // colours of a picture of another program's) for its entries to be trusted.
        palette[3] = palette[4] = palette[5] = 255;
    } else if (!IsTrueColour(header)) {
        std::memcpy(palette.data(), file.data() + kHeaderPalette, 3 * kHeaderPaletteEntries);
    }
    return data;
}

// The bytes of one row: a line for each plane.
std::size_t RowBytes(const PcxHeader& header) {
    return header.planes * header.lineBytes; // at most 4 x 65535
}

// Whether `data` can hold `total` bytes of lines at all, checked before anything is allocated:
// as they are they take `total` bytes, as runs at least one byte for every MaxBytesPerDataByte.
bool DataCanHold(const PcxHeader& header, std::size_t total, std::span<const std::uint8_t> data) {
    return header.runLength ? total / MaxBytesPerDataByte <= data.size() : total <= data.size();
}

// Expands run-length coded lines into `lines` (its size is what the picture needs).
ReadError ExpandRuns(std::span<const std::uint8_t> data, std::span<std::uint8_t> lines) {
    ByteCursor in(data);
    RunOutput out(lines);
    while (!out.Full()) {
        const std::uint8_t code = in.U8();
        const bool run = (code & RunMarker) == RunMarker;
        const std::uint8_t value = run ? in.U8() : code;
        if (!in.Ok()) {
            return ReadError::Truncated;
        }
        if (!out.Repeat(value, run ? code & 0x3fu : 1)) {
            return ReadError::CorruptData;
        }
    }
    return ReadError::None;
}

// A true-colour picture from `lines`, the rows' bytes: plane p of a row gives channel p of its
// pixels, alpha 255 without a fourth plane. False when memory runs out.
bool FillTrueColour(const PcxHeader& header, const std::uint8_t* lines, DecodedTexture& picture) {
    picture.trueColour = MakeRgbaImage(header.width, header.height);
    if (!picture.trueColour) {
        return false;
    }
    std::uint8_t* out = picture.trueColour->pixels.data();
    const std::size_t rowBytes = RowBytes(header);
    for (std::size_t y = 0; y < static_cast<std::size_t>(header.height); ++y, lines += rowBytes) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(header.width); ++x, out += 4) {
            for (std::size_t p = 0; p < 4; ++p) {
                out[p] = p < header.planes ? lines[p * header.lineBytes + x] : 255;
            }
        }
    }
    return true;
}

// A palette picture from `lines`, the rows' bytes: plane p of a row gives bits p x bits and up
// of its pixels' indices. False when memory runs out.
bool FillIndexed(const PcxHeader& header, const std::uint8_t* lines, DecodedTexture& picture) {
    picture.indexed = MakeIndexedImage(header.width, header.height);
    if (!picture.indexed) {
        return false;
    }
    std::uint8_t* out = picture.indexed->pixels.get();
    const std::size_t rowBytes = RowBytes(header);
    const unsigned bits = header.bits;
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t y = 0; y < static_cast<std::size_t>(header.height); ++y, lines += rowBytes) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(header.width); ++x) {
            const std::size_t bit = x * bits;
            const auto shift = static_cast<unsigned>(8 - bits - bit % 8);
            unsigned index = 0;
            for (std::size_t p = 0; p < header.planes; ++p) {
                const unsigned sample =
                    (unsigned{lines[p * header.lineBytes + bit / 8]} >> shift) & mask;
                index |= sample << (p * bits);
            }
            *out++ = static_cast<std::uint8_t>(index);
        }
    }
    return true;
}

std::optional<DecodedTexture> Parse(std::span<const std::uint8_t> file, ReadError* error) {
    PcxHeader header;
    if (!ParseHeader(file, header, error)) {
        return std::nullopt;
    }
    const auto count = PixelCount(header.width, header.height);
    if (!count) {
        return NoPicture(error, ReadError::BadHeader);
    }

    DecodedTexture picture;
    const auto data = LoadPalette(file, header, picture.palette);
    if (!data) {
        return NoPicture(error, ReadError::NoTrailingPalette);
    }
    const std::size_t total = RowBytes(header) * static_cast<std::size_t>(header.height);
    if (!DataCanHold(header, total, *data)) {
        return NoPicture(error, ReadError::Truncated);
    }
    std::vector<std::uint8_t> expanded;
    const std::uint8_t* lines = data->data();
    if (header.runLength) {
        expanded.resize(total);
        if (const ReadError reason = ExpandRuns(*data, expanded); reason != ReadError::None) {
            return NoPicture(error, reason);
        }
        lines = expanded.data();
    }

    const bool filled = IsTrueColour(header) ? FillTrueColour(header, lines, picture)
                                             : FillIndexed(header, lines, picture);
    if (!filled) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
    return picture;
}

} // namespace

std::optional<DecodedTexture> ParsePcxPicture(std::span<const std::uint8_t> file, ReadError* error,
                                              LevelsWanted /*levels*/) {
    return ParseGuarded([&] { return Parse(file, error); }, error);
}

} // namespace texelary
