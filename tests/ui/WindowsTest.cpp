// The main window, the setup dialog, the choosers and the File menu, driven as a user would.

#include "UiTestSupport.h"
#include "base/Version.h"
#include "colour/Wad2Palette.h"
#include "colour/WalPalette.h"
#include "formats/M8Format.h"
#include "formats/PngFormat.h"
#include "formats/WadArchive.h"
#include "formats/WalFormat.h"
#include "project/ProjectFile.h"
#include "ui/MessageBoxes.h"
#include "ui/PreviewPicture.h"
#include "ui/TAboutDialog.h"
#include "ui/TFileDialog.h"
#include "ui/TMain.h"
#include "ui/TPathDialog.h"
#include "ui/TProcessDialog.h"
#include "ui/TProjectSetup.h"
#include "ui/TSplashDialog.h"

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
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStorageInfo>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

namespace texelary::test {

namespace {

QLabel& Preview(Session& session) {
    return *session.Windows().Main->findChild<QLabel*>(QStringLiteral("ImagePrev"));
}

QSize PreviewPictureSize(Session& session) {
    return Preview(session).pixmap().size();
}

// Answers a project file dialog with `path`.
ModalAction ChooseFile(const QString& path) {
    return [path](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(path);
        return int(QDialog::Accepted);
    };
}

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithEmptyProjectInCurrentDirectory();
    void AddAppendsSelectionInChooserOrder();
    void AddKeepsDuplicatesAndShowsLastAdded();
    void ChooserOpensWithFirstFileAloneSelected();
    void DoubleClickAcceptsChooser();
    void CancelledOrEmptyChooserAddsNothing();
    void DeselectedChooserAddsNothingButEnablesCreate();
    void ChooserMaskFollowsSourceFormat_data();
    void ChooserMaskFollowsSourceFormat();
    void UnreadableInputDirectoryIsReported();
    void AddListsTheTexturesOfAnArchive_data();
    void AddListsTheTexturesOfAnArchive();
    void AddSaysWhyAnArchiveIsNotListed_data();
    void AddSaysWhyAnArchiveIsNotListed();
    void DeleteMakesNeighbourCurrent_data();
    void DeleteMakesNeighbourCurrent();
    void DeleteOnEmptyListDisablesCreate();
    void PreviewFollowsListOnlyForBitmaps();
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
    void DeleteKeyRemovesSelectedEntry();
    void DeleteRemovesEverySelectedEntry_data();
    void DeleteRemovesEverySelectedEntry();
    void KeysRunTheFileMenuAndQuit();
    void TitleNamesTheProjectFile();
    void ChangesNotSavedAreAskedAbout_data();
    void ChangesNotSavedAreAskedAbout();
    void DroppedFilesAreAddedWhenTheyMayBe();
};

void WindowsTest::StartsWithEmptyProjectInCurrentDirectory() {
    Session session;
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    QVERIFY(session.Windows().Main->isVisible());
    QCOMPARE(session.BmpList().count(), 0);
    QCOMPARE(session.BmpList().currentRow(), -1);
    QVERIFY(!session.Button("CreateBtn").isEnabled());
    QVERIFY(!session.Item("SaveBtn").isEnabled());
    QVERIFY(session.Item("SaveAsBtn").isEnabled());
    QVERIFY(session.Button("AddBtn").isEnabled());
    QVERIFY(session.Button("DeleteBtn").isEnabled());
    QCOMPARE(session.InputPath().text(), current);
    QCOMPARE(session.OutputPath().text(), current);
    QCOMPARE(session.ConvFrom().currentIndex(), 0);
    QCOMPARE(session.ConvTo().currentIndex(), 0);
    QVERIFY(session.Windows().Main->ProjectFileName().isEmpty());
    QVERIFY(session.Windows().CurrentWorker == nullptr);
    // The seven windows exist, and the main window alone is on screen.
    const AppWindows& windows = session.Windows();
    const std::vector<const QWidget*> dialogs{windows.ProjectSetup, windows.AboutDialog,
                                              windows.SplashDialog, windows.ProcessDialog,
                                              windows.PathDialog,   windows.FileDialog};
    for (const QWidget* dialog : dialogs) {
        QVERIFY(dialog != nullptr);
        QVERIFY2(!dialog->isVisible(), qPrintable(dialog->objectName()));
    }
}

void WindowsTest::AddAppendsSelectionInChooserOrder() {
    Session session;
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    WriteBitmap(session.PathOf("A.bmp"), 4, 4);
    WriteBitmap(session.PathOf("C.BMP"), 300, 20);
    WriteText(session.PathOf("notes.txt"), "x");
    WriteBitmap(session.PathOf(".hidden.bmp"), 4, 4);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("folder.bmp")));

    QStringList listed;
    session.Add([&](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        listed = Texts(files);
        files.selectAll();
        return int(QDialog::Accepted);
    });

    // Case ignored in the mask and in the order; folders, hidden files and other masks left out.
    QCOMPARE(listed, (QStringList{"A.bmp", "b.bmp", "C.BMP"}));
    QCOMPARE(session.Entries(), (QStringList{"A.bmp", "b.bmp", "C.BMP"}));
    QCOMPARE(session.BmpList().currentRow(), 2);
    QVERIFY(session.Button("CreateBtn").isEnabled());
    // The last one added is previewed.
    QCOMPARE(PreviewPictureSize(session), QSize(300, 20));
    // Reading the directory made it the current directory; after Add the chooser is reset.
    QCOMPARE(QDir::currentPath(), QDir(session.Dir()).canonicalPath());
    QCOMPARE(SelectedTexts(session.FileList()), QStringList{"A.bmp"});
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
}

void WindowsTest::AddKeepsDuplicatesAndShowsLastAdded() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 5, 7);
    WriteBitmap(session.PathOf("b.bmp"), 9, 3);
    WriteBitmap(session.PathOf("c.bmp"), 2, 2);
    session.Add([](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        files.item(0)->setSelected(true);
        files.item(2)->setSelected(true);
        return int(QDialog::Accepted);
    });
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp"}));
    session.AddAll();
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp", "a.bmp", "b.bmp", "c.bmp"}));
    QCOMPARE(session.BmpList().currentRow(), 4);
    QCOMPARE(PreviewPictureSize(session), QSize(2, 2));
}

void WindowsTest::ChooserOpensWithFirstFileAloneSelected() {
    Session session;
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    WriteBitmap(session.PathOf("A.bmp"), 4, 4);
    WriteBitmap(session.PathOf("c.bmp"), 4, 4);
    QStringList selectedAtOpening;
    int currentAtOpening = -2;
    // Leave every file selected when the chooser is cancelled: the next opening still selects
    // the first file alone.
    session.Add([](QDialog& dialog) {
        dialog.findChild<QListWidget*>(QStringLiteral("File"))->selectAll();
        return int(QDialog::Rejected);
    });
    session.Add([&](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        selectedAtOpening = SelectedTexts(files);
        currentAtOpening = files.currentRow();
        return int(QDialog::Accepted);
    });
    QCOMPARE(selectedAtOpening, QStringList{"A.bmp"});
    QCOMPARE(currentAtOpening, 0);
    QCOMPARE(session.Entries(), QStringList{"A.bmp"});
}

void WindowsTest::DoubleClickAcceptsChooser() {
    Session session;
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    WriteBitmap(session.PathOf("A.bmp"), 4, 4);
    WriteBitmap(session.PathOf("c.bmp"), 4, 4);
    session.Add([](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        const QPoint centre = files.visualItemRect(files.item(1)).center();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(files.viewport(), Qt::LeftButton, {}, centre);
        return kClosedByAction;
    });
    QVERIFY(!session.Windows().FileDialog->isVisible());
    QCOMPARE(session.Entries(), QStringList{"b.bmp"});
    QVERIFY(session.Button("CreateBtn").isEnabled());
}

void WindowsTest::CancelledOrEmptyChooserAddsNothing() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    session.Add([](QDialog&) { return int(QDialog::Rejected); });
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(!session.Button("CreateBtn").isEnabled());

    // No file matches: "Ok" returns false and nothing is added.
    session.ConvFrom().setCurrentIndex(1);
    session.Add([](QDialog&) { return int(QDialog::Accepted); });
    QCOMPARE(session.FileList().count(), 0);
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(!session.Button("CreateBtn").isEnabled());
    QVERIFY(session.Modals.Unanswered.isEmpty());
}

void WindowsTest::DeselectedChooserAddsNothingButEnablesCreate() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    session.Add([](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        const QPoint first = files.visualItemRect(files.item(0)).center();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::ControlModifier, first);
        return int(QDialog::Accepted);
    });
    QVERIFY(SelectedTexts(session.FileList()) == QStringList{"a.bmp"}); // reset after Add
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(session.Button("CreateBtn").isEnabled());
}

void WindowsTest::ChooserMaskFollowsSourceFormat_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("bitmap") << 0 << "*.bmp" << QStringList{"a.bmp", "B.BMP"};
    QTest::newRow("m8") << 1 << "*.m8" << QStringList{"c.m8", "D.M8"};
    QTest::newRow("wal") << 2 << "*.wal" << QStringList{"e.Wal", "f.wal"};
}

void WindowsTest::ChooserMaskFollowsSourceFormat() {
    QFETCH(int, from);
    QFETCH(QString, mask);
    QFETCH(QStringList, listed);
    Session session;
    for (const char* name : {"a.bmp", "B.BMP", "c.m8", "D.M8", "e.Wal", "f.wal", "g.bmp.txt"}) {
        WriteText(session.PathOf(QString::fromLatin1(name)), "x");
    }
    session.ConvFrom().setCurrentIndex(from);
    QStringList seen;
    session.Add([&](QDialog& dialog) {
        seen = Texts(*dialog.findChild<QListWidget*>(QStringLiteral("File")));
        return int(QDialog::Rejected);
    });
    QCOMPARE(session.Windows().FileDialog->Mask(), mask);
    QCOMPARE(session.Windows().FileDialog->Directory(), session.InputPath().text());
    QCOMPARE(seen, listed);
}

