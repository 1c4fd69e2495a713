#include "ui/run/ProcThread.h"

#include "base/Failure.h"
#include "ui/app/MessageBoxes.h"
#include "ui/run/RunFailures.h"
#include "ui/run/TProcessDialog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// ThreadSanitizer sees only what is built for it, and Qt is not: the hand-over of an event from
// one thread to another and a thread's end go unseen. These tell it, so that what one thread
// wrote before handing over is known to be seen by the thread that takes over. Nothing in other
// builds.
#if defined(__SANITIZE_THREAD__)
#define TEXELARY_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TEXELARY_THREAD_SANITIZER 1
#endif
#endif
#ifdef TEXELARY_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace texelary {

namespace {

void HandOver([[maybe_unused]] const void* token) {
#ifdef TEXELARY_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(token));
#endif
}

void TakeOver([[maybe_unused]] const void* token) {
#ifdef TEXELARY_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(token));
#endif
}

// Lets a thread that waits for a call go once the call has run.
struct Waiter {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
};

const QEvent::Type kCallEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// A call posted to the worker object, which lives on the GUI thread. Destroyed there once it has
// run, or unrun when the worker object goes first; either way a thread waiting for it goes on.
class CallEvent final : public QEvent {
public:
    CallEvent(std::function<void()> call, Waiter* waiter)
        : QEvent(kCallEventType)
        , m_call(std::move(call))
        , m_waiter(waiter) {}
    CallEvent(const CallEvent&) = delete;
    CallEvent& operator=(const CallEvent&) = delete;

    ~CallEvent() override {
        TakeOver(this);
        if (m_waiter != nullptr) {
            std::lock_guard lock(m_waiter->mutex);
            m_waiter->done = true;
            m_waiter->returned.notify_one(); // under the lock: the waiter may go once it is free
        }
    }

