#include "convert/ConversionRun.h"

#include "base/FileIo.h"
#include "base/NativePath.h"
#include "convert/OrderedPool.h"
#include "colour/Quantize.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace texelary {

const char* const kMessageCaption = "Texelary";

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// One entry of the list, as handed to whichever thread converts it. With every level asked for
// as files of their own, `outputPath` is level 0's, name.0.ext, and level k goes to
// `levelPaths` + k + "." + ext.
struct EntryTask {
    std::string inputPath;
    std::string outputPath;
    std::string levelPaths;    // "out/name."; empty when the levels are not files of their own
    bool keepsPicture = false; // the list's last entry: its picture stays for the run's owner
};

// One file the entry writes, to a temporary file until it is put in place.
struct EntryOutput {
    std::string path;
    std::unique_ptr<ReplacingFile> file;
};

// How far an entry got: each stage names the first thing that failed, or Written.
enum class EntryStage : std::uint8_t { NotFound, BadPalette, NotWritten, Written };

// What converting one entry leaves for the run's own thread: what to tell the user, the picture,
// and the output, written to a temporary file but not yet put in place.
struct EntryResult {
    EntryTask task;
    EntryStage stage = EntryStage::NotFound;
    ReadError reason = ReadError::None;
    std::unique_ptr<IndexedImage> image;
    std::optional<HeaderFields> fields; // the source's header fields, when they are kept
    std::vector<EntryOutput> outputs;   // every file written, in order; one but for level files
};

// What every entry of a run is converted with.
struct EntryRecipe {
    const SourceFormatRow* from = nullptr;
    const TargetFormatRow* to = nullptr;
    MipFilter mips = MipFilter::Point;
    bool keepHeader = false;
    TrueColourOptions colours;
    bool levelFiles = false; // every level of the source to a file of its own
};

bool HasTransparentPixels(const IndexedImage& image, const std::array<std::uint8_t, 256>& alpha) {
    const std::uint8_t* pixels = image.pixels.get();
    const std::size_t count = PixelCount(image.width, image.height).value_or(0);
    return std::any_of(pixels, pixels + count,
                       [&alpha](std::uint8_t index) { return alpha[index] < OpaqueAlpha; });
}

// Makes what was read a palette picture the target can write. A true-colour picture is brought
// down to the target's colours; so is a palette picture with pixels less than half opaque when a
// transparent index is asked for, since its own indices cannot keep that index for them alone.
void BringDown(const EntryRecipe& recipe, SourceRead& read) {
    const TrueColourOptions& options = recipe.colours;
    if (read.image && options.transparentIndex &&
        HasTransparentPixels(*read.image, read.paletteAlpha)) {
        read.trueColour = ExpandToRgba(*read.image, read.palette, read.paletteAlpha);
        read.image.reset();
        read.levels.clear();
        read.reason = read.trueColour ? read.reason : ReadError::OutOfMemory;
    }
    if (!read.trueColour) {
        return;
    }
    if (read.trueColour->width == 0 || read.trueColour->height == 0) {
        read.reason = ReadError::NoPixels;
    } else {
        read.image = recipe.to->fromTrueColour(*read.trueColour, read.palette, options);
        read.reason = read.image ? read.reason : ReadError::OutOfMemory;
    }
    read.trueColour.reset();
}

// Reads picture and palette of one input file, from one read of its bytes, as a palette picture
// for the target; the header fields of a source that has them (and its smaller levels, when
// asked for) come from the same bytes. A picture without pixels is no conversion: it fails like a
// file that cannot be read.
EntryStage ReadEntry(const EntryRecipe& recipe, const std::string& path, SourceRead& read) {
    read.wantLevels = recipe.levelFiles;
    const auto bytes = ReadInputFile(path, &read.reason);
    if (bytes && bytes->empty()) {
        read.reason = ReadError::Empty;
    } else if (bytes) {
        recipe.from->read(*bytes, read);
    }
    if (read.paletteRead) {
        BringDown(recipe, read);
    }
    if (read.image && (read.image->width == 0 || read.image->height == 0)) {
        read.image.reset();
        read.reason = ReadError::NoPixels;
    }
    if (!read.image) {
        return EntryStage::NotFound;
    }
    return read.paletteRead ? EntryStage::Written : EntryStage::BadPalette;
}

