#pragma once

// Builds small uncompressed bitmap files for tests: 40-byte info header, bottom-up rows padded to
// 4 bytes, a colour table of `colours` entries for 8-bit files.

#include <cstdint>
#include <vector>

namespace texelary::test {

inline void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// The file header and a 40-byte info header for an uncompressed bottom-up bitmap.
inline std::vector<std::uint8_t> BmpHeaders(std::int32_t width, std::int32_t height,
                                            std::uint16_t bitCount, std::uint32_t colours,
                                            std::uint32_t dataSize) {
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
    PutLE(out, 0, 4);
    PutLE(out, dataSize, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 2835, 4);
    PutLE(out, colours, 4);
    PutLE(out, 0, 4);
    return out;
}

// An 8-bit bitmap whose pixel (x, y) (y = 0 the top row) is pixels[y * width + x] and whose
// table entry i is (red, green, blue) = (i, 255 - i, i / 2).
inline std::vector<std::uint8_t> MakeBmp8(std::int32_t width, std::int32_t height,
                                          const std::vector<std::uint8_t>& pixels) {
    const auto stride = static_cast<std::uint32_t>((width + 3) / 4 * 4);
    std::vector<std::uint8_t> out =
        BmpHeaders(width, height, 8, 256, stride * static_cast<std::uint32_t>(height));
    for (std::uint32_t i = 0; i < 256; ++i) {
        out.push_back(static_cast<std::uint8_t>(i / 2));
        out.push_back(static_cast<std::uint8_t>(255 - i));
        out.push_back(static_cast<std::uint8_t>(i));
        out.push_back(0);
    }
    for (std::int32_t y = height - 1; y >= 0; --y) {
        for (std::int32_t x = 0; x < width; ++x) {
            out.push_back(pixels[static_cast<std::size_t>(y * width + x)]);
        }
        for (auto x = static_cast<std::uint32_t>(width); x < stride; ++x) {
            out.push_back(0);
        }
    }
    return out;
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
