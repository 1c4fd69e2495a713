#pragma once

// Header fields of the family's formats with every field set, each to a value of its own, so that
// a field lost or swapped on its way through a file shows.

#include "formats/HeaderFields.h"

#include <array>
#include <cstdint>
#include <string>

namespace texelary::test {

// `fields` (an M32Fields or SwlFields) with field i set from `seed` + i: text "f<seed+i>",
// numbers seed + i (floats + 0.25), every entry of a list its own.
template <class Fields> Fields EveryFieldSet(std::int32_t seed = 1) {
    Fields fields;
    std::int32_t next = seed;
    const auto set = [&next](auto& member) {
        using T = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<T, std::string>) {
            member = "f" + std::to_string(next);
        } else if constexpr (std::is_same_v<T, float>) {
            member = static_cast<float>(next) + 0.25f;
        } else {
            member = static_cast<T>(next);
        }
        ++next;
    };
    VisitFormatFields(fields, [&set](const char*, const char*, auto& member) {
        if constexpr (requires {
                          member.size();
                          member[0];
                      } &&
                      !std::is_same_v<std::remove_cvref_t<decltype(member)>, std::string>) {
            for (auto& entry : member) {
                set(entry);
            }
        } else {
            set(member);
        }
    });
    return fields;
}

// The five shared fields and both formats' own, all set.
inline HeaderFields EveryHeaderFieldSet() {
    HeaderFields fields{"textures/e1/wall", "textures/e1/wall2", 0x80000801u, 0x20u, 12};
    fields.m32 = EveryFieldSet<M32Fields>(1);
    fields.swl = EveryFieldSet<SwlFields>(100);
    return fields;
}

} // namespace texelary::test