void WindowsTest::UnreadableInputDirectoryIsReported() {
    Session session;
    session.InputPath().setText(session.PathOf("gone"));
    session.Click("AddBtn");
    QCOMPARE(session.Modals.Shown, QStringList{}); // the chooser is not shown
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const ShownBox& box = session.Boxes.Shown[0];
    QVERIFY(QString::fromStdString(box.text).contains(QStringLiteral("gone")));
    QCOMPARE(box.caption, std::string("Texelary"));
    QVERIFY(box.icon == BoxIcon::Stop && box.buttons == WindowButtons::Ok);
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(!session.Button("CreateBtn").isEnabled());
}

void WindowsTest::AddListsTheTexturesOfAnArchive_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("input"); // in the session's directory
    QTest::addColumn<QStringList>("listed");
    const int wal = IndexOf(SourceFormat::Wal);
    QTest::newRow("pak") << wal << "base.pak" << QStringList{"a.wal"};
    QTest::newRow("folder in a pak") << wal << "base.pak/textures" << QStringList{"c.wal", "D.Wal"};
    QTest::newRow("folder in a pak, separator after it")
        << wal << "base.pak/textures/" << QStringList{"c.wal", "D.Wal"};
    QTest::newRow("folder in a pak, bitmaps")
        << IndexOf(SourceFormat::Bmp) << "base.pak/textures" << QStringList{"f.bmp"};
    QTest::newRow("folder deeper in a pak")
        << wal << "base.pak/textures/e1" << QStringList{"e.wal"};
    QTest::newRow("folder not in the pak") << wal << "base.pak/maps" << QStringList{};
    QTest::newRow("wad2") << IndexOf(SourceFormat::Wad2) << "gfx.wad"
                          << QStringList{"*lava", "brick"};
    QTest::newRow("wad3") << IndexOf(SourceFormat::Wad3) << "half.wad" << QStringList{"{fence"};
}

// The chooser lists an archive's textures of the source format by their names in the input
// directory, and they are added as a folder's files are.
void WindowsTest::AddListsTheTexturesOfAnArchive() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QStringList, listed);
    Session session;
    WriteTestArchives(session);
    session.ConvFrom().setCurrentIndex(from);
    session.InputPath().setText(QDir::toNativeSeparators(session.PathOf(input)));
    QStringList seen;
    session.Add([&](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        seen = Texts(files);
        files.selectAll();
        return int(QDialog::Accepted);
    });
    QCOMPARE(session.Modals.Shown, QStringList{"TFileDialog"});
    QCOMPARE(seen, listed);
    QCOMPARE(session.Entries(), listed);
    QCOMPARE(QDir::currentPath(), QDir(session.Dir()).canonicalPath());
}

void WindowsTest::AddSaysWhyAnArchiveIsNotListed_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("input"); // in the session's directory
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("detail");
    const QString wad2 = QStringLiteral("WAD2 textures (*.wad)");
    const int exclamation = int(BoxIcon::Exclamation);
    const int stop = int(BoxIcon::Stop);
    QTest::newRow("wad2 from a folder")
        << IndexOf(SourceFormat::Wad2) << "."
        << "The input path \"%1\" holds no " + wad2 + "." << exclamation
        << "only the mip textures of a wad can be read in this format";
    QTest::newRow("wad2 from a pak")
        << IndexOf(SourceFormat::Wad2) << "base.pak"
        << "The input path \"%1\" holds no " + wad2 + "." << exclamation
        << "only the mip textures of a wad can be read in this format";
    QTest::newRow("wad2 from a folder in a pak")
        << IndexOf(SourceFormat::Wad2) << "base.pak/textures"
        << "The input path \"%1\" holds no " + wad2 + "." << exclamation
        << "only the mip textures of a wad can be read in this format";
    QTest::newRow("wad3 from a wad2")
        << IndexOf(SourceFormat::Wad3) << "gfx.wad"
        << "The input path \"%1\" holds no WAD3 textures (*.wad)." << exclamation
        << "the wad is not of this kind (WAD2 or WAD3)";
    QTest::newRow("damaged wad") << IndexOf(SourceFormat::Wad2) << "bad.wad"
                                 << "Cannot read the archive \"%1\"." << stop << "";
    QTest::newRow("damaged pak") << IndexOf(SourceFormat::Wal) << "bad.pak/textures"
                                 << "Cannot read the archive \"%1\"." << stop << "";
}

// Instead of the chooser, a box: the input holds no textures of a wad's format, or the archive
// can't be read (its reason, whatever the reader says, as the detail).
void WindowsTest::AddSaysWhyAnArchiveIsNotListed() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(int, icon);
    QFETCH(QString, detail);
    Session session;
    WriteTestArchives(session);
    WriteText(session.PathOf("bad.wad"), QByteArray("WAD2\xff\xff\xff\x7f\x0c\0\0\0", 12));
    WriteText(session.PathOf("bad.pak"), QByteArray("PACK\x0c\0\0\0\x40\0\0\0", 12));
    session.ConvFrom().setCurrentIndex(from);
    const QString path = QDir::cleanPath(session.PathOf(input));
    session.InputPath().setText(QDir::toNativeSeparators(path));
    session.Click("AddBtn");
    QCOMPARE(session.Modals.Shown, QStringList{});
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const ShownBox& box = session.Boxes.Shown[0];
    // The box names the input, or the archive the input runs through.
    const QString named =
        input.startsWith(QStringLiteral("bad.pak")) ? session.PathOf("bad.pak") : path;
    QCOMPARE(QString::fromStdString(box.text), text.arg(QDir::toNativeSeparators(named)));
    QCOMPARE(int(box.icon), icon);
    if (detail.isEmpty()) {
        QVERIFY(!box.detail.empty());
    } else {
        QCOMPARE(QString::fromStdString(box.detail), detail);
    }
    QCOMPARE(session.BmpList().count(), 0);
}

void WindowsTest::DeleteMakesNeighbourCurrent_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("newCurrent");
    QTest::addColumn<bool>("createEnabled");
    QTest::newRow("middle of three") << 3 << 1 << QStringList{"a.bmp", "c.bmp"} << 1 << true;
    QTest::newRow("last of three") << 3 << 2 << QStringList{"a.bmp", "b.bmp"} << 1 << true;
    QTest::newRow("first of three") << 3 << 0 << QStringList{"b.bmp", "c.bmp"} << 0 << true;
    QTest::newRow("only line") << 1 << 0 << QStringList{} << -1 << false;
    QTest::newRow("no current line")
        << 3 << -1 << QStringList{"a.bmp", "b.bmp", "c.bmp"} << -1 << false;
}

void WindowsTest::DeleteMakesNeighbourCurrent() {
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QStringList, remaining);
    QFETCH(int, newCurrent);
    QFETCH(bool, createEnabled);
    Session session;
    const QStringList names{"a.bmp", "b.bmp", "c.bmp"};
    for (int i = 0; i < count; ++i) {
        WriteBitmap(session.PathOf(names[i]), 4, 4);
    }
    session.AddAll();
    session.BmpList().setCurrentRow(current, QItemSelectionModel::ClearAndSelect);
    session.Click("DeleteBtn");
    QCOMPARE(session.Entries(), remaining);
    QCOMPARE(session.BmpList().currentRow(), newCurrent);
    QCOMPARE(session.Button("CreateBtn").isEnabled(), createEnabled);
}

void WindowsTest::DeleteOnEmptyListDisablesCreate() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    session.Add([](QDialog& dialog) {
        dialog.findChild<QListWidget*>(QStringLiteral("File"))->clearSelection();
        return int(QDialog::Accepted);
    });
    QVERIFY(session.Button("CreateBtn").isEnabled());
    session.Click("DeleteBtn");
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(!session.Button("CreateBtn").isEnabled());
    QVERIFY(session.Button("DeleteBtn").isEnabled());
}

void WindowsTest::PreviewFollowsListOnlyForBitmaps() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 10, 4);
    WriteBitmap(session.PathOf("b.bmp"), 6, 8);
    session.AddAll();
    QCOMPARE(PreviewPictureSize(session), QSize(6, 8));

    // Clicking an item shows it; moving with the keyboard shows the newly current one.
    QListWidget& list = session.BmpList();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(0)).center());
    QCOMPARE(PreviewPictureSize(session), QSize(10, 4));
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentRow(), 1);
    QCOMPARE(PreviewPictureSize(session), QSize(6, 8));

    // For .m8 sources a bitmap is refused by the .m8 reader: the box says so, and the preview
    // is emptied rather than left showing another file.
    session.ConvFrom().setCurrentIndex(1);
    QTest::keyClick(&list, Qt::Key_Up);
    QCOMPARE(list.currentRow(), 0);
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});

    // Delete shows the entry that takes the deleted one's place, and nothing once the list is
    // empty.
    session.ConvFrom().setCurrentIndex(0);
    session.Click("DeleteBtn");
    QCOMPARE(PreviewPictureSize(session), QSize(6, 8));
    session.Click("DeleteBtn");
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0));

    // A file that can't be opened empties the preview quietly; so does New.
    session.AddAll();
    QCOMPARE(PreviewPictureSize(session), QSize(6, 8));
    session.Windows().Main->ShowPreview(session.Dir(), QStringLiteral("missing.bmp"));
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0));
    QTest::keyClick(&list, Qt::Key_Up);
    QCOMPARE(PreviewPictureSize(session), QSize(10, 4));
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Item("NewProject").trigger();
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{2});
}

