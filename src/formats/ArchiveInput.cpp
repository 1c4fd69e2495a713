#include "formats/ArchiveInput.h"

#include "base/NativePath.h"
#include "colour/LastPerThread.h"
#include "formats/Archive.h"
#include "formats/PakArchive.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

namespace texelary {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

bool EndsInPak(const std::string& path, std::size_t end) {
    static constexpr char kPak[] = ".pak";
    if (end < 4) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(path[end - 4 + i]);
        if (std::tolower(c) != kPak[i]) {
            return false;
        }
    }
    return true;
}

// A pak as a thread last read it: open, with its directory by name. Made anew when the file at
// that path changes (its size or time of change), so that an edited pak is never read through an
// old directory.
struct PakKey {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool operator==(const PakKey&) const = default;
};

struct OpenPak {
    explicit OpenPak(const PakKey& key) : file(key.path) {
        if (const auto directory = ReadPakDirectory(file, &error)) {
            for (const PakEntry& entry : *directory) {
                entries.emplace(entry.name, entry); // the first of a name, as engines take it
            }
        }
    }
    ArchiveFile file;
    ArchiveError error = ArchiveError::None;
    std::map<std::string, PakEntry, std::less<>> entries;
};

LastPerThread<PakKey, OpenPak> lastPak;

} // namespace

bool IsPakFile(const std::string& path) {
    std::error_code error;
    return EndsInPak(path, path.size()) &&
           std::filesystem::is_regular_file(NativePath(path), error);
}

std::optional<PathInArchive> SplitArchivePath(const std::string& path) {
    for (std::size_t end = 0; end < path.size(); ++end) {
        if (!IsSeparator(path[end]) || !EndsInPak(path, end)) {
            continue;
        }
        std::string archive = path.substr(0, end);
        if (!IsPakFile(archive)) {
            continue;
        }
        std::string entry = path.substr(end + 1);
        std::replace(entry.begin(), entry.end(), '\\', '/');
        return PathInArchive{std::move(archive), std::move(entry)};
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error) {
    const auto inArchive = SplitArchivePath(path);
    if (!inArchive) {
        return ReadInputFile(path, error);
    }
    namespace fs = std::filesystem;
    const fs::path native = NativePath(inArchive->archive);
    std::error_code failed;
    PakKey key{inArchive->archive, fs::file_size(native, failed), fs::last_write_time(native, failed)};
    OpenPak& pak = lastPak.For(key);
    if (pak.error != ArchiveError::None) {
        SetReadError(error, ReadError::BadArchive);
        return std::nullopt;
    }
    const auto entry = pak.entries.find(inArchive->entry);
    if (entry == pak.entries.end()) {
        SetReadError(error, ReadError::NoSuchFile);
        return std::nullopt;
    }
    ArchiveError reason = ArchiveError::None;
    auto bytes = ReadPakEntry(pak.file, entry->second, &reason);
    if (!bytes) {
        SetReadError(error,
                     reason == ArchiveError::OutOfMemory ? ReadError::OutOfMemory : ReadError::BadArchive);
        return std::nullopt;
    }
    SetReadError(error, ReadError::None);
    return bytes;
}

std::optional<std::vector<std::string>> PakEntryNames(const std::string& path,
                                                      std::string& reason) {
    ArchiveFile file(path);
    ArchiveError error = file.Error();
    const auto directory = file.Ok() ? ReadPakDirectory(file, &error) : std::nullopt;
    if (!directory) {
        reason = DescribeArchiveError(error);
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const PakEntry& entry : *directory) {
        names.push_back(entry.name);
    }
    return names;
}

} // namespace texelary
