#pragma once

// What the source table (Formats.cpp) and the target table (TargetFormats.cpp) share. The two
// tables live apart so that a program that only reads, the thumbnailer, links no writer and so
// none of the quantiser's libraries.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace texelary::FormatTable {

// Every row stands at its own index.
template <typename Rows> constexpr bool InIndexOrder(const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (IndexOf(rows[i].format) != static_cast<std::int32_t>(i)) {
            return false;
        }
    }
    return true;
}

inline bool SameIgnoringCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// The format of the row whose command-line name is `option`, in any case.
template <typename Rows>
auto Named(const Rows& rows, std::string_view option) -> std::optional<decltype(rows[0].format)> {
    for (const auto& row : rows) {
        if (SameIgnoringCase(option, row.option)) {
            return row.format;
        }
    }
    return std::nullopt;
}

} // namespace texelary::FormatTable
