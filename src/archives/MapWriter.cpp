#include "archives/MapWriter.h"

#include "base/Utf8.h"
#include "formats/mips/MipTexture.h"

#include <algorithm>

namespace texelary {

namespace {

// The map is copied in pieces of this size, so that its copy costs no more memory than this.
constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

std::string SizeText(const StoredLevel& level) {
    return std::to_string(level.width) + " x " + std::to_string(level.height);
}

// A level's pixels and place; its fields are never negative once its lump was read.
std::size_t PixelsOf(const StoredLevel& level) {
    return static_cast<std::size_t>(std::max(level.width, 0)) *
           static_cast<std::size_t>(std::max(level.height, 0));
}
std::size_t PlaceOf(const StoredLevel& level) {
    return static_cast<std::size_t>(std::max(level.offset, 0));
}

// Whether every level of `stored` with pixels lies inside `lump`.
bool LevelsInside(const StoredLevels& stored, std::size_t lump) {
    return std::all_of(stored.levels.begin(), stored.levels.end(), [&](const StoredLevel& level) {
        return level.offset == 0 ||
               (level.offset > 0 && FitsIn(lump, PlaceOf(level), PixelsOf(level)));
    });
}

} // namespace

MapWriter::MapWriter(const std::string& path, ReplacingFile& out)
    : m_map(path)
    , m_out(out) {
    if (m_map.Error() == ReadError::None && m_map.Directory().map && m_out.Ok()) {
        Copy(path);
    }
}

bool MapWriter::Copy(const std::string& path) {
    ArchiveFile file(path);
    for (std::uint64_t at = 0; at < file.Size(); at += kCopyPiece) {
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyPiece, file.Size() - at));
        const auto piece = file.Read(at, length, &m_copyError);
        if (!piece || !m_out.Write(*piece)) {
            return false;
        }
    }
    return true;
}

std::string MapWriter::Problem(WadKind kind) const {
    const ArchiveDirectory& directory = m_map.Directory();
    if (m_map.Error() == ReadError::NoSuchFile) {
        return "no such map: textures go into a map that exists";
    }
    if (m_map.Error() != ReadError::None || m_copyError != ReadError::None) {
        return DescribeReadError(m_map.Error() != ReadError::None ? m_map.Error() : m_copyError);
    }
    if (!directory.map) {
        return "not a compiled map";
    }
    if (directory.mipTextures != kind) {
        return std::string("a version-") + MapVersionName(*directory.map) +
               " map, whose textures are " +
               (*directory.mipTextures == WadKind::Wad2 ? "WAD2" : "WAD3") + " textures";
    }
    return {};
}

std::string MapWriter::Refusal(std::string_view name) const {
    const StoredEntry* entry = m_map.Find(std::string(name));
    if (entry == nullptr) {
        return "the map has no texture named " + Quoted(std::string(name));
    }
    return entry->outside ? DescribeReadError(ReadError::TextureOutside) : std::string();
}

bool MapWriter::Replace(std::string_view name, std::span<const std::uint8_t> lump,
                        std::string& why) {
    why = Refusal(name);
    if (!why.empty()) {
        return false;
    }
    const StoredEntry& entry = *m_map.Find(std::string(name));
    ReadError error = ReadError::None;
    const auto old = m_map.Read(entry, &error);
    const WadKind kind = *m_map.Directory().mipTextures;
    if (!old || !DecodeMipTexture(*old, kind, &error)) {
        why = "the map's texture cannot be read: " + std::string(DescribeReadError(error));
        return false;
    }
    return WriteLevels(entry, *old, lump, why);
}

bool MapWriter::WriteLevels(const StoredEntry& entry, std::span<const std::uint8_t> old,
                            std::span<const std::uint8_t> lump, std::string& why) {
    const auto from = ReadMipTextureLevels(lump);
    const auto to = ReadMipTextureLevels(old);
    if (!from || !LevelsInside(*from, lump.size())) {
        why = DescribeReadError(ReadError::LevelOutside);
        return false;
    }
    const StoredLevel& size = from->levels[0];
    const StoredLevel& mapSize = to->levels[0];
    if (size.width != mapSize.width || size.height != mapSize.height) {
        why = "the map's texture is " + SizeText(mapSize) + " and this one " + SizeText(size);
        return false;
    }
    const bool palette = *m_map.Directory().mipTextures == WadKind::Wad3;
    const auto colours = palette ? Wad3PaletteColours(lump) : std::nullopt;
    const auto mapColours = palette ? Wad3PaletteColours(old) : std::nullopt;
    if (palette && (!colours || !mapColours)) {
        why = DescribeReadError(ReadError::NoPalette);
        return false;
    }
    bool written = true;
    for (std::size_t i = 0; i < to->levels.size() && written; ++i) {
        const StoredLevel& level = to->levels[i];
        if (level.offset != 0 && from->levels[i].offset != 0) {
            written = m_out.OverwriteAt(std::uint64_t{entry.offset} + PlaceOf(level),
                                        lump.subspan(PlaceOf(from->levels[i]), PixelsOf(level)));
        }
    }
    if (written && palette) {
        written = m_out.OverwriteAt(std::uint64_t{entry.offset} + *mapColours,
                                    lump.subspan(*colours, sizeof(Palette)));
    }
    if (!written) {
        why = DescribeWriteError(m_out.Error());
        return false;
    }
    ++m_count;
    return true;
}

} // namespace texelary
