#include "formats/FieldEdits.h"

#include "base/ByteOrder.h"
#include "base/Utf8.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/Sidecar.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/SwlFormat.h"
#include "formats/mips/WalFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace texelary {

namespace {

enum class FieldKind : std::uint8_t { Text, Bits, Number32, Number16, Signed32, Float, Floats3 };

struct FieldPlace {
    std::string_view key;
    std::size_t offset;
    FieldKind kind;
    std::size_t size = 0; // of a text field, its terminating zero included
};

// Where each header keeps the fields that can be set, as each format's own layout gives them
// (WalLayout, Wal3Layout, M8Layout, M32Layout, SwlLayout); the readers check these in the tests.
namespace FieldEditLayout {
constexpr std::array kWal{
    FieldPlace{"name", 0, FieldKind::Text, 32},   FieldPlace{"animation", 56, FieldKind::Text, 32},
    FieldPlace{"flags", 88, FieldKind::Bits},     FieldPlace{"contents", 92, FieldKind::Bits},
    FieldPlace{"value", 96, FieldKind::Number32},
};
constexpr std::array kWal3{
    FieldPlace{"name", 1, FieldKind::Text, 32},    FieldPlace{"animation", 80, FieldKind::Text, 32},
    FieldPlace{"flags", 112, FieldKind::Bits},     FieldPlace{"contents", 116, FieldKind::Bits},
    FieldPlace{"value", 888, FieldKind::Number32},
};
constexpr std::array kM8{
    FieldPlace{"name", 4, FieldKind::Text, 32},
    FieldPlace{"animation", 228, FieldKind::Text, 32},
    FieldPlace{"flags", 1028, FieldKind::Bits},
    FieldPlace{"contents", 1032, FieldKind::Bits},
    FieldPlace{"value", 1036, FieldKind::Number32},
};
constexpr std::array kM32{
    FieldPlace{"name", 4, FieldKind::Text, 128},
    FieldPlace{"alternate_name", 132, FieldKind::Text, 128},
    FieldPlace{"animation", 260, FieldKind::Text, 128},
    FieldPlace{"damage_name", 388, FieldKind::Text, 128},
    FieldPlace{"flags", 708, FieldKind::Bits},
    FieldPlace{"contents", 712, FieldKind::Bits},
    FieldPlace{"value", 716, FieldKind::Number32},
    FieldPlace{"scale_x", 720, FieldKind::Float},
    FieldPlace{"scale_y", 724, FieldKind::Float},
    FieldPlace{"mip_scale", 728, FieldKind::Signed32},
    FieldPlace{"detail_name", 732, FieldKind::Text, 128},
    FieldPlace{"detail_scale_x", 860, FieldKind::Float},
    FieldPlace{"detail_scale_y", 864, FieldKind::Float},
    FieldPlace{"detail_u", 868, FieldKind::Float},
    FieldPlace{"detail_v", 872, FieldKind::Float},
    FieldPlace{"detail_alpha", 876, FieldKind::Float},
    FieldPlace{"detail_blend_source", 880, FieldKind::Signed32},
    FieldPlace{"detail_blend_destination", 884, FieldKind::Signed32},
};
constexpr std::array kSwl{
    FieldPlace{"name", 0, FieldKind::Text, 64},
    FieldPlace{"animation", 1116, FieldKind::Text, 64},
    FieldPlace{"flags", 1180, FieldKind::Bits},
    FieldPlace{"contents", 1184, FieldKind::Bits},
    FieldPlace{"value", 1188, FieldKind::Number16},
    FieldPlace{"direct", 1190, FieldKind::Number16},
    FieldPlace{"animation_time", 1192, FieldKind::Float},
    FieldPlace{"non_lit", 1196, FieldKind::Float},
    FieldPlace{"direct_angle", 1200, FieldKind::Number16},
    FieldPlace{"translucence_angle", 1202, FieldKind::Number16},
    FieldPlace{"direct_style", 1204, FieldKind::Float},
    FieldPlace{"translucence", 1208, FieldKind::Float},
    FieldPlace{"friction", 1212, FieldKind::Float},
    FieldPlace{"restitution", 1216, FieldKind::Float},
    FieldPlace{"translucence_magnitude", 1220, FieldKind::Float},
    FieldPlace{"colour", 1224, FieldKind::Floats3},
};
} // namespace FieldEditLayout

std::span<const FieldPlace> PlacesOf(EditableFormat format) {
    switch (format) {
    case EditableFormat::Wal:
        return FieldEditLayout::kWal;
    case EditableFormat::Wal3:
        return FieldEditLayout::kWal3;
    case EditableFormat::M8:
        return FieldEditLayout::kM8;
    case EditableFormat::M32:
        return FieldEditLayout::kM32;
    case EditableFormat::Swl:
        return FieldEditLayout::kSwl;
    }
    return {};
}

const char* NameOf(EditableFormat format) {
    switch (format) {
    case EditableFormat::Wal:
        return ".wal";
    case EditableFormat::Wal3:
        return "version-3 .wal";
    case EditableFormat::M8:
        return ".m8";
    case EditableFormat::M32:
        return ".m32";
    case EditableFormat::Swl:
        return ".swl";
    }
    return "";
}

const FieldPlace* FindPlace(EditableFormat format, std::string_view key) {
    const auto places = PlacesOf(format);
    const auto found = std::find_if(places.begin(), places.end(),
                                    [&](const FieldPlace& place) { return place.key == key; });
    return found == places.end() ? nullptr : &*found;
}

bool KnownKey(std::string_view key) {
    for (const auto format : {EditableFormat::Wal, EditableFormat::M32, EditableFormat::Swl}) {
        if (FindPlace(format, key) != nullptr) {
            return true;
        }
    }
    return false;
}

// A whole number, decimal or 0x hex, with an optional sign, within [lowest, highest].
std::optional<std::int64_t> ParseWhole(std::string_view text, std::int64_t lowest,
                                       std::int64_t highest) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t magnitude = 0;
    const auto [end, code] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || code != std::errc{} || end != text.data() + text.size() ||
        magnitude > (std::uint64_t{1} << 32)) {
        return std::nullopt;
    }
    const auto number =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return number >= lowest && number <= highest ? std::optional(number) : std::nullopt;
}

