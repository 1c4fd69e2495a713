#include "formats/pictures/PcxFormat.h"

#include "TestImages.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds a PCX file: the 128-byte header from the fields, the data exactly as given, then, when
// asked, the 0x0C marker and a 256-colour palette whose entry i is (i, i, 255 - i).
struct PcxBuilder {
    std::uint8_t version = 5;
    std::uint8_t encoding = 1;
    std::uint8_t bits = 8;
    std::uint16_t xMin = 0, yMin = 0, xMax = 1, yMax = 1;
    std::uint8_t planes = 1;
    std::uint16_t lineBytes = 2;
    std::array<std::uint8_t, 48> headerPalette{};
    Bytes data;
    bool trailingPalette = true;

    Bytes Build() const {
        Bytes out(128 + data.size(), 0);
        out[0] = 0x0a;
        out[1] = version;
        out[2] = encoding;
        out[3] = bits;
        const auto put16 = [&](std::size_t at, std::uint16_t v) {
            out[at] = static_cast<std::uint8_t>(v);
            out[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        put16(4, xMin);
        put16(6, yMin);
        put16(8, xMax);
        put16(10, yMax);
        std::copy(headerPalette.begin(), headerPalette.end(), out.begin() + 16);
        out[65] = planes;
        put16(66, lineBytes);
        std::copy(data.begin(), data.end(), out.begin() + 128);
        if (trailingPalette) {
            out.push_back(0x0c);
            for (unsigned i = 0; i < 256; ++i) {
                out.push_back(static_cast<std::uint8_t>(i));
                out.push_back(static_cast<std::uint8_t>(i));
                out.push_back(static_cast<std::uint8_t>(255 - i));
            }
        }
        return out;
    }
};

TEST(PcxFormat, ReadsTheIndexedKinds) {
    struct Case {
        const char* what;
        PcxBuilder pcx;
        Bytes indices;
    };
    PcxBuilder plain; // 8 bits, a 2 x 2 window placed away from the origin, stored as is
    plain.xMin = 10, plain.xMax = 11, plain.yMin = 5, plain.yMax = 6, plain.encoding = 0;
    plain.data = {1, 2, 9, 3, 4, 9}; // lines of 3 bytes: one byte of padding each
    plain.lineBytes = 3;
    PcxBuilder runs; // a run from the first line into the second
    runs.data = {0xc3, 7, 8};
    PcxBuilder ega; // 1 bit in 4 planes: 8 x 1, plane p holds bit p of each index
    ega.bits = 1, ega.planes = 4, ega.xMax = 7, ega.yMax = 0, ega.lineBytes = 1;
    ega.encoding = 0;
    ega.data = {0b01010101, 0b00110011, 0b00001111, 0b11000000};
    ega.trailingPalette = false;
    PcxBuilder nibbles; // 4 bits in one plane: 3 x 1
    nibbles.bits = 4, nibbles.xMax = 2, nibbles.yMax = 0, nibbles.encoding = 0;
    nibbles.data = {0x12, 0xf0};
    nibbles.trailingPalette = false;
    PcxBuilder mono; // 1 bit in one plane: 10 x 1
    mono.bits = 1, mono.xMax = 9, mono.yMax = 0;
    mono.data = {0b10110000, 0b01000000};
    mono.trailingPalette = false;
    PcxBuilder quarters; // 2 bits in one plane: 5 x 1
    quarters.bits = 2, quarters.xMax = 4, quarters.yMax = 0, quarters.encoding = 0;
    quarters.data = {0b00011011, 0b10000000};
    quarters.trailingPalette = false;
    const std::vector<Case> cases = {
        {"8 bits stored as is", plain, {1, 2, 3, 4}},
        {"a run across lines", runs, {7, 7, 7, 8}},
        {"1 bit, 4 planes", ega, {8, 9, 2, 3, 4, 5, 6, 7}},
        {"4 bits", nibbles, {1, 2, 15}},
        {"1 bit", mono, {1, 0, 1, 1, 0, 0, 0, 0, 0, 1}},
        {"2 bits", quarters, {0, 1, 2, 3, 2}},
    };
    for (const auto& c : cases) {
        ReadError error = ReadError::BadHeader;
        const auto picture = ParsePcxPicture(c.pcx.Build(), &error);
        ASSERT_TRUE(picture && picture->IsIndexed()) << c.what << ": " << DescribeReadError(error);
        EXPECT_EQ(test::PixelsOf(*picture->indexed), c.indices) << c.what;
    }
}

TEST(PcxFormat, TakesTheColoursFromWhereEachKindKeepsThem) {
    struct Case {
        const char* what;
        PcxBuilder pcx;
        std::size_t entry; // the first palette entry compared
        Bytes colours;
    };
    PcxBuilder bytes;
    bytes.data = {0xc4, 200};
    PcxBuilder nibbles;
    nibbles.bits = 4, nibbles.lineBytes = 1, nibbles.data = {0x00, 0x00};
    nibbles.trailingPalette = false;
    for (std::size_t i = 0; i < 48; ++i) {
        nibbles.headerPalette[i] = static_cast<std::uint8_t>(i + 1);
    }
    PcxBuilder quarters = nibbles;
    quarters.bits = 2;
    PcxBuilder mono = nibbles;
    mono.bits = 1;
    PcxBuilder monoZero = mono;
    monoZero.headerPalette.fill(0);
    PcxBuilder monoPillow = mono; // 8 black entries, then 8 white
    std::fill(monoPillow.headerPalette.begin(), monoPillow.headerPalette.begin() + 24, 0);
    std::fill(monoPillow.headerPalette.begin() + 24, monoPillow.headerPalette.end(), 255);
    PcxBuilder monoTwo = mono; // a red and blue picture's colours, where netpbm writes them
    monoTwo.headerPalette = {255, 0, 0, 0, 0, 255};
    const std::vector<Case> cases = {
        {"trailing palette", bytes, 200, {200, 200, 55}},
        {"4 bits", nibbles, 15, {46, 47, 48, 0, 0, 0}}, // beyond the 16 entries: black
        {"2 bits", quarters, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"1 bit, a header palette of its own", mono, 0, {0, 0, 0, 255, 255, 255, 0}},
        {"1 bit, two colours in the header", monoTwo, 0, {0, 0, 0, 255, 255, 255, 0}},
        {"1 bit, palette 0", monoZero, 0, {0, 0, 0, 255, 255, 255, 0}},
        {"1 bit, first two black", monoPillow, 0, {0, 0, 0, 255, 255, 255, 0}},
    };
    for (const auto& c : cases) {
        const auto picture = ParsePcxPicture(c.pcx.Build());
        ASSERT_TRUE(picture && picture->IsIndexed()) << c.what;
        const auto first = picture->palette.begin() + static_cast<std::ptrdiff_t>(3 * c.entry);
        EXPECT_EQ(Bytes(first, first + static_cast<std::ptrdiff_t>(c.colours.size())), c.colours)
            << c.what;
    }
}

TEST(PcxFormat, FourPlanesOfEightBitsCarryAlpha) {
    PcxBuilder rgba;
    rgba.planes = 4, rgba.xMax = 0, rgba.yMax = 0, rgba.lineBytes = 1, rgba.encoding = 0;
    rgba.data = {10, 20, 30, 40};
    rgba.trailingPalette = false;
    const auto picture = ParsePcxPicture(rgba.Build());
    ASSERT_TRUE(picture && !picture->IsIndexed());
    EXPECT_EQ(picture->trueColour->pixels, (Bytes{10, 20, 30, 40}));
}

TEST(PcxFormat, RefusesBrokenFilesWithAReason) {
    const auto with = [](auto change) {
        PcxBuilder pcx;
        pcx.data = {0xc4, 1};
        change(pcx);
        return pcx.Build();
    };
    const Bytes good = with([](PcxBuilder&) {});
    struct Case {
        const char* what;
        Bytes bytes;
        ReadError error;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ReadError::BadSignature},
        {"a bitmap", {'B', 'M', 0, 0}, ReadError::BadSignature},
        {"header cut", Bytes(good.begin(), good.begin() + 100), ReadError::Truncated},
        {"version 1", with([](PcxBuilder& p) { p.version = 1; }), ReadError::BadSignature},
        {"encoding 2", with([](PcxBuilder& p) { p.encoding = 2; }), ReadError::BadSignature},
        {"xmax < xmin", with([](PcxBuilder& p) { p.xMin = 2; }), ReadError::BadHeader},
        {"no planes", with([](PcxBuilder& p) { p.planes = 0; }), ReadError::BadHeader},
        {"3 bits", with([](PcxBuilder& p) { p.bits = 3; }), ReadError::BadHeader},
        {"lines too short", with([](PcxBuilder& p) { p.lineBytes = 1; }), ReadError::BadHeader},
        {"2 bits, 2 planes", with([](PcxBuilder& p) { p.bits = 2, p.planes = 2; }),
         ReadError::Unsupported},
        {"8 bits, 2 planes", with([](PcxBuilder& p) { p.planes = 2; }), ReadError::Unsupported},
        {"4 bits, 2 planes", with([](PcxBuilder& p) { p.bits = 4, p.planes = 2; }),
         ReadError::Unsupported},
        {"no 256-colour palette", with([](PcxBuilder& p) { p.trailingPalette = false; }),
         ReadError::NoTrailingPalette},
        {"256-colour palette cut short", Bytes(good.begin(), good.end() - 1),
         ReadError::NoTrailingPalette},
        {"256-colour palette marker wrong",
         [&good] {
             Bytes bytes = good;
             bytes[bytes.size() - 769] = 0x0d;
             return bytes;
         }(),
         ReadError::NoTrailingPalette},
        {"data cut", with([](PcxBuilder& p) {
             p.data = {0xc3, 1};
         }),
         ReadError::Truncated},
        {"run without its byte", with([](PcxBuilder& p) {
             p.data = {1, 2, 3, 0xc1};
         }),
         ReadError::Truncated},
        {"run past the end", with([](PcxBuilder& p) {
             p.data = {0xc5, 1};
         }),
         ReadError::CorruptData},
        {"65535 square", with([](PcxBuilder& p) { p.xMax = p.yMax = 65534, p.lineBytes = 65535; }),
         ReadError::BadHeader},
        {"30000 square in 2 bytes of runs",
         with([](PcxBuilder& p) { p.xMax = p.yMax = 29999, p.lineBytes = 30000; }),
         ReadError::Truncated},
    };
    for (const auto& c : cases) {
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParsePcxPicture(c.bytes, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what << ": " << DescribeReadError(error);
    }
}

} // namespace
} // namespace texelary
