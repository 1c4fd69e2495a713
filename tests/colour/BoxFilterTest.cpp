// Averaged mip levels: the nearest-colour rule, the sizes of the chain, and whole levels checked
// against averages that the test works out by itself.

#include "colour/BoxFilter.h"

#include "FormatFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "colour/Nearest.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

using Pixels = std::vector<std::uint8_t>;

std::int32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes.at(offset)) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24));
}

// The level below a w x h level, worked out pixel by pixel from the rule: the block's colours
// summed channel by channel, divided by the block's size and rounded down, the nearest entry.
Pixels LevelBelow(const Pixels& above, int w, int h, const Palette& palette) {
    const int bw = w > 1 ? 2 : 1;
    const int bh = h > 1 ? 2 : 1;
    Pixels below;
    for (int y = 0; y < (h > 1 ? h / 2 : 1); ++y) {
        for (int x = 0; x < (w > 1 ? w / 2 : 1); ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < bh; ++dy) {
                for (int dx = 0; dx < bw; ++dx) {
                    const int index =
                        above[static_cast<std::size_t>((y * bh + dy) * w + x * bw + dx)];
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += palette[static_cast<std::size_t>(3 * index + c)];
                    }
                }
            }
            const auto mean = [&](int c) { return static_cast<std::uint8_t>(sum[c] / (bw * bh)); };
            below.push_back(NearestEntry(palette, mean(0), mean(1), mean(2), Measure::Squares));
        }
    }
    return below;
}

Pixels LevelOf(const std::vector<std::uint8_t>& file, std::int32_t offset, std::int32_t count) {
    return {file.begin() + offset, file.begin() + offset + count};
}

Palette RandomPalette(unsigned seed) {
    Palette palette{};
    for (auto& byte : palette) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    return palette;
}

IndexedImage Noise(std::int32_t width, std::int32_t height) {
    return test::MakePicture(width, height, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>((x * 37 + y * 91 + x * y * 7) % 256);
    });
}

TEST(NearestBySquares, UsesSquaredDistanceAndTheLowestIndexOnTies) {
    Palette palette{};
    const auto set = [&](std::size_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        palette[3 * i] = r;
        palette[3 * i + 1] = g;
        palette[3 * i + 2] = b;
    };
    for (std::size_t i = 0; i < 256; ++i) {
        set(i, 255, 0, 255); // far from everything asked below
    }
    set(1, 100, 100, 130); // |d| sum 30, squared 900
    set(2, 110, 110, 110); // |d| sum 30, squared 300: nearer by squares
    set(3, 50, 50, 50);
    set(4, 50, 50, 50); // the same colour again: never chosen
    set(5, 60, 50, 50);
    set(6, 40, 50, 50);
    NearestBySquares nearest(palette);
    EXPECT_EQ(nearest.Find(100, 100, 100), 2);
    EXPECT_EQ(nearest.Find(50, 50, 50), 3);
    EXPECT_EQ(nearest.Canonical(4), 3);
    EXPECT_EQ(nearest.Find(55, 50, 50), 3);    // 3 and 5 both at 25: the lower index
    EXPECT_EQ(nearest.Find(45, 50, 50), 3);    // 3 and 6 both at 25
    EXPECT_EQ(nearest.Find(100, 100, 100), 2); // asked again: the remembered answer
}

TEST(NearestBySquares, ThePerThreadSearchFollowsThePalette) {
    Palette dark{};
    Palette light{};
    light.fill(255);
    light[3 * 7] = light[3 * 7 + 1] = light[3 * 7 + 2] = 10; // only entry 7 is dark
    EXPECT_EQ(NearestBySquares::For(dark).Find(10, 10, 10), 0);
    EXPECT_EQ(NearestBySquares::For(light).Find(10, 10, 10), 7);
    EXPECT_EQ(NearestBySquares::For(dark).Find(10, 10, 10), 0);
}

TEST(AverageLevel, RoundsEachChannelDown) {
    Palette palette{};
    const auto grey = [&](std::size_t i, std::uint8_t level) {
        palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = level;
    };
    grey(1, 255);
    grey(2, 127); // what black and white average to
    grey(3, 128); // the same rounded to nearest
    grey(4, 127); // entry 2 again
    // 6 x 2: the blocks {0, 1, 1, 0}, {1, 1, 0, 1} and {4, 4, 4, 4}.
    const Pixels above = {0, 1, 1, 1, 4, 4, 1, 0, 0, 1, 4, 4};
    NearestBySquares nearest(palette);
    Pixels below(3);
    AverageLevelInto(below.data(), PixelView{6, 2, 6, above.data()}, nearest);
    // (0 + 255 + 255 + 0) / 4 = 127; (3 x 255 + 0) / 4 = 191, nearest 128; a block of entry 4
    // is entry 4's colour, first held by entry 2.
    EXPECT_EQ(below, (Pixels{2, 3, 2}));
}

