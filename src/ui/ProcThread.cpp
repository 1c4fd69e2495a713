#include "ui/ProcThread.h"

#include "ui/TProcessDialog.h"

#include <QProgressBar>
#include <atomic>
#include <memory>
#include <mutex>

namespace texelary {

namespace {

// Runs `work` on the GUI thread (the thread of `context`) and waits until it has returned.
template <typename Work> void OnGuiThread(QObject& context, Work work) {
    QMetaObject::invokeMethod(&context, work, Qt::BlockingQueuedConnection);
}

// The run's feedback as the worker sees it: every box is shown, and the bar moved, on the GUI
// thread through a blocking call, in the order the run asks for them; Cancel is the worker's
// flag, which the progress window's button sets while the run goes on.
class GuiFeedback final : public RunFeedback {
public:
    GuiFeedback(TProcessDialog& dialog, RunFeedback& boxes, const ProcThread& worker)
        : m_dialog(dialog)
        , m_boxes(boxes)
        , m_worker(worker) {}

    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override {
        BoxAnswer answer = BoxAnswer::Ok;
        OnGuiThread(m_dialog,
                    [&] { answer = m_boxes.ShowMessage(text, caption, buttons, icon, detail); });
        return answer;
    }

    void ShowNotice(const std::string& text) override {
        OnGuiThread(m_dialog, [&] { m_boxes.ShowNotice(text); });
    }

    // Only a new position costs a call: with many entries the bar moves every few of them.
    void SetProgress(int position) override {
        if (position != m_position) {
            m_position = position;
            OnGuiThread(m_dialog, [&] { m_dialog.Bar().setValue(position); });
        }
    }

    bool CancelRequested() override { return m_worker.CancelRequested(); }

    // The names go by without waiting: the window shows the newest one whenever it gets to it,
    // and always before the bar's next position, which comes later through the same queue.
    void EntryStarting(std::size_t index, std::size_t count, const std::string& entry) override {
        {
            std::lock_guard lock(m_entry->mutex);
            m_entry->index = index;
            m_entry->count = count;
            m_entry->name = entry;
        }
        if (!m_entry->posted.exchange(true)) {
            QMetaObject::invokeMethod(
                &m_dialog,
                [entry = m_entry, &dialog = m_dialog] {
                    entry->posted.store(false);
                    std::lock_guard lock(entry->mutex);
                    dialog.ShowEntry(entry->index, entry->count, entry->name);
                },
                Qt::QueuedConnection);
        }
    }

private:
    TProcessDialog& m_dialog;
    RunFeedback& m_boxes;
    const ProcThread& m_worker;
    int m_position = -1;
    // The newest entry named, shared with the call on its way to show it.
    struct Entry {
        std::mutex mutex;
        std::size_t index = 0;
        std::size_t count = 0;
        std::string name;
        std::atomic<bool> posted{false};
    };
    std::shared_ptr<Entry> m_entry = std::make_shared<Entry>();
};

} // namespace

ProcThread::ProcThread(TProcessDialog& dialog, RunFeedback& boxes)
    : m_dialog(dialog)
    , m_boxes(boxes) {
    start();
}

ProcThread::~ProcThread() {
    wait();
}

void ProcThread::run() {
    OnGuiThread(m_dialog, [this] {
        m_settings = m_dialog.Settings();
        std::vector<std::string> names;
        if (const FileList* files = m_settings.RunFiles; files != nullptr) {
            names.reserve(files->Count());
            for (std::size_t i = 0; i < files->Count(); ++i) {
                names.push_back(files->Entry(i));
            }
        }
        m_files = VectorFileList(std::move(names));
        PrepareProgress(State, m_files.Count());
    });
    m_settings.RunFiles = &m_files;
    m_settings.RunJobs = DefaultJobs();
    m_settings.RunStop = &m_cancelRequested;
    // The run ends with exactly one of Done and Aborted set.
    GuiFeedback feedback(m_dialog, m_boxes, *this);
    RunConversion(m_settings, State, feedback);
    // The outcome boxes are widgets too: shown on the GUI thread while the worker waits, so the
    // progress window stays up until the box is dismissed.
    if (State.Done == 1) {
        OnGuiThread(m_dialog, [this] {
            m_boxes.ShowMessage("All done", kMessageCaption, BoxButtons::Ok, BoxIcon::Information,
                                {});
        });
    }
    if (State.Aborted == 1) {
        OnGuiThread(m_dialog, [this] {
            m_boxes.ShowMessage("Process has been aborted", kMessageCaption, BoxButtons::Ok,
                                BoxIcon::Exclamation, {});
        });
    }
    State.Image.reset();
    OnGuiThread(m_dialog, [this] { m_dialog.CloseProgress(); });
}

} // namespace texelary
