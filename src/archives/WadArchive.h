#pragma once

// WAD2 and WAD3 archives (.wad): a 12-byte header, the lumps' bytes, and a directory of 32-byte
// entries giving each lump's place, type and name. Mip textures are one type of lump among
// others (palettes, pictures, fonts), which are listed and left to the caller.

#include "archives/Archive.h"
#include "base/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// The digit of the signature, "WAD2" or "WAD3".
enum class WadKind : std::uint8_t { Wad2 = 2, Wad3 = 3 };

// The lump type of a mip texture: 'D' in a WAD2, whose textures index the fixed Wad2Palette;
// 'C' in a WAD3, whose textures carry a palette each.
constexpr std::uint8_t MipTextureType(WadKind kind) {
    return kind == WadKind::Wad2 ? std::uint8_t{0x44} : std::uint8_t{0x43};
}

// The bytes ParseWadHeader needs from the start of the file.
constexpr std::size_t kWadHeaderSize = 12;

// A directory entry's length and where it keeps its name; a lump name field's size, which a mip
// texture's own name field at its start shares.
constexpr std::size_t kWadEntryLength = 32;
constexpr std::size_t kWadEntryName = 16;
constexpr std::size_t kWadNameSize = 16;

struct WadLump {
    std::string name; // checked by CheckEntryName, at most 15 bytes
    std::uint32_t offset = 0;
    std::uint32_t sizeOnDisk = 0; // the bytes the lump takes in the file
    std::uint32_t size = 0;       // its size uncompressed, as stored
    std::uint8_t type = 0;
    std::uint8_t compression = 0; // always 0: compressed lumps are refused

    bool operator==(const WadLump&) const = default;
};

struct WadHeader {
    WadKind kind = WadKind::Wad2;
    DirectoryPlace directory;
};

struct WadDirectory {
    WadKind kind = WadKind::Wad2;
    std::vector<WadLump> lumps; // in the directory's order
};

// The kind of a wad of `fileSize` bytes and where its directory lies, from the file's first bytes
// (at least kWadHeaderSize of them). None, with the reason, for another signature, a lump count
// that is negative, past kMaxArchiveEntries or more than the file could hold (checked before
// anything is allocated), or a directory that overlaps the header or runs past the end.
std::optional<WadHeader> ParseWadHeader(std::span<const std::uint8_t> header,
                                        std::uint64_t fileSize, ReadError* error = nullptr);

// The lumps of the directory bytes of a wad of `fileSize` bytes. None, with the reason of the
// first entry at fault, when a name breaks CheckEntryName or has no terminating zero, a lump is
// compressed, or it overlaps the header or runs past the end of the file.
std::optional<std::vector<WadLump>> ParseWadDirectory(std::span<const std::uint8_t> directory,
                                                      std::uint64_t fileSize,
                                                      ReadError* error = nullptr);

// The header, then the directory, read from `file` and parsed as above.
std::optional<WadDirectory> ReadWadDirectory(ArchiveFile& file, ReadError* error = nullptr);

// The bytes of one lump of the directory just read from `file`.
std::optional<std::vector<std::uint8_t>> ReadWadLump(ArchiveFile& file, const WadLump& lump,
                                                     ReadError* error = nullptr);

// A new wad of `kind` written lump by lump (see ArchiveWriter): names of at most 15 bytes,
// lumps uncompressed, each and the directory at a multiple of 4 bytes.
class WadWriter final : public ArchiveWriter {
public:
    WadWriter(ReplacingFile& out, WadKind kind);

private:
    void StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                    std::uint32_t size, std::uint8_t type) const override;
    void StoreHeader(std::uint8_t* header, std::size_t count,
                     std::uint32_t directoryOffset) const override;

    WadKind m_kind;
};

} // namespace texelary
