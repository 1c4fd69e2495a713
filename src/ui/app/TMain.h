#pragma once

// The main window: the project's file list (the image list, which is the project's list while the
// program runs), a preview of the selected file, the four buttons and the menu bar through which
// everything else is reached. It keeps no copy of the project's settings: the directories and
// formats are read from the project model when an action needs them.
//
// The image list takes many selections (Shift and Ctrl with a click or the arrows, Ctrl+A). Beyond
// the buttons and menus: Delete removes the selected entries, Ctrl+N/S/Shift+S/O run the File
// menu's items (Ctrl+S is "Save As..." for a project that has no file yet) and Ctrl+Q quits; the
// title names the project's file and marks changes not saved with a star; New, Load and Quit ask
// "Save changes to the project?" while the list, the directories or the formats have changes
// not saved; files dropped onto the image list are added when they may be, a name listed already
// never twice. Edit > Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z, Ctrl+Y) take back and make again what
// Add..., a drop and Delete did to the list. "Create..." starts no run into an output folder that
// cannot take files, and says why. The window opens at its least size and can be resized and
// maximised, the list and the preview growing with it; a status line at its bottom says what the
// previewed file's header holds, and for a while after an addition how many names were listed
// already. The File menu ends with the projects used last; the window opens where it was closed.
// Rows are marked (ListMarks) whose file the last run could not convert, and whose file is not in
// the input folder; the status line says so of such a row when it is selected. The selected names
// can be dragged out (ListDrag), into the texture browser's wad or pak or to a file manager.

#include "convert/ConversionRun.h"
#include "convert/FileList.h"
#include "ui/app/AppWindows.h"
#include "ui/app/ListKeys.h"
#include "ui/project/ProjectChanges.h"
#include "ui/project/ProjectCommands.h"
#include "ui/project/ProjectModel.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QMimeData;
class QResizeEvent;
class QShowEvent;

namespace Ui {
class TMain;
}

namespace texelary {

struct AppWindows;
class ListMarks;
class TProcessDialog;

// The image list seen as a list of file names, read entry by entry on the GUI thread.
class BmpListFiles final : public FileList {
public:
    explicit BmpListFiles(const QListWidget& list)
        : m_list(list) {}
    std::size_t Count() const override;
    std::string Entry(std::size_t index) const override;

private:
    const QListWidget& m_list;
};

// The height of the main window's status line, below the client area, in pixels.
constexpr int kStatusLineHeight = 20;
// How long the status line says that added names were listed already, in milliseconds.
constexpr int kListedMessageTime = 10000;

class TMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain(AppWindows& windows);
    ~TMain() override;

    // Shows directory/fileName in the preview, as ShowPreviewPicture does.
    void ShowPreview(const QString& directory, const QString& fileName);

    // Shows the image list's current item in the preview.
    void PreviewSelected();

    // Loads the project file `path` as "Load..." does once its dialog is answered: a file that
    // is refused is reported and changes nothing. Used for a project named on the command line.
    bool OpenProjectFile(const QString& path);

    // Adds the dropped files that are of the project's source format and in its input directory,
    // by name; a box says why each other file was not added.
    void AddDroppedFiles(const QMimeData& dropped);

    QListWidget& BmpList() const;
    // Empties the image list; "Create..." is then disabled.
    void ClearBmpList();
    const FileList& Files() const { return *m_files; }
    const QString& ProjectFileName() const { return m_project->FileName(); }
    // A folder of the project as the run, the preview and Add... take it: a relative one
    // from the project file's folder (see ProjectDirectory), so a project opened from anywhere
    // finds its files.
    QString RunFolder(const QString& typed) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void FormShow();
    void AddBtnClick();
    void DeleteBtnClick();
    void BmpListMouseUp();
    void BmpListKeyUp();
    void PropertiesBtnClick();
    void TexturesBtnClick();
    void AboutBtnClick();
    void QuitBtnClick();
    void CreateBtnClick();
    void NewProjectClick();
    void SaveBtnClick();
    void SaveAsBtnClick();
    void LoadBtnClick();
    void RecentProjectClick(const QString& path);
    void UndoBtnClick();
    void RedoBtnClick();
    void ProjectChanged();
    void ProjectFieldChange(texelary::ProjectModel::Field field);

private:
    void LayOutWindow();
    // The palette the run takes, at the status line's right end, following the project.
    void AddPaletteInUse();
    void ConnectHandlers(); // every handler to its control, by function pointer
    void ConnectListEdits();
    // The image list's own events, and those of its viewport, where the mouse and drops arrive.
    void BmpListEvent(const QEvent& event);
    bool BmpListViewportEvent(QEvent& event);
    // Appends `names` at the end of the image list in their order and makes the last one current.
    void AppendToBmpList(const QStringList& names);
    // After an edit of the list: "Create..." and the preview follow its current entry.
    void ShowListEdited();
    // Marks the rows whose file is not in the input folder.
    void MarkMissingFiles();
    // Shows the progress window, which runs the list; the rows that failed are marked after.
    void RunList(TProcessDialog& progress);

    std::unique_ptr<Ui::TMain> m_ui;
    QLabel* m_previewInfo = nullptr;  // owned by the status bar
    QLabel* m_paletteInUse = nullptr; // owned by the status bar
    LineHeight m_lineHeight{13};
    AppWindows& m_windows;
    std::unique_ptr<BmpListFiles> m_files;
    ProjectChanges m_changes{*this};
    std::unique_ptr<ProjectCommands> m_project;
    ListKeys m_listKeys;
    std::unique_ptr<ListMarks> m_marks;
};

} // namespace texelary
