#include "image/IndexedImage.h"

#include "TestImages.h"

#include <gtest/gtest.h>
#include <vector>

namespace texelary {
namespace {

IndexedImage MakeImage(std::int32_t width, std::int32_t height) {
    return test::MakePicture(width, height, [width](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(y * width + x + 1);
    });
}

TEST(IndexedImage, AllocateKeepsAnExistingBufferWhateverTheSize) {
    IndexedImage image = MakeImage(2, 2);
    const std::uint8_t* buffer = image.pixels.get();
    EXPECT_TRUE(AllocatePixels(image, 100, 100));
    EXPECT_EQ(image.pixels.get(), buffer);
}

TEST(IndexedImage, ZeroSizedAllocationLeavesAnEmptyBuffer) {
    IndexedImage wide;
    EXPECT_TRUE(AllocatePixels(wide, 0, 5));
    EXPECT_TRUE(wide.pixels);
    IndexedImage tall;
    EXPECT_TRUE(AllocatePixels(tall, 5, 0));
    EXPECT_TRUE(tall.pixels);
}

TEST(IndexedImage, RefusesSizesThatCannotBeHeld) {
    IndexedImage image;
    EXPECT_FALSE(AllocatePixels(image, -1, 4));
    EXPECT_FALSE(AllocatePixels(image, 4, -1));
    EXPECT_FALSE(AllocatePixels(image, 65536, 65536)); // 2^32: does not fit 32 bits
    EXPECT_FALSE(image.pixels);
    EXPECT_TRUE(PixelCount(46340, 46340).has_value());
    EXPECT_FALSE(PixelCount(46341, 46341).has_value());
}

TEST(IndexedImage, FreeTwiceIsHarmlessAndAllowsAFreshBuffer) {
    IndexedImage image = MakeImage(3, 3);
    FreePixels(image);
    EXPECT_FALSE(image.pixels);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 3);
    FreePixels(image);
    EXPECT_TRUE(AllocatePixels(image, 3, 3));
    EXPECT_TRUE(image.pixels);
}

} // namespace
} // namespace texelary
