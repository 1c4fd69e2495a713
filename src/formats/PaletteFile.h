#pragma once

// Palettes from files, for a mod that brings its own: the games' colormap.pcx (the 768 bytes
// after the 0x0C marker at the end of an 8-bit PCX) and palette.lmp (768 raw bytes), the palette
// files of paint programs (JASC .pal, GIMP .gpl), and the palette of any 8-bit picture the
// program reads (BMP, PNG, TGA, PCX, .m8).

#include "formats/Formats.h"
#include "image/IndexedImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace texelary {

struct PaletteFile {
    Palette palette{}; // the entries past `count` hold entry 0's colour
    std::size_t count = 256;
};

// The palette in `bytes`, a file named `name` (whose extension tells a picture's format). None,
// with the reason in a few words, for a file that is none of the kinds above, a picture without a
// palette (true colour), a palette file of no colours or more than 256, or a colour past 255.
// Entries past a palette file's count take entry 0's colour, so that a nearest-colour search
// (which takes the first of equal colours) never picks them.
std::optional<PaletteFile>
ParsePaletteFile(const std::string& name, std::span<const std::uint8_t> bytes, std::string& reason);

// The same for the file at `path`.
std::optional<PaletteFile> ReadPaletteFile(const std::string& path, std::string& reason);

// The palette of the file at `path` as a run into the `to` format takes it: .wal and WAD2 textures
// index all 256 of its colours, so a file of fewer is refused for them. None, with the reason.
std::optional<Palette> ReadRunPalette(const std::string& path, TargetFormat to,
                                      std::string& reason);

} // namespace texelary
