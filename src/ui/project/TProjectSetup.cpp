#include "ui/project/TProjectSetup.h"

#include "archives/ArchiveInput.h"
#include "archives/ArchiveOutput.h"
#include "formats/Formats.h"
#include "formats/PaletteFile.h"
#include "ui/app/AppWindows.h"
#include "ui/app/LocalPath.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/TMain.h"
#include "ui/app/WindowMemory.h"
#include "ui/choosers/TPathDialog.h"
#include "ui/project/FileNameDialog.h"
#include "ui_TProjectSetup.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QShowEvent>

namespace texelary {

TProjectSetup::TProjectSetup(AppWindows& windows)
    : m_ui(std::make_unique<Ui::TProjectSetup>())
    , m_windows(windows)
    , m_model(*windows.Project) {
    m_ui->setupUi(this);
    FixWindow(*this, kDialogFrame);
    // The lists offer the formats in index order, so a list's index is the format's.
    for (const SourceFormatRow& row : SourceFormatRows()) {
        m_ui->ConvFrom->addItem(QString::fromLatin1(row.caption));
    }
    for (const TargetFormatRow& row : TargetFormatRows()) {
        m_ui->ConvTo->addItem(QString::fromLatin1(row.caption));
    }
    m_ui->InputPath->setText(m_model.InputPath());
    m_ui->OutputPath->setText(m_model.OutputPath());
    m_ui->ConvFrom->setCurrentIndex(IndexOf(m_model.ConvFrom()));
    m_ui->ConvTo->setCurrentIndex(IndexOf(m_model.ConvTo()));
    ShowSettings();
    ExplainOptions();
    ConvToChange();
    ConnectControls();
}

// What each option does, in the words of a user who has not met them before.
void TProjectSetup::ExplainOptions() {
    const struct {
        QWidget* control;
        const char* tip;
    } tips[] = {
        {m_ui->KeepHeader, "Copy the name, animation name, flags, contents and value of .m8, .m32, "
                           ".wal and .swl textures into what they become"},
        {m_ui->MipLevels, "How the three smaller pictures the engines draw far away are made: "
                          "sampled takes every other pixel, averaged blends 2 x 2 pixels as the "
                          "games' own tools did"},
        {m_ui->TransparentIndex, "Pixels less than half opaque become colour 255, which no opaque "
                                 "pixel takes, and which the engines draw as holes"},
        {m_ui->Dither, "When true colour is brought down to 256 colours, spread each pixel's error "
                       "over its neighbours instead of taking the nearest colour only"},
        {m_ui->PaletteChoice, "The palette the textures take: the game's own, built in, or a "
                              "mod's (a colormap.pcx, palette.lmp, .pal, .gpl or a picture's)"},
        {m_ui->InputPath, "A folder, or a pak, wad or compiled map whose textures are read"},
    };
    for (const auto& [control, tip] : tips) {
        control->setToolTip(QString::fromUtf8(tip));
    }
}

// The project's controls write to the model as they change; the output settings' write all of
// the settings at once.
void TProjectSetup::ConnectControls() {
    connect(m_ui->BmpDirBtn, &QPushButton::clicked, this, &TProjectSetup::BmpDirBtnClick);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TProjectSetup::Button1Click);
    connect(m_ui->PakBtn, &QPushButton::clicked, this, &TProjectSetup::PakBtnClick);
    connect(m_ui->InputPath, &QLineEdit::textChanged, &m_model, &ProjectModel::SetInputPath);
    connect(m_ui->OutputPath, &QLineEdit::textChanged, &m_model, &ProjectModel::SetOutputPath);
    connect(m_ui->ConvTo, &QComboBox::currentIndexChanged, this, &TProjectSetup::ConvToChange);
    connect(m_ui->ConvTo, &QComboBox::currentIndexChanged, &m_model, &ProjectModel::SetConvToAt);
    connect(m_ui->ConvFrom, &QComboBox::currentIndexChanged, &m_model,
            &ProjectModel::SetConvFromAt);
    // The user's choice alone: New and Load set the format with the list they bring.
    connect(m_ui->ConvFrom, &QComboBox::activated, this, &TProjectSetup::ConvFromChange);
    connect(m_ui->OkBtn, &QPushButton::clicked, this, &TProjectSetup::OkBtnClick);
    connect(m_ui->KeepHeader, &QCheckBox::toggled, this, &TProjectSetup::KeepHeaderClick);
    connect(m_ui->MipLevels, &QComboBox::currentIndexChanged, this,
            &TProjectSetup::MipLevelsChange);
    connect(m_ui->TransparentIndex, &QCheckBox::toggled, this,
            &TProjectSetup::TransparentIndexClick);
    connect(m_ui->Dither, &QCheckBox::toggled, this, &TProjectSetup::DitherClick);
    connect(m_ui->Fullbright, &QCheckBox::toggled, this, &TProjectSetup::FullbrightClick);
    connect(m_ui->PaletteChoice, &QComboBox::activated, this, &TProjectSetup::PaletteChoiceChange);
    connect(&m_model, &ProjectModel::changed, this, &TProjectSetup::ProjectChange);
}

