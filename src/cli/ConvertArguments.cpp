#include "cli/ConvertArguments.h"

#include "archives/ArchiveOutput.h"
#include "base/Utf8.h"
#include "cli/EntriesCommand.h"
#include "formats/FieldEdits.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace texelary {
namespace {

// The command-line names of the formats: "bmp, m8 or wal".
template <typename Row> std::string NamesOf(std::span<const Row> rows) {
    std::string names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i != 0) {
            names += i + 1 == rows.size() ? " or " : ", ";
        }
        names += rows[i].option;
    }
    return names;
}

std::optional<std::int32_t> NameIndex(std::string_view name,
                                      const std::vector<std::string_view>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (name.size() == names[i].size() &&
            std::equal(name.begin(), name.end(), names[i].begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            })) {
            return static_cast<std::int32_t>(i);
        }
    }
    return std::nullopt;
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// More threads than this would only cost memory: a machine has fewer cores.
constexpr unsigned kMaxJobs = 256;

using Result = std::optional<std::string>; // the message when a value is refused

template <bool ConvertArguments::*flag>
Result SetFlag(ConvertArguments& arguments, const std::string&) {
    arguments.*flag = true;
    return std::nullopt;
}

Result SetFrom(ConvertArguments& arguments, const std::string& value) {
    arguments.from = SourceFormatNamed(value);
    if (!arguments.from) {
        return "unknown source format '" + value + "' (" + NamesOf(SourceFormatRows()) + ")";
    }
    return std::nullopt;
}

Result SetTo(ConvertArguments& arguments, const std::string& value) {
    arguments.to = TargetFormatNamed(value);
    if (!arguments.to) {
        return "unknown target format '" + value + "' (" + NamesOf(TargetFormatRows()) + ")";
    }
    return std::nullopt;
}

Result SetInput(ConvertArguments& arguments, const std::string& value) {
    arguments.inputDir = value;
    arguments.inputGiven = true;
    return std::nullopt;
}

Result SetOutput(ConvertArguments& arguments, const std::string& value) {
    arguments.outputDir = value;
    arguments.outputGiven = true;
    return std::nullopt;
}

Result SetPalette(ConvertArguments& arguments, const std::string& value) {
    arguments.paletteFile = value;
    return std::nullopt;
}

Result SetTexturesOf(ConvertArguments& arguments, const std::string& value) {
    arguments.texturesOf = value;
    return std::nullopt;
}

Result SetTransparentIndex(ConvertArguments& arguments, const std::string& value) {
    if (value.empty() || value.size() > 3 || !AllDigits(value) || std::stoi(value) > 255) {
        return "transparent index '" + value + "' is not 0 to 255";
    }
    arguments.transparentIndex = static_cast<std::uint8_t>(std::stoi(value));
    return std::nullopt;
}

Result SetJobs(ConvertArguments& arguments, const std::string& value) {
    const bool inRange = !value.empty() && value.size() <= 3 && AllDigits(value) &&
                         std::stoul(value) >= 1 && std::stoul(value) <= kMaxJobs;
    if (!inRange) {
        return "--jobs takes a number from 1 to " + std::to_string(kMaxJobs) + ", not '" + value +
               "'";
    }
    arguments.jobs = static_cast<unsigned>(std::stoul(value));
    arguments.jobsGiven = true;
    return std::nullopt;
}

Result SetPakEntries(ConvertArguments& arguments, const std::string& value) {
    if (value != "64" && value != "72") {
        return "--pak-entries takes 64 or 72, not '" + value + "'";
    }
    arguments.longPakEntries = value == "72";
    return std::nullopt;
}

Result SetMips(ConvertArguments& arguments, const std::string& value) {
    const auto filter = NameIndex(value, {"point", "box"});
    if (!filter) {
        return "unknown mip filter '" + value + "' (point or box)";
    }
    arguments.mips = static_cast<MipFilter>(*filter);
    return std::nullopt;
}

