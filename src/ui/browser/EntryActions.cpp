#include "ui/browser/EntryActions.h"

#include "archives/ArchiveListing.h"
#include "base/Utf8.h"
#include "edit/EditSession.h"
#include "ui/app/AppWindows.h"
#include "ui/app/DroppedFiles.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/browser/TextureModel.h"
#include "ui/choosers/TextureNames.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QListView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <tuple>

namespace texelary {

namespace {

constexpr const char* kPictureFilter =
    "Pictures (*.bmp *.png *.tga *.pcx *.m8 *.wal);;All files (*)";

// Whether an entry of a document (a wad's or map's when `wad`) is a texture of `format`: a mip
// texture of the format's kind of wad, or a pak's file with the format's extension, as the listings
// take them.
bool IsTextureOf(const EditedEntry& entry, const SourceFormatRow& format,
                 std::optional<WadKind> wad) {
    if (wad) {
        return format.wad && wad == format.wad && entry.type == MipTextureType(*format.wad);
    }
    return !format.wad && EndsWithIgnoringCase(entry.name, std::string_view(format.mask).substr(1));
}

QStringList LocalFiles(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            files.append(url.toLocalFile());
        }
    }
    return files;
}

} // namespace

EntryActions::EntryActions(AppWindows& windows, EditSession& session, QWidget& window,
                           QListView& grid, TextureModel& model)
    : m_windows(windows)
    , m_session(session)
    , m_window(window)
    , m_grid(grid)
    , m_model(model) {
    m_grid.setContextMenuPolicy(Qt::ActionsContextMenu);
    MakeAction(QStringLiteral("Re&name"), Qt::Key_F2, "RenameAction", &EntryActions::RenameClick);
    MakeAction(QStringLiteral("&Delete"), Qt::Key_Delete, "DeleteAction",
               &EntryActions::DeleteClick);
    MakeAction(QStringLiteral("&Add..."), Qt::Key_Insert, "AddAction", &EntryActions::AddClick);
    m_entryActions.pop_back(); // Add... needs no selection
    MakeAction(QStringLiteral("Re&place picture..."), {}, "ReplaceAction",
               &EntryActions::ReplaceClick);
    MakeAction(QStringLiteral("Move &up"), Qt::CTRL | Qt::Key_Up, "MoveUpAction",
               &EntryActions::MoveUpClick);
    MakeAction(QStringLiteral("Move do&wn"), Qt::CTRL | Qt::Key_Down, "MoveDownAction",
               &EntryActions::MoveDownClick);
    MakeAction(QStringLiteral("&Copy to wad..."), {}, "CopyAction", &EntryActions::CopyClick);
    MakeAction(QStringLiteral("&Move to wad..."), {}, "MoveToAction", &EntryActions::MoveToClick);
    MakeAction(QStringLiteral("&Extract..."), {}, "ExtractAction", &EntryActions::ExtractClick);
    // QListView turns dragging off when its movement or view mode is set, as the window's layout
    // does after enabling it: a static grid of icons would otherwise never start a drag.
    m_grid.setDragEnabled(true);
    m_grid.viewport()->setAcceptDrops(true);
    m_grid.viewport()->installEventFilter(this);
    m_model.SetDragged([this](const QList<int>& rows) { return Dragged(rows); });
    connect(m_grid.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EntryActions::UpdateActions);
    UpdateActions();
}

EntryActions::~EntryActions() {
    m_model.SetDragged({});
}

