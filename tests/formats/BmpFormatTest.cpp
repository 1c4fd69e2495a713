#include "formats/pictures/BmpFormat.h"

#include "FormatFiles.h"
#include "TestFiles.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::size_t at, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// Builds a bitmap file byte by byte: file header, an info header of any size, a colour table of
// 3- or 4-byte entries, then the pixel bytes exactly as given (already coded and padded).
struct BmpBuilder {
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::array<std::uint8_t, 4>> table; // blue, green, red, reserved
    std::size_t gap = 0;                            // bytes between table and pixels
    std::optional<std::uint32_t> pixelOffset;       // default: where the pixels are put
    Bytes pixels;

    std::size_t EntrySize() const { return headerSize == 12 ? 3 : 4; }

    Bytes Build() const {
        const std::size_t tableStart = 14 + headerSize;
        const std::size_t pixelStart = tableStart + table.size() * EntrySize() + gap;
        Bytes out(pixelStart, 0);
        out[0] = 'B';
        out[1] = 'M';
        Put(out, 2, static_cast<std::uint32_t>(pixelStart + pixels.size()), 4);
        Put(out, 10, pixelOffset.value_or(static_cast<std::uint32_t>(pixelStart)), 4);
        Put(out, 14, headerSize, 4);
        if (headerSize == 12) {
            Put(out, 18, static_cast<std::uint32_t>(width), 2);
            Put(out, 20, static_cast<std::uint32_t>(height), 2);
            Put(out, 22, planes, 2);
            Put(out, 24, bitCount, 2);
        } else {
            Put(out, 18, static_cast<std::uint32_t>(width), 4);
            Put(out, 22, static_cast<std::uint32_t>(height), 4);
            Put(out, 26, planes, 2);
            Put(out, 28, bitCount, 2);
            if (headerSize >= 20) {
                Put(out, 30, compression, 4);
            }
            if (headerSize >= 36) {
                Put(out, 46, colorsUsed, 4);
            }
        }
        for (std::size_t i = 0; i < table.size(); ++i) {
            for (std::size_t b = 0; b < EntrySize(); ++b) {
                out[tableStart + i * EntrySize() + b] = table[i][b];
            }
        }
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

using PixelFn = std::function<std::uint8_t(std::int32_t x, std::int32_t y)>;

// The stored rows of an 8-bit picture (y = 0 its top row): padded to 4 bytes with `filler`,
// bottom row first unless topDown.
Bytes StoredRows(std::int32_t width, std::int32_t height, const PixelFn& pixel,
                 bool topDown = false, std::uint8_t filler = 0) {
    Bytes out;
    for (std::int32_t i = 0; i < height; ++i) {
        const std::int32_t y = topDown ? i : height - 1 - i;
        for (std::int32_t x = 0; x < width; ++x) {
            out.push_back(pixel(x, y));
        }
        for (std::int32_t x = width; x % 4 != 0; ++x) {
            out.push_back(filler);
        }
    }
    return out;
}

// Table entry i of the test tables: blue i, green 255 - i, red i / 2 + 1.
std::vector<std::array<std::uint8_t, 4>> TestTable(std::size_t count) {
    std::vector<std::array<std::uint8_t, 4>> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i / 2 + 1), 0});
    }
    return table;
}

std::array<std::uint8_t, 3> Colour(const Palette& palette, std::size_t index) {
    return {palette[index * 3], palette[index * 3 + 1], palette[index * 3 + 2]};
}

std::array<std::uint8_t, 3> TestColour(std::size_t i) {
    return {static_cast<std::uint8_t>(i / 2 + 1), static_cast<std::uint8_t>(255 - i),
            static_cast<std::uint8_t>(i)};
}

std::uint8_t PixelAt(const IndexedImage& image, std::int32_t x, std::int32_t y) {
    return image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                        static_cast<std::size_t>(x)];
}

// Every pixel of `image` against `expected`, reporting the first few mismatches only.
void ExpectPicture(const IndexedImage& image, std::int32_t width, std::int32_t height,
                   const PixelFn& expected) {
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_TRUE(image.pixels);
    int mismatches = 0;
    for (std::int32_t y = 0; y < height && mismatches < 5; ++y) {
        for (std::int32_t x = 0; x < width && mismatches < 5; ++x) {
            if (PixelAt(image, x, y) != expected(x, y)) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int{PixelAt(image, x, y)}
                              << ", expected " << int{expected(x, y)};
                ++mismatches;
            }
        }
    }
}

std::uint8_t Diagonal(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(x + 7 * y);
}

// A small 8-bit bitmap with a 256-entry test table and the Diagonal picture.
BmpBuilder Plain8(std::int32_t width, std::int32_t height) {
    BmpBuilder bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.table = TestTable(256);
    bmp.pixels = StoredRows(width, height, Diagonal);
    return bmp;
}

std::uint32_t LoadLE(const Bytes& file, std::size_t at) {
    return static_cast<std::uint32_t>(file[at]) | static_cast<std::uint32_t>(file[at + 1]) << 8 |
           static_cast<std::uint32_t>(file[at + 2]) << 16 |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
}

std::unique_ptr<IndexedImage> Parse(const Bytes& file, ReadError* error = nullptr) {
    return ReadBmpImage(std::span<const std::uint8_t>(file), error);
}

ReadError ImageError(const Bytes& file) {
    ReadError error = ReadError::None;
    EXPECT_EQ(Parse(file, &error), nullptr);
    return error;
}

