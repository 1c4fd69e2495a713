#pragma once

// The full-size picture of a mip texture file: width x height pixel bytes stored at a fixed
// offset, rows top to bottom with no padding.

#include "formats/DecodedTexture.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "image/IndexedImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace texelary {

// One mip level as a file's header describes it.
struct StoredLevel {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t offset = 0; // from the start of the file; 0 for a level without pixels
};

// What a mip texture file's header says about its levels, unchecked, for looking inside files.
// Its readers only make one of a header that is whole in the file.
struct StoredLevels {
    std::size_t headerSize = 0;          // where level 0 belongs
    std::optional<std::int32_t> version; // for formats that store one
    std::vector<StoredLevel> levels;     // every entry of the header's table, level 0 first
};

// The header of a .m8 or .wal file, read whole.
struct MipFileHeader {
    StoredLevels stored;
    HeaderFields fields;
    Palette palette{}; // the file's own, or the fixed one its format indexes
};

// What the .m8 and .wal readers give of a header they read: its fields, its levels (none, or
// empty ones, for a header that was refused).
inline std::optional<HeaderFields> FieldsOf(std::optional<MipFileHeader> header) {
    return header ? std::optional<HeaderFields>(std::move(header->fields)) : std::nullopt;
}
inline StoredLevels LevelsOf(std::optional<MipFileHeader> header) {
    return header ? std::move(header->stored) : StoredLevels{};
}

// The levels of a header that stores level 0's width and height and one offset per level: level
// i's size is level 0's halved i times, as the .wal and the wads' mip textures store them.
StoredLevels HalvedLevels(std::size_t headerSize, std::int32_t width, std::int32_t height,
                          std::span<const std::int32_t> offsets);

// A new picture holding the width x height bytes at `offset` of `file`. The header is checked
// against the file before anything is allocated: null (with the reason in `error`) for a
// negative size, a pixel count that does not fit a signed 32-bit integer, pixels that run past
// the end of the file, or no memory. A 0-pixel picture needs no bytes at all.
std::unique_ptr<IndexedImage> TakeStoredPicture(std::span<const std::uint8_t> file,
                                                std::size_t offset, std::int32_t width,
                                                std::int32_t height, ReadError* error);

// The pictures of the levels after level 0 of `stored`, in order, as far as they have pixels (the
// first level with a side of 0 ends them). None, with the reason, when a level with pixels has no
// offset or its pixels are not all in `file`, or memory runs out.
std::optional<std::vector<std::unique_ptr<IndexedImage>>>
TakeStoredLevels(std::span<const std::uint8_t> file, const StoredLevels& stored, ReadError* error);

// The texture of a .m8 or .wal file whose header is `header`: level 0 right after the header
// (whatever the offset table says), the header's palette and fields, and with LevelsWanted::All
// the levels after it. None, with the reason, when a level is refused as TakeStoredPicture and
// TakeStoredLevels say.
std::optional<DecodedTexture> DecodeStoredTexture(std::span<const std::uint8_t> file,
                                                  MipFileHeader header, LevelsWanted levels,
                                                  ReadError* error);

} // namespace texelary
