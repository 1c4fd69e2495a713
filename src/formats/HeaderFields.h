#pragma once

// The five header fields that the family's mip textures share beyond their pixels: the texture's
// name (its path in the game, "Palace/floor32"), the name of the next frame of its animation,
// and the surface flags, contents and value that map compilers and engines read. The .m8 and
// the .wal hold the two names in zero-padded text fields of the same size; the .m32 and the .swl
// in larger ones.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace texelary {

// What an .m32 header holds beyond the five shared fields: two more texture names, the scale the
// engine draws it at, and the detail texture blended over it. Stored as they are, so that an .m32
// written from an .m32 keeps every byte of its header.
struct M32Fields {
    std::string alternateName;
    std::string damageName;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    std::int32_t mipScale = 1;
    std::string detailName;
    float detailScaleX = 0.0f;
    float detailScaleY = 0.0f;
    float detailU = 0.0f;
    float detailV = 0.0f;
    float detailAlpha = 0.0f;
    std::int32_t detailSourceBlend = 0;
    std::int32_t detailDestinationBlend = 0;
    std::array<std::int32_t, 20> reserved{}; // the first holds a second flags word

    bool operator==(const M32Fields&) const = default;
};

// What a SiN .swl header holds beyond the five shared fields: how the surface lights, shows
// through and moves what touches it.
struct SwlFields {
    std::uint16_t direct = 0;
    float animationTime = 0.0f;
    float nonLit = 0.0f;
    std::uint16_t directAngle = 0;
    std::uint16_t translucenceAngle = 0;
    float directStyle = 0.0f;
    float translucence = 0.0f;
    float friction = 0.0f;
    float restitution = 0.0f;
    float translucenceMagnitude = 0.0f;
    std::array<float, 3> colour{};

    bool operator==(const SwlFields&) const = default;
};

// Every field of `fields` (an M32Fields or SwlFields, const or not) given to `visit` in the
// header's order, with its key in a sidecar's JSON and its label in --info:
// visit("scale_x", "scale x", fields.scaleX). One list serves the sidecar, --info and the tests.
template <class Fields, class Visit> void VisitFormatFields(Fields& fields, Visit&& visit) {
    if constexpr (std::is_same_v<std::remove_const_t<Fields>, M32Fields>) {
        visit("alternate_name", "alternate name", fields.alternateName);
        visit("damage_name", "damage name", fields.damageName);
        visit("scale_x", "scale x", fields.scaleX);
        visit("scale_y", "scale y", fields.scaleY);
        visit("mip_scale", "mip scale", fields.mipScale);
        visit("detail_name", "detail name", fields.detailName);
        visit("detail_scale_x", "detail scale x", fields.detailScaleX);
        visit("detail_scale_y", "detail scale y", fields.detailScaleY);
        visit("detail_u", "detail u", fields.detailU);
        visit("detail_v", "detail v", fields.detailV);
        visit("detail_alpha", "detail alpha", fields.detailAlpha);
        visit("detail_blend_source", "detail blend src", fields.detailSourceBlend);
        visit("detail_blend_destination", "detail blend dst", fields.detailDestinationBlend);
        visit("reserved", "reserved", fields.reserved);
    } else {
        static_assert(std::is_same_v<std::remove_const_t<Fields>, SwlFields>);
        visit("direct", "direct", fields.direct);
        visit("animation_time", "animation time", fields.animationTime);
        visit("non_lit", "non-lit", fields.nonLit);
        visit("direct_angle", "direct angle", fields.directAngle);
        visit("translucence_angle", "trans angle", fields.translucenceAngle);
        visit("direct_style", "direct style", fields.directStyle);
        visit("translucence", "translucence", fields.translucence);
        visit("friction", "friction", fields.friction);
        visit("restitution", "restitution", fields.restitution);
        visit("translucence_magnitude", "trans magnitude", fields.translucenceMagnitude);
        visit("colour", "colour", fields.colour);
    }
}

struct HeaderFields {
    std::string name;          // the bytes of the field up to its first zero
    std::string animationName; // empty when the texture is not animated
    std::uint32_t flags = 0;   // stored bits, copied as they are
    std::uint32_t contents = 0;
    std::uint32_t value = 0;
    // The fields of one format alone, set when the texture came from it (or from a sidecar that
    // gives them): kept when it is written to that format again, left out of the others.
    std::optional<M32Fields> m32 = std::nullopt;
    std::optional<SwlFields> swl = std::nullopt;

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
