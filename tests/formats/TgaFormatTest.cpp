#include "formats/pictures/TgaFormat.h"

#include "TestImages.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds a TGA file: the 18-byte header from the fields, then an image ID, the colour map and
// the data exactly as given.
struct TgaBuilder {
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 2;
    std::uint16_t firstEntry = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t entryBits = 0;
    std::uint16_t width = 2;
    std::uint16_t height = 2;
    std::uint8_t pixelBits = 24;
    std::uint8_t descriptor = 0;
    Bytes id;
    Bytes map;
    Bytes data;

    Bytes Build() const {
        Bytes out = {static_cast<std::uint8_t>(id.size()), mapType, imageType};
        const auto put16 = [&](std::uint16_t v) {
            out.push_back(static_cast<std::uint8_t>(v));
            out.push_back(static_cast<std::uint8_t>(v >> 8));
        };
        put16(firstEntry);
        put16(mapLength);
        out.push_back(entryBits);
        put16(0);
        put16(0);
        put16(width);
        put16(height);
        out.push_back(pixelBits);
        out.push_back(descriptor);
        for (const Bytes* part : {&id, &map, &data}) {
            out.insert(out.end(), part->begin(), part->end());
        }
        return out;
    }
};

// A colour-mapped 3 x 2 picture whose stored pixels are 1 2 3 4 5 6.
TgaBuilder Mapped3x2(std::uint8_t descriptor) {
    TgaBuilder tga;
    tga.mapType = 1;
    tga.imageType = 1;
    tga.mapLength = 7;
    tga.entryBits = 24;
    tga.map.assign(7 * 3, 0);
    tga.width = 3;
    tga.pixelBits = 8;
    tga.descriptor = descriptor;
    tga.data = {1, 2, 3, 4, 5, 6};
    return tga;
}

TEST(TgaFormat, PutsRowsAndColumnsInTheOrderTheDescriptorSays) {
    const std::array<std::pair<std::uint8_t, Bytes>, 4> cases = {{
        {0x00, {4, 5, 6, 1, 2, 3}}, // bottom row first
        {0x20, {1, 2, 3, 4, 5, 6}}, // top row first
        {0x10, {6, 5, 4, 3, 2, 1}}, // bottom row first, right to left
        {0x30, {3, 2, 1, 6, 5, 4}}, // top row first, right to left
    }};
    for (const auto& [descriptor, expected] : cases) {
        const auto picture = ParseTgaPicture(Mapped3x2(descriptor).Build());
        ASSERT_TRUE(picture && picture->IsIndexed()) << int{descriptor};
        EXPECT_EQ(test::PixelsOf(*picture->indexed), expected) << int{descriptor};
    }
}

TEST(TgaFormat, ColourMapEntriesStartAtTheFirstEntryIndex) {
    TgaBuilder tga = Mapped3x2(0);
    tga.firstEntry = 250;
    tga.mapLength = 8; // entries 256 and 257 cannot be indexed and are dropped
    tga.entryBits = 16;
    tga.map.assign(16, 0);
    tga.map[0] = 0x1f;  // entry 250: blue
    tga.map[1] = 0x80;  // alpha bit, counted since the descriptor announces one
    tga.map[10] = 0x00; // entry 255: red
    tga.map[11] = 0x7c;
    tga.descriptor = 1;
    const auto picture = ParseTgaPicture(tga.Build());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->palette[3 * 250 + 2], 255);
    EXPECT_EQ(picture->paletteAlpha[250], 255);
    EXPECT_EQ(picture->palette[3 * 255], 255);
    EXPECT_EQ(picture->paletteAlpha[255], 0);
    EXPECT_EQ(picture->palette[3 * 249 + 2], 0);
}

TEST(TgaFormat, ExpandsEveryTrueColourAndGreyDepth) {
    struct Case {
        std::uint8_t type, bits, descriptor;
        std::uint16_t width;
        Bytes data;
        Bytes rgba;
    };
    const std::vector<Case> cases = {
        {2, 15, 0, 1, {0xe0, 0x03}, {0, 255, 0, 255}},
        {2, 16, 0, 1, {0x10, 0x80}, {0, 0, 132, 255}}, // no alpha bits announced: opaque
        {2, 16, 1, 1, {0x00, 0x7c}, {255, 0, 0, 0}},
        {2, 16, 1, 1, {0x00, 0xfc}, {255, 0, 0, 255}},
        {2, 24, 0, 1, {1, 2, 3}, {3, 2, 1, 255}},
        {2, 32, 8, 2, {1, 2, 3, 4, 5, 6, 7, 0}, {3, 2, 1, 4, 7, 6, 5, 0}},
        // No alpha bits announced, yet alpha stored: read as alpha, unless all of it is 0.
        {2, 32, 0, 2, {1, 2, 3, 4, 5, 6, 7, 0}, {3, 2, 1, 4, 7, 6, 5, 0}},
        {2, 32, 0, 2, {1, 2, 3, 0, 5, 6, 7, 0}, {3, 2, 1, 255, 7, 6, 5, 255}},
        {3, 8, 0, 1, {9}, {9, 9, 9, 255}},
        {3, 16, 8, 2, {9, 200, 8, 0}, {9, 9, 9, 200, 8, 8, 8, 0}}, // grey, then alpha
        {3, 16, 0, 2, {9, 200, 8, 0}, {9, 9, 9, 200, 8, 8, 8, 0}},
        {3, 16, 0, 2, {9, 0, 8, 0}, {9, 9, 9, 255, 8, 8, 8, 255}},
        {11, 16, 8, 2, {0x81, 9, 200}, {9, 9, 9, 200, 9, 9, 9, 200}},
        {10, 32, 0, 2, {0x81, 1, 2, 3, 4}, {3, 2, 1, 4, 3, 2, 1, 4}},
    };
    for (const auto& c : cases) {
        TgaBuilder tga;
        tga.imageType = c.type;
        tga.width = c.width;
        tga.height = 1;
        tga.pixelBits = c.bits;
        tga.descriptor = c.descriptor;
        tga.data = c.data;
        ReadError error = ReadError::BadHeader;
        const auto picture = ParseTgaPicture(tga.Build(), &error);
        ASSERT_TRUE(picture && !picture->IsIndexed())
            << int{c.type} << "/" << int{c.bits} << ": " << DescribeReadError(error);
        EXPECT_EQ(picture->trueColour->pixels, c.rgba)
            << int{c.type} << "/" << int{c.bits} << "/" << int{c.descriptor};
    }
}

