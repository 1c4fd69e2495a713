#include "TestImages.h"
#include "colour/Nearest.h"
#include "colour/NearestColour.h"
#include "colour/Quantize.h"
#include "colour/WalPalette.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace texelary {
namespace {

RgbaImage RandomPicture(std::int32_t width, std::int32_t height, std::mt19937& random) {
    RgbaImage image{width, height, {}};
    std::uniform_int_distribution<int> byte(0, 255);
    image.pixels.resize(4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (auto& value : image.pixels) {
        value = static_cast<std::uint8_t>(byte(random));
    }
    return image;
}

RgbaImage Flat(std::int32_t side, std::array<std::uint8_t, 4> rgba) {
    RgbaImage image{side, side, {}};
    for (std::int32_t i = 0; i < side * side; ++i) {
        image.pixels.insert(image.pixels.end(), rgba.begin(), rgba.end());
    }
    return image;
}

std::array<double, 3> MeanColour(const IndexedImage& image, const Palette& palette) {
    std::array<double, 3> sum{};
    const auto pixels = test::PixelsOf(image);
    for (const std::uint8_t p : pixels) {
        for (std::size_t c = 0; c < 3; ++c) {
            sum[c] += palette[3 * std::size_t{p} + c];
        }
    }
    for (auto& s : sum) {
        s /= static_cast<double>(pixels.size());
    }
    return sum;
}

TEST(MapToPalette, DitheringKeepsTheAverageColourOfAnArea) {
    // Grey 100 lies between the greys 91 and 107 of WalPalette: plain mapping gives 107
    // everywhere, diffusion mixes the two to come out at 100 on average.
    const RgbaImage grey = Flat(64, {100, 100, 100, 255});
    const auto plain = MapToPalette(grey, WalPalette);
    const auto dithered = MapToPalette(grey, WalPalette, {true, std::nullopt});
    ASSERT_TRUE(plain && dithered);
    EXPECT_DOUBLE_EQ(MeanColour(*plain, WalPalette)[0], 107.0);
    for (const double mean : MeanColour(*dithered, WalPalette)) {
        EXPECT_NEAR(mean, 100.0, 0.5);
    }
    // A colour the palette has exactly leaves no error to spread.
    const RgbaImage exact = Flat(16, {99, 75, 35, 255});
    EXPECT_EQ(test::PixelsOf(*MapToPalette(exact, WalPalette, {true, std::nullopt})),
              std::vector<std::uint8_t>(256, 16));
}

TEST(MapToPalette, TransparentPixelsTakeTheIndexAndPassOnNoError) {
    RgbaImage image = Flat(8, {99, 75, 35, 255}); // exactly entry 16 of WalPalette
    const std::array<std::uint8_t, 4> clearMagenta{255, 0, 255, 127}; // less than half opaque
    std::copy(clearMagenta.begin(), clearMagenta.end(), image.pixels.begin());
    for (const bool dither : {false, true}) {
        const auto mapped = MapToPalette(image, WalPalette, {dither, std::uint8_t{255}});
        ASSERT_TRUE(mapped);
        std::vector<std::uint8_t> expected(64, 16);
        expected[0] = 255;
        EXPECT_EQ(test::PixelsOf(*mapped), expected) << dither;
    }
}

TEST(QuantizeToOwnPalette, KeepsAPictureOfFewColoursExactly) {
    std::mt19937 random(5);
    RgbaImage image = RandomPicture(20, 20, random);
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] &= 0xf0; // 16 x 16 colours: at most 256
        image.pixels[i + 1] = image.pixels[i + 1] & 0xf0;
        image.pixels[i + 2] = 7;
        image.pixels[i + 3] = 255;
    }
    Palette palette{};
    const auto result = QuantizeToOwnPalette(image, palette);
    ASSERT_TRUE(result);
    for (std::size_t i = 0; i < test::PixelsOf(*result).size(); ++i) {
        const std::size_t entry = 3 * std::size_t{result->pixels[i]};
        ASSERT_EQ(palette[entry], image.pixels[4 * i]) << i;
        ASSERT_EQ(palette[entry + 1], image.pixels[4 * i + 1]) << i;
        ASSERT_EQ(palette[entry + 2], 7) << i;
    }
    EXPECT_EQ(result->pixels[0], 0); // colours in the order they first appear
}

