#include "archives/PakArchive.h"

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
ReadError TakeEntry(ByteCursor& cursor, std::uint64_t fileSize, PakEntry& entry) {
    using namespace PakLayout;
    const auto field = cursor.Bytes(kEntryNameSize);
    const std::int32_t offset = cursor.I32();
    const std::int32_t length = cursor.I32();
    if (!cursor.Ok()) {
        return ReadError::BadDirectoryLength;
    }
    std::string name;
    if (const ReadError refused = TakeEntryName(field, name); refused != ReadError::None) {
        return refused;
    }
    if (const ReadError outside = CheckEntryPlace(offset, length, kHeaderSize, fileSize);
        outside != ReadError::None) {
        return outside;
    }
    entry.name = std::move(name);
    entry.offset = static_cast<std::uint32_t>(offset);
    entry.length = static_cast<std::uint32_t>(length);
    return ReadError::None;
}

} // namespace

std::optional<DirectoryPlace> ParsePakHeader(std::span<const std::uint8_t> header,
                                             std::uint64_t fileSize, ReadError* error) {
    using namespace PakLayout;
    if (HasSignature(header, kSpak)) {
        SetReason(error, ReadError::Spak);
        return std::nullopt;
    }
    if (header.size() >= 4 && !HasSignature(header, kPack)) {
        SetReason(error, ReadError::NotAnArchive);
        return std::nullopt;
    }
    ByteCursor cursor(header, kDirectoryOffset);
    const std::int32_t offset = cursor.I32();
    const std::int32_t length = cursor.I32();
    if (!cursor.Ok()) {
        SetReason(error, ReadError::ArchiveTruncated);
        return std::nullopt;
    }
    ReadError refusal = ReadError::None;
    if (length < 0) {
        refusal = ReadError::BadDirectoryLength;
    } else if (const auto bytes = static_cast<std::size_t>(length); bytes % kEntrySize != 0) {
        // A length that would be whole in the longer entries only is that variant's.
        refusal =
            bytes % kLongEntrySize == 0 ? ReadError::PakEntries72 : ReadError::BadDirectoryLength;
    } else if (bytes / kEntrySize > kMaxArchiveEntries) {
        refusal = ReadError::BadEntryCount;
    } else if (offset < static_cast<std::int32_t>(kHeaderSize)) {
        refusal = ReadError::DirectoryOverlapsHeader;
    } else if (!FitsIn(fileSize, static_cast<std::uint64_t>(offset), bytes)) {
        refusal = ReadError::DirectoryPastEnd;
    }
    if (!SetReason(error, refusal)) {
        return std::nullopt;
    }
    return DirectoryPlace{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)};
}

std::optional<std::vector<PakEntry>> ParsePakDirectory(std::span<const std::uint8_t> directory,
                                                       std::uint64_t fileSize, ReadError* error) {
    return ParseEntries<PakEntry>(directory, PakLayout::kEntrySize, fileSize, TakeEntry, error);
}

std::optional<std::vector<PakEntry>> ReadPakDirectory(ArchiveFile& file, ReadError* error) {
    if (file.Size() < kPakHeaderSize) {
        SetReason(error, file.Ok() ? ReadError::ArchiveTruncated : file.Error());
        return std::nullopt;
    }
    const auto header = file.Read(0, kPakHeaderSize, error);
    const auto place = header ? ParsePakHeader(*header, file.Size(), error) : std::nullopt;
    const auto directory = place ? file.Read(place->offset, place->length, error) : std::nullopt;
    return directory ? ParsePakDirectory(*directory, file.Size(), error) : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadPakEntry(ArchiveFile& file, const PakEntry& entry,
                                                      ReadError* error) {
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

} // namespace texelary
