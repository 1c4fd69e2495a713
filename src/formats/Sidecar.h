#pragma once

// The header fields of a texture kept beside a picture of it, for tools that read pictures but
// know nothing of .wal or .m8 headers: map compilers take `NAME.wal_json` next to `NAME.png` for
// the flags, contents, value and animation a .wal would have given them. A JSON object:
//   {"name": "e1u1/water", "width": 64, "height": 64, "flags": 8, "contents": 32,
//    "value": 0, "animation": "e1u1/water2"}
// Every key may be left out. Flags and contents may also be given as the game's names ("SKY",
// "CONTENTS_WATER"), in any case, or as a list of names and numbers, which are or-ed together.
// "name" is this program's own, for a texture to come back with the name it had; other tools
// ignore it. "width" and "height" tell an editor the size to treat the surface as having: a
// picture converted with the file keeps its own size.
//
// A texture with fields of its format's own carries them under that format's key, every one,
// so that a round trip through a picture keeps them (keys as VisitFormatFields names them):
//   "m32": {"alternate_name": "", "damage_name": "", "scale_x": 1.0, "scale_y": 1.0,
//           "mip_scale": 1, "detail_name": "", "detail_scale_x": 0.0, "detail_scale_y": 0.0,
//           "detail_u": 0.0, "detail_v": 0.0, "detail_alpha": 0.0, "detail_blend_source": 0,
//           "detail_blend_destination": 0, "reserved": [20 numbers, left out when all 0]}
//   "swl": {"direct": 0, "animation_time": 0.0, "non_lit": 0.0, "direct_angle": 0,
//           "translucence_angle": 0, "direct_style": 0.0, "translucence": 0.0, "friction": 0.0,
//           "restitution": 0.0, "translucence_magnitude": 0.0, "colour": [0.0, 0.0, 0.0]}
// A field left out takes a new texture's value (scales and mip scale 1, the rest 0); a list may
// be shorter than the field, the rest 0.

#include "formats/HeaderFields.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// `picturePath` with its extension (if any) replaced by .wal_json.
std::string SidecarPath(const std::string& picturePath);

// The file for a texture of `width` x `height` with `fields`. The names are left out when empty.
std::vector<std::uint8_t> EncodeSidecar(std::int32_t width, std::int32_t height,
                                        const HeaderFields& fields);

// The fields in `bytes` (comments allowed, as other tools allow them). None, with the reason in
// a few words, for a file that is not a JSON object, a key of the wrong kind, a name that is no
// flag or contents of the game's, or a number that does not fit 32 bits.
std::optional<HeaderFields> ParseSidecar(std::span<const std::uint8_t> bytes, std::string& reason);

// The bit of the game's surface flag or contents named `name` (any case, with or without the
// "SURF_" or "CONTENTS_" prefix); none for a name the game does not have.
std::optional<std::uint32_t> SurfaceFlagNamed(std::string_view name);
std::optional<std::uint32_t> ContentsNamed(std::string_view name);

// A surface flag or contents bit by the name the games' tools give it, without its prefix
// ("light" is SURF_LIGHT).
struct NamedBit {
    std::string_view name;
    std::uint32_t bit;
};

// Every surface flag and contents bit the game names, in the order of their bits: what an editor
// offers to set.
std::span<const NamedBit> SurfaceFlagNames();
std::span<const NamedBit> ContentsNames();

// A format's own fields as the sidecar writes them, every one: for --info --json too.
nlohmann::ordered_json FormatFieldsJson(const M32Fields& fields);
nlohmann::ordered_json FormatFieldsJson(const SwlFields& fields);

} // namespace texelary
