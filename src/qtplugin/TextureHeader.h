#pragma once

// What the image-format plugins learn of a texture file from its header alone: which of the
// game formats it is and the size of its full picture. The plugins claim a file by its content
// only where the format stores a version (.m8, .m32 and version-3 .wal); a classic .wal and a
// .swl begin with a name, so they are taken only when their file name says so.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace texelary {

// The formats the plugins read; a version-3 .wal is a Wal.
enum class PluginFormat : std::uint8_t { Wal = 0, M8 = 1, M32 = 2, Swl = 3 };

struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The format named `name` ("wal", "m8", "m32", "swl"; in lower case, as Qt passes suffixes).
std::optional<PluginFormat> PluginFormatNamed(std::string_view name);
// The key Qt knows the format by.
const char* PluginFormatName(PluginFormat format);

// The format of a file that begins with `head`, from its stored version, when the header is
// whole there and level 0's sides are 1 to ThumbnailLayout::kMaxSide; none for anything else,
// including every classic .wal and .swl.
std::optional<PluginFormat> PluginFormatOfContent(std::span<const std::uint8_t> head);

// Level 0's size as the header of a file of `format` stores it, when the header is whole in `head`
// and both sides are 1 to ThumbnailLayout::kMaxSide; for an .m8 or .m32 only with its version.
std::optional<PictureSize> PeekPictureSize(std::span<const std::uint8_t> head, PluginFormat format);

// The most bytes of a file that PeekPictureSize needs.
std::size_t LongestHeader();

} // namespace texelary