TEST(TgaFormat, RunsMayCarryOnIntoTheNextRow) {
    TgaBuilder tga = Mapped3x2(0x20);
    tga.imageType = 9;
    tga.data = {0x83, 7, 0x01, 8, 9}; // a run of four 7s, then two literal pixels
    const auto picture = ParseTgaPicture(tga.Build());
    ASSERT_TRUE(picture);
    EXPECT_EQ(test::PixelsOf(*picture->indexed), (Bytes{7, 7, 7, 7, 8, 9}));
}

TEST(TgaFormat, RefusesBrokenFilesWithAReason) {
    const auto with = [](auto change) {
        TgaBuilder tga = Mapped3x2(0);
        change(tga);
        return tga.Build();
    };
    const Bytes good = Mapped3x2(0).Build();
    struct Case {
        const char* what;
        Bytes bytes;
        ReadError error;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ReadError::Truncated},
        {"header cut", Bytes(good.begin(), good.begin() + 17), ReadError::Truncated},
        {"map type 2", with([](TgaBuilder& t) { t.mapType = 2; }), ReadError::BadSignature},
        {"image type 5", with([](TgaBuilder& t) { t.imageType = 5; }), ReadError::BadSignature},
        {"no image", with([](TgaBuilder& t) { t.imageType = 0; }), ReadError::Unsupported},
        {"Huffman", with([](TgaBuilder& t) { t.imageType = 32; }), ReadError::Unsupported},
        {"width 0", with([](TgaBuilder& t) { t.width = 0; }), ReadError::BadHeader},
        {"mapped, no map", with([](TgaBuilder& t) { t.mapType = 0; }), ReadError::BadHeader},
        {"8-bit map entries", with([](TgaBuilder& t) { t.entryBits = 8; }), ReadError::BadHeader},
        {"16-bit indices", with([](TgaBuilder& t) { t.pixelBits = 16; }), ReadError::Unsupported},
        {"true colour of 8 bits", with([](TgaBuilder& t) { t.imageType = 2; }),
         ReadError::BadHeader},
        {"grey of 24 bits", with([](TgaBuilder& t) { t.imageType = 3, t.pixelBits = 24; }),
         ReadError::BadHeader},
        {"grey and alpha cut", with([](TgaBuilder& t) { t.imageType = 3, t.pixelBits = 16; }),
         ReadError::Truncated},
        {"interleaved rows", with([](TgaBuilder& t) { t.descriptor = 0x40; }),
         ReadError::Unsupported},
        {"map cut", with([](TgaBuilder& t) { t.mapLength = 200, t.data.clear(); }),
         ReadError::Truncated},
        {"pixels cut", Bytes(good.begin(), good.end() - 1), ReadError::Truncated},
        {"runs cut", with([](TgaBuilder& t) {
             t.imageType = 9, t.data = {0x83, 7, 0x01, 8};
         }),
         ReadError::Truncated},
        {"run past the end", with([](TgaBuilder& t) {
             t.imageType = 9, t.data = {0x86, 7};
         }),
         ReadError::CorruptData},
        {"literal past the end",
         with([](TgaBuilder& t) { t.imageType = 9, t.data = {0x06, 1, 2, 3, 4, 5, 6, 7}; }),
         ReadError::CorruptData},
        {"65535 square",
         with([](TgaBuilder& t) { t.width = t.height = 65535, t.data.assign(10, 0); }),
         ReadError::BadHeader},
        {"30000 square in 10 bytes of runs", with([](TgaBuilder& t) {
             t.imageType = 9, t.width = t.height = 30000, t.data.assign(10, 0xff);
         }),
         ReadError::Truncated},
    };
    for (const auto& c : cases) {
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParseTgaPicture(c.bytes, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what << ": " << DescribeReadError(error);
    }
}

} // namespace
} // namespace texelary
