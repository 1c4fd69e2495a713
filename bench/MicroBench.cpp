// Micro benchmarks of the hot parts of a conversion: resampling, the palette remap, the bitmap
// decoder, the two writers (to memory, with sampled and averaged levels), and true colour brought
// down to 256 colours.

#include "BmpBuilder.h"
#include "colour/NearestColour.h"
#include "colour/Quantize.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/pictures/BmpFormat.h"
#include "formats/pictures/PngFormat.h"

#ifdef TEXELARY_BENCH_SPNG
#include <spng.h>
#endif
#include "formats/mips/WalFormat.h"
#include "image/Resample.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace texelary {
namespace {

IndexedImage NoisyPicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    AllocatePixels(image, width, height);
    std::mt19937 random(seed);
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) {
        // Runs of equal pixels, as textures have, so that RLE8 has something to compress.
        image.pixels[i] = static_cast<std::uint8_t>((i / 7 + (random() % 4)) & 0xFF);
    }
    return image;
}

Palette RandomPalette(std::uint32_t seed) {
    std::mt19937 random(seed);
    Palette palette{};
    for (auto& byte : palette) {
        byte = static_cast<std::uint8_t>(random());
    }
    return palette;
}

void BM_Resample(benchmark::State& state) {
    const IndexedImage source = NoisyPicture(1024, 1024, 1);
    float factor = 1.0f;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        factor *= 0.5f;
    }
    std::vector<std::uint8_t> target(static_cast<std::size_t>(ScaledSize(1024, factor)) *
                                     static_cast<std::size_t>(ScaledSize(1024, factor)));
    for (auto _ : state) {
        Resample(target.data(),
                 PixelView{source.width, source.height, static_cast<std::size_t>(source.width),
                           source.pixels.get()},
                 factor, factor);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(target.size()));
}
BENCHMARK(BM_Resample)->DenseRange(0, 5);

void BM_RemapNewPalette(benchmark::State& state) {
    const IndexedImage source = NoisyPicture(256, 256, 2);
    IndexedImage image = NoisyPicture(256, 256, 2);
    std::uint32_t seed = 0;
    for (auto _ : state) {
        const Palette palette = RandomPalette(++seed); // a different palette every time
        std::memcpy(image.pixels.get(), source.pixels.get(), 256 * 256);
        RemapToPalette({image.pixels.get(), 256 * 256}, WalPalette, palette);
        benchmark::DoNotOptimize(image.pixels.get());
    }
}
BENCHMARK(BM_RemapNewPalette);

void BM_RemapSamePalette(benchmark::State& state) {
    const IndexedImage source = NoisyPicture(256, 256, 3);
    IndexedImage image = NoisyPicture(256, 256, 3);
    const Palette palette = RandomPalette(7);
    for (auto _ : state) {
        std::memcpy(image.pixels.get(), source.pixels.get(), 256 * 256);
        RemapToPalette({image.pixels.get(), 256 * 256}, WalPalette, palette);
        benchmark::DoNotOptimize(image.pixels.get());
    }
}
BENCHMARK(BM_RemapSamePalette);

void BM_DecodeBmp(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 4);
    const std::vector<std::uint8_t> file =
        test::EncodeBmp8(picture, Palette{}, state.range(0) != 0);
    for (auto _ : state) {
        auto image = ReadBmpImage(file);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
    state.SetLabel(state.range(0) != 0 ? "RLE8" : "uncompressed");
}
BENCHMARK(BM_DecodeBmp)->Arg(0)->Arg(1);

// Argument 0: point-sampled levels; 1: averaged ones, a new palette every call (so the colour
// searches start afresh, as for a batch whose files each have a palette of their own); 2:
// averaged, the same palette again (the searches remembered from the call before).
WriteOptions MipsOf(const benchmark::State& state) {
    return {state.range(0) != 0 ? MipFilter::Box : MipFilter::Point, std::nullopt};
}

const char* MipsLabel(const benchmark::State& state) {
    static const char* const labels[] = {"sampled", "averaged, new palette",
                                         "averaged, same palette"};
    return labels[state.range(0)];
}

void BM_WriteM8(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 5);
    Palette palette = RandomPalette(5);
    const WriteOptions options = MipsOf(state);
    for (auto _ : state) {
        if (state.range(0) == 1) {
            palette[0] = static_cast<std::uint8_t>(palette[0] + 1);
        }
        auto bytes = WriteM8(picture, palette, options);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
    state.SetLabel(MipsLabel(state));
}
BENCHMARK(BM_WriteM8)->DenseRange(0, 2);