Result SetFields(ConvertArguments& arguments, const std::string& value) {
    arguments.set = value;
    return std::nullopt;
}

Result SetRename(ConvertArguments& arguments, const std::string& value) {
    arguments.rename = value;
    return std::nullopt;
}

Result SetAdd(ConvertArguments& arguments, const std::string& value) {
    arguments.add = value;
    return std::nullopt;
}

Result SetExtract(ConvertArguments& arguments, const std::string& value) {
    arguments.extract = value;
    return std::nullopt;
}

struct OptionRow {
    std::string_view name;  // as typed: names are compared exactly, case and all
    std::string_view alias; // a second spelling, or empty
    // What the help shows after the name; an option with one takes the next argument as its
    // value, whatever it starts with.
    std::string_view valueName;
    Result (*apply)(ConvertArguments& arguments, const std::string& value);
    std::string help; // its lines in the help, "\n" between them
};

// The options in the order the help lists them. Built once, on first use, because the format
// names come from the format tables.
const std::vector<OptionRow>& OptionRows() {
    using A = ConvertArguments;
    static const std::vector<OptionRow> rows = {
        {"--from", "", "FORMAT", SetFrom,
         "source format: " + NamesOf(SourceFormatRows()) + ", in any case (BMP works too)"},
        {"--to", "", "FORMAT", SetTo,
         "target format: " + NamesOf(TargetFormatRows()) + ", in any case"},
        {"--input", "", "DIR", SetInput,
         "directory of the input files; or a .pak file, whose entries\n"
         "are then named by their paths in it (textures/e1u1/a.wal);\n"
         "or, with --from wad2 or wad3, the .wad whose textures are\n"
         "converted, named by their lump names in any case (a '*' at\n"
         "the start of a name is written '#' in output file names),\n"
         "or a compiled map (.bsp) that holds its textures: wad2 for\n"
         "a version 29 or BSP2 map, wad3 for a version 30 map"},
        {"--output", "", "DIR", SetOutput,
         "directory the converted files are written to (must exist);\n"
         "or a FILE.pak, made anew with every output in it, folders\n"
         "kept (FILE.pak/textures/mod puts them in that folder of the\n"
         "pak); with --to wad2 or wad3, the FILE.wad made anew with\n"
         "every texture as a lump named after its input (cut at the\n"
         "first dot and to 15 characters; '#' at the start becomes\n"
         "'*'). The archive is written at the end of the run, whole,\n"
         "replacing any file of its name; a run ended early writes\n"
         "none. With --to wad2 or wad3, an existing MAP.bsp instead:\n"
         "each texture is written over the map's of the same name and\n"
         "size, every other byte kept; the map is replaced only when\n"
         "every texture went in. Wad textures must be multiples of 16\n"
         "pixels wide and high; WAD3 names starting with '{' are\n"
         "see-through (pixels less than half opaque become index 255,\n"
         "drawn as holes)"},
        {"--pak-entries", "", "64|72", SetPakEntries,
         "with --output FILE.pak: the size of its directory entries;\n"
         "72 writes the paks of the later game of the family that\n"
         "reads them (default: 64, the classic paks)"},
        {"--textures-of", "", "MAP", SetTexturesOf,
         "in place of files: the textures a version-38 map (.bsp)\n"
         "names, found under --input (a game folder or a pak) as\n"
         "textures/NAME or NAME with the source format's extension,\n"
         "in any case; the names the input lacks are listed and fail"},
        {"--recursive", "", "", SetFlag<&A::recursive>,
         "take the files of the source format under --input, folders\n"
         "and all, and write them into the same folders under --output"},
        {"--dither", "", "", SetFlag<&A::dither>,
         "Floyd-Steinberg error diffusion when true colour is brought\n"
         "down to 256 colours (default: nearest colours only)"},
        {"--transparent-index", "", "255", SetTransparentIndex,
         "pixels less than half opaque become index 255, which no\n"
         "opaque pixel gets (default: alpha is ignored)"},
        {"--fullbright", "", "", SetFlag<&A::fullbright>,
         "with --to wad2: pictures may take the full-bright colours\n"
         "of the palette (224 to 255, drawn unlit by the engines);\n"
         "without it they take the nearest of the others"},
        {"--palette", "", "FILE", SetPalette,
         "the palette of a mod: for --to wal and wad2 the one the\n"
         "textures index instead of the game's (256 colours); for the\n"
         "other targets the one true colour takes instead of a palette\n"
         "of its own. FILE is a colormap.pcx or any 8-bit .bmp, .png,\n"
         ".tga or .pcx (its palette), a palette.lmp (768 bytes), a\n"
         "JASC .pal or a GIMP .gpl"},
        {"--all-levels", "", "", SetFlag<&A::allLevels>,
         "with --to png: every mip level of a texture (.m8, .m32,\n"
         ".wal, .swl), as NAME.0.png, NAME.1.png, ... (other\n"
         "sources: NAME.0.png)"},
        {"--stop-on-error", "", "", SetFlag<&A::stopOnError>,
         "end the run at the first file that fails (default: skip it)"},
        {"--jobs", "", "N", SetJobs,
         "convert up to N files at once (default: one per core); the\n"
         "messages, the files written and the counts are the same as\n"
         "with --jobs 1, which converts one file after another"},
        {"--keep-header", "", "", SetFlag<&A::keepHeader>,
         "copy the name, animation name, flags, contents and value of\n"
         ".m8, .m32, .wal and .swl sources into their outputs (flags as\n"
         "stored, high bits included), and an .m32's or .swl's other\n"
         "fields into one of its own kind; names too long for the\n"
         "target are cut and reported"},
        {"--sidecar", "", "", SetFlag<&A::sidecar>,
         "texture fields beside pictures, for map compilers that read\n"
         "PNG textures: every PNG made from a .m8, .m32, .wal or .swl\n"
         "gets a NAME.wal_json file beside it (name, size, flags,\n"
         "contents, value, animation name, and an .m32's or .swl's\n"
         "other fields), and a picture source with one\n"
         "beside it gives its fields to the output, as --keep-header\n"
         "does for textures"},
        {"--mips", "", "point|box", SetMips,
         "how the smaller mip levels are made: point samples the full\n"
         "picture (default); box averages 2 x 2 blocks of the level\n"
         "above and takes the nearest palette colour, as the games'\n"
         "own tools did"},
        {"--info", "", "", SetFlag<&A::info>,
         "print what each FILE holds (.bmp, .m8, .wal, .png, .tga,\n"
         ".pcx, .m32, .swl): kind, version, size, levels, names,\n"
         "flags, contents, value and every other header field,\n"
         "distinct indices, and whether it follows its\n"
         "format's rules; for a .pak or .wad, its entries (name,\n"
         "size, kind, and a texture's levels); for a .bsp, its\n"
         "textures (\"outside\" for those without pixels), or the\n"
         "textures a version-38 map names and their animations"},
        {"--json", "", "", SetFlag<&A::json>, "with --info: one JSON object per file"},
        {"--set", "", "KEY=VALUE[,...]", SetFields,
         "set header fields of each FILE in place (.m8, .m32, .wal,\n"
         ".swl), every other byte kept: name, animation, flags,\n"
         "contents, value, and an .m32's or .swl's other fields by\n"
         "their --sidecar names (scale_x, friction, ...). Flags and\n"
         "contents take a number (0x for hex), names joined by '|'\n"
         "(SURF_LIGHT|SURF_WARP), or +NAME and -NAME to set or clear\n"
         "one. A FILE in a .pak (base.pak/textures/a.wal) is set in\n"
         "a copy of the pak that replaces it once whole; a texture\n"
         "in a .wad takes only a name, in its entry and its lump"},
        {"--rename", "", "OLD=NEW[,...]", SetRename,
         "rename entries of the one ARCHIVE (.wad or .pak) given:\n"
         "OLD is an entry's name (a wad's in any case, a pak's with\n"
         "its folders), NEW the name it takes; a wad's texture takes\n"
         "it in its own name field too"},
        {"--delete", "", "", SetFlag<&A::remove>,
         "delete each PATH in an archive: an entry (gfx.wad/brick,\n"
         "base.pak/textures/a.wal) or a folder of a pak, whole"},
        {"--add", "", "ARCHIVE[/FOLDER]", SetAdd,
         "add each FILE to the wad or pak: in a WAD2 a picture\n"
         "becomes a mip texture on the game's palette, in a WAD3 one\n"
         "with its own ('{' names see-through), named after the file;\n"
         "in a pak the file goes in as it is, under FOLDER"},
        {"--extract", "", "FOLDER", SetExtract,
         "write each PATH in an archive (an entry, a folder of a pak,\n"
         "or a whole .wad, .pak or map's .bsp) as files under FOLDER,\n"
         "by the entries' names, a pak's folders made"},
        {"--help", "-h", "", SetFlag<&A::help>, "show this text"},
        {"--version", "", "", SetFlag<&A::version>, "show the version"},
    };
    return rows;
}

