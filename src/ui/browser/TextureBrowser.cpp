#include "ui/browser/TextureBrowser.h"

#include "archives/ArchiveListing.h"
#include "base/Utf8.h"
#include "edit/EditSession.h"
#include "formats/AnimationChains.h"
#include "ui/app/AppWindows.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/TMain.h"
#include "ui/browser/ChainEditor.h"
#include "ui/browser/EntryActions.h"
#include "ui/browser/FieldsEditor.h"
#include "ui/browser/TextureModel.h"
#include "ui/browser/ThumbnailLoader.h"
#include "ui/choosers/TextureNames.h"
#include "ui/preview/TexturePicture.h"
#include "ui/project/ProjectModel.h"
#include "ui_TextureBrowser.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace texelary {

namespace {

namespace BrowserLayout {
// The square a thumbnail fits: the grid's icon size in TextureBrowser.ui; its cells, as
// TextureDelegate makes them, take a thumbnail with two lines of text below.
constexpr int kThumbnail = 64;
constexpr QSize kFirstSize{960, 640};   // the window at its first showing
constexpr int kPaletteCell = 9;         // a palette grid of 16 x 9 + 1 pixels
constexpr int kLevelGap = 4;            // between the mip levels shown side by side
constexpr int kFrameMs = 200;           // the engines' animations: five frames a second
constexpr std::size_t kMostFrames = 64; // an animation's frames followed at most
} // namespace BrowserLayout

// The header fields and levels of one texture of format `kind`, as --info words them, each
// label with a capital letter.
QString Describe(const QString& name, SourceFormat kind, const std::vector<QImage>& levels,
                 const std::optional<HeaderFields>& fields) {
    QList<QSize> sizes;
    for (const QImage& level : levels) {
        sizes.append(level.size());
    }
    QStringList lines{name};
    for (const DescribedFact& fact : ShownFacts(kind, sizes, fields)) {
        QString line = FactText(fact);
        line[0] = line[0].toUpper();
        lines.append(line);
    }
    if (!fields) {
        lines.append(QStringLiteral("No header fields"));
    }
    return lines.join(QLatin1Char('\n'));
}

// The picture `zoom` times its size, every texel a sharp square.
QImage Zoomed(const QImage& picture, int zoom) {
    return picture.scaled(picture.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The names in `entries` after the folder `prefix` ("" for the top, else closed by '/'), sorted.
QStringList AfterPrefix(const std::vector<std::string>& entries, const std::string& prefix) {
    QStringList names;
    for (const std::string& entry : entries) {
        if (entry.size() > prefix.size() && entry.compare(0, prefix.size(), prefix) == 0) {
            names.append(FromLocalPath(entry.substr(prefix.size())));
        }
    }
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
    return names;
}

std::string PrefixOf(const PathInArchive& place) {
    return place.entry.empty() ? std::string() : place.entry + '/';
}

// The sub-folders directly in `folder`, a directory or a folder of an archive. A wad's textures
// have no folders.
QStringList SubFoldersOf(const QString& folder, SourceFormat format) {
    if (RowOf(format).wad) {
        return {};
    }
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const auto place = ArchiveFolderOf(LocalPath(path));
    if (!place) {
        return QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                    QDir::Name | QDir::IgnoreCase);
    }
    const auto folders = ListArchiveFolders(place->archive);
    QStringList names = AfterPrefix(folders.value_or(std::vector<std::string>()), PrefixOf(*place));
    names.removeIf([](const QString& name) { return name.contains(QLatin1Char('/')); });
    return names;
}

// Every texture of `format` at any depth below `folder`, by its path from there; none, with the
// reason, when the folder or the archive can't be read.
std::optional<QStringList> TextureNamesBelow(const QString& folder, SourceFormat format,
                                             QString& reason) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const auto place = ArchiveFolderOf(LocalPath(path));
    if (RowOf(format).wad || (!place && !QDir(path).exists())) {
        return TextureNamesIn(folder, format, reason);
    }
    if (place) {
        const auto entries =
            ListArchiveEntries(place->archive, place->entry, format, ListingDepth::Recursive);
        return entries ? std::optional(AfterPrefix(*entries, PrefixOf(*place)))
                       : TextureNamesIn(folder, format, reason);
    }
    QStringList names;
    const QDir top(path);
    QDirIterator below(path, QStringList{QString::fromLatin1(RowOf(format).mask)}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (below.hasNext()) {
        names.append(top.relativeFilePath(below.next()));
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

// The squares see-through pixels show over, whatever the zoom.
constexpr int kCheckerSquare = 8;

// The levels side by side, top aligned, each `zoom` times its size.
QImage SideBySide(const std::vector<QImage>& levels, int zoom) {
    int width = 0;
    int height = 0;
    for (const QImage& level : levels) {
        width += level.width() * zoom + BrowserLayout::kLevelGap;
        height = std::max(height, level.height() * zoom);
    }
    QImage strip(std::max(width - BrowserLayout::kLevelGap, 1), std::max(height, 1),
                 QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    int x = 0;
    for (const QImage& level : levels) {
        painter.drawImage(QPoint(x, 0), OverCheckerboard(Zoomed(level, zoom), kCheckerSquare));
        x += level.width() * zoom + BrowserLayout::kLevelGap;
    }
    return strip;
}

} // namespace

TTextureBrowser::TTextureBrowser(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TTextureBrowser>())
    , m_windows(windows)
    , m_loader(std::make_unique<ThumbnailLoader>(BrowserLayout::kThumbnail))
    , m_model(std::make_unique<TextureModel>(*m_loader))
    , m_session(std::make_unique<EditSession>()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(WindowFont());
    m_ui->Textures->setModel(m_model.get());
    auto* cells = new TextureDelegate(BrowserLayout::kThumbnail, fontMetrics(), m_ui->Textures);
    m_ui->Textures->setItemDelegate(cells);
    m_ui->Textures->setGridSize(cells->Cell());
    // The details take two fifths of the width from the start, whatever their text: room for the
    // header's fields beside the palette, and no pane that moves when another texture is shown.
    m_ui->Split->setSizes({3 * width() / 5, 2 * width() / 5});
    SetUpEditors();
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("FrameTimer"));
    m_timer->setInterval(BrowserLayout::kFrameMs);

    ConnectControls();
    // The project's input folder and source format may change while the window is open.
    connect(m_windows.Project, &ProjectModel::changed, this, &TTextureBrowser::ProjectChange);
    ShowEdits();
}

// The wad and pak actions, the chain and the fields, each editing through the one session; the
// chain and the fields are reached from the texture's own controls, before the window's buttons.
void TTextureBrowser::SetUpEditors() {
    m_entries =
        std::make_unique<EntryActions>(m_windows, *m_session, *this, *m_ui->Textures, *m_model);
    connect(m_entries.get(), &EntryActions::Changed, this, [this] {
        List();
        ShowEdits();
    });
    m_ui->ChainEdit->SetSource(*m_session, [this](const QString& name) {
        return TargetOf(TexturePath(m_model->Folder(), name));
    });
    QWidget* before = m_ui->PlayBtn;
    for (const QWidget* editor :
         {static_cast<QWidget*>(m_ui->ChainEdit), static_cast<QWidget*>(m_ui->FieldsEdit)}) {
        for (QWidget* field : editor->findChildren<QWidget*>()) {
            if ((field->focusPolicy() & Qt::TabFocus) != 0) {
                QWidget::setTabOrder(before, field);
                before = field;
            }
        }
    }
    QWidget::setTabOrder(before, m_ui->AddBtn);
}

void TTextureBrowser::ConnectControls() {
    connect(m_ui->Filter, &QLineEdit::textChanged, this, &TTextureBrowser::FilterChange);
    connect(m_ui->Textures, &QListView::activated, this, &TTextureBrowser::TexturesActivated);
    connect(m_ui->UpBtn, &QPushButton::clicked, this, &TTextureBrowser::UpBtnClick);
    connect(m_ui->SubFolders, &QCheckBox::clicked, this, &TTextureBrowser::SubFoldersClick);
    // Backspace goes up from the grid; a field that takes it keeps it.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::Key_Backspace)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this,
                &TTextureBrowser::UpBtnClick);
    }
    connect(m_ui->Textures->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TTextureBrowser::TexturesCurrentChange);
    connect(m_ui->Textures->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TTextureBrowser::TexturesSelectionChange);
    connect(m_ui->Zoom, &QSpinBox::valueChanged, this, &TTextureBrowser::ZoomChange);
    connect(m_ui->PlayBtn, &QPushButton::clicked, this, &TTextureBrowser::PlayBtnClick);
    connect(m_ui->AddBtn, &QPushButton::clicked, this, &TTextureBrowser::AddBtnClick);
    connect(m_ui->CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(m_timer, &QTimer::timeout, this, &TTextureBrowser::FrameTimerTimer);
    connect(m_ui->FieldsEdit, &FieldsEditor::Edited, this, &TTextureBrowser::FieldsEdited);
    connect(m_ui->ChainEdit, &ChainEditor::Ordered, this, &TTextureBrowser::ChainOrdered);
    connect(m_ui->UndoBtn, &QPushButton::clicked, this, &TTextureBrowser::UndoBtnClick);
    connect(m_ui->RedoBtn, &QPushButton::clicked, this, &TTextureBrowser::RedoBtnClick);
    connect(m_ui->SaveBtn, &QPushButton::clicked, this, &TTextureBrowser::SaveBtnClick);
    const std::pair<QKeySequence, void (TTextureBrowser::*)()> editKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &TTextureBrowser::UndoBtnClick},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TTextureBrowser::RedoBtnClick},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &TTextureBrowser::RedoBtnClick},
        {QKeySequence(Qt::CTRL | Qt::Key_S), &TTextureBrowser::SaveBtnClick},
    };
    for (const auto& [keys, slot] : editKeys) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    }
}

