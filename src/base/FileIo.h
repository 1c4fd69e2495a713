#pragma once

// Whole-file reads and all-or-nothing writes, shared by every reader and writer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Reads the whole file (or its first maxBytes bytes) with a handful of calls. None when the
// file cannot be opened or read (a missing file, a directory, no memory).
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
std::optional<std::vector<std::uint8_t>> ReadFilePrefix(const std::string& path,
                                                        std::size_t maxBytes);

// Replaces the file at `path` with exactly `bytes`, all or nothing: the bytes go to a new
// temporary file in the same directory, which is renamed over the target only when every write,
// the flush and the close have succeeded. On failure the temporary file is removed, any previous
// file at `path` is left as it was, and false is returned.
bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

// The same, but the caller fills the file in several pieces through `write`, which returns
// false to give up; used where the output is not one buffer.
class ReplacingFile {
public:
    // Creates the temporary file beside `path`; Ok() tells whether that worked.
    explicit ReplacingFile(std::string path);
    ~ReplacingFile(); // removes the temporary file unless Commit() succeeded
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Ok() const { return m_file != nullptr && !m_failed; }
    bool Write(std::span<const std::uint8_t> bytes);
    // Flushes, closes and renames over the target; false (and nothing replaced) on any failure.
    bool Commit();

private:
    std::string m_path;
    std::string m_temporary;
    std::FILE* m_file = nullptr;
    bool m_failed = false;
    bool m_committed = false;
};

} // namespace texelary
