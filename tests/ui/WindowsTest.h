#pragma once

// What the window tests of the WindowsTest class share: the class, whose test functions live in
// one file per window, and the helpers used by more than one of them.

#include "UiTestSupport.h"
#include "archives/WadArchive.h"
#include "base/Version.h"
#include "colour/Wad2Palette.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"
#include "project/ProjectFile.h"
#include "ui/about/TAboutDialog.h"
#include "ui/about/TSplashDialog.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/RecentProjects.h"
#include "ui/app/TMain.h"
#include "ui/choosers/TFileDialog.h"
#include "ui/choosers/TPathDialog.h"
#include "ui/preview/PreviewPicture.h"
#include "ui/project/ProjectModel.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <stdexcept>

namespace texelary::test {

inline QLabel& Preview(Session& session) {
    return *session.Windows().Main->findChild<QLabel*>(QStringLiteral("ImagePrev"));
}

inline QSize PreviewPictureSize(Session& session) {
    return Preview(session).pixmap().size();
}

// Answers a project file dialog with `path`.
inline ModalAction ChooseFile(const QString& path) {
    return [path](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(path);
        return int(QDialog::Accepted);
    };
}

inline std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

inline bool AnyFileDialog() {
    const QWidgetList widgets = QApplication::allWidgets();
    return std::any_of(widgets.begin(), widgets.end(), [](QWidget* widget) {
        return qobject_cast<QFileDialog*>(widget) != nullptr;
    });
}

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithEmptyProjectInCurrentDirectory();
    void AddAppendsSelectionInChooserOrder();
    void AddLeavesOutListedNamesAndShowsLastAdded();
    void ChooserOpensWithFirstFileAloneSelected();
    void CtrlASelectsEveryFileInChooser();
    void DoubleClickAcceptsChooser();
    void CancelledOrEmptyChooserAddsNothing();
    void DeselectedChooserAddsNothingButEnablesCreate();
    void ChooserMaskFollowsSourceFormat_data();
    void ChooserMaskFollowsSourceFormat();
    void EmptyChooserSaysWhatItLists_data();
    void EmptyChooserSaysWhatItLists();
    void ChoosersGrowAndShortenLongNames_data();
    void ChoosersGrowAndShortenLongNames();
    void ChoosersComeBackAtTheirLastSize_data();
    void ChoosersComeBackAtTheirLastSize();
    void UnreadableInputDirectoryIsReported();
    void AddListsTheTexturesOfAnArchive_data();
    void AddListsTheTexturesOfAnArchive();
    void AddSaysWhyAnArchiveIsNotListed_data();
    void AddSaysWhyAnArchiveIsNotListed();
    void DeleteMakesNeighbourCurrent_data();
    void DeleteMakesNeighbourCurrent();
    void DeleteOnEmptyListDisablesCreate();
    void PreviewFollowsListOnlyForBitmaps();
    void RowsNotInTheInputFolderAreMarked_data();
    void RowsNotInTheInputFolderAreMarked();
    void LoadedProjectMarksRowsNotInItsInputFolder();
    void PreviewKeepsTheAspectRatio();
    void PreviewShowsLevelsAndHeaderFields();
    void PreviewReadsOtherFormatsAsTheRunDoes();
    void PreviewShowsTexturesInArchives();
    void RejectedBitmapIsReportedAndProgramGoesOn();
    void KeyReleasedWithoutItsPressDoesNotPreview();
    void NewResetsProjectToCurrentDirectory();
    void RelativeFoldersAreTheProjectFilesOwn();
    void SaveAsSaveAndLoadRoundTrip();
    void RefusedLoadChangesNothing();
    void RefusedLoadSaysWhy_data();
    void RefusedLoadSaysWhy();
    void SaveAsAsksBeforeReplacing();
    void BoxesShowTheReasonAsInformativeText();
    void FailingHandlersReportWithoutThrowing();
    void SaveThatCannotCreateFileSaysSo();
    void SaveWarnsAboutNamesStoredCut();
    void LoadedM8ProjectPreviewsThroughTheM8Reader();
    void PathChooserSetsBothDirectories();
    void CancelledPathChooserKeepsField();
    void PathChooserGivesRootWithSeparator();
    void PathChooserTakesTheHighlightedLine_data();
    void PathChooserTakesTheHighlightedLine();
    void SetupDialogKeepsChangesWhenClosed();
    void SetupDialogTakesTypedPathsThatItCanUse();
    void PathChooserTakesATypedFolder();
    void OtherSourceFormatAsksToClearTheList_data();
    void OtherSourceFormatAsksToClearTheList();
    void OutputFileDialogsFillTheOutputField_data();
    void OutputFileDialogsFillTheOutputField();
    void AboutIsShownModally();
    void EnterPressesAddOrFocusedButton();
    void DriveChangeShowsThatVolume();
    void EnterOpensFolderInPathChooser();
    void TypingInPathChooserFindsFolder();
    void PathChooserIndentsPicturesWithNames();
    void PathChooserOpensWithFoldersFocused();
    void PathChooserOpensArchivesLikeFolders();
    void PathChooserOpensMaps();
    void PathChooserDrawsPicturesAtTheirSize();
    void NewFolderInPathChooser_data();
    void NewFolderInPathChooser();
    void PathChooserTakesTildeAsHome_data();
    void PathChooserTakesTildeAsHome();
    void OutputChooserOpensNoArchive();
    void WadTargetMayWriteIntoAMap();
    void SetupOptionsSayWhatTheyDo();
    void DeleteKeyRemovesSelectedEntry();
    void DeleteRemovesEverySelectedEntry_data();
    void DeleteRemovesEverySelectedEntry();
    void KeysRunTheFileMenuAndQuit();
    void TitleNamesTheProjectFile();
    void ProjectModelSignalsEachChange();
    void ProjectModelRefusesUnknownFormats();
    void SetupDialogAndModelFollowEachOther();
    void ChangesNotSavedAreAskedAbout_data();
    void ChangesNotSavedAreAskedAbout();
    void DroppedFilesAreAddedWhenTheyMayBe();
    void SelectedNamesAreDraggedOutAndASweepStillSelects();
    void ListEditsAreUndoneAndRedone_data();
    void ListEditsAreUndoneAndRedone();
    void UndoBackToTheSavedListLeavesNothingToSave();
    void ListedNamesAreNotAddedAgain_data();
    void ListedNamesAreNotAddedAgain();
    void MainWindowOpensWhereItWasClosed();
    void FileDialogsOpenAtTheirLastFolders();
    void RecentProjectsOpenFromTheFileMenu();
    void RecentProjectsKeepTheLastEight();
    void OutputSettingsAreKeptWithTheProject();
};

} // namespace texelary::test
