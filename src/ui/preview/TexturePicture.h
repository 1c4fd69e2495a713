#pragma once

// Textures as the windows draw them: what the run's read step gives, turned into Qt pictures.

#include "formats/Formats.h"
#include "formats/TextureDescription.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace texelary {

// A palette picture in its palette's colours; a null picture for one without pixels.
QImage PictureOf(const IndexedImage& image, const Palette& palette);

// A true-colour picture as it is; a null picture for one without pixels.
QImage PictureOf(const RgbaImage& image);

// `picture` over a checkerboard of grey squares of `square` pixels, so that its see-through
// parts show; a picture without an alpha channel as it is.
QImage OverCheckerboard(const QImage& picture, int square);

// The full-size picture of what one read gave: the palette picture in its own colours, or the
// true-colour one as it is; a null picture when the read gave none (or no palette to draw it).
QImage PictureOf(const SourceRead& read);

// What the run's read step gives for the texture at `path` (a file, or an entry of an archive in
// the run's own path form), its smaller levels with it.
SourceRead ReadTexture(const SourceFormatRow& format, const QString& path);

// What the windows say of a texture of format `kind` that they show, worded as --info words it:
// its size and levels (`levels` the sizes of those drawn, level 0 first, at least one) and its
// header fields when it has them.
std::vector<DescribedFact> ShownFacts(SourceFormat kind, const QList<QSize>& levels,
                                      const std::optional<HeaderFields>& fields);

// A fact as the windows write it: "label: value".
QString FactText(const DescribedFact& fact);

// The 256 colours of `palette` as a grid of 16 x 16 cells of `cell` pixels, index 0 at the top
// left and each row the next 16 indices, with a one-pixel dark line between the cells.
QImage PaletteGrid(const Palette& palette, int cell);

} // namespace texelary
