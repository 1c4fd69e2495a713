#pragma once

// One entry of a conversion run, converted apart from the user: read, brought down to the
// target's colours, and written to temporary files beside its outputs, so that it may run on any
// thread. What the user is told, and the putting in place of the files, is left to the run.

#include "base/FileIo.h"
#include "formats/Formats.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/WriteOptions.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// One entry of the list, as handed to whichever thread converts it. With every level asked for
// as files of their own, `outputPath` is level 0's, name.0.ext, and level k goes to
// `levelPaths` + k + "." + ext.
struct EntryTask {
    std::string inputPath;
    std::string outputPath;
    std::string levelPaths;    // "out/name."; empty when the levels are not files of their own
    bool keepsPicture = false; // the list's last entry: its picture stays for the run's owner
    // Into a wad: the texture's name, which its lump stores; whether it had to be cut to fit; and
    // whether it is see-through (a WAD3 name beginning with '{'), so that pixels less than half
    // opaque take index 255.
    std::string textureName;
    bool nameCut = false;
    bool seeThrough = false;
};

// One file the entry writes, to a temporary file until it is put in place; or, for a run into an
// archive, the bytes of one entry of it. Neither when it could not be made, with the reason when
// one is known.
struct EntryOutput {
    std::string path;
    std::unique_ptr<ReplacingFile> file;
    std::optional<std::vector<std::uint8_t>> bytes;
    std::string why;
};

// How far an entry got: each stage names the first thing that failed, or Written.
enum class EntryStage : std::uint8_t { NotFound, BadPalette, NotWritten, Written };

// What converting one entry leaves for the run's own thread: what to tell the user, the picture,
// and the output, written to a temporary file but not yet put in place.
struct EntryResult {
    EntryTask task;
    EntryStage stage = EntryStage::NotFound;
    ReadError reason = ReadError::None;
    std::string reasonDetail; // the reason in more words, when the reader gave them
    std::unique_ptr<IndexedImage> image;
    std::optional<HeaderFields> fields; // the source's header fields, when they are kept
    std::vector<EntryOutput> outputs;   // every file written, in order; one but for level files
};

// How every entry of a run is converted, as the user chose it.
struct EntryOptions {
    // Copy the name, animation name, flags, contents and value of .m8 and .wal sources into their
    // outputs (other sources have none).
    bool keepHeader = false;
    // Every mip level of a mip texture source (level 0 alone for other sources), for targets that
    // write one file per level: name.0.png, name.1.png, ...
    bool allLevels = false;
    // Header fields beside pictures: a PNG made from a source with fields gets its .wal_json
    // file, and a picture source's .wal_json gives the fields that keepHeader would copy.
    bool sidecar = false;
    // How the smaller mip levels are made, and the colours: how pictures of more than 256 colours
    // are brought down to a palette (error diffusion or nearest colours), the index that pixels
    // less than half opaque take, if any, whether a WAD2 picture may take the palette's
    // full-bright colours, and the user's palette, if any. A palette picture converts with its
    // own indices and colours unless it has such pixels and a transparent index is asked for; it
    // is then brought down like a true-colour one. The fields and the name are each entry's own.
    WriteOptions write;
};

// What every entry of a run is converted with.
struct EntryRecipe {
    const SourceFormatRow* from = nullptr;
    const TargetFormatRow* to = nullptr;
    EntryOptions options;
    bool levelFiles = false;  // every level of the source to a file of its own
    bool intoArchive = false; // the outputs are entries of one archive, kept as bytes
};

// Everything one entry needs that tells the user nothing: read, convert, and write the output to
// a temporary file beside its target. The picture goes as soon as its file is written (but for
// the list's last entry's), so that the files converted ahead wait without one: only the entries
// being converted hold pictures. Running out of memory fails the entry; it is not thrown.
EntryResult ConvertEntry(const EntryRecipe& recipe, const EntryTask& task);

} // namespace texelary
