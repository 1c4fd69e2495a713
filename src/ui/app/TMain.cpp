#include "ui/app/TMain.h"

#include "archives/ArchiveOutput.h"
#include "convert/EntryPaths.h"
#include "convert/OutputGuard.h"
#include "formats/Formats.h"
#include "formats/PaletteFile.h"
#include "project/ProjectFile.h"
#include "ui/about/TAboutDialog.h"
#include "ui/app/AppWindows.h"
#include "ui/app/DroppedFiles.h"
#include "ui/app/ListDrag.h"
#include "ui/app/ListEdit.h"
#include "ui/app/ListMarks.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/RecentProjects.h"
#include "ui/app/WindowMemory.h"
#include "ui/browser/TextureBrowser.h"
#include "ui/choosers/TFileDialog.h"
#include "ui/preview/PreviewPicture.h"
#include "ui/project/ProjectModel.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"
#include "ui_TMain.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStatusBar>
#include <QUndoStack>
#include <algorithm>
#include <optional>

namespace texelary {

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
    m_marks = std::make_unique<ListMarks>(*m_ui->BmpList);
    m_project = std::make_unique<ProjectCommands>(*this, m_windows, m_changes, *m_ui->SaveBtn,
                                                  *m_ui->CreateBtn);
    m_windows.CurrentWorker = nullptr;

    // The menu's separator line carries its own name, as the other items do.
    const QList<QAction*> fileItems = m_ui->FileMnu->actions();
    for (QAction* item : fileItems) {
        if (item->isSeparator()) {
            item->setObjectName(QStringLiteral("N1"));
        }
    }
    // The recent projects follow the menu's own items; the menu owns their bookkeeping.
    new RecentProjectItems(*m_ui->FileMnu,
                           [this](const QString& path) { RecentProjectClick(path); });
    LayOutWindow();
    ConnectHandlers();
}

// The font, the status line and the frames' margins, the same in every style.
void TMain::LayOutWindow() {
    setFont(WindowFont());
    // What the header of the file shown says, below everything, cut to the window's width.
    m_previewInfo = new QLabel(m_ui->StatusBar);
    m_previewInfo->setObjectName(QStringLiteral("PreviewInfo"));
    m_previewInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_ui->StatusBar->addWidget(m_previewInfo, 1);
    AddPaletteInUse();
    // Of one height in every style, so that the controls keep their places from the window's
    // bottom edge.
    m_ui->StatusBar->setFixedHeight(kStatusLineHeight);
    // The window opens at the size its layout needs at least, its controls' area never less than
    // 410 x 220 (in styles whose controls need less, too), and grows from there: the list and the
    // preview take the room it gains.
    centralWidget()->setMinimumSize(410, 220);
    ensurePolished();
    // The two frames' contents keep their places in every style: the layout inside each makes
    // up what the style's own margins (its title above) leave to these.
    const auto keepInside = [](QGroupBox& frame, const QMargins& total) {
        frame.ensurePolished();
        const QMargins style = frame.contentsMargins();
        frame.layout()->setContentsMargins(std::max(0, total.left() - style.left()),
                                           std::max(0, total.top() - style.top()),
                                           std::max(0, total.right() - style.right()),
                                           std::max(0, total.bottom() - style.bottom()));
    };
    keepInside(*m_ui->GroupBox1, {8, 20, 12, 10});
    keepInside(*m_ui->GroupBox2, {8, 20, 10, 10});
    resize(minimumSizeHint());
}

void TMain::ConnectHandlers() {
    connect(m_ui->AddBtn, &QPushButton::clicked, this, &TMain::AddBtnClick);
    connect(m_ui->DeleteBtn, &QPushButton::clicked, this, &TMain::DeleteBtnClick);
    connect(m_ui->CreateBtn, &QPushButton::clicked, this, &TMain::CreateBtnClick);
    connect(m_ui->QuitBtn, &QPushButton::clicked, this, &TMain::QuitBtnClick);
    connect(m_ui->NewProject, &QAction::triggered, this, &TMain::NewProjectClick);
    connect(m_ui->SaveBtn, &QAction::triggered, this, &TMain::SaveBtnClick);
    connect(m_ui->SaveAsBtn, &QAction::triggered, this, &TMain::SaveAsBtnClick);
    connect(m_ui->LoadBtn, &QAction::triggered, this, &TMain::LoadBtnClick);
    connect(m_ui->PropertiesBtn, &QAction::triggered, this, &TMain::PropertiesBtnClick);
    connect(m_ui->TexturesBtn, &QAction::triggered, this, &TMain::TexturesBtnClick);
    connect(m_ui->AboutBtn, &QAction::triggered, this, &TMain::AboutBtnClick);
    // Ctrl+Q has no menu item of its own: the window carries it.
    addAction(m_ui->QuitKey);
    connect(m_ui->QuitKey, &QAction::triggered, this, &TMain::QuitBtnClick);
    // Ctrl+S saves a project that has no file yet as "Save As..." does. "Save" stays disabled
    // until there is a file; the window's own Ctrl+S stands in for it until then, and only then,
    // so that the key never belongs to two enabled actions at once.
    addAction(m_ui->SaveKey);
    connect(m_ui->SaveKey, &QAction::triggered, this, &TMain::SaveAsBtnClick);
    m_ui->SaveKey->setEnabled(!m_ui->SaveBtn->isEnabled());
    connect(m_ui->SaveBtn, &QAction::enabledChanged, m_ui->SaveKey,
            [key = m_ui->SaveKey](bool saveEnabled) { key->setEnabled(!saveEnabled); });
    ConnectListEdits();
    m_ui->BmpList->viewport()->setAcceptDrops(true);
    // Key and mouse releases have no signal: one event filter calls the handlers.
    m_ui->BmpList->installEventFilter(this);
    m_ui->BmpList->viewport()->installEventFilter(this);
    // After the window's own filter, so that it sees a press first.
    new ListDrag(*m_ui->BmpList, [this] { return RunFolder(m_windows.Project->InputPath()); });
}