EntryResult ConvertEntryKeepingPicture(const EntryRecipe& recipe, const EntryTask& task);

// Everything one entry needs that tells the user nothing, so that it may run on any thread:
// read, convert, and write the output to a temporary file beside its target. The picture goes as
// soon as its file is written (but for the list's last entry's), so that the files converted
// ahead wait without one: only the entries being converted hold pictures.
EntryResult ConvertEntry(const EntryRecipe& recipe, const EntryTask& task) {
    // A run's threads are its only ones: --jobs N keeps to N cores.
    thread_local const bool alone = (QuantizeOnCallingThreadOnly(), true);
    static_cast<void>(alone);
    EntryResult result = ConvertEntryKeepingPicture(recipe, task);
    if (!task.keepsPicture) {
        result.image.reset();
    }
    return result;
}

EntryResult ConvertEntryKeepingPicture(const EntryRecipe& recipe, const EntryTask& task) {
    EntryResult result;
    result.task = task;
    try {
        SourceRead read;
        result.stage = ReadEntry(recipe, task.inputPath, read);
        result.reason = read.reason;
        result.image = std::move(read.image);
        if (result.stage != EntryStage::Written) {
            return result;
        }
        WriteOptions options;
        options.mips = recipe.mips;
        // Only the rows of mip textures give header fields; every other source is written as
        // before.
        if (recipe.keepHeader) {
            options.fields = std::move(read.fields);
        }
        result.fields = options.fields;
        result.stage = EntryStage::NotWritten;
        // Level 0, then the levels after it when they are files of their own.
        for (std::size_t level = 0; level == 0 || level <= read.levels.size(); ++level) {
            IndexedImage& picture = level == 0 ? *result.image : *read.levels[level - 1];
            const std::string path =
                level == 0 ? task.outputPath
                           : task.levelPaths + std::to_string(level) + "." + recipe.to->extension;
            const auto bytes = recipe.to->encode(picture, read.palette, options);
            auto output = std::make_unique<ReplacingFile>(path);
            if (!bytes || !output->Write(*bytes) || !output->Finish()) {
                result.outputs.push_back({path, nullptr}); // named in the write box
                return result;
            }
            result.outputs.push_back({path, std::move(output)});
        }
        result.stage = EntryStage::Written;
    } catch (const std::bad_alloc&) {
        // Out of memory while reading is a file that could not be read; later, a failed write.
        result.outputs.clear();
        if (result.stage != EntryStage::NotWritten) {
            result.image.reset();
            result.stage = EntryStage::NotFound;
            result.reason = ReadError::OutOfMemory;
        }
    }
    return result;
}

// What is known of a failed write without asking the writer.
std::string WhyNotWritten(const std::string& path) {
    std::error_code ignored;
    const fs::path output = NativePath(path);
    const fs::path directory = output.parent_path().empty() ? fs::path(".") : output.parent_path();
    if (!fs::is_directory(directory, ignored)) {
        return "no such directory";
    }
    if (fs::exists(output, ignored) && !fs::is_regular_file(output, ignored)) {
        return "something other than a file has that name";
    }
    return {};
}

// The files a run must not write over: each input of the list (its own and the others', which
// the user still has as the only copy), and each output an earlier entry of the run has written
// from another input (the same name listed twice gives the same file twice, which loses nothing).
// Files are told apart by their paths with the directories resolved, so that "./a.wal", "a.wal"
// and a directory reached through a link all name one file; the entry's own input is also
// compared as a file, which catches every link and other spelling of it.
class OutputGuard {
public:
    explicit OutputGuard(const RunSettings& settings) {
        for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
            m_inputs.insert(Key(JoinPath(settings.RunInputDir, settings.RunFiles->Entry(i))));
        }
    }

    // Why `output` may not be written for the entry read from `input`; empty when it may.
    std::string Refusal(const std::string& input, const std::string& output) {
        std::error_code error;
        const std::string key = Key(output);
        if (fs::equivalent(NativePath(input), NativePath(output), error) && !error) {
            return "the output is the input file itself";
        }
        const auto written = m_written.find(key);
        if (written != m_written.end() && written->second != Key(input)) {
            return "an earlier file of this run was written there";
        }
        if (m_inputs.count(key) != 0) {
            return "that file is the input of another entry";
        }
        return {};
    }

    void Written(const std::string& input, const std::string& output) {
        m_written.emplace(Key(output), Key(input));
    }

