#include "qtplugin/TextureHeader.h"

#include "base/ByteOrder.h"
#include "thumbnail/Thumbnail.h"

#include <algorithm>
#include <array>

namespace texelary {

namespace {

// Where each header keeps level 0's sides, as the format readers in formats/mips/ lay them out:
//   format      header   version (LE32 at 0)   width   height
//   .wal           100   none (a name)             32       36
//   .wal v3        892   byte 0 is 3               36       40
//   .m8           1040   2                         36      100
//   .m32           968   4                        516      580
//   .swl          1236   none (a name)             64       68
namespace PeekLayout {
struct HeaderRow {
    std::size_t headerSize;
    std::size_t width;
    std::size_t height;
};
constexpr HeaderRow kWal{100, 32, 36};
constexpr HeaderRow kWal3{892, 36, 40};
constexpr HeaderRow kM8{1040, 36, 100};
constexpr HeaderRow kM32{968, 516, 580};
constexpr HeaderRow kSwl{1236, 64, 68};
constexpr std::uint8_t kWal3VersionByte = 3;
constexpr std::uint32_t kM8Version = 2;
constexpr std::uint32_t kM32Version = 4;
} // namespace PeekLayout

struct NameRow {
    PluginFormat format;
    const char* name;
};
constexpr std::array<NameRow, 4> kNames = {{{PluginFormat::Wal, "wal"},
                                            {PluginFormat::M8, "m8"},
                                            {PluginFormat::M32, "m32"},
                                            {PluginFormat::Swl, "swl"}}};

std::optional<PictureSize> SidesAt(std::span<const std::uint8_t> head,
                                   const PeekLayout::HeaderRow& row) {
    if (head.size() < row.headerSize) {
        return std::nullopt;
    }
    const auto width = LoadLE32Signed(head.data() + row.width);
    const auto height = LoadLE32Signed(head.data() + row.height);
    const auto inRange = [](std::int32_t side) {
        return side >= 1 && side <= ThumbnailLayout::kMaxSide;
    };
    if (!inRange(width) || !inRange(height)) {
        return std::nullopt;
    }
    return PictureSize{width, height};
}

bool HasVersion(std::span<const std::uint8_t> head, std::uint32_t version) {
    return head.size() >= 4 && LoadLE32(head.data()) == version;
}

} // namespace

std::optional<PluginFormat> PluginFormatNamed(std::string_view name) {
    for (const NameRow& row : kNames) {
        if (name == row.name) {
            return row.format;
        }
    }
    return std::nullopt;
}

const char* PluginFormatName(PluginFormat format) {
    return kNames[static_cast<std::size_t>(format)].name;
}

std::optional<PluginFormat> PluginFormatOfContent(std::span<const std::uint8_t> head) {
    for (const PluginFormat format : {PluginFormat::M8, PluginFormat::M32}) {
        if (PeekPictureSize(head, format)) {
            return format;
        }
    }
    if (!head.empty() && head[0] == PeekLayout::kWal3VersionByte &&
        PeekPictureSize(head, PluginFormat::Wal)) {
        return PluginFormat::Wal;
    }
    return std::nullopt;
}

std::optional<PictureSize> PeekPictureSize(std::span<const std::uint8_t> head,
                                           PluginFormat format) {
    switch (format) {
    case PluginFormat::Wal:
        return SidesAt(head, !head.empty() && head[0] == PeekLayout::kWal3VersionByte
                                 ? PeekLayout::kWal3
                                 : PeekLayout::kWal);
    case PluginFormat::M8:
        return HasVersion(head, PeekLayout::kM8Version) ? SidesAt(head, PeekLayout::kM8)
                                                        : std::nullopt;
    case PluginFormat::M32:
        return HasVersion(head, PeekLayout::kM32Version) ? SidesAt(head, PeekLayout::kM32)
                                                         : std::nullopt;
    case PluginFormat::Swl:
        return SidesAt(head, PeekLayout::kSwl);
    }
    return std::nullopt;
}

std::size_t LongestHeader() {
    return std::max({PeekLayout::kWal.headerSize, PeekLayout::kWal3.headerSize,
                     PeekLayout::kM8.headerSize, PeekLayout::kM32.headerSize,
                     PeekLayout::kSwl.headerSize});
}

} // namespace texelary
