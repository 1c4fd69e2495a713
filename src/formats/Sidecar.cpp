#include "formats/Sidecar.h"

#include "base/Utf8.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace texelary {

namespace {

// The surface flags and contents of the game whose map compilers read these files.
constexpr std::array kSurfaceFlags{
    NamedBit{"light", 0x1},    NamedBit{"slick", 0x2},    NamedBit{"sky", 0x4},
    NamedBit{"warp", 0x8},     NamedBit{"trans33", 0x10}, NamedBit{"trans66", 0x20},
    NamedBit{"flowing", 0x40}, NamedBit{"nodraw", 0x80},  NamedBit{"hint", 0x100},
    NamedBit{"skip", 0x200},
};
constexpr std::array kContents{
    NamedBit{"solid", 0x1},
    NamedBit{"window", 0x2},
    NamedBit{"aux", 0x4},
    NamedBit{"lava", 0x8},
    NamedBit{"slime", 0x10},
    NamedBit{"water", 0x20},
    NamedBit{"mist", 0x40},
    NamedBit{"areaportal", 0x8000},
    NamedBit{"playerclip", 0x10000},
    NamedBit{"monsterclip", 0x20000},
    NamedBit{"current_0", 0x40000},
    NamedBit{"current_90", 0x80000},
    NamedBit{"current_180", 0x100000},
    NamedBit{"current_270", 0x200000},
    NamedBit{"current_up", 0x400000},
    NamedBit{"current_down", 0x800000},
    NamedBit{"origin", 0x1000000},
    NamedBit{"monster", 0x2000000},
    NamedBit{"deadmonster", 0x4000000},
    NamedBit{"detail", 0x8000000},
    NamedBit{"translucent", 0x10000000},
    NamedBit{"ladder", 0x20000000},
};

using Json = nlohmann::json;

// A number of 32 bits, signed or not, as its stored bits.
std::optional<std::uint32_t> Bits(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number <= 0xFFFFFFFFu ? std::optional(static_cast<std::uint32_t>(number))
                                     : std::nullopt;
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        return number >= INT32_MIN ? std::optional(static_cast<std::uint32_t>(number))
                                   : std::nullopt;
    }
    return std::nullopt;
}

// A number, a name of `names` (with or without `prefix`), or a list of them or-ed together.
template <std::size_t N>
std::optional<std::uint32_t> BitsOf(const Json& value, const std::array<NamedBit, N>& names,
                                    std::string_view prefix) {
    if (value.is_string()) {
        std::string name = AsciiLower(value.get<std::string>());
        if (name.starts_with(prefix)) {
            name.erase(0, prefix.size());
        }
        for (const NamedBit& known : names) {
            if (known.name == name) {
                return known.bit;
            }
        }
        return std::nullopt;
    }
    if (value.is_array()) {
        std::uint32_t bits = 0;
        for (const Json& item : value) {
            const auto one = item.is_array() ? std::nullopt : BitsOf(item, names, prefix);
            if (!one) {
                return std::nullopt;
            }
            bits |= *one;
        }
        return bits;
    }
    return Bits(value);
}

// Where a JSON syntax error lies: the line and column (from 1) of the byte at `position`, which
// counts from 1 as the parser's error does.
std::string PlaceOf(std::span<const std::uint8_t> bytes, std::size_t position) {
    const std::size_t end = std::min(position > 0 ? position - 1 : 0, bytes.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        const bool newLine = bytes[i] == '\n';
        column = newLine ? 1 : column + 1;
        line += newLine ? 1u : 0u;
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A value as the file has it, cut short when long, for a message.
std::string Shown(const Json& value) {
    std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    constexpr std::size_t kLongest = 40;
    if (text.size() > kLongest) {
        text = std::string(CutAtCharacter(text, kLongest - 3)) + "...";
    }
    return text;
}

// One field of a format's own from its JSON value: false for a value of another kind, or out of
// the field's range. What each kind of field holds, for the message, is WhatItHolds's.
bool Take(const Json& value, std::string& to) {
    if (!value.is_string()) {
        return false;
    }
    to = value.get<std::string>();
    return true;
}
bool Take(const Json& value, float& to) {
    if (!value.is_number() ||
        std::abs(value.get<double>()) > static_cast<double>(std::numeric_limits<float>::max())) {
        return false;
    }
    to = static_cast<float>(value.get<double>());
    return true;
}
bool Take(const Json& value, std::int32_t& to) {
    const auto bits = Bits(value);
    to = bits ? static_cast<std::int32_t>(*bits) : to;
    return bits.has_value();
}
bool Take(const Json& value, std::uint16_t& to) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
        value.get<std::int64_t>() > 0xFFFF) {
        return false;
    }
    to = static_cast<std::uint16_t>(value.get<std::int64_t>());
    return true;
}
template <class T, std::size_t N> bool Take(const Json& value, std::array<T, N>& to) {
    if (!value.is_array() || value.size() > N) {
        return false;
    }
    std::array<T, N> taken{};
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!Take(value[i], taken[i])) {
            return false;
        }
    }
    to = taken;
    return true;
}

std::string WhatItHolds(const std::string&) {
    return "text";
}
std::string WhatItHolds(float) {
    return "a number";
}
std::string WhatItHolds(std::int32_t) {
    return "a number of 32 bits";
}
std::string WhatItHolds(std::uint16_t) {
    return "a number from 0 to 65535";
}
template <class T, std::size_t N> std::string WhatItHolds(const std::array<T, N>&) {
    return "a list of at most " + std::to_string(N) + " of " + WhatItHolds(T{});
}

