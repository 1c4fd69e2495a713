#include "ui/TFileDialog.h"

#include "ui/AppWindows.h"
#include "ui/Application.h"
#include "ui_TFileDialog.h"

#include <QDir>
#include <QShowEvent>

namespace texelary {

TFileDialog::TFileDialog(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TFileDialog>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    m_ui->File->setItemDelegate(&m_lineHeight);
    FixWindow(*this, kDialogFrame);
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->File, &QListWidget::itemDoubleClicked, this, &TFileDialog::FileDblClick);
}

TFileDialog::~TFileDialog() = default;

QListWidget& TFileDialog::File() const {
    return *m_ui->File;
}

bool TFileDialog::ReadDirectory() {
    const QString path = QDir::cleanPath(QDir(m_directory).absolutePath());
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable() || !QDir::setCurrent(path)) {
        ReportApplicationError(QStringLiteral("Cannot read the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    // Name filters ignore case unless told otherwise, so *.bmp also lists WALL.BMP.
    dir.setNameFilters(QStringList{m_mask});
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    m_ui->File->clear();
    m_ui->File->addItems(dir.entryList());
    return true;
}

bool TFileDialog::RunFileDialog() {
    if (!ReadDirectory()) {
        return false;
    }
    int result = m_windows.RunModal(*this);
    if (m_acceptedByDoubleClick) {
        result = QDialog::Accepted;
    }
    if (result != QDialog::Accepted) {
        return false;
    }
    return m_ui->File->currentItem() != nullptr;
}

void TFileDialog::ResetSelection() {
    m_ui->File->clearSelection();
    if (m_ui->File->count() > 0) {
        m_ui->File->item(0)->setSelected(true);
    }
}

void TFileDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
}

void TFileDialog::FormShow() {
    m_acceptedByDoubleClick = false;
    // Opens with exactly its first file selected, and that file current.
    if (m_ui->File->count() > 0) {
        m_ui->File->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void TFileDialog::FileDblClick() {
    m_acceptedByDoubleClick = true;
    close();
}

} // namespace texelary
