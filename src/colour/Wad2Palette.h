#pragma once

// The fixed palette that the mip textures of WAD2 archives index.

#include "image/IndexedImage.h"

namespace texelary {

// The games' own 256 colours. Their engines draw indices 224 to 255 at full brightness whatever
// the light around them: a picture brought onto this palette should keep its ordinary pixels out
// of that range.
extern const Palette Wad2Palette;

} // namespace texelary
