#pragma once

// What a writer is told beyond the picture and its palette: how the smaller mip levels are made,
// and the header fields to copy from the source texture.

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

struct WriteOptions {
    WriteOptions(MipFilter levels = MipFilter::Point, std::optional<HeaderFields> kept = {})
        : mips(levels)
        , fields(std::move(kept)) {}

    MipFilter mips = MipFilter::Point;
    // None: the writer's own header (the .m8 writer's "Created by Texelary", an empty .wal
    // header). Given: these fields, names cut at a character boundary to fit their fields.
    std::optional<HeaderFields> fields;
    // The texture's name in a wad, which its lump stores (and the engines look it up by).
    std::string name;
    // Whether a picture brought onto the WAD2 palette may take its full-bright colours (indices
    // 224 to 255, which the engines draw unlit).
    bool fullbright = false;
    // For a format that can say so (PNG): the index whose pixels are see-through.
    std::optional<std::uint8_t> transparentIndex;
    // A palette given by the user, for the formats of a fixed palette (.wal, WAD2): the one their
    // pixels index instead of the game's.
    std::optional<Palette> palette = std::nullopt;
};

} // namespace texelary
