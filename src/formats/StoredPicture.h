#pragma once

// The full-size picture of a mip texture file: width x height pixel bytes stored at a fixed
// offset, rows top to bottom with no padding.

#include "formats/ReadError.h"
#include "image/IndexedImage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace texelary {

// One mip level as a file's header describes it.
struct StoredLevel {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t offset = 0; // from the start of the file; 0 for a level without pixels
};

// What a mip texture file's header says about its levels, unchecked, for looking inside files.
struct StoredLevels {
    std::size_t headerSize = 0;          // where level 0 belongs
    std::optional<std::int32_t> version; // for formats that store one
    std::vector<StoredLevel> levels;     // every entry of the header's table, level 0 first
};

// The header of a mip texture file as its readers see it: a file shorter than the header reads
// as if its missing bytes were zero.
template <std::size_t Size>
std::array<std::uint8_t, Size> ZeroPaddedHeader(std::span<const std::uint8_t> file) {
    std::array<std::uint8_t, Size> header{};
    const std::size_t length = std::min(file.size(), Size);
    if (length != 0) {
        std::memcpy(header.data(), file.data(), length);
    }
    return header;
}

// The levels of a header that stores level 0's width and height (int32 at `widthAt` and
// `heightAt`) and `count` offsets (int32 from `offsetsAt`): level i's size is level 0's halved i
// times, as the .wal and the wads' mip textures store them. A header shorter than `headerSize`
// reads as if its missing bytes were zero.
StoredLevels HalvedLevels(std::span<const std::uint8_t> file, std::size_t headerSize,
                          std::size_t widthAt, std::size_t heightAt, std::size_t offsetsAt,
                          std::size_t count);

// A new picture holding the width x height bytes at `offset` of `file`. The header is checked
// against the file before anything is allocated: null (with the reason in `error`) for a
// negative size, a pixel count that does not fit a signed 32-bit integer, pixels that run past
// the end of the file, or no memory. A 0-pixel picture needs no bytes at all.
std::unique_ptr<IndexedImage> TakeStoredPicture(std::span<const std::uint8_t> file,
                                                std::size_t offset, std::int32_t width,
                                                std::int32_t height, ReadError* error);

} // namespace texelary