TProjectSetup::~TProjectSetup() = default;

// A change another window made to the model is shown; one this dialog made shows already, and a
// field is set only when its text differs, so that typing keeps its cursor.
void TProjectSetup::ProjectChange(ProjectModel::Field field) {
    const auto showText = [](QLineEdit& edit, const QString& text) {
        if (edit.text() != text) {
            edit.setText(text);
        }
    };
    switch (field) {
    case ProjectModel::Field::InputDir:
        showText(*m_ui->InputPath, m_model.InputPath());
        break;
    case ProjectModel::Field::OutputDir:
        showText(*m_ui->OutputPath, m_model.OutputPath());
        break;
    case ProjectModel::Field::ConvFrom:
        m_ui->ConvFrom->setCurrentIndex(IndexOf(m_model.ConvFrom()));
        break;
    case ProjectModel::Field::ConvTo:
        m_ui->ConvTo->setCurrentIndex(IndexOf(m_model.ConvTo()));
        break;
    case ProjectModel::Field::Settings:
        ShowSettings();
        break;
    }
}

void TProjectSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        m_listFrom = m_ui->ConvFrom->currentIndex();
    }
}

// No keeps the files, which stay those of the earlier format: choosing it again asks nothing.
void TProjectSetup::ConvFromChange(int index) {
    if (index == m_listFrom) {
        return;
    }
    if (m_windows.Main->BmpList().count() > 0) {
        if (ShowBox(*m_windows.Boxes,
                    "The image list holds files chosen for another format. Clear the list?",
                    BoxIcon::Exclamation, WindowButtons::YesNo) != WindowAnswer::Yes) {
            return;
        }
        m_windows.Main->ClearBmpList();
    }
    m_listFrom = index;
}

namespace {

// Why the typed input path `path` (made absolute as the run takes it) is no place textures are
// read from: a folder, a pak, a wad or a map, or a folder inside a pak. Empty when it is one.
std::string InputProblem(const QString& path) {
    const std::string local = LocalPath(path);
    if (QFileInfo(path).isDir() || IsArchiveFile(local) || SplitArchivePath(local)) {
        return {};
    }
    return QFileInfo::exists(path) ? "it is a file" : "the folder does not exist";
}

// The same for the output path: a folder, or the pak or wad a run of `to` writes, in a folder
// that is there.
std::string OutputProblem(const QString& path, std::optional<TargetFormat> to) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return {};
    }
    if (const auto target = to ? ArchiveTargetOf(LocalPath(path), *to) : std::nullopt) {
        const QFileInfo archive(FromLocalPath(target->path));
        return archive.absoluteDir().exists() ? std::string() : "the folder does not exist";
    }
    return info.exists() ? "it is a file" : "the folder does not exist";
}

} // namespace

// A typed or pasted path is taken as it stands; one that names no place the run can use is said
// in a box, and the dialog stays open so that it can be put right.
void TProjectSetup::OkBtnClick() {
    const TMain& main = *m_windows.Main;
    const struct {
        QLineEdit* field;
        std::string problem;
    } checks[] = {
        {m_ui->InputPath, InputProblem(main.RunFolder(m_ui->InputPath->text()))},
        {m_ui->OutputPath, OutputProblem(main.RunFolder(m_ui->OutputPath->text()),
                                         TargetFormatAt(m_ui->ConvTo->currentIndex()))},
    };
    for (const auto& check : checks) {
        if (!check.problem.empty()) {
            ShowBox(*m_windows.Boxes,
                    "\"" + LocalPath(QDir::toNativeSeparators(check.field->text())) +
                        "\" is not a folder",
                    BoxIcon::Stop, WindowButtons::Ok, check.problem);
            check.field->setFocus();
            check.field->selectAll();
            return;
        }
    }
    accept();
}

void TProjectSetup::BmpDirBtnClick() {
    TPathDialog& chooser = *m_windows.PathDialog;
    if (chooser.RunPathDialog(PathChoice::FoldersAndArchives, m_ui->InputPath->text())) {
        m_ui->InputPath->setText(QDir::toNativeSeparators(chooser.ChosenPath()));
    }
}

// A wad target writes one wad, whose name is asked for, or replaces the textures of the same
// names in a compiled map that is there; the other targets write into a folder.
void TProjectSetup::Button1Click() {
    const auto to = TargetFormatAt(m_ui->ConvTo->currentIndex());
    if (to && RowOf(*to).wad) {
        ChooseOutputFile("SaveDialogWad", QStringLiteral("wad"), {QStringLiteral("bsp")});
        return;
    }
    TPathDialog& chooser = *m_windows.PathDialog;
    if (chooser.RunPathDialog(PathChoice::Folders, m_ui->OutputPath->text())) {
        m_ui->OutputPath->setText(QDir::toNativeSeparators(chooser.ChosenPath()));
    }
}

void TProjectSetup::PakBtnClick() {
    ChooseOutputFile("SaveDialogPak", QStringLiteral("pak"));
}

