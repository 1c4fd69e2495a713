#include "formats/mips/WalFormat.h"

#include "FormatFiles.h"
#include "MipBytes.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "colour/WalPalette.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::DataPath;
using test::Le32;
using test::MipBytes;
using test::PatternAt;
using test::Patterned;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

constexpr std::size_t kHeaderSize = 100;

std::vector<std::int32_t> Offsets(const std::vector<std::uint8_t>& file) {
    return {Le32(file, 40), Le32(file, 44), Le32(file, 48), Le32(file, 52)};
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t length) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + length)};
}

// Entry i is (i, 255 - i, i / 2): a palette unlike WalPalette, so the remap changes pixels.
Palette Gradient() {
    Palette palette{};
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(i);
        palette[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        palette[3 * i + 2] = static_cast<std::uint8_t>(i / 2);
    }
    return palette;
}

MipBytes WalBytes() {
    return MipBytes(test::kWalShape);
}

struct LayoutCase {
    std::int32_t width, height;
    std::vector<std::int32_t> offsets;
    std::size_t fileSize;
};

class WalLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(WalLayout, ListsFourLevelsAndEndsWithTheLastOne) {
    const LayoutCase& c = GetParam();
    const auto file = WriteWal(Patterned(c.width, c.height), WalPalette);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), c.fileSize);
    EXPECT_EQ(Le32(*file, 32), c.width);
    EXPECT_EQ(Le32(*file, 36), c.height);
    EXPECT_EQ(Offsets(*file), c.offsets);
}

INSTANTIATE_TEST_SUITE_P(WalSizes, WalLayout,
                         ::testing::Values(LayoutCase{64, 64, {100, 4196, 5220, 5476}, 5540},
                                           LayoutCase{256, 64, {100, 16484, 20580, 21604}, 21860},
                                           LayoutCase{4, 4, {100, 116, 120, 0}, 121},
                                           LayoutCase{1, 1, {100, 0, 0, 0}, 101},
                                           LayoutCase{0, 0, {0, 0, 0, 0}, 100},
                                           LayoutCase{9, 0, {0, 0, 0, 0}, 100},
                                           LayoutCase{0, 9, {0, 0, 0, 0}, 100}));

TEST(WalHeader, LeavesNamesAndWordsEmpty) {
    const auto file = WriteWal(Patterned(8, 4), WalPalette);
    ASSERT_TRUE(file);
    EXPECT_EQ(Slice(*file, 0, 32), std::vector<std::uint8_t>(32, 0));
    EXPECT_EQ(Slice(*file, 56, 32), std::vector<std::uint8_t>(32, 0));
    EXPECT_EQ(Le32(*file, 88), 0);
    EXPECT_EQ(Le32(*file, 92), 0);
    EXPECT_EQ(Le32(*file, 96), 0);
}

TEST(WalLevels, EachLevelHoldsTheTopLeftPixelOfItsBlock) {
    for (const auto& [width, height] : {std::pair{100, 60}, std::pair{37, 19}}) {
        IndexedImage image = Patterned(width, height);
        const auto file = WriteWal(image, WalPalette);
        ASSERT_TRUE(file);
        EXPECT_EQ(Slice(*file, kHeaderSize, static_cast<std::size_t>(width * height)),
                  test::PixelsOf(image));
        const auto offsets = Offsets(*file);
        for (std::size_t i = 1; i < 4; ++i) {
            const int step = 1 << i;
            const std::int32_t levelWidth = width / step;
            const std::int32_t levelHeight = height / step;
            ASSERT_NE(offsets[i], 0);
            for (std::int32_t y = 0; y < levelHeight; ++y) {
                for (std::int32_t x = 0; x < levelWidth; ++x) {
                    const auto at = static_cast<std::size_t>(offsets[i] + y * levelWidth + x);
                    ASSERT_EQ(file->at(at), PatternAt(x * step, y * step))
                        << width << " x " << height << ", level " << i << " (" << x << ", " << y
                        << ")";
                }
            }
        }
    }
}

