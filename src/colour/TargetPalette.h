#pragma once

// The palette each target format stores, and how a picture comes onto it: the fixed palettes of
// .wal and WAD2 textures (the game's, or one the user gives), and for the other targets the
// picture's own or the user's.

#include "colour/NearestColour.h"
#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace texelary {

// These bring a true-colour picture down to the palette the target stores, filling `palette`
// with it; null (the palette untouched) when memory runs out or the quantiser fails.
//
// .wal: each pixel takes its nearest colour of WalPalette, or of the user's palette.
std::unique_ptr<IndexedImage> ToWalPalette(const RgbaImage& picture, Palette& palette,
                                           const TrueColourOptions& options);
// WAD2: the same on Wad2Palette (or the user's), searched as Wad2SearchPalette says.
std::unique_ptr<IndexedImage> ToWad2Palette(const RgbaImage& picture, Palette& palette,
                                            const TrueColourOptions& options);
// The other targets: a palette of the picture's own, or the user's.
std::unique_ptr<IndexedImage> ToOwnPalette(const RgbaImage& picture, Palette& palette,
                                           const TrueColourOptions& options);

// The WAD2 palette `fixed` as the nearest-colour searches see it: without `fullbright`, its
// entries 224 to 255 hold the colour of an ordinary entry, whose lower index wins every tie, so
// that no pixel is given one of them but the transparent index. That entry is 0, or 1 when 0 is
// the transparent index (which the search passes over).
Palette Wad2SearchPalette(const Palette& fixed, bool fullbright,
                          std::optional<std::uint8_t> transparentIndex);

// A copy of `image`, whose pixels index `palette`, with each pixel the nearest colour of the WAD2
// palette `fixed` as Wad2SearchPalette gives it (no transparent index). Null when the image has
// no pixels or memory runs out. The image never changes.
std::unique_ptr<IndexedImage> RemapToWad2Palette(const IndexedImage& image, const Palette& palette,
                                                 const Palette& fixed, bool fullbright);

} // namespace texelary
