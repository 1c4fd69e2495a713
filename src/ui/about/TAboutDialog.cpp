#include "ui/about/TAboutDialog.h"

#include "base/Version.h"
#include "ui/app/AppWindows.h"
#include "ui_TAboutDialog.h"

#include <QShowEvent>

namespace texelary {

TAboutDialog::TAboutDialog()
    : m_ui(std::make_unique<Ui::TAboutDialog>()) {
    m_ui->setupUi(this);
    m_ui->Label2->setText(QStringLiteral("Texelary ") + QString::fromLatin1(kVersion));
    FixWindow(*this, kDialogFrame);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TAboutDialog::Button1Click);
}

TAboutDialog::~TAboutDialog() = default;

void TAboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
    }
}

void TAboutDialog::Button1Click() {
    accept();
}

} // namespace texelary