    void Run() { m_call(); }

private:
    std::function<void()> m_call;
    Waiter* m_waiter;
};

// Posts `call` to `worker`, on the GUI thread; with a `waiter`, the caller then waits for it.
void Post(ProcThread& worker, std::function<void()> call, Waiter* waiter) {
    auto* event = new CallEvent(std::move(call), waiter);
    HandOver(event);
    QCoreApplication::postEvent(&worker, event);
}

// Runs `work` on the GUI thread and waits until it has returned. Qt's blocking queued call does
// the same; this one shows the thread checker the hand-over both ways.
void OnGuiThread(ProcThread& worker, const std::function<void()>& work) {
    Waiter waiter;
    Post(worker, work, &waiter);
    std::unique_lock lock(waiter.mutex);
    waiter.returned.wait(lock, [&waiter] { return waiter.done; });
}

// Runs `work` on the GUI thread on the run's behalf and throws what it throws on the worker, as
// if the run had thrown it there: a box or a bar that fails (no memory) ends the run like any
// failure of its own, instead of going to the application's error report while the run goes on.
void ForTheRun(ProcThread& worker, const std::function<void()>& work) {
    std::exception_ptr error;
    OnGuiThread(worker, [&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error) {
        std::rethrow_exception(error);
    }
}

// The run's feedback as the worker sees it: every box is shown, and the bar moved, on the GUI
// thread while the worker waits, in the order the run asks for them; Cancel is the worker's flag,
// which the progress window's button sets while the run goes on.
class GuiFeedback final : public RunFeedback {
public:
    GuiFeedback(TProcessDialog& dialog, MessageBoxes& boxes, ProcThread& worker,
                RunFailures& failures)
        : m_dialog(dialog)
        , m_boxes(boxes)
        , m_worker(worker)
        , m_failures(failures) {}

    // A stop box is a failure's; the others tell of files written all the same.
    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override {
        if (icon == BoxIcon::Stop) {
            m_failures.Failed(text, detail);
        }
        BoxAnswer answer = BoxAnswer::Ok;
        ForTheRun(m_worker, [&] {
            answer = RunAnswerOf(
                m_boxes.ShowMessage(text, caption, WindowButtonsOf(buttons), icon, detail));
        });
        return answer;
    }

    // Only a new position costs a call: with many entries the bar moves every few of them.
    void SetProgress(int position) override {
        m_failures.EntryFinished(); // the bar moves once an entry is finished
        if (position != m_position) {
            m_position = position;
            ForTheRun(m_worker, [&] { m_dialog.Bar().setValue(position); });
        }
    }

    bool CancelRequested() override { return m_worker.CancelRequested(); }

    // The names go by without waiting: the window shows the newest one whenever it gets to it,
    // and always before the bar's next position, which comes later through the same queue.
    void EntryStarting(std::size_t index, std::size_t count, const std::string& entry) override {
        m_failures.EntryStarting(index, entry);
        {
            std::lock_guard lock(m_entry->mutex);
            m_entry->index = index;
            m_entry->count = count;
            m_entry->name = entry;
        }
        if (!m_entry->posted.exchange(true)) {
            Post(
                m_worker,
                [entry = m_entry, &dialog = m_dialog] {
                    entry->posted.store(false);
                    std::lock_guard lock(entry->mutex);
                    dialog.ShowEntry(entry->index, entry->count, entry->name);
                },
                nullptr);
        }
    }

private:
    TProcessDialog& m_dialog;
    MessageBoxes& m_boxes;
    ProcThread& m_worker;
    RunFailures& m_failures;
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

ProcThread::ProcThread(TProcessDialog& dialog, MessageBoxes& boxes)
    : m_dialog(dialog)
    , m_boxes(boxes) {
    // The last the thread does with this object; wait() in the destructor takes over from there.
    connect(
        this, &QThread::finished, this, [this] { HandOver(this); }, Qt::DirectConnection);
    start();
}

ProcThread::~ProcThread() {
    wait();
    TakeOver(this);
}

void ProcThread::customEvent(QEvent* event) {
    TakeOver(event); // before anything of the event is read
    if (event->type() == kCallEventType) {
        static_cast<CallEvent*>(event)->Run();
    }
}

void ProcThread::run() {
    m_abortReason.clear();
    m_failures.Clear();
    try {
        OnGuiThread(*this, [this] {
            m_settings = m_dialog.Settings();
            PrepareProgress(State, m_settings.RunFiles.size());
        });
        m_settings.jobs = DefaultJobs();
        m_settings.stop = &m_cancelRequested;
        // The run ends with exactly one of Done and Aborted set.
        GuiFeedback feedback(m_dialog, m_boxes, *this, m_failures);
        RunConversion(m_settings, State, feedback);
    } catch (...) {
        // No memory, no thread to be had, a file system that fails: nothing outside this thread
        // would catch it, and the program would end mid-run. The run ends as aborted instead,
        // saying why; on the way here its pool has removed the temporary files of the entries
        // converted ahead.
        State.Done = 0;
        State.Aborted = 1;
        m_abortReason = DescribeFailure(std::current_exception());
    }
    // The outcome box is a widget too: shown on the GUI thread while the worker waits, so the
    // progress window stays up until the box is dismissed.
    OnGuiThread(*this, [this] {
        AnnounceOutcome();
        m_dialog.TakeFailures(std::move(m_failures));
    });
    State.Image.reset();
    OnGuiThread(*this, [this] { m_dialog.CloseProgress(); });
}

// "All done" says how many entries went which way, and warns when any failed: each failure had
// its own box, which the user may have dismissed without reading, so the last box lists them all
// again and offers to save the list. "Process has been aborted" says how far the run got.
void ProcThread::AnnounceOutcome() {
    std::string text;
    std::string detail;
    BoxIcon icon = BoxIcon::Exclamation;
    if (State.Done == 1) {
        text = "All done";
        detail = std::to_string(State.Converted) + " converted, " + std::to_string(State.Failed) +
                 " failed";
        icon = State.Failed > 0 ? BoxIcon::Exclamation : BoxIcon::Information;
    } else if (State.Aborted == 1) {
        text = "Process has been aborted";
        const std::string done = std::to_string(State.Converted + State.Failed) + " of " +
                                 std::to_string(m_settings.RunFiles.size()) + " files were done";
        detail = m_abortReason.empty() ? done : m_abortReason + ". " + done;
    } else {
        return;
    }
    if (m_failures.Empty()) {
        m_boxes.ShowMessage(text, kMessageCaption, WindowButtons::Ok, icon, detail);
        return;
    }
    if (m_boxes.ShowDetailedMessage(text, kMessageCaption, WindowButtons::OkSaveList, icon, detail,
                                    m_failures.ListText()) == WindowAnswer::SaveList) {
        SaveFailedList(m_failures, m_settings.RunOutputDir, m_settings.RunConvTo, m_boxes);
    }
}

} // namespace texelary
