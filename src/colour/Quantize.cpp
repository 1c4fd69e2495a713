#include "colour/Quantize.h"

#include "colour/Histogram.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#ifdef TEXELARY_HAVE_LIBIMAGEQUANT
#include <libimagequant.h>
#endif

namespace texelary {

namespace {

#ifdef TEXELARY_HAVE_LIBIMAGEQUANT
struct LiqAttrFree {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct LiqHistogramFree {
    void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
};
struct LiqResultFree {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqAttrFree>;
using LiqHistogram = std::unique_ptr<liq_histogram, LiqHistogramFree>;
using LiqResult = std::unique_ptr<liq_result, LiqResultFree>;

// libimagequant at its best quality target (100) and speed 8 of 1 to 10, learning from the
// histogram of the picture's colours, then two steps of Lloyd's method over the same histogram.
// Measured on 400 real 256 x 256 textures against speeds 3 to 10 and zero to three steps: slower
// speeds gained under 0.2 dB of PSNR at two to three times the cost, and the Lloyd steps gained
// 0.4 dB at the median (1 dB on textures of 257 to 2,000 colours) for a fifth more time.
constexpr int QuantizerSpeed = 8;
constexpr int RefineSteps = 2;
// Rounds of giving unused palette entries the worst-served colours (FillUnused).
constexpr int FillRounds = 2;
// libimagequant learns from at most this many colours, the learned histogram's smallest cubes
// that are no more; the filling of unused entries and the Lloyd steps work on the whole learned
// histogram. On the 400 textures 4,096 gave the PSNR of 8,192 (50.21 against 50.17 dB at the
// median, the worst texture 1.13 against 1.01 dB behind pngquant) for a ninth less time of the
// whole conversion; 2,048 lost 0.2 dB at the median and left a texture 2.3 dB behind.
constexpr std::size_t QuantizerColours = 4096;
#endif

// The picture's palette slots in order, skipping the transparent index.
std::array<std::uint8_t, 256> Slots(const TrueColourOptions& options) {
    std::array<std::uint8_t, 256> slots{};
    std::size_t next = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        if (!options.transparentIndex || *options.transparentIndex != i) {
            slots[next++] = static_cast<std::uint8_t>(i);
        }
    }
    return slots;
}

// A small open-addressing set of the picture's colours while there are few: true when the
// opaque pixels have at most `limit` colours, which then fill `palette` in order of appearance.
bool MapExactly(const RgbaImage& image, std::size_t count, const TrueColourOptions& options,
                std::size_t limit, Palette& palette, std::uint8_t* out) {
    constexpr std::size_t Size = 1024;       // at least four times the colours it may hold
    std::array<std::uint32_t, Size> keys{};  // colour + 1; 0 is an empty slot
    std::array<std::uint8_t, Size> values{}; // slot in the palette
    const auto slots = Slots(options);
    std::size_t colours = 0;
    const std::uint8_t* pixel = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        if (Transparent(pixel, options)) {
            out[i] = *options.transparentIndex;
            continue;
        }
        const std::uint32_t key =
            ((std::uint32_t{pixel[0]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[2]) + 1;
        std::size_t at = (key * 2654435761u) >> 22; // the top 10 bits of a Fibonacci hash
        while (keys[at] != 0 && keys[at] != key) {
            at = (at + 1) % Size;
        }
        if (keys[at] == 0) {
            if (colours == limit) {
                return false;
            }
            keys[at] = key;
            values[at] = slots[colours++];
            std::memcpy(palette.data() + 3 * values[at], pixel, 3);
        }
        out[i] = values[at];
    }
    return true;
}

#ifdef TEXELARY_HAVE_LIBIMAGEQUANT
// One step of Lloyd's method over the histogram: each palette entry moves to the mean colour
// (weighted by pixels, rounded to nearest) of the colours whose nearest entry it is, by the
// search that maps the pixels; an entry nearest to none stays. Integer sums keep the outcome the
// same on every compiler and platform.
bool Refine(const Histogram& histogram, const TrueColourOptions& options, Palette& palette) {
    const std::size_t size = histogram.colours.size();
    std::vector<std::uint8_t> nearest(size);
    if (!NearestOfColours(palette, options, histogram.colours.data(), size, nearest.data())) {
        return false;
    }
    std::array<std::array<std::uint64_t, 4>, 256> sums{}; // red, green, blue, pixels
    for (std::size_t i = 0; i < size; ++i) {
        auto& sum = sums[nearest[i]];
        const std::uint32_t colour = histogram.colours[i];
        const std::uint64_t pixels = histogram.counts[i];
        sum[0] += ((colour >> 16) & 0xFF) * pixels;
        sum[1] += ((colour >> 8) & 0xFF) * pixels;
        sum[2] += (colour & 0xFF) * pixels;
        sum[3] += pixels;
    }
    for (std::size_t k = 0; k < 256; ++k) {
        const std::uint64_t pixels = sums[k][3];
        if (pixels != 0) {
            for (std::size_t c = 0; c < 3; ++c) {
                palette[3 * k + c] = static_cast<std::uint8_t>((sums[k][c] + pixels / 2) / pixels);
            }
        }
    }
    return true;
}

// Gives the entries that libimagequant left unused colours of the histogram. It stops short of
// the palette's size when its own measure sees nothing more to gain, which on pictures of a few
// hundred colours leaves rare colours mapped far off. In each round every entry's worst-served
// colour (pixels times squared distance, by the mapping's search) is a candidate, and the worst
// candidates take the free entries; `used` entries of `slots` are taken.
bool FillUnused(const Histogram& histogram, const TrueColourOptions& options,
                const std::array<std::uint8_t, 256>& slots, std::size_t used, std::size_t limit,
                Palette& palette) {
    const std::size_t size = histogram.colours.size();
    std::vector<std::uint8_t> nearest(size);
    for (int round = 0; round < FillRounds && used < limit; ++round) {
        if (!NearestOfColours(palette, options, histogram.colours.data(), size, nearest.data())) {
            return false;
        }
        std::array<std::uint64_t, 256> worstError{};
        std::array<std::size_t, 256> worst{};
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint32_t colour = histogram.colours[i];
            const std::uint8_t* entry = &palette[3 * std::size_t{nearest[i]}];
            std::uint64_t distance = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const int difference = static_cast<int>((colour >> (16 - 8 * c)) & 0xFF) - entry[c];
                distance += static_cast<std::uint64_t>(difference * difference);
            }
            const std::uint64_t error = distance * histogram.counts[i];
            if (error > worstError[nearest[i]]) { // the first of equal errors, in colour order
                worstError[nearest[i]] = error;
                worst[nearest[i]] = i;
            }
        }
        std::vector<std::pair<std::uint64_t, std::size_t>> candidates;
        for (std::size_t k = 0; k < 256; ++k) {
            if (worstError[k] != 0) {
                candidates.emplace_back(worstError[k], worst[k]);
            }
        }
        if (candidates.empty()) {
            break;
        }
        // Worst first; of equal errors the lower colour, which is the lower histogram position.
        std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        for (std::size_t c = 0; c < candidates.size() && used < limit; ++c, ++used) {
            const std::uint32_t colour = histogram.colours[candidates[c].second];
            std::uint8_t* entry = &palette[3 * std::size_t{slots[used]}];
            entry[0] = static_cast<std::uint8_t>(colour >> 16);
            entry[1] = static_cast<std::uint8_t>(colour >> 8);
            entry[2] = static_cast<std::uint8_t>(colour);
        }
    }
    return true;
}

// libimagequant's palette for the histogram of the opaque pixels (at most QuantizerColours of its
// cubes), its unused entries filled and the whole refined by Lloyd steps over the histogram, and
// every pixel mapped onto it by the nearest colour search that .wal textures use (dithered the
// same way when asked): the picture that search makes, null when it or the quantiser fails. Some
// pixels are opaque: a picture without any has no colours, and MapExactly took it.
std::unique_ptr<IndexedImage> MapQuantized(const RgbaImage& image, const TrueColourOptions& options,
                                           std::size_t limit, Palette& palette) {
    const Histogram histogram = LearnedHistogram(image, options);
    const Histogram coarse = SmallestCubes(histogram, QuantizerColours);
    std::vector<liq_histogram_entry> entries(coarse.colours.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint32_t colour = coarse.colours[i];
        entries[i].color = {static_cast<unsigned char>(colour >> 16),
                            static_cast<unsigned char>(colour >> 8),
                            static_cast<unsigned char>(colour), 255};
        entries[i].count = coarse.counts[i];
    }

    const LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), static_cast<int>(limit)) != LIQ_OK ||
        liq_set_quality(attr.get(), 0, 100) != LIQ_OK ||
        liq_set_speed(attr.get(), QuantizerSpeed) != LIQ_OK) {
        return nullptr;
    }
    const LiqHistogram learn(liq_histogram_create(attr.get()));
    if (!learn || liq_histogram_add_colors(learn.get(), attr.get(), entries.data(),
                                           static_cast<int>(entries.size()), 0.0) != LIQ_OK) {
        return nullptr;
    }
    liq_result* rawResult = nullptr;
    if (liq_histogram_quantize(learn.get(), attr.get(), &rawResult) != LIQ_OK) {
        return nullptr;
    }
    const LiqResult result(rawResult);
    const liq_palette* colours = liq_get_palette(result.get());
    if (colours == nullptr || colours->count > limit) {
        return nullptr;
    }
    const auto slots = Slots(options);
    for (std::size_t k = 0; k < colours->count; ++k) {
        const std::size_t at = std::size_t{3} * slots[k];
        palette[at] = colours->entries[k].r;
        palette[at + 1] = colours->entries[k].g;
        palette[at + 2] = colours->entries[k].b;
    }
    if (!FillUnused(histogram, options, slots, colours->count, limit, palette)) {
        return nullptr;
    }
    for (int step = 0; step < RefineSteps; ++step) {
        if (!Refine(histogram, options, palette)) {
            return nullptr;
        }
    }
    return MapToNewPalette(image, palette, options);
}
#else
// A build without libimagequant brings no picture of more colours than the palette holds down.
std::unique_ptr<IndexedImage> MapQuantized(const RgbaImage&, const TrueColourOptions&, std::size_t,
                                           Palette&) {
    return nullptr;
}
#endif

} // namespace

std::unique_ptr<IndexedImage> QuantizeToOwnPalette(const RgbaImage& image, Palette& palette,
                                                   const TrueColourOptions& options) {
    try {
        auto result = IndexedOfSize(image);
        if (!result) {
            return nullptr;
        }
        const auto count = PixelCount(image.width, image.height); // fits: the picture was made
        const std::size_t limit = options.transparentIndex ? 255 : 256;
        Palette colours{};
        if (*count != 0 &&
            !MapExactly(image, *count, options, limit, colours, result->pixels.get())) {
            // The mapping makes a picture of its own: the one MapExactly began is dropped first,
            // so that the two are never held at once.
            result.reset();
            colours = Palette{};
            result = MapQuantized(image, options, limit, colours);
            if (!result) {
                return nullptr;
            }
        }
        palette = colours;
        return result;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void QuantizeOnCallingThreadOnly() {
#ifndef _WIN32
    // The OpenMP runtime comes with libimagequant, not with this program: found by name, its
    // thread count is set for the calling thread alone.
    using SetThreadCount = void (*)(int);
    static const auto setThreadCount =
        reinterpret_cast<SetThreadCount>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setThreadCount != nullptr) {
        setThreadCount(1);
    }
#endif
}

} // namespace texelary