private:
    std::string Key(const std::string& path) {
        const fs::path file = NativePath(path);
        std::error_code error;
        if (fs::is_symlink(fs::symlink_status(file, error))) {
            const fs::path target = fs::weakly_canonical(file, error);
            if (!error) {
                return Utf8Path(target);
            }
        }
        const fs::path parent = file.parent_path();
        auto known = m_directories.find(parent);
        if (known == m_directories.end()) {
            fs::path resolved =
                fs::weakly_canonical(parent.empty() ? fs::path(".") : parent, error);
            known = m_directories.emplace(parent, error ? parent : resolved).first;
        }
        return Utf8Path((known->second / file.filename()).lexically_normal());
    }

    std::set<std::string> m_inputs;
    std::map<std::string, std::string> m_written; // output, and the input it was made from
    std::map<fs::path, fs::path> m_directories;   // resolved once per directory text
};

} // namespace

void RunFeedback::ShowNotice(const std::string& text) {
    ShowMessage(text, kMessageCaption, BoxButtons::Ok, BoxIcon::Information, {});
}

void CopyBounded(char* field, const char* text, std::size_t size) {
    if (size == 0) {
        return;
    }
    std::size_t i = 0;
    for (; i + 1 < size && text[i] != '\0'; ++i) {
        field[i] = text[i];
    }
    field[i] = '\0';
    field[size - 1] = '\0';
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    // An entry under a folder of the input directory ("walls/stone.bmp") keeps its folders as
    // they are: only the file's own name is cut at its first dot.
    const auto folders = name.find_last_of(kSeparator == '/' ? "/" : "/\\");
    const auto dot = name.find('.', folders == std::string::npos ? 0 : folders + 1);
    if (dot == std::string::npos) {
        return name + "." + extension;
    }
    return name.substr(0, dot + 1) + extension;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    // Windows takes '/' as well as its own '\\'.
    const bool separated =
        !path.empty() && (path.back() == kSeparator || (kSeparator == '\\' && path.back() == '/'));
    if (!separated) {
        path += kSeparator;
    }
    return path + name;
}

void PrepareProgress(RunState& state, std::size_t entryCount) {
    if (entryCount == 0) {
        return;
    }
    state.Step = 100.0f / static_cast<float>(entryCount);
    state.Progress = state.Step;
}

