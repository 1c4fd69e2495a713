#include "archives/PakArchive.h"

// Byte layout of a .pak archive (all numbers little-endian, 32-bit signed):
//
//   offset  size  field
//        0     4  signature "PACK"
//        4     4  where the directory starts
//        8     4  the directory's length in bytes, 64 per entry (or 72, below)
//       12        the entries' bytes: this writer puts them back to back, in the order given,
//                 and the directory after them
//
// Each directory entry:
//        0    56  name, '/' between folders, NUL-terminated and zero-padded: at most 55 bytes
//       56     4  where the entry's bytes start
//       60     4  how many there are
//
// A later game of the engine family uses 72-byte entries, and may store an entry run-length
// coded (the codes as TrenchBroom's DkPakFileSystem reads them):
//        0    56  name, as above
//       56     4  where the entry's bytes start
//       60     4  its length
//       64     4  how many bytes it takes in the file: its length when stored plain
//       68     4  0 stored plain, 1 run-length coded
//
// A coded entry is a stream of codes, each one byte x:
//   0..63       x + 1 bytes follow, copied as they are
//   64..127     x - 62 zero bytes
//   128..191    x - 126 copies of the byte that follows
//   192..253    x - 190 bytes copied from the output, starting (the next byte + 2) bytes back
//   254         nothing
//   255         the end
// Decoding stops once the output holds the entry's length: real files follow with the end code,
// or with a stray last byte (that reader never takes a stream's last byte for a code).
//
// "SPAK", with 128-byte entries, is refused by name rather than read as garbage.

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
constexpr std::size_t kEntryNameSize = kPakNameSize;
constexpr std::size_t kEntryOffset = 56;
constexpr std::size_t kEntryLength = 60;
constexpr std::size_t kEntrySize = 64;
constexpr std::size_t kLongEntrySize = 72;
constexpr std::size_t kLongEntryStored = 64;
constexpr std::size_t kLongEntryCoding = 68;
constexpr std::int32_t kStoredPlain = 0;
constexpr std::int32_t kRunLength = 1;
// The most output one byte of a coded entry makes (a run of 65 zeros), which bounds the length an
// entry of so many stored bytes may announce.
constexpr std::uint64_t kMostPerStoredByte = 65;
constexpr std::uint8_t kEndCode = 255;

static_assert(kDirectoryOffset == kSignature + 4 && kDirectoryLength == kDirectoryOffset + 4);
static_assert(kHeaderSize == kDirectoryLength + 4 && kHeaderSize == kPakHeaderSize);
static_assert(kEntryOffset == kEntryName + kEntryNameSize);
static_assert(kEntryLength == kEntryOffset + 4 && kEntrySize == kEntryLength + 4);
static_assert(kLongEntryStored == kEntrySize && kLongEntryCoding == kLongEntryStored + 4);
static_assert(kLongEntrySize == kLongEntryCoding + 4);

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

// The 72-byte entry at the cursor, or the reason it is refused: its stored bytes must lie inside
// the file, and its length be theirs (stored plain) or one its codes can make.
ReadError TakeLongEntry(ByteCursor& cursor, std::uint64_t fileSize, PakEntry& entry) {
    using namespace PakLayout;
    const auto field = cursor.Bytes(kEntryNameSize);
    const std::int32_t offset = cursor.I32();
    const std::int32_t length = cursor.I32();
    const std::int32_t stored = cursor.I32();
    const std::int32_t coding = cursor.I32();
    if (!cursor.Ok()) {
        return ReadError::BadDirectoryLength;
    }
    std::string name;
    if (const ReadError refused = TakeEntryName(field, name); refused != ReadError::None) {
        return refused;
    }
    if (const ReadError outside = CheckEntryPlace(offset, stored, kHeaderSize, fileSize);
        outside != ReadError::None) {
        return outside;
    }
    if (coding != kStoredPlain && coding != kRunLength) {
        return ReadError::Compressed;
    }
    const bool makeable =
        coding == kStoredPlain
            ? length == stored
            : length >= 0 && static_cast<std::uint64_t>(length) <=
                                 kMostPerStoredByte * static_cast<std::uint64_t>(stored);
    if (!makeable) {
        return ReadError::BadStoredEntry;
    }
    entry.name = std::move(name);
    entry.offset = static_cast<std::uint32_t>(offset);
    entry.length = static_cast<std::uint32_t>(stored);
    if (coding == kRunLength) {
        entry.decoded = static_cast<std::uint32_t>(length);
    }
    return ReadError::None;
}

