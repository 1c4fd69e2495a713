#include "formats/PakArchive.h"

// Byte layout of a .pak archive (all numbers little-endian, 32-bit signed):
//
//   offset  size  field
//        0     4  signature "PACK"
//        4     4  where the directory starts
//        8     4  the directory's length in bytes, 64 per entry
//       12        the entries' bytes: this writer puts them back to back, in the order given,
//                 and the directory after them
//
// Each directory entry:
//        0    56  name, '/' between folders, NUL-terminated and zero-padded: at most 55 bytes
//       56     4  where the entry's bytes start
//       60     4  how many there are
//
// Variants with other entries exist: 72-byte ones (longer names), and "SPAK" with 128-byte
// ones. Both are refused by name rather than read as garbage.

#include "base/ByteOrder.h"

#include <cstring>
#include <limits>
#include <new>

namespace texelary {

namespace PakLayout {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kDirectoryOffset = 4;
constexpr std::size_t kDirectoryLength = 8;
constexpr std::size_t kHeaderSize = 12;

constexpr std::size_t kEntryName = 0;
constexpr std::size_t kEntryNameSize = 56;
constexpr std::size_t kEntryOffset = 56;
constexpr std::size_t kEntryLength = 60;
constexpr std::size_t kEntrySize = 64;
constexpr std::size_t kLongEntrySize = 72;

static_assert(kDirectoryOffset == kSignature + 4 && kDirectoryLength == kDirectoryOffset + 4);
static_assert(kHeaderSize == kDirectoryLength + 4 && kHeaderSize == kPakHeaderSize);
static_assert(kEntryOffset == kEntryName + kEntryNameSize);
static_assert(kEntryLength == kEntryOffset + 4 && kEntrySize == kEntryLength + 4);

constexpr std::uint8_t kPack[4] = {'P', 'A', 'C', 'K'};
constexpr std::uint8_t kSpak[4] = {'S', 'P', 'A', 'K'};
} // namespace PakLayout

namespace {

bool HasSignature(std::span<const std::uint8_t> header, const std::uint8_t (&signature)[4]) {
    return header.size() >= 4 && std::memcmp(header.data(), signature, 4) == 0;
}

// The entry at the cursor, or the reason it is refused.
ArchiveError TakeEntry(ByteCursor& cursor, std::uint64_t fileSize, PakEntry& entry) {
    using namespace PakLayout;
    const auto field = cursor.Bytes(kEntryNameSize);
    const std::int32_t offset = cursor.I32();
    const std::int32_t length = cursor.I32();
    if (!cursor.Ok()) {
        return ArchiveError::BadDirectoryLength;
    }
    std::string name;
    if (const ArchiveError refused = TakeEntryName(field, name); refused != ArchiveError::None) {
        return refused;
    }
    if (const ArchiveError outside = CheckEntryPlace(offset, length, kHeaderSize, fileSize);
        outside != ArchiveError::None) {
        return outside;
    }
    entry.name = std::move(name);
    entry.offset = static_cast<std::uint32_t>(offset);
    entry.length = static_cast<std::uint32_t>(length);
    return ArchiveError::None;
}

} // namespace

std::optional<DirectoryPlace> ParsePakHeader(std::span<const std::uint8_t> header,
                                             std::uint64_t fileSize, ArchiveError* error) {
    using namespace PakLayout;
    if (HasSignature(header, kSpak)) {
        SetArchiveError(error, ArchiveError::Spak);
        return std::nullopt;
    }
    if (header.size() >= 4 && !HasSignature(header, kPack)) {
        SetArchiveError(error, ArchiveError::BadSignature);
        return std::nullopt;
    }
    ByteCursor cursor(header, kDirectoryOffset);
    const std::int32_t offset = cursor.I32();
    const std::int32_t length = cursor.I32();
    if (!cursor.Ok()) {
        SetArchiveError(error, ArchiveError::Truncated);
        return std::nullopt;
    }
    ArchiveError refusal = ArchiveError::None;
    if (length < 0) {
        refusal = ArchiveError::BadDirectoryLength;
    } else if (const auto bytes = static_cast<std::size_t>(length); bytes % kEntrySize != 0) {
        // A length that would be whole in the longer entries only is that variant's.
        refusal = bytes % kLongEntrySize == 0 ? ArchiveError::PakEntries72
                                              : ArchiveError::BadDirectoryLength;
    } else if (bytes / kEntrySize > kMaxArchiveEntries) {
        refusal = ArchiveError::BadEntryCount;
    } else if (offset < static_cast<std::int32_t>(kHeaderSize)) {
        refusal = ArchiveError::DirectoryOverlapsHeader;
    } else if (!FitsIn(fileSize, static_cast<std::uint64_t>(offset), bytes)) {
        refusal = ArchiveError::DirectoryPastEnd;
    }
    if (!SetArchiveError(error, refusal)) {
        return std::nullopt;
    }
    return DirectoryPlace{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)};
}

std::optional<std::vector<PakEntry>> ParsePakDirectory(std::span<const std::uint8_t> directory,
                                                       std::uint64_t fileSize,
                                                       ArchiveError* error) {
    return ParseEntries<PakEntry>(directory, PakLayout::kEntrySize, fileSize, TakeEntry, error);
}

std::optional<std::vector<PakEntry>> ReadPakDirectory(ArchiveFile& file, ArchiveError* error) {
    if (file.Size() < kPakHeaderSize) {
        SetArchiveError(error, file.Ok() ? ArchiveError::Truncated : file.Error());
        return std::nullopt;
    }
    const auto header = file.Read(0, kPakHeaderSize, error);
    const auto place = header ? ParsePakHeader(*header, file.Size(), error) : std::nullopt;
    const auto directory = place ? file.Read(place->offset, place->length, error) : std::nullopt;
    return directory ? ParsePakDirectory(*directory, file.Size(), error) : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadPakEntry(ArchiveFile& file, const PakEntry& entry,
                                                      ArchiveError* error) {
    return file.Read(entry.offset, entry.length, error);
}

PakWriter::PakWriter(ReplacingFile& out)
    : ArchiveWriter(out,
                    {PakLayout::kHeaderSize, PakLayout::kEntrySize, PakLayout::kEntryNameSize, 1}) {
}

void PakWriter::StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                           std::uint32_t size, std::uint8_t) const {
    using namespace PakLayout;
    std::memcpy(entry + kEntryName, name.data(), name.size());
    StoreLE32(entry + kEntryOffset, offset);
    StoreLE32(entry + kEntryLength, size);
}

void PakWriter::StoreHeader(std::uint8_t* header, std::size_t count,
                            std::uint32_t directoryOffset) const {
    using namespace PakLayout;
    std::memcpy(header + kSignature, kPack, 4);
    StoreLE32(header + kDirectoryOffset, directoryOffset);
    StoreLE32(header + kDirectoryLength, static_cast<std::uint32_t>(kEntrySize * count));
}

bool WritePak(ReplacingFile& out, std::span<const ArchiveMember> members, ArchiveError* error) {
    PakWriter pak(out);
    for (const ArchiveMember& member : members) {
        if (!pak.Add(member.name, member.bytes, 0, error)) {
            return false;
        }
    }
    return pak.Finish(error);
}

} // namespace texelary