// Level sizes (width, height) of an averaged .m8 chain and the pixels of every level.
struct ChainCase {
    std::int32_t width, height;
    std::vector<std::pair<std::int32_t, std::int32_t>> levels; // the rest are 0 x 0
};

class M8Averaged : public ::testing::TestWithParam<ChainCase> {};

TEST_P(M8Averaged, EachLevelAveragesTheOneAboveInTheFilesOwnPalette) {
    const ChainCase& c = GetParam();
    const IndexedImage image = Noise(c.width, c.height);
    const Palette palette = RandomPalette(static_cast<unsigned>(c.width * 1000 + c.height));
    const auto file = WriteM8(image, palette, WriteOptions{MipFilter::Box, std::nullopt});
    ASSERT_TRUE(file);
    Pixels expected = test::PixelsOf(image);
    std::int32_t position = 1040;
    for (std::size_t i = 0; i < 16; ++i) {
        const auto [w, h] = i < c.levels.size() ? c.levels[i] : std::pair{0, 0};
        EXPECT_EQ(Le32(*file, 36 + 4 * i), w) << "level " << i;
        EXPECT_EQ(Le32(*file, 100 + 4 * i), h) << "level " << i;
        EXPECT_EQ(Le32(*file, 164 + 4 * i), w * h != 0 ? position : 0) << "level " << i;
        if (w * h == 0) {
            continue;
        }
        if (i > 0) {
            const auto [aw, ah] = c.levels[i - 1];
            expected = LevelBelow(expected, aw, ah, palette);
        }
        EXPECT_EQ(LevelOf(*file, position, w * h), expected) << "level " << i;
        position += w * h;
    }
    EXPECT_EQ(file->size(), static_cast<std::size_t>(position));
}

INSTANTIATE_TEST_SUITE_P(
    Chains, M8Averaged,
    ::testing::Values(
        ChainCase{8, 8, {{8, 8}, {4, 4}, {2, 2}, {1, 1}}},
        // A narrow picture keeps its width at 1 while the height halves.
        ChainCase{4, 16, {{4, 16}, {2, 8}, {1, 4}, {1, 2}, {1, 1}}},
        ChainCase{32, 128, {{32, 128}, {16, 64}, {8, 32}, {4, 16}, {2, 8}, {1, 4}, {1, 2}, {1, 1}}},
        ChainCase{7, 3, {{7, 3}, {3, 1}, {1, 1}}}, ChainCase{1, 1, {{1, 1}}}));

TEST(WalAveraged, EachLevelAveragesTheOneAboveInTheFixedPalette) {
    for (const auto& [width, height] : {std::pair{16, 16}, std::pair{4, 32}}) {
        IndexedImage image = Noise(width, height); // already WalPalette indices
        const auto file = WriteWal(image, WalPalette, WriteOptions{MipFilter::Box, std::nullopt});
        ASSERT_TRUE(file);
        Pixels expected = test::PixelsOf(image);
        std::int32_t w = width;
        std::int32_t h = height;
        for (std::size_t i = 1; i < 4; ++i) {
            const std::int32_t offset = Le32(*file, 40 + 4 * i);
            if (w / 2 == 0 || h / 2 == 0) { // the format's sizes: no level below a side of 1
                EXPECT_EQ(offset, 0) << width << " x " << height << ", level " << i;
                continue;
            }
            expected = LevelBelow(expected, w, h, WalPalette);
            w /= 2;
            h /= 2;
            EXPECT_EQ(LevelOf(*file, offset, w * h), expected)
                << width << " x " << height << ", level " << i;
        }
    }
}

TEST(WalAveraged, AveragesTheRemappedPicture) {
    test::ScratchDir dir;
    IndexedImage image = Noise(8, 8);
    ASSERT_TRUE(
        test::WriteWalFile(image, RandomPalette(7), dir.File("a.wal"), {MipFilter::Box, {}}));
    RemapToPalette(test::PixelSpan(image), WalPalette, RandomPalette(7)); // level 0 as written
    const auto file = test::ReadAll(dir.Path() / "a.wal");
    EXPECT_EQ(LevelOf(file, 164, 16), LevelBelow(test::PixelsOf(image), 8, 8, WalPalette));
}

} // namespace
} // namespace texelary