std::optional<Palette> ParsePalette(const Bytes& file, ReadError* error = nullptr) {
    Palette palette{};
    if (!ReadBmpPalette(palette, std::span<const std::uint8_t>(file), error)) {
        return std::nullopt;
    }
    return palette;
}

// ---------------------------------------------------------------------------------------------
// Reading files from disk

TEST(BmpFormat, RowsComeOutTopRowFirst) {
    const test::ScratchDir dir;
    const std::string path = dir.File("a.bmp");
    test::WriteAll(path, Plain8(64, 32).Build());
    const auto image = test::ReadBmpImageFile(path);
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 64, 32, Diagonal);
    // The file stores the top row last.
    const Bytes file = test::ReadAll(path);
    const std::size_t lastStored = file.size() - 64;
    EXPECT_EQ(image->pixels[0], file[lastStored]);
    EXPECT_EQ(image->pixels[63], file[lastStored + 63]);
    EXPECT_EQ(image->pixels[31 * 64], file[14 + 40 + 1024]);
}

TEST(BmpFormat, PaddingBytesAreLeftBehind) {
    BmpBuilder bmp = Plain8(30, 5);
    bmp.pixels = StoredRows(30, 5, Diagonal, false, 0xEE);
    ASSERT_EQ(bmp.pixels.size(), 32u * 5u);
    const auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 30, 5, Diagonal);
    for (std::size_t i = 0; i < 30u * 5u; ++i) {
        EXPECT_NE(image->pixels[i], 0xEE) << i; // Diagonal never reaches 0xEE here
    }
}

TEST(BmpFormat, OnePixelHighPictureIsItsOnlyRow) {
    const auto image = Parse(Plain8(9, 1).Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 9, 1, Diagonal);
}

TEST(BmpFormat, TableEntriesBecomeRedGreenBlue) {
    const test::ScratchDir dir;
    BmpBuilder bmp = Plain8(4, 2);
    bmp.table[7] = {0x10, 0x20, 0x30, 0xFF};
    test::WriteAll(dir.File("a.bmp"), bmp.Build());
    Palette palette{};
    ASSERT_TRUE(test::ReadBmpPaletteFile(palette, dir.File("a.bmp")));
    EXPECT_EQ(Colour(palette, 7), (std::array<std::uint8_t, 3>{0x30, 0x20, 0x10}));
    for (std::size_t i = 0; i < 256; ++i) {
        if (i != 7) {
            EXPECT_EQ(Colour(palette, i), TestColour(i)) << i;
        }
    }
}

