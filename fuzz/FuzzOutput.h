#pragma once

// What every harness does with a picture that a reader accepted: the whole rest of a conversion,
// both writers into memory, so that everything a hostile file can reach is exercised.

#include "colour/NearestColour.h"
#include "colour/Quantize.h"
#include "colour/WalPalette.h"
#include "formats/DecodedTexture.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace texelary::fuzz {

// `fields` are the source's header fields, when it has them: they are written too, with
// averaged levels, and must read back as written (names cut to fit).
inline void ConvertBoth(IndexedImage& image, const Palette& palette,
                        const std::optional<HeaderFields>& fields = std::nullopt) {
    const auto m8 = WriteM8(image, palette);
    if (m8) {
        // A written file must read back as the same picture.
        const auto back = ReadM8Image(*m8);
        if (!back || back->width != image.width || back->height != image.height) {
            std::abort();
        }
    }
    const WriteOptions kept{MipFilter::Box, fields};
    const auto averaged = WriteM8(image, palette, kept);
    if (averaged && fields) {
        const auto back = ReadM8Fields(*averaged);
        if (!back || back->flags != fields->flags ||
            back->name != CutAtCharacter(fields->name, kTextureNameFieldSize - 1)) {
            std::abort();
        }
    }
    const auto averagedWal = WriteWal(image, palette, kept);
    if (averagedWal && !ReadWalImage(*averagedWal)) {
        std::abort();
    }
    const auto wal = WriteWal(image, WalPalette);
    if (wal) {
        const auto back = ReadWalImage(*wal);
        if (!back || back->width != image.width || back->height != image.height) {
            std::abort();
        }
    }
}

// A palette picture written as PNG must read back as the same indices and colours.
inline void CheckPngRoundTrip(const IndexedImage& image, const Palette& palette) {
    const auto png = EncodePng(image, palette);
    if (!png) {
        return; // a picture without pixels has no PNG
    }
    const auto back = ParsePngPicture(*png);
    const auto count = PixelCount(image.width, image.height);
    if (!back || !back->IsIndexed() || back->indexed->width != image.width ||
        back->indexed->height != image.height || back->palette != palette || !count ||
        std::memcmp(back->indexed->pixels.get(), image.pixels.get(), *count) != 0) {
        std::abort();
    }
}

// The rest of a conversion for a picture of a PNG, TGA or PCX file: a palette picture as a
// bitmap's, a true-colour one brought down to WalPalette (plainly and dithered, with a
// transparent index) and, when small enough for the quantiser to be quick, to a palette of its own.
inline void ConvertDecoded(DecodedTexture& picture) {
    if (picture.IsIndexed()) {
        CheckPngRoundTrip(*picture.indexed, picture.palette);
        ConvertBoth(*picture.indexed, picture.palette);
        return;
    }
    const RgbaImage& image = *picture.trueColour;
    const std::int64_t pixels = std::int64_t{image.width} * image.height;
    // A few bytes of PNG can hold millions of pixels; past these sizes the work only repeats.
    constexpr std::int64_t QuickToMap = 1 << 22;
    constexpr std::int64_t QuickToQuantize = 1 << 14;
    // Both mappings with the same transparent index, so that they share one nearest-colour
    // table, as the pictures of a batch do.
    const TrueColourOptions plain{false, std::uint8_t{255}};
    const TrueColourOptions dithered{true, std::uint8_t{255}};
    for (const TrueColourOptions* options : {&plain, &dithered}) {
        auto mapped = pixels <= QuickToMap ? MapToPalette(image, WalPalette, *options) : nullptr;
        if (mapped) {
            ConvertBoth(*mapped, WalPalette);
        }
    }
    if (pixels <= QuickToQuantize) {
        Palette own{};
        auto quantized = QuantizeToOwnPalette(image, own, dithered);
        if (quantized) {
            CheckPngRoundTrip(*quantized, own);
            ConvertBoth(*quantized, own);
        }
    }
}

} // namespace texelary::fuzz
