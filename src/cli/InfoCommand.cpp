#include "cli/InfoCommand.h"

#include "base/Utf8.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"

#include <cstdio>
#include <optional>

namespace texelary {

namespace {

std::string Hex(std::uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// `text` in double quotes. Bytes that are not printable ASCII are written with `byteFormat`
// (a printf format of one byte); so are quotes and backslashes, unless `json` has them written
// after a backslash. In JSON, UTF-8 characters (file names) are written as they are.
std::string Escaped(const std::string& text, const char* byteFormat, bool json) {
    std::string escaped = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const bool quote = c == '"' || c == '\\';
        const std::size_t character = json ? Utf8CharLength(text, i) : 1;
        if (quote && json) {
            escaped += '\\';
            escaped += c;
        } else if (character > 1) {
            escaped.append(text, i, character);
            i += character - 1;
        } else if (quote || byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, byteFormat, byte);
            escaped += escape;
        } else {
            escaped += c;
        }
    }
    return escaped + "\"";
}

// A name as a quoted text: bytes that are not printable ASCII as \xHH.
std::string Quoted(const std::string& text) {
    return Escaped(text, "\\x%02X", false);
}

// A JSON string, valid JSON whatever a header's name field holds: UTF-8 characters (file names)
// as they are, other bytes that are not printable ASCII as \u00XX.
std::string JsonString(const std::string& text) {
    return Escaped(text, "\\u%04X", true);
}

void PrintText(const std::string& path, SourceFormat kind, const TextureInfo& info,
               std::ostream& out) {
    out << path << '\n';
    out << "  kind:             " << RowOf(kind).option << '\n';
    out << "  size:             " << info.width << " x " << info.height << '\n';
    out << "  levels:           " << info.levels.size();
    for (std::size_t i = 0; i < info.levels.size(); ++i) {
        out << (i == 0 ? ": " : ", ") << info.levels[i].width << " x " << info.levels[i].height;
    }
    out << '\n';
    if (info.fields) {
        out << "  name:             " << Quoted(info.fields->name) << '\n';
        out << "  animation name:   " << Quoted(info.fields->animationName) << '\n';
        out << "  flags:            " << Hex(info.fields->flags) << '\n';
        out << "  contents:         " << Hex(info.fields->contents) << '\n';
        out << "  value:            " << Hex(info.fields->value) << '\n';
    }
    out << "  distinct indices: ";
    if (info.distinctIndices) {
        out << *info.distinctIndices << '\n';
    } else {
        out << "none (true colour)\n";
    }
    if (info.ruleBreaks.empty()) {
        out << "  format's rules:   followed\n";
    } else {
        out << "  format's rules:   not followed\n";
        for (const std::string& rule : info.ruleBreaks) {
            out << "    " << rule << '\n';
        }
    }
}

void PrintJson(const std::string& path, SourceFormat kind, const TextureInfo& info,
               std::ostream& out) {
    out << "{\"file\":" << JsonString(path) << ",\"kind\":\"" << RowOf(kind).option
        << "\",\"width\":" << info.width << ",\"height\":" << info.height << ",\"levels\":[";
    for (std::size_t i = 0; i < info.levels.size(); ++i) {
        out << (i == 0 ? "" : ",") << "{\"width\":" << info.levels[i].width
            << ",\"height\":" << info.levels[i].height << '}';
    }
    out << ']';
    if (info.fields) {
        out << ",\"name\":" << JsonString(info.fields->name)
            << ",\"animationName\":" << JsonString(info.fields->animationName) << ",\"flags\":\""
            << Hex(info.fields->flags) << "\",\"contents\":\"" << Hex(info.fields->contents)
            << "\",\"value\":\"" << Hex(info.fields->value) << '"';
    } else {
        out << ",\"name\":null,\"animationName\":null,\"flags\":null,\"contents\":null,"
               "\"value\":null";
    }
    out << ",\"distinctIndices\":";
    if (info.distinctIndices) {
        out << *info.distinctIndices;
    } else {
        out << "null";
    }
    out << ",\"followsRules\":" << (info.ruleBreaks.empty() ? "true" : "false")
        << ",\"ruleBreaks\":[";
    for (std::size_t i = 0; i < info.ruleBreaks.size(); ++i) {
        out << (i == 0 ? "" : ",") << JsonString(info.ruleBreaks[i]);
    }
    out << "]}\n";
}

// The extensions of every format read: ".bmp, .m8, ...".
std::string Extensions() {
    std::string names;
    for (const SourceFormatRow& row : SourceFormatRows()) {
        names += (names.empty() ? "" : ", ") + std::string(row.mask + 1);
    }
    return names;
}

// The texture in the file and its format, or the reason it cannot be looked at.
std::optional<TextureInfo> Inspect(const std::string& path, SourceFormat& kind,
                                   std::string& reason) {
    const auto format = SourceFormatOfPath(path);
    if (!format) {
        reason = "not a kind of file this program reads (" + Extensions() + ")";
        return std::nullopt;
    }
    kind = *format;
    ReadError error = ReadError::None;
    const auto file = ReadInputFile(path, &error);
    auto info = file ? InspectTexture(*file, kind, &error) : std::nullopt;
    if (!info) {
        reason = DescribeReadError(error);
    }
    return info;
}

} // namespace

int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out,
            std::ostream& errors) {
    int status = 0;
    for (const std::string& path : files) {
        std::string reason;
        SourceFormat kind = SourceFormat::Bmp;
        const auto info = Inspect(path, kind, reason);
        if (info) {
            json ? PrintJson(path, kind, *info, out) : PrintText(path, kind, *info, out);
            continue;
        }
        status = 1;
        if (json) {
            out << "{\"file\":" << JsonString(path) << ",\"error\":" << JsonString(reason) << "}\n";
        } else {
            errors << "texelary-convert: " << path << ": " << reason << '\n';
        }
    }
    return status;
}

} // namespace texelary
