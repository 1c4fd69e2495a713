#pragma once

// Pak archives (.pak): a 12-byte header, the entries' bytes, and a directory of 64-byte entries
// naming each one's place, with '/' between folders in its name.

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

// The bytes ParsePakHeader needs from the start of the file.
constexpr std::size_t kPakHeaderSize = 12;

struct PakEntry {
    std::string name; // checked by CheckEntryName
    std::uint32_t offset = 0;
    std::uint32_t length = 0;

    bool operator==(const PakEntry&) const = default;
};

// Where the directory of a pak of `fileSize` bytes lies, from the file's first bytes (at least
// kPakHeaderSize of them). None, with the reason, for another signature or a variant with entries
// of another size, a length that is not a whole number of entries or lists more than
// kMaxArchiveEntries, or a directory that overlaps the header or runs past the end of the file.
std::optional<DirectoryPlace> ParsePakHeader(std::span<const std::uint8_t> header,
                                             std::uint64_t fileSize, ReadError* error = nullptr);

// The entries of the directory bytes of a pak of `fileSize` bytes, in their order. None, with the
// reason of the first entry at fault, when a name breaks CheckEntryName or fills its field, or an
// entry overlaps the header or runs past the end of the file.
std::optional<std::vector<PakEntry>> ParsePakDirectory(std::span<const std::uint8_t> directory,
                                                       std::uint64_t fileSize,
                                                       ReadError* error = nullptr);

// The header, then the directory, read from `file` and parsed as above.
std::optional<std::vector<PakEntry>> ReadPakDirectory(ArchiveFile& file,
                                                      ReadError* error = nullptr);

// The bytes of one entry of the directory just read from `file`.
std::optional<std::vector<std::uint8_t>> ReadPakEntry(ArchiveFile& file, const PakEntry& entry,
                                                      ReadError* error = nullptr);

// A new pak written entry by entry (see ArchiveWriter): names of at most 55 bytes, entries back
// to back after the header, the directory last.
class PakWriter final : public ArchiveWriter {
public:
    explicit PakWriter(ReplacingFile& out);

private:
    void StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                    std::uint32_t size, std::uint8_t type) const override;
    void StoreHeader(std::uint8_t* header, std::size_t count,
                     std::uint32_t directoryOffset) const override;
};

} // namespace texelary