QAction* EntryActions::MakeAction(const QString& text, const QKeySequence& keys, const char* name,
                                  void (EntryActions::*handler)()) {
    auto* action = new QAction(text, &m_grid);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    // Keys of the grid: the filter's field keeps Delete and Insert for its text.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_grid.addAction(action);
    m_entryActions.push_back(action);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void EntryActions::UpdateActions() {
    const bool selected = m_document && m_grid.selectionModel()->hasSelection();
    for (QAction* action : m_grid.actions()) {
        const bool onSelection =
            std::find(m_entryActions.begin(), m_entryActions.end(), action) != m_entryActions.end();
        action->setEnabled(onSelection ? selected : m_document.has_value());
    }
    // The grid shows a pak's names sorted: no place there says where an entry stands.
    const bool ordered = selected && m_session.Kind(*m_document) == DocumentKind::Wad;
    for (const char* name : {"MoveUpAction", "MoveDownAction"}) {
        m_grid.findChild<QAction*>(QString::fromLatin1(name))->setEnabled(ordered);
    }
    // A map's textures are only replaced, copied out and extracted.
    if (m_document && m_session.Kind(*m_document) == DocumentKind::Map) {
        for (const char* name : {"RenameAction", "DeleteAction", "AddAction", "MoveToAction"}) {
            m_grid.findChild<QAction*>(QString::fromLatin1(name))->setEnabled(false);
        }
    }
}

std::optional<EditedListing> EntryActions::List(const QString& folder, SourceFormat format,
                                                bool below) {
    m_document.reset();
    m_prefix.clear();
    m_entryOf.clear();
    const auto place = ArchiveFolderOf(LocalPath(QDir::cleanPath(QDir(folder).absolutePath())));
    std::string reason;
    const auto document = place ? m_session.Open(place->archive, reason) : std::nullopt;
    if (!document || m_session.Kind(*document) == DocumentKind::Texture) {
        UpdateActions();
        return std::nullopt;
    }
    m_document = document;
    m_prefix = place->entry.empty() ? std::string() : place->entry + '/';
    const DocumentKind kind = m_session.Kind(*document);
    const std::optional<WadKind> wad = m_session.WadKindOf(*document);
    const std::vector<EditedEntry>& entries = m_session.Entries(*document);
    EditedListing listing;
    for (std::size_t at = 0; at < entries.size(); ++at) {
        const EditedEntry& entry = entries[at];
        // A map's textures without pixels are counted apart, outside the grid.
        if (entry.name.size() <= m_prefix.size() ||
            entry.name.compare(0, m_prefix.size(), m_prefix) != 0 ||
            (entry.stored && entry.stored->outside)) {
            continue;
        }
        const std::string rest = entry.name.substr(m_prefix.size());
        const auto slash = rest.find('/');
        if (slash != std::string::npos && !below) {
            listing.folders.append(FromLocalPath(rest.substr(0, slash)));
        } else if (IsTextureOf(entry, RowOf(format), wad)) {
            const QString name = FromLocalPath(rest);
            listing.names.append(name);
            m_entryOf.insert(name, at);
            listing.sources.insert(TexturePath(folder, name),
                                   EntrySource{entry.bytes, place->archive, entry.stored});
        }
    }
    listing.folders.removeDuplicates();
    listing.folders.sort(Qt::CaseInsensitive);
    // A wad's order is the one editors and engines list its textures in, and Move changes it; a
    // pak's or a map's says nothing, and its names are sorted as the folders' are.
    if (kind != DocumentKind::Wad) {
        listing.names.sort(Qt::CaseInsensitive);
    }
    UpdateActions();
    return listing;
}

QList<int> EntryActions::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_grid.selectionModel()->selectedIndexes()) {
        if (m_entryOf.contains(m_model.NameAt(index.row()))) {
            rows.append(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::size_t> EntryActions::EntriesAt(const QList<int>& rows) const {
    std::vector<std::size_t> entries;
    for (const int row : rows) {
        if (const auto found = m_entryOf.constFind(m_model.NameAt(row));
            found != m_entryOf.constEnd()) {
            entries.push_back(*found);
        }
    }
    return entries;
}

void EntryActions::Refused(const QString& what, const std::string& reason) {
    ShowBox(*m_windows.Boxes, what.toStdString(), BoxIcon::Exclamation, WindowButtons::Ok, reason);
}

void EntryActions::Relist(const std::vector<std::string>& names) {
    emit Changed();
    QItemSelectionModel& selection = *m_grid.selectionModel();
    selection.clearSelection();
    for (const std::string& name : names) {
        if (name.compare(0, m_prefix.size(), m_prefix) != 0) {
            continue;
        }
        const QString shown = FromLocalPath(name.substr(m_prefix.size()));
        for (int row = 0; row < m_model.rowCount(); ++row) {
            if (!m_model.IsFolder(row) && m_model.NameAt(row) == shown) {
                selection.setCurrentIndex(m_model.index(row), QItemSelectionModel::Select);
                break;
            }
        }
    }
    UpdateActions();
}

void EntryActions::Refresh() {
    if (!m_document) {
        return;
    }
    QStringList names;
    for (const QModelIndex& index : m_grid.selectionModel()->selectedIndexes()) {
        names.append(m_model.NameAt(index.row()));
    }
    emit Changed();
    QItemSelectionModel& selection = *m_grid.selectionModel();
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (!m_model.IsFolder(row) && names.contains(m_model.NameAt(row))) {
            selection.select(m_model.index(row), QItemSelectionModel::Select);
        }
    }
    UpdateActions();
}

void EntryActions::RenameClick() {
    const QList<int> rows = SelectedRows();
    if (!m_document || rows.isEmpty()) {
        return;
    }
    const QModelIndex current = m_grid.currentIndex();
    const int row = rows.contains(current.row()) ? current.row() : rows.front();
    const QString old = m_model.NameAt(row);
    QInputDialog dialog(&m_window);
    dialog.setObjectName(QStringLiteral("RenameDialog"));
    dialog.setWindowTitle(QStringLiteral("Rename"));
    dialog.setLabelText(QStringLiteral("New name of %1:").arg(old));
    dialog.setTextValue(old);
    if (m_windows.RunModal(dialog) != QDialog::Accepted || dialog.textValue() == old) {
        return;
    }
    const std::string name = m_prefix + LocalPath(dialog.textValue());
    std::string reason;
    if (!m_session.Rename(*m_document, m_entryOf.value(old), name, reason)) {
        Refused(QStringLiteral("%1 is not renamed %2.").arg(old, dialog.textValue()), reason);
        return;
    }
    Relist({name});
}

void EntryActions::DeleteClick() {
    const std::vector<std::size_t> entries = EntriesAt(SelectedRows());
    if (!m_document || entries.empty()) {
        return;
    }
    std::string reason;
    if (!m_session.Remove(*m_document, entries, reason)) {
        Refused(QStringLiteral("Not deleted."), reason);
        return;
    }
    Relist({});
}

QStringList EntryActions::ChoosePictures(const QString& caption, bool many) {
    QFileDialog dialog(&m_window, caption);
    dialog.setObjectName(QStringLiteral("PictureDialog"));
    // Qt's own dialog, the same on every system, which the tests can answer.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(many ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromLatin1(kPictureFilter));
    return m_windows.RunModal(dialog) == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

void EntryActions::AddClick() {
    if (m_document) {
        AddPictures(ChoosePictures(QStringLiteral("Add pictures"), true), -1);
    }
}

void EntryActions::AddPictures(const QStringList& paths, int row) {
    if (!m_document || paths.isEmpty()) {
        return;
    }
    const std::string folder =
        m_prefix.empty() ? std::string() : m_prefix.substr(0, m_prefix.size() - 1);
    std::vector<EditSession::NewEntry> entries;
    std::vector<std::string> names;
    QStringList refused;
    for (const QString& path : paths) {
        std::string reason;
        auto entry = EntryOfPicture(m_session, *m_document, LocalPath(path), folder, reason);
        if (entry) {
            names.push_back(entry->name);
            entries.push_back(std::move(*entry));
        } else {
            refused.append(QFileInfo(path).fileName() + QStringLiteral(": ") +
                           QString::fromStdString(reason));
        }
    }
    const std::vector<std::size_t> at = EntriesAt({row});
    std::string reason;
    if (!entries.empty() &&
        !m_session.Add(*m_document, at.empty() ? m_session.Entries(*m_document).size() : at.front(),
                       std::move(entries), reason)) {
        refused.append(QString::fromStdString(reason));
        names.clear();
    }
    Relist(names);
    if (!refused.isEmpty()) {
        ShowBox(*m_windows.Boxes, "Not added:\n" + refused.join(QLatin1Char('\n')).toStdString(),
                BoxIcon::Exclamation);
    }
}

void EntryActions::ReplaceClick() {
    const std::vector<std::size_t> entries = EntriesAt(SelectedRows());
    if (!m_document || entries.size() != 1) {
        return;
    }
    const QStringList chosen = ChoosePictures(QStringLiteral("Replace picture"), false);
    if (chosen.isEmpty()) {
        return;
    }
    const std::size_t entry = entries.front();
    const std::string name = m_session.Entries(*m_document)[entry].name;
    std::string reason;
    auto made = ReplacementOf(m_session, *m_document, entry, LocalPath(chosen.front()), reason);
    if (!made || !m_session.Replace(*m_document, entry, std::move(*made), reason)) {
        Refused(QStringLiteral("%1 is not replaced.").arg(FromLocalPath(name)), reason);
        return;
    }
    Relist({name});
}

void EntryActions::MoveUpClick() {
    const QList<int> rows = SelectedRows();
    const int first = m_model.rowCount() - m_model.ShownTextures();
    if (!m_document || rows.isEmpty() || rows.front() <= first) {
        return;
    }
    std::vector<std::string> names;
    const std::vector<std::size_t> entries = EntriesAt(rows);
    for (const std::size_t entry : entries) {
        names.push_back(m_session.Entries(*m_document)[entry].name);
    }
    m_session.Move(*m_document, entries, EntriesAt({rows.front() - 1}).front());
    Relist(names);
}

void EntryActions::MoveDownClick() {
    const QList<int> rows = SelectedRows();
    if (!m_document || rows.isEmpty() || rows.back() + 1 >= m_model.rowCount()) {
        return;
    }
    std::vector<std::string> names;
    const std::vector<std::size_t> entries = EntriesAt(rows);
    for (const std::size_t entry : entries) {
        names.push_back(m_session.Entries(*m_document)[entry].name);
    }
    m_session.Move(*m_document, entries, EntriesAt({rows.back() + 1}).front() + 1);
    Relist(names);
}

void EntryActions::CopyClick() {
    CopyTo(false);
}

void EntryActions::MoveToClick() {
    CopyTo(true);
}

void EntryActions::CopyTo(bool move) {
    const std::vector<std::size_t> entries = EntriesAt(SelectedRows());
    if (!m_document || entries.empty()) {
        return;
    }
    QFileDialog dialog(&m_window,
                       move ? QStringLiteral("Move to wad") : QStringLiteral("Copy to wad"));
    dialog.setObjectName(QStringLiteral("WadDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Wads (*.wad);;All files (*)"));
    if (m_windows.RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    std::string reason;
    const auto to = m_session.Open(LocalPath(dialog.selectedFiles().front()), reason);
    if (!to || !m_session.Copy(*m_document, entries, *to, move, reason)) {
        Refused(move ? QStringLiteral("Not moved.") : QStringLiteral("Not copied."), reason);
        return;
    }
    Relist({});
}

void EntryActions::ExtractClick() {
    const std::vector<std::size_t> entries = EntriesAt(SelectedRows());
    if (!m_document || entries.empty()) {
        return;
    }
    QFileDialog dialog(&m_window, QStringLiteral("Extract to"));
    dialog.setObjectName(QStringLiteral("ExtractDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (m_windows.RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    std::string reason;
    if (!Extract(m_session, *m_document, entries, LocalPath(dialog.selectedFiles().front()),
                 reason)) {
        Refused(QStringLiteral("Not extracted."), reason);
    }
}

std::unique_ptr<QMimeData> EntryActions::Dragged(const QList<int>& rows) {
    const std::vector<std::size_t> entries = EntriesAt(rows);
    if (!m_document || entries.empty()) {
        return nullptr;
    }
    // The files stay until the next drag: a file manager copies them once the drop is done.
    m_dragged = std::make_unique<QTemporaryDir>();
    std::string reason;
    if (!m_dragged->isValid() ||
        !Extract(m_session, *m_document, entries, LocalPath(m_dragged->path()), reason)) {
        return nullptr;
    }
    QList<QUrl> urls;
    for (const std::size_t entry : entries) {
        urls.append(QUrl::fromLocalFile(
            m_dragged->filePath(FromLocalPath(ExtractedName(m_session, *m_document, entry)))));
    }
    auto dragged = std::make_unique<QMimeData>();
    dragged->setUrls(urls);
    dragged->setData(QLatin1String(kArchivePathsFormat),
                     EncodeArchivePaths(m_model.UrlsOf(rows)->urls()));
    return dragged;
}

// Textures dragged from another wad or a map (of another browser, or of the image list), which
// name their archive: copied as they are into a wad of their kind, not converted again. False,
// for the drop to be taken as files, when they do not all come from one such archive.
bool EntryActions::CopyDroppedTextures(const QMimeData& dropped) {
    const QString format = QLatin1String(kArchivePathsFormat);
    if (!dropped.hasFormat(format) || !m_session.WadKindOf(*m_document)) {
        return false;
    }
    std::optional<std::size_t> from;
    std::vector<std::size_t> entries;
    std::vector<std::string> names;
    std::string reason;
    for (const QByteArray& line : dropped.data(format).split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const auto place = ArchiveFolderOf(LocalPath(QUrl::fromEncoded(line).toLocalFile()));
        const auto document = place ? m_session.Open(place->archive, reason) : std::nullopt;
        if (!document || (from && document != from) || document == m_document ||
            m_session.WadKindOf(*document) != m_session.WadKindOf(*m_document)) {
            return false;
        }
        from = document;
        const auto& held = m_session.Entries(*document);
        const auto found = std::find_if(held.begin(), held.end(), [&](const EditedEntry& entry) {
            return AsciiLower(entry.name) == AsciiLower(place->entry);
        });
        if (found == held.end()) {
            return false;
        }
        entries.push_back(static_cast<std::size_t>(found - held.begin()));
        names.push_back(found->name);
    }
    if (!from) {
        return false;
    }
    if (!m_session.Copy(*from, entries, *m_document, false, reason)) {
        Refused(QStringLiteral("Not copied."), reason);
        names.clear();
    }
    Relist(names);
    return true;
}

bool EntryActions::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched != m_grid.viewport() ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)) {
        return QObject::eventFilter(watched, event);
    }
    auto& drop = static_cast<QDropEvent&>(*event);
    const bool inside = drop.source() == &m_grid;
    if (!m_document || m_session.Kind(*m_document) == DocumentKind::Map ||
        (!inside && LocalFiles(*drop.mimeData()).isEmpty())) {
        drop.ignore();
        return true;
    }
    drop.setDropAction(Qt::CopyAction);
    drop.accept();
    if (type == QEvent::Drop) {
        DropOn(drop);
    }
    return true;
}

bool EntryActions::DropOn(QDropEvent& drop) {
    const QModelIndex at = m_grid.indexAt(drop.position().toPoint());
    const int row = at.isValid() && !m_model.IsFolder(at.row()) ? at.row() : -1;
    if (drop.source() != &m_grid) {
        if (!CopyDroppedTextures(*drop.mimeData())) {
            AddPictures(LocalFiles(*drop.mimeData()), row);
        }
        return true;
    }
    const std::vector<std::size_t> entries = EntriesAt(SelectedRows());
    if (entries.empty() || m_session.Kind(*m_document) != DocumentKind::Wad) {
        return false;
    }
    std::vector<std::string> names;
    for (const std::size_t entry : entries) {
        names.push_back(m_session.Entries(*m_document)[entry].name);
    }
    const std::vector<std::size_t> before = EntriesAt({row});
    m_session.Move(*m_document, entries,
                   before.empty() ? m_session.Entries(*m_document).size() : before.front());
    Relist(names);
    return true;
}

} // namespace texelary
