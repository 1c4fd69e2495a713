#pragma once

// The formats Texelary reads and writes, in one place: their indices (as stored in project files
// and shown in the setup dialog), their names for the command line, the setup dialog, the file
// chooser and --info, and the reader, writer and look inside that the run and --info use. Adding
// a format is adding its value and one row to the table in Formats.cpp.

#include "archives/WadArchive.h"
#include "colour/NearestColour.h"
#include "formats/DecodedTexture.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"
#include "formats/WriteOptions.h"
#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// Convert-from index.
enum class SourceFormat : std::int32_t {
    Bmp = 0,
    M8 = 1,
    Wal = 2,
    Png = 3,
    Tga = 4,
    Pcx = 5,
    Wad2 = 6,
    Wad3 = 7,
    M32 = 8,
    Swl = 9
};
// Convert-to index.
enum class TargetFormat : std::int32_t {
    M8 = 0,
    Wal = 1,
    Png = 2,
    Wad2 = 3,
    Wad3 = 4,
    Wal3 = 5,
    M32 = 6,
    Swl = 7
};

constexpr std::int32_t kSourceFormatCount = 10;
constexpr std::int32_t kTargetFormatCount = 8;

// The format with this index; none for an index out of range.
std::optional<SourceFormat> SourceFormatAt(std::int32_t index);
std::optional<TargetFormat> TargetFormatAt(std::int32_t index);

constexpr std::int32_t IndexOf(SourceFormat format) {
    return static_cast<std::int32_t>(format);
}
constexpr std::int32_t IndexOf(TargetFormat format) {
    return static_cast<std::int32_t>(format);
}

// What reading one input file gives the run.
struct SourceRead {
    // Asked for by the caller: the smaller mip levels a mip texture stores, into `levels`.
    bool wantLevels = false;

    std::unique_ptr<IndexedImage> image; // null when no palette picture could be read
    // Or a picture of more colours than a palette holds, still to be brought down to one by the
    // target format. At most one of `image` and `trueColour` is set.
    std::unique_ptr<RgbaImage> trueColour;
    Palette palette{};
    // With a palette picture: each entry's opacity (255 where the file gives none).
    std::array<std::uint8_t, 256> paletteAlpha = DecodedTexture::MakeOpaqueAlpha();
    bool paletteRead = false;           // with a picture: whether its palette could be had
    std::optional<HeaderFields> fields; // the header fields of a format that has them
    // With `wantLevels`: the levels after level 0 that the file stores, in order, as far as they
    // have pixels (formats without levels give none).
    std::vector<std::unique_ptr<IndexedImage>> levels;
    std::vector<std::unique_ptr<RgbaImage>> trueColourLevels; // of a true-colour texture
    ReadError reason = ReadError::None; // why the picture or the palette failed
    std::string reasonDetail;           // where in the file, when known: "line 2, column 5"
};

struct SourceFormatRow {
    SourceFormat format;
    const char* option;  // on the command line: "bmp"
    const char* caption; // in the setup dialog: "Windows Bitmap (*.bmp)"
    const char* mask;    // what the file chooser lists: "*.bmp"
    // Set for the textures of a wad, which are its mip texture lumps rather than files: the kind
    // of wad they are read from, by lump name.
    std::optional<WadKind> wad;
    // The format's reader, of a whole file (or a wad's lump).
    TextureDecoder decode;
    // Said after the quoted path when the palette cannot be had.
    const char* paletteFailure;
    // What --info says of a whole file; none, with the reason, when the reader refuses it.
    std::optional<TextureInfo> (*inspect)(std::span<const std::uint8_t> file, ReadError* error);
    // Set for textures of true colour (.m32): a target that can hold true colour (PNG) keeps it
    // rather than bringing the picture down to a palette.
    bool trueColourTexture = false;
};

struct TargetFormatRow {
    TargetFormat format;
    const char* option;    // on the command line: "m8"
    const char* caption;   // in the setup dialog: "Heretic2 (*.m8)"
    const char* extension; // of the output files, without a dot
    // Set for a wad: every texture of the run becomes one lump of a new wad of this kind, at the
    // output path, rather than a file of its own.
    std::optional<WadKind> wad;
    // Whether asking for every level writes each level to a file of its own, name.N.extension
    // (a format that holds mip levels writes them all anyway).
    bool levelsAsFiles;
    // Brings a true-colour picture down to the 256 colours this format stores, filling
    // `palette`; null when memory runs out or the quantiser fails.
    std::unique_ptr<IndexedImage> (*fromTrueColour)(const RgbaImage& picture, Palette& palette,
                                                    const TrueColourOptions& options);
    // The output file's bytes for picture and palette; none when the picture does not fit the
    // format or memory runs out. The run writes the bytes itself, so that several files can be
    // converted at once and put in place in the list's order.
    std::optional<std::vector<std::uint8_t>> (*write)(const IndexedImage& image,
                                                      const Palette& palette,
                                                      const WriteOptions& options);
    // Why the format cannot store this picture under the options' name, in a few words; null
    // when it can. May itself be null, for formats that take every picture.
    const char* (*refusal)(const IndexedImage& image, const WriteOptions& options);
    // The index the format's textures draw as a hole, which pixels less than half opaque take
    // when the user names no other; none for formats without one.
    std::optional<std::uint8_t> seeThroughIndex = std::nullopt;
    // Set for a format that can hold true colour: .m32, which writes every picture as it is,
    // never brought down to a palette (a palette picture in its colours, each pixel as opaque as
    // its entry), and has no `write` or `refusal`; and PNG, which writes the picture of a
    // true-colour texture so. A null refusal takes every picture.
    std::optional<std::vector<std::uint8_t>> (*writeTrueColour)(
        const RgbaImage& picture, const WriteOptions& options) = nullptr;
    const char* (*trueColourRefusal)(const RgbaImage& picture,
                                     const WriteOptions& options) = nullptr;
};

// The read step of the run and of the preview alike: the file at `path` (or the archive entry it
// names, see ArchiveInput.h; for a wad's format, the mip texture lump) read once, whole, and its
// bytes given to ReadSourceBytes. A file that cannot be read, or is empty, leaves `out` without
// a picture and with the reason.
void ReadSourceFile(const SourceFormatRow& format, const std::string& path, SourceRead& out);

// What the row's reader makes of the bytes of a whole file, into `out`: its picture, palette,
// fields and (with `out.wantLevels`) smaller levels, or the reason it has none.
void ReadSourceBytes(const SourceFormatRow& format, std::span<const std::uint8_t> file,
                     SourceRead& out);

// The rows, in index order.
std::span<const SourceFormatRow> SourceFormatRows();
std::span<const TargetFormatRow> TargetFormatRows();

// The row of a format, which must be in range.
const SourceFormatRow& RowOf(SourceFormat format);
const TargetFormatRow& RowOf(TargetFormat format);

// The source format whose files have the extension of `path` (the mask's, in any case); none for
// other extensions. The formats of a wad's textures, which are lumps and not files, have none.
std::optional<SourceFormat> SourceFormatOfPath(const std::string& path);

// Looks inside the bytes of a file of `format` (the row's inspect).
std::optional<TextureInfo> InspectTexture(std::span<const std::uint8_t> file, SourceFormat format,
                                          ReadError* error = nullptr);

// The format whose command-line name is `option`, in any case; none when no format has it.
std::optional<SourceFormat> SourceFormatNamed(std::string_view option);
std::optional<TargetFormat> TargetFormatNamed(std::string_view option);

} // namespace texelary
