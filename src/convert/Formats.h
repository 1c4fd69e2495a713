#pragma once

// The formats a conversion reads and writes, in one place: their indices (as stored in project
// files and shown in the setup dialog), their names for the command line, the setup dialog and the
// file chooser, and the reader or writer the run uses. Adding a format is adding its value and
// one row to the table in Formats.cpp.

#include "texture/HeaderFields.h"
#include "texture/IndexedImage.h"
#include "texture/ReadError.h"
#include "texture/WriteOptions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {

// Convert-from index.
enum class SourceFormat : std::int32_t { Bmp = 0, M8 = 1, Wal = 2 };
// Convert-to index.
enum class TargetFormat : std::int32_t { M8 = 0, Wal = 1 };

constexpr std::int32_t kSourceFormatCount = 3;
constexpr std::int32_t kTargetFormatCount = 2;

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
    std::unique_ptr<IndexedImage> image; // null when no picture could be read
    Palette palette{};
    bool paletteRead = false;           // with a picture: whether its palette could be had
    std::optional<HeaderFields> fields; // the header fields of a format that has them
    ReadError reason = ReadError::None; // why the picture or the palette failed
};

struct SourceFormatRow {
    SourceFormat format;
    const char* option;  // on the command line: "bmp"
    const char* caption; // in the setup dialog: "Windows Bitmap (*.bmp)"
    const char* mask;    // what the file chooser lists: "*.bmp"
    // Reads the picture of a whole file, then its palette (and fields) when the picture was had.
    void (*read)(std::span<const std::uint8_t> file, SourceRead& out);
    // Said after the quoted path when the palette cannot be had.
    const char* paletteFailure;
};

struct TargetFormatRow {
    TargetFormat format;
    const char* option;    // on the command line: "m8"
    const char* caption;   // in the setup dialog: "Heretic2 (*.m8)"
    const char* extension; // of the output files, without a dot
    // The output file's bytes for picture and palette; none when the picture does not fit the
    // format or memory runs out. It may change the picture (a remap onto the format's palette).
    // The run writes the bytes itself, so that several files can be converted at once and put in
    // place in the list's order.
    std::optional<std::vector<std::uint8_t>> (*encode)(IndexedImage& image, const Palette& palette,
                                                       const WriteOptions& options);
};

// The rows, in index order.
std::span<const SourceFormatRow> SourceFormatRows();
std::span<const TargetFormatRow> TargetFormatRows();

// The row of a format, which must be in range.
const SourceFormatRow& RowOf(SourceFormat format);
const TargetFormatRow& RowOf(TargetFormat format);

// The format whose command-line name is `option`, in any case; none when no format has it.
std::optional<SourceFormat> SourceFormatNamed(std::string_view option);
std::optional<TargetFormat> TargetFormatNamed(std::string_view option);

} // namespace texelary