TEST(BmpFormat, TwentyFourBitBitmapGivesPictureButNoPalette) {
    const test::ScratchDir dir;
    BmpBuilder bmp;
    bmp.width = 5;
    bmp.height = 3;
    bmp.bitCount = 24;
    bmp.pixels.assign(16 * 3, 0x5A); // rows of 15 bytes padded to 16
    test::WriteAll(dir.File("rgb.bmp"), bmp.Build());
    const auto image = test::ReadBmpImageFile(dir.File("rgb.bmp"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(image->height, 3);
    EXPECT_TRUE(image->pixels);
    Palette palette{};
    palette[0] = 9;
    EXPECT_FALSE(test::ReadBmpPaletteFile(palette, dir.File("rgb.bmp")));
    EXPECT_EQ(palette[0], 9);
}

// ---------------------------------------------------------------------------------------------
// Headers

TEST(BmpFormat, EveryKnownInfoHeaderSizeGivesTheSamePictureAndColours) {
    for (const std::uint32_t size : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        SCOPED_TRACE(size);
        BmpBuilder bmp = Plain8(13, 6);
        bmp.headerSize = size;
        const Bytes file = bmp.Build();
        const auto image = Parse(file);
        ASSERT_NE(image, nullptr);
        ExpectPicture(*image, 13, 6, Diagonal);
        const auto palette = ParsePalette(file);
        ASSERT_TRUE(palette);
        for (std::size_t i = 0; i < 256; i += 51) {
            EXPECT_EQ(Colour(*palette, i), TestColour(i)) << i;
        }
    }
}

TEST(BmpFormat, HeaderSizesOfNoKnownKindAreRefused) {
    for (const std::uint32_t size : {0u, 11u, 20u, 36u, 41u, 66u, 100u, 125u, 4000u}) {
        SCOPED_TRACE(size);
        BmpBuilder bmp = Plain8(4, 4);
        bmp.headerSize = size;
        const Bytes file = bmp.Build();
        EXPECT_EQ(ImageError(file), ReadError::BadHeader);
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParsePalette(file, &error));
        EXPECT_EQ(error, ReadError::BadHeader);
    }
}

struct CorruptCase {
    const char* name;
    std::function<void(BmpBuilder&)> change;
    ReadError error;
};

void PrintTo(const CorruptCase& c, std::ostream* out) {
    *out << c.name;
}

class BmpCorruptHeaders : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(BmpCorruptHeaders, AreRefusedByBothReaders) {
    BmpBuilder bmp = Plain8(8, 4);
    GetParam().change(bmp);
    const Bytes file = bmp.Build();
    EXPECT_EQ(ImageError(file), GetParam().error);
    Palette palette{};
    palette[3] = 42;
    ReadError error = ReadError::None;
    EXPECT_FALSE(ReadBmpPalette(palette, std::span<const std::uint8_t>(file), &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(palette[3], 42);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpCorruptHeaders,
    ::testing::Values(
        CorruptCase{"PlanesZero", [](BmpBuilder& b) { b.planes = 0; }, ReadError::BadHeader},
        CorruptCase{"PlanesTwo", [](BmpBuilder& b) { b.planes = 2; }, ReadError::BadHeader},
        CorruptCase{"WidthZero", [](BmpBuilder& b) { b.width = 0; }, ReadError::BadHeader},
        CorruptCase{"WidthNegative", [](BmpBuilder& b) { b.width = -8; }, ReadError::BadHeader},
        CorruptCase{"HeightZero", [](BmpBuilder& b) { b.height = 0; }, ReadError::BadHeader},
        CorruptCase{"WidthTooLarge", [](BmpBuilder& b) { b.width = 65536; }, ReadError::BadHeader},
        CorruptCase{"HeightTooLarge", [](BmpBuilder& b) { b.height = 65536; },
                    ReadError::BadHeader},
        CorruptCase{"TopDownTooLarge", [](BmpBuilder& b) { b.height = -65536; },
                    ReadError::BadHeader},
        CorruptCase{"LowestHeight", [](BmpBuilder& b) { b.height = INT32_MIN; },
                    ReadError::BadHeader},
        CorruptCase{"BitCountNonsense", [](BmpBuilder& b) { b.bitCount = 30000; },
                    ReadError::BadHeader},
        CorruptCase{"CoreWidthZero",
                    [](BmpBuilder& b) {
                        b.headerSize = 12;
                        b.width = 0;
                    },
                    ReadError::BadHeader},
        CorruptCase{"Rle4At8Bits", [](BmpBuilder& b) { b.compression = 2; },
                    ReadError::Unsupported},
        CorruptCase{"BitFieldsAt8Bits", [](BmpBuilder& b) { b.compression = 3; },
                    ReadError::Unsupported},
        CorruptCase{"JpegAt8Bits", [](BmpBuilder& b) { b.compression = 4; },
                    ReadError::Unsupported},
        CorruptCase{"TwoBits", [](BmpBuilder& b) { b.bitCount = 2; }, ReadError::Unsupported},
        CorruptCase{"TopDownRle8",
                    [](BmpBuilder& b) {
                        b.compression = 1;
                        b.height = -4;
                        b.pixels = {0, 1};
                    },
                    ReadError::BadHeader}),
    [](const ::testing::TestParamInfo<CorruptCase>& caseInfo) { return caseInfo.param.name; });

TEST(BmpFormat, SignatureMustBeBM) {
    Bytes file = Plain8(4, 4).Build();
    file[1] = 'A';
    EXPECT_EQ(ImageError(file), ReadError::BadSignature);
    ReadError error = ReadError::None;
    EXPECT_FALSE(ParsePalette(file, &error));
    EXPECT_EQ(error, ReadError::BadSignature);
    EXPECT_EQ(ImageError(Bytes{'B'}), ReadError::BadSignature);
    EXPECT_EQ(ImageError(Bytes{}), ReadError::BadSignature);
}

TEST(BmpFormat, ShortHeadersAreTruncated) {
    const Bytes file = Plain8(4, 4).Build();
    for (const std::size_t length : {2u, 13u, 17u, 18u, 40u, 53u}) {
        SCOPED_TRACE(length);
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(ImageError(cut), ReadError::Truncated);
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParsePalette(cut, &error));
        EXPECT_EQ(error, ReadError::Truncated);
    }
}

TEST(BmpFormat, LargestSideIsAccepted) {
    BmpBuilder bmp = Plain8(65535, 1);
    bmp.table = TestTable(1);
    bmp.colorsUsed = 1;
    bmp.pixels.assign(65536, 0);
    const auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 65535);
}

TEST(BmpFormat, PictureTooLargeForAPixelCountIsRefused) {
    // 65535 x 65535 does not fit the picture's 32-bit pixel count: refused before allocating.
    BmpBuilder bmp;
    bmp.width = 65535;
    bmp.height = 65535;
    bmp.compression = 1;
    bmp.pixels = {0, 1};
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::BadHeader);
}

// ---------------------------------------------------------------------------------------------
// Colour table and pixel-data offset

TEST(BmpFormat, ColoursUsedZeroMeansAllEntries) {
    BmpBuilder bmp = Plain8(4, 2);
    bmp.colorsUsed = 0;
    const auto palette = ParsePalette(bmp.Build());
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 255), TestColour(255));
}

TEST(BmpFormat, ShortTableLeavesTheOtherEntriesBlack) {
    BmpBuilder bmp = Plain8(4, 2);
    bmp.table = TestTable(3);
    bmp.colorsUsed = 3;
    const Bytes file = bmp.Build();
    const auto palette = ParsePalette(file);
    ASSERT_TRUE(palette);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Colour(*palette, i), TestColour(i));
    }
    for (std::size_t i = 3; i < 256; ++i) {
        EXPECT_EQ(Colour(*palette, i), (std::array<std::uint8_t, 3>{0, 0, 0})) << i;
    }
    const auto image = Parse(file);
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 4, 2, Diagonal);
}

