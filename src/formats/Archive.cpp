#include "formats/Archive.h"

#include "base/NativePath.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>

namespace texelary {

const char* DescribeArchiveError(ArchiveError error) {
    switch (error) {
    case ArchiveError::None:
        return "no error";
    case ArchiveError::NoSuchFile:
        return "no such file";
    case ArchiveError::NotAFile:
        return "not a file";
    case ArchiveError::CannotOpen:
        return "the file cannot be opened or read";
    case ArchiveError::Truncated:
        return "the file ends before the data its header or directory announces";
    case ArchiveError::BadSignature:
        return "not an archive of this kind";
    case ArchiveError::PakEntries72:
        return "a pak with 72-byte directory entries, a variant that is not supported";
    case ArchiveError::Spak:
        return "a SPAK archive (128-byte directory entries), a variant that is not supported";
    case ArchiveError::BadDirectoryLength:
        return "the directory's length is not a whole number of entries";
    case ArchiveError::BadEntryCount:
        return "the number of entries is out of range";
    case ArchiveError::DirectoryOverlapsHeader:
        return "the directory overlaps the header";
    case ArchiveError::DirectoryPastEnd:
        return "the directory runs past the end of the file";
    case ArchiveError::EntryOverlapsHeader:
        return "an entry overlaps the header";
    case ArchiveError::EntryPastEnd:
        return "an entry runs past the end of the file";
    case ArchiveError::Compressed:
        return "a compressed lump, which is not supported";
    case ArchiveError::NameEmpty:
        return "an entry's name is empty";
    case ArchiveError::NameTooLong:
        return "an entry's name is too long for its field";
    case ArchiveError::NameAbsolute:
        return "an entry's name is an absolute path";
    case ArchiveError::NameParent:
        return "an entry's name has a \"..\" part";
    case ArchiveError::NameEmptyPart:
        return "an entry's name has an empty or \".\" part";
    case ArchiveError::NameBackslash:
        return "an entry's name holds a backslash";
    case ArchiveError::NameColon:
        return "an entry's name holds a drive letter or a colon";
    case ArchiveError::NameControl:
        return "an entry's name holds a control character";
    case ArchiveError::TooLarge:
        return "the archive would be larger than the format can hold";
    case ArchiveError::TextureSize:
        return "the texture's size is out of range";
    case ArchiveError::NoPixels:
        return "the texture has no pixels";
    case ArchiveError::NotMultipleOf16:
        return "the texture's width and height must be multiples of 16";
    case ArchiveError::LevelOutside:
        return "a mip level lies outside its lump";
    case ArchiveError::NoPalette:
        return "the lump holds no 256-colour palette after its last level";
    case ArchiveError::OutOfMemory:
        return "out of memory";
    case ArchiveError::CannotWrite:
        return "the archive cannot be written";
    }
    return "unknown error";
}

ArchiveError CheckEntryName(std::string_view name) {
    if (name.empty()) {
        return ArchiveError::NameEmpty;
    }
    if (name.front() == '/') {
        return ArchiveError::NameAbsolute;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return ArchiveError::NameControl;
        }
        if (c == '\\') {
            return ArchiveError::NameBackslash;
        }
        if (c == ':') {
            return ArchiveError::NameColon;
        }
    }
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            return ArchiveError::NameParent;
        }
        if (part.empty() || part == ".") {
            return ArchiveError::NameEmptyPart;
        }
        start = end + 1;
    }
    return ArchiveError::None;
}

std::optional<std::string> LoadNameField(const std::uint8_t* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    if (zero == nullptr) {
        return std::nullopt;
    }
    const auto* end = static_cast<const std::uint8_t*>(zero);
    return std::string(field, end);
}

ArchiveError TakeEntryName(std::span<const std::uint8_t> field, std::string& name) {
    auto loaded = LoadNameField(field.data(), field.size());
    if (!loaded) {
        return ArchiveError::NameTooLong;
    }
    if (const ArchiveError broken = CheckEntryName(*loaded); broken != ArchiveError::None) {
        return broken;
    }
    name = std::move(*loaded);
    return ArchiveError::None;
}

ArchiveError CheckEntryPlace(std::int32_t offset, std::int32_t length, std::size_t headerSize,
                             std::uint64_t fileSize) {
    if (offset < static_cast<std::int32_t>(headerSize)) {
        return ArchiveError::EntryOverlapsHeader;
    }
    if (length < 0 ||
        !FitsIn(fileSize, static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length))) {
        return ArchiveError::EntryPastEnd;
    }
    return ArchiveError::None;
}

