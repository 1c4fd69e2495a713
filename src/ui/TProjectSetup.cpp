#include "ui/TProjectSetup.h"

#include "ui/AppWindows.h"
#include "ui/TPathDialog.h"
#include "ui_TProjectSetup.h"

#include <QShowEvent>

namespace texelary {

TProjectSetup::TProjectSetup(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TProjectSetup>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, false);
    FixWindow(*this);
    m_ui->ConvFrom->setCurrentIndex(0);
    m_ui->ConvTo->setCurrentIndex(0);
    connect(m_ui->BmpDirBtn, &QPushButton::clicked, this, &TProjectSetup::BmpDirBtnClick);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TProjectSetup::Button1Click);
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TProjectSetup::~TProjectSetup() = default;

QLineEdit& TProjectSetup::InputPath() const {
    return *m_ui->InputPath;
}
QLineEdit& TProjectSetup::OutputPath() const {
    return *m_ui->OutputPath;
}
QComboBox& TProjectSetup::ConvFrom() const {
    return *m_ui->ConvFrom;
}
QComboBox& TProjectSetup::ConvTo() const {
    return *m_ui->ConvTo;
}

void TProjectSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
    }
}

void TProjectSetup::BmpDirBtnClick() {
    TPathDialog& chooser = *m_windows.PathDialog;
    if (chooser.RunPathDialog()) {
        m_ui->InputPath->setText(chooser.ChosenPath());
    }
}

void TProjectSetup::Button1Click() {
    TPathDialog& chooser = *m_windows.PathDialog;
    if (chooser.RunPathDialog()) {
        m_ui->OutputPath->setText(chooser.ChosenPath());
    }
}

} // namespace texelary
