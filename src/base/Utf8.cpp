#include "base/Utf8.h"

#include <cstdint>

namespace texelary {

std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
    if (at >= text.size()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    // The lead byte gives the length and the range of the second byte (RFC 3629, section 4).
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length > text.size() - at || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::size_t Utf8Prefix(std::string_view text, std::size_t room) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = Utf8CharLength(text, end);
        const std::size_t step = length == 0 ? 1 : length;
        if (step > room - end) {
            break;
        }
        end += step;
    }
    return end;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace texelary
