#pragma once

// Little-endian field access for the file formats. Values are assembled by shifts, never by
// casting bytes to a struct, so the code does not depend on the host's byte order or alignment.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

namespace texelary {

inline std::uint16_t LoadLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t LoadLE32Signed(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLE32(p));
}

inline void StoreLE32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void StoreLE32(std::uint8_t* p, std::int32_t value) {
    StoreLE32(p, static_cast<std::uint32_t>(value));
}

// Reads fields one after another; a read past the end sets a sticky failure flag and yields 0,
// so a parser reads all the fields it needs and checks Ok() once.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes, std::size_t offset = 0)
        : m_bytes(bytes)
        , m_offset(offset)
        , m_ok(offset <= bytes.size()) {}

    std::uint8_t U8() { return Take(1) ? m_bytes[m_offset - 1] : 0; }
    std::uint16_t U16() { return Take(2) ? LoadLE16(m_bytes.data() + m_offset - 2) : 0; }
    std::uint32_t U32() { return Take(4) ? LoadLE32(m_bytes.data() + m_offset - 4) : 0; }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    // The next `count` bytes as they are; empty after a read past the end.
    std::span<const std::uint8_t> Bytes(std::size_t count) {
        return Take(count) ? m_bytes.subspan(m_offset - count, count)
                           : std::span<const std::uint8_t>();
    }
    void Skip(std::size_t count) { Take(count); }

    bool Ok() const { return m_ok; }
    std::size_t Offset() const { return m_offset; }

private:
    bool Take(std::size_t count) {
        if (!m_ok || count > m_bytes.size() - m_offset) {
            m_ok = false;
            return false;
        }
        m_offset += count;
        return true;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset;
    bool m_ok;
};

// The product of two non-negative counts, or none when it does not fit in a std::size_t.
inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b) {
    if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) {
        return std::nullopt;
    }
    return a * b;
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes; written so that
// the sum cannot wrap.
inline bool FitsIn(std::size_t size, std::size_t offset, std::size_t length) {
    return offset <= size && length <= size - offset;
}

} // namespace texelary
