#include "ui/TMain.h"

#include "convert/EntryPaths.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"
#include "project/ProjectFile.h"
#include "ui/AppWindows.h"
#include "ui/Application.h"
#include "ui/ProgramSettings.h"
#include "ui/TAboutDialog.h"
#include "ui/TFileDialog.h"
#include "ui/TProcessDialog.h"
#include "ui/TProjectSetup.h"
#include "ui_TMain.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QStringDecoder>
#include <QUrl>
#include <cstring>
#include <optional>

namespace texelary {

namespace {

// The core's names are UTF-8 on every platform. (On Windows QFile::encodeName would give the ANSI
// code page, which cannot hold every name.)
std::string LocalPath(const QString& path) {
#ifdef Q_OS_WIN
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString FromLocalPath(const std::string& path) {
#ifdef Q_OS_WIN
    // A name that is not UTF-8 comes from an older project file, in the ANSI code page.
    const QByteArray bytes = QByteArray::fromStdString(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLocal8Bit(bytes) : text;
#else
    return QFile::decodeName(QByteArray::fromStdString(path));
#endif
}

} // namespace

std::size_t BmpListFiles::Count() const {
    return static_cast<std::size_t>(m_list.count());
}

std::string BmpListFiles::Entry(std::size_t index) const {
    const QListWidgetItem* item = m_list.item(static_cast<int>(index));
    return item == nullptr ? std::string() : LocalPath(item->text());
}

TMain::TMain(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TMain>())
    , m_windows(windows) {
    m_ui->setupUi(this);
    m_ui->BmpList->setItemDelegate(&m_lineHeight);
    m_files = std::make_unique<BmpListFiles>(*m_ui->BmpList);
    m_windows.CurrentWorker = nullptr;

    // The menu's separator line carries its own name, as the other items do.
    const QList<QAction*> fileItems = m_ui->FileMnu->actions();
    for (QAction* item : fileItems) {
        if (item->isSeparator()) {
            item->setObjectName(QStringLiteral("N1"));
        }
    }
    setFont(WindowFont());
    m_ui->centralwidget->setFixedSize(410, 220);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ui->AddBtn, &QPushButton::clicked, this, &TMain::AddBtnClick);
    connect(m_ui->DeleteBtn, &QPushButton::clicked, this, &TMain::DeleteBtnClick);
    connect(m_ui->CreateBtn, &QPushButton::clicked, this, &TMain::CreateBtnClick);
    connect(m_ui->QuitBtn, &QPushButton::clicked, this, &TMain::QuitBtnClick);
    connect(m_ui->NewProject, &QAction::triggered, this, &TMain::NewProjectClick);
    connect(m_ui->SaveBtn, &QAction::triggered, this, &TMain::SaveBtnClick);
    connect(m_ui->SaveAsBtn, &QAction::triggered, this, &TMain::SaveAsBtnClick);
    connect(m_ui->LoadBtn, &QAction::triggered, this, &TMain::LoadBtnClick);
    connect(m_ui->PropertiesBtn, &QAction::triggered, this, &TMain::PropertiesBtnClick);
    connect(m_ui->AboutBtn, &QAction::triggered, this, &TMain::AboutBtnClick);
    // Ctrl+Q has no menu item of its own: the window carries it.
    addAction(m_ui->QuitKey);
    connect(m_ui->QuitKey, &QAction::triggered, this, &TMain::QuitBtnClick);
    const QAbstractItemModel* entries = m_ui->BmpList->model();
    connect(entries, &QAbstractItemModel::rowsInserted, this, &TMain::ProjectChanged);
    connect(entries, &QAbstractItemModel::rowsRemoved, this, &TMain::ProjectChanged);
    connect(entries, &QAbstractItemModel::modelReset, this, &TMain::ProjectChanged);
    m_ui->BmpList->viewport()->setAcceptDrops(true);
    // Key and mouse releases have no signal: one event filter calls the handlers.
    m_ui->BmpList->installEventFilter(this);
    m_ui->BmpList->viewport()->installEventFilter(this);
}

TMain::~TMain() {
    // The list empties itself after this destructor has run, when the window is no TMain any more.
    disconnect(m_ui->BmpList->model(), nullptr, this, nullptr);
}

QListWidget& TMain::BmpList() const {
    return *m_ui->BmpList;
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->BmpList) {
        switch (event->type()) {
        case QEvent::KeyPress:
            m_keysPressedInList.insert(static_cast<QKeyEvent*>(event)->key());
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
                DeleteBtnClick();
            }
            break;
        case QEvent::KeyRelease:
            // A key whose press went to another window, such as the Enter that closed a box,
            // is not the list's to act on: acting on it would open the same box again.
            if (m_keysPressedInList.remove(static_cast<QKeyEvent*>(event)->key())) {
                BmpListKeyUp();
            }
            break;
        case QEvent::FocusOut:
            m_keysPressedInList.clear();
            break;
        default:
            break;
        }
    } else if (watched == m_ui->BmpList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            BmpListMouseUp();
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->acceptProposedAction();
            AddDroppedFiles(*drop->mimeData());
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Enter presses the focused button, or else "Add...", the window's default button. Buttons of a
// main window leave Enter to their window, and so does the image list.
void TMain::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    (focused != nullptr ? focused : m_ui->AddBtn)->click();
}

void TMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
}

