#pragma once

// The file chooser: the textures of the source format in the input directory, sorted ignoring
// case, several of which can be selected. In a folder, they are its files that match the format's
// mask (case ignored, folders and hidden files left out), and reading the folder makes it the
// process's current directory. In a pak, or a folder inside one, they are the entries of the
// format's extension in that folder, by their names there. The textures of a wad's formats are
// the mip textures of that kind of the wad or compiled map, by lump name (a map's textures held
// outside it are left out); an input that is no such wad or map is said in a box, and a map that
// can't be read, or holds no textures of its own, is reported with the reason. An empty list says
// which files of which folder it would list. It opens with the keyboard in the list, so Ctrl+A
// selects every file; it can be resized and maximised, the list growing with it.

#include "formats/Formats.h"
#include "ui/app/AppWindows.h"
#include "ui/choosers/ChooserLayout.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QHideEvent;
class QLabel;
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
    // The format whose textures are listed, and with it the mask; none lists nothing.
    void SetSourceFormat(std::optional<SourceFormat> format);
    const QString& Directory() const { return m_directory; }
    const QString& Mask() const { return m_mask; }

    // Reads the directory's textures, shows the chooser modally and returns true when it was
    // accepted (OK, Enter or a double-click) and its list has a current item. The caller then
    // reads which files of File() are selected. A directory or an archive that can't be read is
    // reported by the application's error report, and the chooser is not shown: false; so too
    // for a wad's format with an input that is no wad of its kind, which a box says.
    bool RunFileDialog();

    QListWidget& File() const;

    // Deselects every file, then selects the first one: the state for the chooser's next use.
    void ResetSelection();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void FormShow();
    void FileDblClick();

private:
    bool ReadDirectory();
    // The three places textures are listed from, `path` being the input directory made
    // absolute. False when they can't be listed, which has then been said.
    bool ReadFolder(const QString& path, QStringList& names);
    bool ReadPakFolder(const QString& path, QStringList& names);
    bool ReadWad(const QString& path, WadKind kind, QStringList& names);
    // What an empty list says in its place, `path` being the folder or archive it lists.
    void ShowWhatIsMissing(const QString& path);
    void ElideWhatIsMissing();

    std::unique_ptr<Ui::TFileDialog> m_ui;
    ElidedLines m_lines{13};
    std::unique_ptr<GrowingLayout> m_layout;
    QLabel* m_empty = nullptr; // over the list, shown while it is empty
    AppWindows& m_windows;
    QString m_directory;
    QString m_mask;
    std::optional<SourceFormat> m_format;
    bool m_acceptedByDoubleClick = false;
};

} // namespace texelary
