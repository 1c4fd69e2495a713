#include "ui/about/TSplashDialog.h"

#include "ui/app/AppWindows.h"
#include "ui_TSplashDialog.h"

#include <QShowEvent>
#include <QTimer>

namespace texelary {

TSplashDialog::TSplashDialog()
    : m_ui(std::make_unique<Ui::TSplashDialog>())
    , m_timer(std::make_unique<QTimer>()) {
    m_ui->setupUi(this);
    FixWindow(*this, Qt::SplashScreen | Qt::FramelessWindowHint);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(18);
    connect(m_timer.get(), &QTimer::timeout, this, &TSplashDialog::Timer1Timer);
    m_timer->start();
}

TSplashDialog::~TSplashDialog() = default;

void TSplashDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
    }
}

// Closing a hidden window has no effect, so a hidden splash is left alone.
void TSplashDialog::Timer1Timer() {
    if (isVisible()) {
        close();
    }
}

} // namespace texelary
