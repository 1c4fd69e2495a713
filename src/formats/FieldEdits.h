#pragma once

// Header fields of a mip texture set in place: `name=e1u1/water,flags=+SURF_WARP` changes those
// bytes of the file's header and no others, so its pixels and every field not named stay as they
// were. Keys are the sidecar's: name, animation, flags, contents, value, and the format's own
// fields (VisitFormatFields's keys: scale_x, friction, ...). Flags and contents take a number
// (decimal or 0x hex), the game's names joined by `|` ("SURF_LIGHT|SURF_WARP"), or `+NAME` and
// `-NAME` to set or clear bits and keep the rest. A key may be given more than once; the edits
// apply in order.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

struct FieldEdit {
    std::string key;
    std::string value;

    bool operator==(const FieldEdit&) const = default;
};

// The mip texture files whose headers can be edited.
enum class EditableFormat : std::int32_t { Wal = 0, Wal3 = 1, M8 = 2, M32 = 3, Swl = 4 };

// The edits of `text` (KEY=VALUE, separated by commas). None, with the reason, for an empty
// list, an edit without `=`, or a key that no format has.
std::optional<std::vector<FieldEdit>> ParseFieldEdits(std::string_view text, std::string& reason);

// The format of the file at `path` from its extension (.wal, .m8, .m32, .swl), a .wal whose first
// byte is 3 being version 3; none for any other extension.
std::optional<EditableFormat> EditableFormatOf(std::string_view path,
                                               std::span<const std::uint8_t> file);

// Applies `edits` to the bytes of a file of `format`, changing only the bytes of the fields
// named. False, with the reason and `file` untouched, when the file is not one of that format
// (its reader refuses it), a key is not the format's, or a value does not fit its field.
bool ApplyFieldEdits(std::vector<std::uint8_t>& file, EditableFormat format,
                     std::span<const FieldEdit> edits, std::string& reason);

} // namespace texelary
