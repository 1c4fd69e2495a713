// texelary-convert: runs a saved project, or a list of files given on the command line, through
// the same conversion run as the windowed program, for build scripts and batch jobs.

#include "base/NativePath.h"
#include "base/Version.h"
#include "cli/InfoCommand.h"
#include "cli/Utf8Arguments.h"
#include "convert/ConversionRun.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
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

// One line per form of the command, as manual page makers read it.
std::string Usage() {
    std::string text =
        "Usage: texelary-convert [OPTIONS] PROJECT.mm\n"
        "  or:  texelary-convert --from FORMAT --to FORMAT [OPTIONS] FILE...\n"
        "  or:  texelary-convert --from FORMAT --to FORMAT --recursive --input DIR --output DIR "
        "[OPTIONS] [FILE|FOLDER...]\n"
        "  or:  texelary-convert --info [--json] FILE...\n"
        "\n"
        "Converts textures between Windows bitmaps (.bmp), Heretic2 (.m8) and QuakeX (.wal)\n"
        "mip textures, and PNG, TGA and PCX pictures, into .m8, .wal or PNG. The first form runs\n"
        "a project saved by Texelary; the second converts the named files of the input\n"
        "directory into the output directory (both default to the current directory); the third\n"
        "converts every file of the source format under the input directory (or under the named\n"
        "files and folders of it), extensions compared in any case, recreating its folders under\n"
        "the output directory. Each output file has the name of its input, cut after the first\n"
        "dot, with the new extension.\n"
        "\n"
        "Palette pictures (8-bit PNG, TGA and PCX) convert with their own indices and colours,\n"
        "like 8-bit bitmaps. True-colour ones take, for .wal, the nearest colour of the .wal\n"
        "palette and, for .m8 and PNG, a palette of their own made by libimagequant.\n"
        "\n";
    text += "  --from FORMAT      source format: " + NamesOf(SourceFormatRows()) +
            ", in any case (BMP works too)\n";
    text +=
        "  --to FORMAT        target format: " + NamesOf(TargetFormatRows()) + ", in any case\n";
    text +=
        "  --input DIR        directory of the input files\n"
        "  --output DIR       directory the converted files are written to (must exist)\n"
        "  --recursive        take the files of the source format under --input, folders\n"
        "                     and all, and write them into the same folders under --output\n"
        "  --dither           Floyd-Steinberg error diffusion when true colour is brought\n"
        "                     down to 256 colours (default: nearest colours only)\n"
        "  --transparent-index 255\n"
        "                     pixels less than half opaque become index 255, which no\n"
        "                     opaque pixel gets (default: alpha is ignored)\n"
        "  --all-levels       with --to png: every mip level of a .m8 or .wal source, as\n"
        "                     NAME.0.png, NAME.1.png, ... (other sources: NAME.0.png)\n"
        "  --stop-on-error    end the run at the first file that fails (default: skip it)\n"
        "  --jobs N           convert up to N files at once (default: one per core); the\n"
        "                     messages, the files written and the counts are the same as\n"
        "                     with --jobs 1, which converts one file after another\n"
        "  --keep-header      copy the name, animation name, flags, contents and value of\n"
        "                     .m8 and .wal sources into their outputs (.m8 flags as stored,\n"
        "                     high bits included); names too long for the target are cut\n"
        "                     and reported\n"
        "  --mips point|box   how the smaller mip levels are made: point samples the full\n"
        "                     picture (default); box averages 2 x 2 blocks of the level\n"
        "                     above and takes the nearest palette colour, as the games'\n"
        "                     own tools did\n"
        "  --info             print what each FILE holds (.bmp, .m8, .wal, .png, .tga,\n"
        "                     .pcx): kind, size, levels, names, flags, contents and\n"
        "                     value, distinct indices, and whether it follows its\n"
        "                     format's rules\n"
        "  --json             with --info: one JSON object per file\n"
        "  --help             show this text\n"
        "  --version          show the version\n"
        "\n"
        "Exit status: 0 when every file was converted, 1 when any failed or the run was ended\n"
        "early, 2 for a usage error or a project file that cannot be read. With --info: 0 when\n"
        "every file could be read, 1 otherwise. Interrupted (SIGINT, SIGTERM), the run ends\n"
        "before its next file, keeping the files converted until then and no partial ones,\n"
        "and the program then ends by the same signal.\n";
    return text;
}

struct Options {
    std::optional<Project> project;
    std::string projectPath;
    bool stopOnError = false;
    unsigned jobs = DefaultJobs();
    bool keepHeader = false;
    MipFilter mips = MipFilter::Point;
    bool dither = false;
    std::optional<std::uint8_t> transparentIndex;
    bool allLevels = false;
    bool info = false;
    bool json = false;
    std::vector<std::string> infoFiles;
};

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

