#include "cli/InfoCommand.h"

#include "base/NativePath.h"
#include "base/Utf8.h"
#include "formats/AnimationChains.h"
#include "formats/Archive.h"
#include "formats/ArchiveInput.h"
#include "formats/Formats.h"
#include "formats/MipTexture.h"
#include "formats/PakArchive.h"
#include "formats/ReadError.h"
#include "formats/TextureDescription.h"
#include "formats/TextureInfo.h"
#include "formats/WadArchive.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace texelary {

namespace {

// Where --info's values start: after two spaces and the longest label, "distinct indices: ".
constexpr std::size_t kLabelWidth = 18;

// "  kind:             ": a label and its colon, padded to where the values start.
std::string Labelled(std::string_view label) {
    std::string text = "  " + std::string(label) + ":";
    text.resize(std::max(text.size(), kLabelWidth + 2), ' ');
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

// A JSON string, valid JSON whatever a header's name field holds: UTF-8 characters (file names)
// as they are, other bytes that are not printable ASCII as \u00XX.
std::string JsonString(const std::string& text) {
    return Escaped(text, "\\u%04X", true);
}

void PrintText(const std::string& path, SourceFormat kind, const TextureInfo& info,
               std::ostream& out) {
    out << path << '\n';
    for (const DescribedFact& fact : DescribeTexture(kind, info)) {
        out << Labelled(fact.label) << fact.value << '\n';
        for (const std::string& detail : fact.details) {
            out << "    " << detail << '\n';
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
            << FieldHex(info.fields->flags) << "\",\"contents\":\""
            << FieldHex(info.fields->contents) << "\",\"value\":\"" << FieldHex(info.fields->value)
            << '"';
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
        if (!row.wad) {
            names += (names.empty() ? "" : ", ") + std::string(row.mask + 1);
        }
    }
    return names + ", .pak, .wad";
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
    const auto file = ReadInput(path, &error);
    auto info = file ? InspectTexture(*file, kind, &error) : std::nullopt;
    if (!info) {
        reason = DescribeReadError(error);
    }
    return info;
}

// ---- archives: a .pak or .wad is listed entry by entry rather than looked into as one texture

// One entry of an archive: its name, its size, what it holds and, for a texture, its levels.
struct ArchiveEntry {
    std::string name;
    std::uint32_t size = 0;
    std::string kind; // a format's option name, "mip texture", "lump 0xNN" or "other"
    std::vector<StoredLevel> levels;
};

struct ArchiveListing {
    std::string kind; // pak, wad2 or wad3
    std::vector<ArchiveEntry> entries;
};

bool IsArchivePath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) {
        return false;
    }
    const std::string extension = AsciiLower(path.substr(dot));
    return extension == ".pak" || extension == ".wad";
}

// A pak's texture entries are looked into one at a time; others are named by their extension.
std::optional<ArchiveListing> ListPak(ArchiveFile& file, ArchiveError& error) {
    const auto directory = ReadPakDirectory(file, &error);
    if (!directory) {
        return std::nullopt;
    }
    ArchiveListing listing{"pak", {}};
    for (const PakEntry& entry : *directory) {
        ArchiveEntry listed{entry.name, entry.length, "other", {}};
        if (const auto format = SourceFormatOfPath(entry.name)) {
            listed.kind = RowOf(*format).option;
            const auto bytes = ReadPakEntry(file, entry, &error);
            if (!bytes) {
                return std::nullopt;
            }
            if (const auto info = InspectTexture(*bytes, *format)) {
                listed.levels = info->levels;
            }
        }
        listing.entries.push_back(std::move(listed));
    }
    return listing;
}

std::optional<ArchiveListing> ListWad(ArchiveFile& file, ArchiveError& error) {
    const auto directory = ReadWadDirectory(file, &error);
    if (!directory) {
        return std::nullopt;
    }
    ArchiveListing listing{directory->kind == WadKind::Wad2 ? "wad2" : "wad3", {}};
    for (const WadLump& lump : directory->lumps) {
        char type[16];
        std::snprintf(type, sizeof type, "lump 0x%02X", lump.type);
        ArchiveEntry listed{lump.name, lump.size, type, {}};
        if (lump.type == MipTextureType(directory->kind)) {
            listed.kind = "mip texture";
            const auto bytes = ReadWadLump(file, lump, &error);
            if (!bytes) {
                return std::nullopt;
            }
            listed.levels = ReadMipTextureLevels(*bytes).levels;
        }
        listing.entries.push_back(std::move(listed));
    }
    return listing;
}

std::optional<ArchiveListing> ListArchive(const std::string& path, std::string& reason) {
    ArchiveFile file(path);
    ArchiveError error = file.Error();
    std::optional<ArchiveListing> listing;
    if (file.Ok()) {
        listing = ListPak(file, error);
        if (!listing && error == ArchiveError::BadSignature) {
            listing = ListWad(file, error);
        }
    }
    if (!listing) {
        reason = DescribeArchiveError(error);
    }
    return listing;
}

void PrintArchiveText(const std::string& path, const ArchiveListing& listing, std::ostream& out) {
    out << path << '\n';
    out << Labelled("kind") << listing.kind << '\n';
    out << Labelled("entries") << listing.entries.size() << '\n';
    for (const ArchiveEntry& entry : listing.entries) {
        out << "    " << QuotedName(entry.name) << ", " << entry.size << " bytes, " << entry.kind;
        for (std::size_t i = 0; i < entry.levels.size(); ++i) {
            out << (i == 0 ? ": " : ", ") << entry.levels[i].width << " x "
                << entry.levels[i].height;
        }
        out << '\n';
    }
}

void PrintArchiveJson(const std::string& path, const ArchiveListing& listing, std::ostream& out) {
    out << "{\"file\":" << JsonString(path) << ",\"kind\":\"" << listing.kind << "\",\"entries\":[";
    for (std::size_t e = 0; e < listing.entries.size(); ++e) {
        const ArchiveEntry& entry = listing.entries[e];
        out << (e == 0 ? "" : ",") << "{\"name\":" << JsonString(entry.name)
            << ",\"size\":" << entry.size << ",\"kind\":\"" << entry.kind << "\",\"levels\":[";
        for (std::size_t i = 0; i < entry.levels.size(); ++i) {
            out << (i == 0 ? "" : ",") << "{\"width\":" << entry.levels[i].width
                << ",\"height\":" << entry.levels[i].height << '}';
        }
        out << "]}";
    }
    out << "]}\n";
}

} // namespace