TEST(WalWrite, WritesEveryLevelFromTheRemappedPixelsAndLeavesThePictureAlone) {
    ScratchDir dir;
    const std::string path = dir.File("picture.wal");
    IndexedImage image = Patterned(40, 24);
    const Palette palette = Gradient();

    IndexedImage expected = Patterned(40, 24);
    RemapToPalette(test::PixelSpan(expected), WalPalette, palette);
    ASSERT_NE(test::PixelsOf(expected),
              test::PixelsOf(image)); // the remap does change this picture

    const std::vector<std::uint8_t> before = test::PixelsOf(image);
    ASSERT_TRUE(test::WriteWalFile(image, palette, path));
    EXPECT_EQ(test::PixelsOf(image), before);
    EXPECT_EQ(ReadAll(path), *WriteWal(expected, WalPalette));

    const auto read = test::ReadWalImageFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width, 40);
    EXPECT_EQ(read->height, 24);
    EXPECT_EQ(test::PixelsOf(*read), test::PixelsOf(expected));
    Palette readPalette{};
    EXPECT_TRUE(ReadWalPalette(readPalette));
    EXPECT_EQ(readPalette, WalPalette);
}

// The .wal palette repeats nine of its colours (94 is 29, 127 is 0, ...): a picture on it keeps
// every index, both of each repeated colour included, so that textures go round trips unchanged.
TEST(WalWrite, WalToWalKeepsEveryIndexTheRepeatedColoursIncluded) {
    IndexedImage image = test::MakePicture(16, 16, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(16 * y + x);
    });
    ASSERT_EQ(WalPalette[3 * 94 + 1], WalPalette[3 * 29 + 1]);
    const auto file = WriteWal(image, WalPalette);
    ASSERT_TRUE(file);
    EXPECT_EQ(Slice(*file, kHeaderSize, 256), test::PixelsOf(image));
    // Another palette holding the same colours is remapped, to the first of each.
    Palette same = WalPalette;
    std::swap(same[0], same[3]);
    const auto remapped = WriteWal(image, same);
    EXPECT_EQ((*remapped)[kHeaderSize + 94], 29);
}

TEST(WalEncode, RefusesSizesTheFormatCannotHold) {
    IndexedImage negative;
    negative.width = 3;
    negative.height = -3;
    EXPECT_FALSE(WriteWal(negative, WalPalette));

    IndexedImage wraps;
    wraps.width = 65536;
    wraps.height = 65536;
    EXPECT_FALSE(WriteWal(wraps, WalPalette));

    IndexedImage noPixels;
    noPixels.width = 3;
    noPixels.height = 3;
    EXPECT_FALSE(WriteWal(noPixels, WalPalette));

    // Level 0 fits a signed 32-bit count but the whole file does not. The buffer is a stand-in:
    // the size must be refused before any pixel is looked at or any file buffer is made.
    IndexedImage tooLong;
    tooLong.width = 46340;
    tooLong.height = 46340;
    ASSERT_TRUE(AllocatePixels(tooLong, 1, 1));
    EXPECT_FALSE(WriteWal(tooLong, WalPalette));
}

TEST(WalRead, TakesLevel0FromRightAfterTheHeaderWhateverTheOffsetSays) {
    const auto bytes = WalBytes().Size(2, 2).Set(40, 500).Pixels(4, 10).Bytes();
    const auto image = ReadWalImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(test::PixelsOf(*image), (std::vector<std::uint8_t>{10, 11, 12, 13}));
}

// hopper.wal was written by another program: a 128 x 128 picture with level 0 at offset 100.
TEST(WalRealFile, ReadsHopperAndReEncodesItsHeaderAndLevel0) {
    const auto bytes = ReadAll(DataPath("wal/hopper.wal"));
    ASSERT_EQ(bytes.size(), 21860u) << "missing or changed test data wal/hopper.wal";
    const auto image = test::ReadWalImageFile(DataPath("wal/hopper.wal").string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 128);
    EXPECT_EQ(image->height, 128);
    EXPECT_EQ(test::PixelsOf(*image), Slice(bytes, 100, 128 * 128));

    // Its smaller levels were filtered rather than point sampled, so only the header and
    // level 0 can agree with what this program writes.
    const auto encoded = WriteWal(*image, WalPalette);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->size(), bytes.size());
    EXPECT_EQ(Slice(*encoded, 0, 100 + 128 * 128), Slice(bytes, 0, 100 + 128 * 128));
}

} // namespace
} // namespace texelary