unsigned DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunConversion(const RunSettings& settings, RunState& state, RunFeedback& feedback) {
    const bool formatsKnown = SourceFormatAt(IndexOf(settings.RunConvFrom)) &&
                              TargetFormatAt(IndexOf(settings.RunConvTo));
    if (settings.RunFiles == nullptr || settings.RunFiles->Count() == 0 || !formatsKnown) {
        state.Aborted = 1;
        return;
    }
    const TargetFormatRow& to = RowOf(settings.RunConvTo);
    const EntryRecipe recipe{&RowOf(settings.RunConvFrom),
                             &to,
                             settings.RunMips,
                             settings.RunKeepHeader,
                             {settings.RunDither, settings.RunTransparentIndex},
                             settings.RunAllLevels && to.levelsAsFiles};
    const std::string extension = recipe.levelFiles ? std::string("0.") + recipe.to->extension
                                                    : std::string(recipe.to->extension);
    const auto taskFor = [&](std::size_t index) {
        const std::string entry = settings.RunFiles->Entry(index);
        const std::string levelPaths =
            recipe.levelFiles ? JoinPath(settings.RunOutputDir, ReplaceExtension(entry, "")) : "";
        return EntryTask{JoinPath(settings.RunInputDir, entry),
                         JoinPath(settings.RunOutputDir, ReplaceExtension(entry, extension)),
                         levelPaths, index + 1 == settings.RunFiles->Count()};
    };
    const auto stopped = [&settings] {
        return settings.RunStop != nullptr && settings.RunStop->load();
    };
    OutputGuard guard(settings);

    // Entries are converted ahead of the one in hand, `jobs` at a time, by threads of the pool
    // (or, for one job, by this thread as each entry comes up); what the user is told and every
    // commit follow here, entry by entry. The pool is closed on every way out, which drops the
    // results not reached and with them their temporary files.
    const unsigned jobs = std::max(1u, settings.RunJobs);
    const std::size_t ahead = jobs == 1 ? 1 : std::size_t{jobs} * kEntriesAheadPerJob;
    // No more threads than entries: a short list on a machine of many cores starts few.
    const auto threads =
        jobs == 1 ? 0u
                  : static_cast<unsigned>(std::min<std::size_t>(jobs, settings.RunFiles->Count()));
    OrderedPool<EntryTask, EntryResult> pool(
        threads, [&recipe](const EntryTask& task) { return ConvertEntry(recipe, task); },
        settings.RunStop);
    std::size_t submitted = 0;

    // The list's length is read again before every entry: it is the caller's own list.
    for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
        if (feedback.CancelRequested() || stopped()) {
            state.Aborted = 1;
            return;
        }
        feedback.EntryStarting(i, settings.RunFiles->Count(), settings.RunFiles->Entry(i));
        for (; submitted < settings.RunFiles->Count() && submitted < i + ahead; ++submitted) {
            pool.Submit(taskFor(submitted));
        }
        std::optional<EntryResult> result = pool.Take();
        if (!result) { // not begun: the run was stopped meanwhile
            state.Aborted = 1;
            return;
        }
        const EntryTask& task = result->task;
        state.Image = std::move(result->image);
        bool good = false;
        BoxAnswer answer = BoxAnswer::Ok;
        switch (result->stage) {
        case EntryStage::NotFound:
            answer = feedback.ShowMessage("Could'nt find file " + Quoted(task.inputPath),
                                          kMessageCaption, BoxButtons::OkCancel, BoxIcon::Stop,
                                          DescribeReadError(result->reason));
            break;
        case EntryStage::BadPalette:
            feedback.ShowMessage("File " + Quoted(task.inputPath) + recipe.from->paletteFailure,
                                 kMessageCaption, BoxButtons::Ok, BoxIcon::Stop,
                                 DescribeReadError(result->reason));
            break;
        case EntryStage::NotWritten:
        case EntryStage::Written: {
            // The checks come now, in the list's order: an earlier entry may have written there.
            // An entry of several files puts none in place unless every one may be: a file that
            // could not be made, or that may not be written, names the entry's failure.
            if (result->outputs.empty()) {
                result->outputs.push_back({task.outputPath, nullptr});
            }
            std::string failed;
            std::string why;
            for (const EntryOutput& output : result->outputs) {
                why = guard.Refusal(task.inputPath, output.path);
                if (!why.empty() || !output.file) {
                    failed = output.path;
                    break;
                }
            }
            for (std::size_t k = 0; failed.empty() && k < result->outputs.size(); ++k) {
                EntryOutput& output = result->outputs[k];
                if (output.file->Commit()) {
                    guard.Written(task.inputPath, output.path);
                } else {
                    failed = output.path;
                }
            }
            good = failed.empty();
            if (!good) {
                answer = feedback.ShowMessage("Error writing " + Quoted(failed), kMessageCaption,
                                              BoxButtons::OkCancel, BoxIcon::Stop,
                                              why.empty() ? WhyNotWritten(failed) : why);
            }
            result->outputs.clear();
            break;
        }
        }
        if (answer == BoxAnswer::Cancel) {
            ++state.Failed;
            state.Aborted = 1;
            return;
        }
        if (good && result->fields && !NamesFit(*result->fields, kTextureNameFieldSize)) {
            feedback.ShowNotice("Texture name cut to fit in " + Quoted(task.outputPath));
        }
        ++(good ? state.Converted : state.Failed);

        // The running sum in single precision can fall short of 100 (six entries end at 99.99),
        // so the bar shows 100 outright once the last entry is done.
        const bool last = i + 1 == settings.RunFiles->Count();
        feedback.SetProgress(last ? 100 : static_cast<int>(state.Progress));
        state.Progress = state.Step + state.Progress;
    }
    state.Done = 1;
}

} // namespace texelary