const OptionRow* RowNamed(std::string_view arg) {
    for (const OptionRow& row : OptionRows()) {
        if (arg == row.name || (!row.alias.empty() && arg == row.alias)) {
            return &row;
        }
    }
    return nullptr;
}

// "  --jobs N", padded to the column of the help lines, or on a line of its own when too long.
std::string HelpEntry(const OptionRow& row) {
    constexpr std::size_t kHelpColumn = 21;
    std::string entry = "  " + std::string(row.name);
    if (!row.valueName.empty()) {
        entry += " " + std::string(row.valueName);
    }
    const std::string indent(kHelpColumn, ' ');
    entry +=
        entry.size() < kHelpColumn ? std::string(kHelpColumn - entry.size(), ' ') : "\n" + indent;
    for (const char c : row.help) {
        entry += c;
        if (c == '\n') {
            entry += indent;
        }
    }
    return entry + "\n";
}

} // namespace

std::optional<std::string> ParseArguments(std::span<const std::string> args,
                                          ConvertArguments& arguments) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && !arguments.help && !arguments.version; ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            arguments.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionRow* row = RowNamed(arg);
        if (row == nullptr) {
            return "unknown option '" + arg + "'";
        }
        const bool takesValue = !row->valueName.empty();
        if (takesValue && i + 1 >= args.size()) {
            return "option '" + arg + "' needs a value";
        }
        if (auto refused = row->apply(arguments, takesValue ? args[++i] : std::string())) {
            return refused;
        }
    }
    return std::nullopt;
}