// More threads than this would only cost memory: a machine has fewer cores.
constexpr unsigned kMaxJobs = 256;

std::optional<unsigned> JobCount(const std::string& text) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    const auto value = static_cast<unsigned>(std::stoul(text));
    if (value < 1 || value > kMaxJobs) {
        return std::nullopt;
    }
    return value;
}

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

bool HasExtension(const fs::path& file, std::string_view extension) {
    const std::string name = Utf8Path(file.filename());
    return name.size() > extension.size() &&
           std::equal(extension.begin(), extension.end(),
                      name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// The files of the source format (the mask's extension, in any case) under the input directory,
// or under the named files and folders of it, as names relative to it: named files as given,
// each folder's files in name order. Folders
// reached through links are not entered, so a link to a folder above cannot make a loop. Sets
// `problem` when the input directory or a named file cannot be walked.
std::vector<std::string> FilesUnder(const std::string& inputDir,
                                    const std::vector<std::string>& named, std::string_view mask,
                                    std::string& problem) {
    const std::string_view extension = mask.substr(mask.find('.'));
    const fs::path root = NativePath(inputDir);
    std::error_code error;
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
            if (it->is_regular_file(error) && HasExtension(it->path(), extension)) {
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
// write failure of its files.
void MakeOutputFolders(const std::string& outputDir, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const fs::path folder = NativePath(entry).parent_path();
        if (!folder.empty()) {
            std::error_code ignored;
            fs::create_directories(NativePath(outputDir) / folder, ignored);
        }
    }
}

// Parses the arguments; returns an exit status when the program should end at once.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
    Project project;
    project.inputDir = ".";
    project.outputDir = ".";
    std::optional<SourceFormat> from;
    std::optional<TargetFormat> to;
    bool optionsEnded = false;
    bool jobsGiven = false;
    bool recursive = false;
    bool inputGiven = false;
    bool outputGiven = false;
    std::vector<std::string> operands;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << Usage();
            return kExitConverted;
        } else if (arg == "--version") {
            std::cout << "texelary-convert " << kVersion << '\n';
            return kExitConverted;
        } else if (arg == "--stop-on-error") {
            options.stopOnError = true;
        } else if (arg == "--keep-header") {
            options.keepHeader = true;
        } else if (arg == "--dither") {
            options.dither = true;
        } else if (arg == "--all-levels") {
            options.allLevels = true;
        } else if (arg == "--recursive") {
            recursive = true;
        } else if (arg == "--transparent-index") {
            if (i + 1 >= argc) {
                return UsageError("option '--transparent-index' needs a value");
            }
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 3 ||
                !std::all_of(value.begin(), value.end(),
                             [](char c) { return c >= '0' && c <= '9'; }) ||
                std::stoi(value) > 255) {
                return UsageError("transparent index '" + value + "' is not 0 to 255");
            }
            options.transparentIndex = static_cast<std::uint8_t>(std::stoi(value));
        } else if (arg == "--info") {
            options.info = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--jobs") {
            if (i + 1 >= argc) {
                return UsageError("option '--jobs' needs a value");
            }
            const std::string value = argv[++i];
            const auto jobs = JobCount(value);
            if (!jobs) {
                return UsageError("--jobs takes a number from 1 to " + std::to_string(kMaxJobs) +
                                  ", not '" + value + "'");
            }
            options.jobs = *jobs;
            jobsGiven = true;
        } else if (arg == "--mips") {
            if (i + 1 >= argc) {
                return UsageError("option '--mips' needs a value");
            }
            const std::string value = argv[++i];
            const auto filter = NameIndex(value, {"point", "box"});
            if (!filter) {
                return UsageError("unknown mip filter '" + value + "' (point or box)");
            }
            options.mips = static_cast<MipFilter>(*filter);
        } else if (arg == "--from" || arg == "--to" || arg == "--input" || arg == "--output") {
            if (i + 1 >= argc) {
                return UsageError("option '" + std::string(arg) + "' needs a value");
            }
            const std::string value = argv[++i];
            if (arg == "--from") {
                from = SourceFormatNamed(value);
                if (!from) {
                    return UsageError("unknown source format '" + value + "' (" +
                                      NamesOf(SourceFormatRows()) + ")");
                }
            } else if (arg == "--to") {
                to = TargetFormatNamed(value);
                if (!to) {
                    return UsageError("unknown target format '" + value + "' (" +
                                      NamesOf(TargetFormatRows()) + ")");
                }
            } else if (arg == "--input") {
                project.inputDir = value;
                inputGiven = true;
            } else {
                project.outputDir = value;
                outputGiven = true;
            }
        } else {
            return UsageError("unknown option '" + std::string(arg) + "'");
        }
    }

    if (options.json && !options.info) {
        return UsageError("--json goes with --info");
    }
    if (options.info) {
        if (from || to || options.keepHeader || options.stopOnError || jobsGiven || recursive ||
            options.dither || options.transparentIndex || options.allLevels ||
            options.mips != MipFilter::Point) {
            return UsageError("--info takes only files (and --json)");
        }
        if (operands.empty()) {
            return UsageError("no files given");
        }
        options.infoFiles = std::move(operands);
        return std::nullopt;
    }
    if (!from && !to) {
        if (operands.size() != 1) {
            return UsageError(operands.empty() ? "no project file or files given"
                                               : "give one project file, or --from and --to");
        }
        options.projectPath = operands.front();
        Project loaded;
        ReadError reason = ReadError::None;
        if (!LoadProject(loaded, options.projectPath, &reason)) {
            std::cerr << "Could'nt open specified file. \"" << options.projectPath
                      << "\": " << DescribeProjectError(reason) << '\n';
            return kExitUsage;
        }
        options.project = std::move(loaded);
        return std::nullopt;
    }
    if (!from || !to) {
        return UsageError(from ? "--to is missing" : "--from is missing");
    }
    if (options.allLevels && !RowOf(*to).levelsAsFiles) {
        return UsageError("--all-levels goes with --to png");
    }
    if (recursive) {
        if (!inputGiven || !outputGiven) {
            return UsageError("--recursive needs --input and --output");
        }
        std::string problem;
        auto files = FilesUnder(project.inputDir, operands, RowOf(*from).mask, problem);
        if (!problem.empty()) {
            return UsageError(problem);
        }
        MakeOutputFolders(project.outputDir, files);
        operands = std::move(files);
    } else if (operands.empty()) {
        return UsageError("no files given");
    }
    project.convFrom = *from;
    project.convTo = *to;
    project.files = std::move(operands);
    options.project = std::move(project);
    return std::nullopt;
}

