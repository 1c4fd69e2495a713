#pragma once

// Builds .m8 and .wal files for the readers (a zeroed header with chosen fields set, then some
// bytes), reads their 32-bit fields back, and gives the patterned pictures their writers' tests
// check levels against.

#include "TestImages.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace texelary::test {

// Where a mip texture format keeps what its picture reader needs.
struct MipHeaderShape {
    std::size_t headerSize;
    std::size_t widthAt;
    std::size_t heightAt;
    std::int32_t version; // written at offset 0 when not 0
};

inline constexpr MipHeaderShape kM8Shape{1040, 36, 100, 2};
inline constexpr MipHeaderShape kWalShape{100, 32, 36, 0};

inline std::int32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes.at(offset)) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
                                     (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24));
}

class MipBytes {
public:
    explicit MipBytes(const MipHeaderShape& shape)
        : m_shape(shape)
        , m_bytes(shape.headerSize, 0) {
        if (shape.version != 0) {
            Set(0, shape.version);
        }
    }
    MipBytes& Set(std::size_t offset, std::int32_t value) {
        const auto u = static_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i) {
            m_bytes[offset + i] = static_cast<std::uint8_t>(u >> (8 * i));
        }
        return *this;
    }
    MipBytes& Size(std::int32_t width, std::int32_t height) {
        return Set(m_shape.widthAt, width).Set(m_shape.heightAt, height);
    }
    MipBytes& Pixels(std::size_t count, std::uint8_t first = 1) {
        for (std::size_t i = 0; i < count; ++i) {
            m_bytes.push_back(static_cast<std::uint8_t>(first + i));
        }
        return *this;
    }
    MipBytes& Cut(std::size_t length) {
        m_bytes.resize(length);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    MipHeaderShape m_shape;
    std::vector<std::uint8_t> m_bytes;
};

// A value that differs between neighbouring pixels in both directions, so that a level sampled
// from the wrong place shows.
inline std::uint8_t PatternAt(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>((x * 13 + y * 101) % 251);
}

inline IndexedImage Patterned(std::int32_t width, std::int32_t height) {
    return MakePicture(width, height, PatternAt);
}

} // namespace texelary::test
