#include "formats/mips/M8Format.h"

#include "FormatFiles.h"
#include "MipBytes.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::Le32;
using test::MipBytes;
using test::PatternAt;
using test::Patterned;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::vector<std::int32_t> Table(const std::vector<std::uint8_t>& file, std::size_t offset) {
    std::vector<std::int32_t> values;
    for (std::size_t i = 0; i < 16; ++i) {
        values.push_back(Le32(file, offset + 4 * i));
    }
    return values;
}

Palette Ramp() {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return palette;
}

MipBytes M8Bytes() {
    return MipBytes(test::kM8Shape);
}

struct LayoutCase {
    std::int32_t width, height;
    std::vector<std::int32_t> widths, heights, offsets; // the rest of the 16 entries are 0
    std::size_t fileSize;
};

std::vector<std::int32_t> Padded(std::vector<std::int32_t> values) {
    values.resize(16, 0);
    return values;
}

class M8Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(M8Layout, ListsEveryLevelAndEndsWithTheLastOne) {
    const LayoutCase& c = GetParam();
    const IndexedImage image = Patterned(c.width, c.height);
    const auto file = WriteM8(image, Ramp());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), c.fileSize);
    EXPECT_EQ(Table(*file, 36), Padded(c.widths));
    EXPECT_EQ(Table(*file, 100), Padded(c.heights));
    EXPECT_EQ(Table(*file, 164), Padded(c.offsets));
}

INSTANTIATE_TEST_SUITE_P(
    M8Sizes, M8Layout,
    ::testing::Values(
        LayoutCase{256,
                   64,
                   {256, 128, 64, 32, 16, 8, 4, 2, 1},
                   {64, 32, 16, 8, 4, 2, 1},
                   {1040, 17424, 21520, 22544, 22800, 22864, 22880},
                   22884},
        LayoutCase{100,
                   60,
                   {100, 50, 25, 12, 6, 3, 1},
                   {60, 30, 15, 7, 3, 1},
                   {1040, 7040, 8540, 8915, 8999, 9017},
                   9020},
        LayoutCase{1, 1, {1}, {1}, {1040}, 1041}, LayoutCase{0, 0, {}, {}, {}, 1040},
        // A zero side gives no pixels, but the other side's entries still hold their values.
        LayoutCase{5, 0, {5, 2, 1}, {}, {}, 1040}, LayoutCase{0, 7, {}, {7, 3, 1}, {}, 1040}));

TEST(M8Header, HoldsVersionNamesPaletteAndZeroWords) {
    const IndexedImage image = Patterned(4, 2);
    const Palette palette = Ramp();
    const auto file = WriteM8(image, palette);
    ASSERT_TRUE(file);
    EXPECT_EQ(Le32(*file, 0), 2);

    std::vector<std::uint8_t> name(32, 0);
    std::memcpy(name.data(), "Created by Texelary", 19);
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin() + 4, file->begin() + 36), name);
    // The animation name stays empty: map compilers take it as the next frame's name.
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin() + 228, file->begin() + 260),
              std::vector<std::uint8_t>(32, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin() + 260, file->begin() + 1028),
              std::vector<std::uint8_t>(palette.begin(), palette.end()));
    EXPECT_EQ(Le32(*file, 1028), 0);
    EXPECT_EQ(Le32(*file, 1032), 0);
    EXPECT_EQ(Le32(*file, 1036), 0);
}

TEST(M8Levels, EachLevelHoldsTheTopLeftPixelOfItsBlock) {
    for (const auto& [width, height] : {std::pair{100, 60}, std::pair{256, 64}}) {
        const IndexedImage image = Patterned(width, height);
        const auto file = WriteM8(image, Ramp());
        ASSERT_TRUE(file);
        const auto widths = Table(*file, 36);
        const auto heights = Table(*file, 100);
        const auto offsets = Table(*file, 164);
        for (std::size_t i = 0; i < 16; ++i) {
            if (offsets[i] == 0) {
                continue;
            }
            const int step = 1 << i;
            for (std::int32_t y = 0; y < heights[i]; ++y) {
                for (std::int32_t x = 0; x < widths[i]; ++x) {
                    const auto at = static_cast<std::size_t>(offsets[i] + y * widths[i] + x);
                    ASSERT_EQ(file->at(at), PatternAt(x * step, y * step))
                        << width << " x " << height << ", level " << i << " (" << x << ", " << y
                        << ")";
                }
            }
        }
    }
}