std::optional<float> ParseFloat(std::string_view text) {
    double number = 0.0;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || code != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(number) ||
        std::abs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(number);
}

// Numbers and the game's names joined by `|`, or-ed together.
std::optional<std::uint32_t> ParseBits(std::string_view text, std::string_view key,
                                       std::string& reason) {
    std::uint32_t bits = 0;
    while (true) {
        const std::size_t bar = text.find('|');
        const std::string_view part = text.substr(0, bar);
        auto one = key == "flags" ? SurfaceFlagNamed(part) : ContentsNamed(part);
        if (!one) {
            const auto number = ParseWhole(part, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::uint32_t>::max());
            one = number ? std::optional(static_cast<std::uint32_t>(*number)) : std::nullopt;
        }
        if (!one) {
            reason = "\"" + std::string(part) + "\" is no number nor name of " +
                     (key == "flags" ? "a surface flag" : "contents");
            return std::nullopt;
        }
        bits |= *one;
        if (bar == std::string_view::npos) {
            return bits;
        }
        text.remove_prefix(bar + 1);
    }
}

// The new bits of a flags or contents field that holds `stored`: +BITS sets, -BITS clears.
std::optional<std::uint32_t> EditBits(std::uint32_t stored, const FieldEdit& edit,
                                      std::string& reason) {
    std::string_view text = edit.value;
    const char sign = text.empty() ? '\0' : text.front();
    if (sign == '+' || sign == '-') {
        text.remove_prefix(1);
    }
    const auto bits = ParseBits(text, edit.key, reason);
    if (!bits) {
        return std::nullopt;
    }
    return sign == '+' ? stored | *bits : sign == '-' ? stored & ~*bits : *bits;
}

bool StoreText(std::uint8_t* at, const FieldPlace& place, const FieldEdit& edit,
               std::string& reason) {
    if (edit.value.size() >= place.size) {
        reason = edit.key + " \"" + edit.value + "\" is longer than its field (" +
                 std::to_string(place.size - 1) + " bytes)";
        return false;
    }
    StoreTextField(at, place.size, edit.value);
    return true;
}

void StoreFloat(std::uint8_t* at, float number) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    StoreLE32(at, bits);
}

bool StoreFloats3(std::uint8_t* at, std::string_view text) {
    std::array<float, 3> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::size_t space = text.find(' ');
        const auto number = ParseFloat(text.substr(0, space));
        if (!number || (i + 1 < numbers.size()) == (space == std::string_view::npos)) {
            return false;
        }
        numbers[i] = *number;
        text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        StoreFloat(at + 4 * i, numbers[i]);
    }
    return true;
}

