#include "formats/PaletteFile.h"

#include "base/NativePath.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>
#include <vector>

namespace texelary {

namespace {

constexpr std::size_t kRawSize = 768;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view start) {
    return bytes.size() >= start.size() &&
           std::equal(start.begin(), start.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<unsigned char>(a) == b; });
}

// Entries past `count` take entry 0's colour.
PaletteFile Padded(PaletteFile file) {
    for (std::size_t i = file.count; i < 256; ++i) {
        std::copy_n(file.palette.begin(), 3,
                    file.palette.begin() + static_cast<std::ptrdiff_t>(3 * i));
    }
    return file;
}

// The lines of a text file, without their line ends.
std::vector<std::string> LinesOf(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (const std::uint8_t byte : bytes) {
        if (byte == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (byte != '\r') {
            line += static_cast<char>(byte);
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

// Three numbers from 0 to 255 at the start of `line`, into entry `index`.
bool TakeColour(const std::string& line, std::size_t index, PaletteFile& file) {
    std::istringstream in(line);
    int red = -1, green = -1, blue = -1;
    if (!(in >> red >> green >> blue)) {
        return false;
    }
    for (const int value : {red, green, blue}) {
        if (value < 0 || value > 255) {
            return false;
        }
    }
    file.palette[3 * index] = static_cast<std::uint8_t>(red);
    file.palette[3 * index + 1] = static_cast<std::uint8_t>(green);
    file.palette[3 * index + 2] = static_cast<std::uint8_t>(blue);
    return true;
}

// "JASC-PAL", "0100", the count, then a line of "R G B" per colour.
std::optional<PaletteFile> ParseJasc(const std::vector<std::string>& lines, std::string& reason) {
    PaletteFile file;
    int count = 0;
    if (lines.size() < 3 || !(std::istringstream(lines[2]) >> count) || count < 1 || count > 256 ||
        lines.size() < 3 + static_cast<std::size_t>(count)) {
        reason = "the JASC palette's count of colours is missing, wrong or past 256";
        return std::nullopt;
    }
    file.count = static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < file.count; ++i) {
        if (!TakeColour(lines[3 + i], i, file)) {
            reason = "colour " + std::to_string(i) +
                     " of the JASC palette is not three numbers "
                     "from 0 to 255";
            return std::nullopt;
        }
    }
    return Padded(file);
}

// "GIMP Palette", then "Name:" and "Columns:" lines, comments ("#") and empty lines, and a line of
// "R G B name" per colour.
std::optional<PaletteFile> ParseGimp(const std::vector<std::string>& lines, std::string& reason) {
    PaletteFile file;
    file.count = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line.rfind("Name:", 0) == 0 ||
            line.rfind("Columns:", 0) == 0) {
            continue;
        }
        if (file.count == 256) {
            reason = "the GIMP palette has more than 256 colours";
            return std::nullopt;
        }
        if (!TakeColour(line, file.count, file)) {
            reason = "line " + std::to_string(i + 1) + " of the GIMP palette is not a colour";
            return std::nullopt;
        }
        ++file.count;
    }
    if (file.count == 0) {
        reason = "the GIMP palette has no colours";
        return std::nullopt;
    }
    return Padded(file);
}

} // namespace

std::optional<PaletteFile> ParsePaletteFile(const std::string& name,
                                            std::span<const std::uint8_t> bytes,
                                            std::string& reason) {
    if (StartsWith(bytes, "JASC-PAL")) {
        return ParseJasc(LinesOf(bytes), reason);
    }
    if (StartsWith(bytes, "GIMP Palette")) {
        return ParseGimp(LinesOf(bytes), reason);
    }
    if (const auto format = SourceFormatOfPath(name)) {
        SourceRead read;
        ReadSourceBytes(RowOf(*format), bytes, read);
        if (read.image && read.paletteRead) {
            return PaletteFile{read.palette, 256};
        }
        reason = read.trueColour ? "the picture has no palette (true colour)"
                                 : DescribeReadError(read.reason);
        return std::nullopt;
    }
    if (bytes.size() == kRawSize) { // palette.lmp
        PaletteFile file;
        std::copy(bytes.begin(), bytes.end(), file.palette.begin());
        return file;
    }
    reason = "not a palette: neither 768 bytes of colours, a JASC or GIMP palette, nor a "
             "picture with one";
    return std::nullopt;
}

std::optional<PaletteFile> ReadPaletteFile(const std::string& path, std::string& reason) {
    ReadError error = ReadError::None;
    const auto bytes = ReadInputFile(path, &error);
    if (!bytes) {
        reason = DescribeReadError(error);
        return std::nullopt;
    }
    return ParsePaletteFile(Utf8Path(NativePath(path).filename()), *bytes, reason);
}

std::optional<Palette> ReadRunPalette(const std::string& path, TargetFormat to,
                                      std::string& reason) {
    const auto file = ReadPaletteFile(path, reason);
    if (!file) {
        return std::nullopt;
    }
    if ((to == TargetFormat::Wal || to == TargetFormat::Wad2) && file->count != 256) {
        reason = "it has " + std::to_string(file->count) + " colours, and " + RowOf(to).option +
                 " textures index 256";
        return std::nullopt;
    }
    return file->palette;
}

} // namespace texelary
