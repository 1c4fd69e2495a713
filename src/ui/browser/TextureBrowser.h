#pragma once

// The texture browser: every texture of the project's source format in its input folder (or in
// the pak, wad or compiled map the input folder runs through), as a grid of thumbnails with name
// and size that are made in the background, so the window answers at once whatever the number of
// textures. Selecting one shows it large (zoomed 1x to 8x, texels as sharp squares), its mip levels
// side by side, its palette as a 16 x 16 grid and its header fields; a texture that is a frame of
// an animation (numbered frames "+0name" ... or the next frames its header names) plays it. The
// line above the grid names the folder listed; its sub-folders are items to go into, Up goes back
// towards the input folder (never above it), and "Sub-folders too" lists every texture below it by
// its path from there. The filter shows the textures whose names contain its text and is cleared
// when the project's input folder or source format changes. "Add to list", or a drag onto the main
// window's image list, adds the selected textures to the project by the rules a drop of files
// follows. Pictures are read with the run's own read step: what is shown is what is converted. A
// file that cannot be read gets a placeholder and its reason, never a box.
//
// The header fields of the selected textures can be edited (FieldsEditor), in folders, paks and
// wads alike, and the frames of the animation chain a texture's header links it into put in
// another order (ChainEditor). The edits are held by the browser's one EditSession until Save,
// and can be undone and redone until then; the title's star says there are some. Closing the
// browser or the program, or another input folder, asks first whether to save them.

#include "edit/EditSession.h"
#include "formats/Formats.h"
#include "ui/project/ProjectModel.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class QCloseEvent;
class QKeyEvent;
class QShowEvent;
class QTimer;

namespace Ui {
class TTextureBrowser;
}

namespace texelary {

struct AppWindows;
class EditSession;
class EntryActions;
class TextureModel;
class ThumbnailLoader;

class TTextureBrowser final : public QWidget {
    Q_OBJECT
public:
    explicit TTextureBrowser(AppWindows& windows);
    ~TTextureBrowser() override;

    // Lists the project's textures afresh and brings the window to the front.
    void Open();
    // True when there are no unsaved edits, or the user saved or discarded them when asked;
    // false when the user cancelled or a file could not be saved.
    bool MaySetAside();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void ProjectChange(texelary::ProjectModel::Field field);
    void FilterChange(const QString& text);
    void TexturesActivated(const QModelIndex& index);
    void UpBtnClick();
    void SubFoldersClick();
    void TexturesCurrentChange();
    void TexturesSelectionChange();
    void ZoomChange();
    void PlayBtnClick();
    void AddBtnClick();
    void FrameTimerTimer();
    void FieldsEdited(const std::vector<texelary::FieldEdit>& edits);
    void ChainOrdered(const std::vector<texelary::EditTarget>& chain);
    void UndoBtnClick();
    void RedoBtnClick();
    void SaveBtnClick();

private:
    // One frame of the animation shown.
    struct Frame {
        QString name;
        QImage picture;
    };

    void SetUpEditors();
    void ConnectControls();
    void Reload();
    void List();
    QString ShownFolder() const;
    void ShowNothing();
    void ShowTexture(int row);
    void FindFrames(const QString& name, const std::optional<HeaderFields>& fields);
    void ShowFrameNumber();
    void ShowPicture(const QImage& picture);
    void Stop();
    std::optional<EditTarget> TargetOf(const QString& listed);
    std::vector<int> SelectedRows() const;
    // The texture at `path` as edited: from the session's bytes once edited, else from its file.
    SourceRead ReadEdited(const QString& path);
    void SelectTargets();
    void ShowFields();
    void ShowEdits();
    bool Save();
    bool SaveChangedOnDisk();

    std::unique_ptr<Ui::TTextureBrowser> m_ui;
    AppWindows& m_windows;
    std::unique_ptr<ThumbnailLoader> m_loader;
    std::unique_ptr<TextureModel> m_model;
    std::unique_ptr<EditSession> m_session;
    // The selected textures as the session edits them: all, or none when one cannot be edited.
    // Kept from the selection, so that a wad texture renamed is still the one edited.
    std::vector<EditTarget> m_selected;
    std::unique_ptr<EntryActions> m_entries; // goes before the session and the model it edits
    std::optional<SourceFormat> m_format;
    QString m_root; // the folder the project's input runs to: the top of what is listed
    QString m_at;   // the sub-folder listed, from the root ('/' between parts); empty for the root
    // The textures the map listed names but holds no pixels for: not in the grid, but counted.
    QStringList m_outside;

    QTimer* m_timer = nullptr;

    QImage m_shown;                    // the selected texture's picture, at 1x
    std::vector<QImage> m_levelImages; // its levels, level 0 first
    std::vector<Frame> m_frames;       // its animation, itself first; empty when it has none
    std::size_t m_frameAt = 0;
    bool m_placed = false; // sized and centred at its first showing
};

} // namespace texelary
