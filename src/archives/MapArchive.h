#pragma once

// Compiled maps (.bsp) as archives of textures. The maps of the first engine (version 29, its
// extended forms "BSP2" and "2PSB") and of the later game (version 30) carry their textures in
// one lump, each a mip texture lump as in a wad: version 29's index the WAD2 palette, version
// 30's carry their own, as in a WAD3. The maps of version 38 ("IBSP") only name theirs: paths
// under the game's textures/ folder, each with the index of its next frame.
//
// A map is read lump by lump, never whole: the header, the texture lump's offsets, then each
// texture's 40-byte header, and a texture's bytes only when asked for. Every offset is checked
// against the file, and every count against the bytes that would hold it, before anything is
// allocated.

#include "archives/Archive.h"
#include "archives/WadArchive.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

enum class MapVersion : std::uint8_t {
    Quake,    // 29
    Bsp2,     // "BSP2"
    Bsp2Old,  // "2PSB", its first form
    HalfLife, // 30
    Ibsp,     // "IBSP" 38
};

// The bytes ParseMapHeader needs from the start of the file: the longer header, version 38's.
constexpr std::size_t kMapHeaderSize = 160;

// The version's name as --info gives it: "29", "BSP2", "2PSB", "30", "38".
const char* MapVersionName(MapVersion version);

// The palette the textures of a map of `version` index, as a wad's kind: WAD2 for 29 and BSP2,
// WAD3 (each its own) for 30; none for version 38, which holds no textures.
std::optional<WadKind> MapTextureKind(MapVersion version);

struct MapHeader {
    MapVersion version = MapVersion::Quake;
    // The lump of textures (29, 30, BSP2) or of texture infos (38), checked against the file.
    DirectoryPlace lump;
};

// The version of a map of `fileSize` bytes and where its texture lump lies, from the file's first
// bytes (up to kMapHeaderSize of them). None, with the reason: NotAnArchive for a file that is no
// map, Unsupported for an "IBSP" of another version, ArchiveTruncated for a header cut short,
// LumpOverlapsHeader or LumpPastEnd for a texture lump outside the file.
std::optional<MapHeader> ParseMapHeader(std::span<const std::uint8_t> header,
                                        std::uint64_t fileSize, ReadError* error = nullptr);

// One texture of a map's texture lump.
struct MapTexture {
    std::string name; // the name field, checked by CheckEntryName
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offset = 0; // where it starts in the file
    // The bytes it may take in the file: up to the next texture's start, or the lump's end.
    std::uint32_t length = 0;
    // Its four level offsets are all 0: it has a name and a size but no pixels (it lives in a wad
    // outside the map, or the compiler was told to leave textures out).
    bool outside = false;
};

struct MapTextures {
    MapVersion version = MapVersion::Quake;
    std::vector<MapTexture> textures; // in the lump's order, missing ones (-1) left out
    std::size_t missing = 0;          // offsets of -1
};

// The textures of the map in `file`. None, with the reason: that of ParseMapHeader, Unsupported
// for a version-38 map (which names its textures rather than holding them), BadEntryCount for a
// count that is negative or more than the lump holds, EntryOverlapsHeader for a texture that
// starts inside the lump's list of offsets, EntryPastEnd for one whose header runs past the lump,
// the name's reason for a name field CheckEntryName refuses, TextureSize for a width or height
// that is 0, negative or past 32768.
std::optional<MapTextures> ReadMapTextures(ArchiveFile& file, ReadError* error = nullptr);

// One texture info of a version-38 map, as far as textures go.
struct MapTextureInfo {
    std::string name;  // a path under textures/ without extension ("e1u1/floor1_3")
    std::int32_t next; // the texture info of its next frame; -1 for none
};

// The texture infos of the version-38 map in `file`, in their order. None, with the reason: that
// of ParseMapHeader, NotAnArchive for a map of another version, BadDirectoryLength for a lump that
// is not a whole number of 76-byte infos, NameTooLong for a name field without its zero.
std::optional<std::vector<MapTextureInfo>> ReadMapTextureInfos(ArchiveFile& file,
                                                               ReadError* error = nullptr);

// A texture a version-38 map names, once however many texture infos use it.
struct NamedTexture {
    std::string name; // as the first info that names it writes it
    std::string next; // the name of its next frame; empty for none (or an index past the infos)
};

// The textures the infos name, each once (names compared as AnimationKey compares them), in the
// order first met; the next frame is the first one any of its infos gives.
std::vector<NamedTexture> NamedTextures(const std::vector<MapTextureInfo>& infos);

} // namespace texelary
