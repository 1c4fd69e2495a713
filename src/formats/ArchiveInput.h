#pragma once

// Inputs inside a pak: a path that runs through a pak file names the entry of that name in it
// ("base.pak/textures/e1u1/floor1_3.wal"), so that the run, --info and --recursive take a pak
// where they take a folder. Each thread keeps the last pak it read from open, with its
// directory, so that a batch reads every entry's bytes and nothing else again.

#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// A path that goes into a pak: the pak file's own path and the entry's name in it ('/' between
// its parts, as pak names are written).
struct PathInArchive {
    std::string archive;
    std::string entry;
};

// Whether `path` names a pak file: a file (not a folder) whose name ends in .pak, in any case.
bool IsPakFile(const std::string& path);

// Whether `path` runs through a pak file (a part ending in .pak, in any case, that is a file and
// not a folder); none for every other path.
std::optional<PathInArchive> SplitArchivePath(const std::string& path);

// The bytes of the file at `path`, or of the pak entry it names; none with the reason otherwise
// (ReadInputFile's, NoSuchFile for an entry the pak does not have, BadArchive for a pak that
// cannot be read).
std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error);

// The names of the entries of the pak at `path`, in its directory's order; none with the reason
// the pak cannot be read in `reason`.
std::optional<std::vector<std::string>> PakEntryNames(const std::string& path,
                                                      std::string& reason);

} // namespace texelary
