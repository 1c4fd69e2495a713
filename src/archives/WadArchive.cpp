#include "archives/WadArchive.h"

// Byte layout of a WAD2 or WAD3 archive (all numbers little-endian, 32-bit signed):
//
//   offset  size  field
//        0     4  signature "WAD2" or "WAD3"
//        4     4  number of lumps
//        8     4  where the directory starts
//       12        the lumps' bytes: this writer puts each at the next multiple of 4, in the
//                 order given, zeros between, and the directory after them, also aligned
//
// Each directory entry, 32 bytes:
//        0     4  where the lump's bytes start
//        4     4  how many bytes it takes in the file
//        8     4  its size uncompressed: the same, as only uncompressed lumps are read
//       12     1  type: MipTextureType for mip textures; others are listed as they are
//       13     1  compression: 0, none, the only kind read
//       14     2  padding, written zero
//       16    16  name, NUL-terminated: at most 15 bytes. What follows the zero is ignored
//                 (real files hold leftovers of longer names there); this writer zeroes it.

#include "base/ByteOrder.h"

#include <cstring>
#include <limits>
#include <new>

namespace texelary {

namespace WadLayout {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kCount = 4;
constexpr std::size_t kDirectoryOffset = 8;
constexpr std::size_t kHeaderSize = 12;

constexpr std::size_t kEntryOffset = 0;
constexpr std::size_t kEntryDiskSize = 4;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kEntryType = 12;
constexpr std::size_t kEntryCompression = 13;
constexpr std::size_t kEntryName = 16;
constexpr std::size_t kEntryNameSize = 16;
constexpr std::size_t kEntryLength = 32;

constexpr std::size_t kAlignment = 4;

static_assert(kCount == kSignature + 4 && kDirectoryOffset == kCount + 4);
static_assert(kHeaderSize == kDirectoryOffset + 4 && kHeaderSize == kWadHeaderSize);
static_assert(kEntryDiskSize == kEntryOffset + 4 && kEntrySize == kEntryDiskSize + 4);
static_assert(kEntryType == kEntrySize + 4 && kEntryCompression == kEntryType + 1);
static_assert(kEntryName == kEntryCompression + 1 + 2);
static_assert(kEntryLength == kEntryName + kEntryNameSize && kEntryLength == 32);

constexpr std::uint8_t kSignatureStart[3] = {'W', 'A', 'D'};
static_assert(kEntryLength == kWadEntryLength && kEntryName == kWadEntryName);
static_assert(kEntryNameSize == kWadNameSize);
} // namespace WadLayout

namespace {

// The lump at the cursor, or the reason it is refused.
ReadError TakeLump(ByteCursor& cursor, std::uint64_t fileSize, WadLump& lump) {
    using namespace WadLayout;
    const std::int32_t offset = cursor.I32();
    const std::int32_t sizeOnDisk = cursor.I32();
    const std::uint32_t size = cursor.U32();
    const std::uint8_t type = cursor.U8();
    const std::uint8_t compression = cursor.U8();
    cursor.Skip(2);
    const auto field = cursor.Bytes(kEntryNameSize);
    if (!cursor.Ok()) {
        return ReadError::BadDirectoryLength;
    }
    std::string name;
    if (const ReadError refused = TakeEntryName(field, name); refused != ReadError::None) {
        return refused;
    }
    if (compression != 0) {
        return ReadError::Compressed;
    }
    if (const ReadError outside = CheckEntryPlace(offset, sizeOnDisk, kHeaderSize, fileSize);
        outside != ReadError::None) {
        return outside;
    }
    lump = {std::move(name),
            static_cast<std::uint32_t>(offset),
            static_cast<std::uint32_t>(sizeOnDisk),
            size,
            type,
            compression};
    return ReadError::None;
}

} // namespace

std::optional<WadHeader> ParseWadHeader(std::span<const std::uint8_t> header,
                                        std::uint64_t fileSize, ReadError* error) {
    using namespace WadLayout;
    ByteCursor cursor(header);
    const auto signature = cursor.Bytes(4);
    const std::int32_t count = cursor.I32();
    const std::int32_t offset = cursor.I32();
    const bool wad = signature.size() == 4 &&
                     std::memcmp(signature.data(), kSignatureStart, 3) == 0 &&
                     (signature[3] == '2' || signature[3] == '3');
    if (!wad && header.size() >= 4) {
        SetReason(error, ReadError::NotAnArchive);
        return std::nullopt;
    }
    if (!cursor.Ok()) {
        SetReason(error, ReadError::ArchiveTruncated);
        return std::nullopt;
    }
    ReadError refusal = ReadError::None;
    // The count is weighed against the file before the directory is read or anything made.
    if (count < 0 || static_cast<std::size_t>(count) > kMaxArchiveEntries ||
        static_cast<std::uint64_t>(count) * kEntryLength > fileSize) {
        refusal = ReadError::BadEntryCount;
    } else if (offset < static_cast<std::int32_t>(kHeaderSize)) {
        refusal = ReadError::DirectoryOverlapsHeader;
    } else if (!FitsIn(fileSize, static_cast<std::uint64_t>(offset),
                       static_cast<std::size_t>(count) * kEntryLength)) {
        refusal = ReadError::DirectoryPastEnd;
    }
    if (!SetReason(error, refusal)) {
        return std::nullopt;
    }
    const WadKind kind = signature[3] == '2' ? WadKind::Wad2 : WadKind::Wad3;
    return WadHeader{kind,
                     {static_cast<std::uint32_t>(offset),
                      static_cast<std::uint32_t>(static_cast<std::size_t>(count) * kEntryLength)}};
}

std::optional<std::vector<WadLump>> ParseWadDirectory(std::span<const std::uint8_t> directory,
                                                      std::uint64_t fileSize, ReadError* error) {
    return ParseEntries<WadLump>(directory, WadLayout::kEntryLength, fileSize, TakeLump, error);
}

std::optional<WadDirectory> ReadWadDirectory(ArchiveFile& file, ReadError* error) {
    if (file.Size() < kWadHeaderSize) {
        SetReason(error, file.Ok() ? ReadError::ArchiveTruncated : file.Error());
        return std::nullopt;
    }
    const auto header = file.Read(0, kWadHeaderSize, error);
    const auto parsed = header ? ParseWadHeader(*header, file.Size(), error) : std::nullopt;
    const auto directory =
        parsed ? file.Read(parsed->directory.offset, parsed->directory.length, error)
               : std::nullopt;
    auto lumps = directory ? ParseWadDirectory(*directory, file.Size(), error) : std::nullopt;
    if (!lumps) {
        return std::nullopt;
    }
    return WadDirectory{parsed->kind, std::move(*lumps)};
}

std::optional<std::vector<std::uint8_t>> ReadWadLump(ArchiveFile& file, const WadLump& lump,
                                                     ReadError* error) {
    return file.Read(lump.offset, lump.sizeOnDisk, error);
}

WadWriter::WadWriter(ReplacingFile& out, WadKind kind)
    : ArchiveWriter(out, {WadLayout::kHeaderSize, WadLayout::kEntryLength,
                          WadLayout::kEntryNameSize, WadLayout::kAlignment})
    , m_kind(kind) {}

void WadWriter::StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                           std::uint32_t size, std::uint8_t type) const {
    using namespace WadLayout;
    StoreLE32(entry + kEntryOffset, offset);
    StoreLE32(entry + kEntryDiskSize, size);
    StoreLE32(entry + kEntrySize, size);
    entry[kEntryType] = type;
    std::memcpy(entry + kEntryName, name.data(), name.size());
}

void WadWriter::StoreHeader(std::uint8_t* header, std::size_t count,
                            std::uint32_t directoryOffset) const {
    using namespace WadLayout;
    std::memcpy(header + kSignature, kSignatureStart, 3);
    header[kSignature + 3] = m_kind == WadKind::Wad2 ? '2' : '3';
    StoreLE32(header + kCount, static_cast<std::uint32_t>(count));
    StoreLE32(header + kDirectoryOffset, directoryOffset);
}

} // namespace texelary
