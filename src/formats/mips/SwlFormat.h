#pragma once

// SiN mip textures (.swl): a 1236-byte header holding the texture's own palette, its name and
// surface fields and the offsets of four mip levels, then the pixels of the levels.

#include "formats/DecodedTexture.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"
#include "formats/WriteOptions.h"
#include "image/IndexedImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace texelary {

// The whole file for `image` with `palette` and its three smaller levels, made as options.mips
// says; none when the picture's size does not fit the format or memory runs out. The image never
// changes. The header holds the options' fields when given (names cut to 63 bytes, the value to
// 16 bits), zeros otherwise, and always the checksum of the palette written.
std::optional<std::vector<std::uint8_t>> WriteSwl(const IndexedImage& image, const Palette& palette,
                                                  const WriteOptions& options = {});

// Why WriteSwl would give nothing for `image` but for memory: the picture's size does not fit the
// format. Null when it fits.
const char* RefuseSwl(const IndexedImage& image, const WriteOptions& options);

// The texture of the bytes of a .swl file: level 0, the stored palette and the header fields
// (with their .swl part), and levels 1 to 3 when asked for. None, with the reason, when the file
// ends inside the header (Truncated), a size is negative or its pixel count does not fit a signed
// 32-bit integer, a level with pixels starts inside the header (BadHeader), or a level wanted runs
// past the end of the file (Truncated).
std::optional<DecodedTexture> DecodeSwl(std::span<const std::uint8_t> file, ReadError* error,
                                        LevelsWanted levels);

// A look inside a .swl file: its levels, fields and indices used, with where it departs from the
// format's rules, a palette checksum that its palette does not give among them. None when
// DecodeSwl refuses level 0.
std::optional<TextureInfo> InspectSwl(std::span<const std::uint8_t> file, ReadError* error);

// The checksum that a .swl header keeps of its palette, over the 1024 bytes stored (R, G, B and a
// zero byte per entry).
std::uint16_t SwlPaletteChecksum(const Palette& palette);

} // namespace texelary
