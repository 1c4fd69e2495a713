#pragma once

// The project setup dialog: where the project's two directories and two formats live while the
// program runs. Every other window reads them from these four controls when it needs them, so a
// change made here is in effect at once. Below the project's controls it also shows the four
// program settings, which are saved as soon as they change and are not part of projects:
// whether conversions keep the source's header fields, how mip levels are made, how true colour
// is brought down to 256 colours (a transparent index, dithering), whether WAD2 textures may
// take full-bright colours, and the palette: the built-in ones, or one from a file (a
// colormap.pcx, palette.lmp, JASC .pal, GIMP .gpl or the palette of an 8-bit picture), which is
// read when chosen, and refused then, with the reason, when it holds no palette.
//
// Choosing another format to convert from while the image list holds files asks whether to clear
// the list: its files were chosen for the format the dialog was opened with.
//
// Both paths can be typed or pasted as well as chosen; "Ok" keeps the dialog open, and says why,
// while either names no folder (or archive) the run can use.
//
// The output is a folder, or one file that takes every texture of a run: the wad of a wad target
// ("Browse..." then asks for its name), or a pak for the other targets ("Pak...").

#include <QDialog>
#include <QString>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;

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

    QLineEdit& InputPath() const;
    QLineEdit& OutputPath() const;
    QComboBox& ConvFrom() const;
    QComboBox& ConvTo() const;
    QCheckBox& KeepHeader() const;
    QComboBox& MipLevels() const;        // index: the MipFilter, 0 "sampled", 1 "averaged"
    QCheckBox& TransparentIndex() const; // pixels less than half opaque become index 255
    QCheckBox& Dither() const;           // error diffusion for true colour
    QCheckBox& Fullbright() const;       // WAD2 textures may take indices 224 to 255
    QComboBox& PaletteChoice() const;    // 0 "built in", 1 "from file..."
    // The palette file chosen, in the form LocalPath reads; empty for the built-in palettes.
    QString PaletteFile() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void OkBtnClick();
    void BmpDirBtnClick();
    void Button1Click();
    void PakBtnClick();
    void ConvToChange();
    void ConvFromChange(int index);
    void KeepHeaderClick();
    void MipLevelsChange();
    void TransparentIndexClick();
    void DitherClick();
    void FullbrightClick();
    void PaletteChoiceChange(int index);

private:
    void SaveSettings() const;
    // Shows `path` (empty for none) as the palette file, and the choice that goes with it.
    void ShowPaletteFile(const QString& path);
    // Asks for the archive file the output goes into, by its extension, in a dialog named `name`,
    // and puts the chosen path into the output field.
    void ChooseOutputFile(const char* name, const QString& extension);

    std::unique_ptr<Ui::TProjectSetup> m_ui;
    AppWindows& m_windows;
    // The format converted from that the image list's files were chosen for: the one the dialog
    // was opened with, until the list is cleared.
    int m_listFrom = 0;
    QString m_paletteFile;
    QString m_paletteFolder; // where the palette file dialog was left
};

} // namespace texelary
