#pragma once

// One wording of what a texture is, for every place that says it: --info prints these facts, and
// the texture browser's detail pane and the preview's status line show some of them, so the
// three say the same thing in the same words.

#include "formats/Formats.h"
#include "formats/TextureInfo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// What a fact is about, for a caller that shows only some of them.
enum class TextureFact : std::int32_t {
    Kind = 0,
    Size = 1,
    Levels = 2,
    Name = 3,
    AnimationName = 4,
    Flags = 5,
    Contents = 6,
    Value = 7,
    DistinctIndices = 8,
    Rules = 9,
    Version = 10,
    FormatField = 11 // one of the fields of a format's own, after the five shared ones
};

struct DescribedFact {
    TextureFact fact;
    std::string_view label;           // "animation name"
    std::string value;                // "\"e1u1/lava2\"", "4: 64 x 64, 32 x 32, 16 x 16, 8 x 8"
    std::vector<std::string> details; // lines that belong under it: the rules the file breaks
};

// The facts of a texture of format `kind` that `info` describes, in --info's order: its kind,
// version when stored, size and levels, its five header fields and its format's own when it has
// them, the distinct indices its picture uses and whether it follows its format's rules.
std::vector<DescribedFact> DescribeTexture(SourceFormat kind, const TextureInfo& info);

// A name in double quotes, whatever bytes a header holds: bytes that are not printable ASCII, and
// quotes and backslashes, as \xHH.
std::string QuotedName(std::string_view name);

// A header field's number: 0x and eight upper-case hexadecimal digits.
std::string FieldHex(std::uint32_t value);

} // namespace texelary