int Run(int argc, char** argv) {
    Options options;
    if (const auto status = ParseArguments(argc, argv, options)) {
        return *status;
    }
    if (options.info) {
        return RunInfo(options.infoFiles, options.json, std::cout, std::cerr);
    }
    const Project& project = *options.project;
    VectorFileList files(project.files);
    RunSettings settings;
    settings.RunFiles = &files;
    settings.RunInputDir = project.inputDir;
    settings.RunOutputDir = project.outputDir;
    settings.RunConvFrom = project.convFrom;
    settings.RunConvTo = project.convTo;
    settings.RunKeepHeader = options.keepHeader;
    settings.RunMips = options.mips;
    settings.RunJobs = options.jobs;
    settings.RunStop = &g_interrupted;
    settings.RunDither = options.dither;
    settings.RunTransparentIndex = options.transparentIndex;
    settings.RunAllLevels = options.allLevels;

    ConsoleFeedback feedback(options.stopOnError, TEXELARY_ISATTY(TEXELARY_STDERR_FD) != 0);
    RunState state;
    PrepareProgress(state, files.Count());
    CatchInterrupts();
    RunConversion(settings, state, feedback);
    state.Image.reset();
    feedback.ClearBar();

    if (state.Done == 1) {
        std::cerr << "All done\n";
    }
    if (state.Aborted == 1) {
        std::cerr << "Process has been aborted\n";
    }
    const auto total = static_cast<std::int32_t>(files.Count());
    const std::int32_t skipped = total - state.Converted - state.Failed;
    std::cerr << state.Converted << " converted, " << state.Failed << " failed";
    if (skipped > 0) {
        std::cerr << ", " << skipped << " not attempted";
    }
    std::cerr << '\n';
    EndByInterruptingSignal();
    return state.Done == 1 && state.Failed == 0 ? kExitConverted : kExitFailed;
}

} // namespace
} // namespace texelary

int main(int argc, char** argv) {
    const texelary::Utf8Console console;
    try {
        std::vector<std::string> arguments = texelary::Utf8Arguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) {
            pointers.push_back(argument.data());
        }
        pointers.push_back(nullptr);
        return texelary::Run(static_cast<int>(arguments.size()), pointers.data());
    } catch (const std::exception& error) {
        std::cerr << "texelary-convert: " << error.what() << '\n';
        return 1;
    }
}
