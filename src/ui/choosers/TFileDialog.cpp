#include "ui/choosers/TFileDialog.h"

#include "archives/ArchiveListing.h"
#include "ui/app/AppWindows.h"
#include "ui/app/Application.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/WindowMemory.h"
#include "ui/choosers/TextureNames.h"
#include "ui_TFileDialog.h"

#include <QDir>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <algorithm>

namespace texelary {

// The name under which the chooser's size is kept.
constexpr const char* kFileChooserName = "FileChooser";

TFileDialog::TFileDialog(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TFileDialog>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    m_ui->File->setItemDelegate(&m_lines);
    ElideInTheMiddle(*m_ui->File);
    // The list's frame stays visible around the words that stand in for its lines.
    m_empty = new QLabel(m_ui->GroupBox1);
    m_empty->setObjectName(QStringLiteral("Empty"));
    m_empty->setGeometry(m_ui->File->geometry().marginsRemoved(QMargins(2, 2, 2, 2)));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_empty->hide();
    m_layout = std::make_unique<GrowingLayout>(*this, QList<Follow>{{"GroupBox1", 0, 0, 1, 1},
                                                                    {"File", 0, 0, 1, 1},
                                                                    {"Empty", 0, 0, 1, 1},
                                                                    {"OkBtn", 1, 1, 0, 0},
                                                                    {"CancelBtn", 1, 1, 0, 0}});
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->File, &QListWidget::itemDoubleClicked, this, &TFileDialog::FileDblClick);
}

TFileDialog::~TFileDialog() = default;

QListWidget& TFileDialog::File() const {
    return *m_ui->File;
}

void TFileDialog::SetSourceFormat(std::optional<SourceFormat> format) {
    m_format = format;
    m_mask = QString::fromLatin1(format ? RowOf(*format).mask : "");
}

bool TFileDialog::ReadDirectory() {
    const QString path = QDir::cleanPath(QDir(m_directory).absolutePath());
    const std::string local = LocalPath(path);
    const std::optional<WadKind> wad = m_format ? RowOf(*m_format).wad : std::nullopt;
    QStringList names;
    if (wad) {
        if (!ReadWad(path, *wad, names)) {
            return false;
        }
    } else if (ArchiveFolderOf(local)) {
        if (!ReadPakFolder(path, names)) {
            return false;
        }
    } else if (!ReadFolder(path, names)) {
        return false;
    }
    m_ui->File->clear();
    m_ui->File->addItems(names);
    SetLineTips(*m_ui->File);
    ShowWhatIsMissing(path);
    return true;
}

// "No *.png files in /maps/textures"; for a wad's formats, whose mask names the wad and not
// what it holds (a map's textures may all be outside it), "No WAD3 textures (*.wad) in".
void TFileDialog::ShowWhatIsMissing(const QString& path) {
    m_empty->setVisible(m_ui->File->count() == 0);
    if (!m_format) {
        m_empty->setToolTip(QString());
        m_empty->clear();
        return;
    }
    const SourceFormatRow& row = RowOf(*m_format);
    const QString what = row.wad ? QString::fromLatin1(row.caption)
                                 : QString::fromLatin1(row.mask) + QStringLiteral(" files");
    m_empty->setToolTip(QStringLiteral("No %1 in %2").arg(what, QDir::toNativeSeparators(path)));
    ElideWhatIsMissing();
}

void TFileDialog::ElideWhatIsMissing() {
    const int room =
        m_empty->contentsRect().width() - 2 * m_empty->fontMetrics().averageCharWidth();
    m_empty->setText(
        m_empty->fontMetrics().elidedText(m_empty->toolTip(), Qt::ElideMiddle, std::max(room, 0)));
}

void TFileDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        KeepChooserSize(kFileChooserName, *this);
    }
}

void TFileDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_layout->Apply();
    ElideWhatIsMissing();
}

bool TFileDialog::ReadFolder(const QString& path, QStringList& names) {
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
    names = dir.entryList();
    return true;
}

namespace {

void ReportUnreadableArchive(const QString& path, const std::string& reason) {
    ReportApplicationError(
        QStringLiteral("Cannot read the archive \"%1\".").arg(QDir::toNativeSeparators(path)),
        QString::fromStdString(reason));
}

} // namespace

bool TFileDialog::ReadPakFolder(const QString& path, QStringList& names) {
    std::string archive;
    std::string why;
    const auto textures = m_format ? ArchiveTextureNames(LocalPath(path), *m_format, archive, why)
                                   : std::optional<QStringList>(QStringList());
    if (!textures) {
        ReportUnreadableArchive(FromLocalPath(archive), why);
        return false;
    }
    names = *textures;
    return true;
}

// The input must be a wad of the format's kind; one that bears a wad's signature (or no known
// one) and can't be read is said as such, another archive holds no such textures.
bool TFileDialog::ReadWad(const QString& path, WadKind kind, QStringList& names) {
    const std::string local = LocalPath(path);
    std::optional<WadKind> found;
    ReadError error = ReadError::NotAnArchive;
    if (IsArchiveFile(local)) {
        const OpenedArchive& archive = ArchiveAt(local);
        const bool otherKind = archive.Kind() != nullptr && !archive.Kind()->holdsTextures;
        error = otherKind ? ReadError::NotAnArchive : archive.Error();
        if (archive.Error() == ReadError::None) {
            found = archive.Directory().mipTextures;
        }
    }
    if (!found && error != ReadError::None && error != ReadError::NotAnArchive) {
        ReportUnreadableArchive(path, DescribeReadError(error));
        return false;
    }
    if (found != kind) {
        ShowBox(*m_windows.Boxes,
                LocalPath(QStringLiteral("The input path \"%1\" holds no %2.")
                              .arg(QDir::toNativeSeparators(path),
                                   QString::fromLatin1(RowOf(*m_format).caption))),
                BoxIcon::Exclamation, WindowButtons::Ok,
                DescribeReadError(found ? ReadError::WrongWadKind : ReadError::NotInWad));
        return false;
    }
    ReadError listed = ReadError::None;
    const auto lumps = ListArchiveEntries(local, {}, *m_format, ListingDepth::Recursive, &listed);
    if (!lumps) {
        ReportUnreadableArchive(path, DescribeReadError(listed));
        return false;
    }
    for (const std::string& lump : *lumps) {
        names.append(FromLocalPath(lump));
    }
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
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
        // At the size it was last left at, never less than its first size.
        if (!isMaximized()) {
            resize(ChooserSize(kFileChooserName, minimumSize()));
        }
        CentreOnScreen(*this);
        FormShow();
    }
}

void TFileDialog::FormShow() {
    m_acceptedByDoubleClick = false;
    // The keys go to the list, so that Ctrl+A selects every file whatever had the focus before.
    m_ui->File->setFocus();
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
