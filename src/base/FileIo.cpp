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

std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::string& path, std::size_t maxBytes) {
    std::error_code error;
    const std::filesystem::path fsPath(path);
    // Refuse directories and other non-regular files up front: some platforms open them.
    if (!std::filesystem::is_regular_file(fsPath, error)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> result;
    try {
        const auto size = std::filesystem::file_size(fsPath, error);
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

std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return path + ".tmp" + std::to_string(tick % 1000000007ULL) + "-" +
           std::to_string(counter.fetch_add(1));
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    return ReadUpTo(path, static_cast<std::size_t>(-1));
}

std::optional<std::vector<std::uint8_t>> ReadFilePrefix(const std::string& path,
                                                        std::size_t maxBytes) {
    return ReadUpTo(path, maxBytes);
}

ReplacingFile::ReplacingFile(std::string path)
    : m_path(std::move(path)) {
    // An existing directory of that name can never be replaced by a file.
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::path(m_path), error)) {
        return;
    }
    for (int attempt = 0; attempt < 8 && m_file == nullptr; ++attempt) {
        m_temporary = TemporaryNameFor(m_path);
        // "x": fail rather than reuse a file that happens to exist under that name.
        m_file = std::fopen(m_temporary.c_str(), "wbx");
        if (m_file == nullptr && errno != EEXIST) {
            break;
        }
    }
}

ReplacingFile::~ReplacingFile() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(m_temporary), ignored);
    }
}

bool ReplacingFile::Write(std::span<const std::uint8_t> bytes) {
    if (!Ok()) {
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
    }
    return !m_failed;
}

bool ReplacingFile::Commit() {
    if (!Ok()) {
        return false;
    }
    const bool flushed = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) {
        m_failed = true;
        return false;
    }
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(m_temporary), std::filesystem::path(m_path),
                            error);
    if (error) {
        m_failed = true;
        return false;
    }
    m_committed = true;
    return true;
}

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    ReplacingFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace texelary
