#pragma once

// The conversion run: one pass over a project's list of file names. For each entry it builds the
// input and output paths, reads picture and palette with the reader of the source format, writes
// them with the writer of the target format, reports every failure in a message box and moves the
// progress bar. It talks to the outside only through the two small interfaces below, so that the
// windows, the command line and the tests can each drive it.

#include "formats/Formats.h"
#include "image/IndexedImage.h"
#include "formats/WriteOptions.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// The file names of a run, read entry by entry while the run goes on (the windows hand over their
// own list, not a copy). Entries are names relative to the input directory.
class FileList {
public:
    virtual ~FileList() = default;
    virtual std::size_t Count() const = 0;
    virtual std::string Entry(std::size_t index) const = 0;
};

class VectorFileList final : public FileList {
public:
    explicit VectorFileList(std::vector<std::string> names)
        : m_names(std::move(names)) {}
    std::size_t Count() const override { return m_names.size(); }
    std::string Entry(std::size_t index) const override { return m_names[index]; }

private:
    std::vector<std::string> m_names;
};

// YesNo is a question whose default answer is No; SaveDiscardCancel one whose default is Save.
enum class BoxButtons : std::uint8_t { Ok, OkCancel, YesNo, SaveDiscardCancel };
enum class BoxIcon : std::uint8_t { Stop, Information, Exclamation };
enum class BoxAnswer : std::uint8_t { Ok, Cancel, Yes, No, Save, Discard };

// What the run shows. ShowMessage is a modal box returning the button pressed; `detail` says why,
// in a few words without a full stop (empty when there is nothing to add): the windows show it as
// the box's informative text, the command line after the text and a colon. SetProgress moves
// the bar (0 to 100); CancelRequested is asked before every entry and lets the caller stop a run
// between entries (the windows handle pending events there); EntryStarting then names the entry
// about to be converted, the index-th (from 0) of `count`.
class RunFeedback {
public:
    virtual ~RunFeedback() = default;
    virtual BoxAnswer ShowMessage(const std::string& text, const std::string& caption,
                                  BoxButtons buttons, BoxIcon icon, const std::string& detail) = 0;
    virtual void SetProgress(int position) = 0;
    virtual bool CancelRequested() { return false; }
    virtual void EntryStarting(std::size_t /*index*/, std::size_t /*count*/,
                               const std::string& /*entry*/) {}
    // Something the user should know about a file that was written all the same. By default an
    // information box with OK only.
    virtual void ShowNotice(const std::string& text);
};

// What a run is told: the list by reference and the project's settings at the time of "Create...".
struct RunSettings {
    const FileList* RunFiles = nullptr;
    std::string RunInputDir;
    std::string RunOutputDir;
    SourceFormat RunConvFrom = SourceFormat::Bmp;
    TargetFormat RunConvTo = TargetFormat::M8;
    // Program settings rather than the project's: copy the name, animation name, flags, contents
    // and value of .m8 and .wal sources into their outputs (other sources have none), and how
    // the smaller mip levels are made.
    bool RunKeepHeader = false;
    MipFilter RunMips = MipFilter::Point;
    // How many files are converted at once: 1 converts each file in turn on the calling thread;
    // more spreads the work over as many threads. The boxes, the bar, the counts and the files
    // written are the same either way.
    unsigned RunJobs = 1;
    // When set (from any thread, or from a signal handler), no further file is begun and the run
    // ends as aborted before its next entry, as after Cancel between entries. May be none.
    const std::atomic<bool>* RunStop = nullptr;
    // How pictures of more than 256 colours are brought down to a palette: error diffusion or
    // nearest colours, and the index that pixels less than half opaque take, if any. A palette
    // picture converts with its own indices and colours unless it has such pixels and a
    // transparent index is asked for; it is then brought down like a true-colour one.
    bool RunDither = false;
    std::optional<std::uint8_t> RunTransparentIndex;
    // Every mip level of a mip texture source (level 0 alone for other sources), for targets
    // that write one file per level: name.0.png, name.1.png, ...
    bool RunAllLevels = false;
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

// The caption of every box the run shows.
extern const char* const kMessageCaption;

// Sets Step to 100 / entryCount (single precision) and Progress to Step, as before a run. With no
// entries there is no step to compute.
void PrepareProgress(RunState& state, std::size_t entryCount);

// Runs the whole list. Ends with Done = 1 when every entry was dealt with (some may have failed),
// or Aborted = 1 when the list was empty, Cancel was pressed in a not-found or write box,
// CancelRequested returned true, RunStop was set, or a format index was out of range.
//
// Each input file is read once, for its picture and its palette. A picture with no pixels (an
// empty file, a width or height of 0) fails like a file that cannot be read. The run writes over
// no input of its list and over no output an earlier entry wrote: such an entry fails with the
// write box and its file is left as it was.
//
// With RunJobs above 1, up to that many files are read and converted at once on threads of the
// run's own, each output going to a temporary file beside its target, up to
// kEntriesAheadPerJob x RunJobs entries ahead of the one whose boxes are being shown. Every call
// of `feedback` and every replacing of a target by its temporary file happen on the calling
// thread, in the list's order: a file's boxes come only after every earlier file's, and a run
// that ends early leaves exactly the files a run of one job would have left (the temporary files
// of later entries are removed). At most RunJobs pictures are held at once besides Image: only
// the entries being converted hold one.
constexpr unsigned kEntriesAheadPerJob = 4;
void RunConversion(const RunSettings& settings, RunState& state, RunFeedback& feedback);

// Copies `text` into a character field of `size` bytes: at most size - 1 characters, always
// followed by a zero byte. Used for the project file's fixed fields.
void CopyBounded(char* field, const char* text, std::size_t size);

// The name with everything after its first dot replaced by `extension`; a name without a dot gets
// a dot and the extension appended ("stone.old.bmp" -> "stone.m8", "wall" -> "wall.m8"). Only the
// part after the last folder separator counts: "old.walls/stone.bmp" -> "old.walls/stone.m8".
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// The directory and the name joined with this platform's separator; a directory that is empty or
// does not end with a separator gets one.
std::string JoinPath(const std::string& directory, const std::string& name);

} // namespace texelary
