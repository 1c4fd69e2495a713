#pragma once

// Writes 8-bit bitmaps for the benchmarks (the program itself only reads them).

#include "image/IndexedImage.h"

#include <cstdint>
#include <vector>

namespace texelary::bench {

inline void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// An 8-bit bitmap of the picture with its palette, bottom-up, uncompressed or RLE8 (runs only,
// no literals).
inline std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& image, const Palette& palette,
                                            bool rle) {
    std::vector<std::uint8_t> data;
    const auto width = static_cast<std::size_t>(image.width);
    const std::size_t stride = (width + 3) / 4 * 4;
    for (std::int32_t y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* row = image.pixels.get() + static_cast<std::size_t>(y) * width;
        if (!rle) {
            data.insert(data.end(), row, row + width);
            data.resize(data.size() + stride - width, 0);
            continue;
        }
        for (std::size_t x = 0; x < width;) {
            std::size_t run = 1;
            while (x + run < width && run < 255 && row[x + run] == row[x]) {
                ++run;
            }
            data.push_back(static_cast<std::uint8_t>(run));
            data.push_back(row[x]);
            x += run;
        }
        data.push_back(0);
        data.push_back(0); // end of line
    }
    if (rle) {
        data.push_back(0);
        data.push_back(1); // end of bitmap
    }
    std::vector<std::uint8_t> file = {'B', 'M'};
    const std::uint32_t offset = 14 + 40 + 1024;
    PutLE(file, offset + static_cast<std::uint32_t>(data.size()), 4);
    PutLE(file, 0, 4);
    PutLE(file, offset, 4);
    PutLE(file, 40, 4);
    PutLE(file, static_cast<std::uint32_t>(image.width), 4);
    PutLE(file, static_cast<std::uint32_t>(image.height), 4);
    PutLE(file, 1, 2);
    PutLE(file, 8, 2);
    PutLE(file, rle ? 1 : 0, 4);
    PutLE(file, static_cast<std::uint32_t>(data.size()), 4);
    PutLE(file, 0, 4);
    PutLE(file, 0, 4);
    PutLE(file, 256, 4);
    PutLE(file, 0, 4);
    for (std::size_t i = 0; i < 256; ++i) {
        file.push_back(palette[i * 3 + 2]);
        file.push_back(palette[i * 3 + 1]);
        file.push_back(palette[i * 3]);
        file.push_back(0);
    }
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

} // namespace texelary::bench
