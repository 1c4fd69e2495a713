#pragma once

// Where a run-length decoder writes: a buffer of the size the header gives, filled from the
// front. The coded data is read with a ByteCursor; each write here is checked against the room
// left, so that a run that would pass the picture's last byte is found before it is written.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace texelary {

class RunOutput {
public:
    explicit RunOutput(std::span<std::uint8_t> buffer)
        : m_buffer(buffer) {}

    bool Full() const { return m_filled == m_buffer.size(); }

    // Whether `count` more bytes fit.
    bool Fits(std::size_t count) const { return count <= m_buffer.size() - m_filled; }

    // Writes `unit` `times` times over; false, writing nothing, when that does not fit.
    bool Repeat(std::span<const std::uint8_t> unit, std::size_t times) {
        if (unit.empty()) {
            return true;
        }
        if (times > (m_buffer.size() - m_filled) / unit.size()) {
            return false;
        }
        std::uint8_t* out = m_buffer.data() + m_filled;
        if (unit.size() == 1) {
            std::memset(out, unit[0], times);
        } else {
            for (std::size_t i = 0; i < times; ++i, out += unit.size()) {
                std::memcpy(out, unit.data(), unit.size());
            }
        }
        m_filled += times * unit.size();
        return true;
    }

    bool Repeat(std::uint8_t value, std::size_t times) {
        return Repeat(std::span<const std::uint8_t>(&value, 1), times);
    }

private:
    std::span<std::uint8_t> m_buffer;
    std::size_t m_filled = 0;
};

} // namespace texelary
