#include "archives/MapArchive.h"

// Byte layout of a compiled map, as far as textures go (all numbers little-endian, 32-bit
// signed), following Quake's and ericw-tools' bspfile.h for versions 29, 30 and BSP2, and Quake
// II's qfiles.h for version 38:
//
//   versions 29, 30, "BSP2", "2PSB":
//        0     4  version 29 or 30, or the signature "BSP2" or "2PSB"
//        4   120  15 lumps of {offset, length}; lump 2 holds the textures
//   version 38:
//        0     4  signature "IBSP"
//        4     4  version 38
//        8   152  19 lumps of {offset, length}; lump 5 holds the texture infos
//
// The texture lump:
//        0     4  number of textures
//        4   4 n  each texture's offset from the lump's start; -1 for a missing one
//                 each texture: a mip texture lump as in a wad (MipTexture.h), its four level
//                 offsets from the texture's start, all 0 for a texture without pixels
//
// A texture info of version 38, 76 bytes:
//        0    40  the texture's axes, flags and value
//       40    32  name, NUL-terminated: a path under textures/ without extension
//       72     4  the texture info of the next frame, -1 for none

#include "base/ByteOrder.h"
#include "formats/AnimationChains.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>

namespace texelary {

namespace MapLayout {
constexpr std::size_t kLumpEntrySize = 8;
constexpr std::size_t kLumpsStart = 4;
constexpr std::size_t kLumpCount = 15;
constexpr std::size_t kHeaderSize = kLumpsStart + kLumpCount * kLumpEntrySize;
constexpr std::size_t kTexturesLump = 2;

constexpr std::size_t kIbspLumpsStart = 8;
constexpr std::size_t kIbspLumpCount = 19;
constexpr std::size_t kIbspHeaderSize = kIbspLumpsStart + kIbspLumpCount * kLumpEntrySize;
constexpr std::size_t kTextureInfosLump = 5;
constexpr std::int32_t kIbspVersion = 38;

constexpr std::size_t kInfoSize = 76;
constexpr std::size_t kInfoName = 40;
constexpr std::size_t kInfoNameSize = 32;
constexpr std::size_t kInfoNext = 72;

// A texture's header: name[16], width, height, four level offsets.
constexpr std::size_t kTextureName = 16;
constexpr std::size_t kTextureHeaderSize = 40;
constexpr std::uint32_t kLargestSide = 32768;

static_assert(kHeaderSize == 124 && kIbspHeaderSize == 160 && kIbspHeaderSize == kMapHeaderSize);
static_assert(kInfoNext == kInfoName + kInfoNameSize && kInfoSize == kInfoNext + 4);
} // namespace MapLayout

const char* MapVersionName(MapVersion version) {
    switch (version) {
    case MapVersion::Quake:
        return "29";
    case MapVersion::Bsp2:
        return "BSP2";
    case MapVersion::Bsp2Old:
        return "2PSB";
    case MapVersion::HalfLife:
        return "30";
    case MapVersion::Ibsp:
        return "38";
    }
    return "";
}

std::optional<WadKind> MapTextureKind(MapVersion version) {
    switch (version) {
    case MapVersion::Quake:
    case MapVersion::Bsp2:
    case MapVersion::Bsp2Old:
        return WadKind::Wad2;
    case MapVersion::HalfLife:
        return WadKind::Wad3;
    case MapVersion::Ibsp:
        break;
    }
    return std::nullopt;
}

namespace {

// The version the first four bytes say; none for a file that is no map.
std::optional<MapVersion> VersionOf(std::span<const std::uint8_t> header) {
    if (header.size() < 4) {
        return std::nullopt;
    }
    const auto is = [&](const char* signature) {
        return std::memcmp(header.data(), signature, 4) == 0;
    };
    switch (LoadLE32(header.data())) {
    case 29:
        return MapVersion::Quake;
    case 30:
        return MapVersion::HalfLife;
    default:
        break;
    }
    return is("BSP2")   ? std::optional(MapVersion::Bsp2)
           : is("2PSB") ? std::optional(MapVersion::Bsp2Old)
           : is("IBSP") ? std::optional(MapVersion::Ibsp)
                        : std::nullopt;
}

// The name, size and whether it has pixels, from a texture's 40-byte header.
ReadError TakeTextureHeader(std::span<const std::uint8_t> header, MapTexture& texture) {
    using namespace MapLayout;
    ByteCursor cursor(header);
    const auto field = cursor.Bytes(kTextureName);
    const std::int32_t width = cursor.I32();
    const std::int32_t height = cursor.I32();
    std::uint32_t offsets = 0;
    for (int level = 0; level < 4; ++level) {
        offsets |= cursor.U32();
    }
    if (const ReadError refused = TakeEntryName(field, texture.name); refused != ReadError::None) {
        return refused;
    }
    if (width <= 0 || height <= 0 || static_cast<std::uint32_t>(width) > kLargestSide ||
        static_cast<std::uint32_t>(height) > kLargestSide) {
        return ReadError::TextureSize;
    }
    texture.width = static_cast<std::uint32_t>(width);
    texture.height = static_cast<std::uint32_t>(height);
    texture.outside = offsets == 0;
    return ReadError::None;
}

// Each texture's length: up to the next texture's start, or the lump's end.
void MeasureTextures(std::vector<MapTexture>& textures, std::uint64_t lumpEnd) {
    std::vector<std::uint32_t> starts;
    starts.reserve(textures.size());
    for (const MapTexture& texture : textures) {
        starts.push_back(texture.offset);
    }
    std::sort(starts.begin(), starts.end());
    for (MapTexture& texture : textures) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), texture.offset);
        const std::uint64_t end = next == starts.end() ? lumpEnd : *next;
        texture.length = static_cast<std::uint32_t>(end - texture.offset);
    }
}

} // namespace

