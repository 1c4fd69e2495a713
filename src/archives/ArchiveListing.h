#pragma once

// Archives taken as folders: which paths are an archive or run into one, an archive's directory
// whatever its kind, and the entries or textures under a folder of it. The kinds of archive are
// the rows of one table (ArchiveListing.cpp): the extension that marks the file, the reader of its
// directory (which refuses another kind's signature, so that the next row is tried), how an entry
// is read and how names are looked up. Each thread keeps the directory of the last archive it
// listed or read from, while the file's size and time of change stay the same, so that a batch
// reads the directory once and every entry's bytes once; the file itself is opened for each read
// and closed, so that it can be replaced meanwhile.

#include "archives/Archive.h"
#include "archives/MapArchive.h"
#include "archives/WadArchive.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

enum class SourceFormat : std::int32_t;

// A path that goes into an archive: the archive file's own path and the entry's name in it ('/'
// between its parts, as archive names are written).
struct PathInArchive {
    std::string archive;
    std::string entry;
};

// Whether `path` names an archive file: a file (not a folder) whose name ends in an archive's
// extension (.pak, .wad or .bsp), in any case.
bool IsArchiveFile(const std::string& path);

// Whether `path` runs through an archive file (a part ending in an archive's extension, in any
// case, that is a file and not a folder); none for every other path.
std::optional<PathInArchive> SplitArchivePath(const std::string& path);

// `path` as a folder of an archive: the archive itself (an empty folder), or the archive it runs
// through and the rest, without a closing '/'; none for every other path.
std::optional<PathInArchive> ArchiveFolderOf(const std::string& path);

// One entry of an archive's directory, whatever the archive's kind.
struct StoredEntry {
    std::string name;
    std::uint32_t offset = 0;
    std::uint32_t length = 0; // the bytes it takes in the file
    std::uint8_t type = 0;    // a wad lump's type; a pak's entries have none
    std::uint32_t size = 0;   // as the directory states it: a wad lump's size uncompressed
    bool coded = false;       // a pak entry stored run-length coded, `size` bytes once decoded
    bool outside = false;     // a map's texture without pixels (MapTexture): no mip texture

    bool operator==(const StoredEntry&) const = default;
};

struct ArchiveDirectory {
    // The kind of wad whose mip textures the entries of its type (MipTextureType) are; none for
    // an archive that holds none (a pak).
    std::optional<WadKind> mipTextures;
    std::vector<StoredEntry> entries; // in the directory's order
    std::optional<MapVersion> map;    // the version of a compiled map; none for a pak or wad
    std::size_t missingTextures = 0;  // a map's texture offsets of -1, which name nothing

    bool IsMipTexture(const StoredEntry& entry) const {
        return mipTextures && entry.type == MipTextureType(*mipTextures) && !entry.outside;
    }
};

// One kind of archive.
struct ArchiveKindRow {
    const char* extension; // ".pak": a file of this name, in any case, is taken for an archive
    // The directory of `file`; none with NotAnArchive when the file is of another kind, or with
    // the reason it cannot be read.
    std::optional<ArchiveDirectory> (*readDirectory)(ArchiveFile& file, ReadError* error);
    // The bytes of one entry of the directory read from `file`.
    std::optional<std::vector<std::uint8_t>> (*readEntry)(ArchiveFile& file,
                                                          const StoredEntry& entry,
                                                          ReadError* error);
    bool folders;       // whether '/' in names makes folders that the path chooser shows
    bool anyCase;       // whether names are looked up in any case, as engines look up lumps
    bool holdsTextures; // whether it may hold a wad's mip textures (ArchiveDirectory)
};

// An archive's directory as a thread last read it, with its entries by name.
class OpenedArchive {
public:
    // Reads the directory of the archive at `path`, each row tried in turn.
    explicit OpenedArchive(const std::string& path);

    // None when the directory was read, else why not.
    ReadError Error() const { return m_error; }
    // The row the file was read as, or whose signature it bears though its directory was refused;
    // null when no row knows the file, or it could not be opened or is too short.
    const ArchiveKindRow* Kind() const { return m_kind; }
    const ArchiveDirectory& Directory() const { return m_directory; }

    // The entry called `name`: the first of that name, in any case for a kind so looked up; a
    // mip texture goes before any other entry of its name. Null when there is none.
    const StoredEntry* Find(const std::string& name) const;

    // The bytes of `entry`, from the file opened anew; none with the reason.
    std::optional<std::vector<std::uint8_t>> Read(const StoredEntry& entry, ReadError* error) const;

private:
    std::string m_path;
    ReadError m_error = ReadError::None;
    const ArchiveKindRow* m_kind = nullptr;
    ArchiveDirectory m_directory;
    std::map<std::string, std::size_t, std::less<>> m_byName; // index into the entries
};

// The archive at `path` as this thread last read it, read anew when the file's size or time of
// change differ, so that an edited archive is never read through an old directory. Valid until
// the next call on this thread.
const OpenedArchive& ArchiveAt(const std::string& path);

// How far below a folder a listing goes.
enum class ListingDepth : std::uint8_t {
    Folder,    // the entries directly in it
    Recursive, // the entries at any depth below it, and an entry named as the folder itself
};

// The names of the entries under `folder` of the archive at `archive` ("" for its top, '/' or
// '\\' between parts), whole and in the directory's order. With `format`, only its textures:
// entries with its extension, or for a wad's formats the mip textures of a wad of that kind; an
// entry named as the folder is taken whatever its format. None, with the reason, when the
// archive cannot be read.
std::optional<std::vector<std::string>> ListArchiveEntries(const std::string& archive,
                                                           std::string folder,
                                                           std::optional<SourceFormat> format,
                                                           ListingDepth depth,
                                                           ReadError* error = nullptr);

// The folders that the entries' names of the archive at `archive` run through ("textures",
// "textures/e1"), each once, in the order first met; none in a kind without folders (a wad).
// None, with the reason, when the archive cannot be read.
std::optional<std::vector<std::string>> ListArchiveFolders(const std::string& archive,
                                                           ReadError* error = nullptr);

} // namespace texelary
