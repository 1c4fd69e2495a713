#include "colour/Histogram.h"

#include <algorithm>
#include <array>
#include <utility>

namespace texelary {

namespace {

bool Transparent(const std::uint8_t* pixel, const TrueColourOptions& options) {
    return options.transparentIndex && pixel[3] < OpaqueAlpha;
}

// The eight bits of a channel spread to every third bit of 24.
constexpr std::array<std::uint32_t, 256> Spread = [] {
    std::array<std::uint32_t, 256> spread{};
    for (std::uint32_t value = 0; value < 256; ++value) {
        for (int bit = 0; bit < 8; ++bit) {
            spread[value] |= ((value >> bit) & 1u) << (3 * bit);
        }
    }
    return spread;
}();

// The bits of the three channels interleaved, highest first (red, green, blue): in this order the
// colours of each cube of 2^k colours a side that starts at a multiple of 2^k come together.
std::uint32_t CubeOrder(std::uint32_t colour) {
    return (Spread[(colour >> 16) & 0xFF] << 2) | (Spread[(colour >> 8) & 0xFF] << 1) |
           Spread[colour & 0xFF];
}

// Nine bits of a key (three of each channel) gathered back into their channels' places.
constexpr std::array<std::uint32_t, 512> Gathered = [] {
    std::array<std::uint32_t, 512> gathered{};
    for (std::uint32_t value = 0; value < 512; ++value) {
        for (int bit = 0; bit < 3; ++bit) {
            gathered[value] |= ((value >> (3 * bit + 2)) & 1u) << (16 + bit);
            gathered[value] |= ((value >> (3 * bit + 1)) & 1u) << (8 + bit);
            gathered[value] |= ((value >> (3 * bit)) & 1u) << bit;
        }
    }
    return gathered;
}();

std::uint32_t FromCubeOrder(std::uint32_t key) {
    return Gathered[key & 511] | (Gathered[(key >> 9) & 511] << 3) | (Gathered[key >> 18] << 6);
}

// The opaque pixels' colours sorted by a radix sort of two 12-bit digits, then counted.
Histogram Gather(const RgbaImage& image, std::size_t count, const TrueColourOptions& options) {
    std::vector<std::uint32_t> keys;
    keys.reserve(count);
    const std::uint8_t* pixel = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        if (!Transparent(pixel, options)) {
            keys.push_back(CubeOrder((std::uint32_t{pixel[0]} << 16) |
                                     (std::uint32_t{pixel[1]} << 8) | pixel[2]));
        }
    }
    constexpr int DigitBits = 12;
    constexpr std::uint32_t DigitMask = (1u << DigitBits) - 1;
    std::vector<std::uint32_t> sorted(keys.size());
    std::vector<std::size_t> next(std::size_t{1} << DigitBits);
    for (const int shift : {0, DigitBits}) {
        std::fill(next.begin(), next.end(), 0);
        for (const std::uint32_t key : keys) {
            ++next[(key >> shift) & DigitMask];
        }
        std::size_t position = 0;
        for (auto& at : next) {
            position += std::exchange(at, position);
        }
        for (const std::uint32_t key : keys) {
            sorted[next[(key >> shift) & DigitMask]++] = key;
        }
        keys.swap(sorted);
    }
    Histogram histogram;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || keys[i] != keys[i - 1]) {
            histogram.colours.push_back(FromCubeOrder(keys[i]));
            histogram.counts.push_back(0);
        }
        ++histogram.counts.back();
    }
    return histogram;
}

// The histogram with the colours of each cube of 2^`level` colours a side as one: their mean
// colour (weighted by pixels, rounded to nearest) with all their pixels.
Histogram Cubes(const Histogram& histogram, int level) {
    Histogram cubes;
    const auto put = [&cubes](const std::array<std::uint64_t, 4>& sum) {
        const auto mean = [&sum](std::size_t c) {
            return static_cast<std::uint32_t>((sum[c] + sum[3] / 2) / sum[3]);
        };
        cubes.colours.push_back((mean(0) << 16) | (mean(1) << 8) | mean(2));
        cubes.counts.push_back(static_cast<std::uint32_t>(sum[3]));
    };
    std::array<std::uint64_t, 4> sum{}; // red, green, blue, pixels of the cube so far
    std::uint32_t cube = 0;
    for (std::size_t i = 0; i < histogram.colours.size(); ++i) {
        const std::uint32_t colour = histogram.colours[i];
        const std::uint32_t here = CubeOrder(colour) >> (3 * level);
        if (sum[3] != 0 && here != cube) {
            put(sum);
            sum = {};
        }
        cube = here;
        const std::uint64_t pixels = histogram.counts[i];
        sum[0] += ((colour >> 16) & 0xFF) * pixels;
        sum[1] += ((colour >> 8) & 0xFF) * pixels;
        sum[2] += (colour & 0xFF) * pixels;
        sum[3] += pixels;
    }
    if (sum[3] != 0) {
        put(sum);
    }
    return cubes;
}

// What the palette is learnt and refined from: the histogram, or for one of more than
// LearnedColours colours, its smallest cubes that are no more.
Histogram Learned(const Histogram& histogram) {
    const std::size_t size = histogram.colours.size();
    if (size <= LearnedColours) {
        return histogram;
    }
    std::vector<std::uint32_t> keys(size);
    std::transform(histogram.colours.begin(), histogram.colours.end(), keys.begin(), CubeOrder);
    int level = 1;
    for (; level < 8; ++level) {
        std::size_t cubes = 1;
        const int shift = 3 * level;
        for (std::size_t i = 1; i < size; ++i) {
            if ((keys[i] >> shift) != (keys[i - 1] >> shift)) {
                ++cubes;
            }
        }
        if (cubes <= LearnedColours) {
            break;
        }
    }
    return Cubes(histogram, level);
}

} // namespace

Histogram LearnedHistogram(const RgbaImage& image, const TrueColourOptions& options) {
    const auto count = PixelCount(image.width, image.height);
    if (!count || image.pixels.size() / 4 < *count) {
        return {};
    }
    return Learned(Gather(image, *count, options));
}

} // namespace texelary
