#include "ui/project/ProjectCommands.h"

#include "formats/ReadError.h"
#include "project/ProjectFile.h"
#include "ui/app/AppWindows.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/RecentProjects.h"
#include "ui/app/TMain.h"
#include "ui/app/WindowMemory.h"
#include "ui/project/FileNameDialog.h"
#include "ui/project/ProjectChanges.h"
#include "ui/project/ProjectModel.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>

namespace texelary {

ProjectCommands::ProjectCommands(TMain& main, AppWindows& windows, ProjectChanges& changes,
                                 QAction& saveBtn, QPushButton& createBtn)
    : m_main(main)
    , m_windows(windows)
    , m_changes(changes)
    , m_saveBtn(saveBtn)
    , m_createBtn(createBtn) {}

void ProjectCommands::Started(const QString& directory) {
    // The folders the dialogs chose from last time, where they are still there.
    const QString lastOpen = LastFolder(kOpenDialog);
    const QString lastSave = LastFolder(kSaveDialog);
    m_openDialogDir = lastOpen.isEmpty() ? directory : lastOpen;
    m_saveDialogDir = lastSave.isEmpty() ? directory : lastSave;
    m_changes.Settled(TitleName());
}

QString ProjectCommands::TitleName() const {
    return m_saveBtn.isEnabled() ? m_fileName : QString();
}

bool ProjectCommands::MaySetAside() {
    if (!m_changes.Unsaved()) {
        return true;
    }
    switch (ShowBox(*m_windows.Boxes, "Save changes to the project?", BoxIcon::Exclamation,
                    WindowButtons::SaveDiscardCancel)) {
    case WindowAnswer::Save:
        return m_saveBtn.isEnabled() ? SaveTo(m_fileName) : SaveAs();
    case WindowAnswer::Discard:
        return true;
    default:
        return false;
    }
}

void ProjectCommands::New() {
    if (!MaySetAside()) {
        return;
    }
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    ProjectModel& project = *m_windows.Project;
    project.SetInputPath(current);
    project.SetOutputPath(current);
    project.SetConvFrom(SourceFormat::Bmp);
    project.SetConvTo(TargetFormat::M8);
    project.SetSettings({});
    m_saveBtn.setEnabled(false);
    m_main.ClearBmpList();
    m_changes.Settled(TitleName());
}

Project ProjectCommands::CurrentProject() const {
    Project project = m_windows.Project->Current();
    const FileList& files = m_main.Files();
    for (std::size_t i = 0; i < files.Count(); ++i) {
        project.files.push_back(files.Entry(i));
    }
    return project;
}

void ProjectCommands::ShowProject(const Project& project) {
    ProjectModel& model = *m_windows.Project;
    QListWidget& list = m_main.BmpList();
    // The edits of the list set aside are no longer undone.
    m_changes.ListEdits().clear();
    list.clear();
    model.SetInputPath(FromLocalPath(project.inputDir));
    model.SetOutputPath(FromLocalPath(project.outputDir));
    model.SetConvTo(project.convTo);
    model.SetConvFrom(project.convFrom);
    QStringList names;
    names.reserve(static_cast<qsizetype>(project.files.size()));
    for (const std::string& name : project.files) {
        names.append(FromLocalPath(name));
    }
    list.addItems(names);
    if (list.count() > 0) {
        list.setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
    if (list.currentRow() >= 0) {
        m_createBtn.setEnabled(true);
    }
    m_main.PreviewSelected();
}

bool ProjectCommands::SaveTo(const QString& path) {
    std::vector<std::string> cutTexts;
    if (!SaveProject(CurrentProject(), LocalPath(path), &cutTexts) ||
        !SaveSettingsBeside(m_windows.Project->Settings(), path)) {
        ShowBox(*m_windows.Boxes, "Could'nt create specified file.", BoxIcon::Stop);
        return false;
    }
    m_changes.Settled(TitleName());
    AddRecentProject(path);
    if (!cutTexts.empty()) {
        std::string text = "The project was saved, but a project file holds at most 127 "
                           "characters per name, so these were stored cut:";
        for (const std::string& cut : cutTexts) {
            text += "\n" + cut;
        }
        ShowBox(*m_windows.Boxes, text, BoxIcon::Exclamation);
    }
    return true;
}

void ProjectCommands::Save() {
    SaveTo(m_fileName);
}

QString ProjectCommands::RunDialog(const char* name, bool save, QString& directory) {
    return RunFileNameDialog(m_windows, m_main, name, QStringLiteral("mm"), save, directory);
}

// A file that is already there is replaced only when the user says so; No goes back to the
// dialog to choose another name.
bool ProjectCommands::SaveAs() {
    QString chosen;
    for (;;) {
        chosen = RunDialog(kSaveDialog, true, m_saveDialogDir);
        if (chosen.isEmpty()) {
            return false;
        }
        if (!QFileInfo::exists(chosen) ||
            ShowBox(*m_windows.Boxes,
                    "File \"" + LocalPath(QDir::toNativeSeparators(chosen)) +
                        "\" already exists. Replace it?",
                    BoxIcon::Exclamation, WindowButtons::YesNo) == WindowAnswer::Yes) {
            break;
        }
    }
    m_fileName = chosen;
    // "Save" is enabled whether or not the file could be written: it then tries the same name.
    m_saveBtn.setEnabled(true);
    m_changes.ShowTitle(TitleName());
    return SaveTo(m_fileName);
}

void ProjectCommands::Load() {
    if (!MaySetAside()) {
        return;
    }
    // A project that has a file opens the dialog at that file's folder.
    if (m_saveBtn.isEnabled()) {
        m_openDialogDir = QFileInfo(m_fileName).absolutePath();
    }
    const QString chosen = RunDialog(kOpenDialog, false, m_openDialogDir);
    if (!chosen.isEmpty()) {
        Open(chosen);
    }
}

void ProjectCommands::LoadRecent(const QString& path) {
    if (MaySetAside() && !Open(path)) {
        DropMissingProject(path);
    }
}

bool ProjectCommands::Open(const QString& path) {
    // A refused file changes nothing: not the project, not the file name "Save" writes to.
    Project project = CurrentProject();
    ReadError reason = ReadError::None;
    if (!LoadProject(project, LocalPath(path), &reason)) {
        ShowBox(*m_windows.Boxes, "Could'nt open specified file.", BoxIcon::Stop, WindowButtons::Ok,
                DescribeReadError(reason));
        return false;
    }
    m_fileName = path;
    m_saveBtn.setEnabled(true);
    ShowProject(project);
    m_windows.Project->SetSettings(LoadSettingsBeside(path));
    m_changes.Settled(TitleName());
    AddRecentProject(path);
    return true;
}

} // namespace texelary