TEST(BmpFormat, MoreThan256ColoursUsedTakesTheFirst256) {
    for (const std::uint32_t used : {257u, 300u, 0x12345678u}) {
        SCOPED_TRACE(used);
        BmpBuilder bmp = Plain8(5, 3);
        bmp.colorsUsed = used;
        bmp.table = TestTable(256);
        bmp.table.push_back({1, 2, 3, 0});
        bmp.table.push_back({4, 5, 6, 0});
        bmp.pixelOffset = static_cast<std::uint32_t>(14 + 40 + 258 * 4);
        const Bytes file = bmp.Build();
        const auto palette = ParsePalette(file);
        ASSERT_TRUE(palette);
        EXPECT_EQ(Colour(*palette, 0), TestColour(0));
        EXPECT_EQ(Colour(*palette, 255), TestColour(255));
        const auto image = Parse(file);
        ASSERT_NE(image, nullptr);
        ExpectPicture(*image, 5, 3, Diagonal);
    }
}

TEST(BmpFormat, TableEndsWhereThePixelsStart) {
    // Colours used says 256 but only 10 entries were written; the offset is right.
    BmpBuilder bmp = Plain8(20, 10);
    bmp.table = TestTable(10);
    const Bytes file = bmp.Build();
    const auto palette = ParsePalette(file);
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 9), TestColour(9));
    EXPECT_EQ(Colour(*palette, 10), (std::array<std::uint8_t, 3>{0, 0, 0}));
    const auto image = Parse(file);
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 20, 10, Diagonal);
}

TEST(BmpFormat, CoreTableOfThreeByteEntriesEndsAtTheOffset) {
    BmpBuilder bmp = Plain8(20, 10);
    bmp.headerSize = 12;
    bmp.table = TestTable(252);
    const Bytes file = bmp.Build();
    const auto palette = ParsePalette(file);
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 251), TestColour(251));
    EXPECT_EQ(Colour(*palette, 252), (std::array<std::uint8_t, 3>{0, 0, 0}));
    const auto image = Parse(file);
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 20, 10, Diagonal);
}

TEST(BmpFormat, OffsetZeroOrBeforeTheTableMeansAfterTheTable) {
    for (const std::uint32_t offset : {0u, 2u, 14u, 53u}) {
        SCOPED_TRACE(offset);
        BmpBuilder bmp = Plain8(6, 3);
        bmp.table = TestTable(40);
        bmp.colorsUsed = 40;
        bmp.pixelOffset = offset;
        const Bytes file = bmp.Build();
        const auto image = Parse(file);
        ASSERT_NE(image, nullptr);
        ExpectPicture(*image, 6, 3, Diagonal);
        const auto palette = ParsePalette(file);
        ASSERT_TRUE(palette);
        EXPECT_EQ(Colour(*palette, 39), TestColour(39));
    }
}

TEST(BmpFormat, OffsetZeroWithTooFewBytesIsTruncated) {
    BmpBuilder bmp = Plain8(6, 3);
    bmp.pixelOffset = 0;
    bmp.pixels.resize(bmp.pixels.size() - 4);
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
}

TEST(BmpFormat, OffsetInsideTheTableIsBelievedOnlyWhenThePixelsDoNotFitAfterIt) {
    // 40 entries announced, 40 written, offset pointing at entry 30: the rows fit after the
    // table, so they are read from there and all 40 entries count.
    BmpBuilder bmp = Plain8(6, 3);
    bmp.table = TestTable(40);
    bmp.colorsUsed = 40;
    bmp.pixelOffset = 14 + 40 + 30 * 4;
    auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 6, 3, Diagonal);
    auto palette = ParsePalette(bmp.Build());
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 39), TestColour(39));

    // Only 30 entries written (the writer announced more): the rows do not fit after 40, so
    // the offset is right and the table has 30 entries.
    bmp.table = TestTable(30);
    image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 6, 3, Diagonal);
    palette = ParsePalette(bmp.Build());
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 29), TestColour(29));
    EXPECT_EQ(Colour(*palette, 30), (std::array<std::uint8_t, 3>{0, 0, 0}));
}

TEST(BmpFormat, BytesBetweenTableAndPixelsAreSkipped) {
    BmpBuilder bmp = Plain8(7, 4);
    bmp.gap = 100;
    const auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 7, 4, Diagonal);
}

TEST(BmpFormat, OffsetPastTheEndIsAnError) {
    BmpBuilder bmp = Plain8(7, 4);
    const std::size_t size = bmp.Build().size();
    bmp.pixelOffset = static_cast<std::uint32_t>(size + 1);
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
    bmp.pixelOffset = 0xFFFFFFFFu;
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
}

TEST(BmpFormat, TableCutByTheEndOfTheFileIsTruncated) {
    const Bytes file = Plain8(4, 4).Build();
    const Bytes cut(file.begin(), file.begin() + 54 + 100 * 4 + 2);
    ReadError error = ReadError::None;
    EXPECT_FALSE(ParsePalette(cut, &error));
    EXPECT_EQ(error, ReadError::Truncated);
    EXPECT_EQ(ImageError(cut), ReadError::Truncated);
}

// ---------------------------------------------------------------------------------------------
// Stored rows

TEST(BmpFormat, RowsCutShortAreAnError) {
    BmpBuilder bmp = Plain8(10, 6); // rows of 12 bytes
    bmp.pixels.resize(bmp.pixels.size() - 12);
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
}

TEST(BmpFormat, MissingPaddingAfterTheLastRowIsTolerated) {
    BmpBuilder bmp = Plain8(10, 6);
    bmp.pixels.resize(bmp.pixels.size() - 2); // last row keeps its 10 pixels
    const auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 10, 6, Diagonal);
    // One pixel less is one too few.
    bmp.pixels.pop_back();
    EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
}

