#pragma once

// The main window: the project's file list (the image list, which is the project's list while the
// program runs), a preview of the selected bitmap, the four buttons and the menu bar through which
// everything else is reached. It keeps no copy of the project's settings: the directories and
// formats are read from the project setup dialog when an action needs them.

#include "convert/ConversionRun.h"
#include "ui/AppWindows.h"

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <memory>

class QKeyEvent;
class QListWidget;
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

    QListWidget& BmpList() const;
    const FileList& Files() const { return *m_files; }
    const QString& ProjectFileName() const { return m_projectFileName; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

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

private:
    Project CurrentProject() const;
    void ShowProject(const Project& project);
    void SaveProjectTo(const QString& path);
    BoxAnswer ShowBox(const std::string& text, BoxIcon icon, BoxButtons buttons = BoxButtons::Ok,
                      const std::string& detail = {});
    QString RunProjectDialog(const char* name, bool save, QString& directory);

    std::unique_ptr<Ui::TMain> m_ui;
    LineHeight m_lineHeight{13};
    AppWindows& m_windows;
    std::unique_ptr<BmpListFiles> m_files;
    QString m_projectFileName;
    // Keys pressed while the image list had the focus and not yet released.
    QSet<int> m_keysPressedInList;
    // The directories the project file dialogs open at; each dialog remembers its own.
    QString m_openDialogDir;
    QString m_saveDialogDir;
};

} // namespace texelary