// Edit > Undo and Redo are enabled while there is an edit of the list to undo or make again.
// Ctrl+Y makes it again too, as it does in many programs.
void TMain::ConnectListEdits() {
    const QUndoStack& edits = m_changes.ListEdits();
    m_ui->RedoBtn->setShortcuts({m_ui->RedoBtn->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    m_ui->UndoBtn->setEnabled(edits.canUndo());
    m_ui->RedoBtn->setEnabled(edits.canRedo());
    connect(&edits, &QUndoStack::canUndoChanged, m_ui->UndoBtn, &QAction::setEnabled);
    connect(&edits, &QUndoStack::canRedoChanged, m_ui->RedoBtn, &QAction::setEnabled);
    connect(m_ui->UndoBtn, &QAction::triggered, this, &TMain::UndoBtnClick);
    connect(m_ui->RedoBtn, &QAction::triggered, this, &TMain::RedoBtnClick);
}

TMain::~TMain() = default;

QListWidget& TMain::BmpList() const {
    return *m_ui->BmpList;
}

void TMain::ClearBmpList() {
    // Emptied with the project's formats or the project itself, which are not undone: nor is this.
    if (m_ui->BmpList->count() > 0) {
        m_changes.Changed();
    }
    m_changes.ListEdits().clear();
    m_ui->BmpList->clear();
    m_ui->CreateBtn->setEnabled(false);
    ClearPreviewPicture(*m_ui->ImagePrev, *m_previewInfo);
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->BmpList) {
        BmpListEvent(*event);
    } else if (watched == m_ui->BmpList->viewport() && BmpListViewportEvent(*event)) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMain::BmpListEvent(const QEvent& event) {
    switch (m_listKeys.Take(event)) {
    case ListKeyAction::Delete:
        DeleteBtnClick();
        break;
    case ListKeyAction::KeyUp:
        BmpListKeyUp();
        break;
    case ListKeyAction::None:
        break;
    }
}

// True for the drag and drop events, which the viewport itself then does not see.
bool TMain::BmpListViewportEvent(QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonRelease:
        BmpListMouseUp();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        AcceptFileDrag(static_cast<QDropEvent&>(event));
        return true;
    case QEvent::Drop: {
        auto& drop = static_cast<QDropEvent&>(event);
        if (drop.source() == m_ui->BmpList) { // names dragged out and back: nothing to add
            drop.ignore();
            return true;
        }
        drop.acceptProposedAction();
        AddDroppedFiles(*drop.mimeData());
        return true;
    }
    default:
        return false;
    }
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
        PlaceMainWindow(*this);
        FormShow();
    }
}

void TMain::FormShow() {
    ProjectModel& project = *m_windows.Project;
    // The project is watched from the first showing.
    connect(&project, &ProjectModel::changed, this, &TMain::ProjectFieldChange,
            Qt::UniqueConnection);
    // Folders are shown and kept as the system writes them (with a backslash on Windows), and so
    // are the paths that the run's messages build from them.
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    project.SetInputPath(current);
    project.SetOutputPath(current);
    m_project->Started(current);
}

void TMain::closeEvent(QCloseEvent* event) {
    // The browser's unsaved edits are asked about first: they are lost with the program.
    if (!m_windows.TextureBrowser->MaySetAside() || !m_project->MaySetAside()) {
        event->ignore();
        return;
    }
    KeepMainWindowPlace(*this);
    QMainWindow::closeEvent(event);
}

void TMain::ProjectChanged() {
    m_changes.Changed();
}

