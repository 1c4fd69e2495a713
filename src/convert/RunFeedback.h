#pragma once

// How a conversion run speaks to the user: boxes with an answer, the progress bar, and a way to be
// asked to stop. The windows, the command line and the tests each give their own.

#include <cstddef>
#include <cstdint>
#include <string>

namespace texelary {

// The caption of every box the run shows.
extern const char* const kMessageCaption;

// A run's boxes are acknowledged with OK, or answered OK or Cancel; Cancel ends the run.
enum class BoxButtons : std::uint8_t { Ok, OkCancel };
enum class BoxIcon : std::uint8_t { Stop, Information, Exclamation };
enum class BoxAnswer : std::uint8_t { Ok, Cancel };

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

} // namespace texelary