// Every source format but bitmaps is shown through the reader the run uses, in the file's own
// colours; a file that reader refuses is reported with the file's name and the reason.
void WindowsTest::PreviewKeepsTheAspectRatio() {
    const struct {
        QSize picture;
        bool withLevels;
        QRect drawn;
    } cases[] = {
        {{300, 20}, false, {0, 63, 133, 8}}, // wide: letter-boxed
        {{20, 300}, false, {63, 0, 8, 133}}, // tall: pillar-boxed
        {{2, 2}, false, {0, 0, 133, 133}},   // small: enlarged to fill
        {{16, 16}, true, {0, 23, 133, 88}},  // with its levels' column: half as wide again
    };
    for (const auto& c : cases) {
        QCOMPARE(PreviewLabel::FittedRect(c.picture, c.withLevels, QRect(0, 0, 133, 133)), c.drawn);
    }
    // Drawn so: a wide red picture leaves the panel's top and bottom as they were.
    Session session;
    QImage red(30, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    auto& preview = static_cast<PreviewLabel&>(Preview(session));
    preview.ShowPicture(red, {});
    const QImage shown = preview.grab().toImage();
    QCOMPARE(shown.pixel(66, 66), qRgb(255, 0, 0));
    QVERIFY(shown.pixel(66, 2) != qRgb(255, 0, 0));
    QVERIFY(shown.pixel(66, 130) != qRgb(255, 0, 0));
}

void WindowsTest::PreviewShowsLevelsAndHeaderFields() {
    Session session;
    IndexedImage picture;
    QVERIFY(AllocatePixels(picture, 16, 8));
    picture.width = 16;
    picture.height = 8;
    const HeaderFields fields{"e1u1/floor", "e1u1/fl\xC3\xB6or2", 1, 2, 3};
    const auto bytes = *WriteWal(picture, WalPalette, WriteOptions(MipFilter::Point, fields));
    QFile file(session.PathOf("floor.wal"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();
    WriteBitmap(session.PathOf("b.bmp"), 6, 8);

    auto& preview = static_cast<PreviewLabel&>(Preview(session));
    auto& info = *session.Windows().Main->findChild<QLabel*>(QStringLiteral("PreviewInfo"));
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wal));
    session.Windows().Main->ShowPreview(session.Dir(), QStringLiteral("floor.wal"));
    QList<QSize> levels;
    for (const QImage& level : preview.Levels()) {
        levels.append(level.size());
    }
    QCOMPARE(levels, (QList<QSize>{{8, 4}, {4, 2}, {2, 1}}));
    // As --info words them: a name's bytes that are not printable ASCII as \xHH.
    QCOMPARE(info.toolTip(),
             QStringLiteral("size: 16 x 8, levels: 4: 16 x 8, 8 x 4, 4 x 2, 2 x 1 | name: "
                            "\"e1u1/floor\", animation name: \"e1u1/fl\\xC3\\xB6or2\", flags: "
                            "0x00000001, contents: 0x00000002, value: 0x00000003"));
    QVERIFY(info.text().startsWith(QStringLiteral("size: 16 x 8")));

    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Bmp));
    session.Windows().Main->ShowPreview(session.Dir(), QStringLiteral("b.bmp"));
    QVERIFY(preview.Levels().isEmpty());
    QCOMPARE(info.toolTip(), QStringLiteral("size: 6 x 8"));
    session.Windows().Main->ShowPreview(session.Dir(), QStringLiteral("missing.bmp"));
    QCOMPARE(info.text(), QString());
}

void WindowsTest::PreviewReadsOtherFormatsAsTheRunDoes() {
    Session session;
    IndexedImage picture;
    QVERIFY(AllocatePixels(picture, 5, 3));
    picture.width = 5;
    picture.height = 3;
    for (std::uint8_t i = 0; i < 15; ++i) {
        picture.pixels[i] = static_cast<std::uint8_t>(40 + i);
    }
    Palette palette{};
    palette[3 * 40] = 250; // pixel (0, 0): red
    const auto write = [&session](const QString& name, const std::vector<std::uint8_t>& bytes) {
        QFile file(session.PathOf(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    };
    write(QStringLiteral("a.m8"), *WriteM8(picture, palette));
    write(QStringLiteral("a.wal"), *WriteWal(picture, WalPalette));
    write(QStringLiteral("a.png"), *EncodePng(picture, palette));
    for (const char* name : {"pillow.tga", "pillow.pcx", "pillow-rgba.png"}) {
        QVERIFY(QFile::copy(QStringLiteral(TEXELARY_TEST_DATA "/made/") + QLatin1String(name),
                            session.PathOf(QLatin1String(name))));
    }
    WriteText(session.PathOf(QStringLiteral("cut.tga")), "not a targa");

    const struct {
        SourceFormat from;
        const char* file;
        QSize size;
        QRgb topLeft;
    } cases[] = {
        {SourceFormat::M8, "a.m8", {5, 3}, qRgb(250, 0, 0)},
        {SourceFormat::Wal,
         "a.wal",
         {5, 3},
         qRgb(WalPalette[120], WalPalette[121], WalPalette[122])},
        {SourceFormat::Png, "a.png", {5, 3}, qRgb(250, 0, 0)},
        {SourceFormat::Tga, "pillow.tga", {16, 8}, 0},
        {SourceFormat::Pcx, "pillow.pcx", {16, 8}, 0},
        {SourceFormat::Png, "pillow-rgba.png", {16, 8}, 0},
    };
    for (const auto& c : cases) {
        session.ConvFrom().setCurrentIndex(IndexOf(c.from));
        session.Windows().Main->ShowPreview(session.Dir(), QLatin1String(c.file));
        QCOMPARE(PreviewPictureSize(session), c.size);
        if (c.topLeft != 0) {
            QCOMPARE(Preview(session).pixmap().toImage().pixel(0, 0), c.topLeft);
        }
    }
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});

    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Tga));
    session.Windows().Main->ShowPreview(session.Dir(), QStringLiteral("cut.tga"));
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0)); // emptied
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    QVERIFY(
        QString::fromStdString(session.Boxes.Shown[0].text).contains(QStringLiteral("cut.tga")));
    QVERIFY(!session.Boxes.Shown[0].detail.empty());
}

// A pak's entries and a wad's lumps are read as the run reads them, bitmaps too.
void WindowsTest::PreviewShowsTexturesInArchives() {
    Session session;
    WriteTestArchives(session);
    const auto colour = [](const Palette& palette, std::size_t index) {
        return qRgb(palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]);
    };
    const struct {
        SourceFormat from;
        const char* input;
        const char* entry;
        QSize size;
        QRgb topLeft; // 0: not looked at
    } cases[] = {
        {SourceFormat::Wal, "base.pak", "a.wal", {16, 16}, colour(WalPalette, 40)},
        {SourceFormat::Wal, "base.pak/textures/e1", "e.wal", {16, 16}, colour(WalPalette, 40)},
        {SourceFormat::Bmp, "base.pak/textures", "f.bmp", {4, 4}, 0},
        {SourceFormat::Wad2, "gfx.wad", "*LAVA", {16, 16}, colour(Wad2Palette, 40)},
        {SourceFormat::Wad3, "half.wad", "{fence", {16, 16}, colour(WalPalette, 40)},
    };
    for (const auto& c : cases) {
        session.ConvFrom().setCurrentIndex(IndexOf(c.from));
        session.Windows().Main->ShowPreview(session.PathOf(QLatin1String(c.input)),
                                            QLatin1String(c.entry));
        QCOMPARE(PreviewPictureSize(session), c.size);
        if (c.topLeft != 0) {
            QCOMPARE(Preview(session).pixmap().toImage().pixel(0, 0), c.topLeft);
        }
    }
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});

    // An entry the archive doesn't have is passed over quietly, as a missing file is; one it
    // has but the reader refuses is reported.
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad2));
    session.Windows().Main->ShowPreview(session.PathOf("gfx.wad"), QStringLiteral("missing"));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
    session.Windows().Main->ShowPreview(session.PathOf("gfx.wad"), QStringLiteral("palette"));
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0)); // emptied
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    QVERIFY(
        QString::fromStdString(session.Boxes.Shown[0].text).contains(QStringLiteral("palette")));
    QCOMPARE(session.Boxes.Shown[0].detail, std::string("the lump is not a mip texture"));
}

void WindowsTest::RejectedBitmapIsReportedAndProgramGoesOn() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 3, 3);
    WriteText(session.PathOf("b.bmp"), "this is no bitmap at all");
    session.AddAll();
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "b.bmp"}));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const ShownBox& box = session.Boxes.Shown[0];
    QCOMPARE(box.caption, std::string("Texelary"));
    QVERIFY(box.icon == BoxIcon::Stop && box.buttons == WindowButtons::Ok);
    QVERIFY(!box.text.empty());
    QVERIFY(QString::fromStdString(box.text).contains(QStringLiteral("b.bmp"))); // names the file
    QVERIFY(session.Button("CreateBtn").isEnabled());
    // The program goes on: the first file still previews.
    QListWidget& list = session.BmpList();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(0)).center());
    QCOMPARE(PreviewPictureSize(session), QSize(3, 3));
}

void WindowsTest::KeyReleasedWithoutItsPressDoesNotPreview() {
    Session session;
    WriteText(session.PathOf("bad.bmp"), "this is no bitmap at all");
    session.AddAll();
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    QListWidget& list = session.BmpList();
    list.setFocus();
    // The Enter or Escape that closed the box was pressed in the box; its release reaches the
    // list, which must not preview again and so open the same box once more.
    QTest::keyRelease(&list, Qt::Key_Return);
    QTest::keyRelease(&list, Qt::Key_Escape);
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    // A key pressed and released in the list still previews.
    QTest::keyClick(&list, Qt::Key_Home);
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{2});
}

