#pragma once

// The settings that shape a project's output, kept in a file of their own beside the project file:
// `mine.mm` has them in `mine.mm.json`, so that the project file keeps its layout. A JSON object,
// keys named as the texture sidecar names its own, every key optional:
//   {"palette": "pal/kingpin.pal", "keep_header": true, "mips": "box",
//    "transparent_index": true, "dither": false, "fullbright": false}
// A palette under the project's folder is stored relative to it, so that the folder can move.
// Keys this program does not know, and values of the wrong kind, are passed over: the setting
// keeps its default, as it does for a project without the file.

#include "base/WriteError.h"
#include "formats/WriteOptions.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// The index that pixels less than half opaque take when the transparent index is asked for.
constexpr std::uint8_t kTransparentIndex = 255;

struct ProjectSettings {
    bool keepHeader = false; // copy names, flags, contents and value of .m8 and .wal sources
    MipFilter mips = MipFilter::Point;
    // How true colour is brought down to 256 colours: error diffusion, and whether pixels less
    // than half opaque take kTransparentIndex.
    bool dither = false;
    bool transparentIndex = false;
    // Whether WAD2 textures may take the palette's full-bright colours, which the engines draw
    // unlit.
    bool fullbright = false;
    // The palette file whose colours .wal and WAD2 textures index instead of the game's, and that
    // true colour takes for the other targets instead of a palette of its own; empty for the
    // built-in palettes. UTF-8, as the user chose it.
    std::string paletteFile;

    bool operator==(const ProjectSettings&) const = default;
};

// Where the settings of the project file at `projectPath` are kept.
std::string ProjectSettingsPath(const std::string& projectPath);

// The file's bytes, the palette relative to the folder of `projectPath` when it lies under it.
std::vector<std::uint8_t> EncodeProjectSettings(const ProjectSettings& settings,
                                                const std::string& projectPath);
// The settings in `bytes`; a relative palette is taken from the folder of `projectPath`. Bytes
// that are no JSON object give the defaults.
ProjectSettings ParseProjectSettings(std::span<const std::uint8_t> bytes,
                                     const std::string& projectPath);

// The settings kept beside the project file at `projectPath`; the defaults when there are none or
// they cannot be read.
ProjectSettings LoadProjectSettings(const std::string& projectPath);
// Writes them beside it, all or nothing; false, with the reason in `error` when given, and any
// earlier file left as it was, when the file cannot be written.
bool SaveProjectSettings(const ProjectSettings& settings, const std::string& projectPath,
                         WriteError* error = nullptr);

} // namespace texelary