// The dialog opens in the output folder, or in the folder of the output file.
void TProjectSetup::ChooseOutputFile(const char* name, const QString& extension,
                                     const QStringList& otherExtensions) {
    const QFileInfo output(QDir::fromNativeSeparators(m_ui->OutputPath->text()));
    QString directory = output.isDir() ? output.absoluteFilePath() : output.absolutePath();
    const QString chosen =
        RunFileNameDialog(m_windows, *this, name, extension, true, directory, otherExtensions);
    if (!chosen.isEmpty()) {
        m_ui->OutputPath->setText(QDir::toNativeSeparators(chosen));
    }
}

// "Pak..." is for the targets that write files of their own, the full-bright colours for WAD2;
// a greyed one says why.
void TProjectSetup::ConvToChange() {
    const auto to = TargetFormatAt(m_ui->ConvTo->currentIndex());
    const bool pak = to && !RowOf(*to).wad;
    m_ui->PakBtn->setEnabled(pak);
    m_ui->PakBtn->setToolTip(
        pak ? QStringLiteral("Put every output into one new pak (type mod.pak/textures/mod to "
                             "put them in that folder of it)")
            : QStringLiteral("A wad target writes one wad (or into a map), never a pak"));
    m_ui->Fullbright->setEnabled(to == TargetFormat::Wad2);
    m_ui->Fullbright->setToolTip(
        to == TargetFormat::Wad2
            ? QStringLiteral("Let pictures take colours 224 to 255 of the palette, which the "
                             "engines draw unlit, as lamps")
            : QStringLiteral("Only WAD2 textures have full-bright colours (224 to 255, drawn "
                             "unlit): choose WAD2 as the target"));
}

// The dialog's output settings are the project's; a change to any of them is the project's change,
// as a directory's is.
void TProjectSetup::SaveSettings() const {
    if (m_showingSettings) {
        return;
    }
    const MipFilter mips = m_ui->MipLevels->currentIndex() == static_cast<int>(MipFilter::Box)
                               ? MipFilter::Box
                               : MipFilter::Point;
    m_model.SetSettings({m_ui->KeepHeader->isChecked(), mips, m_ui->Dither->isChecked(),
                         m_ui->TransparentIndex->isChecked(), m_ui->Fullbright->isChecked(),
                         m_paletteFile});
}

void TProjectSetup::ShowSettings() {
    const ProgramSettings settings = m_model.Settings();
    const QScopedValueRollback showing(m_showingSettings, true);
    m_ui->KeepHeader->setChecked(settings.keepHeader);
    m_ui->MipLevels->setCurrentIndex(static_cast<int>(settings.mips));
    m_ui->TransparentIndex->setChecked(settings.transparentIndex);
    m_ui->Dither->setChecked(settings.dither);
    m_ui->Fullbright->setChecked(settings.fullbright);
    ShowPaletteFile(settings.paletteFile);
}

void TProjectSetup::KeepHeaderClick() {
    SaveSettings();
}

void TProjectSetup::TransparentIndexClick() {
    SaveSettings();
}

void TProjectSetup::DitherClick() {
    SaveSettings();
}

void TProjectSetup::FullbrightClick() {
    SaveSettings();
}

void TProjectSetup::MipLevelsChange() {
    SaveSettings();
}

void TProjectSetup::ShowPaletteFile(const QString& path) {
    m_paletteFile = path;
    m_ui->PaletteChoice->setCurrentIndex(path.isEmpty() ? 0 : 1);
    m_ui->PaletteFile->setText(QDir::toNativeSeparators(path));
    m_ui->PaletteFile->setEnabled(!path.isEmpty());
}

// "from file..." asks for the file, which must hold a palette; cancelled or refused, the choice
// stays what it was.
void TProjectSetup::PaletteChoiceChange(int index) {
    if (index == 0) {
        ShowPaletteFile({});
        SaveSettings();
        return;
    }
    if (m_paletteFolder.isEmpty()) {
        // The folder a palette was last chosen from, in this run of the program or an earlier one.
        m_paletteFolder = LastFolder(kPaletteDialog);
    }
    if (m_paletteFolder.isEmpty()) {
        m_paletteFolder =
            m_paletteFile.isEmpty() ? QDir::currentPath() : QFileInfo(m_paletteFile).absolutePath();
    }
    const QString chosen =
        RunFileNameDialog(m_windows, *this, kPaletteDialog,
                          QStringLiteral("pcx lmp pal gpl bmp png tga m8"), false, m_paletteFolder);
    if (chosen.isEmpty()) {
        ShowPaletteFile(m_paletteFile);
        return;
    }
    std::string reason;
    if (!ReadPaletteFile(LocalPath(chosen), reason)) {
        ShowBox(*m_windows.Boxes,
                "Cannot use the palette \"" + LocalPath(QDir::toNativeSeparators(chosen)) + "\"",
                BoxIcon::Stop, WindowButtons::Ok, reason);
        ShowPaletteFile(m_paletteFile);
        return;
    }
    ShowPaletteFile(chosen);
    SaveSettings();
}

} // namespace texelary