// Stores one edit's value; false, with the reason, when it does not fit the field.
bool StoreEdit(std::uint8_t* at, const FieldPlace& place, const FieldEdit& edit,
               std::string& reason) {
    constexpr std::int64_t kLowest32 = std::numeric_limits<std::int32_t>::min();
    std::optional<std::int64_t> whole;
    switch (place.kind) {
    case FieldKind::Text:
        return StoreText(at, place, edit, reason);
    case FieldKind::Bits: {
        const auto bits = EditBits(LoadLE32(at), edit, reason);
        if (bits) {
            StoreLE32(at, *bits);
        }
        return bits.has_value();
    }
    case FieldKind::Number32:
        whole = ParseWhole(edit.value, kLowest32, std::numeric_limits<std::uint32_t>::max());
        break;
    case FieldKind::Signed32:
        whole = ParseWhole(edit.value, kLowest32, std::numeric_limits<std::int32_t>::max());
        break;
    case FieldKind::Number16:
        whole = ParseWhole(edit.value, 0, std::numeric_limits<std::uint16_t>::max());
        if (whole) {
            at[0] = static_cast<std::uint8_t>(*whole);
            at[1] = static_cast<std::uint8_t>(*whole >> 8);
            return true;
        }
        break;
    case FieldKind::Float:
        if (const auto number = ParseFloat(edit.value)) {
            StoreFloat(at, *number);
            return true;
        }
        break;
    case FieldKind::Floats3:
        if (StoreFloats3(at, edit.value)) {
            return true;
        }
        break;
    }
    if (whole) {
        StoreLE32(at, static_cast<std::uint32_t>(*whole));
        return true;
    }
    reason = edit.key + " \"" + edit.value + "\" does not fit the field";
    return false;
}

// Whether the format's reader takes `file`, with its reason when not.
bool ReaderTakes(std::span<const std::uint8_t> file, EditableFormat format, std::string& reason) {
    ReadError error = ReadError::None;
    bool taken = false;
    switch (format) {
    case EditableFormat::Wal:
    case EditableFormat::Wal3:
        taken = DecodeWal(file, &error, LevelsWanted::First).has_value() &&
                (file[0] == 3) == (format == EditableFormat::Wal3);
        break;
    case EditableFormat::M8:
        taken = DecodeM8(file, &error, LevelsWanted::First).has_value();
        break;
    case EditableFormat::M32:
        taken = DecodeM32(file, &error, LevelsWanted::First).has_value();
        break;
    case EditableFormat::Swl:
        taken = DecodeSwl(file, &error, LevelsWanted::First).has_value();
        break;
    }
    if (!taken) {
        reason =
            std::string("not a ") + NameOf(format) + " file: " +
            (error == ReadError::None ? "its first byte says otherwise" : DescribeReadError(error));
    }
    return taken;
}

} // namespace

std::optional<std::vector<FieldEdit>> ParseFieldEdits(std::string_view text, std::string& reason) {
    std::vector<FieldEdit> edits;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view one = text.substr(0, comma);
        const std::size_t equals = one.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            reason = "\"" + std::string(one) + "\" is not KEY=VALUE";
            return std::nullopt;
        }
        FieldEdit edit{std::string(one.substr(0, equals)), std::string(one.substr(equals + 1))};
        if (!KnownKey(edit.key)) {
            reason = "no texture has a field \"" + edit.key + "\"";
            return std::nullopt;
        }
        edits.push_back(std::move(edit));
        if (comma == std::string_view::npos) {
            return edits;
        }
        text.remove_prefix(comma + 1);
    }
}

std::optional<EditableFormat> EditableFormatOf(std::string_view path,
                                               std::span<const std::uint8_t> file) {
    const std::size_t dot = path.rfind('.');
    const std::string extension =
        dot == std::string_view::npos ? std::string() : AsciiLower(std::string(path.substr(dot)));
    if (extension == ".wal") {
        return !file.empty() && file[0] == 3 ? EditableFormat::Wal3 : EditableFormat::Wal;
    }
    if (extension == ".m8") {
        return EditableFormat::M8;
    }
    if (extension == ".m32") {
        return EditableFormat::M32;
    }
    if (extension == ".swl") {
        return EditableFormat::Swl;
    }
    return std::nullopt;
}

bool ApplyFieldEdits(std::vector<std::uint8_t>& file, EditableFormat format,
                     std::span<const FieldEdit> edits, std::string& reason) {
    if (!ReaderTakes(file, format, reason)) {
        return false;
    }
    // Edited on a copy, so that a refused edit leaves the file as it was; the reader has
    // checked that the whole header is there.
    std::vector<std::uint8_t> header = file;
    for (const FieldEdit& edit : edits) {
        const FieldPlace* place = FindPlace(format, edit.key);
        if (place == nullptr) {
            reason = std::string("a ") + NameOf(format) + " file has no field \"" + edit.key + "\"";
            return false;
        }
        if (!StoreEdit(header.data() + place->offset, *place, edit, reason)) {
            return false;
        }
    }
    if (format == EditableFormat::Wal && header[0] == 3) {
        reason = "a .wal name cannot begin with the byte that marks version 3";
        return false;
    }
    file.swap(header);
    return true;
}

} // namespace texelary
