#pragma once

// The project setup dialog: where the user edits the project's two directories and two formats.
// Each control writes to the project model (ProjectModel) as it changes, so a change made here is
// in effect at once, and shows what the model holds when another window changes it. Below the
// project's controls it also shows the settings that shape the output, which the project keeps
// beside its file: whether conversions keep the source's header fields, how mip levels are made,
// how true colour is brought down to 256 colours (a transparent index, dithering), whether WAD2
// textures may take full-bright colours, and the palette: the built-in ones, or one
// from a file (a colormap.pcx, palette.lmp, JASC .pal, GIMP .gpl or the palette of an 8-bit
// picture), which is read when chosen, and refused then, with the reason, when it holds no palette.
//
// Choosing another format to convert from while the image list holds files asks whether to clear
// the list: its files were chosen for the format the dialog was opened with.
//
// Both paths can be typed or pasted as well as chosen; "Ok" keeps the dialog open, and says why,
// while either names no folder (or archive) the run can use.
//
// The output is a folder, or one file that takes every texture of a run: the wad of a wad target
// ("Browse..." then asks for its name), or a pak for the other targets ("Pak..."). A wad target's
// output may also be a compiled map that is there (.bsp): a run then writes each texture over the
// map's texture of the same name.

#include "ui/project/ProjectModel.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

namespace Ui {
class TProjectSetup;
}

namespace texelary {

struct AppWindows;

class TProjectSetup final : public QDialog {
    Q_OBJECT
public:
    explicit TProjectSetup(AppWindows& windows);
    ~TProjectSetup() override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void OkBtnClick();
    void BmpDirBtnClick();
    void Button1Click();
    void PakBtnClick();
    void ConvToChange();
    void ConvFromChange(int index);
    void ProjectChange(texelary::ProjectModel::Field field);
    void KeepHeaderClick();
    void MipLevelsChange();
    void TransparentIndexClick();
    void DitherClick();
    void FullbrightClick();
    void PaletteChoiceChange(int index);

private:
    void ConnectControls();
    void ExplainOptions();
    // The settings the controls show, made the model's, which saves them.
    void SaveSettings() const;
    void ShowSettings();
    // Shows `path` (empty for none) as the palette file, and the choice that goes with it.
    void ShowPaletteFile(const QString& path);
    // Asks for the archive file the output goes into, by its extension (or one of
    // `otherExtensions`, each a filter of its own), in a dialog named `name`, and puts the chosen
    // path into the output field.
    void ChooseOutputFile(const char* name, const QString& extension,
                          const QStringList& otherExtensions = {});

    std::unique_ptr<Ui::TProjectSetup> m_ui;
    AppWindows& m_windows;
    ProjectModel& m_model;
    // The format converted from that the image list's files were chosen for: the one the dialog
    // was opened with, until the list is cleared.
    int m_listFrom = 0;
    QString m_paletteFile; // the one shown
    // While the controls are set from the model, their changes are not written back.
    bool m_showingSettings = false;
    QString m_paletteFolder; // where the palette file dialog was left
};

} // namespace texelary
