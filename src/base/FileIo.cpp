#include "base/FileIo.h"

#include "base/NativePath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#ifdef _WIN32
#include "base/Win32.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace texelary {

namespace {

namespace fs = std::filesystem;

// The failure that InjectWriteFault asked for: which operation, and how many more of them succeed
// before it (and every one after it) fails.
std::atomic<WriteFault> g_faultKind{WriteFault::None};
std::atomic<long> g_faultCountdown{0};

bool FaultHits(WriteFault kind) {
    if (g_faultKind.load() != kind) {
        return false;
    }
    return g_faultCountdown.fetch_sub(1) <= 1;
}

bool WriteAll(std::FILE* file, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return true;
    }
    if (FaultHits(WriteFault::Write)) {
        errno = ENOSPC;
        return false;
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool Flush(std::FILE* file) {
    if (FaultHits(WriteFault::Flush)) {
        errno = ENOSPC;
        return false;
    }
    return std::fflush(file) == 0 && std::ferror(file) == 0;
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

// A new file for binary writing that did not exist before; null, with errno EEXIST when a file of
// that name is already there. (Microsoft's C libraries do not know fopen's "x".)
std::FILE* CreateNewFile(const fs::path& path) {
#ifdef _WIN32
    const int descriptor =
        _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_BINARY | _O_WRONLY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
#else
    return std::fopen(path.c_str(), "wbx");
#endif
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

std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::string& path, std::size_t maxBytes) {
    std::error_code error;
    const fs::path fsPath = NativePath(path);
    // Refuse directories and other non-regular files up front: some platforms open them.
    if (!fs::is_regular_file(fsPath, error)) {
        return std::nullopt;
    }
    std::FILE* file = OpenFile(fsPath, "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> result;
    try {
        const auto size = fs::file_size(fsPath, error);
        std::vector<std::uint8_t> bytes;
        bytes.resize(error ? 0 : std::min<std::uintmax_t>(size, maxBytes));
        std::size_t filled = std::fread(bytes.data(), 1, bytes.size(), file);
        // The file may have grown since its size was taken; read on in chunks until the end.
        while (filled == bytes.size() && filled < maxBytes && !std::ferror(file)) {
            const std::size_t chunk = std::min<std::size_t>(maxBytes - filled, 1 << 16);
            bytes.resize(filled + chunk);
            const std::size_t got = std::fread(bytes.data() + filled, 1, chunk, file);
            filled += got;
            if (got < chunk) {
                break;
            }
        }
        if (!std::ferror(file)) {
            bytes.resize(filled);
            result = std::move(bytes);
        }
    } catch (const std::bad_alloc&) {
        result.reset();
    }
    std::fclose(file);
    return result;
}

// Whether this process may write to the existing file `path`. On Windows that is its read-only
// attribute, which the status shows as the owner's write permission: opening the file to find out
// would, for that moment, stop anyone from replacing it, and the run replaces files on one thread
// while it converts on others (the same input listed twice gives one output twice).
bool MayWrite(const fs::path& path, const fs::file_status& status) {
#ifdef _WIN32
    static_cast<void>(path);
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none;
#else
    static_cast<void>(status);
    std::FILE* probe = OpenFile(path, "r+b");
    if (probe == nullptr) {
        return false;
    }
    std::fclose(probe);
    return true;
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
// links ends at, so that the links stay. None for a chain that does not end.
std::optional<fs::path> FinalTarget(const fs::path& path) {
    constexpr int kMaxLinks = 40;
    fs::path target = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) {
            return target;
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

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    return ReadUpTo(path, static_cast<std::size_t>(-1));
}

void InjectWriteFault(WriteFault kind, long nth) {
    g_faultKind.store(WriteFault::None);
    g_faultCountdown.store(nth);
    g_faultKind.store(kind);
}

ReplacingFile::ReplacingFile(const std::string& path) {
    const auto target = FinalTarget(NativePath(path));
    if (!target) {
        return;
    }
    m_target = *target;
    std::error_code error;
    const fs::file_status status = fs::status(*target, error);
    const bool exists = fs::exists(status);
    // Only a regular file is replaced: not a directory, a device or a pipe of that name.
    if (exists && !fs::is_regular_file(status)) {
        return;
    }
    if (exists) {
        // A file this process may not write to stays: whoever made it read-only meant that.
        if (!MayWrite(m_target, status)) {
            return;
        }
        m_permissions = status.permissions();
    }
    int reason = 0;
    for (int attempt = 0; attempt < 8 && m_file == nullptr; ++attempt) {
        m_temporary = TemporaryNameBeside(*target);
        // Fail rather than reuse a file that happens to exist under that name.
        m_file = CreateNewFile(m_temporary);
        reason = m_file == nullptr ? errno : 0;
        if (m_file == nullptr && reason != EEXIST) {
            break;
        }
    }
    if (m_file == nullptr) {
        m_temporary.clear();
        // A directory that refuses new files may still let its existing files be written.
        m_inPlace = exists && (reason == EACCES || reason == EPERM);
    }
}

ReplacingFile::~ReplacingFile() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
}

bool ReplacingFile::Write(std::span<const std::uint8_t> bytes) {
    if (!Ok() || m_closed) {
        return false;
    }
    if (m_inPlace) {
        try {
            m_held.insert(m_held.end(), bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            m_failed = true;
        }
    } else if (!WriteAll(m_file, bytes)) {
        m_failed = true;
    }
    m_written += bytes.size();
    return !m_failed;
}

bool ReplacingFile::OverwriteStart(std::span<const std::uint8_t> bytes) {
    if (!Ok() || m_closed || bytes.size() > m_written) {
        m_failed = true;
        return false;
    }
    if (m_inPlace) {
        std::copy(bytes.begin(), bytes.end(), m_held.begin());
        return true;
    }
    m_failed = std::fseek(m_file, 0, SEEK_SET) != 0 || !WriteAll(m_file, bytes) ||
               std::fseek(m_file, 0, SEEK_END) != 0;
    return !m_failed;
}

bool ReplacingFile::Finish() {
    if (!Ok()) {
        return false;
    }
    if (m_inPlace || m_closed) {
        return true;
    }
    const bool flushed = Flush(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    m_closed = true;
    m_failed = !flushed || !closed;
    return !m_failed;
}

bool ReplacingFile::Commit() {
    if (!Ok() || m_committed) {
        return false;
    }
    if (m_inPlace) {
        m_failed = !CommitInPlace();
        m_committed = !m_failed;
        return m_committed;
    }
    if (!Finish()) {
        return false;
    }
    std::error_code error;
    if (m_permissions) {
        fs::permissions(m_temporary, *m_permissions, fs::perm_options::replace, error);
    }
    if (!error) {
        MoveReplacing(m_temporary, m_target, error);
    }
    if (error) {
        m_failed = true;
        return false;
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
        return false;
    }
    std::error_code error;
    if (WriteAll(file, m_held) && Flush(file)) {
        const bool closed = std::fclose(file) == 0;
        fs::resize_file(m_target, m_held.size(), error);
        if (closed && !error) {
            return true;
        }
        file = OpenFile(m_target, "r+b");
        if (file == nullptr) {
            return false;
        }
    }
    // Whatever reached the file, and whatever the buffer still holds, gives way to the old bytes.
    std::rewind(file);
    std::fwrite(old->data(), 1, old->size(), file);
    std::fclose(file);
    fs::resize_file(m_target, old->size(), error);
    return false;
}

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    ReplacingFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace texelary
