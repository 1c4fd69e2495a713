#include "formats/ArchiveInput.h"

#include "base/NativePath.h"
#include "base/Utf8.h"
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

// Whether the first `end` characters of `path` end in ".pak" or ".wad", in any case.
bool EndsInArchiveName(const std::string& path, std::size_t end) {
    if (end < 4) {
        return false;
    }
    const std::string extension = AsciiLower(path.substr(end - 4, 4));
    return extension == ".pak" || extension == ".wad";
}

// One entry of an archive, wherever it lies: a pak's entries have no type.
struct StoredEntry {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint8_t type = 0;
};

// An archive's directory by name, as a thread last read it. Made anew when the file at that path
// changes (its size or time of change), so that an edited archive is never read through an old
// directory. The file itself is opened for each entry and closed again, as a folder's files are:
// an archive held open could not be replaced on Windows, by this run's own output or anyone's.
struct ArchiveKey {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool operator==(const ArchiveKey&) const = default;
};

struct OpenArchive {
    explicit OpenArchive(const ArchiveKey& key) {
        ArchiveFile file(key.path);
        if (const auto directory = ReadPakDirectory(file, &error)) {
            for (const PakEntry& entry : *directory) {
                // The first of a name, as engines take it.
                entries.emplace(entry.name, StoredEntry{entry.offset, entry.length, 0});
            }
            return;
        }
        if (error != ArchiveError::BadSignature) {
            return;
        }
        if (const auto directory = ReadWadDirectory(file, &error)) {
            wad = directory->kind;
            const std::uint8_t mipType = MipTextureType(directory->kind);
            for (const WadLump& lump : directory->lumps) {
                const StoredEntry stored{lump.offset, lump.sizeOnDisk, lump.type};
                auto [place, added] = entries.emplace(AsciiLower(lump.name), stored);
                // A texture goes before any other lump of its name.
                if (!added && place->second.type != mipType && lump.type == mipType) {
                    place->second = stored;
                }
            }
        }
    }
    // The entry called `name`: exactly in a pak, in any case in a wad.
    const StoredEntry* Find(const std::string& name) const {
        const auto found = entries.find(wad ? AsciiLower(name) : name);
        return found == entries.end() ? nullptr : &found->second;
    }
    ArchiveError error = ArchiveError::None;
    std::optional<WadKind> wad; // none for a pak
    std::map<std::string, StoredEntry, std::less<>> entries;
};

LastPerThread<ArchiveKey, OpenArchive> lastArchive;

ReadError ReadErrorOf(ArchiveError error) {
    return error == ArchiveError::OutOfMemory ? ReadError::OutOfMemory : ReadError::BadArchive;
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

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error,
                                                   std::optional<WadKind> mipTexturesOf) {
    const auto inArchive = SplitArchivePath(path);
    if (!inArchive) {
        if (mipTexturesOf) {
            SetReadError(error, ReadError::NotInWad);
            return std::nullopt;
        }
        return ReadInputFile(path, error);
    }
    namespace fs = std::filesystem;
    const fs::path native = NativePath(inArchive->archive);
    std::error_code failed;
    const ArchiveKey key{inArchive->archive, fs::file_size(native, failed),
                         fs::last_write_time(native, failed)};
    const OpenArchive& archive = lastArchive.For(key);
    if (archive.error != ArchiveError::None) {
        SetReadError(error, ReadErrorOf(archive.error));
        return std::nullopt;
    }
    if (mipTexturesOf && archive.wad != mipTexturesOf) {
        SetReadError(error, archive.wad ? ReadError::WrongWadKind : ReadError::NotInWad);
        return std::nullopt;
    }
    const StoredEntry* entry = archive.Find(inArchive->entry);
    if (entry == nullptr) {
        SetReadError(error, ReadError::NoSuchFile);
        return std::nullopt;
    }
    if (mipTexturesOf && entry->type != MipTextureType(*mipTexturesOf)) {
        SetReadError(error, ReadError::NotMipTexture);
        return std::nullopt;
    }
    ArchiveFile file(inArchive->archive);
    ArchiveError reason = file.Error();
    auto bytes = file.Ok() ? file.Read(entry->offset, entry->length, &reason) : std::nullopt;
    if (!bytes) {
        SetReadError(error, ReadErrorOf(reason));
        return std::nullopt;
    }
    SetReadError(error, ReadError::None);
    return bytes;
}

std::optional<std::vector<std::string>> ArchiveEntryNames(const std::string& path,
                                                          std::string& reason,
                                                          std::optional<WadKind> mipTexturesOf) {
    ArchiveFile file(path);
    ArchiveError error = file.Error();
    std::vector<std::string> names;
    if (const auto pak = file.Ok() ? ReadPakDirectory(file, &error) : std::nullopt) {
        if (!mipTexturesOf) {
            for (const PakEntry& entry : *pak) {
                names.push_back(entry.name);
            }
        }
        return names;
    }
    const auto wad =
        error == ArchiveError::BadSignature ? ReadWadDirectory(file, &error) : std::nullopt;
    if (!wad) {
        reason = DescribeArchiveError(error);
        return std::nullopt;
    }
    for (const WadLump& lump : wad->lumps) {
        if (!mipTexturesOf ||
            (wad->kind == *mipTexturesOf && lump.type == MipTextureType(wad->kind))) {
            names.push_back(lump.name);
        }
    }
    return names;
}

std::string FileNameOfLump(const std::string& lump) {
    std::string name = lump;
    if (!name.empty() && name.front() == '*') {
        name.front() = '#';
    }
    return name;
}

std::string LumpNameOfFile(const std::string& name) {
    std::string lump = name;
    if (!lump.empty() && lump.front() == '#') {
        lump.front() = '*';
    }
    return lump;
}

} // namespace texelary
