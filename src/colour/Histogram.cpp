#include "colour/Histogram.h"

#include <algorithm>
#include <array>
#include <utility>

namespace texelary {

namespace {

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

// Pixels gathered and sorted at a time. A picture of more is counted strip by strip into
// CubeSums, so that its keys take 2 MiB whatever its size; every 256 x 256 texture is one strip.
constexpr std::size_t StripPixels = std::size_t{1} << 18;

// The CubeOrder keys of the opaque pixels among `count` from pixel `first`, sorted into `keys`
// by a radix sort of two 12-bit digits; `scratch` is its second buffer.
void SortedKeys(const RgbaImage& image, std::size_t first, std::size_t count,
                const TrueColourOptions& options, std::vector<std::uint32_t>& keys,
                std::vector<std::uint32_t>& scratch) {
    // Both digits are counted as the keys are made, in 32-bit counters (a strip has fewer than
    // 2^32 pixels): one pass over the keys less, and counters that take half the cache.
    constexpr int DigitBits = 12;
    constexpr std::uint32_t DigitMask = (1u << DigitBits) - 1;
    std::array<std::array<std::uint32_t, std::size_t{1} << DigitBits>, 2> next{};
    keys.resize(count);
    std::size_t opaque = 0;
    const std::uint8_t* pixel = image.pixels.data() + 4 * first;
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        if (!Transparent(pixel, options)) {
            const std::uint32_t key = CubeOrder((std::uint32_t{pixel[0]} << 16) |
                                                (std::uint32_t{pixel[1]} << 8) | pixel[2]);
            ++next[0][key & DigitMask];
            ++next[1][key >> DigitBits];
            keys[opaque++] = key;
        }
    }
    keys.resize(opaque);
    scratch.resize(opaque);
    for (std::size_t digit = 0; digit < 2; ++digit) {
        std::uint32_t position = 0;
        for (auto& at : next[digit]) {
            position += std::exchange(at, position);
        }
        const int shift = static_cast<int>(digit) * DigitBits;
        for (const std::uint32_t key : keys) {
            scratch[next[digit][(key >> shift) & DigitMask]++] = key;
        }
        keys.swap(scratch);
    }
}

// The histogram of the first `count` pixels, all at once: for a picture of one strip.
Histogram Gather(const RgbaImage& image, std::size_t count, const TrueColourOptions& options) {
    std::vector<std::uint32_t> keys;
    std::vector<std::uint32_t> scratch;
    SortedKeys(image, 0, count, options, keys, scratch);
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

// Appends a cube's mean colour (weighted by pixels, rounded to nearest) with its pixels.
void PutMean(Histogram& cubes, const std::array<std::uint64_t, 3>& sums, std::uint64_t pixels) {
    const auto mean = [&](std::size_t c) {
        return static_cast<std::uint32_t>((sums[c] + pixels / 2) / pixels);
    };
    cubes.colours.push_back((mean(0) << 16) | (mean(1) << 8) | mean(2));
    cubes.counts.push_back(static_cast<std::uint32_t>(pixels));
}

// Adds `pixels` of `colour` to the channel sums.
void AddColour(std::array<std::uint64_t, 3>& sums, std::uint32_t colour, std::uint64_t pixels) {
    sums[0] += ((colour >> 16) & 0xFF) * pixels;
    sums[1] += ((colour >> 8) & 0xFF) * pixels;
    sums[2] += (colour & 0xFF) * pixels;
}

// The histogram with the colours of each cube of 2^`level` colours a side as one: their mean
// colour with all their pixels.
Histogram Cubes(const Histogram& histogram, int level) {
    Histogram cubes;
    std::array<std::uint64_t, 3> sums{}; // red, green, blue of the cube so far
    std::uint64_t pixels = 0;
    std::uint32_t cube = 0;
    for (std::size_t i = 0; i < histogram.colours.size(); ++i) {
        const std::uint32_t colour = histogram.colours[i];
        const std::uint32_t here = CubeOrder(colour) >> (3 * level);
        if (pixels != 0 && here != cube) {
            PutMean(cubes, sums, pixels);
            sums = {};
            pixels = 0;
        }
        cube = here;
        AddColour(sums, colour, histogram.counts[i]);
        pixels += histogram.counts[i];
    }
    if (pixels != 0) {
        PutMean(cubes, sums, pixels);
    }
    return cubes;
}

// The histogram, or for one of more than `limit` colours, its smallest cubes that are no more.
Histogram Learned(const Histogram& histogram, std::size_t limit = LearnedColours) {
    const std::size_t size = histogram.colours.size();
    if (size <= limit) {
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
        if (cubes <= limit) {
            break;
        }
    }
    return Cubes(histogram, level);
}

// The most cubes that CubeSums holds between strips. Past this many, its cubes grow to the next
// level, which changes nothing in the end: a part of the picture with more cubes of a level than
// this has more than LearnedColours of them, and so has the whole, whose learned cubes are then
// larger anyway. A strip's own cubes are kept to as many, so a strip merged in makes at most
// twice this many cubes of 32 bytes (4 MiB), in each of the two vectors of CubeSums.
constexpr std::size_t HeldCubes = 8 * LearnedColours;

// The pixels of a cube of 2^level colours a side: its key (CubeOrder >> 3 x level), how many,
// and the sums of their channels. Whole sums, not means, so that cubes merged early or late give
// the same mean in the end.
struct CubeSum {
    std::uint32_t key = 0;
    std::uint32_t pixels = 0; // fits: a picture has fewer than 2^31 pixels
    std::array<std::uint64_t, 3> sums{};
};

// The histogram of a picture of many strips, counted strip by strip in cubes of the smallest
// level (0 for single colours) that has kept each step within HeldCubes.
class CubeSums {
public:
    // Counts in a strip's keys, sorted.
    void Add(const std::vector<std::uint32_t>& sorted) {
        while (CubesIn(sorted) > HeldCubes) {
            Coarsen();
        }
        const int shift = 3 * m_level;
        m_merged.clear();
        std::size_t held = 0;
        for (std::size_t i = 0; i < sorted.size();) {
            CubeSum cube{sorted[i] >> shift, 0, {}};
            while (i < sorted.size() && (sorted[i] >> shift) == cube.key) {
                const std::size_t from = i;
                while (i < sorted.size() && sorted[i] == sorted[from]) {
                    ++i;
                }
                AddColour(cube.sums, FromCubeOrder(sorted[from]), i - from);
                cube.pixels += static_cast<std::uint32_t>(i - from);
            }
            while (held < m_cubes.size() && m_cubes[held].key < cube.key) {
                m_merged.push_back(m_cubes[held++]);
            }
            if (held < m_cubes.size() && m_cubes[held].key == cube.key) {
                Join(cube, m_cubes[held++]);
            }
            m_merged.push_back(cube);
        }
        m_merged.insert(m_merged.end(), m_cubes.begin() + static_cast<std::ptrdiff_t>(held),
                        m_cubes.end());
        m_cubes.swap(m_merged);
        while (m_cubes.size() > HeldCubes) {
            Coarsen();
        }
    }

    // The learned histogram of every strip added: what Learned gives for all of them at once.
    Histogram Learned() {
        Histogram learned;
        if (m_level == 0 && m_cubes.size() <= LearnedColours) {
            for (const CubeSum& colour : m_cubes) {
                learned.colours.push_back(FromCubeOrder(colour.key));
                learned.counts.push_back(colour.pixels);
            }
            return learned;
        }
        // More than LearnedColours colours, or cubes of a level whose smaller ones were more.
        if (m_level == 0) {
            Coarsen();
        }
        while (m_cubes.size() > LearnedColours) {
            Coarsen();
        }
        for (const CubeSum& cube : m_cubes) {
            PutMean(learned, cube.sums, cube.pixels);
        }
        return learned;
    }

private:
    static void Join(CubeSum& cube, const CubeSum& other) {
        cube.pixels += other.pixels;
        for (std::size_t c = 0; c < 3; ++c) {
            cube.sums[c] += other.sums[c];
        }
    }

    // How many cubes of the current level the sorted keys fall in.
    std::size_t CubesIn(const std::vector<std::uint32_t>& sorted) const {
        const int shift = 3 * m_level;
        std::size_t cubes = sorted.empty() ? 0 : 1;
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            if ((sorted[i] >> shift) != (sorted[i - 1] >> shift)) {
                ++cubes;
            }
        }
        return cubes;
    }

    // The cubes of the next level, each the eight of this one that it holds, in place.
    void Coarsen() {
        ++m_level;
        std::size_t next = 0;
        for (const CubeSum& cube : m_cubes) {
            const std::uint32_t key = cube.key >> 3;
            if (next != 0 && m_cubes[next - 1].key == key) {
                Join(m_cubes[next - 1], cube);
            } else {
                m_cubes[next] = cube;
                m_cubes[next++].key = key;
            }
        }
        m_cubes.resize(next);
    }

    std::vector<CubeSum> m_cubes; // in order of key
    std::vector<CubeSum> m_merged;
    int m_level = 0;
};

} // namespace

Histogram SmallestCubes(const Histogram& histogram, std::size_t colours) {
    return Learned(histogram, colours);
}

Histogram LearnedHistogram(const RgbaImage& image, const TrueColourOptions& options) {
    const auto count = PixelCount(image.width, image.height);
    if (!count || image.pixels.size() / 4 < *count) {
        return {};
    }
    if (*count <= StripPixels) {
        return Learned(Gather(image, *count, options));
    }
    CubeSums cubes;
    std::vector<std::uint32_t> keys;
    std::vector<std::uint32_t> scratch;
    for (std::size_t first = 0; first < *count; first += StripPixels) {
        SortedKeys(image, first, std::min(StripPixels, *count - first), options, keys, scratch);
        cubes.Add(keys);
    }
    return cubes.Learned();
}

} // namespace texelary
