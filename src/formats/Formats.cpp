#include "formats/Formats.h"

#include "archives/ArchiveInput.h"
#include "base/NativePath.h"
#include "formats/FormatTable.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/StoredPicture.h"
#include "formats/mips/SwlFormat.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/BmpFormat.h"
#include "formats/pictures/PcxFormat.h"
#include "formats/pictures/PngFormat.h"
#include "formats/pictures/TgaFormat.h"

#include <array>

namespace texelary {

namespace {

// Every texture read, whatever its format, goes into `out` the same way.
void TakeTexture(std::optional<DecodedTexture> decoded, SourceRead& out) {
    if (!decoded) {
        return;
    }
    out.image = std::move(decoded->indexed);
    out.trueColour = std::move(decoded->trueColour);
    out.palette = decoded->palette;
    out.paletteAlpha = decoded->paletteAlpha;
    out.paletteRead = decoded->paletteRead;
    out.fields = std::move(decoded->fields);
    out.levels = std::move(decoded->levels);
    out.trueColourLevels = std::move(decoded->trueColourLevels);
}

template <WadKind kind>
std::optional<TextureInfo> InspectMip(std::span<const std::uint8_t> lump, ReadError* error) {
    return InspectMipTexture(lump, kind, error);
}

constexpr const char* kInvalidPalette = " has an invalid color palette. Must be 256 colors";
constexpr const char* kNoPalette = " couldn't read palette.";

template <TextureDecoder Decode>
std::optional<TextureInfo> InspectWith(std::span<const std::uint8_t> file, ReadError* error) {
    return InspectPicture(file, Decode, error);
}

constexpr std::array<SourceFormatRow, kSourceFormatCount> kSourceRows = {{
    {SourceFormat::Bmp, "bmp", "Windows Bitmap (*.bmp)", "*.bmp", std::nullopt, DecodeBmp,
     kInvalidPalette, InspectBmp},
    {SourceFormat::M8, "m8", "Heretic2 (*.m8)", "*.m8", std::nullopt, DecodeM8, kNoPalette,
     InspectM8},
    {SourceFormat::Wal, "wal", "QuakeX (*.wal)", "*.wal", std::nullopt, DecodeWal, kNoPalette,
     InspectWal},
    {SourceFormat::Png, "png", "Portable Network Graphics (*.png)", "*.png", std::nullopt,
     ParsePngPicture, kNoPalette, InspectWith<ParsePngPicture>},
    {SourceFormat::Tga, "tga", "Truevision Targa (*.tga)", "*.tga", std::nullopt, ParseTgaPicture,
     kNoPalette, InspectWith<ParseTgaPicture>},
    {SourceFormat::Pcx, "pcx", "PC Paintbrush (*.pcx)", "*.pcx", std::nullopt, ParsePcxPicture,
     kNoPalette, InspectWith<ParsePcxPicture>},
    {SourceFormat::Wad2, "wad2", "WAD2 textures (*.wad)", "*.wad", WadKind::Wad2, DecodeWad2Lump,
     kNoPalette, InspectMip<WadKind::Wad2>},
    {SourceFormat::Wad3, "wad3", "WAD3 textures (*.wad)", "*.wad", WadKind::Wad3, DecodeWad3Lump,
     kNoPalette, InspectMip<WadKind::Wad3>},
    {SourceFormat::M32, "m32", "Heretic2 true colour (*.m32)", "*.m32", std::nullopt, DecodeM32,
     kNoPalette, InspectM32, true},
    {SourceFormat::Swl, "swl", "SiN (*.swl)", "*.swl", std::nullopt, DecodeSwl, kNoPalette,
     InspectSwl},
}};

static_assert(FormatTable::InIndexOrder(kSourceRows));

} // namespace

std::optional<SourceFormat> SourceFormatAt(std::int32_t index) {
    if (index < 0 || index >= kSourceFormatCount) {
        return std::nullopt;
    }
    return static_cast<SourceFormat>(index);
}

void ReadSourceFile(const SourceFormatRow& format, const std::string& path, SourceRead& out) {
    // A large PNG file (a true-colour one of 4096 x 4096 may be 50 MB) is decoded as it is read,
    // so that it is not held whole beside its picture. Smaller ones, and those in archives, are
    // read whole as every other file is.
    constexpr std::uint64_t kReadAsDecoded = std::uint64_t{8} << 20;
    if (format.format == SourceFormat::Png && !SplitArchivePath(path)) {
        FileReader file(path);
        if (file.Ok() && file.Size() >= kReadAsDecoded) {
            TakeTexture(ParsePngFile(file, &out.reason), out);
            return;
        }
        if (auto bytes = file.Ok() ? file.ReadWhole() : std::nullopt) {
            if (bytes->empty()) {
                out.reason = ReadError::Empty;
            } else {
                ReadSourceBytes(format, *bytes, out);
            }
            return;
        }
    }
    const auto bytes = ReadInput(path, &out.reason, format.wad, &out.reasonDetail);
    if (bytes && bytes->empty()) {
        out.reason = ReadError::Empty;
    } else if (bytes) {
        ReadSourceBytes(format, *bytes, out);
    }
}

void ReadSourceBytes(const SourceFormatRow& format, std::span<const std::uint8_t> file,
                     SourceRead& out) {
    TakeTexture(
        format.decode(file, &out.reason, out.wantLevels ? LevelsWanted::All : LevelsWanted::First),
        out);
}

std::span<const SourceFormatRow> SourceFormatRows() {
    return kSourceRows;
}

const SourceFormatRow& RowOf(SourceFormat format) {
    return kSourceRows[static_cast<std::size_t>(IndexOf(format))];
}

std::optional<SourceFormat> SourceFormatOfPath(const std::string& path) {
    const std::string extension = Utf8Path(NativePath(path).extension());
    for (const SourceFormatRow& row : kSourceRows) {
        const std::string_view mask = row.mask; // "*.bmp"
        if (!row.wad && extension.size() > 1 &&
            FormatTable::SameIgnoringCase(extension.substr(1), mask.substr(2))) {
            return row.format;
        }
    }
    return std::nullopt;
}

std::optional<TextureInfo> InspectTexture(std::span<const std::uint8_t> file, SourceFormat format,
                                          ReadError* error) {
    return RowOf(format).inspect(file, error);
}

std::optional<SourceFormat> SourceFormatNamed(std::string_view option) {
    return FormatTable::Named(kSourceRows, option);
}

} // namespace texelary
