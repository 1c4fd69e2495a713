#pragma once

// The settings that shape the output, as the windows hold them: the project's, kept beside its
// file (project/ProjectSettings.h). A new project has the defaults. The program keeps no settings
// of its own between runs: those once kept in the user's configuration are no longer read.

#include "formats/Formats.h"
#include "formats/WriteOptions.h"
#include "project/ProjectSettings.h"

#include <QString>

namespace texelary {

struct ProgramSettings {
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
    // built-in palettes.
    QString paletteFile{};

    bool operator==(const ProgramSettings&) const = default;
};

// The settings kept beside the project file `projectPath`; the defaults where there are none.
ProgramSettings LoadSettingsBeside(const QString& projectPath);
// Writes them beside it; false when the file cannot be written, the old one then left as it was.
bool SaveSettingsBeside(const ProgramSettings& settings, const QString& projectPath);

// What the status line says of the palette the run takes for `target`: "Palette: kingpin.pal",
// or the built-in one's name, "Palette: Quake II".
QString PaletteInUse(const ProgramSettings& settings, TargetFormat target);

} // namespace texelary