std::optional<MapHeader> ParseMapHeader(std::span<const std::uint8_t> header,
                                        std::uint64_t fileSize, ReadError* error) {
    using namespace MapLayout;
    const std::optional<MapVersion> version = VersionOf(header);
    if (!version) {
        SetReason(error, header.size() < 4 ? ReadError::ArchiveTruncated : ReadError::NotAnArchive);
        return std::nullopt;
    }
    const bool ibsp = *version == MapVersion::Ibsp;
    const std::size_t headerSize = ibsp ? kIbspHeaderSize : kHeaderSize;
    if (header.size() < headerSize || fileSize < headerSize) {
        SetReason(error, ReadError::ArchiveTruncated);
        return std::nullopt;
    }
    if (ibsp && static_cast<std::int32_t>(LoadLE32(header.data() + 4)) != kIbspVersion) {
        SetReason(error, ReadError::Unsupported);
        return std::nullopt;
    }
    const std::size_t entry = ibsp ? kIbspLumpsStart + kTextureInfosLump * kLumpEntrySize
                                   : kLumpsStart + kTexturesLump * kLumpEntrySize;
    const auto offset = static_cast<std::int32_t>(LoadLE32(header.data() + entry));
    const auto length = static_cast<std::int32_t>(LoadLE32(header.data() + entry + 4));
    ReadError refusal = ReadError::None;
    if (length != 0 && offset < static_cast<std::int32_t>(headerSize)) {
        refusal = ReadError::LumpOverlapsHeader;
    } else if (offset < 0 || length < 0 ||
               !FitsIn(fileSize, static_cast<std::uint64_t>(offset),
                       static_cast<std::uint64_t>(length))) {
        refusal = ReadError::LumpPastEnd;
    }
    if (!SetReason(error, refusal)) {
        return std::nullopt;
    }
    return MapHeader{*version,
                     {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)}};
}

namespace {

std::optional<MapHeader> ReadMapHeader(ArchiveFile& file, ReadError* error) {
    if (!file.Ok()) {
        SetReason(error, file.Error());
        return std::nullopt;
    }
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), kMapHeaderSize));
    const auto header = file.Read(0, size, error);
    return header ? ParseMapHeader(*header, file.Size(), error) : std::nullopt;
}

} // namespace

