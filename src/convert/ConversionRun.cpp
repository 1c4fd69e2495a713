#include "convert/ConversionRun.h"

#include "archives/ArchiveInput.h"
#include "archives/ArchiveOutput.h"
#include "base/ThreadCaches.h"
#include "base/Utf8.h"
#include "convert/ConvertEntry.h"
#include "convert/EntryPaths.h"
#include "convert/OrderedPool.h"
#include "convert/OutputGuard.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <optional>
#include <string>
#include <thread>

namespace texelary {

namespace {

EntryRecipe RecipeOf(const RunSettings& settings, bool intoArchive) {
    const TargetFormatRow& to = RowOf(settings.RunConvTo);
    return EntryRecipe{&RowOf(settings.RunConvFrom), &to, settings.options,
                       settings.options.allLevels && to.levelsAsFiles, intoArchive};
}

// The input and output paths of the index-th entry of the list. Into an archive, an output's
// path is the archive's, '/' and the entry's name in it.
EntryTask TaskFor(const RunSettings& settings, const EntryRecipe& recipe,
                  const ArchiveOutput* archive, std::size_t index) {
    const std::string extension = recipe.levelFiles ? std::string("0.") + recipe.to->extension
                                                    : std::string(recipe.to->extension);
    std::string entry = settings.RunFiles[index];
    EntryTask task;
    task.inputPath = JoinPath(settings.RunInputDir, entry);
    task.keepsPicture = index + 1 == settings.RunFiles.size();
    if (recipe.from->wad) {
        entry = FileNameOfLump(entry); // the '*' of a liquid's name cannot be in a file's
    }
    if (archive != nullptr) {
        const ArchiveTarget& target = archive->Target();
        const std::string prefix = target.path + "/";
        task.outputPath =
            prefix + ArchiveEntryName(target, ReplaceExtension(entry, extension), task.nameCut);
        bool cut = false;
        task.levelPaths = recipe.levelFiles
                              ? prefix + ArchiveEntryName(target, ReplaceExtension(entry, ""), cut)
                              : "";
        if (target.wad) {
            task.textureName = task.outputPath.substr(prefix.size());
            task.seeThrough = target.wad == WadKind::Wad3 && task.textureName.starts_with('{');
        }
        return task;
    }
    task.outputPath = JoinPath(settings.RunOutputDir, ReplaceExtension(entry, extension));
    task.levelPaths =
        recipe.levelFiles ? JoinPath(settings.RunOutputDir, ReplaceExtension(entry, "")) : "";
    return task;
}

// Adds a converted entry's outputs to the archive, as CommitOutputs puts files in place: none
// unless every one may go in. Gives the reason of a failure, with the output it names.
std::string AddToArchive(EntryResult& result, ArchiveOutput& archive, std::string& failed) {
    const std::size_t prefix = archive.Target().path.size() + 1;
    std::string why;
    for (const EntryOutput& output : result.outputs) {
        why = output.why.empty()
                  ? archive.Refusal(result.task.inputPath, output.path.substr(prefix))
                  : output.why;
        if (!why.empty() || !output.bytes) {
            failed = output.path;
            return why;
        }
    }
    for (const EntryOutput& output : result.outputs) {
        if (!archive.Add(output.path.substr(prefix), *output.bytes, why)) {
            failed = output.path;
            return why;
        }
    }
    return {};
}

// Puts a converted entry's files in place, in the list's order: an earlier entry may have written
// there. An entry of several files puts none in place unless every one may be: a file that could
// not be made, or that may not be written, names the entry's failure. Shows the write box for a
// failure and gives its answer; `written` tells whether every file is in place.
BoxAnswer CommitOutputs(EntryResult& result, OutputGuard& guard, ArchiveOutput* archive,
                        RunFeedback& feedback, bool& written) {
    const EntryTask& task = result.task;
    if (result.outputs.empty()) {
        result.outputs.push_back({task.outputPath, nullptr, std::nullopt, {}});
    }
    std::string failed;
    std::string why;
    if (archive != nullptr) {
        why = AddToArchive(result, *archive, failed);
    }
    for (std::size_t k = 0; archive == nullptr && k < result.outputs.size(); ++k) {
        const EntryOutput& output = result.outputs[k];
        why = output.why.empty() ? guard.Refusal(task.inputPath, output.path) : output.why;
        if (!why.empty() || !output.file) {
            failed = output.path;
            break;
        }
    }
    for (std::size_t k = 0; archive == nullptr && failed.empty() && k < result.outputs.size();
         ++k) {
        EntryOutput& output = result.outputs[k];
        if (output.file->Commit()) {
            guard.Written(task.inputPath, output.path);
        } else {
            failed = output.path;
            why = DescribeWriteError(output.file->Error());
        }
    }
    result.outputs.clear();
    written = failed.empty();
    if (written) {
        return BoxAnswer::Ok;
    }
    return feedback.ShowMessage("Error writing " + Quoted(failed), kMessageCaption,
                                BoxButtons::OkCancel, BoxIcon::Stop, why);
}

// The reason an entry was not read, with its details when the reader gave any.
std::string WhyNotRead(const EntryResult& result) {
    const std::string reason = DescribeReadError(result.reason);
    return result.reasonDetail.empty() ? reason : reason + ": " + result.reasonDetail;
}

// Tells the user how the entry went, and puts its files in place when it was converted. Returns
// the answer of the box shown (Ok when none was); `converted` tells whether the entry counts as
// converted.
BoxAnswer FinishEntry(EntryResult& result, const EntryRecipe& recipe, OutputGuard& guard,
                      ArchiveOutput* archive, RunFeedback& feedback, bool& converted) {
    const std::string& input = result.task.inputPath;
    converted = false;
    switch (result.stage) {
    case EntryStage::NotFound:
        return feedback.ShowMessage("Could'nt find file " + Quoted(input), kMessageCaption,
                                    BoxButtons::OkCancel, BoxIcon::Stop, WhyNotRead(result));
    case EntryStage::BadPalette:
        feedback.ShowMessage("File " + Quoted(input) + recipe.from->paletteFailure, kMessageCaption,
                             BoxButtons::Ok, BoxIcon::Stop, WhyNotRead(result));
        return BoxAnswer::Ok;
    case EntryStage::NotWritten:
    case EntryStage::Written:
        break;
    }
    const BoxAnswer answer = CommitOutputs(result, guard, archive, feedback, converted);
    const bool fieldsCut = result.fields && !NamesFit(*result.fields, kTextureNameFieldSize);
    if (converted && (fieldsCut || result.task.nameCut)) {
        feedback.ShowNotice("Texture name cut to fit in " + Quoted(result.task.outputPath));
    }
    return answer;
}

// Puts the archive in place once the run has been through its list. Should that fail, the
// entries it holds were converted for nothing: they count as failed. A map takes every texture
// of the run or none: with some of them replaced it would be neither the old map nor the new.
void CommitArchive(ArchiveOutput& archive, RunState& state, RunFeedback& feedback) {
    std::string why;
    if (archive.Target().map && state.Failed != 0) {
        why = std::to_string(state.Failed) + (state.Failed == 1 ? " texture" : " textures") +
              " could not go in: the map is left as it was";
    }
    if (!why.empty() || !archive.Commit(why)) {
        feedback.ShowMessage("Error writing " + Quoted(archive.Target().path), kMessageCaption,
                             BoxButtons::Ok, BoxIcon::Stop, why);
        state.Failed += state.Converted;
        state.Converted = 0;
    }
}

} // namespace

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

namespace {

// Into an archive: it is written whole at the end of the run, or not at all; one that cannot be
// made is said once, before anything is converted. False then; `archive` stays null for a run
// into a folder.
bool OpenArchive(const RunSettings& settings, RunFeedback& feedback,
                 std::unique_ptr<ArchiveOutput>& archive) {
    auto target = ArchiveTargetOf(settings.RunOutputDir, settings.RunConvTo);
    if (!target) {
        return true;
    }
    target->longPakEntries = settings.longPakEntries;
    archive = std::make_unique<ArchiveOutput>(*target);
    if (const std::string problem = archive->Problem(); !problem.empty()) {
        feedback.ShowMessage("Error writing " + Quoted(target->path), kMessageCaption,
                             BoxButtons::Ok, BoxIcon::Stop, problem);
        return false;
    }
    return true;
}

// No more threads than entries: a short list on a machine of many cores starts few, and a list
// of one entry is converted on the calling thread, with no thread to start for it.
unsigned PoolThreads(unsigned jobs, std::size_t count) {
    return jobs == 1 || count == 1 ? 0u : static_cast<unsigned>(std::min<std::size_t>(jobs, count));
}

// The running sum in single precision can fall short of 100 (six entries end at 99.99), so the
// bar shows 100 outright once the last entry is done.
void MoveBar(RunState& state, RunFeedback& feedback, bool last) {
    feedback.SetProgress(last ? 100 : static_cast<int>(state.Progress));
    state.Progress = state.Step + state.Progress;
}

// The archive directories and palette tables that this thread's caches kept for the run's
// entries (it converts them itself when the pool has no threads) are freed as the run ends, on
// every way out; the pool's threads free theirs as they end.
class RunsCaches {
public:
    RunsCaches() = default;
    ~RunsCaches() { ThreadCaches::ReleaseThisThread(); }
    RunsCaches(const RunsCaches&) = delete;
    RunsCaches& operator=(const RunsCaches&) = delete;
};

} // namespace

void RunConversion(const RunSettings& settings, RunState& state, RunFeedback& feedback) {
    const bool formatsKnown = SourceFormatAt(IndexOf(settings.RunConvFrom)) &&
                              TargetFormatAt(IndexOf(settings.RunConvTo));
    if (settings.RunFiles.empty() || !formatsKnown) {
        state.Aborted = 1;
        return;
    }
    std::unique_ptr<ArchiveOutput> archive;
    if (!OpenArchive(settings, feedback, archive)) {
        state.Aborted = 1;
        return;
    }
    const EntryRecipe recipe = RecipeOf(settings, archive != nullptr);
    const auto stopped = [&settings] { return settings.stop != nullptr && settings.stop->load(); };
    OutputGuard guard(settings.RunFiles, settings.RunInputDir);

    // Entries are converted ahead of the one in hand, `jobs` at a time, by threads of the pool
    // (or, for one job, by this thread as each entry comes up); what the user is told and every
    // commit follow here, entry by entry. The pool is closed on every way out, which drops the
    // results not reached and with them their temporary files.
    const unsigned jobs = std::max(1u, settings.jobs);
    const std::size_t ahead = jobs == 1 ? 1 : std::size_t{jobs} * kEntriesAheadPerJob;
    const std::size_t count = settings.RunFiles.size();
    const RunsCaches caches; // released once the pool has closed
    OrderedPool<EntryTask, EntryResult> pool(
        PoolThreads(jobs, count),
        [&recipe](const EntryTask& task) { return ConvertEntry(recipe, task); }, settings.stop);
    std::size_t submitted = 0;

    for (std::size_t i = 0; i < count; ++i) {
        if (feedback.CancelRequested() || stopped()) {
            state.Aborted = 1;
            return;
        }
        feedback.EntryStarting(i, count, settings.RunFiles[i]);
        for (; submitted < count && submitted < i + ahead; ++submitted) {
            pool.Submit(TaskFor(settings, recipe, archive.get(), submitted));
        }
        std::optional<EntryResult> result = pool.Take();
        if (!result) { // not begun: the run was stopped meanwhile
            state.Aborted = 1;
            return;
        }
        state.Image = std::move(result->image);
        bool converted = false;
        if (FinishEntry(*result, recipe, guard, archive.get(), feedback, converted) ==
            BoxAnswer::Cancel) {
            ++state.Failed;
            state.Aborted = 1;
            return;
        }
        ++(converted ? state.Converted : state.Failed);

        MoveBar(state, feedback, i + 1 == count);
    }
    state.Done = 1;
    if (archive != nullptr && archive->Count() != 0) {
        CommitArchive(*archive, state, feedback);
    }
}

} // namespace texelary
