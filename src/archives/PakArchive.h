#pragma once

// Pak archives (.pak): a 12-byte header, the entries' bytes, and a directory of 64-byte entries
// naming each one's place, with '/' between folders in its name; or of 72-byte entries, which
// may be stored run-length coded.

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

// A directory entry's name field, its terminating zero included, in either size of entry.
constexpr std::size_t kPakNameSize = 56;

struct PakEntry {
    std::string name; // checked by CheckEntryName
    std::uint32_t offset = 0;
    std::uint32_t length = 0; // the bytes it takes in the file
    // A run-length coded entry's length once decoded; none for one stored plain.
    std::optional<std::uint32_t> decoded = std::nullopt;

    bool operator==(const PakEntry&) const = default;
};

// Where the directory of a pak of `fileSize` bytes lies, from the file's first bytes (at least
// kPakHeaderSize of them). None, with the reason, for another signature or "SPAK", a length that
// is not a whole number of 64 or 72-byte entries or lists more than kMaxArchiveEntries, or a
// directory that overlaps the header or runs past the end of the file.
std::optional<DirectoryPlace> ParsePakHeader(std::span<const std::uint8_t> header,
                                             std::uint64_t fileSize, ReadError* error = nullptr);

// The entries of the directory bytes of a pak of `fileSize` bytes, in their order, 64 or 72 bytes
// each as the directory's length says (see PakArchive.cpp for a length that fits both). None,
// with the reason of the first entry at fault, when a name breaks CheckEntryName or fills its
// field, an entry's stored bytes overlap the header or run past the end of the file, its coding
// is unknown (Compressed), or its length is not its stored bytes' or more than they can decode to
// (BadStoredEntry).
std::optional<std::vector<PakEntry>> ParsePakDirectory(std::span<const std::uint8_t> directory,
                                                       std::uint64_t fileSize,
                                                       ReadError* error = nullptr);

// The header, then the directory, read from `file` and parsed as above.
std::optional<std::vector<PakEntry>> ReadPakDirectory(ArchiveFile& file,
                                                      ReadError* error = nullptr);

// The bytes of one entry of the directory just read from `file`, decoded when it is coded: none,
// with the reason, when its codes end before its length or would run past it (BadStoredEntry).
std::optional<std::vector<std::uint8_t>> ReadPakEntry(ArchiveFile& file, const PakEntry& entry,
                                                      ReadError* error = nullptr);

// The `length` bytes that the run-length codes of a coded entry's stored bytes make; none with
// the reason when they end before or would run past them (BadStoredEntry), or memory runs out.
std::optional<std::vector<std::uint8_t>>
DecodePakRuns(std::span<const std::uint8_t> coded, std::size_t length, ReadError* error = nullptr);

// A new pak written entry by entry (see ArchiveWriter): names of at most 55 bytes, entries back
// to back after the header, the directory last. Its directory entries are 64 bytes, or with
// `longEntries` the 72 bytes of the later game's paks, each entry stored plain.
class PakWriter final : public ArchiveWriter {
public:
    explicit PakWriter(ReplacingFile& out, bool longEntries = false);

private:
    bool m_longEntries;

    void StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                    std::uint32_t size, std::uint8_t type) const override;
    void StoreHeader(std::uint8_t* header, std::size_t count,
                     std::uint32_t directoryOffset) const override;
};

} // namespace texelary