std::optional<MapTextures> ReadMapTextures(ArchiveFile& file, ReadError* error) {
    using namespace MapLayout;
    const auto header = ReadMapHeader(file, error);
    if (!header) {
        return std::nullopt;
    }
    if (header->version == MapVersion::Ibsp) {
        SetReason(error, ReadError::MapNamesTextures);
        return std::nullopt;
    }
    MapTextures map{header->version, {}, 0};
    const DirectoryPlace lump = header->lump;
    if (lump.length == 0) {
        SetReason(error, ReadError::None);
        return map;
    }
    const auto countBytes = lump.length >= 4 ? file.Read(lump.offset, 4, error) : std::nullopt;
    const std::int64_t count =
        countBytes ? static_cast<std::int32_t>(LoadLE32(countBytes->data())) : -1;
    // Each texture takes at least its offset: the count is weighed against the lump first.
    if (count < 0 || static_cast<std::uint64_t>(count) > (lump.length - 4) / 4 ||
        static_cast<std::uint64_t>(count) > kMaxArchiveEntries) {
        SetReason(error, ReadError::BadEntryCount);
        return std::nullopt;
    }
    const std::size_t listEnd = 4 + static_cast<std::size_t>(count) * 4;
    const auto offsets = file.Read(lump.offset + 4u, listEnd - 4, error);
    if (!offsets) {
        return std::nullopt;
    }
    try {
        ByteCursor cursor(*offsets);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int32_t offset = cursor.I32();
            if (offset == -1) {
                ++map.missing;
                continue;
            }
            ReadError refusal = ReadError::None;
            if (offset >= 0 && static_cast<std::uint32_t>(offset) < listEnd) {
                refusal = ReadError::EntryOverlapsHeader;
            } else if (offset < 0 || !FitsIn(lump.length, static_cast<std::uint64_t>(offset),
                                             kTextureHeaderSize)) {
                refusal = ReadError::EntryPastEnd;
            }
            const auto textureHeader =
                refusal == ReadError::None
                    ? file.Read(lump.offset + static_cast<std::uint64_t>(offset),
                                kTextureHeaderSize, &refusal)
                    : std::nullopt;
            MapTexture texture;
            texture.offset = lump.offset + static_cast<std::uint32_t>(offset);
            if (textureHeader) {
                refusal = TakeTextureHeader(*textureHeader, texture);
            }
            if (!SetReason(error, refusal)) {
                return std::nullopt;
            }
            map.textures.push_back(std::move(texture));
        }
        MeasureTextures(map.textures, std::uint64_t{lump.offset} + lump.length);
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
    SetReason(error, ReadError::None);
    return map;
}

std::optional<std::vector<MapTextureInfo>> ReadMapTextureInfos(ArchiveFile& file,
                                                               ReadError* error) {
    using namespace MapLayout;
    const auto header = ReadMapHeader(file, error);
    if (header && header->version != MapVersion::Ibsp) {
        SetReason(error, ReadError::NotAnArchive);
        return std::nullopt;
    }
    const auto lump =
        header ? file.Read(header->lump.offset, header->lump.length, error) : std::nullopt;
    if (!lump) {
        return std::nullopt;
    }
    return ParseEntries<MapTextureInfo>(
        *lump, kInfoSize, file.Size(),
        [](ByteCursor& cursor, std::uint64_t, MapTextureInfo& info) {
            const auto bytes = cursor.Bytes(kInfoSize);
            auto name = LoadNameField(bytes.data() + kInfoName, kInfoNameSize);
            if (!name) {
                return ReadError::NameTooLong;
            }
            info.name = std::move(*name);
            info.next = static_cast<std::int32_t>(LoadLE32(bytes.data() + kInfoNext));
            return ReadError::None;
        },
        error);
}

std::vector<NamedTexture> NamedTextures(const std::vector<MapTextureInfo>& infos) {
    std::vector<NamedTexture> textures;
    std::map<std::string, std::size_t> byKey;
    for (const MapTextureInfo& info : infos) {
        const auto [place, added] = byKey.emplace(AnimationKey(info.name), textures.size());
        if (added) {
            textures.push_back({info.name, {}});
        }
        const bool hasNext = info.next >= 0 && static_cast<std::size_t>(info.next) < infos.size();
        std::string& next = textures[place->second].next;
        if (next.empty() && hasNext) {
            next = infos[static_cast<std::size_t>(info.next)].name;
        }
    }
    return textures;
}

} // namespace texelary