TEST(QuantizeToOwnPalette, GivesManyColoursAPaletteThatFitsThem) {
    if (!TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built without libimagequant";
    }
    RgbaImage gradient{64, 64, {}};
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            gradient.pixels.insert(gradient.pixels.end(),
                                   {static_cast<std::uint8_t>(x * 4),
                                    static_cast<std::uint8_t>(y * 4),
                                    static_cast<std::uint8_t>(255 - x * 2), 255});
        }
    }
    Palette plainPalette{};
    Palette ditheredPalette{};
    const auto plain = QuantizeToOwnPalette(gradient, plainPalette);
    const auto dithered = QuantizeToOwnPalette(gradient, ditheredPalette, {true, std::nullopt});
    ASSERT_TRUE(plain && dithered);
    double error = 0;
    for (std::size_t i = 0; i < 64 * 64; ++i) {
        // Each pixel takes the nearest colour of the palette it was given.
        const std::uint8_t* p = &gradient.pixels[4 * i];
        ASSERT_EQ(plain->pixels[i],
                  NearestEntry(plainPalette, p[0], p[1], p[2], Measure::AbsoluteDifferences));
        for (std::size_t c = 0; c < 3; ++c) {
            error += std::abs(plainPalette[3 * std::size_t{plain->pixels[i]} + c] -
                              gradient.pixels[4 * i + c]);
        }
    }
    EXPECT_LT(error / (64 * 64 * 3), 5.0); // 4096 colours in 256: a few levels off at most
    EXPECT_GT(std::set<std::uint8_t>(plain->pixels.get(), plain->pixels.get() + 4096).size(), 200u);
    EXPECT_NE(test::PixelsOf(*plain), test::PixelsOf(*dithered));
}

TEST(QuantizeToOwnPalette, TransparentPixelsAloneTakeTheTransparentIndex) {
    std::mt19937 random(9);
    // 255 colours (kept exactly), many colours, and many colours on a picture large enough for
    // the palette to be learnt from a grid of every other pixel, which is all transparent here.
    for (const int kind : {0, 1, 2}) {
        if (kind != 0 && !TEXELARY_HAVE_LIBIMAGEQUANT) {
            continue; // LeftOutLibrariesTest.cpp
        }
        const std::int32_t side = kind == 2 ? 130 : 40;
        RgbaImage image = RandomPicture(side, side, random); // random alpha: half transparent
        for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
            if (kind == 0) {
                image.pixels[i] = image.pixels[i + 1] = image.pixels[i + 2] =
                    static_cast<std::uint8_t>(i % 255);
            } else if (kind == 2) {
                image.pixels[i + 3] = i / 4 % 2 == 0 ? 0 : 255;
            }
        }
        Palette palette{};
        palette.fill(1);
        const auto result = QuantizeToOwnPalette(image, palette, {false, std::uint8_t{255}});
        ASSERT_TRUE(result);
        for (std::size_t i = 0; i < test::PixelsOf(*result).size(); ++i) {
            ASSERT_EQ(result->pixels[i] == 255, image.pixels[4 * i + 3] < 128) << kind << i;
        }
        EXPECT_EQ(palette[765] + palette[766] + palette[767], 0);
    }
    RgbaImage clear = Flat(4, {1, 2, 3, 0});
    Palette palette{};
    EXPECT_EQ(test::PixelsOf(*QuantizeToOwnPalette(clear, palette, {false, std::uint8_t{255}})),
              std::vector<std::uint8_t>(16, 255));
}

// A texture of some 640 colours: soft shading over the whole picture, and 60 vivid colours
// each on a single pixel, which a palette learnt from a sample of the pixels misses.
RgbaImage Speckled() {
    constexpr std::int32_t Side = 96;
    RgbaImage image{Side, Side, {}};
    for (std::int32_t y = 0; y < Side; ++y) {
        for (std::int32_t x = 0; x < Side; ++x) {
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(60 + x / 4),
                                 static_cast<std::uint8_t>(80 + y / 4),
                                 static_cast<std::uint8_t>(100 + (x + y) / 8), 255});
        }
    }
    std::mt19937 random(3);
    std::uniform_int_distribution<int> position(0, Side * Side - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 60; ++i) {
        const auto at = 4 * static_cast<std::size_t>(position(random));
        for (std::size_t c = 0; c < 3; ++c) {
            image.pixels[at + c] = static_cast<std::uint8_t>(byte(random));
        }
    }
    return image;
}

// The picture turned a quarter to the right: the pixel at (x, y) goes to (height - 1 - y, x).
RgbaImage Turned(const RgbaImage& image) {
    RgbaImage turned{image.height, image.width, std::vector<std::uint8_t>(image.pixels.size())};
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const auto from = 4 * static_cast<std::size_t>(y * image.width + x);
            const auto to = 4 * static_cast<std::size_t>(x * turned.width + image.height - 1 - y);
            std::copy_n(&image.pixels[from], 4, &turned.pixels[to]);
        }
    }
    return turned;
}