namespace {

// Whether any option of a conversion or of --info is given.
bool ConversionOptionsGiven(const ConvertArguments& a) {
    return a.info || a.from || a.to || a.inputGiven || a.outputGiven || a.keepHeader || a.sidecar ||
           a.stopOnError || a.jobsGiven || a.recursive || a.dither || a.transparentIndex ||
           a.allLevels || a.fullbright || !a.paletteFile.empty() || a.mips || a.longPakEntries ||
           !a.texturesOf.empty() || a.json;
}

// --set and its edits: it takes files and nothing else.
std::optional<std::string> CheckSetArguments(const ConvertArguments& a) {
    if (ConversionOptionsGiven(a)) {
        return "--set takes only files";
    }
    std::string reason;
    if (!ParseFieldEdits(*a.set, reason)) {
        return "--set: " + reason;
    }
    return a.operands.empty() ? std::optional<std::string>("no files given") : std::nullopt;
}

// How many of the commands that change files in place are given.
int InPlaceCommands(const ConvertArguments& a) {
    return int{a.set.has_value()} + int{a.rename.has_value()} + int{a.remove} +
           int{a.add.has_value()} + int{a.extract.has_value()};
}

// --rename, --delete, --add and --extract: each takes its operands and nothing else.
std::optional<std::string> CheckEntryArguments(const ConvertArguments& a) {
    const std::string option = a.rename   ? "--rename"
                               : a.remove ? "--delete"
                               : a.add    ? "--add"
                                          : "--extract";
    if (ConversionOptionsGiven(a)) {
        return option + " takes only " + (a.add ? "files" : "paths in archives");
    }
    std::string reason;
    if (a.rename && !ParseRenames(*a.rename, reason)) {
        return "--rename: " + reason;
    }
    if (a.rename && a.operands.size() > 1) {
        return std::string("--rename takes one archive");
    }
    return a.operands.empty() ? std::optional<std::string>("no files given") : std::nullopt;
}

// Whether --output suits --to: a wad or map for the wad formats, a pak for --pak-entries.
std::optional<std::string> CheckOutputArguments(const ConvertArguments& a) {
    const bool wadOutput = EndsWithIgnoringCase(a.outputDir, ".wad");
    const bool mapOutput = EndsWithIgnoringCase(a.outputDir, ".bsp");
    if (RowOf(*a.to).wad && !wadOutput && !mapOutput) {
        return std::string("--to ") + RowOf(*a.to).option + " needs --output FILE.wad or MAP.bsp";
    }
    if (!RowOf(*a.to).wad && (wadOutput || mapOutput)) {
        return wadOutput ? "--output FILE.wad goes with --to wad2 or wad3"
                         : "--output MAP.bsp goes with --to wad2 or wad3";
    }
    if (a.longPakEntries && !ArchiveTargetOf(a.outputDir, *a.to)) {
        return "--pak-entries goes with --output FILE.pak";
    }
    return std::nullopt;
}

std::optional<std::string> CheckInfoArguments(const ConvertArguments& a) {
    if (a.from || a.to || a.keepHeader || a.sidecar || a.stopOnError || a.jobsGiven ||
        a.recursive || a.dither || a.transparentIndex || a.allLevels || a.fullbright ||
        !a.paletteFile.empty() || a.mips.value_or(MipFilter::Point) != MipFilter::Point ||
        a.longPakEntries || !a.texturesOf.empty()) {
        return "--info takes only files (and --json)";
    }
    return a.operands.empty() ? std::optional<std::string>("no files given") : std::nullopt;
}

} // namespace

