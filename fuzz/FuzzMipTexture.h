#pragma once

// What the wad and mip texture harnesses do with a texture a lump gave: write it back as a lump
// of the same kind, which must read back the same.

#include "formats/mips/MipTexture.h"

#include <cstdlib>
#include <cstring>

namespace texelary::fuzz {

inline void CheckMipTexture(const MipTexture& texture, WadKind kind) {
    const IndexedImage& image = *texture.image;
    const auto lump = kind == WadKind::Wad2 ? EncodeWad2MipTexture(image, "fuzz")
                                            : EncodeWad3MipTexture(image, texture.palette, "fuzz");
    // A texture that was read is written back exactly when its sides are multiples of 16.
    if (lump.has_value() != (image.width % 16 == 0 && image.height % 16 == 0)) {
        std::abort();
    }
    if (lump) {
        const auto back = DecodeMipTexture(*lump, kind);
        const auto count = PixelCount(image.width, image.height);
        if (!back || back->palette != texture.palette || back->levels.size() != 3 ||
            back->image->width != image.width || back->image->height != image.height || !count ||
            std::memcmp(back->image->pixels.get(), image.pixels.get(), *count) != 0) {
            std::abort();
        }
    }
}

} // namespace texelary::fuzz
