#include "archives/ArchiveListing.h"

#include "archives/PakArchive.h"
#include "base/LastPerThread.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "formats/Formats.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <span>

namespace texelary {

namespace {

std::optional<ArchiveDirectory> ReadPakListing(ArchiveFile& file, ReadError* error) {
    auto pak = ReadPakDirectory(file, error);
    if (!pak) {
        return std::nullopt;
    }
    ArchiveDirectory directory;
    directory.entries.reserve(pak->size());
    for (PakEntry& entry : *pak) {
        directory.entries.push_back({std::move(entry.name), entry.offset, entry.length, 0,
                                     entry.decoded.value_or(entry.length),
                                     entry.decoded.has_value()});
    }
    return directory;
}

std::optional<ArchiveDirectory> ReadWadListing(ArchiveFile& file, ReadError* error) {
    auto wad = ReadWadDirectory(file, error);
    if (!wad) {
        return std::nullopt;
    }
    ArchiveDirectory directory{wad->kind, {}, std::nullopt, 0};
    directory.entries.reserve(wad->lumps.size());
    for (WadLump& lump : wad->lumps) {
        directory.entries.push_back(
            {std::move(lump.name), lump.offset, lump.sizeOnDisk, lump.type, lump.size});
    }
    return directory;
}

// A map's textures, as a wad's mip textures of the kind its version's palette makes them.
std::optional<ArchiveDirectory> ReadMapListing(ArchiveFile& file, ReadError* error) {
    auto map = ReadMapTextures(file, error);
    if (!map) {
        return std::nullopt;
    }
    const WadKind kind = *MapTextureKind(map->version);
    ArchiveDirectory directory{kind, {}, map->version, map->missing};
    directory.entries.reserve(map->textures.size());
    for (MapTexture& texture : map->textures) {
        directory.entries.push_back({std::move(texture.name), texture.offset, texture.length,
                                     MipTextureType(kind), texture.length, false, texture.outside});
    }
    return directory;
}

std::optional<std::vector<std::uint8_t>>
ReadStoredEntry(ArchiveFile& file, const StoredEntry& entry, ReadError* error) {
    return file.Read(entry.offset, entry.length, error);
}

std::optional<std::vector<std::uint8_t>>
ReadPakStoredEntry(ArchiveFile& file, const StoredEntry& entry, ReadError* error) {
    PakEntry pak{entry.name, entry.offset, entry.length};
    if (entry.coded) {
        pak.decoded = entry.size;
    }
    return ReadPakEntry(file, pak, error);
}

// Tried in this order: a file of either name is read as whichever kind its signature says.
constexpr ArchiveKindRow kArchiveKinds[] = {
    {".pak", ReadPakListing, ReadPakStoredEntry, true, false, false},
    {".wad", ReadWadListing, ReadStoredEntry, false, true, true},
    {".bsp", ReadMapListing, ReadStoredEntry, false, true, true},
};

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Whether the first `end` characters of `path` end in an archive's extension, in any case.
bool EndsInArchiveName(const std::string& path, std::size_t end) {
    return std::any_of(
        std::begin(kArchiveKinds), std::end(kArchiveKinds), [&](const ArchiveKindRow& kind) {
            const std::string_view extension = kind.extension;
            return end >= extension.size() &&
                   AsciiLower(path.substr(end - extension.size(), extension.size())) == extension;
        });
}

// Errors that come before any signature is read: the file's, not the kind's.
bool BeforeSignature(ReadError error) {
    return error == ReadError::NoSuchFile || error == ReadError::NotAFile ||
           error == ReadError::ArchiveCannotOpen || error == ReadError::ArchiveTruncated;
}

// The thread's last archive, made anew when the file at that path changes (its size or time of
// change). An archive held open could not be replaced on Windows, by this run's own output or
// anyone's: the cache holds its directory only.
struct ArchiveKey {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool operator==(const ArchiveKey&) const = default;
};

struct CachedArchive {
    explicit CachedArchive(const ArchiveKey& key)
        : archive(key.path) {}
    OpenedArchive archive;
};

LastPerThread<ArchiveKey, CachedArchive> lastArchive;

// Whether `name` lies under `folder` (which has no closing '/'), as `depth` says.
bool LiesUnder(std::string_view name, std::string_view folder, ListingDepth depth) {
    if (!folder.empty()) {
        if (name.size() <= folder.size() || !name.starts_with(folder) ||
            name[folder.size()] != '/') {
            return depth == ListingDepth::Recursive && name == folder;
        }
        name.remove_prefix(folder.size() + 1);
    }
    return depth == ListingDepth::Recursive || name.find('/') == std::string_view::npos;
}

// Whether `entry` is a texture of `format` (or any entry, without one).
bool IsOfFormat(const ArchiveDirectory& directory, const StoredEntry& entry,
                std::optional<SourceFormat> format) {
    if (!format) {
        return true;
    }
    if (const std::optional<WadKind> wad = RowOf(*format).wad) {
        return directory.mipTextures == wad && directory.IsMipTexture(entry);
    }
    return SourceFormatOfPath(entry.name) == format;
}

} // namespace

bool IsArchiveFile(const std::string& path) {
    std::error_code error;
    return EndsInArchiveName(path, path.size()) &&
           std::filesystem::is_regular_file(NativePath(path), error);
}

std::optional<PathInArchive> SplitArchivePath(const std::string& path) {
    for (std::size_t end = 0; end < path.size(); ++end) {
        if (!IsSeparator(path[end]) || !EndsInArchiveName(path, end)) {
            continue;
        }
        std::string archive = path.substr(0, end);
        if (!IsArchiveFile(archive)) {
            continue;
        }
        std::string entry = path.substr(end + 1);
        std::replace(entry.begin(), entry.end(), '\\', '/');
        return PathInArchive{std::move(archive), std::move(entry)};
    }
    return std::nullopt;
}

std::optional<PathInArchive> ArchiveFolderOf(const std::string& path) {
    std::optional<PathInArchive> place = SplitArchivePath(path);
    if (!place && IsArchiveFile(path)) {
        place = PathInArchive{path, {}};
    }
    while (place && !place->entry.empty() && place->entry.back() == '/') {
        place->entry.pop_back();
    }
    return place;
}

OpenedArchive::OpenedArchive(const std::string& path)
    : m_path(path) {
    ArchiveFile file(path);
    for (const ArchiveKindRow& kind : kArchiveKinds) {
        auto directory = kind.readDirectory(file, &m_error);
        if (!directory && m_error == ReadError::NotAnArchive) {
            continue;
        }
        m_kind = directory || !BeforeSignature(m_error) ? &kind : nullptr;
        if (directory) {
            m_directory = std::move(*directory);
        }
        break;
    }
    if (m_kind == nullptr || m_error != ReadError::None) {
        return;
    }
    for (std::size_t i = 0; i < m_directory.entries.size(); ++i) {
        const StoredEntry& entry = m_directory.entries[i];
        auto [place, added] =
            m_byName.emplace(m_kind->anyCase ? AsciiLower(entry.name) : entry.name, i);
        // A texture goes before any other entry of its name.
        if (!added && !m_directory.IsMipTexture(m_directory.entries[place->second]) &&
            m_directory.IsMipTexture(entry)) {
            place->second = i;
        }
    }
}

const StoredEntry* OpenedArchive::Find(const std::string& name) const {
    if (m_kind == nullptr) {
        return nullptr;
    }
    const auto found = m_byName.find(m_kind->anyCase ? AsciiLower(name) : name);
    return found == m_byName.end() ? nullptr : &m_directory.entries[found->second];
}

std::optional<std::vector<std::uint8_t>> OpenedArchive::Read(const StoredEntry& entry,
                                                             ReadError* error) const {
    ArchiveFile file(m_path);
    if (!file.Ok() || m_kind == nullptr) {
        SetReason(error, file.Ok() ? m_error : file.Error());
        return std::nullopt;
    }
    return m_kind->readEntry(file, entry, error);
}

const OpenedArchive& ArchiveAt(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path native = NativePath(path);
    std::error_code failed;
    const ArchiveKey key{path, fs::file_size(native, failed), fs::last_write_time(native, failed)};
    return lastArchive.For(key).archive;
}

std::optional<std::vector<std::string>> ListArchiveEntries(const std::string& archive,
                                                           std::string folder,
                                                           std::optional<SourceFormat> format,
                                                           ListingDepth depth, ReadError* error) {
    const OpenedArchive& opened = ArchiveAt(archive);
    if (!SetReason(error, opened.Error())) {
        return std::nullopt;
    }
    std::replace(folder.begin(), folder.end(), '\\', '/');
    while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
    }
    const ArchiveDirectory& directory = opened.Directory();
    std::vector<std::string> names;
    for (const StoredEntry& entry : directory.entries) {
        if (LiesUnder(entry.name, folder, depth) &&
            (entry.name == folder || IsOfFormat(directory, entry, format))) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::optional<std::vector<std::string>> ListArchiveFolders(const std::string& archive,
                                                           ReadError* error) {
    const OpenedArchive& opened = ArchiveAt(archive);
    if (!SetReason(error, opened.Error())) {
        return std::nullopt;
    }
    std::vector<std::string> folders;
    if (!opened.Kind()->folders) {
        return folders;
    }
    std::set<std::string, std::less<>> seen;
    for (const StoredEntry& entry : opened.Directory().entries) {
        for (auto slash = entry.name.find('/'); slash != std::string::npos;
             slash = entry.name.find('/', slash + 1)) {
            std::string folder = entry.name.substr(0, slash);
            if (seen.insert(folder).second) {
                folders.push_back(std::move(folder));
            }
        }
    }
    return folders;
}

} // namespace texelary
