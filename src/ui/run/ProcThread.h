#pragma once

// The worker of one conversion run. It computes the progress step, runs the conversion loop on its
// own thread (which converts several files at once on threads of the run's own), announces the
// outcome and has the progress window closed. Widgets and the image list belong to the GUI thread:
// the worker reaches them only through calls posted to the GUI thread, waiting for each (one box
// at a time, in the list's order), and the GUI thread never waits for the worker. A run that
// throws (no memory, no thread, a file system error) ends as aborted.

#include "convert/ConversionRun.h"
#include "ui/run/RunFailures.h"

#include <QThread>
#include <atomic>
#include <string>

namespace texelary {

class MessageBoxes;
class TProcessDialog;

class ProcThread final : public QThread {
    Q_OBJECT
public:
    // Constructing the worker starts it. `dialog` and `boxes` must outlive the thread's body.
    ProcThread(TProcessDialog& dialog, MessageBoxes& boxes);
    // Waits for the body to return; by then it has nothing left to do but return.
    ~ProcThread() override;
    ProcThread(const ProcThread&) = delete;
    ProcThread& operator=(const ProcThread&) = delete;

    // Asks the run to begin no further file and to stop before its next entry (the progress
    // window's Cancel). Any thread.
    void RequestCancel() { m_cancelRequested.store(true); }
    bool CancelRequested() const { return m_cancelRequested.load(); }

    // The run's state: written by the worker's own thread; read by others only once the body has
    // returned.
    RunState State;

protected:
    void run() override;
    // The worker object itself lives on the GUI thread: calls posted to it from the worker's body
    // run there.
    void customEvent(QEvent* event) override;

private:
    // Shows the run's last box, on the GUI thread.
    void AnnounceOutcome();

    TProcessDialog& m_dialog;
    MessageBoxes& m_boxes;
    // The run's settings with its list of names, copied from the progress window on the GUI thread
    // when the run starts.
    RunSettings m_settings;
    std::atomic<bool> m_cancelRequested{false};
    std::string m_abortReason; // what ended the run, when something other than the user did
    RunFailures m_failures;    // written by the worker; handed to the progress window at the end
};

} // namespace texelary