void BM_WriteWal(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 6);
    const WriteOptions options = MipsOf(state);
    for (auto _ : state) {
        auto bytes = WriteWal(picture, WalPalette, options);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
    state.SetLabel(state.range(0) != 0 ? "averaged, the fixed palette" : "sampled");
}
BENCHMARK(BM_WriteWal)->Arg(0)->Arg(1);

// A photograph's worth of colours: smooth gradients with grain, some 60,000 distinct colours in
// 256 x 256.
RgbaImage PhotoLike(std::uint32_t seed) {
    RgbaImage image{256, 256, std::vector<std::uint8_t>(256 * 256 * 4)};
    std::mt19937 random(seed);
    std::uint8_t* p = image.pixels.data();
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x, p += 4) {
            const auto grain = [&] { return static_cast<float>(random() % 16); };
            p[0] = static_cast<std::uint8_t>(
                std::min(255.0f, 128 + 100 * std::sin(static_cast<float>(x) * 0.05f) + grain()));
            p[1] = static_cast<std::uint8_t>(
                std::min(255.0f, 128 + 100 * std::cos(static_cast<float>(y) * 0.07f) + grain()));
            p[2] = static_cast<std::uint8_t>((x + y) / 2 + static_cast<int>(grain()));
            p[3] = 255;
        }
    }
    return image;
}

// The first picture pays for filling the nearest-colour table; later ones of a batch mostly
// find their colours there. Each iteration maps a picture with fresh grain.
void BM_MapToWalPalette(benchmark::State& state) {
    std::vector<RgbaImage> pictures;
    for (std::uint32_t seed = 0; seed < 8; ++seed) {
        pictures.push_back(PhotoLike(seed));
    }
    const TrueColourOptions options{state.range(0) != 0, std::nullopt};
    std::size_t next = 0;
    for (auto _ : state) {
        auto image = MapToPalette(pictures[next++ % pictures.size()], WalPalette, options);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetLabel(options.dither ? "dithered" : "nearest");
}
BENCHMARK(BM_MapToWalPalette)->Arg(0)->Arg(1);

void BM_QuantizeOwnPalette(benchmark::State& state) {
    const RgbaImage picture = PhotoLike(1);
    for (auto _ : state) {
        Palette palette{};
        auto image = QuantizeToOwnPalette(picture, palette);
        benchmark::DoNotOptimize(image.get());
    }
}
BENCHMARK(BM_QuantizeOwnPalette)->Unit(benchmark::kMillisecond);

void BM_PngRoundTrip(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 8);
    const Palette palette = RandomPalette(8);
    const bool encode = state.range(0) != 0;
    const std::vector<std::uint8_t> file = *EncodePng(picture, palette);
    for (auto _ : state) {
        if (encode) {
            auto bytes = EncodePng(picture, palette);
            benchmark::DoNotOptimize(bytes);
        } else {
            auto decoded = ParsePngPicture(file);
            benchmark::DoNotOptimize(decoded);
        }
    }
    state.SetLabel(encode ? "EncodePng" : "ParsePngPicture");
}
BENCHMARK(BM_PngRoundTrip)->Arg(0)->Arg(1);

#ifdef TEXELARY_BENCH_SPNG
// The PNG reader against libspng decoding the same file alone: the difference is what the
// reader's checks of the image data cost (every IDAT chunk's CRC, and the zlib stream inflated a
// second time for its Adler-32). Argument 0: ParsePngPicture; 1: libspng alone.
void BM_PngChecks(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 8);
    const std::vector<std::uint8_t> file = *EncodePng(picture, RandomPalette(8));
    const bool alone = state.range(0) != 0;
    std::vector<std::uint8_t> pixels(256 * 256);
    for (auto _ : state) {
        if (alone) {
            spng_ctx* context = spng_ctx_new(0);
            spng_set_png_buffer(context, file.data(), file.size());
            spng_decode_image(context, pixels.data(), pixels.size(), SPNG_FMT_PNG, 0);
            spng_ctx_free(context);
            benchmark::DoNotOptimize(pixels.data());
        } else {
            auto decoded = ParsePngPicture(file);
            benchmark::DoNotOptimize(decoded);
        }
    }
    state.SetLabel(alone ? "libspng alone" : "ParsePngPicture, image data checked");
}
BENCHMARK(BM_PngChecks)->Arg(0)->Arg(1);
#endif

} // namespace
} // namespace texelary

BENCHMARK_MAIN();
