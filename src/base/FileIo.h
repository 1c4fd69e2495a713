#pragma once

// Whole-file reads and all-or-nothing writes, shared by every reader and writer.

#include "base/WriteError.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Every path here is a UTF-8 name (see NativePath).

// Reads the whole file with a handful of calls. None when the file cannot be opened or read (a
// missing file, a directory, no memory).
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);

// A regular file opened for reading, for a reader that takes it by pieces instead of whole.
class FileReader {
public:
    // Ok() is false when the file cannot be opened or is not a regular file.
    explicit FileReader(const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Ok() const { return m_descriptor >= 0; }
    std::uint64_t Size() const { return m_size; } // when it was opened
    // Reads `out.size()` bytes from `offset`; false when the file ends first or a read fails.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
    // The whole file, at most `maxBytes` of it, from its start (the file may have grown since it
    // was opened); none when a read fails or memory runs out.
    std::optional<std::vector<std::uint8_t>> ReadWhole(std::size_t maxBytes = std::size_t(-1));

private:
    int m_descriptor = -1;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
};

// Replaces the file at `path` with exactly `bytes`, all or nothing: the bytes go to a new
// temporary file in the same directory, which is renamed over the target only when every write,
// the flush and the close have succeeded. On failure the temporary file is removed, any previous
// file at `path` is left as it was, and false is returned, with the reason in `error` when given.
//
// What the user set on an existing target stays: the new file gets the old one's permission
// bits, a symbolic link keeps pointing where it did (the file it names is replaced), and a file
// this process may not write to is not replaced at all. When the directory refuses new files but
// the target itself may be written, the target is written in place instead, every step still
// checked: its old bytes are kept until the new ones are flushed whole, and written back should a
// write or the flush fail part way.
bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes,
                        WriteError* error = nullptr);

// The same, but the caller fills the file in several pieces through `write`, which returns
// false to give up; used where the output is not one buffer.
class ReplacingFile {
public:
    // Creates the temporary file beside the target; Ok() tells whether that, or the preparation
    // for writing in place, worked.
    explicit ReplacingFile(const std::string& path);
    ~ReplacingFile(); // removes the temporary file unless Commit() succeeded
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Ok() const { return m_error == WriteError::None; }
    // Why the file was not or will not be written: the first failure, None while all is well.
    WriteError Error() const { return m_error; }
    bool Write(std::span<const std::uint8_t> bytes);
    // Writes `bytes` over the first bytes written so far, for a header whose fields are known
    // only once the rest is written; later writes go on at the end. False, and the file given
    // up, when fewer bytes have been written or the write fails.
    bool OverwriteStart(std::span<const std::uint8_t> bytes) { return OverwriteAt(0, bytes); }
    // The same at `offset`, for bytes of a copy changed in place.
    bool OverwriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Flushes and closes the temporary file, leaving Commit() only the rename: the costly part of
    // a write can then run on one thread and the replacing, in order, on another. False on any
    // failure; nothing is replaced then. Nothing more can be written after it.
    bool Finish();
    // Finishes the file if that has not been done and renames it over the target; false (and
    // nothing replaced) on any failure.
    bool Commit();

private:
    bool CommitInPlace();
    bool WritePending();
    // Gives the file up for `reason`, unless an earlier failure already did; returns false.
    bool Fail(WriteError reason);
    bool FailWithErrno();

    // Pieces written are gathered up to this many bytes before they go to the file.
    static constexpr std::size_t kPendingLimit = std::size_t{1} << 16;

    std::filesystem::path m_target; // the file that is replaced: `path`, or where its links lead
    std::filesystem::path m_temporary;
    std::optional<std::filesystem::perms> m_permissions; // an existing target's, to keep
    int m_descriptor = -1;                               // the temporary file, open for writing
    std::vector<std::uint8_t> m_pending;                 // written, not yet passed to the file
    // Writing in place keeps the bytes until Commit(), so that giving up changes nothing.
    bool m_inPlace = false;
    std::vector<std::uint8_t> m_held;
    std::uint64_t m_written = 0; // bytes written so far
    WriteError m_error = WriteError::None;
    bool m_closed = false; // Finish() has closed the temporary file
    bool m_committed = false;
};

// Where a test stands between every writer and the file system, to make a write or a flush fail
// the way a full disk makes it fail, or to end the process between any two steps of a write: the
// hook is asked before each step and returns 0 to let it go on, or the errno it fails with. One
// hook for the process, null (no hook) by default.
enum class WriteStep : std::uint8_t {
    Write,
    Flush,
    Rename, // the finished temporary file about to replace the target
};
using WriteHook = int (*)(WriteStep step);
void SetWriteHook(WriteHook hook);

} // namespace texelary
