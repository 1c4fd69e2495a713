// Makes the benchmark's texture set: 8-bit bitmaps, each with its own palette, reproducible from
// a fixed seed. Usage: make-textures DIR [SMALL_COUNT [LARGE_COUNT]]
// (defaults: 2000 bitmaps of 256 x 256 and 100 of 1024 x 1024, in DIR/bmp).

#include "BmpBuilder.h"
#include "base/FileIo.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace texelary;

// A texture-like picture: a few overlapping waves with noise, so that neighbouring pixels are
// related as in real textures.
IndexedImage MakePicture(std::int32_t size, std::mt19937& random) {
    IndexedImage image;
    image.width = size;
    image.height = size;
    AllocatePixels(image, size, size);
    std::uniform_real_distribution<float> frequency(0.01f, 0.2f);
    const float fx = frequency(random);
    const float fy = frequency(random);
    const float fxy = frequency(random);
    for (std::int32_t y = 0; y < size; ++y) {
        for (std::int32_t x = 0; x < size; ++x) {
            const float wave = std::sin(static_cast<float>(x) * fx) +
                               std::cos(static_cast<float>(y) * fy) +
                               std::sin(static_cast<float>(x + y) * fxy);
            const auto value =
                static_cast<int>(128.0f + wave * 40.0f) + static_cast<int>(random() % 9);
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                         static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(value & 0xFF);
        }
    }
    return image;
}

Palette MakePalette(std::mt19937& random) {
    Palette palette{};
    for (auto& byte : palette) {
        byte = static_cast<std::uint8_t>(random());
    }
    return palette;
}

bool WriteSet(const std::filesystem::path& directory, const char* prefix, int count,
              std::int32_t size, std::mt19937& random) {
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%04d.bmp", prefix, i);
        const IndexedImage picture = MakePicture(size, random);
        const Palette palette = MakePalette(random);
        if (!WriteFileReplacing((directory / name).string(),
                                test::EncodeBmp8(picture, palette, false))) {
            std::fprintf(stderr, "cannot write %s\n", (directory / name).string().c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make-textures DIR [SMALL_COUNT [LARGE_COUNT]]\n");
        return 2;
    }
    const std::filesystem::path directory = std::filesystem::path(argv[1]) / "bmp";
    const int small = argc > 2 ? std::stoi(argv[2]) : 2000;
    const int large = argc > 3 ? std::stoi(argv[3]) : 100;
    std::filesystem::create_directories(directory);
    std::mt19937 random(20261208);
    if (!WriteSet(directory, "small", small, 256, random) ||
        !WriteSet(directory, "large", large, 1024, random)) {
        return 1;
    }
    std::printf("%d + %d bitmaps in %s\n", small, large, directory.string().c_str());
    return 0;
}
