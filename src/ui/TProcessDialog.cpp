#include "ui/TProcessDialog.h"

#include "ui/AppWindows.h"
#include "ui/ProcThread.h"
#include "ui_TProcessDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QShowEvent>
#include <algorithm>

namespace texelary {

namespace {

// What the run shows while the progress window is up: boxes through the program's boxes, the
// position on the bar, and, before every entry, a look at pending events so that the bar repaints
// and a press of Cancel is seen.
class ProgressFeedback final : public RunFeedback {
public:
    ProgressFeedback(RunFeedback& boxes, QProgressBar& bar, const ProcThread& worker)
        : m_boxes(boxes)
        , m_bar(bar)
        , m_worker(worker) {}

    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override {
        return m_boxes.ShowMessage(text, caption, buttons, icon, detail);
    }
    void SetProgress(int position) override { m_bar.setValue(position); }
    bool CancelRequested() override {
        QCoreApplication::processEvents();
        return m_worker.CancelRequested();
    }

private:
    RunFeedback& m_boxes;
    QProgressBar& m_bar;
    const ProcThread& m_worker;
};

} // namespace

TProcessDialog::TProcessDialog(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TProcessDialog>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    // No close box, no system menu: the run closes the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_QuitOnClose, false);
    FixWindow(*this);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &TProcessDialog::CancelBtnClick);
}

TProcessDialog::~TProcessDialog() {
    for (const auto& worker : m_workers) {
        worker->wait();
    }
}

QProgressBar& TProcessDialog::Bar() const {
    return *m_ui->Bar;
}

void TProcessDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
}

void TProcessDialog::FormShow() {
    if (m_windows.CurrentWorker != nullptr) {
        return;
    }
    m_workers.push_back(std::make_unique<ProcThread>(*this, *m_windows.Boxes));
    ProcThread* worker = m_workers.back().get();
    m_windows.CurrentWorker = worker;
    // The worker object goes once its body has returned (queued onto this thread).
    connect(worker, &QThread::finished, this, [this, worker] { ForgetWorker(worker); });
}

void TProcessDialog::ForgetWorker(const ProcThread* worker) {
    std::erase_if(m_workers, [worker](const auto& held) { return held.get() == worker; });
}

void TProcessDialog::Convert(ProcThread& worker) {
    ProgressFeedback feedback(*m_windows.Boxes, *m_ui->Bar, worker);
    RunConversion(m_settings, worker.State, feedback);
}

void TProcessDialog::CancelBtnClick() {
    if (m_windows.CurrentWorker != nullptr) {
        m_windows.CurrentWorker->RequestCancel();
    }
    m_windows.CurrentWorker = nullptr;
}

void TProcessDialog::CloseProgress() {
    m_closing = true;
    done(QDialog::Accepted);
    m_closing = false;
}

void TProcessDialog::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TProcessDialog::FormClose() {
    if (m_windows.CurrentWorker != nullptr) {
        m_windows.CurrentWorker->RequestCancel();
    }
    m_ui->Bar->setValue(0);
    m_windows.CurrentWorker = nullptr;
}

// Escape and the window manager's close go nowhere: only the run closes this window.
void TProcessDialog::reject() {
    if (m_closing) {
        QDialog::reject();
    }
}

void TProcessDialog::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace texelary