std::optional<std::string> CheckArguments(const ConvertArguments& arguments) {
    const ConvertArguments& a = arguments;
    if (InPlaceCommands(a) > 1) {
        return "give one of --set, --rename, --delete, --add and --extract";
    }
    if (a.set) {
        return CheckSetArguments(a);
    }
    if (InPlaceCommands(a) == 1) {
        return CheckEntryArguments(a);
    }
    if (a.json && !a.info) {
        return "--json goes with --info";
    }
    if (a.info) {
        return CheckInfoArguments(a);
    }
    if (!a.from && !a.to) {
        if (a.operands.size() != 1) {
            return a.operands.empty() ? "no project file or files given"
                                      : "give one project file, or --from and --to";
        }
        return std::nullopt;
    }
    if (!a.from || !a.to) {
        return a.from ? "--to is missing" : "--from is missing";
    }
    if (a.allLevels && !RowOf(*a.to).levelsAsFiles) {
        return "--all-levels goes with --to png";
    }
    if (a.fullbright && a.to != TargetFormat::Wad2) {
        return "--fullbright goes with --to wad2";
    }
    if (auto refused = CheckOutputArguments(a)) {
        return refused;
    }
    if (a.recursive && (!a.inputGiven || !a.outputGiven)) {
        return "--recursive needs --input and --output";
    }
    if (!a.texturesOf.empty()) {
        if (a.recursive || !a.operands.empty()) {
            return "--textures-of takes the place of files and --recursive";
        }
        if (RowOf(*a.from).wad || !a.inputGiven) {
            return "--textures-of needs --input, a game folder or pak of textures";
        }
        return std::nullopt;
    }
    if (!a.recursive && a.operands.empty()) {
        return "no files given";
    }
    return std::nullopt;
}