TEST(BmpFormat, TopDownRowsAreNotTurnedOver) {
    BmpBuilder bmp = Plain8(9, 5);
    bmp.height = -5;
    bmp.pixels = StoredRows(9, 5, Diagonal, true);
    const auto image = Parse(bmp.Build());
    ASSERT_NE(image, nullptr);
    ExpectPicture(*image, 9, 5, Diagonal);
}

TEST(BmpFormat, OtherBitCountsGiveAPictureOfTheirSizeButNoPalette) {
    struct DepthCase {
        std::uint16_t bits;
        std::uint32_t compression;
        std::size_t rowBytes; // for a width of 10
    };
    for (const DepthCase& c :
         {DepthCase{1, 0, 4}, DepthCase{4, 0, 8}, DepthCase{16, 0, 20}, DepthCase{24, 0, 32},
          DepthCase{32, 0, 40}, DepthCase{16, 3, 20}, DepthCase{32, 3, 40}}) {
        SCOPED_TRACE(c.bits);
        BmpBuilder bmp;
        bmp.width = 10;
        bmp.height = 3;
        bmp.bitCount = c.bits;
        bmp.compression = c.compression;
        bmp.table = TestTable(c.bits <= 8 ? std::size_t{1} << c.bits : 0);
        bmp.gap = c.compression == 3 ? 12 : 0;
        bmp.pixels.assign(c.rowBytes * 3, 0xFF);
        const Bytes file = bmp.Build();
        const auto image = Parse(file);
        ASSERT_NE(image, nullptr);
        ExpectPicture(*image, 10, 3, [](std::int32_t, std::int32_t) { return std::uint8_t{0}; });
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParsePalette(file, &error));
        EXPECT_EQ(error, ReadError::UnsupportedDepth);

        // Their rows must be in the file all the same.
        bmp.pixels.resize(c.rowBytes * 2);
        EXPECT_EQ(ImageError(bmp.Build()), ReadError::Truncated);
    }
}

// ---------------------------------------------------------------------------------------------
// Run-length coded pixels (RLE8)

// An RLE8 bitmap of the given size whose pixel bytes are `codes`.
Bytes Rle8(std::int32_t width, std::int32_t height, const Bytes& codes) {
    BmpBuilder bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.compression = 1;
    bmp.table = TestTable(256);
    bmp.pixels = codes;
    return bmp.Build();
}

// The picture as rows of text, top row first, for readable comparisons.
std::vector<Bytes> Rows(const IndexedImage& image) {
    std::vector<Bytes> rows;
    for (std::int32_t y = 0; y < image.height; ++y) {
        const auto* row = image.pixels.get() + static_cast<std::size_t>(y * image.width);
        rows.emplace_back(row, row + image.width);
    }
    return rows;
}

struct RleCase {
    const char* name;
    std::int32_t width, height;
    Bytes codes;
    std::vector<Bytes> rows; // expected, top row first
};

void PrintTo(const RleCase& c, std::ostream* out) {
    *out << c.name;
}

class BmpRle8 : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRle8, DecodesIntoTheRightPixels) {
    const RleCase& c = GetParam();
    const Bytes file = Rle8(c.width, c.height, c.codes);
    const auto image = Parse(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Rows(*image), c.rows);
    EXPECT_TRUE(ParsePalette(file));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpRle8,
    ::testing::Values(
        // Rows are coded bottom row first.
        RleCase{"RunsAndEndOfLine",
                4,
                2,
                {2, 5, 2, 6, 0, 0, 1, 7, 3, 8, 0, 1},
                {{7, 8, 8, 8}, {5, 5, 6, 6}}},
        RleCase{"RunPastTheRowEndIsClippedNotWrapped",
                3,
                2,
                {9, 4, 1, 2, 0, 0, 3, 1, 0, 1},
                {{1, 1, 1}, {4, 4, 4}}},
        RleCase{"UnwrittenPixelsAreZero", 3, 3, {1, 9, 0, 1}, {{0, 0, 0}, {0, 0, 0}, {9, 0, 0}}},
        RleCase{"DeltaMovesRightAndUp",
                4,
                3,
                {1, 1, 0, 2, 2, 1, 1, 2, 0, 0, 4, 3, 0, 1},
                {{3, 3, 3, 3}, {0, 0, 0, 2}, {1, 0, 0, 0}}},
        RleCase{"DeltaToTheRowEndThenClippedRun", 3, 1, {0, 2, 3, 0, 5, 5, 0, 1}, {{0, 0, 0}}},
        RleCase{"DeltaLeavingThePictureEndsDecoding",
                3,
                2,
                {1, 4, 0, 2, 4, 0, 2, 5, 0, 1},
                {{0, 0, 0}, {4, 0, 0}}},
        RleCase{"DeltaAboveTheTopEndsDecoding",
                3,
                2,
                {1, 4, 0, 2, 0, 2, 2, 5, 0, 1},
                {{0, 0, 0}, {4, 0, 0}}},
        RleCase{"OddLiteralRunIsPaddedToAWord",
                5,
                2,
                {0, 3, 1, 2, 3, 0, 2, 7, 0, 0, 0, 4, 9, 8, 7, 6, 0, 1},
                {{9, 8, 7, 6, 0}, {1, 2, 3, 7, 7}}},
        RleCase{"LiteralRunPastTheRowEndIsClipped",
                2,
                2,
                {0, 5, 1, 2, 3, 4, 5, 0, 1, 6, 0, 0, 1, 8, 0, 1},
                {{8, 0}, {1, 2}}},
        RleCase{"EndOfLineOnTheTopRowEndsDecoding", 2, 1, {2, 3, 0, 0, 2, 4, 0, 1}, {{3, 3}}},
        RleCase{"DataEndingWithoutEndOfBitmap", 3, 2, {2, 6, 0, 0, 1}, {{0, 0, 0}, {6, 6, 0}}},
        RleCase{"LiteralRunCutByTheEndOfTheData", 4, 1, {0, 4, 1, 2}, {{1, 2, 0, 0}}},
        RleCase{"DeltaCutByTheEndOfTheData", 2, 1, {1, 3, 0, 2, 1}, {{3, 0}}},
        RleCase{"NoDataAtAll", 2, 2, {}, {{0, 0}, {0, 0}}}),
    [](const ::testing::TestParamInfo<RleCase>& caseInfo) { return caseInfo.param.name; });

