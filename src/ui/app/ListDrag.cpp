#include "ui/app/ListDrag.h"

#include "archives/ArchiveInput.h"
#include "base/FileIo.h"
#include "base/NativePath.h"
#include "ui/app/DroppedFiles.h"
#include "ui/app/LocalPath.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace texelary {

ListDrag::ListDrag(QListWidget& list, std::function<QString()> folder)
    : QObject(&list)
    , m_list(list)
    , m_viewport(*list.viewport())
    , m_folder(std::move(folder))
    , m_start([this](std::unique_ptr<QMimeData> dragged) {
        auto* drag = new QDrag(&m_list);
        drag->setMimeData(dragged.release());
        drag->exec(Qt::CopyAction);
    }) {
    m_viewport.installEventFilter(this);
}

ListDrag::~ListDrag() = default;

std::unique_ptr<QMimeData> ListDrag::Dragged() {
    const QString folder = m_folder();
    QList<QUrl> urls;
    QList<QUrl> inArchives;
    m_copies.reset();
    for (int row = 0; row < m_list.count(); ++row) {
        const QListWidgetItem* item = m_list.item(row);
        if (!item->isSelected()) {
            continue;
        }
        const QString path = QDir(folder).filePath(item->text());
        if (QFileInfo(path).isFile()) {
            urls.append(QUrl::fromLocalFile(path));
            continue;
        }
        // A texture inside an archive: a file manager takes files only.
        ReadError error = ReadError::None;
        const auto bytes = ReadInput(LocalPath(path), &error);
        if (!m_copies) {
            m_copies = std::make_unique<QTemporaryDir>();
        }
        const QString copy = m_copies->filePath(
            FromLocalPath(FileNameOfLump(LocalPath(QFileInfo(item->text()).fileName()))));
        WriteError written = WriteError::None;
        if (bytes && m_copies->isValid() && WriteFileReplacing(LocalPath(copy), *bytes, &written)) {
            urls.append(QUrl::fromLocalFile(copy));
            inArchives.append(QUrl::fromLocalFile(path));
        }
    }
    if (urls.isEmpty()) {
        return nullptr;
    }
    auto dragged = std::make_unique<QMimeData>();
    dragged->setUrls(urls);
    // Textures of one archive are taken by a wad of their kind as they are, unconverted.
    if (inArchives.size() == urls.size()) {
        dragged->setData(QLatin1String(kArchivePathsFormat), EncodeArchivePaths(inArchives));
    }
    return dragged;
}

bool ListDrag::eventFilter(QObject* watched, QEvent* event) {
    // The list is not asked for its viewport here: the viewport still has events while the list
    // is being destroyed.
    const QEvent::Type type = event->type();
    if (watched != &m_viewport || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
                                   type != QEvent::MouseButtonRelease)) {
        return false;
    }
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    const QPoint at = mouse.position().toPoint();
    if (type == QEvent::MouseButtonPress) {
        const QListWidgetItem* item = m_list.itemAt(at);
        m_pressed.reset();
        // Shift and Ctrl keep their say over the selection.
        if (mouse.button() != Qt::LeftButton || mouse.modifiers() != Qt::NoModifier ||
            item == nullptr || !item->isSelected()) {
            return false;
        }
        m_pressed = at;
        m_pressedRow = m_list.row(item);
        m_list.setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (!m_pressed) {
        return false;
    }
    if (type == QEvent::MouseButtonRelease) {
        // A click, not a drag: the name alone is selected, as the list would have made it.
        m_pressed.reset();
        m_list.setCurrentRow(m_pressedRow, QItemSelectionModel::ClearAndSelect);
        return false;
    }
    if ((at - *m_pressed).manhattanLength() < QApplication::startDragDistance()) {
        return true;
    }
    m_pressed.reset();
    if (auto dragged = Dragged()) {
        m_start(std::move(dragged));
    }
    return true;
}

} // namespace texelary
