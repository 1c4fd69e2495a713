#include "formats/Formats.h"

#include "archives/ArchiveInput.h"
#include "base/NativePath.h"
#include "colour/TargetPalette.h"
#include "colour/Wad2Palette.h"
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

#include <algorithm>
#include <array>
#include <cctype>

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

std::optional<std::vector<std::uint8_t>>
WritePngRow(const IndexedImage& image, const Palette& palette, const WriteOptions& options) {
    return EncodePng(image, palette, options.transparentIndex);
}

std::optional<std::vector<std::uint8_t>> WriteRgbaPngRow(const RgbaImage& picture,
                                                         const WriteOptions& /*options*/) {
    return EncodeRgbaPng(picture);
}

// A WAD2 texture of a picture on another palette takes the nearest colours of the WAD2 one; a
// picture already on it keeps its indices.
std::optional<std::vector<std::uint8_t>>
WriteWad2Row(const IndexedImage& image, const Palette& palette, const WriteOptions& options) {
    const Palette& fixed = options.palette ? *options.palette : Wad2Palette;
    try {
        if (palette == fixed) {
            return EncodeWad2MipTexture(image, options.name, options.mips, nullptr, fixed);
        }
        const auto remapped = RemapToWad2Palette(image, palette, fixed, options.fullbright);
        if (!remapped) {
            return std::nullopt;
        }
        return EncodeWad2MipTexture(*remapped, options.name, options.mips, nullptr, fixed);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// Whether a wad's texture is see-through: WAD3 names that begin with '{'.
bool SeeThroughName(const std::string& name) {
    return !name.empty() && name.front() == '{';
}

// A see-through texture's index 255 is drawn as a hole; its palette entry is pure blue, as the
// engines' tools expect.
std::optional<std::vector<std::uint8_t>>
WriteWad3Row(const IndexedImage& image, const Palette& palette, const WriteOptions& options) {
    if (!SeeThroughName(options.name)) {
        return EncodeWad3MipTexture(image, palette, options.name, options.mips);
    }
    Palette marked = palette;
    marked[3 * 255] = 0;
    marked[3 * 255 + 1] = 0;
    marked[3 * 255 + 2] = 255;
    return EncodeWad3MipTexture(image, marked, options.name, options.mips);
}

// The engines refuse textures whose sides are not multiples of 16.
const char* WadRefusal(const IndexedImage& image, const WriteOptions& options) {
    if (image.width <= 0 || image.height <= 0 || image.width % 16 != 0 || image.height % 16 != 0) {
        return "a wad's textures must be a multiple of 16 pixels wide and high";
    }
    const ReadError name = CheckEntryName(options.name);
    return name == ReadError::None ? nullptr : DescribeReadError(name);
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

constexpr std::array<TargetFormatRow, kTargetFormatCount> kTargetRows = {{
    {TargetFormat::M8, "m8", "Heretic2 (*.m8)", "m8", std::nullopt, false, ToOwnPalette, WriteM8,
     RefuseM8},
    {TargetFormat::Wal, "wal", "QuakeX (*.wal)", "wal", std::nullopt, false, ToWalPalette, WriteWal,
     RefuseWal},
    {TargetFormat::Png, "png", "Portable Network Graphics (*.png)", "png", std::nullopt, true,
     ToOwnPalette, WritePngRow, nullptr, std::nullopt, WriteRgbaPngRow},
    {TargetFormat::Wad2, "wad2", "WAD2 textures (*.wad)", "wad", WadKind::Wad2, false,
     ToWad2Palette, WriteWad2Row, WadRefusal},
    {TargetFormat::Wad3, "wad3", "WAD3 textures (*.wad)", "wad", WadKind::Wad3, false, ToOwnPalette,
     WriteWad3Row, WadRefusal},
    {TargetFormat::Wal3, "wal3", "QuakeX version 3 (*.wal)", "wal", std::nullopt, false,
     ToOwnPalette, WriteWal3, RefuseWal3, 255},
    {TargetFormat::M32, "m32", "Heretic2 true colour (*.m32)", "m32", std::nullopt, false, nullptr,
     nullptr, nullptr, std::nullopt, WriteM32, RefuseM32},
    {TargetFormat::Swl, "swl", "SiN (*.swl)", "swl", std::nullopt, false, ToOwnPalette, WriteSwl,
     RefuseSwl},
}};

// Every row stands at its own index.
template <typename Rows> constexpr bool InIndexOrder(const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (IndexOf(rows[i].format) != static_cast<std::int32_t>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(InIndexOrder(kSourceRows) && InIndexOrder(kTargetRows));

bool SameIgnoringCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

template <typename Rows>
auto Named(const Rows& rows, std::string_view option) -> std::optional<decltype(rows[0].format)> {
    for (const auto& row : rows) {
        if (SameIgnoringCase(option, row.option)) {
            return row.format;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<SourceFormat> SourceFormatAt(std::int32_t index) {
    if (index < 0 || index >= kSourceFormatCount) {
        return std::nullopt;
    }
    return static_cast<SourceFormat>(index);
}

std::optional<TargetFormat> TargetFormatAt(std::int32_t index) {
    if (index < 0 || index >= kTargetFormatCount) {
        return std::nullopt;
    }
    return static_cast<TargetFormat>(index);
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

std::span<const TargetFormatRow> TargetFormatRows() {
    return kTargetRows;
}

const SourceFormatRow& RowOf(SourceFormat format) {
    return kSourceRows[static_cast<std::size_t>(IndexOf(format))];
}

const TargetFormatRow& RowOf(TargetFormat format) {
    return kTargetRows[static_cast<std::size_t>(IndexOf(format))];
}

std::optional<SourceFormat> SourceFormatOfPath(const std::string& path) {
    const std::string extension = Utf8Path(NativePath(path).extension());
    for (const SourceFormatRow& row : kSourceRows) {
        const std::string_view mask = row.mask; // "*.bmp"
        if (!row.wad && extension.size() > 1 &&
            SameIgnoringCase(extension.substr(1), mask.substr(2))) {
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
    return Named(kSourceRows, option);
}

std::optional<TargetFormat> TargetFormatNamed(std::string_view option) {
    return Named(kTargetRows, option);
}

} // namespace texelary
