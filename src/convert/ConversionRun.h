#pragma once

// The conversion run: one pass over a project's list of file names. For each entry it builds the
// input and output paths, reads picture and palette with the reader of the source format, writes
// them with the writer of the target format, reports every failure in a message box and moves the
// progress bar. It talks to the outside only through the two small interfaces below, so that the
// windows, the command line and the tests can each drive it.

#include "convert/ConvertEntry.h"
#include "convert/RunFeedback.h"
#include "formats/Formats.h"
#include "formats/WriteOptions.h"
#include "image/IndexedImage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace texelary {

// What a run is told: its own copy of the list's names (relative to RunInputDir) and the
// project's settings at the time of "Create...".
struct RunSettings {
    std::vector<std::string> RunFiles;
    std::string RunInputDir;
    std::string RunOutputDir;
    SourceFormat RunConvFrom = SourceFormat::Bmp;
    TargetFormat RunConvTo = TargetFormat::M8;
    // How each entry is converted: the program's settings (or the command line's), not the
    // project's.
    EntryOptions options;
    // How many files are converted at once: 1 converts each file in turn on the calling thread;
    // more spreads the work over as many threads. The boxes, the bar, the counts and the files
    // written are the same either way.
    unsigned jobs = 1;
    // A pak output gets the 72-byte directory entries of the later game's paks.
    bool longPakEntries = false;
    // When set (from any thread, or from a signal handler), no further file is begun and the run
    // ends as aborted before its next entry, as after Cancel between entries. May be none.
    const std::atomic<bool>* stop = nullptr;
};

// The number of files a run should convert at once on this machine: one per core.
unsigned DefaultJobs();

// The run's state. Image is the picture of the list's last entry once the run has reached it (when
// it could be read), for the owner to release; every other picture is released by the run as
// soon as its entry is written or has failed. Exactly one of Done and Aborted is 1 after a run.
// Converted and Failed count the entries, for summaries.
struct RunState {
    std::unique_ptr<IndexedImage> Image;
    std::int32_t Done = 0;
    std::int32_t Aborted = 0;
    float Step = 0.0f;
    float Progress = 0.0f;
    std::int32_t Converted = 0;
    std::int32_t Failed = 0;
};

// Sets Step to 100 / entryCount (single precision) and Progress to Step, as before a run. With no
// entries there is no step to compute.
void PrepareProgress(RunState& state, std::size_t entryCount);

// Runs the whole list. Ends with Done = 1 when every entry was dealt with (some may have failed),
// or Aborted = 1 when the list was empty, Cancel was pressed in a not-found or write box,
// CancelRequested returned true, `stop` was set, or a format index was out of range.
//
// Each input file is read once, for its picture and its palette. A picture with no pixels (an
// empty file, a width or height of 0) fails like a file that cannot be read. The run writes over
// no input of its list and over no output an earlier entry wrote: such an entry fails with the
// write box and its file is left as it was.
//
// With `jobs` above 1, up to that many files are read and converted at once on threads of the
// run's own, each output going to a temporary file beside its target, up to
// kEntriesAheadPerJob x `jobs` entries ahead of the one whose boxes are being shown. Every call
// of `feedback` and every replacing of a target by its temporary file happen on the calling
// thread, in the list's order: a file's boxes come only after every earlier file's, and a run
// that ends early leaves exactly the files a run of one job would have left (the temporary files
// of later entries are removed). At most `jobs` pictures are held at once besides Image: only
// the entries being converted hold one.
constexpr unsigned kEntriesAheadPerJob = 4;
void RunConversion(const RunSettings& settings, RunState& state, RunFeedback& feedback);

} // namespace texelary