TEST(BmpFormat, Rle8OffsetInsideTheTableIsBelieved) {
    BmpBuilder bmp;
    bmp.width = 2;
    bmp.height = 1;
    bmp.compression = 1;
    bmp.table = TestTable(4); // colours used 0 announces 256
    bmp.pixels = {2, 9, 0, 1};
    const Bytes file = bmp.Build();
    const auto image = Parse(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Rows(*image), (std::vector<Bytes>{{9, 9}}));
    const auto palette = ParsePalette(file);
    ASSERT_TRUE(palette);
    EXPECT_EQ(Colour(*palette, 3), TestColour(3));
    EXPECT_EQ(Colour(*palette, 4), (std::array<std::uint8_t, 3>{0, 0, 0}));
}

TEST(BmpFormat, TinyRunLengthFilesCannotAnnounceHugePictures) {
    // 60000 x 60000 from four bytes of data would cost 3.6 GB: refused before allocating.
    EXPECT_EQ(ImageError(Rle8(60000, 30000, {0, 0, 0, 1})), ReadError::Truncated);
    // A large picture is fine when its data could plausibly cover it (here: 5000 x 4000 from
    // 2 bytes a 255-pixel run, as a plain encoder writes it).
    Bytes codes;
    for (int row = 0; row < 4000; ++row) {
        for (int run = 0; run < 5000 / 250; ++run) {
            codes.insert(codes.end(), {250, 7});
        }
        codes.insert(codes.end(), {0, 0});
    }
    const auto image = Parse(Rle8(5000, 4000, codes));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[5000 * 4000 - 1], 7);
}

// ---------------------------------------------------------------------------------------------
// The public BMP test suite (tests/data/bmp/g, q and b; see tests/data/SOURCES.md)

std::string SuitePath(const std::string& name) {
    return test::DataPath("bmp/" + name).string();
}

std::optional<Palette> ReadSuitePalette(const std::string& name) {
    Palette palette{};
    if (!test::ReadBmpPaletteFile(palette, SuitePath(name))) {
        return std::nullopt;
    }
    return palette;
}

std::uint64_t Fnv1a(std::span<const std::uint8_t> bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const std::uint8_t b : bytes) {
        hash = (hash ^ b) * 0x100000001b3u;
    }
    return hash;
}

// The picture's pixels where they lie: no copy to free (a loop over a temporary copy made GCC 12
// at -O3 warn of freeing a pointer that is not the start of its block).
std::span<const std::uint8_t> Indices(const IndexedImage& image) {
    return {image.pixels.get(),
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)};
}

// The picture as red, green, blue bytes, top row first.
std::vector<std::uint8_t> Rgb(const IndexedImage& image, const Palette& palette) {
    std::vector<std::uint8_t> rgb;
    for (const std::uint8_t index : Indices(image)) {
        const auto colour = Colour(palette, index);
        rgb.insert(rgb.end(), colour.begin(), colour.end());
    }
    return rgb;
}

// Hashes of g/pal8.bmp as Pillow 9.4 decodes it: its indices, and its red, green, blue bytes.
constexpr std::uint64_t Pal8IndexHash = 0xc794aa27e9d405d7u;
constexpr std::uint64_t Pal8RgbHash = 0x4598e7515a0f7954u;

