#include "base/FileIo.h"

#include "base/NativePath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include "base/Win32.h"

#include <io.h>
#else
#include <unistd.h>
#endif

namespace texelary {

namespace {

namespace fs = std::filesystem;

// The test's hook, when one is set.
std::atomic<WriteHook> g_writeHook{nullptr};

// Whether the hook fails this step; errno then holds the failure it chose.
bool HookFails(WriteStep step) {
    const WriteHook hook = g_writeHook.load(std::memory_order_relaxed);
    const int failure = hook != nullptr ? hook(step) : 0;
    if (failure != 0) {
        errno = failure;
    }
    return failure != 0;
}

// The reason behind a failed rename, resize or status look-up, on Windows too: its system error
// codes map onto the portable ones where a portable one exists.
WriteError WriteErrorFromCode(const std::error_code& error) {
    const std::error_condition condition = error.default_error_condition();
    return condition.category() == std::generic_category() ? WriteErrorFromErrno(condition.value())
                                                           : WriteError::FileSystem;
}

// The C library's unbuffered file I/O, by descriptor: a file is read or written with one call a
// buffer, and nothing is asked of the system that the task does not need (a stream asks for the
// file's status to size its buffer). On Windows these are the Microsoft C library's wide-name
// functions; elsewhere POSIX's.
#ifdef _WIN32
int OpenForReading(const fs::path& path) {
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

// A new file for binary writing that did not exist before; -1, with errno EEXIST when a file of
// that name is already there.
int CreateNewFile(const fs::path& path) {
    return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_BINARY | _O_WRONLY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

// Whether the open file is a regular one, and its size.
bool RegularFileSize(int descriptor, std::uint64_t& size) {
    struct _stat64 status {};
    if (_fstat64(descriptor, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

// At most 1 GiB a call: the counts are ints.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

long long ReadSome(int descriptor, std::uint8_t* data, std::size_t count) {
    return _read(descriptor, data, static_cast<unsigned>(std::min(count, kMaxTransfer)));
}

long long WriteSome(int descriptor, const std::uint8_t* data, std::size_t count) {
    return _write(descriptor, data, static_cast<unsigned>(std::min(count, kMaxTransfer)));
}

bool SeekTo(int descriptor, std::int64_t offset, int whence) {
    return _lseeki64(descriptor, offset, whence) >= 0;
}

int CloseFile(int descriptor) {
    return _close(descriptor);
}
#else
// O_NONBLOCK: opening a pipe or a device of that name must not wait; a regular file reads the
// same either way.
int OpenForReading(const fs::path& path) {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

int CreateNewFile(const fs::path& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool RegularFileSize(int descriptor, std::uint64_t& size) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

long long ReadSome(int descriptor, std::uint8_t* data, std::size_t count) {
    ssize_t got = 0;
    do {
        got = read(descriptor, data, count);
    } while (got < 0 && errno == EINTR);
    return got;
}

long long WriteSome(int descriptor, const std::uint8_t* data, std::size_t count) {
    ssize_t put = 0;
    do {
        put = write(descriptor, data, count);
    } while (put < 0 && errno == EINTR);
    return put;
}

bool SeekTo(int descriptor, std::int64_t offset, int whence) {
    return lseek(descriptor, static_cast<off_t>(offset), whence) >= 0;
}

int CloseFile(int descriptor) {
    return close(descriptor);
}
#endif

// Reads until `count` bytes are in or the file ends; how many came, or none on an error.
std::optional<std::size_t> ReadFully(int descriptor, std::uint8_t* data, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const long long got = ReadSome(descriptor, data + filled, count - filled);
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

bool WriteFully(int descriptor, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long put = WriteSome(descriptor, bytes.data() + done, bytes.size() - done);
        if (put <= 0) {
            if (put == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// std::fopen for a path of any name: the wide _wfopen on Windows, where the narrow one reads the
// name in the ANSI code page.
std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool WriteAll(std::FILE* file, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return true;
    }
    if (HookFails(WriteStep::Write)) {
        return false;
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool Flush(std::FILE* file) {
    if (HookFails(WriteStep::Flush)) {
        return false;
    }
    return std::fflush(file) == 0 && std::ferror(file) == 0;
}

// Renames `from` over `to`, replacing the file there in one step. (On Windows std::rename refuses
// an existing target.)
void MoveReplacing(const fs::path& from, const fs::path& to, std::error_code& error) {
#ifdef _WIN32
    // Another program (a virus scanner, an indexer, a picture viewer) may hold either file for a
    // moment after it was written, and Windows refuses the rename meanwhile: try again for a while
    // (0.65 s in all) before calling the write failed.
    constexpr int kAttempts = 11;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
            error.clear();
            return;
        }
        const DWORD reason = GetLastError();
        const bool held = reason == ERROR_SHARING_VIOLATION || reason == ERROR_ACCESS_DENIED;
        if (!held || attempt == kAttempts) {
            error.assign(static_cast<int>(reason), std::system_category());
            return;
        }
        Sleep(std::min<DWORD>(DWORD{1} << (attempt - 1), 200));
    }
#else
    fs::rename(from, to, error);
#endif
}

// Whether this process may write to the existing file `path`: asked of the system with the
// process's effective identity, as opening it for writing would be. On Windows that is its
// read-only attribute, which the status shows as the owner's write permission: opening the file to
// find out would, for that moment, stop anyone from replacing it, and the run replaces files on one
// thread while it converts on others (the same input listed twice gives one output twice).
bool MayWrite(const fs::path& path, const fs::file_status& status) {
#ifdef _WIN32
    static_cast<void>(path);
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none;
#else
    static_cast<void>(status);
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
#endif
}

// A short name, so that a target whose own name is near the file system's limit can still be
// written: the temporary file lives beside the target under a name of at most 12 bytes.
fs::path TemporaryNameBeside(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned long long mixed = tick ^ (0x9E3779B97F4A7C15ULL * (counter.fetch_add(1) + 1));
    char name[16];
    std::snprintf(name, sizeof name, ".tx%08llx", mixed & 0xFFFFFFFFULL);
    return target.parent_path() / name;
}

// The file a write to `path` should replace: `path` itself, or the file its chain of symbolic
// links ends at, so that the links stay; with what the last look found there (not_found when
// nothing is). None for a chain that does not end.
struct Target {
    fs::path path;
    fs::file_status status;
};

std::optional<Target> FinalTarget(const fs::path& path) {
    constexpr int kMaxLinks = 40;
    fs::path target = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(target, error);
        if (!fs::is_symlink(status)) {
            return Target{target, status};
        }
        const fs::path next = fs::read_symlink(target, error);
        if (error) {
            return std::nullopt;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return std::nullopt;
}

} // namespace

FileReader::FileReader(const std::string& path) {
    // Directories and other non-regular files are refused once open, by the file's own status:
    // some platforms open them.
    m_descriptor = OpenForReading(NativePath(path));
    if (m_descriptor >= 0 && !RegularFileSize(m_descriptor, m_size)) {
        CloseFile(m_descriptor);
        m_descriptor = -1;
    }
}

FileReader::~FileReader() {
    if (m_descriptor >= 0) {
        CloseFile(m_descriptor);
    }
}

bool FileReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!Ok() || offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return false;
    }
    if (offset != m_position &&
        !SeekTo(m_descriptor, static_cast<std::int64_t>(offset), SEEK_SET)) {
        m_position = std::uint64_t(-1); // unknown: the next read seeks
        return false;
    }
    const auto filled = ReadFully(m_descriptor, out.data(), out.size());
    m_position = filled ? offset + *filled : std::uint64_t(-1);
    return filled && *filled == out.size();
}

std::optional<std::vector<std::uint8_t>> FileReader::ReadWhole(std::size_t maxBytes) {
    if (!Ok() || (m_position != 0 && !SeekTo(m_descriptor, 0, SEEK_SET))) {
        return std::nullopt;
    }
    m_position = std::uint64_t(-1);
    try {
        std::vector<std::uint8_t> bytes;
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(m_size, maxBytes)));
        auto filled = ReadFully(m_descriptor, bytes.data(), bytes.size());
        // The file may have grown since its size was taken; read on in chunks until the end.
        while (filled && *filled == bytes.size() && *filled < maxBytes) {
            const std::size_t chunk = std::min<std::size_t>(maxBytes - *filled, 1 << 16);
            bytes.resize(*filled + chunk);
            const auto got = ReadFully(m_descriptor, bytes.data() + *filled, chunk);
            filled = got ? std::optional(*filled + *got) : std::nullopt;
            if (got && *got < chunk) {
                break;
            }
        }
        if (!filled) {
            return std::nullopt;
        }
        bytes.resize(*filled);
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    FileReader file(path);
    return file.ReadWhole();
}

void SetWriteHook(WriteHook hook) {
    g_writeHook.store(hook);
}

ReplacingFile::ReplacingFile(const std::string& path) {
    const auto target = FinalTarget(NativePath(path));
    if (!target) {
        Fail(WriteError::TooManyLinks);
        return;
    }
    m_target = target->path;
    const fs::file_status& status = target->status;
    const bool exists = fs::exists(status);
    // Only a regular file is replaced: not a directory, a device or a pipe of that name.
    if (exists && !fs::is_regular_file(status)) {
        Fail(WriteError::NotAFile);
        return;
    }
    if (exists) {
        // A file this process may not write to stays: whoever made it read-only meant that.
        if (!MayWrite(m_target, status)) {
            Fail(WriteError::ReadOnly);
            return;
        }
        m_permissions = status.permissions();
    }
    int reason = 0;
    for (int attempt = 0; attempt < 8 && m_descriptor < 0; ++attempt) {
        m_temporary = TemporaryNameBeside(m_target);
        // Fail rather than reuse a file that happens to exist under that name.
        m_descriptor = CreateNewFile(m_temporary);
        reason = m_descriptor < 0 ? errno : 0;
        if (m_descriptor < 0 && reason != EEXIST) {
            break;
        }
    }
    if (m_descriptor < 0) {
        m_temporary.clear();
        // A directory that refuses new files may still let its existing files be written.
        m_inPlace = exists && (reason == EACCES || reason == EPERM);
        if (!m_inPlace) {
            Fail(WriteErrorFromErrno(reason));
        }
        return;
    }
#ifndef _WIN32
    // The replacing file takes the old one's permission bits from the start, whatever the
    // process's file mode mask would give a new file.
    if (m_permissions && fchmod(m_descriptor, static_cast<mode_t>(*m_permissions)) != 0) {
        FailWithErrno();
    }
#endif
}

ReplacingFile::~ReplacingFile() {
    if (m_descriptor >= 0) {
        CloseFile(m_descriptor);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
}

bool ReplacingFile::Fail(WriteError reason) {
    if (m_error == WriteError::None) {
        m_error = reason;
    }
    return false;
}

bool ReplacingFile::FailWithErrno() {
    return Fail(WriteErrorFromErrno(errno));
}

// Writes what is pending to the file; false, and the file given up, when that fails.
bool ReplacingFile::WritePending() {
    if (!m_pending.empty() && !WriteFully(m_descriptor, m_pending)) {
        FailWithErrno();
    }
    m_pending.clear();
    return Ok();
}

bool ReplacingFile::Write(std::span<const std::uint8_t> bytes) {
    if (!Ok() || m_closed) {
        return false;
    }
    if (m_inPlace) {
        try {
            m_held.insert(m_held.end(), bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            Fail(WriteError::OutOfMemory);
        }
    } else if (!bytes.empty() && HookFails(WriteStep::Write)) {
        FailWithErrno();
    } else if (m_pending.size() + bytes.size() <= kPendingLimit) {
        // Small pieces (an archive's headers and names) are gathered into fewer writes.
        try {
            m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            Fail(WriteError::OutOfMemory);
        }
    } else if (WritePending() && !WriteFully(m_descriptor, bytes)) {
        FailWithErrno();
    }
    m_written += bytes.size();
    return Ok();
}

bool ReplacingFile::OverwriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (!Ok() || m_closed || offset > m_written || bytes.size() > m_written - offset) {
        return Fail(WriteError::FileSystem);
    }
    if (m_inPlace) {
        std::copy(bytes.begin(), bytes.end(), m_held.begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
    }
    if (!WritePending()) {
        return false;
    }
    if (!bytes.empty() && HookFails(WriteStep::Write)) {
        return FailWithErrno();
    }
    if (!SeekTo(m_descriptor, static_cast<std::int64_t>(offset), SEEK_SET) ||
        !WriteFully(m_descriptor, bytes) || !SeekTo(m_descriptor, 0, SEEK_END)) {
        return FailWithErrno();
    }
    return true;
}

bool ReplacingFile::Finish() {
    if (!Ok()) {
        return false;
    }
    if (m_inPlace || m_closed) {
        return true;
    }
    const bool flushed = !HookFails(WriteStep::Flush) && WritePending();
    const int flushFailure = errno;
    const bool closed = CloseFile(m_descriptor) == 0;
    m_descriptor = -1;
    m_closed = true;
    if (!flushed) {
        return Fail(WriteErrorFromErrno(flushFailure));
    }
    return closed || FailWithErrno();
}

bool ReplacingFile::Commit() {
    if (!Ok() || m_committed) {
        return false;
    }
    if (m_inPlace) {
        m_committed = CommitInPlace();
        return m_committed;
    }
    if (!Finish()) {
        return false;
    }
    if (HookFails(WriteStep::Rename)) {
        return FailWithErrno();
    }
    std::error_code error;
#ifdef _WIN32
    // The read-only attribute, which is all of the permissions Windows keeps.
    if (m_permissions) {
        fs::permissions(m_temporary, *m_permissions, fs::perm_options::replace, error);
    }
    if (!error) {
        MoveReplacing(m_temporary, m_target, error);
    }
#else
    MoveReplacing(m_temporary, m_target, error);
#endif
    if (error) {
        return Fail(WriteErrorFromCode(error));
    }
    m_committed = true;
    return true;
}

// Writes the held bytes over the target's own and cuts it to their length. The old content is
// kept in memory until the new is written and flushed whole; should anything fail on the way, it
// is written back (with plain writes: it fits where it was), so that a failure changes nothing.
bool ReplacingFile::CommitInPlace() {
    const auto old = ReadFileBytes(Utf8Path(m_target));
    std::FILE* file = old ? OpenFile(m_target, "r+b") : nullptr;
    if (file == nullptr) {
        return FailWithErrno();
    }
    std::error_code error;
    if (WriteAll(file, m_held) && Flush(file)) {
        const bool closed = std::fclose(file) == 0;
        const int closeFailure = errno;
        fs::resize_file(m_target, m_held.size(), error);
        if (closed && !error) {
            return true;
        }
        Fail(error ? WriteErrorFromCode(error) : WriteErrorFromErrno(closeFailure));
        file = OpenFile(m_target, "r+b");
        if (file == nullptr) {
            return false;
        }
    } else {
        FailWithErrno();
    }
    // Whatever reached the file, and whatever the buffer still holds, gives way to the old bytes.
    std::rewind(file);
    std::fwrite(old->data(), 1, old->size(), file);
    std::fclose(file);
    fs::resize_file(m_target, old->size(), error);
    return false;
}

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes,
                        WriteError* error) {
    ReplacingFile file(path);
    const bool written = file.Write(bytes) && file.Commit();
    if (error != nullptr) {
        *error = file.Error();
    }
    return written;
}

} // namespace texelary
