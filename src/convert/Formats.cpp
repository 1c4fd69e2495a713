#include "convert/Formats.h"

#include "texture/BmpFormat.h"
#include "texture/M8Format.h"
#include "texture/WalFormat.h"
#include "texture/WalPalette.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace texelary {

namespace {

void ReadBmp(std::span<const std::uint8_t> file, SourceRead& out) {
    out.image = ParseBmpImage(file, &out.reason);
    out.paletteRead = out.image && ParseBmpPalette(out.palette, file, &out.reason);
}

void ReadM8(std::span<const std::uint8_t> file, SourceRead& out) {
    out.image = ParseM8Image(file, &out.reason);
    out.paletteRead = out.image && ParseM8Palette(out.palette, file, &out.reason);
    if (out.paletteRead) {
        out.fields = ParseM8Fields(file);
    }
}

void ReadWal(std::span<const std::uint8_t> file, SourceRead& out) {
    out.image = ParseWalImage(file, &out.reason);
    out.paletteRead = out.image && ReadWalPalette(out.palette);
    if (out.paletteRead) {
        out.fields = ParseWalFields(file);
    }
}

std::optional<std::vector<std::uint8_t>> EncodeM8Row(IndexedImage& image, const Palette& palette,
                                                     const WriteOptions& options) {
    return EncodeM8(image, palette, options);
}

// As WriteWal makes its file: the picture onto the fixed palette, then the levels from it.
std::optional<std::vector<std::uint8_t>> EncodeWalRow(IndexedImage& image, const Palette& palette,
                                                      const WriteOptions& options) {
    RemapToPalette(image, WalPalette, palette);
    return EncodeWal(image, options);
}

constexpr const char* kInvalidPalette = " has an invalid color palette. Must be 256 colors";
constexpr const char* kNoPalette = " couldn't read palette.";

constexpr std::array<SourceFormatRow, kSourceFormatCount> kSourceRows = {{
    {SourceFormat::Bmp, "bmp", "Windows Bitmap (*.bmp)", "*.bmp", ReadBmp, kInvalidPalette},
    {SourceFormat::M8, "m8", "Heretic2 (*.m8)", "*.m8", ReadM8, kNoPalette},
    {SourceFormat::Wal, "wal", "QuakeX (*.wal)", "*.wal", ReadWal, kNoPalette},
}};

constexpr std::array<TargetFormatRow, kTargetFormatCount> kTargetRows = {{
    {TargetFormat::M8, "m8", "Heretic2 (*.m8)", "m8", EncodeM8Row},
    {TargetFormat::Wal, "wal", "QuakeX (*.wal)", "wal", EncodeWalRow},
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

std::optional<SourceFormat> SourceFormatNamed(std::string_view option) {
    return Named(kSourceRows, option);
}

std::optional<TargetFormat> TargetFormatNamed(std::string_view option) {
    return Named(kTargetRows, option);
}

} // namespace texelary
