// Micro benchmarks of the hot parts of a conversion: resampling, the palette remap, the bitmap
// decoder and the two writers (to memory).

#include "BenchBmp.h"
#include "texture/BmpFormat.h"
#include "texture/M8Format.h"
#include "texture/Resample.h"
#include "texture/WalFormat.h"
#include "texture/WalPalette.h"

#include <benchmark/benchmark.h>
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
        ResampleInto(target.data(), ViewOf(source), factor, factor);
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
        RemapToPalette(image, WalPalette, palette);
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
        RemapToPalette(image, WalPalette, palette);
        benchmark::DoNotOptimize(image.pixels.get());
    }
}
BENCHMARK(BM_RemapSamePalette);

void BM_DecodeBmp(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 4);
    const std::vector<std::uint8_t> file =
        bench::EncodeBmp8(picture, Palette{}, state.range(0) != 0);
    for (auto _ : state) {
        auto image = ParseBmpImage(file);
        benchmark::DoNotOptimize(image.get());
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
    state.SetLabel(state.range(0) != 0 ? "RLE8" : "uncompressed");
}
BENCHMARK(BM_DecodeBmp)->Arg(0)->Arg(1);

void BM_EncodeM8(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 5);
    const Palette palette = RandomPalette(5);
    for (auto _ : state) {
        auto bytes = EncodeM8(picture, palette);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_EncodeM8);

void BM_EncodeWal(benchmark::State& state) {
    const IndexedImage picture = NoisyPicture(256, 256, 6);
    for (auto _ : state) {
        auto bytes = EncodeWal(picture);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_EncodeWal);

} // namespace
} // namespace texelary

BENCHMARK_MAIN();