TEST(BmpSuite, ReferencePictureMatchesAnotherDecoder) {
    const auto image = test::ReadBmpImageFile(SuitePath("g/pal8.bmp"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 127);
    EXPECT_EQ(image->height, 64);
    const auto palette = ReadSuitePalette("g/pal8.bmp");
    ASSERT_TRUE(palette);
    EXPECT_EQ(Fnv1a(Indices(*image)), Pal8IndexHash);
    EXPECT_EQ(Fnv1a(Rgb(*image, *palette)), Pal8RgbHash);
    EXPECT_EQ(Colour(*palette, PixelAt(*image, 0, 0)), (std::array<std::uint8_t, 3>{255, 0, 0}));
    // 252 entries in the table; the rest are black.
    EXPECT_EQ(Colour(*palette, 252), (std::array<std::uint8_t, 3>{0, 0, 0}));
}

class BmpSuiteSamePicture : public ::testing::TestWithParam<const char*> {};

TEST_P(BmpSuiteSamePicture, GivesTheSamePixelsAndColoursAsPal8) {
    const auto reference = test::ReadBmpImageFile(SuitePath("g/pal8.bmp"));
    const auto referencePalette = ReadSuitePalette("g/pal8.bmp");
    ASSERT_NE(reference, nullptr);
    ASSERT_TRUE(referencePalette);
    const auto image = test::ReadBmpImageFile(SuitePath(GetParam()));
    ASSERT_NE(image, nullptr);
    const auto palette = ReadSuitePalette(GetParam());
    ASSERT_TRUE(palette);
    EXPECT_EQ(image->width, 127);
    EXPECT_EQ(image->height, 64);
    EXPECT_TRUE(std::ranges::equal(Indices(*image), Indices(*reference)));
    EXPECT_TRUE(Rgb(*image, *palette) == Rgb(*reference, *referencePalette));
    EXPECT_EQ(*palette, *referencePalette);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpSuiteSamePicture,
                         ::testing::Values("g/pal8-0.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp",
                                           "g/pal8topdown.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp",
                                           "q/pal8offs.bmp", "q/pal8oversizepal.bmp",
                                           "q/pal8os2-hs.bmp", "q/pal8os2-sz.bmp",
                                           "q/pal8os2sp.bmp", "q/pal8os2v2.bmp",
                                           "q/pal8os2v2-16.bmp", "q/pal8os2v2-40sz.bmp",
                                           "q/pal8os2v2-sz.bmp", "b/badpalettesize.bmp"));

TEST(BmpSuite, OtherEightBitFilesAreRead) {
    struct Expected {
        const char* name;
        std::int32_t width, height;
    };
    for (const Expected& e :
         {Expected{"g/pal8gs.bmp", 127, 64}, Expected{"g/pal8w124.bmp", 124, 61},
          Expected{"g/pal8w125.bmp", 125, 62}, Expected{"g/pal8w126.bmp", 126, 63},
          Expected{"g/pal8nonsquare.bmp", 127, 32}, Expected{"q/pal8rletrns.bmp", 127, 64},
          Expected{"q/pal8rlecut.bmp", 127, 64}}) {
        SCOPED_TRACE(e.name);
        const auto image = test::ReadBmpImageFile(SuitePath(e.name));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, e.width);
        EXPECT_EQ(image->height, e.height);
        EXPECT_TRUE(ReadSuitePalette(e.name));
    }
    const auto grey = ReadSuitePalette("g/pal8gs.bmp");
    ASSERT_TRUE(grey);
    for (std::size_t i = 0; i < 252; ++i) {
        const auto c = Colour(*grey, i);
        EXPECT_TRUE(c[0] == c[1] && c[1] == c[2]) << i;
    }
}

// These two leave parts of the picture to delta codes and early end codes. Their table is
// pal8's shifted by one, entry 0 being a marker colour: every pixel a run reaches shows the
// reference colour, and every other pixel is index 0.
TEST(BmpSuite, RunLengthFilesWithGapsLeaveIndexZero) {
    const auto reference = test::ReadBmpImageFile(SuitePath("g/pal8.bmp"));
    const auto referencePalette = ReadSuitePalette("g/pal8.bmp");
    ASSERT_NE(reference, nullptr);
    ASSERT_TRUE(referencePalette);
    const auto expected = Rgb(*reference, *referencePalette);
    struct Expected {
        const char* name;
        std::size_t unwritten; // at least this many pixels are never reached
    };
    for (const Expected& e :
         {Expected{"q/pal8rletrns.bmp", 300}, Expected{"q/pal8rlecut.bmp", 1500}}) {
        SCOPED_TRACE(e.name);
        const auto image = test::ReadBmpImageFile(SuitePath(e.name));
        ASSERT_NE(image, nullptr);
        const auto palette = ReadSuitePalette(e.name);
        ASSERT_TRUE(palette);
        EXPECT_EQ(Colour(*palette, 0), (std::array<std::uint8_t, 3>{128, 0, 255}));
        const auto pixels = Indices(*image);
        const auto rgb = Rgb(*image, *palette);
        ASSERT_EQ(rgb.size(), expected.size());
        std::size_t zeros = 0;
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (pixels[i] == 0) {
                ++zeros;
            } else if (!std::equal(rgb.begin() + static_cast<std::ptrdiff_t>(i * 3),
                                   rgb.begin() + static_cast<std::ptrdiff_t>(i * 3 + 3),
                                   expected.begin() + static_cast<std::ptrdiff_t>(i * 3))) {
                ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0u);
        EXPECT_GE(zeros, e.unwritten);
        EXPECT_LT(zeros, pixels.size() / 2);
    }
}

TEST(BmpSuite, OtherBitDepthsGiveAPictureButNoPalette) {
    for (const char* name : {"g/pal1.bmp", "g/pal4.bmp", "g/pal4rle.bmp", "g/rgb16-565.bmp",
                             "g/rgb24.bmp", "g/rgb32bf.bmp", "b/badbitssize.bmp", "b/baddens1.bmp",
                             "b/baddens2.bmp", "b/badfilesize.bmp", "b/rgb16-880.bmp"}) {
        SCOPED_TRACE(name);
        const auto image = test::ReadBmpImageFile(SuitePath(name));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 127);
        EXPECT_EQ(image->height, 64);
        EXPECT_FALSE(ReadSuitePalette(name));
    }
}

TEST(BmpSuite, UnsupportedVariantsAreRefused) {
    for (const char* name : {"q/pal2.bmp", "q/pal1huffmsb.bmp", "q/rgb24jpeg.bmp", "q/rgb24png.bmp",
                             "q/rgb24rle24.bmp"}) {
        SCOPED_TRACE(name);
        ReadError error = ReadError::None;
        EXPECT_EQ(ReadBmpImage(test::ReadAll(SuitePath(name)), &error), nullptr);
        EXPECT_EQ(error, ReadError::Unsupported);
        EXPECT_FALSE(ReadSuitePalette(name));
    }
}

