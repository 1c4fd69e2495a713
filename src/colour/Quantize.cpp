#include "colour/Quantize.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
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
struct LiqImageFree {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct LiqResultFree {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqAttrFree>;
using LiqImage = std::unique_ptr<liq_image, LiqImageFree>;
using LiqResult = std::unique_ptr<liq_result, LiqResultFree>;

// libimagequant at its best quality target (100) and speed 8 of 1 to 10, learning the palette
// from at most 4,096 pixels spread over the picture (every fourth row and column of a 256 x 256
// texture). Measured on 256 x 256 photographs: its default speed 4 leaves 5 % less colour error
// but takes four times as long, and learning from every pixel takes ten times as long for the same
// error.
constexpr int QuantizerSpeed = 8;
constexpr std::size_t MaxSamples = 4096;
#endif

bool Transparent(const std::uint8_t* pixel, const TrueColourOptions& options) {
    return options.transparentIndex && pixel[3] < OpaqueAlpha;
}

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
// Every `step`-th pixel of every `step`-th row that is opaque, packed into rows of the
// sampled width (the last row filled up with the first pixels again), with alpha 255.
std::vector<std::uint8_t> Sample(const RgbaImage& image, std::size_t step,
                                 const TrueColourOptions& options, std::size_t& rowPixels) {
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    rowPixels = (width + step - 1) / step;
    std::vector<std::uint8_t> sample;
    for (std::size_t y = 0; y < height; y += step) {
        for (std::size_t x = 0; x < width; x += step) {
            const std::uint8_t* pixel = &image.pixels[4 * (y * width + x)];
            if (!Transparent(pixel, options)) {
                sample.insert(sample.end(), {pixel[0], pixel[1], pixel[2], 255});
            }
        }
    }
    const std::size_t taken = sample.size() / 4;
    const std::size_t rows = (taken + rowPixels - 1) / rowPixels;
    sample.resize(4 * rows * rowPixels);
    for (std::size_t i = taken; i < rows * rowPixels; ++i) {
        std::memcpy(&sample[4 * i], &sample[4 * (i - taken)], 4);
    }
    return sample;
}

// libimagequant's palette for the opaque pixels, and every pixel mapped onto it by the nearest
// colour search that .wal textures use (dithered the same way when asked).
bool MapQuantized(const RgbaImage& image, std::size_t count, const TrueColourOptions& options,
                  std::size_t limit, Palette& palette, std::uint8_t* out) {
    // The colours to learn from: a grid of pixels, transparent ones left out so that they take
    // no part in choosing the palette. Some pixels are opaque (a picture without any has no
    // colours, and MapExactly took it), but maybe none on the grid: then every pixel is taken.
    std::size_t step = 1;
    while (count / (step * step) > MaxSamples) {
        ++step;
    }
    std::size_t rowPixels = 0;
    std::vector<std::uint8_t> sample = Sample(image, step, options, rowPixels);
    if (sample.empty()) {
        sample = Sample(image, 1, options, rowPixels);
    }

    const LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), static_cast<int>(limit)) != LIQ_OK ||
        liq_set_quality(attr.get(), 0, 100) != LIQ_OK ||
        liq_set_speed(attr.get(), QuantizerSpeed) != LIQ_OK) {
        return false;
    }
    const LiqImage learn(
        liq_image_create_rgba(attr.get(), sample.data(), static_cast<int>(rowPixels),
                              static_cast<int>(sample.size() / 4 / rowPixels), 0.0));
    if (!learn) {
        return false;
    }
    liq_result* rawResult = nullptr;
    if (liq_image_quantize(learn.get(), attr.get(), &rawResult) != LIQ_OK) {
        return false;
    }
    const LiqResult result(rawResult);
    const liq_palette* colours = liq_get_palette(result.get());
    if (colours == nullptr || colours->count > limit) {
        return false;
    }
    const auto slots = Slots(options);
    for (std::size_t k = 0; k < colours->count; ++k) {
        const std::size_t at = std::size_t{3} * slots[k];
        palette[at] = colours->entries[k].r;
        palette[at + 1] = colours->entries[k].g;
        palette[at + 2] = colours->entries[k].b;
    }
    const auto mapped = MapToNewPalette(image, palette, options);
    if (!mapped) {
        return false;
    }
    std::copy_n(mapped->pixels.get(), count, out);
    return true;
}
#else
// A build without libimagequant brings no picture of more colours than the palette holds down.
bool MapQuantized(const RgbaImage&, std::size_t, const TrueColourOptions&, std::size_t, Palette&,
                  std::uint8_t*) {
    return false;
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
            colours = Palette{};
            if (!MapQuantized(image, *count, options, limit, colours, result->pixels.get())) {
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
