#pragma once

// Inputs inside archives: a path that runs through a pak or a wad file names the entry of that
// name in it ("base.pak/textures/e1u1/floor1_3.wal", "gfx.wad/brick1"), so that the run, --info
// and --recursive take an archive where they take a folder. A pak's entries are named exactly; a
// wad's lumps in any case, as the engines look them up. Each thread keeps the directory of the last
// archive it read from, so that a batch reads every entry's bytes and nothing else again; the
// file is opened for each entry and closed, so that it can be replaced meanwhile.

#include "formats/ReadError.h"
#include "formats/WadArchive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// A path that goes into an archive: the archive file's own path and the entry's name in it ('/'
// between its parts, as archive names are written).
struct PathInArchive {
    std::string archive;
    std::string entry;
};

// Whether `path` names an archive file: a file (not a folder) whose name ends in .pak or .wad,
// in any case.
bool IsArchiveFile(const std::string& path);

// Whether `path` runs through an archive file (a part ending in .pak or .wad, in any case, that
// is a file and not a folder); none for every other path.
std::optional<PathInArchive> SplitArchivePath(const std::string& path);

// The bytes of the file at `path`, or of the archive entry it names; none with the reason
// otherwise (ReadInputFile's, NoSuchFile for an entry the archive does not have, BadArchive for
// an archive that cannot be read). With `mipTexturesOf`, the path must name a mip texture lump of
// a wad of that kind: NotInWad, WrongWadKind or NotMipTexture say what it names instead.
std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error,
                                                   std::optional<WadKind> mipTexturesOf = {});

// The names of the entries of the archive at `path`, in its directory's order: every entry of a
// pak, every lump of a wad, or with `mipTexturesOf` only the mip texture lumps of a wad of that
// kind (none of a pak or a wad of the other kind). None, with the reason in `reason`, when the
// archive cannot be read.
std::optional<std::vector<std::string>>
ArchiveEntryNames(const std::string& path, std::string& reason,
                  std::optional<WadKind> mipTexturesOf = {});

// A lump name as a file name and back: '*' (the engines' mark of a liquid, which Windows does not
// allow in file names) is written '#' at the start of a file's name, as the engines' own tools
// write it.
std::string FileNameOfLump(const std::string& lump);
std::string LumpNameOfFile(const std::string& name);

} // namespace texelary