void WindowsTest::NewResetsProjectToCurrentDirectory() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("sub")));
    session.AddAll();
    session.Modals.Then(ChooseFile(session.PathOf("p.mm")));
    session.Item("SaveAsBtn").trigger();
    QVERIFY(session.Item("SaveBtn").isEnabled());
    session.ConvFrom().setCurrentIndex(2);
    session.ConvTo().setCurrentIndex(1);
    session.InputPath().setText(QStringLiteral("/elsewhere"));
    QDir::setCurrent(session.PathOf("sub"));

    // The formats and a path changed since the project was saved: New asks first.
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Item("NewProject").trigger();
    QCOMPARE(session.Boxes.Texts(), QStringList{"Save changes to the project?"});
    QCOMPARE(session.BmpList().count(), 0);
    QCOMPARE(session.InputPath().text(), QDir::toNativeSeparators(QDir::currentPath()));
    QCOMPARE(session.OutputPath().text(), QDir::toNativeSeparators(QDir::currentPath()));
    QVERIFY(session.InputPath().text().endsWith(QStringLiteral("sub")));
    QCOMPARE(session.ConvFrom().currentIndex(), 0);
    QCOMPARE(session.ConvTo().currentIndex(), 0);
    QVERIFY(!session.Item("SaveBtn").isEnabled());
    QVERIFY(!session.Button("CreateBtn").isEnabled());
    QCOMPARE(session.Windows().Main->ProjectFileName(), session.PathOf("p.mm"));
}

// A project whose folders are relative finds its files from wherever the program runs: the
// preview and the run take them from the project file's folder, and the fields keep the text.
void WindowsTest::RelativeFoldersAreTheProjectFilesOwn() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("mod/art")));
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("elsewhere")));
    WriteBitmap(session.PathOf("mod/art/b.bmp"), 6, 2);
    Project project;
    project.inputDir = "art";
    project.outputDir = ".";
    project.files = {"b.bmp"};
    QVERIFY(SaveProject(project, Local(session.PathOf("mod/p.mm"))));
    QDir::setCurrent(session.PathOf("elsewhere"));
    session.Modals.Then(ChooseFile(session.PathOf("mod/p.mm")));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.InputPath().text(), QStringLiteral("art"));
    QCOMPARE(PreviewPictureSize(session), QSize(6, 2));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
    QCOMPARE(QDir::cleanPath(session.Windows().Main->RunFolder(session.InputPath().text())),
             session.PathOf("mod/art"));
}

namespace {

bool AnyFileDialog() {
    const QWidgetList widgets = QApplication::allWidgets();
    return std::any_of(widgets.begin(), widgets.end(), [](QWidget* widget) {
        return qobject_cast<QFileDialog*>(widget) != nullptr;
    });
}

} // namespace

void WindowsTest::SaveAsSaveAndLoadRoundTrip() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    session.AddAll();
    session.ConvFrom().setCurrentIndex(0);
    session.ConvTo().setCurrentIndex(1);
    const QString path = session.PathOf("project.mm");

    // No file dialog outlives its use: a live one would watch the directory the run writes to.
    QVERIFY(!AnyFileDialog());
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TFileDialog", "SaveDialogMm"}));
    QVERIFY(!AnyFileDialog());
    QCOMPARE(QFileInfo(path).size(), 308 + 2 * 128);
    QVERIFY(session.Item("SaveBtn").isEnabled());
    QCOMPARE(session.Windows().Main->ProjectFileName(), path);

    // "Save" writes the current project to the same file without asking.
    session.Click("DeleteBtn");
    session.Item("SaveBtn").trigger();
    QCOMPARE(session.Modals.Shown.size(), 2);
    QCOMPARE(QFileInfo(path).size(), 308 + 128);
    Project saved;
    QVERIFY(LoadProject(saved, Local(path)));
    QCOMPARE(saved.files, std::vector<std::string>{"a.bmp"});
    QVERIFY(saved.convTo == TargetFormat::Wal);
    QCOMPARE(saved.inputDir, Local(session.InputPath().text()));

    // Loading brings it all back into the controls.
    session.Item("NewProject").trigger();
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Entries(), QStringList{"a.bmp"});
    QCOMPARE(session.BmpList().currentRow(), 0);
    QCOMPARE(session.ConvTo().currentIndex(), 1);
    QVERIFY(session.Button("CreateBtn").isEnabled());
    QVERIFY(session.Item("SaveBtn").isEnabled());
    QCOMPARE(PreviewPictureSize(session), QSize(4, 4));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});

    // Cancelling either dialog changes nothing.
    session.Modals.Then([](QDialog&) { return int(QDialog::Rejected); });
    session.Item("LoadBtn").trigger();
    session.Modals.Then([](QDialog&) { return int(QDialog::Rejected); });
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(session.Windows().Main->ProjectFileName(), path);
    QCOMPARE(session.Entries(), QStringList{"a.bmp"});
}

void WindowsTest::RefusedLoadChangesNothing() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    session.AddAll();
    Project other;
    other.files = {"x.bmp", "y.bmp"};
    const std::vector<std::uint8_t> bytes = EncodeProject(other);
    QByteArray file(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    file[35] = '1'; // version 1.01
    const QString path = session.PathOf("newer.mm");
    WriteText(path, file);

    // Before any project file: "Save" stays disabled and without a name. (The added name is a
    // change not saved: Load asks about it first.)
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Boxes.Texts(),
             (QStringList{"Save changes to the project?", "Could'nt open specified file."}));
    const ShownBox& box = session.Boxes.Shown[1];
    QCOMPARE(box.caption, std::string("Texelary"));
    QVERIFY(box.icon == BoxIcon::Stop && box.buttons == WindowButtons::Ok);
    QCOMPARE(box.detail, std::string("a project file of another version"));
    QVERIFY(!session.Item("SaveBtn").isEnabled());
    QCOMPARE(session.Windows().Main->ProjectFileName(), QString());

    // With a project file of its own: the name, the list, the paths and the formats stay, and
    // "Save" still writes the user's own file, never the refused one.
    const QString mine = session.PathOf("mine.mm");
    session.Modals.Then(ChooseFile(mine));
    session.Item("SaveAsBtn").trigger();
    session.ConvTo().setCurrentIndex(1);
    session.OutputPath().setText(QStringLiteral("/elsewhere"));
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{4});
    QCOMPARE(session.Entries(), QStringList{"a.bmp"});
    QCOMPARE(session.ConvTo().currentIndex(), 1);
    QCOMPARE(session.OutputPath().text(), QStringLiteral("/elsewhere"));
    QVERIFY(session.Item("SaveBtn").isEnabled());
    QCOMPARE(session.Windows().Main->ProjectFileName(), mine);
    session.Item("SaveBtn").trigger();
    QFile refused(path);
    QVERIFY(refused.open(QIODevice::ReadOnly));
    QCOMPARE(refused.readAll(), file);
    Project saved;
    QVERIFY(LoadProject(saved, Local(mine)));
    QCOMPARE(saved.outputDir, std::string("/elsewhere"));
}

void WindowsTest::RefusedLoadSaysWhy_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty and named "missing": no file at all
    QTest::addColumn<QString>("detail");
    QTest::newRow("missing") << QByteArray() << "no such file";
    QTest::newRow("empty") << QByteArray("") << "the file is empty";
    QTest::newRow("cut short") << QByteArray("Texelary\0", 9) << "the file is cut short";
    QTest::newRow("damaged") << QByteArray("not a project") << "not a project file";
}

void WindowsTest::RefusedLoadSaysWhy() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, detail);
    Session session;
    const QString path = session.PathOf("p.mm");
    if (!bytes.isNull()) {
        WriteText(path, bytes);
    }
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Boxes.Texts(), QStringList{"Could'nt open specified file."});
    QCOMPARE(QString::fromStdString(session.Boxes.Shown[0].detail), detail);
}

void WindowsTest::SaveAsAsksBeforeReplacing() {
    Session session;
    const QString path = session.PathOf("taken.mm");
    WriteText(path, "somebody else's file");
    // No: the file stays, and the dialog comes back for another name (cancelled here).
    session.Boxes.Answers = {WindowAnswer::No};
    session.Modals.Then(ChooseFile(path));
    session.Modals.Then([](QDialog&) { return int(QDialog::Rejected); });
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"SaveDialogMm", "SaveDialogMm"}));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const ShownBox& box = session.Boxes.Shown[0];
    QVERIFY(
        QString::fromStdString(box.text).endsWith(QStringLiteral(" already exists. Replace it?")));
    QVERIFY(QString::fromStdString(box.text).contains(QStringLiteral("taken.mm")));
    QVERIFY(box.buttons == WindowButtons::YesNo);
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("somebody else's file"));
    kept.close();
    QVERIFY(!session.Item("SaveBtn").isEnabled());
    QCOMPARE(session.Windows().Main->ProjectFileName(), QString());

    // Yes: replaced.
    session.Boxes.Answers = {WindowAnswer::Yes};
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(QFileInfo(path).size(), 308);
    QCOMPARE(session.Windows().Main->ProjectFileName(), path);
}

void WindowsTest::BoxesShowTheReasonAsInformativeText() {
    QtMessageBoxes boxes;
    QString informative;
    QString defaultButton;
    const auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            informative = box->informativeText();
            defaultButton = box->defaultButton()->text();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Cancel);
    QVERIFY(boxes.ShowMessage("Could'nt find file \"a.bmp\"", "Texelary", WindowButtons::OkCancel,
                              BoxIcon::Stop, "the file is empty") == WindowAnswer::Cancel);
    QCOMPARE(informative, QStringLiteral("The file is empty."));
    answer(QMessageBox::Yes);
    QVERIFY(boxes.ShowMessage("Replace it?", "Texelary", WindowButtons::YesNo, BoxIcon::Exclamation,
                              {}) == WindowAnswer::Yes);
    QCOMPARE(informative, QString());
    QCOMPARE(
        defaultButton,
        QMessageBox(QMessageBox::NoIcon, {}, {}, QMessageBox::No).button(QMessageBox::No)->text());
}