ArchiveFile::ArchiveFile(const std::string& path)
    : m_path(NativePath(path))
    , m_file(path) {
    if (m_file.Ok()) {
        return;
    }
    // Why it could not be opened: directories and devices are opened by some platforms and
    // refused by the reader, which says no more than that.
    namespace fs = std::filesystem;
    std::error_code error;
    const auto status = fs::status(m_path, error);
    m_error = !fs::exists(status)            ? ArchiveError::NoSuchFile
              : !fs::is_regular_file(status) ? ArchiveError::NotAFile
                                             : ArchiveError::CannotOpen;
}

std::optional<std::vector<std::uint8_t>> ArchiveFile::Read(std::uint64_t offset, std::size_t length,
                                                           ArchiveError* error) {
    if (!Ok()) {
        SetArchiveError(error, m_error);
        return std::nullopt;
    }
    const std::uint64_t size = m_file.Size();
    if (offset > size || length > size - offset) {
        SetArchiveError(error, ArchiveError::Truncated);
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> bytes(length);
        if (!m_file.ReadAt(offset, bytes)) {
            // Shorter than when it was opened, or unreadable there.
            std::error_code failed;
            const auto now = std::filesystem::file_size(m_path, failed);
            const bool shorter = !failed && (now < offset || now - offset < length);
            SetArchiveError(error, shorter ? ArchiveError::Truncated : ArchiveError::CannotOpen);
            return std::nullopt;
        }
        SetArchiveError(error, ArchiveError::None);
        return bytes;
    } catch (const std::bad_alloc&) {
        SetArchiveError(error, ArchiveError::OutOfMemory);
        return std::nullopt;
    }
}

namespace {
// Offsets and sizes are signed 32-bit numbers in both formats.
constexpr std::uint64_t kArchiveLimit = std::numeric_limits<std::int32_t>::max();

std::uint64_t AlignedUp(std::uint64_t position, std::size_t alignment) {
    return (position + alignment - 1) / alignment * alignment;
}
} // namespace

ArchiveWriter::ArchiveWriter(ReplacingFile& out, const Layout& layout)
    : m_out(out)
    , m_layout(layout) {
    // The header's fields are known only at the end: zeros hold its place.
    const std::vector<std::uint8_t> placeholder(layout.headerSize, 0);
    m_failed = !m_out.Ok() || !m_out.Write(placeholder);
    m_position = layout.headerSize;
}

bool ArchiveWriter::Pad() {
    static constexpr std::uint8_t kZeros[16] = {};
    const std::uint64_t start = AlignedUp(m_position, m_layout.alignment);
    const auto padding = static_cast<std::size_t>(start - m_position);
    m_position = start;
    return padding == 0 || m_out.Write({kZeros, padding});
}

bool ArchiveWriter::Add(std::string_view name, std::span<const std::uint8_t> bytes,
                        std::uint8_t type, ArchiveError* error) {
    if (m_failed) {
        return SetArchiveError(error, ArchiveError::CannotWrite);
    }
    if (name.size() >= m_layout.nameSize) {
        return SetArchiveError(error, ArchiveError::NameTooLong);
    }
    if (const ArchiveError refused = CheckEntryName(name); refused != ArchiveError::None) {
        return SetArchiveError(error, refused);
    }
    if (m_count >= kMaxArchiveEntries) {
        return SetArchiveError(error, ArchiveError::BadEntryCount);
    }
    // The entry, then the directory with one entry more, must end inside the limit.
    const std::uint64_t start = AlignedUp(m_position, m_layout.alignment);
    const std::uint64_t end =
        AlignedUp(start + bytes.size(), m_layout.alignment) + m_layout.entrySize * (m_count + 1);
    if (bytes.size() > kArchiveLimit || end > kArchiveLimit) {
        return SetArchiveError(error, ArchiveError::TooLarge);
    }
    try {
        m_directory.resize(m_directory.size() + m_layout.entrySize, 0);
    } catch (const std::bad_alloc&) {
        return SetArchiveError(error, ArchiveError::OutOfMemory);
    }
    StoreEntry(m_directory.data() + m_layout.entrySize * m_count, name,
               static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(bytes.size()), type);
    m_failed = !Pad() || !m_out.Write(bytes);
    if (m_failed) {
        return SetArchiveError(error, ArchiveError::CannotWrite);
    }
    m_position += bytes.size();
    ++m_count;
    return SetArchiveError(error, ArchiveError::None);
}

bool ArchiveWriter::Finish(ArchiveError* error) {
    if (!m_failed) {
        m_failed = !Pad() || !m_out.Write(m_directory);
    }
    if (!m_failed) {
        std::vector<std::uint8_t> header(m_layout.headerSize, 0);
        StoreHeader(header.data(), m_count, static_cast<std::uint32_t>(m_position));
        m_failed = !m_out.OverwriteStart(header);
    }
    return SetArchiveError(error, m_failed ? ArchiveError::CannotWrite : ArchiveError::None);
}

} // namespace texelary