void TMain::FormShow() {
    TProjectSetup& setup = *m_windows.ProjectSetup;
    // The setup dialog is made after this window: its controls are watched from the first showing.
    connect(&setup.InputPath(), &QLineEdit::textChanged, this, &TMain::ProjectChanged,
            Qt::UniqueConnection);
    connect(&setup.OutputPath(), &QLineEdit::textChanged, this, &TMain::ProjectChanged,
            Qt::UniqueConnection);
    connect(&setup.ConvFrom(), &QComboBox::currentIndexChanged, this, &TMain::ProjectChanged,
            Qt::UniqueConnection);
    connect(&setup.ConvTo(), &QComboBox::currentIndexChanged, this, &TMain::ProjectChanged,
            Qt::UniqueConnection);
    const QString current = QDir::currentPath();
    setup.InputPath().setText(current);
    setup.OutputPath().setText(current);
    m_openDialogDir = current;
    m_saveDialogDir = current;
    ProjectSettled();
}

void TMain::closeEvent(QCloseEvent* event) {
    if (!MaySetProjectAside()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TMain::ProjectChanged() {
    m_changed = true;
}

void TMain::ProjectSettled() {
    m_changed = false;
    ShowTitle();
}

void TMain::ShowTitle() {
    const bool named = m_ui->SaveBtn->isEnabled() && !m_projectFileName.isEmpty();
    setWindowTitle(named ? QFileInfo(m_projectFileName).fileName() + QStringLiteral(" - Texelary")
                         : QStringLiteral("Texelary"));
}

bool TMain::MaySetProjectAside() {
    if (!m_changed) {
        return true;
    }
    switch (ShowBox("Save changes to the project?", BoxIcon::Exclamation,
                    WindowButtons::SaveDiscardCancel)) {
    case WindowAnswer::Save:
        return m_ui->SaveBtn->isEnabled() ? SaveProjectTo(m_projectFileName) : SaveProjectAs();
    case WindowAnswer::Discard:
        return true;
    default:
        return false;
    }
}

namespace {

// The picture of a file as the run's reader of `format` sees it: palette pictures in their own
// colours, true-colour ones as they are (before they are brought down to a target's colours).
// A null picture, with the reason in `why`, when the reader refuses the file.
QImage ReadWithProjectReader(const SourceFormatRow& format, const QString& path, QString& why) {
    SourceRead read;
    const auto bytes = ReadInputFile(LocalPath(path), &read.reason);
    if (bytes && bytes->empty()) {
        read.reason = ReadError::Empty;
    } else if (bytes) {
        format.read(*bytes, read);
    }
    QImage picture;
    if (read.image && read.paletteRead && read.image->width > 0 && read.image->height > 0) {
        const IndexedImage& image = *read.image;
        picture = QImage(image.width, image.height, QImage::Format_Indexed8);
        QList<QRgb> colours;
        for (std::size_t i = 0; i < 256; ++i) {
            colours.append(
                qRgb(read.palette[3 * i], read.palette[3 * i + 1], read.palette[3 * i + 2]));
        }
        picture.setColorTable(colours);
        for (std::int32_t y = 0; y < image.height; ++y) {
            std::memcpy(picture.scanLine(y),
                        image.pixels.get() +
                            static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width),
                        static_cast<std::size_t>(image.width));
        }
    } else if (read.trueColour && read.trueColour->width > 0 && read.trueColour->height > 0) {
        const RgbaImage& image = *read.trueColour;
        picture = QImage(image.pixels.data(), image.width, image.height, 4 * image.width,
                         QImage::Format_RGBA8888)
                      .copy();
    } else if (read.reason == ReadError::None) {
        read.reason = ReadError::NoPixels;
    }
    why = QString::fromLatin1(DescribeReadError(read.reason));
    return picture;
}

} // namespace

void TMain::ShowPreview(const QString& directory, const QString& fileName) {
    const QString path = FromLocalPath(JoinPath(LocalPath(directory), LocalPath(fileName)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    file.close();
    // Bitmaps go through the platform's loader; every other source format through the reader a
    // conversion uses, so that what is shown is what will be converted.
    const auto from = SourceFormatAt(m_windows.ProjectSetup->ConvFrom().currentIndex());
    QString why;
    QImage picture;
    if (!from || *from == SourceFormat::Bmp) {
        QImageReader reader(path, "bmp");
        picture = reader.read();
        why = reader.errorString();
    } else {
        picture = ReadWithProjectReader(RowOf(*from), path, why);
    }
    if (picture.isNull()) {
        ReportApplicationError(QStringLiteral("Cannot show \"%1\" in the preview.")
                                   .arg(QDir::toNativeSeparators(path)),
                               why);
        return;
    }
    // The label draws its picture stretched to its own 133 x 133, aspect ratio not kept.
    m_ui->ImagePrev->setPixmap(QPixmap::fromImage(picture));
}

void TMain::PreviewSelected() {
    const QListWidgetItem* current = m_ui->BmpList->currentItem();
    if (current == nullptr) {
        return;
    }
    const TProjectSetup& setup = *m_windows.ProjectSetup;
    if (SourceFormatAt(setup.ConvFrom().currentIndex())) {
        ShowPreview(setup.InputPath().text(), current->text());
    }
}

void TMain::AddBtnClick() {
    TFileDialog& chooser = *m_windows.FileDialog;
    // The file-name pattern of the source format.
    const auto from = SourceFormatAt(m_windows.ProjectSetup->ConvFrom().currentIndex());
    chooser.SetMask(QString::fromLatin1(from ? RowOf(*from).mask : ""));
    chooser.SetDirectory(m_windows.ProjectSetup->InputPath().text());
    if (!chooser.RunFileDialog()) {
        return;
    }
    const QListWidget& files = chooser.File();
    for (int i = 0; i < files.count(); ++i) {
        if (files.item(i)->isSelected()) {
            m_ui->BmpList->addItem(files.item(i)->text());
            m_ui->BmpList->setCurrentRow(m_ui->BmpList->count() - 1);
        }
    }
    chooser.ResetSelection();
    // Enabled before the preview: a bitmap the loader rejects must not keep the added names from
    // being converted.
    m_ui->CreateBtn->setEnabled(true);
    PreviewSelected();
}

void TMain::AddDroppedFiles(const QMimeData& dropped) {
    const TProjectSetup& setup = *m_windows.ProjectSetup;
    const auto from = SourceFormatAt(setup.ConvFrom().currentIndex());
    const QString mask = QString::fromLatin1(from ? RowOf(*from).mask : "");
    const QString inputDir = QDir(setup.InputPath().text()).canonicalPath();
    QListWidget& list = *m_ui->BmpList;
    QStringList refused;
    bool added = false;
    const QList<QUrl> urls = dropped.urls();
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        QString why;
        if (!url.isLocalFile()) {
            why = QStringLiteral("not a file on this computer");
        } else if (!file.isFile()) {
            why = QStringLiteral("not a file");
        } else if (!QDir::match(mask, file.fileName())) {
            why = QStringLiteral("the project converts from ") + setup.ConvFrom().currentText();
        } else if (inputDir.isEmpty() || file.canonicalPath() != inputDir) {
            why = QStringLiteral("not in the input directory ") +
                  QDir::toNativeSeparators(setup.InputPath().text());
        }
        if (why.isEmpty()) {
            list.addItem(file.fileName());
            list.setCurrentRow(list.count() - 1);
            added = true;
        } else {
            const QString name = url.isLocalFile() ? file.fileName() : url.toDisplayString();
            refused.append(name + QStringLiteral(": ") + why);
        }
    }
    if (added) {
        m_ui->CreateBtn->setEnabled(true);
    }
    if (!refused.isEmpty()) {
        ShowBox("Not added to the image list:\n" + LocalPath(refused.join(QLatin1Char('\n'))),
                BoxIcon::Exclamation);
    }
    if (added) {
        PreviewSelected();
    }
}

void TMain::DeleteBtnClick() {
    QListWidget& list = *m_ui->BmpList;
    int index = list.currentRow();
    if (index >= 0) {
        std::unique_ptr<QListWidgetItem> removed(list.takeItem(index));
    }
    if (index == list.count()) {
        --index;
    }
    list.setCurrentRow(index);
    if (list.currentRow() < 0) {
        m_ui->CreateBtn->setEnabled(false);
    }
}

void TMain::BmpListMouseUp() {
    PreviewSelected();
}

void TMain::BmpListKeyUp() {
    PreviewSelected();
}

void TMain::PropertiesBtnClick() {
    m_windows.RunModal(*m_windows.ProjectSetup);
}

void TMain::AboutBtnClick() {
    m_windows.RunModal(*m_windows.AboutDialog);
}

void TMain::QuitBtnClick() {
    close();
}

void TMain::CreateBtnClick() {
    const TProjectSetup& setup = *m_windows.ProjectSetup;
    TProcessDialog& progress = *m_windows.ProcessDialog;
    RunSettings& run = progress.Settings();
    run.RunInputDir = LocalPath(setup.InputPath().text());
    run.RunOutputDir = LocalPath(setup.OutputPath().text());
    run.RunConvTo = static_cast<TargetFormat>(setup.ConvTo().currentIndex());
    run.RunConvFrom = static_cast<SourceFormat>(setup.ConvFrom().currentIndex());
    run.RunKeepHeader = setup.KeepHeader().isChecked();
    run.RunMips = static_cast<MipFilter>(setup.MipLevels().currentIndex());
    run.RunDither = setup.Dither().isChecked();
    run.RunTransparentIndex = setup.TransparentIndex().isChecked()
                                  ? std::optional<std::uint8_t>(kTransparentIndex)
                                  : std::nullopt;
    run.RunFiles = m_files.get();
    progress.exec();
}

void TMain::NewProjectClick() {
    if (!MaySetProjectAside()) {
        return;
    }
    const QString current = QDir::currentPath();
    TProjectSetup& setup = *m_windows.ProjectSetup;
    setup.InputPath().setText(current);
    setup.OutputPath().setText(current);
    setup.ConvFrom().setCurrentIndex(0);
    setup.ConvTo().setCurrentIndex(0);
    m_ui->SaveBtn->setEnabled(false);
    m_ui->CreateBtn->setEnabled(false);
    m_ui->BmpList->clear();
    ProjectSettled();
}

Project TMain::CurrentProject() const {
    const TProjectSetup& setup = *m_windows.ProjectSetup;
    Project project;
    project.inputDir = LocalPath(setup.InputPath().text());
    project.outputDir = LocalPath(setup.OutputPath().text());
    project.convFrom = static_cast<SourceFormat>(setup.ConvFrom().currentIndex());
    project.convTo = static_cast<TargetFormat>(setup.ConvTo().currentIndex());
    for (std::size_t i = 0; i < m_files->Count(); ++i) {
        project.files.push_back(m_files->Entry(i));
    }
    return project;
}

void TMain::ShowProject(const Project& project) {
    TProjectSetup& setup = *m_windows.ProjectSetup;
    QListWidget& list = *m_ui->BmpList;
    list.clear();
    setup.InputPath().setText(FromLocalPath(project.inputDir));
    setup.OutputPath().setText(FromLocalPath(project.outputDir));
    setup.ConvTo().setCurrentIndex(IndexOf(project.convTo));
    setup.ConvFrom().setCurrentIndex(IndexOf(project.convFrom));
    for (const std::string& name : project.files) {
        list.addItem(FromLocalPath(name));
    }
    if (list.count() > 0) {
        list.setCurrentRow(0);
    }
    if (list.currentRow() >= 0) {
        m_ui->CreateBtn->setEnabled(true);
    }
    PreviewSelected();
}

WindowAnswer TMain::ShowBox(const std::string& text, BoxIcon icon, WindowButtons buttons,
                            const std::string& detail) {
    return m_windows.Boxes->ShowMessage(text, kMessageCaption, buttons, icon, detail);
}

bool TMain::SaveProjectTo(const QString& path) {
    std::vector<std::string> cutTexts;
    if (!SaveProject(CurrentProject(), LocalPath(path), &cutTexts)) {
        ShowBox("Could'nt create specified file.", BoxIcon::Stop);
        return false;
    }
    ProjectSettled();
    if (!cutTexts.empty()) {
        std::string text = "The project was saved, but a project file holds at most 127 "
                           "characters per name, so these were stored cut:";
        for (const std::string& cut : cutTexts) {
            text += "\n" + cut;
        }
        ShowBox(text, BoxIcon::Exclamation);
    }
    return true;
}

void TMain::SaveBtnClick() {
    SaveProjectTo(m_projectFileName);
}

// The project file dialogs are made for each use: a file dialog that stays alive watches its
// directory, and every texture a run then writes there would make it read the directory again.
QString TMain::RunProjectDialog(const char* name, bool save, QString& directory) {
    QFileDialog dialog(this);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QStringLiteral("*.mm (*.mm)"));
    dialog.setDefaultSuffix(QStringLiteral("mm"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog.setDirectory(directory);
    const bool accepted = m_windows.RunModal(dialog) == QDialog::Accepted;
    directory = dialog.directory().absolutePath();
    return accepted ? dialog.selectedFiles().value(0) : QString();
}

// A file that is already there is replaced only when the user says so; No goes back to the
// dialog to choose another name.
void TMain::SaveAsBtnClick() {
    SaveProjectAs();
}

bool TMain::SaveProjectAs() {
    QString chosen;
    for (;;) {
        chosen = RunProjectDialog("SaveDialogMm", true, m_saveDialogDir);
        if (chosen.isEmpty()) {
            return false;
        }
        if (!QFileInfo::exists(chosen) ||
            ShowBox("File \"" + LocalPath(QDir::toNativeSeparators(chosen)) +
                        "\" already exists. Replace it?",
                    BoxIcon::Exclamation, WindowButtons::YesNo) == WindowAnswer::Yes) {
            break;
        }
    }
    m_projectFileName = chosen;
    // "Save" is enabled whether or not the file could be written: it then tries the same name.
    m_ui->SaveBtn->setEnabled(true);
    ShowTitle();
    return SaveProjectTo(m_projectFileName);
}

void TMain::LoadBtnClick() {
    if (!MaySetProjectAside()) {
        return;
    }
    const QString chosen = RunProjectDialog("OpenDialogMm", false, m_openDialogDir);
    if (!chosen.isEmpty()) {
        OpenProjectFile(chosen);
    }
}

bool TMain::OpenProjectFile(const QString& path) {
    // A refused file changes nothing: not the project, not the file name "Save" writes to.
    Project project = CurrentProject();
    ReadError reason = ReadError::None;
    if (!LoadProject(project, LocalPath(path), &reason)) {
        ShowBox("Could'nt open specified file.", BoxIcon::Stop, WindowButtons::Ok,
                DescribeProjectError(reason));
        return false;
    }
    m_projectFileName = path;
    m_ui->SaveBtn->setEnabled(true);
    ShowProject(project);
    ProjectSettled();
    return true;
}

} // namespace texelary
