#pragma once

// A look inside a texture file: what it is, its levels, its header fields, how many indices its
// picture uses, and where it strays from its format's rules. For the command line's --info.

#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/StoredPicture.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

enum class TextureKind : std::uint8_t { Bmp, M8, Wal, Png, Tga, Pcx };

// The short name of a kind, its usual extension without the dot: "bmp", "m8", "wal", ...
const char* KindName(TextureKind kind);

// The kind of a file by its extension, in any case; none for other extensions.
std::optional<TextureKind> KindOfPath(const std::string& path);

struct TextureInfo {
    TextureKind kind = TextureKind::Bmp;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<StoredLevel> levels;    // the levels that hold pixels, level 0 first
    std::optional<HeaderFields> fields; // none for kinds without them
    // Palette indices that the full-size picture uses; none for a true-colour picture.
    std::optional<std::size_t> distinctIndices;
    // Where the file departs from its format's rules (levels not back to back, sizes not
    // halving, bytes missing or left over, a bitmap that is not 256-colour); empty when none.
    // Everyday picture formats follow theirs when their reader accepts them.
    std::vector<std::string> ruleBreaks;
};

// Looks inside the bytes of a file of `kind`. None, with the reason in `error`, when the reader
// of that kind refuses the file.
std::optional<TextureInfo> InspectTexture(std::span<const std::uint8_t> file, TextureKind kind,
                                          ReadError* error = nullptr);

} // namespace texelary