void WindowsTest::FailingHandlersReportWithoutThrowing() {
    Session session;
    WriteText(session.PathOf("b.bmp"), "this is no bitmap at all");
    TMain& main = *session.Windows().Main;
    QVERIFY_THROWS_NO_EXCEPTION(main.ShowPreview(session.Dir(), QStringLiteral("b.bmp")));
    TFileDialog& chooser = *session.Windows().FileDialog;
    chooser.SetDirectory(session.PathOf("gone"));
    bool chosen = true;
    QVERIFY_THROWS_NO_EXCEPTION(chosen = chooser.RunFileDialog());
    QVERIFY(!chosen);
    TPathDialog& paths = *session.Windows().PathDialog;
    bool opened = true;
    QVERIFY_THROWS_NO_EXCEPTION(opened = paths.OpenDirectory(session.PathOf("gone")));
    QVERIFY(!opened);
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{3});
    QVERIFY(QString::fromStdString(session.Boxes.Shown[0].text).contains(QStringLiteral("b.bmp")));
    QVERIFY(!session.Boxes.Shown[0].detail.empty()); // the loader's own words
    QVERIFY(QString::fromStdString(session.Boxes.Shown[1].text).contains(QStringLiteral("gone")));
    QVERIFY(QString::fromStdString(session.Boxes.Shown[2].text).contains(QStringLiteral("gone")));
}

void WindowsTest::SaveThatCannotCreateFileSaysSo() {
    Session session;
    const QString path = session.PathOf("no-such-dir/p.mm");
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(session.Boxes.Texts(), QStringList{"Could'nt create specified file."});
    QCOMPARE(session.Boxes.Shown[0].caption, std::string("Texelary"));
    QVERIFY(session.Boxes.Shown[0].icon == BoxIcon::Stop);
    QVERIFY(session.Item("SaveBtn").isEnabled());
    QVERIFY(!QFileInfo::exists(path));
}

void WindowsTest::SaveWarnsAboutNamesStoredCut() {
    Session session;
    const QString longDir = QStringLiteral("/") + QString(130, QLatin1Char('d'));
    session.InputPath().setText(longDir);
    session.Modals.Then(ChooseFile(session.PathOf("cut.mm")));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const ShownBox& box = session.Boxes.Shown[0];
    QCOMPARE(box.caption, std::string("Texelary"));
    QVERIFY(box.icon == BoxIcon::Exclamation);
    QVERIFY(QString::fromStdString(box.text).contains(longDir));
    QVERIFY(QFileInfo::exists(session.PathOf("cut.mm")));
    // The field itself keeps the whole text.
    QCOMPARE(session.InputPath().text(), longDir);
}

// The first entry is selected and previewed as a .m8, which a bitmap is not: the preview says
// so and stays empty; a real .m8 is then shown.
void WindowsTest::LoadedM8ProjectPreviewsThroughTheM8Reader() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    IndexedImage picture;
    QVERIFY(AllocatePixels(picture, 5, 3));
    picture.width = 5;
    picture.height = 3;
    const std::vector<std::uint8_t> m8 = *WriteM8(picture, Palette{});
    WriteText(session.PathOf("b.m8"), QByteArray(reinterpret_cast<const char*>(m8.data()),
                                                 static_cast<qsizetype>(m8.size())));
    Project project;
    project.inputDir = Local(session.Dir());
    project.outputDir = Local(session.Dir());
    project.convFrom = SourceFormat::M8;
    project.files = {"a.bmp", "b.m8"};
    const QString path = session.PathOf("m8.mm");
    QVERIFY(SaveProject(project, Local(path)));
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "b.m8"}));
    QCOMPARE(session.BmpList().currentRow(), 0);
    QCOMPARE(session.ConvFrom().currentIndex(), 1);
    QVERIFY(session.Button("CreateBtn").isEnabled());
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(session.Boxes.Shown[0].text).contains(QStringLiteral("a.bmp")));
    QVERIFY(!session.Boxes.Shown[0].detail.empty());
    QVERIFY(Preview(session).pixmap().isNull());

    QListWidget& list = session.BmpList();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(1)).center());
    QCOMPARE(PreviewPictureSize(session), QSize(5, 3));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
}

void WindowsTest::PathChooserSetsBothDirectories() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("in/deeper")));
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));
    const QString root = QDir(session.Dir()).canonicalPath();
    auto openAndAccept = [](const QString& name) {
        return [name](QDialog& dialog) {
            auto& list = *dialog.findChild<QListWidget*>(QStringLiteral("Path"));
            const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
            if (found.size() != 1) {
                return int(QDialog::Rejected);
            }
            const QPoint centre = list.visualItemRect(found[0]).center();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OkBtn")),
                              Qt::LeftButton);
            return kClosedByAction;
        };
    };
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then(openAndAccept(QStringLiteral("in")));
    // The chooser opens at the output field's folder, not in "in" where it was left.
    QString opened;
    session.Modals.Then([&opened](QDialog& dialog) {
        auto& chooser = static_cast<TPathDialog&>(dialog);
        opened = chooser.Directory();
        chooser.OpenDirectory(QDir(chooser.Directory()).filePath(QStringLiteral("out")));
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(opened, root);
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", "TPathDialog", "TPathDialog"}));
    // The fields show the folders as the system writes them.
    QCOMPARE(session.InputPath().text(), QDir::toNativeSeparators(root + QStringLiteral("/in")));
    QCOMPARE(session.OutputPath().text(), QDir::toNativeSeparators(root + QStringLiteral("/out")));
    QCOMPARE(QDir::currentPath(), root + QStringLiteral("/out"));

    // The directory list: the folders from the root down, then the subfolders.
    auto& list = *session.Windows().PathDialog->findChild<QListWidget*>(QStringLiteral("Path"));
    QDir top(root);
    while (top.cdUp()) {
    }
    QCOMPARE(list.item(0)->text(), QDir::toNativeSeparators(top.path()));
    QCOMPARE(list.currentItem()->text().trimmed(), QStringLiteral("out"));
    QCOMPARE(list.currentRow(), list.count() - 1);
}

void WindowsTest::CancelledPathChooserKeepsField() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("moved")));
    const QString before = session.InputPath().text();
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([](QDialog& dialog) {
        auto& chooser = static_cast<TPathDialog&>(dialog);
        chooser.OpenDirectory(QDir(chooser.Directory()).filePath(QStringLiteral("moved")));
        return int(QDialog::Rejected);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.InputPath().text(), before);
    QVERIFY(session.Windows().PathDialog->ChosenPath().isEmpty());
    // The chooser and the current directory stay where the user moved to; New takes it.
    QVERIFY(QDir::currentPath().endsWith(QStringLiteral("/moved")));
    session.Item("NewProject").trigger();
    QVERIFY(session.InputPath().text().endsWith(QDir::separator() + QStringLiteral("moved")));
}

void WindowsTest::PathChooserGivesRootWithSeparator() {
    Session session;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([](QDialog& dialog) {
        static_cast<TPathDialog&>(dialog).OpenDirectory(QDir::rootPath());
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.OutputPath().text(), QDir::toNativeSeparators(QDir::rootPath()));
}

void WindowsTest::PathChooserTakesTheHighlightedLine_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");  // in the session's directory, before
    QTest::addColumn<QString>("opened"); // where the chooser opens
    QTest::addColumn<QString>("line");   // clicked once
    QTest::addColumn<QString>("chosen");
    QTest::newRow("input folder") << "BmpDirBtn"
                                  << "in"
                                  << "in"
                                  << "beta"
                                  << "in/beta";
    QTest::newRow("output folder") << "Button1"
                                   << "in"
                                   << "in"
                                   << "beta"
                                   << "in/beta";
    QTest::newRow("a folder gone") << "BmpDirBtn"
                                   << "in/gone"
                                   << "in"
                                   << "beta"
                                   << "in/beta";
    QTest::newRow("an archive") << "BmpDirBtn"
                                << "."
                                << "."
                                << "base.pak"
                                << "base.pak";
    QTest::newRow("the folder above") << "Button1"
                                      << "in/beta"
                                      << "in/beta"
                                      << "in"
                                      << "in";
}

