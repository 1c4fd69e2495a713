#pragma once

// The image list as the start of a drag: a press on a selected name, then a move, drags the
// selected files out as copies, into the texture browser's wad or pak or to a file manager. A press
// anywhere else selects as it always did, a sweep over the names included, and a press on a
// selected name that does not move selects that name alone when released.

#include <QObject>
#include <QPoint>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

class QListWidget;
class QMimeData;
class QWidget;

namespace texelary {

class ListDrag final : public QObject {
    Q_OBJECT
public:
    // `folder` gives the folder the list's names are in, as the run reads it. The list owns the
    // drag, which filters its viewport from now on: it must see presses before any other filter
    // there.
    ListDrag(QListWidget& list, std::function<QString()> folder);
    ~ListDrag() override;
    ListDrag(const ListDrag&) = delete;
    ListDrag& operator=(const ListDrag&) = delete;

    // What a drag of the selected names carries: each file's URL, a texture inside a pak, wad or
    // map copied first to a folder that stays until the next drag, and then the textures' paths
    // through their archive too, as the texture browser's drags carry them. Null when none can be
    // had.
    std::unique_ptr<QMimeData> Dragged();

    // What starts a drag of `dragged`: a QDrag of the list, unless the tests say otherwise.
    using DragStart = std::function<void(std::unique_ptr<QMimeData> dragged)>;
    void SetDragStart(DragStart start) { m_start = std::move(start); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget& m_list;
    QWidget& m_viewport;
    std::function<QString()> m_folder;
    std::optional<QPoint> m_pressed; // a press on a selected name, until it moves or is released
    int m_pressedRow = -1;
    std::unique_ptr<QTemporaryDir> m_copies;
    DragStart m_start;
};

} // namespace texelary
