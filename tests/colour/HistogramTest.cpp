#include "colour/Histogram.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

namespace texelary {
namespace {

// A picture whose pixel number `p` (row by row) has the colour and alpha `pixel(p)` gives.
RgbaImage Picture(std::int32_t width, std::int32_t height,
                  const std::function<std::array<std::uint8_t, 4>(std::size_t)>& pixel) {
    RgbaImage image{width, height, {}};
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    image.pixels.reserve(4 * count);
    for (std::size_t p = 0; p < count; ++p) {
        const auto rgba = pixel(p);
        image.pixels.insert(image.pixels.end(), rgba.begin(), rgba.end());
    }
    return image;
}

// Colour number `n` of up to 2^24 distinct ones, scattered over the cube (an odd multiplier is
// one to one modulo 2^24).
std::array<std::uint8_t, 4> Numbered(std::size_t n, std::uint8_t alpha = 255) {
    const auto colour = static_cast<std::uint32_t>(n * 0x9E3779B1u) & 0xFFFFFFu;
    return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
            static_cast<std::uint8_t>(colour), alpha};
}

// The bits of red, green and blue interleaved, highest first.
std::uint32_t Interleaved(std::uint32_t colour) {
    std::uint32_t key = 0;
    for (int bit = 7; bit >= 0; --bit) {
        for (const int channel : {16, 8, 0}) {
            key = (key << 1) | ((colour >> (channel + bit)) & 1u);
        }
    }
    return key;
}

struct Expected {
    Histogram histogram;
    int level = 0;
};

// The learned histogram the simple way: every pixel's colour sorted at once, then the smallest
// cubes of at most `limit`, each its rounded mean colour.
Expected Straightforward(const RgbaImage& image, const TrueColourOptions& options,
                         std::size_t limit = LearnedColours) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keyed; // key, colour
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        if (!options.transparentIndex || image.pixels[i + 3] >= 128) {
            const std::uint32_t colour = (std::uint32_t{image.pixels[i]} << 16) |
                                         (std::uint32_t{image.pixels[i + 1]} << 8) |
                                         image.pixels[i + 2];
            keyed.emplace_back(Interleaved(colour), colour);
        }
    }
    std::sort(keyed.begin(), keyed.end());
    for (int level = 0; level < 8; ++level) {
        Expected expected{{}, level};
        std::array<std::uint64_t, 3> sums{};
        std::uint64_t pixels = 0;
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            for (std::size_t c = 0; c < 3; ++c) {
                sums[c] += (keyed[i].second >> (16 - 8 * c)) & 0xFF;
            }
            ++pixels;
            if (i + 1 == keyed.size() ||
                (keyed[i + 1].first >> (3 * level)) != (keyed[i].first >> (3 * level))) {
                std::uint32_t mean = 0;
                for (std::size_t c = 0; c < 3; ++c) {
                    mean =
                        (mean << 8) | static_cast<std::uint32_t>((sums[c] + pixels / 2) / pixels);
                }
                expected.histogram.colours.push_back(mean);
                expected.histogram.counts.push_back(static_cast<std::uint32_t>(pixels));
                sums = {};
                pixels = 0;
            }
        }
        if (expected.histogram.colours.size() <= limit) {
            return expected;
        }
    }
    return {};
}

// Pictures of more pixels than are counted at a time (2^18), so counted in strips.
struct StripsCase {
    const char* name;
    std::int32_t width;
    std::int32_t height;
    std::function<std::array<std::uint8_t, 4>(std::size_t)> pixel;
    std::optional<std::uint8_t> transparentIndex;
    int level; // of the cubes learnt from, which says what the case reaches
};

TEST(LearnedHistogram, IsTheHistogramOfAllPixelsAtOnceWhateverTheStrips) {
    constexpr std::size_t Strip = std::size_t{1} << 18;
    const StripsCase cases[] = {
        // Every strip's colours come again in the others, with other counts; some 2.7 strips.
        // Colours in pairs one level of blue apart, which cubes would make one.
        {"FewColoursOverManyStrips", 1000, 700,
         [](std::size_t p) {
             const std::size_t n = p % 7919 % 5000;
             auto rgba = Numbered(n / 2);
             rgba[2] = static_cast<std::uint8_t>(rgba[2] ^ (n % 2));
             return rgba;
         },
         std::nullopt, 0},
        // 3,000 colours in each of four strips, 12,000 in all: cubes only at the end.
        {"FewInEachStripManyInAll", 1024, 1024,
         [&](std::size_t p) { return Numbered(p % 3000 + p / Strip * 3000); }, std::nullopt, 4},
        // 20,000 colours in each of eight strips: more than are held after the fourth.
        {"PastTheHeldCubesOverStrips", 1024, 2048,
         [&](std::size_t p) { return Numbered(p % 20000 + p / Strip * 20000); }, std::nullopt, 4},
        // Every pixel a colour of its own: one strip alone has more than are held.
        {"PastTheHeldCubesInOneStrip", 1024, 640, [](std::size_t p) { return Numbered(p); },
         std::nullopt, 4},
        // Every third pixel transparent and left out, the others of 40,000 colours.
        {"TransparentPixelsLeftOut", 1024, 600,
         [](std::size_t p) { return Numbered(p % 40000, p % 3 == 0 ? 0 : 255); }, std::uint8_t{255},
         4},
    };
    for (const StripsCase& row : cases) {
        const RgbaImage image = Picture(row.width, row.height, row.pixel);
        ASSERT_GT(image.pixels.size() / 4, Strip) << row.name;
        const TrueColourOptions options{false, row.transparentIndex};
        const Expected expected = Straightforward(image, options);
        EXPECT_EQ(expected.level, row.level) << row.name;
        const Histogram histogram = LearnedHistogram(image, options);
        EXPECT_EQ(histogram.colours, expected.histogram.colours) << row.name;
        EXPECT_EQ(histogram.counts, expected.histogram.counts) << row.name;
    }
}

TEST(SmallestCubes, AreThoseOfThePicturesColoursForAnyLimit) {
    // 6,000 colours in one strip: learned exactly, then brought down to fewer.
    const RgbaImage image = Picture(256, 256, [](std::size_t p) { return Numbered(p % 6000); });
    const Histogram exact = LearnedHistogram(image, {});
    ASSERT_EQ(exact.colours.size(), 6000u);
    for (const auto& [limit, level] :
         {std::pair{std::size_t{6000}, 0}, std::pair{std::size_t{4096}, 4},
          std::pair{std::size_t{300}, 6}}) {
        const Expected expected = Straightforward(image, {}, limit);
        EXPECT_EQ(expected.level, level) << limit;
        const Histogram cubes = SmallestCubes(exact, limit);
        EXPECT_EQ(cubes.colours, expected.histogram.colours) << limit;
        EXPECT_EQ(cubes.counts, expected.histogram.counts) << limit;
    }
}

} // namespace
} // namespace texelary