// A format's own fields, every one written.
template <class Fields> nlohmann::ordered_json FieldsJson(const Fields& fields) {
    auto object = nlohmann::ordered_json::object();
    VisitFormatFields(fields, [&object](const char* key, const char*, const auto& member) {
        // The reserved words are left out while they are all 0, as they nearly always are.
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(member)>,
                                     std::array<std::int32_t, 20>>) {
            if (std::all_of(member.begin(), member.end(), [](std::int32_t v) { return v == 0; })) {
                return;
            }
        }
        object[key] = member;
    });
    return object;
}

// The object of a format's own fields at `key` of `file`, when there is one, into `to`; the
// fields it leaves out keep their values for a new texture. False, with the reason, for a value
// that is not an object or a field of the wrong kind.
template <class Fields>
bool TakeFormatFields(const Json& file, const char* key, std::optional<Fields>& to,
                      std::string& reason) {
    if (!file.contains(key)) {
        return true;
    }
    const Json& object = file[key];
    if (!object.is_object()) {
        reason = std::string("\"") + key + "\": " + Shown(object) + " is not a JSON object";
        return false;
    }
    Fields fields;
    bool taken = true;
    VisitFormatFields(fields, [&](const char* name, const char*, auto& member) {
        if (taken && object.contains(name) && !Take(object[name], member)) {
            reason = std::string("\"") + key + "." + name + "\": " + Shown(object[name]) +
                     " is not " + WhatItHolds(member);
            taken = false;
        }
    });
    if (taken) {
        to = fields;
    }
    return taken;
}

} // namespace

nlohmann::ordered_json FormatFieldsJson(const M32Fields& fields) {
    return FieldsJson(fields);
}

nlohmann::ordered_json FormatFieldsJson(const SwlFields& fields) {
    return FieldsJson(fields);
}

std::span<const NamedBit> SurfaceFlagNames() {
    return kSurfaceFlags;
}

std::span<const NamedBit> ContentsNames() {
    return kContents;
}

std::optional<std::uint32_t> SurfaceFlagNamed(std::string_view name) {
    return BitsOf(Json(std::string(name)), kSurfaceFlags, "surf_");
}

std::optional<std::uint32_t> ContentsNamed(std::string_view name) {
    return BitsOf(Json(std::string(name)), kContents, "contents_");
}

std::string SidecarPath(const std::string& picturePath) {
    const std::size_t slash = picturePath.find_last_of("/\\");
    const std::size_t dot = picturePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? picturePath.substr(0, dot) : picturePath) + ".wal_json";
}

std::vector<std::uint8_t> EncodeSidecar(std::int32_t width, std::int32_t height,
                                        const HeaderFields& fields) {
    nlohmann::ordered_json file;
    if (!fields.name.empty()) {
        file["name"] = fields.name;
    }
    file["width"] = width;
    file["height"] = height;
    file["flags"] = fields.flags;
    file["contents"] = fields.contents;
    file["value"] = fields.value;
    if (!fields.animationName.empty()) {
        file["animation"] = fields.animationName;
    }
    if (fields.m32) {
        file["m32"] = FormatFieldsJson(*fields.m32);
    }
    if (fields.swl) {
        file["swl"] = FormatFieldsJson(*fields.swl);
    }
    // Names are the bytes of their fields: ones that are not UTF-8 are written as they stand
    // rather than refused, so that no texture loses its name.
    const std::string text =
        file.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return {text.begin(), text.end()};
}

std::optional<HeaderFields> ParseSidecar(std::span<const std::uint8_t> bytes, std::string& reason) {
    Json file;
    try {
        file = Json::parse(bytes.begin(), bytes.end(), nullptr, true, true);
    } catch (const Json::parse_error& error) {
        reason = "a JSON syntax error at " + PlaceOf(bytes, error.byte);
        return std::nullopt;
    } catch (const Json::exception&) {
        // The parser's only other refusal: a number past the range of a double.
        reason = "a number too large to be read";
        return std::nullopt;
    }
    if (!file.is_object()) {
        reason = "not a JSON object";
        return std::nullopt;
    }
    HeaderFields fields;
    const auto text = [&file, &reason](const char* key, std::string& to) {
        if (!file.contains(key)) {
            return true;
        }
        if (!file[key].is_string()) {
            reason = std::string("\"") + key + "\": " + Shown(file[key]) + " is not text";
            return false;
        }
        to = file[key].get<std::string>();
        return true;
    };
    const auto number = [&file, &reason](const char* key, auto bitsOf, std::uint32_t& to) {
        if (!file.contains(key)) {
            return true;
        }
        const auto bits = bitsOf(file[key]);
        if (!bits) {
            reason = std::string("\"") + key + "\": " + Shown(file[key]) +
                     " is not a number of 32 bits or a known name";
            return false;
        }
        to = *bits;
        return true;
    };
    const auto flags = [](const Json& value) { return BitsOf(value, kSurfaceFlags, "surf_"); };
    const auto contents = [](const Json& value) { return BitsOf(value, kContents, "contents_"); };
    const auto plain = [](const Json& value) { return Bits(value); };
    if (!text("name", fields.name) || !text("animation", fields.animationName) ||
        !number("flags", flags, fields.flags) || !number("contents", contents, fields.contents) ||
        !number("value", plain, fields.value) ||
        !TakeFormatFields(file, "m32", fields.m32, reason) ||
        !TakeFormatFields(file, "swl", fields.swl, reason)) {
        return std::nullopt;
    }
    return fields;
}

} // namespace texelary
