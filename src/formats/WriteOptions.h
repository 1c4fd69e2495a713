#pragma once

// What a writer is told beyond the picture and its palette: how the smaller mip levels are made,
// the header fields to copy from the source texture, and the colours it brings a picture down to.

#include "colour/NearestColour.h"
#include "formats/HeaderFields.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace texelary {

// How each mip level below the full-size picture is made. Stored as a number in the program's
// settings.
enum class MipFilter : std::int32_t {
    Point = 0, // every level samples the full-size picture: the top-left pixel of each block
    Box = 1,   // every level averages 2 x 2 blocks of the level above, as the games' own tools do
};

// The colours (TrueColourOptions) are the ones a picture is brought down with before it is
// written, so that the writers of a fixed palette (.wal, WAD2) index the same palette, full-bright
// colours and transparent index: the user's palette instead of the game's, and for a format that
// can say so (PNG), the index whose pixels are see-through.
struct WriteOptions : TrueColourOptions {
    WriteOptions(MipFilter levels = MipFilter::Point, std::optional<HeaderFields> kept = {})
        : mips(levels)
        , fields(std::move(kept)) {}

    MipFilter mips = MipFilter::Point;
    // None: the writer's own header (the .m8 writer's "Created by Texelary", an empty .wal
    // header). Given: these fields, names cut at a character boundary to fit their fields.
    std::optional<HeaderFields> fields;
    // The texture's name in a wad, which its lump stores (and the engines look it up by).
    std::string name;
};

} // namespace texelary