void TMain::ProjectFieldChange(ProjectModel::Field field) {
    ProjectChanged();
    if (field == ProjectModel::Field::InputDir) {
        MarkMissingFiles();
    }
}

void TMain::MarkMissingFiles() {
    m_marks->MarkMissing(RunFolder(m_windows.Project->InputPath()), m_windows.Project->ConvFrom());
}

// Its file's name, the whole path as the tooltip; or the name of the target's built-in palette.
void TMain::AddPaletteInUse() {
    m_paletteInUse = new QLabel(m_ui->StatusBar);
    m_paletteInUse->setObjectName(QStringLiteral("PaletteInUse"));
    m_ui->StatusBar->addPermanentWidget(m_paletteInUse);
    const auto show = [this] {
        const ProjectModel& project = *m_windows.Project;
        m_paletteInUse->setText(PaletteInUse(project.Settings(), project.ConvTo()));
        m_paletteInUse->setToolTip(QDir::toNativeSeparators(project.Settings().paletteFile));
    };
    connect(m_windows.Project, &ProjectModel::changed, m_paletteInUse, show);
    show();
}

void TMain::ShowPreview(const QString& directory, const QString& fileName) {
    const QString path = FromLocalPath(JoinPath(LocalPath(directory), LocalPath(fileName)));
    ShowPreviewPicture(*m_ui->ImagePrev, *m_previewInfo, path, m_windows.Project->ConvFrom());
}

void TMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    SetElidedText(*m_previewInfo, m_previewInfo->toolTip());
}

QString TMain::RunFolder(const QString& typed) const {
    return FromLocalPath(ProjectDirectory(LocalPath(typed), LocalPath(ProjectFileName())));
}

void TMain::PreviewSelected() {
    const QListWidgetItem* current = m_ui->BmpList->currentItem();
    if (current == nullptr) {
        ClearPreviewPicture(*m_ui->ImagePrev, *m_previewInfo);
        return;
    }
    // A file not in the input folder has nothing to show: the status line says where it is not.
    if (const QString missing = ListMarks::MissingText(*current); !missing.isEmpty()) {
        ClearPreviewPicture(*m_ui->ImagePrev, *m_previewInfo);
        SetElidedText(*m_previewInfo, missing);
        return;
    }
    ShowPreview(RunFolder(m_windows.Project->InputPath()), current->text());
}

void TMain::AddBtnClick() {
    TFileDialog& chooser = *m_windows.FileDialog;
    chooser.SetSourceFormat(m_windows.Project->ConvFrom());
    chooser.SetDirectory(RunFolder(m_windows.Project->InputPath()));
    if (!chooser.RunFileDialog()) {
        return;
    }
    const QListWidget& files = chooser.File();
    QStringList chosen;
    for (int i = 0; i < files.count(); ++i) {
        if (files.item(i)->isSelected()) {
            chosen.append(files.item(i)->text());
        }
    }
    AppendToBmpList(chosen);
    chooser.ResetSelection();
    // Enabled before the preview: a bitmap the loader rejects must not keep the added names from
    // being converted.
    m_ui->CreateBtn->setEnabled(true);
    PreviewSelected();
}

// One insertion and one change of the current line for the whole batch: adding takes as long
// for 10,000 names onto a long list as onto an empty one. A name listed already is left out (a
// file listed twice would be converted twice), and the status line says how many were.
void TMain::AppendToBmpList(const QStringList& names) {
    QListWidget& list = *m_ui->BmpList;
    const QStringList added =
        NamesNotListed(list, names, RunFolder(m_windows.Project->InputPath()));
    const auto listed = names.size() - added.size();
    if (listed == 0) {
        m_ui->StatusBar->clearMessage();
    } else {
        m_ui->StatusBar->showMessage(
            listed == 1 ? QStringLiteral("1 file was already listed and is not added again.")
                        : QStringLiteral("%1 files were already listed and are not added again.")
                              .arg(listed),
            kListedMessageTime);
    }
    if (!added.isEmpty()) {
        m_changes.ListEdits().push(
            new ListEdit(list, ListEdit::Kind::Insert, {ListRun{list.count(), added}}));
    }
}

void TMain::AddDroppedFiles(const QMimeData& dropped) {
    const ProjectModel& project = *m_windows.Project;
    const DroppedFiles outcome = ListDroppedFiles(dropped, project, RunFolder(project.InputPath()));
    AppendToBmpList(outcome.added);
    if (!outcome.added.isEmpty()) {
        m_ui->CreateBtn->setEnabled(true);
    }
    if (!outcome.refused.isEmpty()) {
        ShowBox(*m_windows.Boxes,
                "Not added to the image list:\n" +
                    LocalPath(outcome.refused.join(QLatin1Char('\n'))),
                BoxIcon::Exclamation);
    }
    if (!outcome.added.isEmpty()) {
        PreviewSelected();
    }
}

