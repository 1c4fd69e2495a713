#pragma once

// The five header fields that .m8 and .wal textures share beyond their pixels: the texture's
// name (its path in the game, "Palace/floor32"), the name of the next frame of its animation,
// and the surface flags, contents and value that map compilers and engines read. Both formats
// hold the two names in zero-padded text fields of the same size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace texelary {

struct HeaderFields {
    std::string name;          // the bytes of the field up to its first zero
    std::string animationName; // empty when the texture is not animated
    std::uint32_t flags = 0;   // stored bits, copied as they are
    std::uint32_t contents = 0;
    std::uint32_t value = 0;

    bool operator==(const HeaderFields&) const = default;
};

// The size of the name and animation name fields in both formats, terminating zero included.
constexpr std::size_t kTextureNameFieldSize = 32;

// The text of a field of `size` bytes: its bytes up to the first zero, or all of them when the
// field has none.
std::string LoadTextField(const std::uint8_t* field, std::size_t size);

// `text` cut to at most maxBytes bytes without splitting a UTF-8 character: a cut that would fall
// inside a multi-byte sequence moves back to where that sequence begins.
std::string_view CutAtCharacter(std::string_view text, std::size_t maxBytes);

// True when both names fit a field of `fieldSize` bytes with their terminating zero.
bool NamesFit(const HeaderFields& fields, std::size_t fieldSize);

// Where a format's header keeps the five fields; both names take kTextureNameFieldSize bytes.
struct HeaderFieldOffsets {
    std::size_t name, animationName, flags, contents, value;
};

// Names cut as StoreTextField says.
void StoreHeaderFields(std::uint8_t* header, const HeaderFieldOffsets& at,
                       const HeaderFields& fields);

// Stores `text` in a field of `size` bytes (at least 1): cut as CutAtCharacter says to leave room
// for the terminating zero, the rest of the field zero.
void StoreTextField(std::uint8_t* field, std::size_t size, std::string_view text);

} // namespace texelary