std::string Usage() {
    std::string text =
        "Usage: texelary-convert [OPTIONS] PROJECT.mm\n"
        "  or:  texelary-convert --from FORMAT --to FORMAT [OPTIONS] FILE...\n"
        "  or:  texelary-convert --from FORMAT --to FORMAT --recursive --input DIR --output DIR "
        "[OPTIONS] [FILE|FOLDER...]\n"
        "  or:  texelary-convert --info [--json] FILE...\n"
        "  or:  texelary-convert --set KEY=VALUE[,KEY=VALUE...] FILE...\n"
        "  or:  texelary-convert --rename OLD=NEW[,OLD=NEW...] ARCHIVE\n"
        "  or:  texelary-convert --delete PATH...\n"
        "  or:  texelary-convert --add ARCHIVE[/FOLDER] FILE...\n"
        "  or:  texelary-convert --extract FOLDER PATH...\n"
        "\n"
        "Converts textures between Windows bitmaps (.bmp), the mip textures of Heretic2 (.m8,\n"
        "and .m32 in true colour), QuakeX (.wal, and version 3 with a palette of its own) and\n"
        "SiN (.swl), PNG, TGA and PCX pictures and the textures of WAD2 and WAD3 wads, into\n"
        "any of those mip textures, PNG or a new wad, inside .pak files as well as out. The\n"
        "first form runs a project saved by Texelary, with the settings kept beside it in\n"
        "PROJECT.mm.json (palette, keep-header, mips, transparent index, dither, full-bright):\n"
        "an option given here is taken over the project's, and a flag given is on whatever\n"
        "the project says. The second converts the named files of the input directory into\n"
        "the output directory (both default to the current directory); the third converts\n"
        "every file of the source format under the input directory (or under the named files\n"
        "and folders of it), extensions compared in any case, recreating its folders under\n"
        "the output directory. Each output file has the name of its input, cut after the\n"
        "first dot, with the new extension.\n"
        "\n"
        "Palette pictures (8-bit PNG, TGA and PCX) convert with their own indices and colours,\n"
        "like 8-bit bitmaps. True-colour ones take, for .wal and WAD2, the nearest colour of the\n"
        "game's palette and, for .m8, version-3 .wal, .swl, PNG and WAD3, a palette of their own\n"
        "made by libimagequant; .m32 keeps true colour, alpha and all.\n"
        "\n"
        "Everyday commands:\n"
        "  texelary-convert --from wal --to png --recursive --input pak0.pak --output textures\n"
        "  texelary-convert --from png --to wad2 --recursive --input textures --output my.wad\n"
        "  texelary-convert --from wad3 --to png --recursive --input halflife.wad --output out\n"
        "  texelary-convert --from m32 --to png --sidecar --recursive --input h2 --output png\n"
        "\n";
    for (const OptionRow& row : OptionRows()) {
        text += HelpEntry(row);
    }
    text +=
        "\n"
        "Exit status: 0 when every file was converted, 1 when any failed or the run was ended\n"
        "early, 2 for a usage error or a project file that cannot be read. With --info: 0 when\n"
        "every file could be read, 1 otherwise; with --set, 0 when every file was set, 1\n"
        "otherwise; with --rename, --delete, --add and --extract, 0 when every one was done, 1\n"
        "otherwise. Interrupted (SIGINT, SIGTERM), the run ends\n"
        "before its next file, keeping the files converted until then and no partial ones,\n"
        "and the program then ends by the same signal.\n";
    return text;
}

} // namespace texelary
