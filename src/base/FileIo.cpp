#include "base/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

namespace texelary {

namespace {

namespace fs = std::filesystem;

std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::string& path, std::size_t maxBytes) {
    std::error_code error;
    const fs::path fsPath(path);
    // Refuse directories and other non-regular files up front: some platforms open them.
    if (!fs::is_regular_file(fsPath, error)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
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

std::optional<std::vector<std::uint8_t>> ReadFilePrefix(const std::string& path,
                                                        std::size_t maxBytes) {
    return ReadUpTo(path, maxBytes);
}

ReplacingFile::ReplacingFile(std::string path) {
    const auto target = FinalTarget(fs::path(path));
    if (!target) {
        return;
    }
    m_target = target->string();
    std::error_code error;
    const fs::file_status status = fs::status(*target, error);
    const bool exists = fs::exists(status);
    // Only a regular file is replaced: not a directory, a device or a pipe of that name.
    if (exists && !fs::is_regular_file(status)) {
        return;
    }
    if (exists) {
        // A file this process may not write to stays: whoever made it read-only meant that.
        std::FILE* probe = std::fopen(m_target.c_str(), "r+b");
        if (probe == nullptr) {
            return;
        }
        std::fclose(probe);
        m_permissions = status.permissions();
    }
    int reason = 0;
    for (int attempt = 0; attempt < 8 && m_file == nullptr; ++attempt) {
        m_temporary = TemporaryNameBeside(*target).string();
        // "x": fail rather than reuse a file that happens to exist under that name.
        m_file = std::fopen(m_temporary.c_str(), "wbx");
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
        fs::remove(fs::path(m_temporary), ignored);
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
    } else if (!bytes.empty() &&
               std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
    }
    return !m_failed;
}

bool ReplacingFile::Finish() {
    if (!Ok()) {
        return false;
    }
    if (m_inPlace || m_closed) {
        return true;
    }
    const bool flushed = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
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
        fs::permissions(fs::path(m_temporary), *m_permissions, fs::perm_options::replace, error);
    }
    if (!error) {
        fs::rename(fs::path(m_temporary), fs::path(m_target), error);
    }
    if (error) {
        m_failed = true;
        return false;
    }
    m_committed = true;
    return true;
}

// Writes the held bytes over the target's own and cuts it to their length.
bool ReplacingFile::CommitInPlace() {
    std::FILE* file = std::fopen(m_target.c_str(), "r+b");
    if (file == nullptr) {
        return false;
    }
    const bool written =
        m_held.empty() || std::fwrite(m_held.data(), 1, m_held.size(), file) == m_held.size();
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        return false;
    }
    std::error_code error;
    fs::resize_file(fs::path(m_target), m_held.size(), error);
    return !error;
}

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    ReplacingFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace texelary