// Removes every selected entry, or the current one when none is selected, as one edit that Undo
// takes back; the entry that took the place of the first one removed is made current, or the last
// one left when none did.
void TMain::DeleteBtnClick() {
    QListWidget& list = *m_ui->BmpList;
    QList<int> rows;
    for (const QModelIndex& selected : list.selectionModel()->selectedRows()) {
        rows.append(selected.row());
    }
    if (rows.isEmpty() && list.currentRow() >= 0) {
        rows.append(list.currentRow());
    }
    if (QList<ListRun> runs = RunsOfRows(list, std::move(rows)); !runs.isEmpty()) {
        m_changes.ListEdits().push(new ListEdit(list, ListEdit::Kind::Remove, std::move(runs)));
    }
    ShowListEdited();
}

void TMain::UndoBtnClick() {
    m_changes.ListEdits().undo();
    ShowListEdited();
}

void TMain::RedoBtnClick() {
    m_changes.ListEdits().redo();
    ShowListEdited();
}

// "Create..." is enabled while the list has a current entry, which the preview shows.
void TMain::ShowListEdited() {
    m_ui->CreateBtn->setEnabled(m_ui->BmpList->currentRow() >= 0);
    PreviewSelected();
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

void TMain::TexturesBtnClick() {
    m_windows.TextureBrowser->Open();
}

void TMain::AboutBtnClick() {
    m_windows.RunModal(*m_windows.AboutDialog);
}

void TMain::QuitBtnClick() {
    close();
}

void TMain::CreateBtnClick() {
    const ProjectModel& project = *m_windows.Project;
    const ProgramSettings& settings = project.Settings();
    TProcessDialog& progress = *m_windows.ProcessDialog;
    RunSettings& run = progress.Settings();
    run.RunInputDir = LocalPath(RunFolder(project.InputPath()));
    run.RunOutputDir = LocalPath(RunFolder(project.OutputPath()));
    run.RunConvTo = project.ConvTo();
    run.RunConvFrom = project.ConvFrom();
    run.options.keepHeader = settings.keepHeader;
    WriteOptions& write = run.options.write;
    write.mips = settings.mips;
    write.dither = settings.dither;
    write.fullbright = settings.fullbright;
    write.transparentIndex =
        settings.transparentIndex ? std::optional<std::uint8_t>(kTransparentIndex) : std::nullopt;
    // The run is given a copy of the names, which it reads from its own thread.
    run.RunFiles.clear();
    run.RunFiles.reserve(m_files->Count());
    for (std::size_t i = 0; i < m_files->Count(); ++i) {
        run.RunFiles.push_back(m_files->Entry(i));
    }
    // A palette file is read for each run, as it is now; one the target cannot take (too few
    // colours for a fixed palette, or no longer a palette) starts no run.
    write.palette.reset();
    if (const QString palette = settings.paletteFile; !palette.isEmpty()) {
        std::string reason;
        write.palette = ReadRunPalette(LocalPath(palette), run.RunConvTo, reason);
        if (!write.palette) {
            ShowBox(*m_windows.Boxes,
                    "Cannot use the palette \"" + LocalPath(QDir::toNativeSeparators(palette)) +
                        "\"",
                    BoxIcon::Stop, WindowButtons::Ok, reason);
            return;
        }
    }
    // An output folder that cannot take files would fail every entry, each in a box of its own:
    // it is said once, and nothing starts. An archive's path the run checks itself.
    if (!ArchiveTargetOf(run.RunOutputDir, run.RunConvTo)) {
        const std::string problem = OutputFolderProblem(run.RunOutputDir);
        if (!problem.empty()) {
            ShowBox(*m_windows.Boxes,
                    "Cannot write into the output folder \"" + run.RunOutputDir + "\"",
                    BoxIcon::Stop, WindowButtons::Ok, problem);
            return;
        }
    }
    RunList(progress);
}

void TMain::RunList(TProcessDialog& progress) {
    m_marks->ClearFailures(RunFolder(m_windows.Project->InputPath()),
                           m_windows.Project->ConvFrom());
    progress.exec();
    m_marks->MarkFailures(progress.Failures());
}

void TMain::NewProjectClick() {
    m_project->New();
}

void TMain::SaveBtnClick() {
    m_project->Save();
}

void TMain::SaveAsBtnClick() {
    m_project->SaveAs();
}

// The loaded list may name files its input folder no longer holds.
void TMain::LoadBtnClick() {
    m_project->Load();
    MarkMissingFiles();
}

void TMain::RecentProjectClick(const QString& path) {
    m_project->LoadRecent(path);
}

bool TMain::OpenProjectFile(const QString& path) {
    const bool opened = m_project->Open(path);
    MarkMissingFiles();
    return opened;
}

} // namespace texelary
