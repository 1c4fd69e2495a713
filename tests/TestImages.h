#pragma once

// Pictures for the tests, and the check shared by the table-driven reader cases.

#include "formats/ReadError.h"
#include "image/IndexedImage.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <span>
#include <vector>

namespace texelary::test {

// Entry i of this palette is (i, 255 - i, 7i): every index its own colour.
inline Palette TestPalette() {
    Palette palette{};
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(i);
        palette[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        palette[3 * i + 2] = static_cast<std::uint8_t>(7 * i);
    }
    return palette;
}

// A width x height picture whose pixel (x, y) is pixel(x, y).
template <typename PixelAt>
IndexedImage MakePicture(std::int32_t width, std::int32_t height, PixelAt pixel) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    EXPECT_TRUE(AllocatePixels(image, width, height));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(x)] = pixel(x, y);
        }
    }
    return image;
}

// A 32-bit TGA of width x height pixels, top row first, pixel(x, y) giving red, green, blue and
// alpha.
template <typename PixelAt>
std::vector<std::uint8_t> MakeTga32(std::int32_t width, std::int32_t height, PixelAt pixel) {
    std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const std::int32_t side : {width, height}) {
        tga.push_back(static_cast<std::uint8_t>(side));
        tga.push_back(static_cast<std::uint8_t>(side >> 8));
    }
    tga.insert(tga.end(), {32, 0x28}); // 8 alpha bits, top row first
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::array<std::uint8_t, 4> rgba = pixel(x, y);
            tga.insert(tga.end(), {rgba[2], rgba[1], rgba[0], rgba[3]});
        }
    }
    return tga;
}

// The pixels of an image with a buffer, to be changed in place.
inline std::span<std::uint8_t> PixelSpan(IndexedImage& image) {
    return {image.pixels.get(),
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)};
}

inline std::vector<std::uint8_t> PixelsOf(const IndexedImage& image) {
    const auto* p = image.pixels.get();
    return {p, p + static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)};
}

// One file given to a reader, and what must come of it.
struct ReadCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool readable;
    ReadError error;
    std::int32_t width, height; // when readable
};

inline void ExpectReadCase(const ReadCase& c, const std::unique_ptr<IndexedImage>& image,
                           ReadError error) {
    EXPECT_EQ(error, c.error) << c.what;
    if (!c.readable) {
        EXPECT_FALSE(image) << c.what;
        return;
    }
    ASSERT_TRUE(image) << c.what;
    EXPECT_EQ(image->width, c.width) << c.what;
    EXPECT_EQ(image->height, c.height) << c.what;
    EXPECT_TRUE(image->pixels) << c.what;
}

} // namespace texelary::test
