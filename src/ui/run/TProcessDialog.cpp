#include "ui/run/TProcessDialog.h"

#include "ui/app/AppWindows.h"
#include "ui/run/ProcThread.h"
#include "ui_TProcessDialog.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <algorithm>

namespace texelary {

TProcessDialog::TProcessDialog(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TProcessDialog>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    // No close box, no system menu: the run closes the window.
    FixWindow(*this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
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

void TProcessDialog::ShowEntry(std::size_t index, std::size_t count, const std::string& entry) {
    m_ui->Count->setText(QStringLiteral("%1 of %2").arg(index + 1).arg(count));
    // The run's names are UTF-8 on every platform.
    const QString name = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
    const int room = m_ui->Current->width();
    m_ui->Current->setText(m_ui->Current->fontMetrics().elidedText(name, Qt::ElideMiddle, room));
    m_ui->Current->setToolTip(name);
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
    m_ui->Count->clear();
    m_ui->Current->clear();
    m_ui->Current->setToolTip({});
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
