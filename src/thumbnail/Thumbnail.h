#pragma once

// Thumbnails of the game textures for file managers: the texture of a .wal (both versions),
// .m8, .m32 or .swl file, or of a WAD2 or WAD3 wad, as a true-colour picture whose longer side is
// the size asked for. A wad shows its first mip texture lump. Transparency is kept: an .m32's
// alpha, a version-3 .wal's index 255, and index 255 of a wad texture whose name begins with '{'
// (the engines draw it as a hole). A texture smaller than the size is enlarged by a whole factor,
// each pixel a square block, so that it stays crisp and never passes the size; a larger one is
// reduced by averaging every source pixel that falls in a thumbnail pixel. The aspect is kept.
//
// Damaged or hostile files are refused before anything large is done: the file's size is bounded
// before it is read (kMaxFileBytes), every reader checks its pixels against the file before it
// allocates them, and the texture's sides are bounded (kMaxSide) before it is resampled.

#include "formats/ReadError.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace texelary {

namespace ThumbnailLayout {
// Real textures are at most a few MiB; this leaves room for huge wads while keeping the read and
// the decode of any file to well under a second.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;
// No engine of the family draws a texture wider or higher than this.
inline constexpr std::int32_t kMaxSide = 8192;
// File managers ask for 128, 256, 512 or 1024 pixels.
inline constexpr std::int32_t kMaxThumbnailSide = 2048;
} // namespace ThumbnailLayout

// The kinds of file a thumbnail is made of.
enum class ThumbnailKind : std::uint8_t { Wal = 0, M8 = 1, M32 = 2, Swl = 3, Wad = 4 };

// Why no thumbnail was made.
enum class ThumbnailError : std::uint8_t {
    None = 0,
    NotATexture,     // a name ending that is none of the kinds above
    BadSize,         // the size asked for is not 1 to kMaxThumbnailSide
    FileTooLarge,    // more than kMaxFileBytes
    CannotRead,      // missing, not a file, or unreadable (see the read reason)
    Refused,         // the format's reader refused the bytes (see the read reason)
    NoMipTexture,    // a wad without a mip texture lump of its own kind
    TextureTooLarge, // a side past kMaxSide
    OutOfMemory
};

struct ThumbnailFailure {
    ThumbnailError error = ThumbnailError::None;
    ReadError read = ReadError::None; // the reader's reason, with CannotRead and Refused
};

// The failure in a few words, for the thumbnailer's standard error.
std::string DescribeThumbnailFailure(const ThumbnailFailure& failure);

// The kind of the file at `path`, by its name's ending in any case; false when it has none of
// them.
bool ThumbnailKindOfPath(const std::string& path, ThumbnailKind& kind);

// The thumbnail of the bytes of a whole file of `kind`, its longer side `size` pixels when
// reduced, at most `size` when enlarged. Null, with the reason in `failure` when given, when the
// file is refused, the size is out of range or memory runs out.
std::unique_ptr<RgbaImage> MakeThumbnail(std::span<const std::uint8_t> file, ThumbnailKind kind,
                                         std::int32_t size, ThumbnailFailure* failure = nullptr);

// The same for the file at `path` (UTF-8), its kind taken from its name: its size is checked
// before it is read.
std::unique_ptr<RgbaImage> MakeThumbnailOfFile(const std::string& path, std::int32_t size,
                                               ThumbnailFailure* failure = nullptr);

} // namespace texelary
