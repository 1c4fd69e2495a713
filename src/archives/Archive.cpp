#include "archives/Archive.h"

#include "base/NativePath.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>

namespace texelary {

ReadError CheckEntryName(std::string_view name, std::size_t fieldSize) {
    if (name.empty()) {
        return ReadError::NameEmpty;
    }
    if (name.front() == '/') {
        return ReadError::NameAbsolute;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return ReadError::NameControl;
        }
        if (c == '\\') {
            return ReadError::NameBackslash;
        }
        if (c == ':') {
            return ReadError::NameColon;
        }
    }
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            return ReadError::NameParent;
        }
        if (part.empty() || part == ".") {
            return ReadError::NameEmptyPart;
        }
        start = end + 1;
    }
    return name.size() >= fieldSize ? ReadError::NameTooLong : ReadError::None;
}

std::optional<std::string> LoadNameField(const std::uint8_t* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    if (zero == nullptr) {
        return std::nullopt;
    }
    const auto* end = static_cast<const std::uint8_t*>(zero);
    return std::string(field, end);
}

ReadError TakeEntryName(std::span<const std::uint8_t> field, std::string& name) {
    auto loaded = LoadNameField(field.data(), field.size());
    if (!loaded) {
        return ReadError::NameTooLong;
    }
    if (const ReadError broken = CheckEntryName(*loaded); broken != ReadError::None) {
        return broken;
    }
    name = std::move(*loaded);
    return ReadError::None;
}

ReadError CheckEntryPlace(std::int32_t offset, std::int32_t length, std::size_t headerSize,
                          std::uint64_t fileSize) {
    if (offset < static_cast<std::int32_t>(headerSize)) {
        return ReadError::EntryOverlapsHeader;
    }
    if (length < 0 ||
        !FitsIn(fileSize, static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length))) {
        return ReadError::EntryPastEnd;
    }
    return ReadError::None;
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
    m_error = !fs::exists(status)            ? ReadError::NoSuchFile
              : !fs::is_regular_file(status) ? ReadError::NotAFile
                                             : ReadError::ArchiveCannotOpen;
}

std::optional<std::vector<std::uint8_t>> ArchiveFile::Read(std::uint64_t offset, std::size_t length,
                                                           ReadError* error) {
    if (!Ok()) {
        SetReason(error, m_error);
        return std::nullopt;
    }
    const std::uint64_t size = m_file.Size();
    if (offset > size || length > size - offset) {
        SetReason(error, ReadError::ArchiveTruncated);
        return std::nullopt;
    }
    try {
        std::vector<std::uint8_t> bytes(length);
        if (!m_file.ReadAt(offset, bytes)) {
            // Shorter than when it was opened, or unreadable there.
            std::error_code failed;
            const auto now = std::filesystem::file_size(m_path, failed);
            const bool shorter = !failed && (now < offset || now - offset < length);
            SetReason(error, shorter ? ReadError::ArchiveTruncated : ReadError::ArchiveCannotOpen);
            return std::nullopt;
        }
        SetReason(error, ReadError::None);
        return bytes;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
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

WriteError ArchiveWriter::Failure() const {
    return m_out.Ok() ? WriteError::CannotWrite : m_out.Error();
}

bool ArchiveWriter::Add(std::string_view name, std::span<const std::uint8_t> bytes,
                        std::uint8_t type, WriteError* error) {
    if (m_failed) {
        return SetReason(error, Failure());
    }
    if (CheckName(name) != ReadError::None) {
        return SetReason(error, WriteError::BadEntryName);
    }
    if (m_count >= kMaxArchiveEntries) {
        return SetReason(error, WriteError::TooManyEntries);
    }
    // The entry, then the directory with one entry more, must end inside the limit.
    const std::uint64_t start = AlignedUp(m_position, m_layout.alignment);
    const std::uint64_t end =
        AlignedUp(start + bytes.size(), m_layout.alignment) + m_layout.entrySize * (m_count + 1);
    if (bytes.size() > kArchiveLimit || end > kArchiveLimit) {
        return SetReason(error, WriteError::ArchiveTooLarge);
    }
    try {
        m_directory.resize(m_directory.size() + m_layout.entrySize, 0);
    } catch (const std::bad_alloc&) {
        return SetReason(error, WriteError::OutOfMemory);
    }
    StoreEntry(m_directory.data() + m_layout.entrySize * m_count, name,
               static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(bytes.size()), type);
    m_failed = !Pad() || !m_out.Write(bytes);
    if (m_failed) {
        return SetReason(error, Failure());
    }
    m_position += bytes.size();
    ++m_count;
    return SetReason(error, WriteError::None);
}

bool ArchiveWriter::Finish(WriteError* error) {
    if (!m_failed) {
        m_failed = !Pad() || !m_out.Write(m_directory);
    }
    if (!m_failed) {
        std::vector<std::uint8_t> header(m_layout.headerSize, 0);
        StoreHeader(header.data(), m_count, static_cast<std::uint32_t>(m_position));
        m_failed = !m_out.OverwriteStart(header);
    }
    return SetReason(error, m_failed ? Failure() : WriteError::None);
}

} // namespace texelary
