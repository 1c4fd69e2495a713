#pragma once

// What every harness does with a picture that a reader accepted: the whole rest of a conversion,
// both writers into memory, so that everything a hostile file can reach is exercised.

#include "texture/M8Format.h"
#include "texture/WalFormat.h"
#include "texture/WalPalette.h"

#include <cstdlib>

namespace texelary::fuzz {

inline void ConvertBoth(IndexedImage& image, const Palette& palette) {
    const auto m8 = EncodeM8(image, palette);
    if (m8) {
        // A written file must read back as the same picture.
        const auto back = ParseM8Image(*m8);
        if (!back || back->width != image.width || back->height != image.height) {
            std::abort();
        }
    }
    RemapToPalette(image, WalPalette, palette);
    const auto wal = EncodeWal(image);
    if (wal) {
        const auto back = ParseWalImage(*wal);
        if (!back || back->width != image.width || back->height != image.height) {
            std::abort();
        }
    }
}

} // namespace texelary::fuzz
