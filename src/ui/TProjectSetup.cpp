#include "ui/TProjectSetup.h"

#include "formats/Formats.h"
#include "ui/AppWindows.h"
#include "ui/ProgramSettings.h"
#include "ui/TPathDialog.h"
#include "ui_TProjectSetup.h"

#include <QDir>
#include <QShowEvent>

namespace texelary {

TProjectSetup::TProjectSetup(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TProjectSetup>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    FixWindow(*this, kDialogFrame);
    // The lists offer the formats in index order, so a list's index is the format's.
    for (const SourceFormatRow& row : SourceFormatRows()) {
        m_ui->ConvFrom->addItem(QString::fromLatin1(row.caption));
    }
    for (const TargetFormatRow& row : TargetFormatRows()) {
        m_ui->ConvTo->addItem(QString::fromLatin1(row.caption));
    }
    m_ui->ConvFrom->setCurrentIndex(0);
    m_ui->ConvTo->setCurrentIndex(0);
    const ProgramSettings saved = LoadProgramSettings();
    m_ui->KeepHeader->setChecked(saved.keepHeader);
    m_ui->MipLevels->setCurrentIndex(static_cast<int>(saved.mips));
    m_ui->TransparentIndex->setChecked(saved.transparentIndex);
    m_ui->Dither->setChecked(saved.dither);
    connect(m_ui->BmpDirBtn, &QPushButton::clicked, this, &TProjectSetup::BmpDirBtnClick);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TProjectSetup::Button1Click);
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->KeepHeader, &QCheckBox::toggled, this, &TProjectSetup::KeepHeaderClick);
    connect(m_ui->MipLevels, &QComboBox::currentIndexChanged, this,
            &TProjectSetup::MipLevelsChange);
    connect(m_ui->TransparentIndex, &QCheckBox::toggled, this,
            &TProjectSetup::TransparentIndexClick);
    connect(m_ui->Dither, &QCheckBox::toggled, this, &TProjectSetup::DitherClick);
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
QCheckBox& TProjectSetup::KeepHeader() const {
    return *m_ui->KeepHeader;
}
QComboBox& TProjectSetup::MipLevels() const {
    return *m_ui->MipLevels;
}
QCheckBox& TProjectSetup::TransparentIndex() const {
    return *m_ui->TransparentIndex;
}
QCheckBox& TProjectSetup::Dither() const {
    return *m_ui->Dither;
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
        m_ui->InputPath->setText(QDir::toNativeSeparators(chooser.ChosenPath()));
    }
}

void TProjectSetup::Button1Click() {
    TPathDialog& chooser = *m_windows.PathDialog;
    if (chooser.RunPathDialog()) {
        m_ui->OutputPath->setText(QDir::toNativeSeparators(chooser.ChosenPath()));
    }
}

// The dialog's program settings are what the settings are while the program runs; a change to
// any of them is saved at once.
void TProjectSetup::SaveSettings() const {
    SaveProgramSettings({m_ui->KeepHeader->isChecked(),
                         static_cast<MipFilter>(m_ui->MipLevels->currentIndex()),
                         m_ui->Dither->isChecked(), m_ui->TransparentIndex->isChecked()});
}

void TProjectSetup::KeepHeaderClick() {
    SaveSettings();
}

void TProjectSetup::TransparentIndexClick() {
    SaveSettings();
}

void TProjectSetup::DitherClick() {
    SaveSettings();
}

void TProjectSetup::MipLevelsChange() {
    SaveSettings();
}

} // namespace texelary
