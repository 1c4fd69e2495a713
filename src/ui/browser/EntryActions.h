#pragma once

// The texture browser's edits of a wad's or a pak's entries. While the browser shows a folder of
// one, the grid lists its textures as the editing session holds them (a wad's in its order), and
// the actions on the selection (in the grid's context menu, with keys) rename, delete, add,
// replace, reorder, copy or move to another wad and extract them. Pictures dropped on the grid
// are added, converted as the archive needs; textures dragged within the grid are moved there,
// and dragged out they are extracted to a temporary folder whose files the drag carries. Every
// edit waits in the session for Save and can be undone until then.

#include "formats/Formats.h"
#include "ui/browser/ThumbnailLoader.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QDropEvent;
class QListView;
class QMimeData;
class QWidget;

namespace texelary {

struct AppWindows;
class EditSession;
class TextureModel;

// What the grid lists of a folder of an archive being edited.
struct EditedListing {
    QStringList folders;
    QStringList names; // a wad's in its order, a pak's or a map's sorted
    EntrySources sources;
};

class EntryActions final : public QObject {
    Q_OBJECT
public:
    // The actions go into `grid`'s context menu; `window` owns their boxes and choosers. The grid
    // must list `model`. Undo, Redo and Save are the window's, which calls Refresh after them.
    EntryActions(AppWindows& windows, EditSession& session, QWidget& window, QListView& grid,
                 TextureModel& model);
    ~EntryActions() override;

    // The textures of `format` in `folder` as edited (at any depth below it with `below`), when
    // the folder is a wad or a folder of a pak that the session opens; none for any other
    // folder, whose actions are then off.
    std::optional<EditedListing> List(const QString& folder, SourceFormat format, bool below);

    // The grid listed again after the session changed outside these actions (undone, redone,
    // saved), the selection kept where its names still are.
    void Refresh();

    // The picture files at `paths` added before the texture listed at `row` (at the end for -1),
    // each converted as the archive takes it; those that cannot be are named in a box.
    void AddPictures(const QStringList& paths, int row);

    // The files of the textures at `rows`, extracted into a temporary folder, as a drag to a file
    // manager carries them.
    std::unique_ptr<QMimeData> Dragged(const QList<int>& rows);

signals:
    // The session's entries changed: the grid lists them again.
    void Changed();

private slots:
    void RenameClick();
    void DeleteClick();
    void AddClick();
    void ReplaceClick();
    void MoveUpClick();
    void MoveDownClick();
    void CopyClick();
    void MoveToClick();
    void ExtractClick();

protected:
    // Drops on the grid's viewport.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeAction(const QString& text, const QKeySequence& keys, const char* name,
                        void (EntryActions::*handler)());
    QList<int> SelectedRows() const;
    std::vector<std::size_t> EntriesAt(const QList<int>& rows) const;
    QStringList ChoosePictures(const QString& caption, bool many);
    void CopyTo(bool move);
    void Refused(const QString& what, const std::string& reason);
    // Lists the entries again and selects those named `names` (their whole names).
    void Relist(const std::vector<std::string>& names);
    bool DropOn(QDropEvent& drop);
    bool CopyDroppedTextures(const QMimeData& dropped);
    void UpdateActions();

    AppWindows& m_windows;
    EditSession& m_session;
    QWidget& m_window;
    QListView& m_grid;
    TextureModel& m_model;
    std::optional<std::size_t> m_document; // the archive shown, while it is one
    std::string m_prefix;                  // the folder of a pak shown, closed by '/'; "" for a wad
    QHash<QString, std::size_t> m_entryOf; // a name listed, its entry
    std::vector<QAction*> m_entryActions;  // those on the selection
    std::unique_ptr<QTemporaryDir> m_dragged;
};

} // namespace texelary
