#include "ui/ProcThread.h"

#include "ui/TProcessDialog.h"

namespace texelary {

ProcThread::ProcThread(TProcessDialog& dialog, RunFeedback& boxes)
    : m_dialog(dialog)
    , m_boxes(boxes) {
    start();
}

ProcThread::~ProcThread() {
    wait();
}

template <typename Work> void ProcThread::OnGuiThread(Work work) {
    QMetaObject::invokeMethod(&m_dialog, work, Qt::BlockingQueuedConnection);
}

void ProcThread::run() {
    // The list belongs to the GUI thread, so even its length is read there.
    OnGuiThread([this] {
        const FileList* files = m_dialog.Settings().RunFiles;
        PrepareProgress(State, files == nullptr ? 0 : files->Count());
    });
    // The run ends with exactly one of Done and Aborted set.
    OnGuiThread([this] { m_dialog.Convert(*this); });
    // The outcome boxes are widgets too: shown on the GUI thread while the worker waits, so the
    // progress window stays up until the box is dismissed.
    if (State.Done == 1) {
        OnGuiThread([this] {
            m_boxes.ShowMessage("All done", kMessageCaption, BoxButtons::Ok, BoxIcon::Information,
                                {});
        });
    }
    if (State.Aborted == 1) {
        OnGuiThread([this] {
            m_boxes.ShowMessage("Process has been aborted", kMessageCaption, BoxButtons::Ok,
                                BoxIcon::Exclamation, {});
        });
    }
    State.Image.reset();
    OnGuiThread([this] { m_dialog.CloseProgress(); });
}

} // namespace texelary
