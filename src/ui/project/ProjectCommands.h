#pragma once

// The File menu's project commands: New, Save, Save As and Load, their file dialogs, the project
// file's name, and the question "Save changes to the project?" before changes not saved are set
// aside. The project's directories and formats are the project model's, its list the main
// window's image list.

#include <QString>

class QAction;
class QPushButton;

namespace texelary {

struct AppWindows;
struct Project;
class ProjectChanges;
class TMain;

// The names of the project file dialogs, by which each remembers its last folder.
inline constexpr const char* kOpenDialog = "OpenDialogMm";
inline constexpr const char* kSaveDialog = "SaveDialogMm";

class ProjectCommands {
public:
    // `saveBtn` is enabled once the project has a file to save to; `createBtn` while the list has
    // a current entry.
    ProjectCommands(TMain& main, AppWindows& windows, ProjectChanges& changes, QAction& saveBtn,
                    QPushButton& createBtn);

    // The program has started in `directory`: the file dialogs open there, nothing to save.
    void Started(const QString& directory);

    void New();
    void Save();
    // Each true when the project was written.
    bool SaveAs();
    void Load();
    // Loads the recent project file `path` as Load does once its dialog is answered; one that is
    // no longer there leaves the recent projects.
    void LoadRecent(const QString& path);
    // Loads the project file `path`: a file that is refused is reported and changes nothing.
    bool Open(const QString& path);

    // Asks whether to save changes not saved yet; true when the caller may go on (saved, or
    // discarded), false when the user cancelled or the save failed.
    bool MaySetAside();

    const QString& FileName() const { return m_fileName; }

private:
    Project CurrentProject() const;
    void ShowProject(const Project& project);
    bool SaveTo(const QString& path);
    QString RunDialog(const char* name, bool save, QString& directory);
    // The file the title names: none until the project has a file "Save" writes to.
    QString TitleName() const;

    TMain& m_main;
    AppWindows& m_windows;
    ProjectChanges& m_changes;
    QAction& m_saveBtn;
    QPushButton& m_createBtn;
    QString m_fileName;
    // The directories the project file dialogs open at; each dialog remembers its own.
    QString m_openDialogDir;
    QString m_saveDialogDir;
};

} // namespace texelary