// The chooser opens at the field's folder; OK, pressed with Return, takes the line clicked,
// which the label shows.
void WindowsTest::PathChooserTakesTheHighlightedLine() {
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, opened);
    QFETCH(QString, line);
    QFETCH(QString, chosen);
    Session session;
    WriteTestArchives(session);
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("in/beta")));
    const QString root = QDir(session.Dir()).canonicalPath();
    const auto native = [&root](const QString& path) {
        return QDir::toNativeSeparators(QDir::cleanPath(root + QLatin1Char('/') + path));
    };
    QLineEdit& target =
        button == QLatin1String("Button1") ? session.OutputPath() : session.InputPath();
    target.setText(native(field));
    session.Modals.Then([button](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(button), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    QString shownAt;
    QString label;
    session.Modals.Then([&](QDialog& dialog) {
        shownAt = QDir::toNativeSeparators(static_cast<TPathDialog&>(dialog).Directory());
        auto& list = *dialog.findChild<QListWidget*>(QStringLiteral("Path"));
        const QList<QListWidgetItem*> found = list.findItems(line, Qt::MatchExactly);
        if (found.size() != 1) {
            return int(QDialog::Rejected);
        }
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(found[0]).center());
        label = dialog.findChild<QLineEdit*>(QStringLiteral("PathLabel"))->text();
        auto& ok = *dialog.findChild<QPushButton*>(QStringLiteral("OkBtn"));
        ok.setFocus();
        QTest::keyClick(&ok, Qt::Key_Return);
        return dialog.isVisible() ? int(QDialog::Rejected) : kClosedByAction;
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(shownAt, native(opened));
    QCOMPARE(label, native(chosen));
    QCOMPARE(target.text(), native(chosen));
}

// Typed or pasted paths are taken; "Ok" says why one that the run cannot use is refused, and the
// dialog stays open.
void WindowsTest::SetupDialogTakesTypedPathsThatItCanUse() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("in")));
    WriteText(session.PathOf("notes.txt"), "text");
    const QString native = QDir::toNativeSeparators(session.Dir());
    const struct {
        const char* field;
        QString typed;
        int convTo;
        const char* box; // null: accepted
    } cases[] = {
        {"InputPath", native + QDir::separator() + "in", 0, nullptr},
        {"InputPath", native + QDir::separator() + "gone", 0, "the folder does not exist"},
        {"OutputPath", native + QDir::separator() + "notes.txt", 0, "it is not a folder"},
        {"OutputPath", native + QDir::separator() + "out.pak", 0, nullptr},
        {"OutputPath", native + QDir::separator() + "gone" + QDir::separator() + "out.wad",
         IndexOf(TargetFormat::Wad2), "the folder does not exist"},
    };
    for (const auto& c : cases) {
        session.Boxes.Shown.clear();
        session.ConvTo().setCurrentIndex(c.convTo);
        QLineEdit& field = QString::fromLatin1(c.field) == QLatin1String("InputPath")
                               ? session.InputPath()
                               : session.OutputPath();
        const QString before = field.text();
        bool stayedOpen = false;
        session.Modals.Then([&](QDialog& setup) {
            field.setFocus();
            field.selectAll();
            QTest::keyClicks(&field, c.typed);
            QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("OkBtn")),
                              Qt::LeftButton);
            stayedOpen = setup.isVisible();
            return stayedOpen ? int(QDialog::Rejected) : kClosedByAction;
        });
        session.Item("PropertiesBtn").trigger();
        QCOMPARE(field.text(), c.typed);
        QCOMPARE(stayedOpen, c.box != nullptr);
        if (c.box != nullptr) {
            QCOMPARE(session.Boxes.Texts(), QStringList{"\"" + c.typed + "\" is not a folder"});
            QCOMPARE(session.Boxes.Shown[0].detail, std::string(c.box));
            field.setText(before);
        } else {
            QVERIFY(session.Boxes.Shown.empty());
        }
    }
}

void WindowsTest::PathChooserTakesATypedFolder() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("a/b")));
    const QString typed = QDir::toNativeSeparators(session.PathOf("a/b"));
    const QString missing = QDir::toNativeSeparators(session.PathOf("a/none"));
    bool refused = false;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& chooser) {
        auto& field = *chooser.findChild<QLineEdit*>(QStringLiteral("PathLabel"));
        field.selectAll();
        QTest::keyClicks(&field, missing);
        QTest::keyClick(&field, Qt::Key_Return);
        refused = chooser.isVisible() && session.Boxes.Shown.size() == 1;
        field.selectAll();
        QTest::keyClicks(&field, typed);
        QTest::keyClick(&field, Qt::Key_Return);
        return chooser.isVisible() ? int(QDialog::Rejected) : kClosedByAction;
    });
    session.Item("PropertiesBtn").trigger();
    QVERIFY(refused);
    QCOMPARE(session.Boxes.Texts(), QStringList{"\"" + missing + "\" is not a folder"});
    QCOMPARE(session.OutputPath().text(), typed);
}

void WindowsTest::SetupDialogKeepsChangesWhenClosed() {
    Session session;
    session.Modals.Then([](QDialog& setup) {
        setup.findChild<QComboBox*>(QStringLiteral("ConvFrom"))->setCurrentIndex(1);
        setup.findChild<QComboBox*>(QStringLiteral("ConvTo"))->setCurrentIndex(0);
        setup.close();
        return kClosedByAction;
    });
    session.Item("PropertiesBtn").trigger();
    // Heretic2 to Heretic2 is accepted; the close box keeps every change.
    QCOMPARE(session.ConvFrom().currentIndex(), 1);
    QCOMPARE(session.ConvTo().currentIndex(), 0);
    QCOMPARE(session.ConvFrom().count(), kSourceFormatCount);
    QVERIFY(!session.ConvFrom().isEditable());
}

void WindowsTest::OtherSourceFormatAsksToClearTheList_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("keys"); // pressed on "Convert from": d Down, u Up
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("left");
    const int yes = int(WindowAnswer::Yes);
    const int no = int(WindowAnswer::No);
    QTest::newRow("yes clears") << 2 << "d" << yes << 1 << 0;
    QTest::newRow("no keeps") << 2 << "d" << no << 1 << 2;
    QTest::newRow("no, then back to the list's own") << 2 << "du" << no << 1 << 2;
    QTest::newRow("no, then a third") << 2 << "dd" << no << 2 << 2;
    QTest::newRow("empty list") << 0 << "d" << yes << 0 << 0;
}

// The user's own choice of another format to convert from asks whether to clear the list.
void WindowsTest::OtherSourceFormatAsksToClearTheList() {
    QFETCH(int, files);
    QFETCH(QString, keys);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(int, left);
    Session session;
    for (int i = 0; i < files; ++i) {
        WriteBitmap(session.PathOf(QStringLiteral("%1.bmp").arg(i)), 4, 4);
    }
    if (files > 0) {
        session.AddAll();
    }
    session.Boxes.Answers = {WindowAnswer(answer), WindowAnswer(answer)};
    session.Modals.Then([keys](QDialog& setup) {
        auto& from = *setup.findChild<QComboBox*>(QStringLiteral("ConvFrom"));
        for (const QChar key : keys) {
            QTest::keyClick(&from, key == QLatin1Char('d') ? Qt::Key_Down : Qt::Key_Up);
        }
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Boxes.Shown.size(), std::size_t(questions));
    for (const ShownBox& box : session.Boxes.Shown) {
        QCOMPARE(
            box.text,
            std::string("The image list holds files chosen for another format. Clear the list?"));
        QVERIFY(box.buttons == WindowButtons::YesNo);
    }
    QCOMPARE(session.BmpList().count(), left);
    QCOMPARE(session.Button("CreateBtn").isEnabled(), left > 0);
    QCOMPARE(session.ConvFrom().currentIndex(),
             int(keys.count(QLatin1Char('d')) - keys.count(QLatin1Char('u'))));
}

void WindowsTest::OutputFileDialogsFillTheOutputField_data() {
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("extension");
    QTest::newRow("wad2, Browse...") << IndexOf(TargetFormat::Wad2) << "Button1"
                                     << "SaveDialogWad"
                                     << "wad";
    QTest::newRow("wad3, Browse...") << IndexOf(TargetFormat::Wad3) << "Button1"
                                     << "SaveDialogWad"
                                     << "wad";
    QTest::newRow("png, Pak...") << IndexOf(TargetFormat::Png) << "PakBtn"
                                 << "SaveDialogPak"
                                 << "pak";
    QTest::newRow("wal, Pak...") << IndexOf(TargetFormat::Wal) << "PakBtn"
                                 << "SaveDialogPak"
                                 << "pak";
}

// A save dialog for the one file of the run's outputs: it opens in the output folder, offers
// files of the extension and adds it to a name typed without one.
void WindowsTest::OutputFileDialogsFillTheOutputField() {
    QFETCH(int, to);
    QFETCH(QString, button);
    QFETCH(QString, dialog);
    QFETCH(QString, extension);
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));
    session.OutputPath().setText(QDir::toNativeSeparators(session.PathOf("out")));
    session.ConvTo().setCurrentIndex(to);
    bool pakEnabled = false;
    session.Modals.Then([&](QDialog& setup) {
        pakEnabled = setup.findChild<QPushButton*>(QStringLiteral("PakBtn"))->isEnabled();
        QTest::mouseClick(setup.findChild<QPushButton*>(button), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    QString opened;
    QStringList filters;
    bool saves = false;
    session.Modals.Then([&](QDialog& shown) {
        auto* files = qobject_cast<QFileDialog*>(&shown);
        if (files == nullptr) {
            return int(QDialog::Rejected);
        }
        opened = files->directory().absolutePath();
        filters = files->nameFilters();
        saves = files->acceptMode() == QFileDialog::AcceptSave;
        files->selectFile(QStringLiteral("textures"));
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", dialog}));
    QCOMPARE(pakEnabled, extension == "pak");
    QCOMPARE(opened, session.PathOf("out"));
    QCOMPARE(filters, QStringList{"*." + extension + " (*." + extension + ")"});
    QVERIFY(saves);
    QCOMPARE(session.OutputPath().text(),
             QDir::toNativeSeparators(session.PathOf("out/textures." + extension)));
    QVERIFY(!AnyFileDialog());

    // Cancelled, the field keeps the file; the next dialog opens in that file's folder.
    opened.clear();
    session.Modals.Then([&](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(button), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& shown) {
        if (auto* files = qobject_cast<QFileDialog*>(&shown)) {
            opened = files->directory().absolutePath();
        }
        return int(QDialog::Rejected);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(opened, session.PathOf("out"));
    QCOMPARE(session.OutputPath().text(),
             QDir::toNativeSeparators(session.PathOf("out/textures." + extension)));
}

void WindowsTest::AboutIsShownModally() {
    Session session;
    bool modal = false;
    session.Modals.Then([&](QDialog& about) {
        modal = about.isModal() && QApplication::activeModalWidget() == &about;
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return kClosedByAction;
    });
    session.Item("AboutBtn").trigger();
    QCOMPARE(session.Modals.Shown, QStringList{"TAboutDialog"});
    QVERIFY(modal);
    QVERIFY(!session.Windows().AboutDialog->isVisible());
    QCOMPARE(session.Windows().AboutDialog->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
             QStringLiteral("Texelary ") + QString::fromLatin1(kVersion));
}

void WindowsTest::EnterPressesAddOrFocusedButton() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    session.BmpList().setFocus();
    session.Modals.Then([](QDialog&) { return int(QDialog::Rejected); });
    QTest::keyClick(&session.BmpList(), Qt::Key_Return);
    QCOMPARE(session.Modals.Shown, QStringList{"TFileDialog"});

    session.Modals.Then([](QDialog&) { return int(QDialog::Accepted); });
    session.Button("DeleteBtn").setFocus();
    QTest::keyClick(&session.Button("DeleteBtn"), Qt::Key_Return);
    QCOMPARE(session.Modals.Shown, QStringList{"TFileDialog"}); // Delete, not Add
    QVERIFY(!session.Modals.Empty());
}

void WindowsTest::DriveChangeShowsThatVolume() {
    Session session;
    TPathDialog& chooser = *session.Windows().PathDialog;
    auto& drive = *chooser.findChild<QComboBox*>(QStringLiteral("Drive"));
    const int root = drive.findData(QDir::rootPath());
    QVERIFY(root >= 0);
    QCOMPARE(drive.itemData(drive.currentIndex()).toString(),
             QStorageInfo(session.Dir()).rootPath());
    drive.setCurrentIndex(root);
    emit drive.activated(root);
    QCOMPARE(chooser.Directory(), QDir::rootPath());
    QCOMPARE(QDir::currentPath(), QDir::rootPath());
    auto& list = *chooser.findChild<QListWidget*>(QStringLiteral("Path"));
    QCOMPARE(list.currentRow(), 0);
    QCOMPARE(list.currentItem()->text(), QDir::toNativeSeparators(QDir::rootPath()));
    QVERIFY(list.count() > 1);
}

void WindowsTest::EnterOpensFolderInPathChooser() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("alpha")));
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("beta")));
    QString shown;
    int result = -1;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& dialog) {
        auto& list = *dialog.findChild<QListWidget*>(QStringLiteral("Path"));
        list.setCurrentRow(list.count() - 1); // "beta", the last subfolder
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Return);
        shown = static_cast<TPathDialog&>(dialog).Directory();
        result = dialog.result();
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    // Enter opened the folder and did not press a button.
    QCOMPARE(shown, QDir(session.Dir()).canonicalPath() + QStringLiteral("/beta"));
    QCOMPARE(result, 0);
    QCOMPARE(session.InputPath().text(), QDir::toNativeSeparators(shown));
}

