#pragma once

// The file chooser: the files of one directory that match one mask (case ignored, folders and
// hidden files left out, sorted ignoring case), several of which can be selected. Reading the
// directory makes it the process's current directory.

#include "ui/AppWindows.h"

#include <QDialog>
#include <QString>
#include <memory>

class QListWidget;

namespace Ui {
class TFileDialog;
}

namespace texelary {

struct AppWindows;

class TFileDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TFileDialog(AppWindows& windows);
    ~TFileDialog() override;

    void SetDirectory(const QString& directory) { m_directory = directory; }
    void SetMask(const QString& mask) { m_mask = mask; }
    const QString& Directory() const { return m_directory; }
    const QString& Mask() const { return m_mask; }

    // Reads the directory through the mask, shows the chooser modally and returns true when it
    // was accepted (OK, Enter or a double-click) and its list has a current item. The caller then
    // reads which files of File() are selected. A directory that can't be read is reported by the
    // application's error report, and the chooser is not shown: false.
    bool RunFileDialog();

    QListWidget& File() const;

    // Deselects every file, then selects the first one: the state for the chooser's next use.
    void ResetSelection();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void FormShow();
    void FileDblClick();

private:
    bool ReadDirectory();

    std::unique_ptr<Ui::TFileDialog> m_ui;
    LineHeight m_lineHeight{13};
    AppWindows& m_windows;
    QString m_directory;
    QString m_mask;
    bool m_acceptedByDoubleClick = false;
};

} // namespace texelary
