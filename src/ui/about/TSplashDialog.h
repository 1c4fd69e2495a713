#pragma once

// The splash window: the splash picture in a window without frame or caption bar. The program
// never shows it; its timer closes it every 18 milliseconds for as long as the program runs.

#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class TSplashDialog;
}

namespace texelary {

class TSplashDialog final : public QDialog {
    Q_OBJECT
public:
    TSplashDialog();
    ~TSplashDialog() override;

    const QTimer& Timer1() const { return *m_timer; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void Timer1Timer();

private:
    std::unique_ptr<Ui::TSplashDialog> m_ui;
    std::unique_ptr<QTimer> m_timer;
};

} // namespace texelary
