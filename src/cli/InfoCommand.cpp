#include "cli/InfoCommand.h"

#include "archives/ArchiveInput.h"
#include "archives/ArchiveListing.h"
#include "archives/MapArchive.h"
#include "archives/WadArchive.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "formats/AnimationChains.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"
#include "formats/Sidecar.h"
#include "formats/TextureDescription.h"
#include "formats/TextureInfo.h"
#include "formats/mips/MipTexture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

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

using Json = nlohmann::ordered_json;

// What a JSON string of `text` holds. JSON text is UTF-8, and a header's name field may hold any
// bytes: its UTF-8 characters (file names) are kept as they are, every other byte becomes the
// character of that number, U+0080 to U+00FF.
std::string JsonText(std::string_view text) {
    std::string characters;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharLength(text, i);
        if (length > 0) {
            characters.append(text, i, length);
            i += length;
        } else {
            const auto byte = static_cast<unsigned char>(text[i++]);
            characters += static_cast<char>(0xC0 | (byte >> 6));
            characters += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return characters;
}

// Each level's size, level 0 first: [{"width":64,"height":64},...].
Json LevelsJson(const std::vector<StoredLevel>& levels) {
    Json sizes = Json::array();
    for (const StoredLevel& level : levels) {
        sizes.push_back(Json::object({{"width", level.width}, {"height", level.height}}));
    }
    return sizes;
}

Json TextsJson(const std::vector<std::string>& texts) {
    Json list = Json::array();
    for (const std::string& text : texts) {
        list.push_back(JsonText(text));
    }
    return list;
}

// One JSON object a line, compact: UTF-8 characters as they are, control characters, quotes and
// backslashes escaped.
// A format's own fields as the sidecar writes them, names as JsonText gives them.
template <class Fields> Json FormatFieldsText(const Fields& fields) {
    Json object = FormatFieldsJson(fields);
    for (Json& field : object) {
        if (field.is_string()) {
            field = JsonText(field.get<std::string>());
        }
    }
    return object;
}

void PrintJsonLine(const Json& object, std::ostream& out) {
    out << object.dump() << '\n';
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
    Json object = Json::object({{"file", JsonText(path)},
                                {"kind", RowOf(kind).option},
                                {"width", info.width},
                                {"height", info.height},
                                {"levels", LevelsJson(info.levels)}});
    object["version"] = info.version ? Json(*info.version) : Json();
    const std::optional<HeaderFields>& fields = info.fields;
    object["name"] = fields ? Json(JsonText(fields->name)) : Json();
    object["animationName"] = fields ? Json(JsonText(fields->animationName)) : Json();
    object["flags"] = fields ? Json(FieldHex(fields->flags)) : Json();
    object["contents"] = fields ? Json(FieldHex(fields->contents)) : Json();
    object["value"] = fields ? Json(FieldHex(fields->value)) : Json();
    if (fields && fields->m32) {
        object["m32"] = FormatFieldsText(*fields->m32);
    }
    if (fields && fields->swl) {
        object["swl"] = FormatFieldsText(*fields->swl);
    }
    object["distinctIndices"] = info.distinctIndices ? Json(*info.distinctIndices) : Json();
    object["followsRules"] = info.ruleBreaks.empty();
    object["ruleBreaks"] = TextsJson(info.ruleBreaks);
    PrintJsonLine(object, out);
}

// The extensions of every format read: ".bmp, .m8, ...".
std::string Extensions() {
    std::string names;
    for (const SourceFormatRow& row : SourceFormatRows()) {
        if (!row.wad) {
            names += (names.empty() ? "" : ", ") + std::string(row.mask + 1);
        }
    }
    return names + ", .pak, .wad, .bsp";
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

// ---- archives: a .pak, .wad or .bsp is listed entry by entry rather than looked into as one
// texture

// One entry of an archive: its name, its size, what it holds and, for a texture, its levels.
struct ArchiveEntry {
    std::string name;
    std::uint32_t size = 0;
    std::string kind; // a format's option name, "mip texture", "outside", "lump 0xNN" or "other"
    std::vector<StoredLevel> levels;
};

struct ArchiveListing {
    std::string kind; // pak, wad2, wad3, or "map 29", "map BSP2", "map 30"...
    std::vector<ArchiveEntry> entries;
    std::size_t missing = 0; // a map's textures of offset -1
};

bool IsArchivePath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) {
        return false;
    }
    const std::string extension = AsciiLower(path.substr(dot));
    return extension == ".pak" || extension == ".wad" || extension == ".bsp";
}

