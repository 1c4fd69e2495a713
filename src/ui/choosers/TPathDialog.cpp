#include "ui/choosers/TPathDialog.h"

#include "archives/ArchiveListing.h"
#include "ui/app/AppWindows.h"
#include "ui/app/Application.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/WindowMemory.h"
#include "ui_TPathDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHideEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>
#include <optional>

namespace texelary {

// The name under which the chooser's size is kept.
constexpr const char* kPathChooserName = "PathChooser";

namespace PathDialogLayout {
constexpr int kDriveLetters = 16; // what the drive selector needs room for at least
} // namespace PathDialogLayout

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

// An archive and a folder inside it ("textures/e1", empty for the archive itself), from a path
// that is or runs through one; none for other paths.
struct ArchivePlace {
    QString archive;
    QString folder;
};

std::optional<ArchivePlace> ArchivePlaceOf(const QString& path) {
    const auto place = ArchiveFolderOf(LocalPath(path));
    if (!place) {
        return std::nullopt;
    }
    return ArchivePlace{FromLocalPath(place->archive), FromLocalPath(place->entry)};
}

// The folders of an archive (ListArchiveFolders); none, with the reason, when it can't be read.
std::optional<QStringList> FoldersIn(const QString& archive, QString& why) {
    ReadError error = ReadError::None;
    const auto folders = ListArchiveFolders(LocalPath(archive), &error);
    if (!folders) {
        why = QString::fromLatin1(DescribeReadError(error));
        return std::nullopt;
    }
    QStringList names;
    for (const std::string& folder : *folders) {
        names.append(FromLocalPath(folder));
    }
    return names;
}

QIcon ArchiveIcon(const QStyle& style) {
    return style.standardIcon(QStyle::SP_FileIcon);
}

} // namespace

int FolderLines::IconSize(const QStyle& style) {
    return std::min(style.pixelMetric(QStyle::PM_SmallIconSize), kLineHeight);
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
    ElideInTheMiddle(*m_ui->Path);
    m_layout = std::make_unique<GrowingLayout>(*this, QList<Follow>{{"GroupBox1", 0, 0, 1, 1},
                                                                    {"Path", 0, 0, 1, 1},
                                                                    {"Drive", 0, 1, 1, 0},
                                                                    {"NewFolderBtn", 1, 1, 0, 0},
                                                                    {"PathLabel", 0, 1, 1, 0},
                                                                    {"OkBtn", 1, 1, 0, 0},
                                                                    {"CancelBtn", 1, 1, 0, 0}});
    // A volume's name longer than the selector is shortened; the list of them shows it whole.
    m_ui->Drive->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_ui->Drive->setMinimumContentsLength(PathDialogLayout::kDriveLetters);
    // Set after the window's font, which the style's sizes may follow.
    const int icon = FolderLines::IconSize(*style());
    m_ui->Path->setIconSize(QSize(icon, icon));
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &TPathDialog::OkBtnClick);
    connect(m_ui->NewFolderBtn, &QPushButton::clicked, this, &TPathDialog::NewFolderBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->Path, &QListWidget::itemDoubleClicked, this, &TPathDialog::PathDblClick);
    connect(m_ui->Path, &QListWidget::currentItemChanged, this, &TPathDialog::PathChange);
    m_ui->PathLabel->installEventFilter(this);
    m_ui->Path->installEventFilter(this);

    // The list starts at the process's current directory, on the drive the selector shows.
    FillDrives();
    OpenDirectory(QDir::currentPath());
    connect(m_ui->Drive, &QComboBox::activated, this, &TPathDialog::DriveChange);
}

TPathDialog::~TPathDialog() = default;

bool TPathDialog::RunPathDialog(PathChoice choice, const QString& start) {
    m_choice = choice;
    if (!start.isEmpty()) {
        m_directory = CleanAbsolute(QDir::fromNativeSeparators(start));
    }
    const int result = m_windows.RunModal(*this);
    // Between runs the chooser opens whatever it is asked to.
    m_choice = PathChoice::FoldersAndArchives;
    if (result != QDialog::Accepted) {
        return false;
    }
    const QListWidgetItem* highlighted = m_ui->Path->currentItem();
    const QString typed = FieldPath();
    m_chosenPath = !typed.isEmpty() && StillThere(typed) ? typed
                   : highlighted != nullptr              ? highlighted->data(kPathRole).toString()
                                                         : m_directory;
    return true;
}

