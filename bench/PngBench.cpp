// The true-colour PNG benchmark's two helpers, for bench/run.
//
//   png-bench make DIR COUNT [SIDE]
//       writes COUNT true-colour (RGB, 8 bits) PNG files of SIDE x SIDE (256 unless given) to
//       DIR, reproducible from a fixed seed: smooth colour waves with noise, so that a picture
//       has tens of thousands of distinct colours, as a painted texture does;
//   png-bench floor INPUT OUTPUT SIZES EXTENSION
//       the floor a conversion of INPUT's PNG files is measured against: decodes each file (with
//       the same reader, on libspng, that a conversion uses) and writes to OUTPUT a file of the
//       size of the same-named file in SIZES, one file after another on one thread.

#include "formats/pictures/PngFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;
using namespace texelary;

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, const char* kind,
              const std::vector<std::uint8_t>& data) {
    PutBE32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), kind, kind + 4);
    out.insert(out.end(), data.begin(), data.end());
    const auto crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    PutBE32(out, static_cast<std::uint32_t>(crc));
}

// An RGB PNG of `rgb` (3 bytes a pixel), each row filtered with Sub, as encoders commonly do.
std::vector<std::uint8_t> EncodeRgbPng(std::uint32_t width, std::uint32_t height,
                                       const std::vector<std::uint8_t>& rgb) {
    std::vector<std::uint8_t> raw;
    const std::size_t stride = 3 * std::size_t{width};
    for (std::size_t y = 0; y < height; ++y) {
        raw.push_back(1); // Sub
        for (std::size_t i = 0; i < stride; ++i) {
            const std::uint8_t left = i >= 3 ? rgb[y * stride + i - 3] : 0;
            raw.push_back(static_cast<std::uint8_t>(rgb[y * stride + i] - left));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBE32(header, width);
    PutBE32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no interlace
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});
    return file;
}

bool WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::vector<std::uint8_t> bytes(fs::file_size(path));
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (file != nullptr) {
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
    }
    return bytes;
}

int Make(const fs::path& directory, int count, std::uint32_t side) {
    fs::create_directories(directory);
    std::mt19937 random(20261208);
    std::uniform_real_distribution<float> frequency(0.01f, 0.15f);
    std::vector<std::uint8_t> rgb(3 * std::size_t{side} * side);
    for (int n = 0; n < count; ++n) {
        float f[6];
        for (float& value : f) {
            value = frequency(random);
        }
        for (std::uint32_t y = 0; y < side; ++y) {
            for (std::uint32_t x = 0; x < side; ++x) {
                const auto fx = static_cast<float>(x);
                const auto fy = static_cast<float>(y);
                const float waves[3] = {std::sin(fx * f[0]) + std::cos(fy * f[1]),
                                        std::sin((fx + fy) * f[2]) + std::cos(fy * f[3]),
                                        std::sin(fx * f[4]) + std::sin((fx - fy) * f[5])};
                for (std::size_t c = 0; c < 3; ++c) {
                    const int value = static_cast<int>(128.0f + waves[c] * 55.0f) +
                                      static_cast<int>(random() % 13) - 6;
                    rgb[3 * (std::size_t{y} * side + x) + c] =
                        static_cast<std::uint8_t>(std::clamp(value, 0, 255));
                }
            }
        }
        char name[32];
        std::snprintf(name, sizeof name, "true_%04d.png", n);
        if (!WriteBytes(directory / name, EncodeRgbPng(side, side, rgb))) {
            std::fprintf(stderr, "cannot write %s\n", (directory / name).string().c_str());
            return 1;
        }
    }
    std::printf("%d true-colour PNG files in %s\n", count, directory.string().c_str());
    return 0;
}

int Floor(const fs::path& input, const fs::path& output, const fs::path& sizes,
          const std::string& extension) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(input)) {
        if (entry.path().extension() == ".png") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const auto picture = ParsePngPicture(ReadBytes(file));
        if (!picture) {
            std::fprintf(stderr, "cannot decode %s\n", file.string().c_str());
            return 1;
        }
        const std::string name = file.stem().string() + "." + extension;
        const std::vector<std::uint8_t> bytes(
            fs::file_size(sizes / name), picture->trueColour ? picture->trueColour->pixels[0] : 0);
        if (!WriteBytes(output / name, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", (output / name).string().c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && (argc == 4 || argc == 5)) {
        const int side = argc == 5 ? std::stoi(argv[4]) : 256;
        if (side < 1 || side > 16384) {
            std::fprintf(stderr, "SIDE must be 1 to 16384\n");
            return 2;
        }
        return Make(argv[2], std::stoi(argv[3]), static_cast<std::uint32_t>(side));
    }
    if (command == "floor" && argc == 6) {
        return Floor(argv[2], argv[3], argv[4], argv[5]);
    }
    std::fprintf(stderr, "usage: png-bench make DIR COUNT [SIDE]\n"
                         "       png-bench floor INPUT OUTPUT SIZES EXTENSION\n");
    return 2;
}
