#pragma once

// Textures written over a compiled map's own, in a copy of the map that the caller commits: the
// map is copied piece by piece into the file that will replace it, and each texture that comes
// is written over its namesake's levels there (and, in a version-30 map, over its palette). Every
// other byte stays as it was; only the map's directory of textures is held, never the map.

#include "archives/ArchiveListing.h"
#include "base/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace texelary {

class MapWriter {
public:
    // Reads the map's textures and copies the map at `path` into `out`, which replaces it once
    // committed.
    MapWriter(const std::string& path, ReplacingFile& out);

    // Why the map cannot take textures of `kind` at all (it cannot be read, names its textures
    // rather than holding them, or holds the other kind); empty when it can.
    std::string Problem(WadKind kind) const;

    // Why the texture `name` cannot go in: the map has none of that name (in any case), or none
    // with pixels; empty when it may.
    std::string Refusal(std::string_view name) const;

    // Writes the levels of `lump` (a mip texture lump of the map's kind) over those of the map's
    // texture `name`, and for a version-30 map its palette over the map's. False, with the reason,
    // for a texture of another size (both sizes said), either texture's levels damaged, or a write
    // that failed; nothing is written then.
    bool Replace(std::string_view name, std::span<const std::uint8_t> lump, std::string& why);

    std::size_t Count() const { return m_count; }

private:
    bool Copy(const std::string& path);
    bool WriteLevels(const StoredEntry& entry, std::span<const std::uint8_t> old,
                     std::span<const std::uint8_t> lump, std::string& why);

    OpenedArchive m_map;
    ReplacingFile& m_out;
    ReadError m_copyError = ReadError::None;
    std::size_t m_count = 0;
};

} // namespace texelary