TEST(M8RoundTrip, WritesTheEncodedBytesAndReadsBackPictureAndPalette) {
    ScratchDir dir;
    const std::string path = dir.File("picture.m8");
    const IndexedImage image = Patterned(37, 21);
    const std::vector<std::uint8_t> before = test::PixelsOf(image);
    const Palette palette = Ramp();

    ASSERT_TRUE(test::WriteM8File(image, palette, path));
    EXPECT_EQ(test::PixelsOf(image), before);
    EXPECT_EQ(ReadAll(path), *WriteM8(image, palette));

    const auto read = test::ReadM8ImageFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width, 37);
    EXPECT_EQ(read->height, 21);
    EXPECT_EQ(test::PixelsOf(*read), before);
    Palette readPalette{};
    ASSERT_TRUE(test::ReadM8PaletteFile(readPalette, path));
    EXPECT_EQ(readPalette, palette);
    // Nothing but the file itself is left in the directory.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(M8Read, TakesLevel0FromRightAfterTheHeaderWhateverTheOffsetSays) {
    const auto bytes = M8Bytes().Size(2, 2).Set(164, 2000).Pixels(4, 10).Bytes();
    const auto image = ReadM8Image(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(test::PixelsOf(*image), (std::vector<std::uint8_t>{10, 11, 12, 13}));
}

using test::ReadCase;

class M8ReadCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(M8ReadCases, GivesAPictureOnlyWhenTheHeaderFitsTheFile) {
    const ReadCase& c = GetParam();
    ReadError error = ReadError::OutOfMemory;
    const auto image = ReadM8Image(c.bytes, &error);
    test::ExpectReadCase(c, image, error);
}

// The cases shared with .wal are in MipHeaderTest.cpp; these are the version field's.
INSTANTIATE_TEST_SUITE_P(
    M8Versions, M8ReadCases,
    ::testing::Values(ReadCase{"other version", M8Bytes().Set(0, 7).Size(1, 1).Pixels(1).Bytes(),
                               true, ReadError::None, 1, 1},
                      ReadCase{"older layout", M8Bytes().Set(0, 1).Size(1, 1).Pixels(1).Bytes(),
                               false, ReadError::Unsupported, 0, 0}));

TEST(M8Palette, ReadsThePaletteFieldOfAWholeHeaderAndRefusesAShortOne) {
    auto bytes = M8Bytes().Bytes();
    for (std::size_t i = 0; i < 768; ++i) {
        bytes[260 + i] = static_cast<std::uint8_t>(i + 1);
    }
    Palette palette = Ramp();
    ReadError error = ReadError::None;
    // A file that ends 40 bytes into the palette field.
    EXPECT_FALSE(ReadM8Palette(palette, std::span(bytes).first(300), &error));
    EXPECT_EQ(error, ReadError::Truncated);
    EXPECT_EQ(palette, Ramp());

    ASSERT_TRUE(ReadM8Palette(palette, bytes, &error));
    EXPECT_EQ(error, ReadError::None);
    for (std::size_t i = 0; i < 768; ++i) {
        ASSERT_EQ(palette[i], static_cast<std::uint8_t>(i + 1)) << "byte " << i;
    }
}

TEST(M8Palette, RefusesTheOlderLayoutAndLeavesThePaletteAlone) {
    Palette palette = Ramp();
    auto bytes = M8Bytes().Set(0, 1).Bytes();
    bytes[260] = 99;
    ReadError error = ReadError::None;
    EXPECT_FALSE(ReadM8Palette(palette, bytes, &error));
    EXPECT_EQ(error, ReadError::Unsupported);
    EXPECT_EQ(palette, Ramp());
}

TEST(M8Encode, RefusesSizesTheFormatCannotHold) {
    IndexedImage negative;
    negative.width = -2;
    negative.height = 2;
    EXPECT_FALSE(WriteM8(negative, Ramp()));

    IndexedImage wraps;
    wraps.width = 65536;
    wraps.height = 65536;
    EXPECT_FALSE(WriteM8(wraps, Ramp()));

    IndexedImage noPixels;
    noPixels.width = 3;
    noPixels.height = 3;
    EXPECT_FALSE(WriteM8(noPixels, Ramp()));

    // Level 0 fits a signed 32-bit count but the whole file does not. The buffer is a stand-in:
    // the size must be refused before any pixel is looked at or any file buffer is made.
    IndexedImage tooLong;
    tooLong.width = 46340;
    tooLong.height = 46340;
    ASSERT_TRUE(AllocatePixels(tooLong, 1, 1));
    EXPECT_FALSE(WriteM8(tooLong, Ramp()));
}

} // namespace
} // namespace texelary
