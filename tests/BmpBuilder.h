#pragma once

// Builds small bitmap files for the tests and the benchmarks: 40-byte info header, bottom-up rows
// padded to 4 bytes, a colour table of `colours` entries for 8-bit files.

#include "image/IndexedImage.h"

#include <cstdint>
#include <vector>

namespace texelary::test {

inline void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// The file header and a 40-byte info header for a bottom-up bitmap.
inline std::vector<std::uint8_t> BmpHeaders(std::int32_t width, std::int32_t height,
                                            std::uint16_t bitCount, std::uint32_t colours,
                                            std::uint32_t dataSize, std::uint32_t compression = 0) {
    const std::uint32_t dataOffset = 14 + 40 + colours * 4;
    std::vector<std::uint8_t> out = {'B', 'M'};
    PutLE(out, dataOffset + dataSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, dataOffset, 4);
    PutLE(out, 40, 4);
    PutLE(out, static_cast<std::uint32_t>(width), 4);
    PutLE(out, static_cast<std::uint32_t>(height), 4);
    PutLE(out, 1, 2);
    PutLE(out, bitCount, 2);
    PutLE(out, compression, 4);
    PutLE(out, dataSize, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 2835, 4);
    PutLE(out, colours, 4);
    PutLE(out, 0, 4);
    return out;
}

// The rows of an 8-bit bitmap, bottom row first: uncompressed and padded, or RLE8 (runs only, no
// literals).
inline std::vector<std::uint8_t> Bmp8Rows(std::int32_t width, std::int32_t height,
                                          const std::uint8_t* pixels, bool rle) {
    std::vector<std::uint8_t> data;
    const auto rowSize = static_cast<std::size_t>(width);
    const std::size_t stride = (rowSize + 3) / 4 * 4;
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * rowSize;
        if (!rle) {
            data.insert(data.end(), row, row + rowSize);
            data.resize(data.size() + stride - rowSize, 0);
            continue;
        }
        for (std::size_t x = 0; x < rowSize;) {
            std::size_t run = 1;
            while (x + run < rowSize && run < 255 && row[x + run] == row[x]) {
                ++run;
            }
            data.insert(data.end(), {static_cast<std::uint8_t>(run), row[x]});
            x += run;
        }
        data.insert(data.end(), {0, 0}); // end of line
    }
    if (rle) {
        data.insert(data.end(), {0, 1}); // end of bitmap
    }
    return data;
}

// An 8-bit bitmap whose pixel (x, y) (y = 0 the top row) is pixels[y * width + x], with all 256
// colours of `palette`.
inline std::vector<std::uint8_t> EncodeBmp8(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, const Palette& palette,
                                            bool rle = false) {
    const std::vector<std::uint8_t> data = Bmp8Rows(width, height, pixels, rle);
    std::vector<std::uint8_t> out =
        BmpHeaders(width, height, 8, 256, static_cast<std::uint32_t>(data.size()), rle ? 1 : 0);
    for (std::size_t i = 0; i < 256; ++i) {
        out.insert(out.end(), {palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0});
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& image, const Palette& palette,
                                            bool rle = false) {
    return EncodeBmp8(image.width, image.height, image.pixels.get(), palette, rle);
}

// An 8-bit bitmap whose pixel (x, y) (y = 0 the top row) is pixels[y * width + x] and whose
// table entry i is (red, green, blue) = (i, 255 - i, i / 2).
inline std::vector<std::uint8_t> MakeBmp8(std::int32_t width, std::int32_t height,
                                          const std::vector<std::uint8_t>& pixels) {
    Palette palette{};
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(i);
        palette[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        palette[3 * i + 2] = static_cast<std::uint8_t>(i / 2);
    }
    return EncodeBmp8(width, height, pixels.data(), palette);
}

// A 24-bit bitmap of the given size (all black): a readable bitmap that is not a 256-colour one.
inline std::vector<std::uint8_t> MakeBmp24(std::int32_t width, std::int32_t height) {
    const auto stride = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
    const std::uint32_t dataSize = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out = BmpHeaders(width, height, 24, 0, dataSize);
    out.resize(out.size() + dataSize, 0);
    return out;
}

} // namespace texelary::test
