#pragma once

// The worker of one conversion run. It computes the progress step, has the whole conversion loop
// run on the GUI thread, announces the outcome and has the progress window closed. Widgets and
// the image list belong to the GUI thread: the worker reaches them only through a blocking queued
// call, while it waits, and the GUI thread never waits for the worker.

#include "convert/ConversionRun.h"

#include <QThread>
#include <atomic>

namespace texelary {

class TProcessDialog;

class ProcThread final : public QThread {
    Q_OBJECT
public:
    // Constructing the worker starts it. `dialog` and `boxes` must outlive the thread's body.
    ProcThread(TProcessDialog& dialog, RunFeedback& boxes);
    // Waits for the body to return; by then it has nothing left to do but return.
    ~ProcThread() override;
    ProcThread(const ProcThread&) = delete;
    ProcThread& operator=(const ProcThread&) = delete;

    // Asks the run to stop before its next entry (the progress window's Cancel). Any thread.
    void RequestCancel() { m_cancelRequested.store(true); }
    bool CancelRequested() const { return m_cancelRequested.load(); }

    // The run's state: written on the GUI thread during the blocking call, read by the worker
    // after it; the blocking call orders the two.
    RunState State;

protected:
    void run() override;

private:
    // Runs `work` on the GUI thread and waits until it has returned.
    template <typename Work> void OnGuiThread(Work work);

    TProcessDialog& m_dialog;
    RunFeedback& m_boxes;
    std::atomic<bool> m_cancelRequested{false};
};

} // namespace texelary
