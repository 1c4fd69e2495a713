#pragma once

// The progress window of a conversion run. Showing it starts a worker (ProcThread), which runs the
// conversion, shows its boxes and moves the bar here, announces the outcome and closes the window.
// Under the bar it shows which entry of how many is in hand, and its name. Its Cancel begins no
// further file and stops the run before its next entry, which then ends as aborted.

#include "convert/ConversionRun.h"
#include "ui/run/RunFailures.h"

#include <QDialog>
#include <memory>
#include <utility>
#include <vector>

class QProgressBar;

namespace Ui {
class TProcessDialog;
}

namespace texelary {

struct AppWindows;
class ProcThread;

class TProcessDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TProcessDialog(AppWindows& windows);
    // Waits for workers whose body is still returning; none is then waiting for this window.
    ~TProcessDialog() override;

    // What "Create..." hands over before showing the window: a copy of the list, and the
    // project's settings.
    RunSettings& Settings() { return m_settings; }

    QProgressBar& Bar() const;

    // The files the last run could not convert, handed over by its worker before the window
    // closes. GUI thread only.
    void TakeFailures(RunFailures failures) { m_failures = std::move(failures); }
    const RunFailures& Failures() const { return m_failures; }

    // Shows under the bar which entry of how many is being converted, and its name, cut in the
    // middle to fit. GUI thread only.
    void ShowEntry(std::size_t index, std::size_t count, const std::string& entry);

    // Closes the window, which resets the bar and ends its modal showing. GUI thread only.
    void CloseProgress();

    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void FormShow();
    void FormClose();
    void CancelBtnClick();

private:
    void ForgetWorker(const ProcThread* worker);

    std::unique_ptr<Ui::TProcessDialog> m_ui;
    AppWindows& m_windows;
    RunSettings m_settings;
    RunFailures m_failures;
    std::vector<std::unique_ptr<ProcThread>> m_workers;
    bool m_closing = false;
};

} // namespace texelary
