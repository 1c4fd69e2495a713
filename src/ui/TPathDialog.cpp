#include "ui/TPathDialog.h"

#include "ui/AppWindows.h"
#include "ui/Application.h"
#include "ui_TPathDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

namespace texelary {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString CleanAbsolute(const QString& directory) {
    return QDir::cleanPath(QDir(directory).absolutePath());
}

constexpr int kDepthRole = Qt::UserRole + 1;

// Appends one line to the directory list, `depth` steps below the root.
void AddFolder(QListWidget& list, const QIcon& icon, int depth, const QString& name,
               const QString& path) {
    auto* item = new QListWidgetItem(icon, name, &list);
    item->setData(kPathRole, path);
    item->setData(kDepthRole, depth);
}

} // namespace

QSize FolderLines::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int depth = index.data(kDepthRole).toInt();
    return {QStyledItemDelegate::sizeHint(option, index).width() + depth * kIndent, kLineHeight};
}

void FolderLines::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    QStyleOptionViewItem indented(option);
    indented.rect.setLeft(option.rect.left() + index.data(kDepthRole).toInt() * kIndent);
    QStyledItemDelegate::paint(painter, indented, index);
}

TPathDialog::TPathDialog(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TPathDialog>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    m_ui->Path->setItemDelegate(&m_folderLines);
    FixWindow(*this, kDialogFrame);
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &TPathDialog::OkBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->Path, &QListWidget::itemDoubleClicked, this, &TPathDialog::PathDblClick);
    m_ui->Path->installEventFilter(this);

    // The list starts at the process's current directory, on the drive the selector shows.
    FillDrives();
    OpenDirectory(QDir::currentPath());
    connect(m_ui->Drive, &QComboBox::activated, this, &TPathDialog::DriveChange);
}

TPathDialog::~TPathDialog() = default;

bool TPathDialog::RunPathDialog() {
    if (m_windows.RunModal(*this) != QDialog::Accepted) {
        return false;
    }
    m_chosenPath = m_directory;
    return true;
}

void TPathDialog::FillDrives() {
    const QSignalBlocker blocker(m_ui->Drive);
    m_ui->Drive->clear();
    const QIcon driveIcon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) {
            roots.append(volume.rootPath());
        }
    }
    roots.sort();
    for (const QString& root : roots) {
        m_ui->Drive->addItem(driveIcon, QDir::toNativeSeparators(root), root);
    }
}

void TPathDialog::ShowDriveOf(const QString& directory) {
    const QSignalBlocker blocker(m_ui->Drive);
    const QString root = QStorageInfo(directory).rootPath();
    int index = m_ui->Drive->findData(root);
    if (index < 0 && !root.isEmpty()) {
        m_ui->Drive->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon),
                             QDir::toNativeSeparators(root), root);
        index = m_ui->Drive->count() - 1;
    }
    m_ui->Drive->setCurrentIndex(index);
}

bool TPathDialog::OpenDirectory(const QString& directory) {
    const QString path = CleanAbsolute(directory);
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) {
        ReportApplicationError(QStringLiteral("Cannot read the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QStringList subfolders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    if (!QDir::setCurrent(path)) {
        ReportApplicationError(QStringLiteral("Cannot open the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    m_directory = path;

    // The folders from the root down to this one, then its subfolders, each indented one step
    // deeper than its parent.
    QStringList chain;
    for (QDir up(path);;) {
        chain.prepend(up.absolutePath());
        if (up.isRoot() || !up.cdUp()) {
            break;
        }
    }
    QListWidget& list = *m_ui->Path;
    list.clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name =
            QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : QDir(folder).dirName();
        AddFolder(list, openIcon, depth, name, folder);
        ++depth;
    }
    list.setCurrentRow(list.count() - 1);
    for (const QString& subfolder : subfolders) {
        AddFolder(list, closedIcon, depth, subfolder, dir.absoluteFilePath(subfolder));
    }
    ShowDriveOf(path);
    return true;
}

bool TPathDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->Path && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            PathDblClick(m_ui->Path->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPathDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        // Folders may have come or gone since the last use: read the directory again, or the
        // nearest one above it that is still there.
        QString still = m_directory;
        while (!QDir(still).exists() && QFileInfo(still).path() != still) {
            still = QFileInfo(still).path();
        }
        OpenDirectory(still);
        // The arrow keys and typing go to the folders, whatever had the focus when it closed.
        m_ui->Path->setFocus();
    }
}

void TPathDialog::OkBtnClick() {
    done(QDialog::Accepted);
}

void TPathDialog::DriveChange(int index) {
    const QString root = m_ui->Drive->itemData(index).toString();
    if (!root.isEmpty()) {
        OpenDirectory(root);
    }
}

void TPathDialog::PathDblClick(QListWidgetItem* item) {
    if (item != nullptr) {
        OpenDirectory(item->data(kPathRole).toString());
    }
}

} // namespace texelary
