#pragma once

// The path chooser: a directory list (the folders from the root down to the current directory,
// then its subfolders) and a drive selector (this machine's mounted volumes). It opens at the
// folder the field it fills names; opening a folder makes it the process's current directory.
// OK takes the highlighted line's folder, which the field beside it shows, or a path typed or
// pasted into that field; a typed path that is no folder (nor, where textures are read from, an
// archive) is said in a box and the chooser stays open. Return on a focused button presses it,
// and Return in the field presses OK. "~" typed as a path, or at the start of one ("~/maps"), is
// the home folder. "New folder" makes a folder, named by the user, in the folder the list shows.
// The chooser can be resized and maximised, the list growing with it; a name longer than the list
// is shortened in the middle, its line's tooltip the whole name.
//
// Where textures are read from, the list also holds the paks, wads and compiled maps (.pak, .wad
// and .bsp files, in any case) of the current folder, after its subfolders and with a file's
// picture, and opens them as folders: a pak holds the folders that its entries' names run through,
// a wad or a map none. A map that holds no textures of its own (version 38) or can't be read is
// reported with its reason, as a damaged archive is. The chosen path is then the archive
// ("base.pak", "e1m1.bsp") or a folder inside a pak ("base.pak/textures/e1"). Where outputs are
// written, archives are neither listed nor opened.

#include "ui/app/AppWindows.h"
#include "ui/choosers/ChooserLayout.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStyledItemDelegate>
#include <cstdint>
#include <memory>

class QHideEvent;
class QListWidgetItem;
class QStyle;

namespace Ui {
class TPathDialog;
}

namespace texelary {

struct AppWindows;

// The directory list's lines, 16 pixels high and as wide as the list. The indentation is drawn,
// not stored in the text: each line's folder picture and name stand one step further right than
// its parent's, and typing a folder's first letters finds it.
class FolderLines final : public ElidedLines {
public:
    static constexpr int kLineHeight = 16;
    static constexpr int kIndent = 10; // pixels per level below the root
    // The pictures' size: the style's small icons, never taller than a line.
    static int IconSize(const QStyle& style);
    FolderLines()
        : ElidedLines(kLineHeight) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// What the chooser offers: folders alone (where outputs are written), or the archives too (where
// textures are read).
enum class PathChoice : std::uint8_t { Folders, FoldersAndArchives };

class TPathDialog final : public QDialog {
    Q_OBJECT
public:
    // The user's home folder as `path` names it ("~", "~/maps"); any other path as it is.
    static QString ExpandHome(const QString& path);

    explicit TPathDialog(AppWindows& windows);
    ~TPathDialog() override;

    // Shows the chooser modally, offering `choice`, at `start` (a field's text: a folder, or for
    // FoldersAndArchives an archive or a folder inside a pak), or at the nearest folder above it
    // that is still there; an empty `start` keeps the directory last shown. True when it was
    // closed with OK: ChosenPath then holds the highlighted line's path. Otherwise false and
    // ChosenPath is left as it was.
    bool RunPathDialog(PathChoice choice, const QString& start);
    const QString& ChosenPath() const { return m_chosenPath; }

    // The directory the list shows: absolute, no trailing separator except for a root.
    const QString& Directory() const { return m_directory; }

    // Makes `directory` the list's current directory and, for a folder, the process's current
    // directory. `directory` may be an archive or a folder inside a pak where archives are offered
    // (always, but while the chooser runs for outputs). A directory or an archive that can't be
    // read is reported by the application's error report and gives false; the list is then
    // unchanged.
    bool OpenDirectory(const QString& directory);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void OkBtnClick();
    void NewFolderBtnClick();
    void DriveChange(int index);
    void PathDblClick(QListWidgetItem* item);
    void PathChange(QListWidgetItem* current);

private:
    // One line of the list: the name it shows and the directory it opens.
    struct Line {
        QString name;
        QString path;
        bool archive = false; // drawn with a file's picture
    };
    // The field's text as an absolute path; empty when the field is.
    QString FieldPath() const;
    bool OpenFolder(const QString& path);
    bool OpenArchive(const QString& path);
    // The lines from the root down to `folder`, a folder of this machine.
    static QList<Line> ChainTo(const QString& folder);
    // Fills the list: `chain` indented step by step down to the current directory, which becomes
    // the current line, then `children` one step further in.
    void ShowLines(const QList<Line>& chain, const QList<Line>& children);
    // Whether `path` can still be opened, as far as can be told without reading it whole.
    bool StillThere(const QString& path) const;
    void FillDrives();
    void ShowDriveOf(const QString& directory);
    // Why a folder named `name` can't be made in the current directory; empty when it can.
    QString NewFolderProblem(const QString& name) const;

    std::unique_ptr<Ui::TPathDialog> m_ui;
    FolderLines m_folderLines;
    std::unique_ptr<GrowingLayout> m_layout;
    AppWindows& m_windows;
    QString m_chosenPath;
    QString m_directory;
    PathChoice m_choice = PathChoice::FoldersAndArchives;
};

} // namespace texelary