// What one entry holds: a pak's texture entries are looked into one at a time, its others named
// by their extension; a wad's lumps by their type, its mip textures looked into.
std::optional<ArchiveEntry> ListEntry(const OpenedArchive& archive, const StoredEntry& stored,
                                      ReadError& error) {
    const ArchiveDirectory& directory = archive.Directory();
    ArchiveEntry listed{stored.name, stored.size, "other", {}};
    std::optional<SourceFormat> format;
    if (archive.Kind()->holdsTextures) {
        char type[16];
        std::snprintf(type, sizeof type, "lump 0x%02X", stored.type);
        listed.kind = type;
        if (!directory.IsMipTexture(stored) && !stored.outside) {
            return listed;
        }
        listed.kind = stored.outside ? "outside" : "mip texture";
    } else {
        format = SourceFormatOfPath(stored.name);
        if (!format) {
            return listed;
        }
        listed.kind = RowOf(*format).option;
    }
    const auto bytes = archive.Read(stored, &error);
    if (!bytes) {
        return std::nullopt;
    }
    if (!format) {
        if (const auto header = ReadMipTextureLevels(*bytes)) {
            listed.levels = header->levels;
        }
        // A texture outside the map has its size, and no levels in the map.
        listed.levels.resize(stored.outside ? std::min<std::size_t>(listed.levels.size(), 1)
                                            : listed.levels.size());
    } else if (const auto info = InspectTexture(*bytes, *format)) {
        listed.levels = info->levels;
    }
    return listed;
}

std::optional<ArchiveListing> ListArchive(const std::string& path, std::string& reason) {
    const OpenedArchive& archive = ArchiveAt(path);
    ReadError error = archive.Error();
    std::optional<ArchiveListing> listing;
    if (error == ReadError::None) {
        const ArchiveDirectory& directory = archive.Directory();
        const std::optional<WadKind> wad = directory.mipTextures;
        listing = ArchiveListing{!wad                    ? "pak"
                                 : *wad == WadKind::Wad2 ? "wad2"
                                                         : "wad3",
                                 {},
                                 directory.missingTextures};
        if (directory.map) {
            listing->kind = std::string("map ") + MapVersionName(*directory.map);
        }
        for (const StoredEntry& stored : archive.Directory().entries) {
            auto listed = ListEntry(archive, stored, error);
            if (!listed) {
                listing.reset();
                break;
            }
            listing->entries.push_back(std::move(*listed));
        }
    }
    if (!listing) {
        reason = DescribeReadError(error);
    }
    return listing;
}

void PrintArchiveText(const std::string& path, const ArchiveListing& listing, std::ostream& out) {
    out << path << '\n';
    out << Labelled("kind") << listing.kind << '\n';
    out << Labelled("entries") << listing.entries.size() << '\n';
    if (listing.missing != 0) {
        out << Labelled("missing") << listing.missing << '\n';
    }
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
    Json entries = Json::array();
    for (const ArchiveEntry& entry : listing.entries) {
        entries.push_back(Json::object({{"name", JsonText(entry.name)},
                                        {"size", entry.size},
                                        {"kind", entry.kind},
                                        {"levels", LevelsJson(entry.levels)}}));
    }
    Json object = Json::object(
        {{"file", JsonText(path)}, {"kind", listing.kind}, {"entries", std::move(entries)}});
    if (listing.kind.starts_with("map")) {
        object["missing"] = listing.missing;
    }
    PrintJsonLine(object, out);
}

// The textures a version-38 map names, with the next frame of each animated one; none, with the
// reason, when the map cannot be read. Each goes into `animated` for the chains' check.
bool ListNamedTextures(const std::string& path, bool json, std::ostream& out,
                       std::vector<AnimatedTexture>& animated, std::string& reason) {
    ArchiveFile file(path);
    ReadError error = ReadError::None;
    const auto infos = ReadMapTextureInfos(file, &error);
    if (!infos) {
        reason = DescribeReadError(error);
        return false;
    }
    const std::vector<NamedTexture> named = NamedTextures(*infos);
    Json textures = Json::array();
    if (!json) {
        out << path << '\n' << Labelled("kind") << "map 38\n";
        out << Labelled("textures") << named.size() << " named\n";
    }
    for (const NamedTexture& texture : named) {
        animated.push_back({path + ": " + texture.name, {texture.name}, texture.next});
        if (json) {
            textures.push_back(
                Json::object({{"name", JsonText(texture.name)}, {"next", JsonText(texture.next)}}));
            continue;
        }
        out << "    " << QuotedName(texture.name);
        if (!texture.next.empty()) {
            out << ", next frame " << QuotedName(texture.next);
        }
        out << '\n';
    }
    if (json) {
        PrintJsonLine(
            Json::object(
                {{"file", JsonText(path)}, {"kind", "map 38"}, {"textures", std::move(textures)}}),
            out);
    }
    return true;
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
        PrintJsonLine(Json::object({{"animatedTextures", animated},
                                    {"animationProblems", TextsJson(problems)}}),
                      out);
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
            if (ArchiveAt(path).Error() == ReadError::MapNamesTextures) {
                if (ListNamedTextures(path, json, out, animated, reason)) {
                    continue;
                }
            } else if (const auto listing = ListArchive(path, reason)) {
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
            PrintJsonLine(Json::object({{"file", JsonText(path)}, {"error", JsonText(reason)}}),
                          out);
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
