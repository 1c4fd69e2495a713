#pragma once

// Inputs inside archives: a path that runs through a pak or a wad file names the entry of that
// name in it ("base.pak/textures/e1u1/floor1_3.wal", "gfx.wad/brick1"), so that the run, --info
// and --recursive take an archive where they take a folder. A pak's entries are named exactly; a
// wad's lumps in any case, as the engines look them up. Which paths are archives, and the
// directory each thread keeps of the last one, are ArchiveListing's.

#include "archives/ArchiveListing.h"
#include "archives/WadArchive.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// The bytes of the file at `path`, or of the archive entry it names; none with the reason
// otherwise (ReadInputFile's, NoSuchFile for an entry the archive does not have, BadArchive for
// an archive that cannot be read, whose own reason then goes to `detail` when it is given). With
// `mipTexturesOf`, the path must name a mip texture lump of a wad of that kind: NotInWad,
// WrongWadKind or NotMipTexture say what it names instead.
std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error,
                                                   std::optional<WadKind> mipTexturesOf = {},
                                                   std::string* detail = nullptr);

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