TTextureBrowser::~TTextureBrowser() {
    // The view lets go of its model before the model goes.
    m_ui->Textures->setModel(nullptr);
}

void TTextureBrowser::Open() {
    Reload();
    show();
    raise();
    activateWindow();
}

void TTextureBrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_placed) {
        m_placed = true;
        resize(BrowserLayout::kFirstSize);
        CentreOnScreen(*this);
    }
}

void TTextureBrowser::closeEvent(QCloseEvent* event) {
    if (!MaySetAside()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TTextureBrowser::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TTextureBrowser::ProjectChange(ProjectModel::Field field) {
    if (field != ProjectModel::Field::InputDir && field != ProjectModel::Field::ConvFrom) {
        return;
    }
    // Another folder's textures: the last one's filter would hide them.
    m_ui->Filter->blockSignals(true);
    m_ui->Filter->clear();
    m_ui->Filter->blockSignals(false);
    if (isVisible()) {
        // Cancelled, the edits stay for a later Save: the files edited are where they were.
        MaySetAside();
        Reload();
    }
}

void TTextureBrowser::Reload() {
    const ProjectModel& project = *m_windows.Project;
    const QString root = m_windows.Main->RunFolder(project.InputPath());
    if (root != m_root) {
        m_root = root;
        m_at.clear();
    }
    m_format = project.ConvFrom();
    List();
}

QString TTextureBrowser::ShownFolder() const {
    return m_at.isEmpty() ? m_root : TexturePath(m_root, m_at);
}

void TTextureBrowser::List() {
    Stop();
    const QString folder = ShownFolder();
    const bool below = m_ui->SubFolders->isChecked();
    QString reason;
    std::optional<QStringList> names;
    auto edited = m_format ? m_entries->List(folder, *m_format, below) : std::nullopt;
    if (edited) {
        names = edited->names;
    } else if (m_format) {
        names = below ? TextureNamesBelow(folder, *m_format, reason)
                      : TextureNamesIn(folder, *m_format, reason);
    }
    const QStringList folders = edited            ? edited->folders
                                : names && !below ? SubFoldersOf(folder, *m_format)
                                                  : QStringList();
    m_model->SetTextures(folder, m_format.value_or(SourceFormat::Bmp), folders,
                         names.value_or(QStringList()),
                         edited ? std::move(edited->sources) : EntrySources());
    m_outside = names ? TexturesOutsideMap(folder, *m_format) : QStringList();
    m_ui->Place->setText(QDir::toNativeSeparators(folder));
    m_ui->Place->setToolTip(m_ui->Place->text());
    m_ui->UpBtn->setEnabled(!m_at.isEmpty());
    FilterChange(m_ui->Filter->text());
    if (!names) {
        m_ui->Count->setText(reason);
    }
}

void TTextureBrowser::TexturesActivated(const QModelIndex& index) {
    if (index.isValid() && m_model->IsFolder(index.row())) {
        const QString name = m_model->NameAt(index.row());
        m_at = m_at.isEmpty() ? name : m_at + QLatin1Char('/') + name;
        List();
    }
}

void TTextureBrowser::UpBtnClick() {
    if (m_at.isEmpty()) {
        return;
    }
    const auto slash = m_at.lastIndexOf(QLatin1Char('/'));
    m_at = slash < 0 ? QString() : m_at.left(slash);
    List();
}

void TTextureBrowser::SubFoldersClick() {
    List();
}

void TTextureBrowser::FilterChange(const QString& text) {
    m_model->SetFilter(text);
    const auto all = m_model->AllNames().size();
    const int shown = m_model->ShownTextures();
    QString count = shown == all ? QStringLiteral("%1 textures").arg(all)
                                 : QStringLiteral("%1 of %2 textures").arg(shown).arg(all);
    // A map's textures without pixels can't be shown or converted, but the map does use them.
    if (!m_outside.isEmpty()) {
        count += QStringLiteral(", %1 outside the map").arg(m_outside.size());
    }
    m_ui->Count->setText(count);
    m_ui->Count->setToolTip(m_outside.isEmpty() ? QString()
                                                : QStringLiteral("Outside the map: ") +
                                                      m_outside.join(QStringLiteral(", ")));
    ShowNothing();
}

void TTextureBrowser::TexturesCurrentChange() {
    const QModelIndex current = m_ui->Textures->currentIndex();
    if (current.isValid() && !m_model->IsFolder(current.row())) {
        ShowTexture(current.row());
    } else {
        ShowNothing();
    }
}

void TTextureBrowser::TexturesSelectionChange() {
    m_ui->AddBtn->setEnabled(m_ui->Textures->selectionModel()->hasSelection());
    SelectTargets();
}

void TTextureBrowser::ShowNothing() {
    Stop();
    m_shown = QImage();
    m_levelImages.clear();
    m_frames.clear();
    m_ui->Picture->clear();
    m_ui->Levels->clear();
    m_ui->PaletteGrid->clear();
    m_ui->Fields->clear();
    m_ui->Frame->clear();
    m_ui->ChainEdit->Clear();
    m_ui->PlayBtn->setEnabled(false);
    m_ui->AddBtn->setEnabled(m_ui->Textures->selectionModel()->hasSelection());
    // A list made afresh forgets its selection without a word.
    if (!m_ui->Textures->selectionModel()->hasSelection()) {
        m_selected.clear();
        m_ui->FieldsEdit->Show({}, false);
    }
}

void TTextureBrowser::ShowTexture(int row) {
    ShowNothing();
    if (!m_format) {
        return;
    }
    const QString name = m_model->NameAt(row);
    const SourceRead read = ReadEdited(m_model->PathAt(row));
    m_shown = PictureOf(read);
    if (m_shown.isNull()) {
        const ReadError reason = read.reason == ReadError::None ? ReadError::NoPixels : read.reason;
        m_ui->Picture->setPixmap(m_loader->Damaged());
        m_ui->Fields->setText(name + QStringLiteral("\nCannot be read: ") +
                              QString::fromLatin1(DescribeReadError(reason)));
        return;
    }
    m_levelImages.push_back(m_shown);
    for (const auto& level : read.trueColourLevels) {
        if (const QImage picture = PictureOf(*level); !picture.isNull()) {
            m_levelImages.push_back(picture);
        }
    }
    if (read.image) {
        for (const auto& level : read.levels) {
            if (const QImage picture = PictureOf(*level, read.palette); !picture.isNull()) {
                m_levelImages.push_back(picture);
            }
        }
        m_ui->PaletteGrid->setPixmap(
            QPixmap::fromImage(PaletteGrid(read.palette, BrowserLayout::kPaletteCell)));
    } else {
        m_ui->PaletteGrid->setText(QStringLiteral("True colour:\nno palette"));
    }
    m_ui->Fields->setText(Describe(name, *m_format, m_levelImages, read.fields));
    FindFrames(name, read.fields);
    m_ui->ChainEdit->Show(*m_format, m_model->AllNames(), name);
    ZoomChange();
}

// The frames of the animation the texture `name` is part of, read now: there are few, and a
// frame that cannot be read ends the animation there.
void TTextureBrowser::FindFrames(const QString& name, const std::optional<HeaderFields>& fields) {
    const QStringList& names = m_model->AllNames();
    std::vector<std::string> utf8Names; // as the animation chains compare them
    utf8Names.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& listed : names) {
        utf8Names.push_back(listed.toStdString());
    }
    const auto isFrame = [this](const QString& frame) {
        return std::any_of(m_frames.begin(), m_frames.end(),
                           [&](const Frame& known) { return known.name == frame; });
    };
    const std::vector<std::size_t> numbered = NumberedFramesOf(name.toStdString(), utf8Names);
    if (!numbered.empty()) {
        for (const std::size_t at : numbered) {
            const QString& frame = names[static_cast<qsizetype>(at)];
            const QImage picture =
                frame == name ? m_shown
                              : PictureOf(ReadEdited(TexturePath(m_model->Folder(), frame)));
            if (picture.isNull()) {
                break;
            }
            m_frames.push_back({frame, picture});
        }
    } else if (fields && !fields->animationName.empty()) {
        // From this texture through the next frames its header and theirs name, until the
        // animation comes back round.
        m_frames.push_back({name, m_shown});
        auto at = TextureNamed(fields->animationName, utf8Names);
        while (at && !isFrame(names[static_cast<qsizetype>(*at)]) &&
               m_frames.size() < BrowserLayout::kMostFrames) {
            const QString& frame = names[static_cast<qsizetype>(*at)];
            const SourceRead read = ReadEdited(TexturePath(m_model->Folder(), frame));
            const QImage picture = PictureOf(read);
            if (picture.isNull()) {
                break;
            }
            m_frames.push_back({frame, picture});
            at = read.fields ? TextureNamed(read.fields->animationName, utf8Names) : std::nullopt;
        }
    }
    if (m_frames.size() < 2) {
        m_frames.clear();
        return;
    }
    const auto at = std::find_if(m_frames.begin(), m_frames.end(),
                                 [&](const Frame& frame) { return frame.name == name; });
    m_frameAt = at == m_frames.end() ? 0 : static_cast<std::size_t>(at - m_frames.begin());
    m_ui->PlayBtn->setEnabled(true);
    ShowFrameNumber();
}

void TTextureBrowser::ShowFrameNumber() {
    m_ui->Frame->setText(QStringLiteral("%1: frame %2 of %3 of its animation")
                             .arg(m_frames[m_frameAt].name)
                             .arg(m_frameAt + 1)
                             .arg(m_frames.size()));
}

void TTextureBrowser::ZoomChange() {
    ShowPicture(m_frames.empty() ? m_shown : m_frames[m_frameAt].picture);
    if (!m_levelImages.empty()) {
        m_ui->Levels->setPixmap(QPixmap::fromImage(SideBySide(m_levelImages, m_ui->Zoom->value())));
    }
}

void TTextureBrowser::ShowPicture(const QImage& picture) {
    if (!picture.isNull()) {
        m_ui->Picture->setPixmap(QPixmap::fromImage(
            OverCheckerboard(Zoomed(picture, m_ui->Zoom->value()), kCheckerSquare)));
    }
}

void TTextureBrowser::PlayBtnClick() {
    if (m_timer->isActive()) {
        Stop();
    } else if (m_frames.size() > 1) {
        m_timer->start();
        m_ui->PlayBtn->setText(QStringLiteral("&Stop"));
    }
}

void TTextureBrowser::Stop() {
    m_timer->stop();
    m_ui->PlayBtn->setText(QStringLiteral("&Play"));
}

void TTextureBrowser::FrameTimerTimer() {
    if (m_frames.empty()) {
        Stop();
        return;
    }
    m_frameAt = (m_frameAt + 1) % m_frames.size();
    ShowFrameNumber();
    ShowPicture(m_frames[m_frameAt].picture);
}

void TTextureBrowser::AddBtnClick() {
    QList<int> rows;
    const QModelIndexList selected = m_ui->Textures->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        if (!m_model->IsFolder(index.row())) {
            rows.append(index.row());
        }
    }
    if (rows.isEmpty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    m_windows.Main->AddDroppedFiles(*m_model->UrlsOf(rows));
}

std::vector<int> TTextureBrowser::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_ui->Textures->selectionModel()->selectedIndexes()) {
        if (!m_model->IsFolder(index.row())) {
            rows.push_back(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The texture at `listed` (a path the grid lists) as the session edits it: a file of its own, or
// an entry of the pak or wad the listed folder runs through; none for one that cannot be edited.
std::optional<EditTarget> TTextureBrowser::TargetOf(const QString& listed) {
    const std::string path = LocalPath(listed);
    std::string reason;
    const auto place = ArchiveFolderOf(path);
    if (!place) {
        const auto document = m_session->Open(path, reason);
        return document ? std::optional(EditTarget{*document, std::nullopt}) : std::nullopt;
    }
    const auto document = m_session->Open(place->archive, reason);
    if (!document || place->entry.empty()) {
        return std::nullopt;
    }
    // A wad's and a map's names are told apart in any case.
    const bool wad = m_session->WadKindOf(*document).has_value();
    const std::vector<EditedEntry>& entries = m_session->Entries(*document);
    for (std::size_t entry = 0; entry < entries.size(); ++entry) {
        if (entries[entry].name == place->entry ||
            (wad && AsciiLower(entries[entry].name) == AsciiLower(place->entry))) {
            return EditTarget{*document, entry};
        }
    }
    return std::nullopt;
}

// The texture at `row` as edited, when it is; else as the file holds it.
SourceRead TTextureBrowser::ReadEdited(const QString& path) {
    const auto target = TargetOf(path);
    std::string reason;
    const auto bytes = target && m_session->Modified(target->document)
                           ? m_session->Bytes(*target, reason)
                           : std::nullopt;
    if (!bytes) {
        return m_loader->Read(path);
    }
    SourceRead read;
    read.wantLevels = true;
    ReadSourceBytes(RowOf(*m_format), *bytes, read);
    return read;
}

void TTextureBrowser::SelectTargets() {
    m_selected.clear();
    for (const int row : m_format ? SelectedRows() : std::vector<int>()) {
        const auto target = TargetOf(m_model->PathAt(row));
        if (!target) {
            m_selected.clear();
            break;
        }
        m_selected.push_back(*target);
    }
    ShowFields();
}

// The fields of the selected textures in the editor, when every one of them can be edited.
void TTextureBrowser::ShowFields() {
    std::vector<HeaderFields> shown;
    bool nameOnly = false;
    for (const EditTarget& target : m_selected) {
        std::string reason;
        const auto bytes = m_session->Bytes(target, reason);
        if (bytes && target.entry && m_session->Kind(target.document) == DocumentKind::Wad) {
            // A wad's texture has no fields but its name.
            nameOnly = true;
            HeaderFields named;
            named.name = m_session->Entries(target.document)[*target.entry].name;
            shown.push_back(named);
            continue;
        }
        const auto info = bytes && m_format ? InspectTexture(*bytes, *m_format) : std::nullopt;
        if (!info || !info->fields) {
            shown.clear();
            break;
        }
        shown.push_back(*info->fields);
    }
    m_ui->FieldsEdit->Show(shown, nameOnly);
}

// The title's star, the buttons and the selected textures' details as the edits stand.
void TTextureBrowser::ShowEdits() {
    setWindowModified(m_session->Modified());
    m_ui->UndoBtn->setEnabled(m_session->CanUndo());
    m_ui->RedoBtn->setEnabled(m_session->CanRedo());
    m_ui->SaveBtn->setEnabled(m_session->Modified());
    TexturesCurrentChange();
    ShowFields();
}

void TTextureBrowser::FieldsEdited(const std::vector<FieldEdit>& edits) {
    std::string reason;
    if (!m_selected.empty() && !m_session->SetFields(m_selected, edits, reason)) {
        ShowBox(*m_windows.Boxes, "The fields were not set.", BoxIcon::Exclamation,
                WindowButtons::Ok, reason);
    }
    ShowEdits();
}

void TTextureBrowser::ChainOrdered(const std::vector<EditTarget>& chain) {
    std::string reason;
    if (!m_session->SetChain(chain, reason)) {
        ShowBox(*m_windows.Boxes, "The frames were not put in that order.", BoxIcon::Exclamation,
                WindowButtons::Ok, reason);
    }
    ShowEdits();
}

void TTextureBrowser::UndoBtnClick() {
    if (m_session->CanUndo()) {
        m_session->Undo();
        m_entries->Refresh();
        ShowEdits();
    }
}

void TTextureBrowser::RedoBtnClick() {
    if (m_session->CanRedo()) {
        m_session->Redo();
        m_entries->Refresh();
        ShowEdits();
    }
}

void TTextureBrowser::SaveBtnClick() {
    Save();
}

// Writes every edited file; one changed on disk since it was opened only when the user says so.
// True when none is left unsaved.
bool TTextureBrowser::Save() {
    std::vector<SaveOutcome> outcomes = m_session->Save();
    QStringList changed;
    for (const SaveOutcome& outcome : outcomes) {
        if (outcome.changedOnDisk) {
            changed.append(
                QDir::toNativeSeparators(FromLocalPath(m_session->Path(outcome.document))));
        }
    }
    if (!changed.isEmpty() &&
        ShowBox(*m_windows.Boxes,
                (QStringLiteral("Changed on disk since it was opened:\n") +
                 changed.join(QLatin1Char('\n')) + QStringLiteral("\nOverwrite it with the edits?"))
                    .toStdString(),
                BoxIcon::Exclamation, WindowButtons::YesNo) == WindowAnswer::Yes) {
        outcomes = m_session->Save(true);
    }
    QStringList failures;
    for (const SaveOutcome& outcome : outcomes) {
        if (!outcome.saved && !outcome.changedOnDisk) {
            failures.append(
                QDir::toNativeSeparators(FromLocalPath(m_session->Path(outcome.document))) +
                QStringLiteral(": ") + QString::fromStdString(outcome.reason));
        }
    }
    if (!failures.isEmpty()) {
        ShowBox(*m_windows.Boxes,
                (QStringLiteral("Not saved:\n") + failures.join(QLatin1Char('\n'))).toStdString(),
                BoxIcon::Exclamation);
    }
    m_entries->Refresh();
    ShowEdits();
    return !m_session->Modified();
}

bool TTextureBrowser::MaySetAside() {
    if (!m_session->Modified()) {
        return true;
    }
    switch (ShowBox(*m_windows.Boxes, "Save the edits to the textures?", BoxIcon::Exclamation,
                    WindowButtons::SaveDiscardCancel)) {
    case WindowAnswer::Save:
        return Save();
    case WindowAnswer::Discard:
        m_session->Close();
        SelectTargets();
        ShowEdits();
        return true;
    default:
        return false;
    }
}

} // namespace texelary
