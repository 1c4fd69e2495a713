#include "cli/ConvertCommand.h"

#include "archives/ArchiveInput.h"
#include "archives/ArchiveOutput.h"
#include "archives/MapArchive.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "base/Version.h"
#include "cli/ConvertArguments.h"
#include "cli/EntriesCommand.h"
#include "cli/InfoCommand.h"
#include "cli/SetCommand.h"
#include "convert/ConversionRun.h"
#include "convert/OutputGuard.h"
#include "formats/AnimationChains.h"
#include "formats/PaletteFile.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define TEXELARY_ISATTY(fd) _isatty(fd)
#define TEXELARY_STDERR_FD 2
#else
#include <unistd.h>
#define TEXELARY_ISATTY(fd) isatty(fd)
#define TEXELARY_STDERR_FD STDERR_FILENO
#endif

namespace texelary {
namespace {

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// SIGINT and SIGTERM end the run between files rather than the program in the middle of one, so
// that no temporary file is left behind; the program then ends by the signal it was sent. A
// second signal ends it at once.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

extern "C" void OnInterrupt(int signal) {
    g_signal.store(signal);
    g_interrupted.store(true);
    std::signal(signal, SIG_DFL);
}

void CatchInterrupts() {
    for (const int signal : {SIGINT, SIGTERM}) {
        std::signal(signal, OnInterrupt);
    }
}

// After the run: ends the program by the signal that interrupted it, if one did.
void EndByInterruptingSignal() {
    if (g_interrupted.load()) {
        const int signal = g_signal.load();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

int UsageError(const std::string& message) {
    std::cerr << "texelary-convert: " << message << "\n"
              << "Try 'texelary-convert --help' for more information.\n";
    return kExitUsage;
}

// Shows the run's boxes as lines on standard error and, on a terminal, a progress bar.
class ConsoleFeedback final : public RunFeedback {
public:
    ConsoleFeedback(bool stopOnError, bool terminal)
        : m_stopOnError(stopOnError)
        , m_terminal(terminal) {}

    BoxAnswer ShowMessage(const std::string& text, const std::string&, BoxButtons buttons, BoxIcon,
                          const std::string& detail) override {
        ClearBar();
        std::cerr << text << (detail.empty() ? "" : ": ") << detail << '\n';
        if (!m_stopOnError) {
            return BoxAnswer::Ok;
        }
        if (buttons == BoxButtons::OkCancel) {
            return BoxAnswer::Cancel;
        }
        m_stopBeforeNext = true; // a box without Cancel: end the run before the next file
        return BoxAnswer::Ok;
    }

    void SetProgress(int position) override {
        if (!m_terminal) {
            return;
        }
        constexpr int kWidth = 40;
        const int filled = position * kWidth / 100;
        std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << position
                  << "%" << std::flush;
        m_barShown = true;
    }

    bool CancelRequested() override { return m_stopBeforeNext; }

    // A note about a file that was written: a line, never a reason to stop.
    void ShowNotice(const std::string& text) override {
        ClearBar();
        std::cerr << text << '\n';
    }

    void ClearBar() {
        if (m_barShown) {
            std::cerr << '\r' << std::string(50, ' ') << '\r';
            m_barShown = false;
        }
    }

private:
    bool m_stopOnError;
    bool m_terminal;
    bool m_barShown = false;
    bool m_stopBeforeNext = false;
};

namespace fs = std::filesystem;

// The textures of the source format in the archive at `archive`: a pak's entries under the named
// folders of it (or all), each folder's sorted by name, a named entry taken whatever its format;
// a wad's mip textures of the format's kind, the named ones as given or all sorted by name.
std::vector<std::string> EntriesUnder(const std::string& archive,
                                      const std::vector<std::string>& named, SourceFormat format,
                                      std::string& problem) {
    const bool wad = RowOf(format).wad.has_value();
    if (wad && !named.empty()) {
        return named;
    }
    std::vector<std::string> found;
    const std::vector<std::string> starts = named.empty() ? std::vector<std::string>{""} : named;
    for (std::string start : starts) {
        ReadError error = ReadError::None;
        auto names = ListArchiveEntries(archive, start, format, ListingDepth::Recursive, &error);
        if (!names) {
            problem = "cannot read '" + archive + "': " + DescribeReadError(error);
            return {};
        }
        std::sort(names->begin(), names->end());
        if (wad && names->empty()) {
            problem = std::string("no ") + RowOf(format).option + " textures in '" + archive + "'";
        }
        std::replace(start.begin(), start.end(), '\\', '/');
        while (!start.empty() && start.back() == '/') {
            start.pop_back();
        }
        if (names->empty() && !start.empty()) {
            problem = "no such entry or folder '" + start + "' in '" + archive + "'";
            return {};
        }
        found.insert(found.end(), names->begin(), names->end());
    }
    return found;
}

// The files of the source format (its extension, in any case) under the input directory, or
// under the named files and folders of it, as names relative to it: named files as given, each
// folder's files in name order. Folders reached through links are not entered, so a link to a
// folder above cannot make a loop. Sets `problem` when the input directory or a named file cannot
// be walked. An archive given as the input directory is walked by EntriesUnder.
std::vector<std::string> FilesUnder(const std::string& inputDir,
                                    const std::vector<std::string>& named, SourceFormat format,
                                    std::string& problem) {
    const fs::path root = NativePath(inputDir);
    std::error_code error;
    if (IsArchiveFile(inputDir)) {
        return EntriesUnder(inputDir, named, format, problem);
    }
    if (!fs::is_directory(root, error)) {
        problem = "no such input directory '" + inputDir + "'";
        return {};
    }
    std::vector<std::string> found;
    const auto relative = [&root](const fs::path& file) {
        return Utf8Path(file.lexically_relative(root));
    };
    const std::vector<std::string> starts = named.empty() ? std::vector<std::string>{""} : named;
    for (const std::string& start : starts) {
        const fs::path path = start.empty() ? root : root / NativePath(start);
        if (fs::is_regular_file(path, error)) {
            found.push_back(relative(path));
            continue;
        }
        if (!fs::is_directory(path, error)) {
            problem = "no such file or folder '" + start + "' in '" + inputDir + "'";
            return {};
        }
        std::vector<std::string> inFolder;
        for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
             it.increment(error)) {
            if (it->is_regular_file(error) && SourceFormatOfPath(Utf8Path(it->path())) == format) {
                inFolder.push_back(relative(it->path()));
            }
        }
        if (error) {
            problem = "cannot read the folders under '" + Utf8Path(path) + "': " + error.message();
            return {};
        }
        std::sort(inFolder.begin(), inFolder.end());
        found.insert(found.end(), inFolder.begin(), inFolder.end());
    }
    return found;
}

// The folders of the entries under the output directory. One that cannot be made shows as the
// write failure of its files; an entry that climbs out with ".." gets none made, and none are
// made in an output directory that is not there (the run says so once).
void MakeOutputFolders(const std::string& outputDir, const std::vector<std::string>& entries) {
    std::error_code missing;
    if (!fs::is_directory(NativePath(outputDir), missing)) {
        return;
    }
    for (const std::string& entry : entries) {
        const fs::path folder = NativePath(entry).parent_path();
        const bool climbs = std::any_of(folder.begin(), folder.end(),
                                        [](const fs::path& part) { return part == ".."; });
        if (!folder.empty() && !climbs) {
            std::error_code ignored;
            fs::create_directories(NativePath(outputDir) / folder, ignored);
        }
    }
}

// The files under the input that the version-38 map `map` names (--textures-of), each found as
// textures/NAME or NAME with the source format's extension, names compared in any case; the
// names the input lacks are said, one line each, and counted in `lacking`. Returns an exit status
// when the program should end at once.
std::optional<int> TakeTexturesOf(const std::string& map, Project& project, std::size_t& lacking) {
    ArchiveFile file(map);
    ReadError error = ReadError::None;
    const auto infos = ReadMapTextureInfos(file, &error);
    if (!infos) {
        return UsageError("cannot read the map '" + map + "': " + DescribeReadError(error));
    }
    std::string problem;
    const auto files = FilesUnder(project.inputDir, {}, project.convFrom, problem);
    if (!problem.empty()) {
        return UsageError(problem);
    }
    std::map<std::string, std::string> byKey;
    for (const std::string& found : files) {
        byKey.emplace(AnimationKey(found), found);
    }
    const std::string extension = AsciiLower(RowOf(project.convFrom).mask + 1);
    std::vector<std::string> missing;
    const std::vector<NamedTexture> named = NamedTextures(*infos);
    for (const NamedTexture& texture : named) {
        const std::string key = AnimationKey(texture.name) + extension;
        auto found = byKey.find("textures/" + key);
        found = found != byKey.end() ? found : byKey.find(key);
        if (found != byKey.end()) {
            project.files.push_back(found->second);
        } else {
            missing.push_back(texture.name);
        }
    }
    lacking = missing.size();
    if (!missing.empty()) {
        std::cerr << "texelary-convert: '" << map << "' names " << named.size()
                  << " textures; the input lacks " << missing.size() << " of them:\n";
        for (const std::string& name : missing) {
            std::cerr << "  " << name << '\n';
        }
    }
    if (project.files.empty()) {
        std::cerr << "texelary-convert: none of them is in '" << project.inputDir << "'\n";
        return kExitFailed;
    }
    return std::nullopt;
}

// The settings kept beside the project file at `path`, for each the command line leaves to the
// project: a flag given is on whatever the project says, and a value given is taken over its own.
void TakeProjectSettings(const std::string& path, ConvertArguments& arguments) {
    const ProjectSettings kept = LoadProjectSettings(path);
    arguments.keepHeader = arguments.keepHeader || kept.keepHeader;
    arguments.dither = arguments.dither || kept.dither;
    arguments.fullbright = arguments.fullbright || kept.fullbright;
    arguments.mips = arguments.mips.value_or(kept.mips);
    if (!arguments.transparentIndex && kept.transparentIndex) {
        arguments.transparentIndex = kTransparentIndex;
    }
    if (arguments.paletteFile.empty()) {
        arguments.paletteFile = kept.paletteFile;
    }
}

// The project the arguments name: the saved one, with the settings kept beside it, or one made of
// --from, --to, the directories and the files (with --recursive, those found under the input
// directory, their output folders made). Returns an exit status when the program should end at
// once.
std::optional<int> MakeProject(ConvertArguments& arguments, Project& project,
                               std::size_t& lacking) {
    if (!arguments.from && !arguments.to) {
        const std::string& path = arguments.operands.front();
        ReadError reason = ReadError::None;
        if (!LoadProject(project, path, &reason)) {
            std::cerr << "Could'nt open specified file. \"" << path
                      << "\": " << DescribeReadError(reason) << '\n';
            return kExitUsage;
        }
        project.inputDir = ProjectDirectory(project.inputDir, path);
        project.outputDir = ProjectDirectory(project.outputDir, path);
        TakeProjectSettings(path, arguments);
        return std::nullopt;
    }
    project.inputDir = arguments.inputDir;
    project.outputDir = arguments.outputDir;
    project.convFrom = *arguments.from;
    project.convTo = *arguments.to;
    project.files = std::move(arguments.operands);
    if (RowOf(project.convFrom).wad && !IsArchiveFile(project.inputDir)) {
        return UsageError(std::string("--from ") + RowOf(project.convFrom).option +
                          " reads the textures of a wad or map: give the .wad or .bsp as --input");
    }
    if (!arguments.texturesOf.empty()) {
        if (const auto status = TakeTexturesOf(arguments.texturesOf, project, lacking)) {
            return status;
        }
    } else if (arguments.recursive) {
        std::string problem;
        auto files = FilesUnder(project.inputDir, project.files, project.convFrom, problem);
        if (!problem.empty()) {
            return UsageError(problem);
        }
        project.files = std::move(files);
    }
    if (!ArchiveTargetOf(project.outputDir, project.convTo)) {
        MakeOutputFolders(project.outputDir, project.files);
    }
    return std::nullopt;
}

RunSettings SettingsOf(const Project& project, const ConvertArguments& arguments) {
    RunSettings settings;
    settings.RunFiles = project.files;
    settings.RunInputDir = project.inputDir;
    settings.RunOutputDir = project.outputDir;
    settings.RunConvFrom = project.convFrom;
    settings.RunConvTo = project.convTo;
    settings.options.keepHeader = arguments.keepHeader;
    settings.options.allLevels = arguments.allLevels;
    settings.options.sidecar = arguments.sidecar;
    settings.longPakEntries = arguments.longPakEntries;
    WriteOptions& write = settings.options.write;
    write.mips = arguments.mips.value_or(MipFilter::Point);
    write.dither = arguments.dither;
    write.transparentIndex = arguments.transparentIndex;
    write.fullbright = arguments.fullbright;
    settings.jobs = arguments.jobs;
    settings.stop = &g_interrupted;
    return settings;
}

// The run's last lines: how it ended and what it counted.
void ReportCounts(const RunState& state, std::int32_t total) {
    if (state.Done == 1) {
        std::cerr << "All done\n";
    }
    if (state.Aborted == 1) {
        std::cerr << "Process has been aborted\n";
    }
    const std::int32_t skipped = total - state.Converted - state.Failed;
    std::cerr << state.Converted << " converted, " << state.Failed << " failed";
    if (skipped > 0) {
        std::cerr << ", " << skipped << " not attempted";
    }
    std::cerr << '\n';
}

// The palette of --palette, checked before anything is converted: a message when it cannot be
// used for the target.
std::optional<std::string> TakePalette(const ConvertArguments& arguments, TargetFormat to,
                                       RunSettings& settings) {
    if (arguments.paletteFile.empty()) {
        return std::nullopt;
    }
    std::string reason;
    settings.options.write.palette = ReadRunPalette(arguments.paletteFile, to, reason);
    if (settings.options.write.palette) {
        return std::nullopt;
    }
    return "cannot use the palette '" + arguments.paletteFile + "': " + reason;
}

int Convert(const Project& project, const ConvertArguments& arguments) {
    RunSettings settings = SettingsOf(project, arguments);
    if (const auto refused = TakePalette(arguments, project.convTo, settings)) {
        return UsageError(*refused);
    }
    // An output folder that cannot take files would fail every entry: it is said once, and
    // nothing starts. An archive's path the run checks itself.
    if (!ArchiveTargetOf(settings.RunOutputDir, project.convTo)) {
        if (const std::string problem = OutputFolderProblem(settings.RunOutputDir);
            !problem.empty()) {
            std::cerr << "texelary-convert: cannot write into the output folder '"
                      << settings.RunOutputDir << "': " << problem << '\n';
            return kExitFailed;
        }
    }
    ConsoleFeedback feedback(arguments.stopOnError, TEXELARY_ISATTY(TEXELARY_STDERR_FD) != 0);
    RunState state;
    PrepareProgress(state, settings.RunFiles.size());
    CatchInterrupts();
    RunConversion(settings, state, feedback);
    state.Image.reset();
    feedback.ClearBar();
    ReportCounts(state, static_cast<std::int32_t>(settings.RunFiles.size()));
    EndByInterruptingSignal();
    return state.Done == 1 && state.Failed == 0 ? kExitConverted : kExitFailed;
}

// --rename, --delete, --add or --extract, when one is given.
std::optional<int> RunEntryCommand(const ConvertArguments& arguments) {
    const std::vector<std::string>& operands = arguments.operands;
    if (arguments.rename) {
        return RunRename(*arguments.rename, operands.front(), std::cerr);
    }
    if (arguments.remove) {
        return RunDelete(operands, std::cerr);
    }
    if (arguments.add) {
        return RunAdd(*arguments.add, operands, std::cerr);
    }
    if (arguments.extract) {
        return RunExtract(*arguments.extract, operands, std::cerr);
    }
    return std::nullopt;
}

} // namespace

int RunConvertCommand(std::span<const std::string> args) {
    ConvertArguments arguments;
    if (const auto refused = ParseArguments(args, arguments)) {
        return UsageError(*refused);
    }
    if (arguments.help) {
        std::cout << Usage();
        return kExitConverted;
    }
    if (arguments.version) {
        std::cout << "texelary-convert " << kVersion << '\n';
        return kExitConverted;
    }
    if (const auto broken = CheckArguments(arguments)) {
        return UsageError(*broken);
    }
    if (arguments.set) {
        return RunSet(*arguments.set, arguments.operands, std::cerr);
    }
    if (const auto status = RunEntryCommand(arguments)) {
        return *status;
    }
    if (arguments.info) {
        return RunInfo(arguments.operands, arguments.json, std::cout, std::cerr);
    }
    Project project;
    std::size_t lacking = 0; // textures --textures-of's map names that the input lacks
    if (const auto status = MakeProject(arguments, project, lacking)) {
        return *status;
    }
    const int status = Convert(project, arguments);
    return lacking != 0 && status == kExitConverted ? kExitFailed : status;
}

} // namespace texelary