TEST(BmpSuite, InvalidFilesAreRefused) {
    struct Expected {
        const char* name;
        ReadError error;
    };
    for (const Expected& e : {Expected{"b/badbitcount.bmp", ReadError::BadHeader},
                              Expected{"b/badheadersize.bmp", ReadError::BadHeader},
                              Expected{"b/badplanes.bmp", ReadError::BadHeader},
                              Expected{"b/badwidth.bmp", ReadError::BadHeader},
                              Expected{"b/reallybig.bmp", ReadError::BadHeader},
                              Expected{"b/rletopdown.bmp", ReadError::BadHeader},
                              Expected{"b/shortfile.bmp", ReadError::Truncated}}) {
        SCOPED_TRACE(e.name);
        ReadError error = ReadError::None;
        EXPECT_EQ(ReadBmpImage(test::ReadAll(SuitePath(e.name)), &error), nullptr);
        EXPECT_EQ(error, e.error);
        EXPECT_EQ(test::ReadBmpImageFile(SuitePath(e.name)), nullptr);
    }
}

// Every file of the suite we keep is either refused or read into a picture of its header's
// size; run under the address sanitizer this also shows nothing is read or written outside.
TEST(BmpSuite, EveryFileIsRefusedOrReadSafely) {
    int files = 0;
    for (const char* group : {"g", "q", "b"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(test::DataPath("bmp/") / group)) {
            SCOPED_TRACE(entry.path().string());
            ++files;
            const Bytes file = test::ReadAll(entry.path());
            const auto image = ReadBmpImage(file);
            if (image != nullptr) {
                EXPECT_GT(image->width, 0);
                EXPECT_GT(image->height, 0);
                EXPECT_TRUE(image->pixels);
            }
            Palette palette{};
            if (ReadBmpPalette(palette, file)) {
                EXPECT_NE(image, nullptr);
            }
        }
    }
    EXPECT_GE(files, 50);
}

TEST(BmpSuite, BadIndexFileIsReadWithBlackForMissingEntries) {
    const auto image = test::ReadBmpImageFile(SuitePath("b/pal8badindex.bmp"));
    ASSERT_NE(image, nullptr);
    const auto palette = ReadSuitePalette("b/pal8badindex.bmp");
    ASSERT_TRUE(palette);
    EXPECT_TRUE(
        std::ranges::any_of(Indices(*image), [](std::uint8_t index) { return index >= 101; }));
    for (std::size_t i = 101; i < 256; ++i) {
        EXPECT_EQ(Colour(*palette, i), (std::array<std::uint8_t, 3>{0, 0, 0})) << i;
    }
}

TEST(BmpSuite, BadRunLengthFilesAreReadWithoutCrashing) {
    for (const char* name : {"b/badrle.bmp", "b/badrlebis.bmp", "b/badrleter.bmp"}) {
        SCOPED_TRACE(name);
        const auto image = test::ReadBmpImageFile(SuitePath(name));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 127);
        EXPECT_EQ(image->height, 64);
    }
}

// ---------------------------------------------------------------------------------------------
// Bitmaps saved by common programs (tests/data/bmp/made, made by make-fixtures.sh there)

// The picture and colours make-fixtures.sh puts in every file.
std::uint8_t FixtureIndex(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(y < 4 ? (x / 4 + y) % 24 : (x + 3 * y) % 24);
}

std::array<std::uint8_t, 3> FixtureColour(std::size_t k) {
    return {static_cast<std::uint8_t>((k * 37) % 256),
            static_cast<std::uint8_t>((k * 91 + 40) % 256),
            static_cast<std::uint8_t>((255 - k * 10) % 256)};
}

struct FixtureCase {
    const char* name;
    std::uint32_t headerSize;
    std::uint32_t compression;
    std::uint32_t coloursUsed;
};

void PrintTo(const FixtureCase& c, std::ostream* out) {
    *out << c.name;
}

class BmpMadeByPrograms : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(BmpMadeByPrograms, ShowThePictureInItsColours) {
    const FixtureCase& c = GetParam();
    const std::string path = test::DataPath(std::string("bmp/made/") + c.name).string();
    // The file is of the kind it stands for.
    const Bytes file = test::ReadAll(path);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(LoadLE(file, 14), c.headerSize);
    EXPECT_EQ(LoadLE(file, 30), c.compression);
    EXPECT_EQ(LoadLE(file, 46), c.coloursUsed);

    const auto image = test::ReadBmpImageFile(path);
    ASSERT_NE(image, nullptr);
    Palette palette{};
    ASSERT_TRUE(test::ReadBmpPaletteFile(palette, path));
    ASSERT_EQ(image->width, 16);
    ASSERT_EQ(image->height, 8);
    for (std::int32_t y = 0; y < 8; ++y) {
        for (std::int32_t x = 0; x < 16; ++x) {
            EXPECT_EQ(Colour(palette, PixelAt(*image, x, y)), FixtureColour(FixtureIndex(x, y)))
                << "pixel (" << x << ", " << y << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BmpMadeByPrograms,
                         ::testing::Values(FixtureCase{"imagemagick.bmp", 124, 0, 256},
                                           FixtureCase{"imagemagick-rle.bmp", 124, 1, 256},
                                           FixtureCase{"pillow.bmp", 40, 0, 24}),
                         [](const ::testing::TestParamInfo<FixtureCase>& caseInfo) {
                             std::string name = caseInfo.param.name;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

} // namespace
} // namespace texelary