namespace {

// Opens the path chooser from the setup dialog and runs `look` inside it.
void InPathChooser(Session& session, std::function<void(TPathDialog&, QListWidget&)> look) {
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([look](QDialog& dialog) {
        look(static_cast<TPathDialog&>(dialog),
             *dialog.findChild<QListWidget*>(QStringLiteral("Path")));
        return int(QDialog::Rejected);
    });
    session.Modals.Shown.clear();
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", "TPathDialog"}));
}

// The leftmost column in `row`'s line where anything is drawn on the list's background.
int FirstDrawnColumn(QListWidget& list, int row) {
    const QImage picture = list.viewport()->grab().toImage();
    const QRect line = list.visualItemRect(list.item(row));
    const QRgb background = picture.pixel(list.viewport()->width() - 2, line.center().y());
    for (int x = line.left(); x <= line.right(); ++x) {
        for (int y = line.top(); y <= line.bottom(); ++y) {
            if (picture.pixel(x, y) != background) {
                return x;
            }
        }
    }
    return -1;
}

} // namespace

void WindowsTest::TypingInPathChooserFindsFolder() {
    Session session;
    for (const char* name : {"alpha", "gui", "zeta"}) {
        QVERIFY(QDir(session.Dir()).mkdir(QString::fromLatin1(name)));
    }
    QString found;
    InPathChooser(session, [&](TPathDialog&, QListWidget& list) {
        QTest::keyClick(&list, Qt::Key_G);
        found = list.currentItem()->text();
    });
    QCOMPARE(found, QStringLiteral("gui"));
}

void WindowsTest::PathChooserIndentsPicturesWithNames() {
    Session session;
    int root = -1;
    int child = -1;
    InPathChooser(session, [&](TPathDialog&, QListWidget& list) {
        list.setCurrentRow(list.count() - 1); // away from the lines looked at
        root = FirstDrawnColumn(list, 0);
        child = FirstDrawnColumn(list, 1);
    });
    // The folder picture starts each line, one step further right for each level.
    QVERIFY(root >= 0);
    QCOMPARE(child - root, FolderLines::kIndent);
}

void WindowsTest::PathChooserOpensWithFoldersFocused() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("sub")));
    InPathChooser(session, [](TPathDialog& dialog, QListWidget&) {
        dialog.findChild<QComboBox*>(QStringLiteral("Drive"))->setFocus();
    });
    QWidget* focused = nullptr;
    InPathChooser(session,
                  [&](TPathDialog& dialog, QListWidget&) { focused = dialog.focusWidget(); });
    QVERIFY(focused != nullptr);
    QCOMPARE(focused->objectName(), QStringLiteral("Path"));
}

namespace {

// The lines below the current one: what the directory the list shows holds.
QStringList LinesBelow(const QListWidget& list) {
    return Texts(list).mid(list.currentRow() + 1);
}

// Double-clicks the line named `name`, as a user opens it.
void OpenLine(QListWidget& list, const QString& name) {
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    if (found.size() != 1) {
        throw std::runtime_error("no single line " + name.toStdString());
    }
    const QPoint centre = list.visualItemRect(found[0]).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
}

QImage PictureOf(const QListWidget& list, const QString& name) {
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    return found.size() == 1 ? found[0]->icon().pixmap(16, 16).toImage() : QImage();
}

} // namespace

// Where textures are read from, paks and wads stand beside the folders with a picture of their
// own and open as folders; where outputs go, folders alone are offered.
void WindowsTest::PathChooserOpensArchivesLikeFolders() {
    Session session;
    WriteTestArchives(session);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("sub")));
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("folder.pak")));
    WriteText(session.PathOf("BAD.PAK"), QByteArray("PACK\x0c\0\0\0\x40\0\0\0", 12));
    const QString root = QDir(session.Dir()).canonicalPath();
    QStringList top;
    QStringList inPak;
    QStringList inTextures;
    bool ownPicture = false;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& dialog) {
        auto& list = *dialog.findChild<QListWidget*>(QStringLiteral("Path"));
        top = LinesBelow(list);
        ownPicture = PictureOf(list, "base.pak") != PictureOf(list, "sub") &&
                     PictureOf(list, "gfx.wad") == PictureOf(list, "base.pak");
        OpenLine(list, "base.pak");
        inPak = LinesBelow(list);
        OpenLine(list, "textures");
        inTextures = LinesBelow(list);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OkBtn")), Qt::LeftButton);
        return kClosedByAction;
    });
    QStringList forOutput;
    session.Modals.Then([&](QDialog& dialog) {
        forOutput = LinesBelow(*dialog.findChild<QListWidget*>(QStringLiteral("Path")));
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", "TPathDialog", "TPathDialog"}));
    QCOMPARE(top, (QStringList{"folder.pak", "sub", "BAD.PAK", "base.pak", "gfx.wad", "half.wad"}));
    QVERIFY(ownPicture);
    QCOMPARE(inPak, (QStringList{"sound", "textures"}));
    QCOMPARE(inTextures, QStringList{"e1"});
    QCOMPARE(session.InputPath().text(),
             QDir::toNativeSeparators(root + QStringLiteral("/base.pak/textures")));
    // Opening an archive leaves the process's current directory in the folder that holds it. The
    // output's chooser opens there, without the archives.
    QCOMPARE(QDir::currentPath(), root);
    QCOMPARE(forOutput, (QStringList{"folder.pak", "sub"}));
    QCOMPARE(session.OutputPath().text(), QDir::toNativeSeparators(root));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});

    // A wad holds no folders. An archive that can't be read, or a folder a pak doesn't have, is
    // reported, and the list stays as it was.
    TPathDialog& chooser = *session.Windows().PathDialog;
    auto& list = *chooser.findChild<QListWidget*>(QStringLiteral("Path"));
    QVERIFY(chooser.OpenDirectory(root + QStringLiteral("/gfx.wad")));
    QCOMPARE(chooser.Directory(), root + QStringLiteral("/gfx.wad"));
    QCOMPARE(list.currentItem()->text(), QStringLiteral("gfx.wad"));
    QCOMPARE(LinesBelow(list), QStringList{});
    const QStringList before = Texts(list);
    QVERIFY(!chooser.OpenDirectory(root + QStringLiteral("/BAD.PAK")));
    QVERIFY(!chooser.OpenDirectory(root + QStringLiteral("/base.pak/maps")));
    QCOMPARE(Texts(list), before);
    QCOMPARE(chooser.Directory(), root + QStringLiteral("/gfx.wad"));
    QCOMPARE(session.Boxes.Texts(),
             (QStringList{"Cannot read the archive \"" +
                              QDir::toNativeSeparators(root + QStringLiteral("/BAD.PAK")) + "\".",
                          "Cannot read the directory \"" +
                              QDir::toNativeSeparators(root + QStringLiteral("/base.pak/maps")) +
                              "\"."}));
    QVERIFY(!session.Boxes.Shown[0].detail.empty());
}

