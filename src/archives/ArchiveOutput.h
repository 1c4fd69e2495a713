#pragma once

// A run whose outputs go into one new archive rather than files of their own: a wad for the wad
// formats, a pak for an output path that ends in .pak; or into an existing compiled map, whose
// textures of the same names they replace. The archive is written as the entries come, to a
// temporary file beside it, and put in place only when the run has converted them all.

#include "archives/Archive.h"
#include "archives/MapWriter.h"
#include "base/FileIo.h"
#include "formats/Formats.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>

namespace texelary {

struct ArchiveTarget {
    std::string path;
    std::optional<WadKind> wad;  // none for a pak
    bool longPakEntries = false; // a pak with the 72-byte directory entries of the later game
    bool map = false;            // an existing compiled map (.bsp) whose textures are replaced
    std::string folder;          // a pak's folder that every entry goes into ("textures/mod")
};

// The archive a run with this output path and target format writes: the path itself for a wad
// format (a map when it ends in .bsp, in any case); for any other, the path when it ends in .pak
// (in any case) and is not a folder, or the pak such a path runs through and the folder after it
// ("mod.pak/textures/mod"). None when the outputs are files.
std::optional<ArchiveTarget> ArchiveTargetOf(const std::string& outputDir, TargetFormat to);

// The name of a run's entry in the archive: for a pak, its output's path under the output folder
// with '/' between folders, in the target's folder; for a wad, the input's file name cut at its
// first dot ('#' at its start written '*'), cut to 15 bytes. `cut` tells whether the wad's name had
// to be cut.
std::string ArchiveEntryName(const ArchiveTarget& target, const std::string& outputName, bool& cut);

class ArchiveOutput {
public:
    explicit ArchiveOutput(const ArchiveTarget& target);

    // Why the archive cannot be written at all (a folder of its name, no folder to hold it, a file
    // that may not be replaced); empty when it can.
    std::string Problem() const;

    // Why the entry read from `input` may not go into the archive as `name`; empty when it may.
    std::string Refusal(const std::string& input, const std::string& name) const;

    // Appends the entry, or writes it over the map's texture of its name; false with the reason
    // when the archive could not take it.
    bool Add(const std::string& name, std::span<const std::uint8_t> bytes, std::string& why);

    // Writes the directory and puts the archive in place of any file at its path; false, with
    // the reason, when that failed and the old file (if any) is left as it was.
    bool Commit(std::string& why);

    std::size_t Count() const { return m_map ? m_map->Count() : m_writer->Count(); }
    const ArchiveTarget& Target() const { return m_target; }

private:
    std::string WhyNot(WriteError error, const std::string& name) const;

    ArchiveTarget m_target;
    ReplacingFile m_file;
    std::unique_ptr<ArchiveWriter> m_writer; // null for a map
    std::unique_ptr<MapWriter> m_map;        // null for a new archive
    std::set<std::string> m_names;           // in lower case: no two may differ only in case
};

} // namespace texelary