namespace {

// A file to look at: its path, and its name under the folder it was found in (without the
// extension), which is how the textures of that folder name it.
struct InfoFile {
    std::string path;
    std::string nameInFolder;
};

// The files the arguments name: each file as given, each folder's textures (of any kind read,
// under it, folders and all) in name order.
std::vector<InfoFile> FilesNamed(const std::vector<std::string>& arguments) {
    namespace fs = std::filesystem;
    std::vector<InfoFile> files;
    for (const std::string& argument : arguments) {
        std::error_code error;
        const fs::path folder = NativePath(argument);
        if (!fs::is_directory(folder, error)) {
            files.push_back({argument, {}});
            continue;
        }
        std::vector<InfoFile> found;
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string path = Utf8Path(it->path());
            if (it->is_regular_file(error) && SourceFormatOfPath(path)) {
                fs::path relative = it->path().lexically_relative(folder);
                relative.replace_extension();
                found.push_back({path, Utf8Path(relative)});
            }
        }
        std::sort(found.begin(), found.end(),
                  [](const InfoFile& a, const InfoFile& b) { return a.path < b.path; });
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// The animations across the files looked at: the chains of next frames, and the numbered frames.
void PrintAnimations(const std::vector<AnimatedTexture>& textures,
                     const std::vector<std::string>& frameNames, bool json, std::ostream& out) {
    std::vector<std::string> problems = CheckAnimationChains(textures);
    const std::vector<std::string> frames = CheckFrameNumbers(frameNames);
    problems.insert(problems.end(), frames.begin(), frames.end());
    std::size_t animated = 0;
    for (const AnimatedTexture& texture : textures) {
        animated += texture.next.empty() ? 0u : 1u;
    }
    animated += static_cast<std::size_t>(
        std::count_if(frameNames.begin(), frameNames.end(), IsNumberedFrame));
    if (json) {
        out << "{\"animatedTextures\":" << animated << ",\"animationProblems\":[";
        for (std::size_t i = 0; i < problems.size(); ++i) {
            out << (i == 0 ? "" : ",") << JsonString(problems[i]);
        }
        out << "]}\n";
        return;
    }
    out << "animations: " << animated << " frames";
    out << (problems.empty() ? ", every chain closes\n" : "\n");
    for (const std::string& problem : problems) {
        out << "  " << problem << '\n';
    }
}

} // namespace

int RunInfo(const std::vector<std::string>& arguments, bool json, std::ostream& out,
            std::ostream& errors) {
    int status = 0;
    std::vector<AnimatedTexture> animated;
    std::vector<std::string> frameNames; // every texture's, for the numbered frames
    for (const InfoFile& file : FilesNamed(arguments)) {
        const std::string& path = file.path;
        std::string reason;
        if (IsArchivePath(path)) {
            if (const auto listing = ListArchive(path, reason)) {
                json ? PrintArchiveJson(path, *listing, out)
                     : PrintArchiveText(path, *listing, out);
                for (const ArchiveEntry& entry : listing->entries) {
                    if (entry.kind != "other" && entry.kind.rfind("lump", 0) != 0) {
                        frameNames.push_back(Utf8Path(NativePath(entry.name).stem()));
                    }
                }
                continue;
            }
        } else {
            SourceFormat kind = SourceFormat::Bmp;
            if (const auto info = Inspect(path, kind, reason)) {
                json ? PrintJson(path, kind, *info, out) : PrintText(path, kind, *info, out);
                frameNames.push_back(Utf8Path(NativePath(path).stem()));
                if (info->fields) {
                    const std::string stem = Utf8Path(NativePath(path).stem());
                    animated.push_back({path,
                                        {info->fields->name, file.nameInFolder, stem},
                                        info->fields->animationName});
                }
                continue;
            }
        }
        status = 1;
        if (json) {
            out << "{\"file\":" << JsonString(path) << ",\"error\":" << JsonString(reason) << "}\n";
        } else {
            errors << "texelary-convert: " << path << ": " << reason << '\n';
        }
    }
    // Animations are looked at across every file and archive looked at.
    const bool anyAnimated =
        std::any_of(animated.begin(), animated.end(),
                    [](const AnimatedTexture& t) { return !t.next.empty(); }) ||
        std::any_of(frameNames.begin(), frameNames.end(), IsNumberedFrame);
    if (anyAnimated) {
        PrintAnimations(animated, frameNames, json, out);
    }
    return status;
}

} // namespace texelary
