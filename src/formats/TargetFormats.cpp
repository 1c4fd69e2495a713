#include "archives/WadArchive.h"
#include "colour/TargetPalette.h"
#include "colour/Wad2Palette.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/SwlFormat.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"

#include <array>
#include <new>

namespace texelary {

namespace {

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

static_assert(FormatTable::InIndexOrder(kTargetRows));

} // namespace

std::optional<TargetFormat> TargetFormatAt(std::int32_t index) {
    if (index < 0 || index >= kTargetFormatCount) {
        return std::nullopt;
    }
    return static_cast<TargetFormat>(index);
}

std::span<const TargetFormatRow> TargetFormatRows() {
    return kTargetRows;
}

const TargetFormatRow& RowOf(TargetFormat format) {
    return kTargetRows[static_cast<std::size_t>(IndexOf(format))];
}

std::optional<TargetFormat> TargetFormatNamed(std::string_view option) {
    return FormatTable::Named(kTargetRows, option);
}

} // namespace texelary
