#pragma once

// What the pak and wad archives share: the rule every entry's name must follow, and the archive
// file opened for reading one piece at a time. Why an archive, an entry or a lump was refused is a
// ReadError; why one could not be written, a WriteError.
// An archive is never read whole: its header, then its directory, then the entries a caller
// asks for, so that memory follows the entries in hand and not the archive's size.

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "base/WriteError.h"
#include "formats/ReadError.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// The most entries a directory may list. Real archives hold a few thousand; this keeps a hostile
// directory to 16 MB at most, however large its file.
constexpr std::size_t kMaxArchiveEntries = std::size_t{1} << 18;

// Where an archive's directory lies, as its header says: checked against the file's size.
struct DirectoryPlace {
    std::uint32_t offset = 0;
    std::uint32_t length = 0; // in bytes
};

// Whether `name` may name an entry, read or written: None, or the rule it breaks. Entries are
// written out as files under a folder of the user's choosing, so a name must stay inside it on
// every platform: parts separated by '/', none of them empty, "." or ".."; not absolute; no
// backslash, no colon (a drive letter, or a Windows stream), no control character. With
// `fieldSize`, the name must also leave room for the terminating zero of a field of that many
// bytes (NameTooLong), which is checked after the rules.
ReadError CheckEntryName(std::string_view name,
                         std::size_t fieldSize = std::numeric_limits<std::size_t>::max());

// The text of a name field of `size` bytes up to its first zero; none when the field has no zero
// (names must leave room for it).
std::optional<std::string> LoadNameField(const std::uint8_t* field, std::size_t size);

// The name of an entry's name field, which CheckEntryName must accept; or the reason it is
// refused (NameTooLong for a field with no zero to end it).
ReadError TakeEntryName(std::span<const std::uint8_t> field, std::string& name);

// Whether an entry's `length` bytes at `offset` lie after the archive's header of `headerSize`
// bytes and inside the file: None, EntryOverlapsHeader or EntryPastEnd.
ReadError CheckEntryPlace(std::int32_t offset, std::int32_t length, std::size_t headerSize,
                          std::uint64_t fileSize);

// The entries of a directory of `entrySize`-byte entries, each read by `take(cursor, fileSize,
// entry)` (which returns None or why the entry is refused); none with the reason when the
// directory's length is not a whole number of entries, holds more than kMaxArchiveEntries, an
// entry is refused, or memory runs out.
template <class Entry, class Take>
std::optional<std::vector<Entry>> ParseEntries(std::span<const std::uint8_t> directory,
                                               std::size_t entrySize, std::uint64_t fileSize,
                                               Take take, ReadError* error) {
    if (directory.size() % entrySize != 0 || directory.size() / entrySize > kMaxArchiveEntries) {
        SetReason(error, ReadError::BadDirectoryLength);
        return std::nullopt;
    }
    try {
        std::vector<Entry> entries(directory.size() / entrySize);
        ByteCursor cursor(directory);
        for (Entry& entry : entries) {
            if (!SetReason(error, take(cursor, fileSize, entry))) {
                return std::nullopt;
            }
        }
        SetReason(error, ReadError::None);
        return entries;
    } catch (const std::bad_alloc&) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
}

// An archive open for reading, through the FileReader every reader shares: its size, and bytes
// read from where its directory says, as many as asked for. Holds the open file only, never its
// contents.
class ArchiveFile {
public:
    // Opens `path` (UTF-8). Ok() tells whether that worked; Error() says why not.
    explicit ArchiveFile(const std::string& path);

    bool Ok() const { return m_error == ReadError::None; }
    ReadError Error() const { return m_error; }
    // The length of the file when it was opened.
    std::uint64_t Size() const { return m_file.Size(); }

    // The `length` bytes at `offset`. None, with the reason, when they lie beyond the file's size
    // (ArchiveTruncated, nothing allocated), the file has since become shorter or cannot be read,
    // or memory runs out.
    std::optional<std::vector<std::uint8_t>> Read(std::uint64_t offset, std::size_t length,
                                                  ReadError* error);

private:
    std::filesystem::path m_path; // asked again for its size when a read falls short
    FileReader m_file;
    ReadError m_error = ReadError::None;
};

// A new archive written entry by entry to a file the caller commits: a header whose fields are
// filled in at the end, the entries' bytes in the order added, then the directory. Only the
// directory is held, never the entries, so that an archive of any size costs its directory.
class ArchiveWriter {
public:
    virtual ~ArchiveWriter() = default;
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Appends one entry (`type` is a wad lump's; a pak has none). False, with the reason, when
    // the name is refused (BadEntryName: CheckName says which rule it breaks), the archive would
    // grow past 2 GB or kMaxArchiveEntries: nothing is written then, and the archive stays whole.
    // False when the write fails, with the file's reason (CannotWrite when it gave none): the
    // file is then given up.
    bool Add(std::string_view name, std::span<const std::uint8_t> bytes, std::uint8_t type = 0,
             WriteError* error = nullptr);

    // Writes the directory and the header. False, with the reason, when a write failed now or
    // earlier.
    bool Finish(WriteError* error = nullptr);

    // Whether `name` may name an entry of this archive: CheckEntryName with the format's field.
    ReadError CheckName(std::string_view name) const {
        return CheckEntryName(name, m_layout.nameSize);
    }

    std::size_t Count() const { return m_count; }

protected:
    struct Layout {
        std::size_t headerSize;
        std::size_t entrySize;
        std::size_t nameSize;  // the name field's bytes, its terminating zero included
        std::size_t alignment; // each entry's bytes, and the directory, start at a multiple
    };
    ArchiveWriter(ReplacingFile& out, const Layout& layout);

    // Fills the directory entry of an entry of `size` bytes at `offset`, which is zeroed.
    virtual void StoreEntry(std::uint8_t* entry, std::string_view name, std::uint32_t offset,
                            std::uint32_t size, std::uint8_t type) const = 0;
    // Fills the header, which is zeroed, for `count` entries and the directory at `offset`.
    virtual void StoreHeader(std::uint8_t* header, std::size_t count,
                             std::uint32_t directoryOffset) const = 0;

private:
    // Zero bytes up to the next multiple of the alignment.
    bool Pad();
    // Why the file failed, as it says; CannotWrite when it gave no reason.
    WriteError Failure() const;

    ReplacingFile& m_out;
    Layout m_layout;
    std::vector<std::uint8_t> m_directory;
    std::uint64_t m_position = 0;
    std::size_t m_count = 0;
    bool m_failed = false;
};

} // namespace texelary