// The field shows the highlighted line's path as the system writes it, until a path is typed.
void TPathDialog::PathChange(QListWidgetItem* current) {
    const QString path = current != nullptr
                             ? QDir::toNativeSeparators(current->data(kPathRole).toString())
                             : QString();
    m_ui->PathLabel->setText(path);
    m_ui->PathLabel->setToolTip(path);
}

QString TPathDialog::ExpandHome(const QString& path) {
    const QString tilde = QStringLiteral("~");
    if (path == tilde || path.startsWith(QStringLiteral("~/"))) {
        return QDir::homePath() + path.mid(tilde.size());
    }
    return path;
}

QString TPathDialog::FieldPath() const {
    const QString typed = m_ui->PathLabel->text().trimmed();
    return typed.isEmpty() ? QString()
                           : CleanAbsolute(ExpandHome(QDir::fromNativeSeparators(typed)));
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
        m_ui->Drive->setItemData(m_ui->Drive->count() - 1, QDir::toNativeSeparators(root),
                                 Qt::ToolTipRole);
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
    const bool archives = m_choice == PathChoice::FoldersAndArchives;
    return archives && ArchivePlaceOf(path) ? OpenArchive(path) : OpenFolder(path);
}

bool TPathDialog::OpenFolder(const QString& path) {
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) {
        ReportApplicationError(QStringLiteral("Cannot read the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    QList<Line> children;
    for (const QString& subfolder :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        children.append({subfolder, dir.absoluteFilePath(subfolder)});
    }
    if (m_choice == PathChoice::FoldersAndArchives) {
        // Name filters ignore case, so these also find BASE.PAK.
        const QStringList archives = dir.entryList(
            QStringList{QStringLiteral("*.pak"), QStringLiteral("*.wad"), QStringLiteral("*.bsp")},
            QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString& archive : archives) {
            children.append({archive, dir.absoluteFilePath(archive), true});
        }
    }
    if (!QDir::setCurrent(path)) {
        ReportApplicationError(QStringLiteral("Cannot open the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    m_directory = path;
    ShowLines(ChainTo(path), children);
    ShowDriveOf(path);
    return true;
}

// The archive's own line stands below the folder that holds it, and the pak's folders below it;
// the process's current directory stays the last folder opened.
bool TPathDialog::OpenArchive(const QString& path) {
    const ArchivePlace place = *ArchivePlaceOf(path);
    QString why;
    const std::optional<QStringList> folders = FoldersIn(place.archive, why);
    if (!folders) {
        ReportApplicationError(QStringLiteral("Cannot read the archive \"%1\".")
                                   .arg(QDir::toNativeSeparators(place.archive)),
                               why);
        return false;
    }
    if (!place.folder.isEmpty() && !folders->contains(place.folder)) {
        ReportApplicationError(QStringLiteral("Cannot read the directory \"%1\".")
                                   .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QString holder = QFileInfo(place.archive).absolutePath();
    QList<Line> chain = ChainTo(holder);
    chain.append({QFileInfo(place.archive).fileName(), place.archive, true});
    QString reached = place.archive;
    if (!place.folder.isEmpty()) {
        for (const QString& part : place.folder.split(QLatin1Char('/'))) {
            reached += QLatin1Char('/') + part;
            chain.append({part, reached});
        }
    }
    const QString prefix = place.folder.isEmpty() ? QString() : place.folder + QLatin1Char('/');
    QList<Line> children;
    for (const QString& folder : *folders) {
        const QString rest = folder.mid(prefix.size());
        if (folder.startsWith(prefix) && !rest.contains(QLatin1Char('/'))) {
            children.append({rest, place.archive + QLatin1Char('/') + folder});
        }
    }
    std::sort(children.begin(), children.end(), [](const Line& a, const Line& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    m_directory = reached;
    ShowLines(chain, children);
    ShowDriveOf(holder);
    return true;
}

QList<TPathDialog::Line> TPathDialog::ChainTo(const QString& folder) {
    QList<Line> chain;
    for (QDir up(folder);;) {
        const QString path = up.absolutePath();
        chain.prepend({up.isRoot() ? QDir::toNativeSeparators(path) : up.dirName(), path});
        if (up.isRoot() || !up.cdUp()) {
            break;
        }
    }
    return chain;
}

// Each line is indented one step deeper than its parent.
void TPathDialog::ShowLines(const QList<Line>& chain, const QList<Line>& children) {
    QListWidget& list = *m_ui->Path;
    list.clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon archiveIcon = ArchiveIcon(*style());
    int depth = 0;
    for (const Line& line : chain) {
        AddFolder(list, line.archive ? archiveIcon : openIcon, depth, line.name, line.path);
        ++depth;
    }
    list.setCurrentRow(list.count() - 1);
    for (const Line& line : children) {
        AddFolder(list, line.archive ? archiveIcon : closedIcon, depth, line.name, line.path);
    }
    SetLineTips(list);
}

bool TPathDialog::StillThere(const QString& path) const {
    if (QDir(path).exists()) {
        return true;
    }
    const auto place =
        m_choice == PathChoice::FoldersAndArchives ? ArchivePlaceOf(path) : std::nullopt;
    if (!place || place->folder.isEmpty()) {
        return place.has_value();
    }
    QString why;
    const auto folders = FoldersIn(place->archive, why);
    return folders && folders->contains(place->folder);
}

// Return opens the highlighted folder in the list, and takes the typed path in the field as
// "Ok" does.
bool TPathDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_ui->Path || watched == m_ui->PathLabel) &&
        event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_ui->Path) {
                PathDblClick(m_ui->Path->currentItem());
            } else {
                OkBtnClick();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPathDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        // At the size it was last left at, never less than its first size.
        if (!isMaximized()) {
            resize(ChooserSize(kPathChooserName, minimumSize()));
        }
        CentreOnScreen(*this);
        // Folders may have come or gone since the last use: read the directory again, or the
        // nearest one above it that is still there (a folder alone, when no archive is offered).
        QString still = m_directory;
        while (!StillThere(still) && QFileInfo(still).path() != still) {
            still = QFileInfo(still).path();
        }
        OpenDirectory(still);
        // The arrow keys and typing go to the folders, whatever had the focus when it closed.
        m_ui->Path->setFocus();
    }
}

// A typed path that names nothing the chooser offers is said in a box; the chooser stays open.
void TPathDialog::OkBtnClick() {
    const QString typed = FieldPath();
    if (!typed.isEmpty() && !StillThere(typed)) {
        ShowBox(*m_windows.Boxes,
                "\"" + LocalPath(QDir::toNativeSeparators(typed)) + "\" is not a folder",
                BoxIcon::Stop, WindowButtons::Ok,
                QFileInfo::exists(typed) ? "it is not a folder" : "the folder does not exist");
        m_ui->PathLabel->setFocus();
        m_ui->PathLabel->selectAll();
        return;
    }
    done(QDialog::Accepted);
}

void TPathDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        KeepChooserSize(kPathChooserName, *this);
    }
}

void TPathDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_layout->Apply();
}

// The new folder becomes the highlighted line, so that "Ok" takes it.
void TPathDialog::NewFolderBtnClick() {
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("NewFolderDialog"));
    ask.setWindowTitle(QStringLiteral("New folder"));
    ask.setLabelText(QStringLiteral("Name of the new folder in \"%1\":")
                         .arg(QDir::toNativeSeparators(m_directory)));
    if (m_windows.RunModal(ask) != QDialog::Accepted || ask.textValue().trimmed().isEmpty()) {
        return;
    }
    const QString name = ask.textValue().trimmed();
    const QString problem = NewFolderProblem(name);
    const QString path = m_directory + (m_directory.endsWith(QLatin1Char('/')) ? "" : "/") + name;
    if (!problem.isEmpty() || !QDir(m_directory).mkdir(name)) {
        ShowBox(*m_windows.Boxes,
                LocalPath(QStringLiteral("Cannot make the folder \"%1\".")
                              .arg(QDir::toNativeSeparators(path))),
                BoxIcon::Stop, WindowButtons::Ok,
                LocalPath(problem.isEmpty() ? QStringLiteral("the system refused it") : problem));
        return;
    }
    OpenDirectory(m_directory);
    const QList<QListWidgetItem*> made = m_ui->Path->findItems(name, Qt::MatchExactly);
    if (!made.isEmpty()) {
        m_ui->Path->setCurrentItem(made.last());
    }
}

QString TPathDialog::NewFolderProblem(const QString& name) const {
    if (ArchivePlaceOf(m_directory)) {
        return QStringLiteral("folders can't be made inside an archive");
    }
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        return QStringLiteral("a folder's name holds no / or \\");
    }
    // "." and ".." are there too.
    if (QFileInfo::exists(QDir(m_directory).filePath(name))) {
        return QStringLiteral("something of that name is already there");
    }
    if (!QFileInfo(m_directory).isWritable()) {
        return QStringLiteral("the folder can't be written to");
    }
    return {};
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
