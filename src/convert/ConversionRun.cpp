#include "convert/ConversionRun.h"

#include "base/FileIo.h"
#include "convert/OrderedPool.h"
#include "texture/ReadError.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

namespace texelary {

const char* const kMessageCaption = "Texelary";

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// One entry of the list, as handed to whichever thread converts it.
struct EntryTask {
    std::string inputPath;
    std::string outputPath;
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
    std::unique_ptr<ReplacingFile> output;
};

// What every entry of a run is converted with.
struct EntryRecipe {
    const SourceFormatRow* from = nullptr;
    const TargetFormatRow* to = nullptr;
    MipFilter mips = MipFilter::Point;
    bool keepHeader = false;
};

// Reads picture and palette of one input file, from one read of its bytes; the header fields of
// a source that has them come from the same bytes. A picture without pixels is no conversion: it
// fails like a file that cannot be read.
EntryStage ReadEntry(const SourceFormatRow& format, const std::string& path, SourceRead& read) {
    const auto bytes = ReadInputFile(path, &read.reason);
    if (bytes && bytes->empty()) {
        read.reason = ReadError::Empty;
    } else if (bytes) {
        format.read(*bytes, read);
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

// Everything one entry needs that tells the user nothing, so that it may run on any thread:
// read, convert, and write the output to a temporary file beside its target.
EntryResult ConvertEntry(const EntryRecipe& recipe, const EntryTask& task) {
    EntryResult result;
    result.task = task;
    try {
        SourceRead read;
        result.stage = ReadEntry(*recipe.from, task.inputPath, read);
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
        const auto bytes = recipe.to->encode(*result.image, read.palette, options);
        if (!bytes) {
            return result;
        }
        auto output = std::make_unique<ReplacingFile>(task.outputPath);
        if (output->Write(*bytes) && output->Finish()) {
            result.output = std::move(output);
            result.stage = EntryStage::Written;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory while reading is a file that could not be read; later, a failed write.
        result.output.reset();
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
    const fs::path output(path);
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
        if (fs::equivalent(fs::path(input), fs::path(output), error) && !error) {
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
        const fs::path file(path);
        std::error_code error;
        if (fs::is_symlink(fs::symlink_status(file, error))) {
            const fs::path target = fs::weakly_canonical(file, error);
            if (!error) {
                return target.string();
            }
        }
        const std::string parent = file.parent_path().string();
        auto known = m_directories.find(parent);
        if (known == m_directories.end()) {
            fs::path resolved =
                fs::weakly_canonical(parent.empty() ? fs::path(".") : fs::path(parent), error);
            known = m_directories.emplace(parent, error ? fs::path(parent) : resolved).first;
        }
        return (known->second / file.filename()).lexically_normal().string();
    }

    std::set<std::string> m_inputs;
    std::map<std::string, std::string> m_written;  // output, and the input it was made from
    std::map<std::string, fs::path> m_directories; // resolved once per directory text
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
    const auto dot = name.find('.');
    if (dot == std::string::npos) {
        return name + "." + extension;
    }
    return name.substr(0, dot + 1) + extension;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (path.empty() || path.back() != kSeparator) {
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
    const EntryRecipe recipe{&RowOf(settings.RunConvFrom), &RowOf(settings.RunConvTo),
                             settings.RunMips, settings.RunKeepHeader};
    const std::string extension = recipe.to->extension;
    const auto taskFor = [&](std::size_t index) {
        const std::string entry = settings.RunFiles->Entry(index);
        return EntryTask{JoinPath(settings.RunInputDir, entry),
                         JoinPath(settings.RunOutputDir, ReplaceExtension(entry, extension))};
    };
    const auto stopped = [&settings] {
        return settings.RunStop != nullptr && settings.RunStop->load();
    };
    OutputGuard guard(settings);

    // Entries are converted ahead of the one in hand, at most `jobs` at a time, by threads of the
    // pool (or, for one job, by this thread as each entry comes up); what the user is told and
    // every commit follow here, entry by entry. The pool is closed on every way out, which drops
    // the results not reached and with them their temporary files.
    const unsigned jobs = std::max(1u, settings.RunJobs);
    OrderedPool<EntryTask, EntryResult> pool(
        jobs == 1 ? 0 : jobs,
        [&recipe](const EntryTask& task) { return ConvertEntry(recipe, task); }, settings.RunStop);
    std::size_t submitted = 0;

    // The list's length is read again before every entry: it is the caller's own list.
    for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
        if (feedback.CancelRequested() || stopped()) {
            state.Aborted = 1;
            return;
        }
        feedback.EntryStarting(i, settings.RunFiles->Count(), settings.RunFiles->Entry(i));
        for (; submitted < settings.RunFiles->Count() && submitted < i + jobs; ++submitted) {
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
            const std::string refusal = guard.Refusal(task.inputPath, task.outputPath);
            good = refusal.empty() && result->output && result->output->Commit();
            result->output.reset();
            if (good) {
                guard.Written(task.inputPath, task.outputPath);
            } else {
                answer = feedback.ShowMessage("Error writing " + Quoted(task.outputPath),
                                              kMessageCaption, BoxButtons::OkCancel, BoxIcon::Stop,
                                              refusal.empty() ? WhyNotWritten(task.outputPath)
                                                              : refusal);
            }
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
