#include "image/Resample.h"

#include "TestImages.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace texelary {
namespace {

// A picture whose pixel (x, y) holds y * 16 + x, so a sampled value names its source position.
IndexedImage Numbered(std::int32_t width, std::int32_t height) {
    return test::MakePicture(width, height, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(y * 16 + x);
    });
}

// The rows of a whole picture, its stride its width.
PixelView Rows(const IndexedImage& image) {
    return {image.width, image.height, static_cast<std::size_t>(image.width), image.pixels.get()};
}

// The source scaled into a picture of the scaled size, as a writer builds a level.
IndexedImage Scaled(const PixelView& source, float horizontal, float vertical) {
    IndexedImage target;
    target.width = ScaledSize(source.width, horizontal);
    target.height = ScaledSize(source.height, vertical);
    EXPECT_TRUE(AllocatePixels(target, target.width, target.height));
    Resample(target.pixels.get(), source, horizontal, vertical);
    return target;
}

struct ResampleCase {
    std::int32_t width, height;
    float horizontal, vertical;
    std::int32_t targetWidth, targetHeight;
    std::vector<std::uint8_t> pixels; // as y * 16 + x of the source
};

class ResampleCases : public ::testing::TestWithParam<ResampleCase> {};

TEST_P(ResampleCases, PicksTheTopLeftPixelOfEachBlock) {
    const ResampleCase& c = GetParam();
    const IndexedImage source = Numbered(c.width, c.height);
    const IndexedImage target = Scaled(Rows(source), c.horizontal, c.vertical);
    EXPECT_EQ(target.width, c.targetWidth);
    EXPECT_EQ(target.height, c.targetHeight);
    ASSERT_TRUE(target.pixels);
    EXPECT_EQ(test::PixelsOf(target), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, ResampleCases,
    ::testing::Values(ResampleCase{5, 3, 0.5f, 0.5f, 2, 1, {0x00, 0x02}},
                      ResampleCase{8, 8, 0.125f, 0.125f, 1, 1, {0x00}},
                      ResampleCase{8, 8, 0.0625f, 0.0625f, 0, 0, {}},
                      ResampleCase{1, 1, 0.5f, 0.5f, 0, 0, {}},
                      ResampleCase{256, 64, 1.0f / 128, 1.0f / 128, 2, 0, {}},
                      ResampleCase{6, 4, 0.5f, 0.25f, 3, 1, {0x00, 0x02, 0x04}},
                      ResampleCase{4, 4, 0.5f, 0.5f, 2, 2, {0x00, 0x02, 0x20, 0x22}}));

TEST(Resample, FactorOneCopiesEveryByte) {
    const IndexedImage source = Numbered(13, 11);
    const IndexedImage target = Scaled(Rows(source), 1.0f, 1.0f);
    EXPECT_EQ(test::PixelsOf(target), test::PixelsOf(source));
}

TEST(Resample, ReadsPaddedRowsAtTheirStoredLength) {
    // Two rows of width 3 stored 4 bytes apart; the filler byte (0xEE) must not appear.
    const std::uint8_t stored[] = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
    const IndexedImage target = Scaled(PixelView{3, 2, 4, stored}, 1.0f, 1.0f);
    EXPECT_EQ(test::PixelsOf(target), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Resample, UnusualFactorsStayInsideTheSource) {
    const IndexedImage source = Numbered(3, 3);
    const IndexedImage larger = Scaled(Rows(source), 3.0f, 0.7f);
    EXPECT_EQ(larger.width, 9);
    EXPECT_EQ(larger.height, 2);
    for (std::uint8_t value : test::PixelsOf(larger)) {
        EXPECT_LT(value % 16, 3);
        EXPECT_LT(value / 16, 3);
    }
}

TEST(Resample, LastColumnStaysInsideTheSourceAtAnAwkwardFactor) {
    // The single-precision steps of this factor add up to more than the width before the last
    // target column; the bytes after the row (0xEE) must never be picked.
    constexpr std::int32_t kWidth = 1142;
    std::vector<std::uint8_t> stored(kWidth + 16, 0xEE);
    for (std::int32_t x = 0; x < kWidth; ++x) {
        stored[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x % 200);
    }
    const IndexedImage target =
        Scaled(PixelView{kWidth, 1, stored.size(), stored.data()}, 7.94746494f, 1.0f);
    ASSERT_EQ(target.width, ScaledSize(kWidth, 7.94746494f));
    const std::vector<std::uint8_t> pixels = test::PixelsOf(target);
    EXPECT_EQ(pixels.back(), (kWidth - 1) % 200);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xEE), 0);
}

TEST(Resample, ScaledSizeTruncatesAndNeverGoesNegative) {
    EXPECT_EQ(ScaledSize(100, 0.125f), 12);
    EXPECT_EQ(ScaledSize(7, 0.5f), 3);
    EXPECT_EQ(ScaledSize(5, -1.0f), 0);
    EXPECT_EQ(ScaledSize(65535, 1.0f / 32768), 1);
}

} // namespace
} // namespace texelary
