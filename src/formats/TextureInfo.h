#pragma once

// A look inside a texture file: what it is, its levels, its header fields, how many indices its
// picture uses, and where it strays from its format's rules. For the command line's --info.

#include "archives/WadArchive.h"
#include "formats/DecodedTexture.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/mips/StoredPicture.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

struct TextureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<StoredLevel> levels;     // the levels that hold pixels, level 0 first
    std::optional<std::int32_t> version; // for formats that store one
    std::optional<HeaderFields> fields;  // none for kinds without them
    // Palette indices that the full-size picture uses; none for a true-colour picture.
    std::optional<std::size_t> distinctIndices;
    // Where the file departs from its format's rules (levels not back to back, sizes not
    // halving, bytes missing or left over, a bitmap that is not 256-colour); empty when none.
    // Everyday picture formats follow theirs when their reader accepts them.
    std::vector<std::string> ruleBreaks;
};

// Looks inside the bytes of a file of one format; none, with the reason in `error`, when the
// reader of that format refuses the file. The format table's rows call these.
std::optional<TextureInfo> InspectBmp(std::span<const std::uint8_t> file, ReadError* error);
std::optional<TextureInfo> InspectM8(std::span<const std::uint8_t> file, ReadError* error);
std::optional<TextureInfo> InspectWal(std::span<const std::uint8_t> file, ReadError* error);
// A mip texture lump of a wad of `kind`: its four levels, no header fields.
std::optional<TextureInfo> InspectMipTexture(std::span<const std::uint8_t> lump, WadKind kind,
                                             ReadError* error);
// A picture of an everyday format, read by `decode`: one level, no header fields, indices only
// when it has a palette.
std::optional<TextureInfo> InspectPicture(std::span<const std::uint8_t> file, TextureDecoder decode,
                                          ReadError* error);

// Where the sides of a table of levels do not halve, in --info's words (the first level that
// breaks the rule), when they follow neither way files halve them: both sides rounded down, or a
// side of 1 kept while the other halves.
void CheckLevelSizes(const std::vector<StoredLevel>& levels, TextureInfo& info);

// The parts of a look inside that every mip texture format shares, for the formats' own Inspect
// functions. What every palette picture of a mip texture or bitmap shows: its size and the
// indices used.
TextureInfo InfoOfImage(const IndexedImage& image);
// Checks the level table of a mip texture against the format's rules: each level half the one
// before, the levels with pixels back to back from the end of the header, the others at offset
// 0, and the file ending with the last level. Adds the levels with pixels and the rule breaks to
// `info`.
void CheckLevels(const StoredLevels& stored, std::size_t fileSize, TextureInfo& info);

} // namespace texelary