void WindowsTest::DeleteKeyRemovesSelectedEntry() {
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 4, 4);
    }
    session.AddAll();
    QListWidget& list = session.BmpList();
    list.setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp"}));
    QCOMPARE(list.currentRow(), 1);
}

void WindowsTest::DeleteRemovesEverySelectedEntry_data() {
    QTest::addColumn<QString>("how");     // after a click on the first row, if any
    QTest::addColumn<QList<int>>("rows"); // clicked in turn
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("newCurrent");
    QTest::newRow("ctrl-click") << "ctrl" << QList<int>{1, 3}
                                << QStringList{"a.bmp", "c.bmp", "e.bmp"} << 1;
    QTest::newRow("shift-click") << "shift" << QList<int>{1, 3} << QStringList{"a.bmp", "e.bmp"}
                                 << 1;
    QTest::newRow("shift-click to the end")
        << "shift" << QList<int>{2, 4} << QStringList{"a.bmp", "b.bmp"} << 1;
    QTest::newRow("ctrl+a") << "ctrl+a" << QList<int>{} << QStringList{} << -1;
}

// Shift and Ctrl with a click, and Ctrl+A, select many entries; the preview shows the current
// one; Delete removes them all.
void WindowsTest::DeleteRemovesEverySelectedEntry() {
    QFETCH(QString, how);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, remaining);
    QFETCH(int, newCurrent);
    Session session;
    const QStringList names{"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};
    for (int i = 0; i < names.size(); ++i) {
        WriteBitmap(session.PathOf(names[i]), 4 + i, 4); // each its own width
    }
    session.AddAll();
    QListWidget& list = session.BmpList();
    list.setFocus();
    const Qt::KeyboardModifiers modifiers = how == QLatin1String("ctrl")    ? Qt::ControlModifier
                                            : how == QLatin1String("shift") ? Qt::ShiftModifier
                                                                            : Qt::NoModifier;
    for (int i = 0; i < rows.size(); ++i) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : modifiers,
                          list.visualItemRect(list.item(rows[i])).center());
    }
    if (how == QLatin1String("ctrl+a")) {
        QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(SelectedTexts(list), names);
    }
    QCOMPARE(PreviewPictureSize(session), QSize(4 + list.currentRow(), 4));
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(session.Entries(), remaining);
    QCOMPARE(list.currentRow(), newCurrent);
    QCOMPARE(SelectedTexts(list),
             newCurrent < 0 ? QStringList{} : QStringList{remaining[newCurrent]});
    QCOMPARE(session.Button("CreateBtn").isEnabled(), newCurrent >= 0);
}

void WindowsTest::KeysRunTheFileMenuAndQuit() {
    Session session;
    TMain& main = *session.Windows().Main;
    // A window's keys work while it is the active window, as it is after each dialog closes.
    auto press = [&main](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, key, modifiers);
    };
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    session.AddAll();
    const QString path = session.PathOf("keys.mm");

    // Ctrl+S on a project without a file asks for its name, as Ctrl+Shift+S does; then it saves
    // there without asking.
    session.Modals.Then(ChooseFile(path));
    press(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QFileInfo(path).size(), 308 + 128);
    session.Click("DeleteBtn");
    press(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QFileInfo(path).size(), 308);
    session.Modals.Then(ChooseFile(path));
    session.Boxes.Answers = {WindowAnswer::Yes};
    press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    session.AddAll();
    session.Boxes.Answers = {WindowAnswer::Discard};
    press(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(session.BmpList().count(), 0);
    session.Modals.Then(ChooseFile(path));
    press(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(session.Windows().Main->ProjectFileName(), path);
    QCOMPARE(session.Modals.Shown, (QStringList{"TFileDialog", "SaveDialogMm", "SaveDialogMm",
                                                "TFileDialog", "OpenDialogMm"}));
    press(Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!main.isVisible());
}

void WindowsTest::TitleNamesTheProjectFile() {
    Session session;
    TMain& main = *session.Windows().Main;
    QCOMPARE(main.windowTitle(), QStringLiteral("Texelary"));
    const QString path = session.PathOf("stones.mm");
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(main.windowTitle(), QStringLiteral("stones.mm - Texelary"));
    session.Item("NewProject").trigger();
    QCOMPARE(main.windowTitle(), QStringLiteral("Texelary"));
    QVERIFY(main.OpenProjectFile(path));
    QCOMPARE(main.windowTitle(), QStringLiteral("stones.mm - Texelary"));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0}); // nothing was changed in between

    // A star marks changes not saved, until they are saved or set aside.
    session.OutputPath().setText(session.PathOf("out"));
    QCOMPARE(main.windowTitle(), QStringLiteral("stones.mm* - Texelary"));
    session.Item("SaveBtn").trigger();
    QCOMPARE(main.windowTitle(), QStringLiteral("stones.mm - Texelary"));
    session.ConvTo().setCurrentIndex(1);
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Item("NewProject").trigger();
    QCOMPARE(main.windowTitle(), QStringLiteral("Texelary"));
    session.InputPath().setText(session.PathOf("in"));
    QCOMPARE(main.windowTitle(), QStringLiteral("Texelary*"));
}

void WindowsTest::ChangesNotSavedAreAskedAbout_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("changed"); // a name added after the project was saved
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<bool>("saved");
    const int save = int(WindowAnswer::Save);
    const int discard = int(WindowAnswer::Discard);
    const int cancel = int(WindowAnswer::Cancel);
    QTest::newRow("new, save") << "new" << true << save << true << true;
    QTest::newRow("new, discard") << "new" << true << discard << true << false;
    QTest::newRow("new, cancel") << "new" << true << cancel << false << false;
    QTest::newRow("new, nothing changed") << "new" << false << cancel << true << false;
    QTest::newRow("load, save") << "load" << true << save << true << true;
    QTest::newRow("load, cancel") << "load" << true << cancel << false << false;
    QTest::newRow("quit, discard") << "quit" << true << discard << true << false;
    QTest::newRow("quit, cancel") << "quit" << true << cancel << false << false;
    QTest::newRow("quit, nothing changed") << "quit" << false << cancel << true << false;
}

void WindowsTest::ChangesNotSavedAreAskedAbout() {
    QFETCH(QString, command);
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(bool, goesOn);
    QFETCH(bool, saved);
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    const QString path = session.PathOf("p.mm");
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    if (changed) {
        session.AddAll();
    }
    session.Boxes.Answers = {WindowAnswer(answer)};
    if (command == "new") {
        session.Item("NewProject").trigger();
    } else if (command == "load") {
        session.Modals.Then([](QDialog&) { return int(QDialog::Rejected); });
        session.Item("LoadBtn").trigger();
    } else {
        session.Click("QuitBtn");
    }
    QCOMPARE(session.Boxes.Texts(),
             changed ? QStringList{"Save changes to the project?"} : QStringList{});
    if (changed) {
        QVERIFY(session.Boxes.Shown[0].buttons == WindowButtons::SaveDiscardCancel);
    }
    bool wentOn = !session.Windows().Main->isVisible(); // quit
    if (command == "new") {
        wentOn = !session.Item("SaveBtn").isEnabled();
    } else if (command == "load") {
        wentOn = session.Modals.Shown.contains("OpenDialogMm");
    }
    QCOMPARE(wentOn, goesOn);
    QCOMPARE(QFileInfo(path).size(), saved ? 308 + 128 : 308);
}

void WindowsTest::DroppedFilesAreAddedWhenTheyMayBe() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteText(session.PathOf("b.wal"), "x");
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("other/folder.bmp")));
    WriteBitmap(session.PathOf("other/c.bmp"), 4, 4);
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(session.PathOf("a.bmp")),
                     QUrl::fromLocalFile(session.PathOf("b.wal")),
                     QUrl::fromLocalFile(session.PathOf("other/c.bmp")),
                     QUrl::fromLocalFile(session.PathOf("other/folder.bmp")),
                     QUrl(QStringLiteral("https://example.org/d.bmp"))});
    QWidget& target = *session.BmpList().viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);

    QCOMPARE(session.Entries(), QStringList{"a.bmp"});
    QCOMPARE(session.BmpList().currentRow(), 0);
    QVERIFY(session.Button("CreateBtn").isEnabled());
    QCOMPARE(PreviewPictureSize(session), QSize(4, 4));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{1});
    const QStringList lines = session.Boxes.Texts()[0].split(QLatin1Char('\n'));
    const QString input = QDir::toNativeSeparators(session.InputPath().text());
    QCOMPARE(lines,
             (QStringList{"Not added to the image list:",
                          "b.wal: the project converts from Windows Bitmap (*.bmp)",
                          "c.bmp: not in the input directory " + input, "folder.bmp: not a file",
                          "https://example.org/d.bmp: not a file on this computer"}));
    QVERIFY(session.Boxes.Shown[0].icon == BoxIcon::Exclamation);

    // A wad's textures are its lumps: a wad dropped is no texture of it.
    WriteTestArchives(session);
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad2));
    QMimeData wad;
    wad.setUrls({QUrl::fromLocalFile(session.PathOf("gfx.wad"))});
    QDragEnterEvent wadEnter(QPoint(5, 5), Qt::CopyAction, &wad, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &wadEnter);
    QDropEvent wadDrop(QPointF(5, 5), Qt::CopyAction, &wad, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &wadDrop);
    QCOMPARE(session.Entries(), QStringList{"a.bmp"});
    QCOMPARE(session.Boxes.Texts().value(1),
             QStringLiteral("Not added to the image list:\n"
                            "gfx.wad: the project converts from WAD2 textures (*.wad)"));
}

int RunWindowsTests(int argc, char** argv) {
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test

#include "WindowsTest.moc"
