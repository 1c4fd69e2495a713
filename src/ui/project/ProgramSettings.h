#pragma once

// The program's own settings, kept between runs of the program in the user's configuration
// (QSettings), never in project files: they say how this user wants textures written, whatever
// the project.

#include "formats/WriteOptions.h"

#include <QString>
#include <cstdint>

namespace texelary {

// The index that pixels less than half opaque take when the transparent index is asked for.
constexpr std::uint8_t kTransparentIndex = 255;

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

// The saved settings; the defaults where none were saved or a stored value is unknown.
ProgramSettings LoadProgramSettings();
void SaveProgramSettings(const ProgramSettings& settings);

} // namespace texelary
