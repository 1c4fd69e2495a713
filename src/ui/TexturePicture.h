#pragma once

// Textures as the windows draw them: what the run's read step gives, turned into Qt pictures.

#include "formats/Formats.h"

#include <QImage>

namespace texelary {

// A palette picture in its palette's colours; a null picture for one without pixels.
QImage PictureOf(const IndexedImage& image, const Palette& palette);

// The full-size picture of what one read gave: the palette picture in its own colours, or the
// true-colour one as it is; a null picture when the read gave none (or no palette to draw it).
QImage PictureOf(const SourceRead& read);

// What the run's read step gives for the texture at `path` (a file, or an entry of an archive in
// the run's own path form), its smaller levels with it.
SourceRead ReadTexture(const SourceFormatRow& format, const QString& path);

// A header field's number as the windows show it: 0x and eight upper-case hexadecimal digits.
QString FieldHex(std::uint32_t value);

// The 256 colours of `palette` as a grid of 16 x 16 cells of `cell` pixels, index 0 at the top
// left and each row the next 16 indices, with a one-pixel dark line between the cells.
QImage PaletteGrid(const Palette& palette, int cell);

} // namespace texelary
