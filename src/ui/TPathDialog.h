#pragma once

// The path chooser: a directory list (the folders from the root down to the current directory,
// then its subfolders) and a drive selector (this machine's mounted volumes). It keeps the
// directory it showed when it was last closed; opening a directory makes it the process's current
// directory.

#include "ui/AppWindows.h"

#include <QDialog>
#include <QString>
#include <QStyledItemDelegate>
#include <memory>

class QListWidgetItem;

namespace Ui {
class TPathDialog;
}

namespace texelary {

struct AppWindows;

// The directory list's lines, 16 pixels high. The indentation is drawn, not stored in the text:
// each line's folder picture and name stand one step further right than its parent's, and typing
// a folder's first letters finds it.
class FolderLines final : public QStyledItemDelegate {
public:
    static constexpr int kLineHeight = 16;
    static constexpr int kIndent = 10; // pixels per level below the root
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class TPathDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TPathDialog(AppWindows& windows);
    ~TPathDialog() override;

    // Shows the chooser modally. True when it was closed with OK: ChosenPath then holds the
    // directory the list showed. Otherwise false and ChosenPath is left as it was.
    bool RunPathDialog();
    const QString& ChosenPath() const { return m_chosenPath; }

    // The directory the list shows: absolute, no trailing separator except for a root.
    const QString& Directory() const { return m_directory; }

    // Makes `directory` the list's current directory and the process's current directory. A
    // directory that can't be read is reported by the application's error report and gives
    // false; the list is then unchanged.
    bool OpenDirectory(const QString& directory);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void OkBtnClick();
    void DriveChange(int index);
    void PathDblClick(QListWidgetItem* item);

private:
    void FillDrives();
    void ShowDriveOf(const QString& directory);

    std::unique_ptr<Ui::TPathDialog> m_ui;
    FolderLines m_folderLines;
    AppWindows& m_windows;
    QString m_chosenPath;
    QString m_directory;
};

} // namespace texelary