std::multiset<std::array<std::uint8_t, 3>> EntriesOf(const Palette& palette) {
    std::multiset<std::array<std::uint8_t, 3>> entries;
    for (std::size_t k = 0; k < 256; ++k) {
        entries.insert({palette[3 * k], palette[3 * k + 1], palette[3 * k + 2]});
    }
    return entries;
}

TEST(QuantizeToOwnPalette, APictureTurnedOrMirroredGetsTheSamePalette) {
    if (!TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built without libimagequant";
    }
    const RgbaImage image = Speckled();
    RgbaImage mirrored = image;
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const auto from = 4 * static_cast<std::size_t>(y * image.width + x);
            const auto to = 4 * static_cast<std::size_t>(y * image.width + image.width - 1 - x);
            std::copy_n(&image.pixels[from], 4, &mirrored.pixels[to]);
        }
    }
    Palette palette{};
    ASSERT_TRUE(QuantizeToOwnPalette(image, palette));
    for (const RgbaImage& other : {Turned(image), Turned(Turned(image)), mirrored}) {
        Palette otherPalette{};
        ASSERT_TRUE(QuantizeToOwnPalette(other, otherPalette));
        EXPECT_EQ(EntriesOf(otherPalette), EntriesOf(palette));
    }
}

TEST(QuantizeToOwnPalette, KeepsRareColoursOfAPictureOfAFewHundredColours) {
    if (!TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built without libimagequant";
    }
    const RgbaImage image = Speckled();
    Palette palette{};
    const auto result = QuantizeToOwnPalette(image, palette);
    ASSERT_TRUE(result);
    double squares = 0;
    double worst = 0;
    for (std::size_t i = 0; i < test::PixelsOf(*result).size(); ++i) {
        double pixelSquares = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const double difference =
                palette[3 * std::size_t{result->pixels[i]} + c] - image.pixels[4 * i + c];
            pixelSquares += difference * difference;
        }
        squares += pixelSquares;
        worst = std::max(worst, pixelSquares);
    }
    const double psnr =
        10 * std::log10(255.0 * 255.0 * 3 * static_cast<double>(result->width * result->height) /
                        squares);
    EXPECT_GT(psnr, 48.0) << worst;
    EXPECT_LT(worst, 3 * 20 * 20) << psnr; // no single pixel's colour far off
}

TEST(QuantizeToOwnPalette, GivesEveryEntryAColourWhenThePictureHasMoreColours) {
    if (!TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built without libimagequant";
    }
    // 100 colours far apart, each with two neighbours one and two levels off in blue: 300
    // colours, of which libimagequant alone leaves some entries unused or doubled.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 254);
    RgbaImage image{60, 60, {}};
    std::vector<std::array<std::uint8_t, 3>> bases(100);
    for (auto& base : bases) {
        base = {static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                static_cast<std::uint8_t>(byte(random) / 2 * 2)};
    }
    for (std::size_t i = 0; i < 3600; ++i) {
        const auto& base = bases[i % 100];
        image.pixels.insert(
            image.pixels.end(),
            {base[0], base[1], static_cast<std::uint8_t>(base[2] + i / 100 % 3), 255});
    }
    Palette palette{};
    ASSERT_TRUE(QuantizeToOwnPalette(image, palette));
    std::set<std::array<std::uint8_t, 3>> distinct;
    for (std::size_t k = 0; k < 256; ++k) {
        distinct.insert({palette[3 * k], palette[3 * k + 1], palette[3 * k + 2]});
    }
    EXPECT_EQ(distinct.size(), 256u);
}

TEST(ExpandToRgba, GivesEachPixelItsEntrysColourAndOpacity) {
    const IndexedImage image = test::MakePicture(
        3, 1, [](std::int32_t x, std::int32_t) { return static_cast<std::uint8_t>(x * 100); });
    Palette palette{};
    palette[300] = 7;
    palette[602] = 9;
    std::array<std::uint8_t, 256> alpha{};
    alpha.fill(255);
    alpha[100] = 3;
    const auto rgba = ExpandToRgba(image, palette, alpha);
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->pixels, (std::vector<std::uint8_t>{0, 0, 0, 255, 7, 0, 0, 3, 0, 0, 9, 255}));
}

} // namespace
} // namespace texelary
