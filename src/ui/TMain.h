#pragma once

// The main window: the project's file list (the image list, which is the project's list while the
// program runs), a preview of the selected bitmap, the four buttons and the menu bar through which
// everything else is reached. It keeps no copy of the project's settings: the directories and
// formats are read from the project setup dialog when an action needs them.
//
// Beyond the buttons and menus: Delete removes the selected entry, Ctrl+N/S/Shift+S/O run the File
// menu's items and Ctrl+Q quits; the title names the project's file; New, Load and Quit ask
// "Save changes to the project?" while the list, the directories or the formats have changes
// not saved; files dropped onto the image list are added when they may be.

#include "convert/ConversionRun.h"
#include "ui/AppWindows.h"
#include "ui/MessageBoxes.h"

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <memory>

class QCloseEvent;
class QKeyEvent;
class QListWidget;
class QMimeData;
class QShowEvent;

namespace Ui {
class TMain;
}

namespace texelary {

struct AppWindows;
struct Project;

// The image list seen as a run's file list. The run reads the window's own list, entry by entry,
// on the GUI thread.
class BmpListFiles final : public FileList {
public:
    explicit BmpListFiles(const QListWidget& list)
        : m_list(list) {}
    std::size_t Count() const override;
    std::string Entry(std::size_t index) const override;

private:
    const QListWidget& m_list;
};

class TMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain(AppWindows& windows);
    ~TMain() override;

    // Shows directory/fileName in the preview, drawn stretched to the preview's size. A file that
    // can't be opened is ignored (the preview keeps its picture); a file that opens but that the
    // bitmap loader rejects is reported by the application's error report, naming the file, with
    // the loader's own words as the reason.
    void ShowPreview(const QString& directory, const QString& fileName);

    // Shows the image list's current item in the preview when the project's files are bitmaps.
    void PreviewSelected();

    // Loads the project file `path` as "Load..." does once its dialog is answered: a file that
    // is refused is reported and changes nothing. Used for a project named on the command line.
    bool OpenProjectFile(const QString& path);

    // Adds the dropped files that are of the project's source format and in its input directory,
    // by name; a box says why each other file was not added.
    void AddDroppedFiles(const QMimeData& dropped);

    QListWidget& BmpList() const;
    const FileList& Files() const { return *m_files; }
    const QString& ProjectFileName() const { return m_projectFileName; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void FormShow();
    void AddBtnClick();
    void DeleteBtnClick();
    void BmpListMouseUp();
    void BmpListKeyUp();
    void PropertiesBtnClick();
    void AboutBtnClick();
    void QuitBtnClick();
    void CreateBtnClick();
    void NewProjectClick();
    void SaveBtnClick();
    void SaveAsBtnClick();
    void LoadBtnClick();
    void ProjectChanged();

private:
    Project CurrentProject() const;
    void ShowProject(const Project& project);
    // Each true when the project was written.
    bool SaveProjectTo(const QString& path);
    bool SaveProjectAs();
    // Asks whether to save changes not saved yet; true when the caller may go on (saved, or
    // discarded), false when the user cancelled or the save failed.
    bool MaySetProjectAside();
    // The project now matches its file, or is a new one: nothing to save, title shown anew.
    void ProjectSettled();
    // "stones.mm - Texelary" once the project has a file, else "Texelary".
    void ShowTitle();
    WindowAnswer ShowBox(const std::string& text, BoxIcon icon,
                         WindowButtons buttons = WindowButtons::Ok, const std::string& detail = {});
    QString RunProjectDialog(const char* name, bool save, QString& directory);

    std::unique_ptr<Ui::TMain> m_ui;
    LineHeight m_lineHeight{13};
    AppWindows& m_windows;
    std::unique_ptr<BmpListFiles> m_files;
    QString m_projectFileName;
    bool m_changed = false; // the project has changes not saved
    // Keys pressed while the image list had the focus and not yet released.
    QSet<int> m_keysPressedInList;
    // The directories the project file dialogs open at; each dialog remembers its own.
    QString m_openDialogDir;
    QString m_saveDialogDir;
};

} // namespace texelary