// Appends what the code at `at` of `coded` makes to `out`, and moves `at` past it. False when the
// code is cut short, would grow `out` past `length`, or copies from before its start.
bool TakeCode(std::span<const std::uint8_t> coded, std::size_t& at, std::vector<std::uint8_t>& out,
              std::size_t length) {
    const std::size_t code = coded[at++];
    const std::size_t room = length - out.size();
    const std::size_t left = coded.size() - at;
    if (code < 64) {
        const std::size_t count = code + 1;
        if (count > room || count > left) {
            return false;
        }
        out.insert(out.end(), coded.begin() + static_cast<std::ptrdiff_t>(at),
                   coded.begin() + static_cast<std::ptrdiff_t>(at + count));
        at += count;
    } else if (code < 128) {
        if (code - 62 > room) {
            return false;
        }
        out.insert(out.end(), code - 62, 0);
    } else if (code < 192) {
        if (code - 126 > room || left == 0) {
            return false;
        }
        out.insert(out.end(), code - 126, coded[at++]);
    } else if (code < 254) {
        if (code - 190 > room || left == 0 || std::size_t{coded[at]} + 2 > out.size()) {
            return false;
        }
        // Byte by byte: a copy may overlap the bytes it makes, repeating a pattern.
        const std::size_t back = std::size_t{coded[at++]} + 2;
        for (std::size_t i = 0; i < code - 190; ++i) {
            out.push_back(out[out.size() - back]);
        }
    }
    return true;
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
    } else if (const auto bytes = static_cast<std::size_t>(length);
               bytes % kEntrySize != 0 && bytes % kLongEntrySize != 0) {
        refusal = ReadError::BadDirectoryLength;
    } else if (bytes / (bytes % kEntrySize == 0 ? kEntrySize : kLongEntrySize) >
               kMaxArchiveEntries) {
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
    using namespace PakLayout;
    if (directory.size() % kEntrySize != 0) {
        return ParseEntries<PakEntry>(directory, kLongEntrySize, fileSize, TakeLongEntry, error);
    }
    // A length whole in both sizes (a multiple of 576) is read in 64-byte entries, as it always
    // was, unless they make no sense (a name without its zero or breaking the rule, an entry
    // outside the file) and the 72-byte ones do. 72-byte entries read as 64-byte ones put a size
    // and a coding where the next name should start, which rarely make a name and an entry inside
    // the file, so the two seldom both pass; the 64-byte reason is the one given when neither does.
    ReadError shortReason = ReadError::None;
    auto entries = ParseEntries<PakEntry>(directory, kEntrySize, fileSize, TakeEntry, &shortReason);
    if (!entries && directory.size() % kLongEntrySize == 0) {
        entries =
            ParseEntries<PakEntry>(directory, kLongEntrySize, fileSize, TakeLongEntry, nullptr);
    }
    SetReason(error, entries ? ReadError::None : shortReason);
    return entries;
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

std::optional<std::vector<std::uint8_t>> DecodePakRuns(std::span<const std::uint8_t> coded,
                                                       std::size_t length, ReadError* error) {
    try {
        std::vector<std::uint8_t> out;
        out.reserve(length);
        std::size_t at = 0;
        while (out.size() < length && at < coded.size() && coded[at] != PakLayout::kEndCode) {
            if (!TakeCode(coded, at, out, length)) {
                SetReason(error, ReadError::BadStoredEntry);
                return std::nullopt;
            }
        }
        if (!SetReason(error, out.size() == length ? ReadError::None : ReadError::BadStoredEntry)) {
            return std::nullopt;
        }
        return out;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> ReadPakEntry(ArchiveFile& file, const PakEntry& entry,
                                                      ReadError* error) {
    auto bytes = file.Read(entry.offset, entry.length, error);
    if (!bytes || !entry.decoded) {
        return bytes;
    }
    return DecodePakRuns(*bytes, *entry.decoded, error);
}

PakWriter::PakWriter(ReplacingFile& out, bool longEntries)
    : ArchiveWriter(out, {PakLayout::kHeaderSize,
                          longEntries ? PakLayout::kLongEntrySize : PakLayout::kEntrySize,
                          PakLayout::kEntryNameSize, 1})
    , m_longEntries(longEntries) {}

void PakWriter::StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                           std::uint32_t size, std::uint8_t) const {
    using namespace PakLayout;
    std::memcpy(entry + kEntryName, name.data(), name.size());
    StoreLE32(entry + kEntryOffset, offset);
    StoreLE32(entry + kEntryLength, size);
    if (m_longEntries) {
        StoreLE32(entry + kLongEntryStored, size);
        StoreLE32(entry + kLongEntryCoding, static_cast<std::uint32_t>(kStoredPlain));
    }
}

void PakWriter::StoreHeader(std::uint8_t* header, std::size_t count,
                            std::uint32_t directoryOffset) const {
    using namespace PakLayout;
    std::memcpy(header + kSignature, kPack, 4);
    StoreLE32(header + kDirectoryOffset, directoryOffset);
    const std::size_t entrySize = m_longEntries ? kLongEntrySize : kEntrySize;
    StoreLE32(header + kDirectoryLength, static_cast<std::uint32_t>(entrySize * count));
}

} // namespace texelary
