// "Create...": the progress window, its worker and the outcome boxes, over real files.

#include "FormatFiles.h"
#include "UiTestSupport.h"
#include "archives/ArchiveInput.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "project/ProjectFile.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/TMain.h"
#include "ui/project/ProjectModel.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <new>

namespace texelary::test {

namespace {

QProgressBar& Bar(Session& session) {
    return session.Windows().ProcessDialog->Bar();
}

} // namespace

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void ThreeEntriesRunToAllDone();
    void SecondCreateRunsAgain();
    void CancelInNotFoundBoxAborts();
    void FailedFilesSayWhy();
    void OutputFolderThatTakesNoFilesIsRefusedBeforeTheRun_data();
    void OutputFolderThatTakesNoFilesIsRefusedBeforeTheRun();
    void ProgressCancelStopsLongRun();
    void ProgressWindowHasNoCloseBox();
    void CancelWhileAllDoneIsOpenKeepsWindowUntilOk();
    void LoadedEmptyProjectRunsToAbortedAtOnce();
    void KeptHeaderAndAveragedMipsReachTheRun();
    void TransparentIndexAndDitherReachTheRun();
    void FullbrightIsSavedAndReachesTheRun();
    void PaletteFileIsCheckedSavedAndReachesTheRun();
    void ArchivesInAndOut_data();
    void ArchivesInAndOut();
    void BoxesOpenInFrontOfTheWindowInUse();
    void ProgressNamesTheEntryInHand();
    void CancelInABoxDropsTheFilesConvertedAhead();
    void RunThatThrowsEndsAsAborted();
    void LastBoxListsTheFailuresAndMarksTheRows();
    void SaveListWritesBesideTheOutput_data();
    void SaveListWritesBesideTheOutput();
};

void RunTest::ThreeEntriesRunToAllDone() {
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 8, 8);
    }
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));
    session.AddAll();
    session.OutputPath().setText(session.PathOf("out"));

    QList<int> positions;
    QList<bool> onGuiThread;
    connect(&Bar(session), &QProgressBar::valueChanged, this, [&](int value) {
        positions.append(value);
        onGuiThread.append(QThread::currentThread() == thread());
    });
    session.Click("CreateBtn");

    // Create... returns only once the window has closed after the box was dismissed.
    QCOMPARE(positions, (QList<int>{33, 66, 100, 0}));
    QVERIFY(!onGuiThread.contains(false));
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
    const ShownBox& box = session.Boxes.Shown[0];
    QCOMPARE(box.caption, std::string("Texelary"));
    QCOMPARE(box.detail, std::string("3 converted, 0 failed"));
    QVERIFY(box.icon == BoxIcon::Information && box.buttons == WindowButtons::Ok);
    QVERIFY(box.progressVisible);
    QVERIFY(box.onGuiThread);
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
    QCOMPARE(Bar(session).value(), 0);
    QVERIFY(session.Windows().CurrentWorker == nullptr);
    for (const char* name : {"out/a.m8", "out/b.m8", "out/c.m8"}) {
        QVERIFY2(QFileInfo::exists(session.PathOf(QString::fromLatin1(name))), name);
    }
    // The main window is unchanged by a run.
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "b.bmp", "c.bmp"}));
}

void RunTest::SecondCreateRunsAgain() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 8, 8);
    session.AddAll();
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
    QVERIFY(QFileInfo::exists(session.PathOf("a.m8")));

    // The second run works over the current list and target.
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    session.Add([](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        files.setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        return int(QDialog::Accepted);
    });
    session.ConvTo().setCurrentIndex(1);
    QList<int> positions;
    connect(&Bar(session), &QProgressBar::valueChanged, this,
            [&](int value) { positions.append(value); });
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), (QStringList{"All done", "All done"}));
    QCOMPARE(positions, (QList<int>{50, 100, 0}));
    QVERIFY(QFileInfo::exists(session.PathOf("a.wal")));
    QVERIFY(QFileInfo::exists(session.PathOf("b.wal")));
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
}

void RunTest::CancelInNotFoundBoxAborts() {
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 8, 8);
    }
    session.AddAll();
    QVERIFY(QFile::remove(session.PathOf("b.bmp")));
    session.Boxes.Answers = {WindowAnswer::Cancel};
    QList<int> positions;
    connect(&Bar(session), &QProgressBar::valueChanged, this,
            [&](int value) { positions.append(value); });
    session.Click("CreateBtn");

    // As the system writes paths: C:\tex\b.bmp on Windows.
    const QString missing =
        QDir::toNativeSeparators(QDir(session.Dir()).filePath(QStringLiteral("b.bmp")));
    QCOMPARE(session.Boxes.Texts(),
             (QStringList{"Could'nt find file \"" + missing + "\"", "Process has been aborted"}));
    QVERIFY(session.Boxes.Shown[0].buttons == WindowButtons::OkCancel);
    QVERIFY(session.Boxes.Shown[1].icon == BoxIcon::Exclamation);
    // a.bmp converted and b.bmp failed; c.bmp was not begun.
    QCOMPARE(session.Boxes.Shown[1].detail, std::string("2 of 3 files were done"));
    QVERIFY(session.Boxes.Shown[1].progressVisible);
    QVERIFY(session.Boxes.Shown[0].onGuiThread && session.Boxes.Shown[1].onGuiThread);
    QCOMPARE(positions, (QList<int>{33, 0}));
    QVERIFY(QFileInfo::exists(session.PathOf("a.m8")));
    QVERIFY(!QFileInfo::exists(session.PathOf("c.m8")));
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
}

void RunTest::FailedFilesSayWhy() {
    Session session;
    WriteBitmap(session.PathOf("cut.bmp"), 8, 8);
    QVERIFY(QFile::resize(session.PathOf("cut.bmp"), 1078 + 20));
    QImage deep(2, 2, QImage::Format_RGB888);
    deep.fill(Qt::red);
    QVERIFY(deep.save(session.PathOf("deep.bmp"), "BMP"));
    WriteText(session.PathOf("empty.bmp"), {});
    WriteBitmap(session.PathOf("missing.bmp"), 2, 2);
    WriteBitmap(session.PathOf("wall.bmp"), 2, 2);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("wall.m8"))); // no file can be written there
    WriteBitmap(session.PathOf("wide.bmp"), 2, 2);
    session.AddAll();
    QVERIFY(QFile::remove(session.PathOf("missing.bmp")));
    session.Click("CreateBtn");

    QStringList details;
    for (const ShownBox& box : session.Boxes.Shown) {
        details.append(QString::fromStdString(box.detail));
    }
    QCOMPARE(details,
             (QStringList{"the file ends before its picture data",
                          "not a 256-colour picture (8 bits per pixel)", "the file is empty",
                          "no such file", "something other than a file has that name",
                          "1 converted, 5 failed"}));
    QCOMPARE(session.Boxes.Texts().constLast(), QStringLiteral("All done"));
    QVERIFY(session.Boxes.Texts()[0].startsWith(QStringLiteral("Could'nt find file ")));
    QVERIFY(session.Boxes.Texts()[4].startsWith(QStringLiteral("Error writing ")));
    // Failures end in a warning, a run without any in the information icon.
    QVERIFY(session.Boxes.Shown.back().icon == BoxIcon::Exclamation);
    QVERIFY(QFileInfo::exists(session.PathOf("wide.m8")));
}

void RunTest::OutputFolderThatTakesNoFilesIsRefusedBeforeTheRun_data() {
    QTest::addColumn<QString>("output"); // in the session's directory
    QTest::addColumn<QString>("detail");
    QTest::newRow("missing") << "gone"
                             << "the folder does not exist";
    QTest::newRow("a file") << "a.bmp"
                            << "it is not a folder";
    QTest::newRow("read-only") << "locked"
                               << "the folder is read-only";
}

// One box before the run, and no run: no progress window, no worker, nothing written.
void RunTest::OutputFolderThatTakesNoFilesIsRefusedBeforeTheRun() {
    QFETCH(QString, output);
    QFETCH(QString, detail);
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 8, 8);
    WriteBitmap(session.PathOf("b.bmp"), 8, 8);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(session.PathOf("locked"), QFile::ReadOwner | QFile::ExeOwner);
    QString path = session.PathOf(output);
    if (output == QLatin1String("locked") && QTemporaryFile(path + "/probe-XXXXXX").open()) {
        // An administrator writes into read-only folders; the process's own files are not.
#ifdef Q_OS_LINUX
        path = QStringLiteral("/proc");
#else
        QSKIP("this user writes into read-only folders");
#endif
    }
    session.AddAll();
    session.OutputPath().setText(QDir::toNativeSeparators(path));
    bool progressShown = false;
    connect(&Bar(session), &QProgressBar::valueChanged, this, [&] { progressShown = true; });
    session.Click("CreateBtn");
    QFile::setPermissions(session.PathOf("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(session.Boxes.Texts(), QStringList{"Cannot write into the output folder \"" +
                                                QDir::toNativeSeparators(path) + "\""});
    QCOMPARE(QString::fromStdString(session.Boxes.Shown[0].detail), detail);
    QVERIFY(session.Boxes.Shown[0].icon == BoxIcon::Stop);
    QVERIFY(!session.Boxes.Shown[0].progressVisible);
    QVERIFY(!progressShown);
    QVERIFY(session.Windows().CurrentWorker == nullptr);
    QVERIFY(!QFileInfo::exists(session.PathOf("a.m8")));
    QVERIFY(QDir(session.PathOf("locked")).isEmpty());
}

void RunTest::ProgressCancelStopsLongRun() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 16, 16);
    session.AddAll();
    // Two hundred entries: the same file, again and again.
    for (int i = 1; i < 200; ++i) {
        session.BmpList().addItem(QStringLiteral("a.bmp"));
    }
    QPushButton& cancel =
        *session.Windows().ProcessDialog->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
    int highest = 0;
    bool posted = false;
    connect(&Bar(session), &QProgressBar::valueChanged, this, [&](int value) {
        highest = std::max(highest, value);
        // Ten per cent in, a click on Cancel is queued like any user input; the run sees it when
        // it next lets pending events through.
        if (value >= 10 && !posted) {
            posted = true;
            QMetaObject::invokeMethod(
                &cancel, [&cancel] { QTest::mouseClick(&cancel, Qt::LeftButton); },
                Qt::QueuedConnection);
        }
    });
    session.Click("CreateBtn");

    QVERIFY(posted);
    QCOMPARE(session.Boxes.Texts(), QStringList{"Process has been aborted"});
    QVERIFY(highest >= 10 && highest < 20);
    const QString done = QString::fromStdString(session.Boxes.Shown[0].detail);
    QVERIFY2(done.endsWith(QStringLiteral(" of 200 files were done")) &&
                 done.section(QLatin1Char(' '), 0, 0).toInt() >= 20,
             qPrintable(done));
    QVERIFY(session.Boxes.Shown[0].buttons == WindowButtons::Ok); // nothing failed
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
    QCOMPARE(Bar(session).value(), 0);
}

void RunTest::ProgressWindowHasNoCloseBox() {
    Session session;
    const Qt::WindowFlags flags = session.Windows().ProcessDialog->windowFlags();
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowSystemMenuHint));
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QCOMPARE(session.Windows().ProcessDialog->windowTitle(),
             QStringLiteral("Processing, Please Wait..."));
}

void RunTest::CancelWhileAllDoneIsOpenKeepsWindowUntilOk() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 8, 8);
    session.AddAll();
    TProcessDialog& progress = *session.Windows().ProcessDialog;
    bool stillShown = false;
    session.Boxes.WhileOpen = [&](const ShownBox&) {
        QTest::mouseClick(progress.findChild<QPushButton*>(QStringLiteral("CancelBtn")),
                          Qt::LeftButton);
        stillShown = progress.isVisible() && Bar(session).value() == 100;
    };
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
    QVERIFY(stillShown);
    QVERIFY(!progress.isVisible());
    QCOMPARE(Bar(session).value(), 0);
}

void RunTest::LoadedEmptyProjectRunsToAbortedAtOnce() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 8, 8);
    session.AddAll();
    // Loading a project without names keeps "Create..." as it was: enabled.
    Project empty;
    empty.inputDir = session.Dir().toStdString();
    empty.outputDir = empty.inputDir;
    const QString path = session.PathOf("empty.mm");
    QVERIFY(SaveProject(empty, path.toStdString()));
    session.Modals.Then([path](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(path);
        return int(QDialog::Accepted);
    });
    session.Boxes.Answers = {WindowAnswer::Discard}; // the added name is not saved
    session.Item("LoadBtn").trigger();
    QCOMPARE(session.Boxes.Texts(), QStringList{"Save changes to the project?"});
    session.Boxes.Shown.clear();
    QCOMPARE(session.BmpList().count(), 0);
    QVERIFY(session.Button("CreateBtn").isEnabled());

    QList<int> positions;
    connect(&Bar(session), &QProgressBar::valueChanged, this,
            [&](int value) { positions.append(value); });
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"Process has been aborted"});
    QCOMPARE(positions, QList<int>{}); // the bar never moved
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
    QVERIFY(!QFileInfo::exists(session.PathOf("a.m8")));
}

void RunTest::KeptHeaderAndAveragedMipsReachTheRun() {
    const HeaderFields belt{"Mines/belt3", "Mines/belt4", 0x01000000u, 1u, 25u};
    {
        Session session;
        IndexedImage image;
        image.width = image.height = 8;
        QVERIFY(AllocatePixels(image, 8, 8));
        for (std::uint8_t i = 0; i < 64; ++i) {
            image.pixels[i] = static_cast<std::uint8_t>(i * 5);
        }
        const std::string source = session.PathOf("belt3.wal").toStdString();
        QVERIFY(WriteWalFile(image, WalPalette, source, {MipFilter::Point, belt}));
        session.ConvFrom().setCurrentIndex(2);
        session.AddAll();
        QVERIFY(!session.SetupControl<QCheckBox>("KeepHeader").isChecked());
        QCOMPARE(session.SetupControl<QComboBox>("MipLevels").currentText(),
                 QStringLiteral("sampled"));
        QTest::mouseClick(&session.SetupControl<QCheckBox>("KeepHeader"), Qt::LeftButton);
        session.SetupControl<QComboBox>("MipLevels").setCurrentIndex(1);
        QCOMPARE(session.SetupControl<QComboBox>("MipLevels").currentText(),
                 QStringLiteral("averaged"));
        session.Click("CreateBtn");
        QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});

        QFile output(session.PathOf("belt3.m8"));
        QVERIFY(output.open(QIODevice::ReadOnly));
        const QByteArray bytes = output.readAll();
        const std::vector<std::uint8_t> written(bytes.begin(), bytes.end());
        QVERIFY(ReadM8Fields(written) == belt);
        QVERIFY(written == WriteM8(*ReadWalImageFile(source), WalPalette, {MipFilter::Box, belt}));
    }
    // They were the project's: the next start of the program, with a new project, has neither.
    {
        Session session;
        QVERIFY(!session.SetupControl<QCheckBox>("KeepHeader").isChecked());
        QCOMPARE(session.SetupControl<QComboBox>("MipLevels").currentIndex(), 0);
    }
}

// The two true-colour settings of the setup dialog are what the run is given.
void RunTest::TransparentIndexAndDitherReachTheRun() {
    Session session;
    QVERIFY(QFile::copy(QStringLiteral(TEXELARY_TEST_DATA "/made/pillow-rgba.png"),
                        session.PathOf(QStringLiteral("rgba.png"))));
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Png));
    session.AddAll();
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wal));
    QTest::mouseClick(&session.SetupControl<QCheckBox>("TransparentIndex"), Qt::LeftButton);
    QTest::mouseClick(&session.SetupControl<QCheckBox>("Dither"), Qt::LeftButton);
    const RunSettings& run = session.Windows().ProcessDialog->Settings();
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
    QVERIFY(run.options.write.dither);
    QVERIFY(run.options.write.transparentIndex == std::uint8_t{255});
    const auto written = ReadWalImageFile(session.PathOf(QStringLiteral("rgba.wal")).toStdString());
    QVERIFY(written);
    QCOMPARE(written->pixels[0], std::uint8_t{255}); // (0, 0) is the file's transparent pixel
}

// Full-bright colours are a setting of WAD2 targets alone, the project's, not the program's.
void RunTest::FullbrightIsSavedAndReachesTheRun() {
    {
        Session session;
        WriteBitmap(session.PathOf(QStringLiteral("a.bmp")), 16, 16);
        session.AddAll();
        QVERIFY(!session.SetupControl<QCheckBox>("Fullbright").isChecked());
        const struct {
            TargetFormat to;
            bool enabled;
        } targets[] = {{TargetFormat::M8, false},
                       {TargetFormat::Wal, false},
                       {TargetFormat::Png, false},
                       {TargetFormat::Wad3, false},
                       {TargetFormat::Wad2, true}};
        for (const auto& target : targets) {
            session.ConvTo().setCurrentIndex(IndexOf(target.to));
            QCOMPARE(session.SetupControl<QCheckBox>("Fullbright").isEnabled(), target.enabled);
        }
        QTest::mouseClick(&session.SetupControl<QCheckBox>("Fullbright"), Qt::LeftButton);
        QVERIFY(session.SetupControl<QCheckBox>("Fullbright").isChecked());
        session.OutputPath().setText(session.PathOf(QStringLiteral("out.wad")));
        const RunSettings& run = session.Windows().ProcessDialog->Settings();
        session.Click("CreateBtn");
        QVERIFY(run.options.write.fullbright);
        QVERIFY(run.RunConvTo == TargetFormat::Wad2);
    }
    {
        Session session;
        QVERIFY(!session.SetupControl<QCheckBox>("Fullbright").isChecked());
    }
}

// "Palette: from file..." takes a file that holds a palette, and refuses one that does not; the
// choice is the project's, so the next start has the built-in palettes; a run into .wal refuses a
// palette of fewer than 256 colours before it starts; "built in" gives the run no palette.
void RunTest::PaletteFileIsCheckedSavedAndReachesTheRun() {
    const auto writePalette = [](const QString& path, int colours) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("JASC-PAL\n0100\n" + QByteArray::number(colours) + "\n");
        for (int i = 0; i < colours; ++i) {
            file.write(QByteArray::number(i) + " 0 " + QByteArray::number(255 - i) + "\n");
        }
    };
    const auto choose = [](Session& session, const QString& path) {
        session.Modals.Then([path](QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(path);
            return int(QDialog::Accepted);
        });
        QComboBox& choice = session.SetupControl<QComboBox>("PaletteChoice");
        choice.setCurrentIndex(1);
        emit choice.activated(1);
    };
    {
        Session session;
        const QString full = session.PathOf(QStringLiteral("mod.pal"));
        const QString few = session.PathOf(QStringLiteral("few.pal"));
        writePalette(full, 256);
        writePalette(few, 16);
        QFile notes(session.PathOf(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("no colours here\n") > 0);
        notes.close();
        choose(session, notes.fileName());
        QCOMPARE(session.Boxes.Texts().size(), 1);
        QVERIFY(session.Boxes.Texts()[0].startsWith(QStringLiteral("Cannot use the palette")));
        QVERIFY(session.Windows().Project->Settings().paletteFile.isEmpty());
        QCOMPARE(session.SetupControl<QComboBox>("PaletteChoice").currentIndex(), 0);
        session.Boxes.Shown.clear();

        WriteBitmap(session.PathOf(QStringLiteral("a.bmp")), 16, 16);
        session.AddAll();
        session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wal));
        const RunSettings& run = session.Windows().ProcessDialog->Settings();
        choose(session, few);
        QCOMPARE(session.Windows().Project->Settings().paletteFile, few);
        session.Click("CreateBtn");
        QCOMPARE(session.Boxes.Texts().size(), 1); // refused for .wal, and nothing ran
        QVERIFY(!QFileInfo::exists(session.PathOf(QStringLiteral("a.wal"))));
        session.Boxes.Shown.clear();
        choose(session, full);
        session.Click("CreateBtn");
        QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
        QVERIFY(run.options.write.palette && (*run.options.write.palette)[3 * 200] == 200);
    }
    {
        Session session;
        QVERIFY(session.Windows().Project->Settings().paletteFile.isEmpty());
        QCOMPARE(session.SetupControl<QComboBox>("PaletteChoice").currentIndex(), 0);
        session.SetupControl<QComboBox>("PaletteChoice").setCurrentIndex(0);
        emit session.SetupControl<QComboBox>("PaletteChoice").activated(0);
        WriteBitmap(session.PathOf(QStringLiteral("a.bmp")), 16, 16);
        session.AddAll();
        session.Click("CreateBtn");
        QVERIFY(!session.Windows().ProcessDialog->Settings().options.write.palette);
    }
}

void RunTest::ArchivesInAndOut_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("input");       // in the session's directory
    QTest::addColumn<QString>("output");      // in the session's directory
    QTest::addColumn<QStringList>("written"); // the archive's entries, or the files written
    QTest::newRow("bitmaps into a wad")
        << IndexOf(SourceFormat::Bmp) << IndexOf(TargetFormat::Wad2) << "."
        << "out.wad" << QStringList{"a", "b"};
    QTest::newRow("a pak's folder into a pak")
        << IndexOf(SourceFormat::Wal) << IndexOf(TargetFormat::Png) << "base.pak/textures"
        << "out.PAK" << QStringList{"c.png", "D.png"};
    QTest::newRow("a wad into a folder")
        << IndexOf(SourceFormat::Wad2) << IndexOf(TargetFormat::Png) << "gfx.wad"
        << "out" << QStringList{"out/#lava.png", "out/brick.png"};
}

// A whole run from the windows, with the input directory an archive or a folder inside one, and
// the output a wad or pak that takes every texture, or a folder.
void RunTest::ArchivesInAndOut() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QStringList, written);
    Session session;
    WriteTestArchives(session);
    WriteBitmap(session.PathOf("a.bmp"), 16, 16);
    WriteBitmap(session.PathOf("b.bmp"), 32, 16);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));
    session.ConvFrom().setCurrentIndex(from);
    session.ConvTo().setCurrentIndex(to);
    session.InputPath().setText(QDir::toNativeSeparators(session.PathOf(input)));
    session.OutputPath().setText(QDir::toNativeSeparators(session.PathOf(output)));
    session.AddAll();
    session.Click("CreateBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList{"All done"});
    if (QFileInfo(session.PathOf(output)).isDir()) {
        for (const QString& name : written) {
            QVERIFY2(QFileInfo::exists(session.PathOf(name)), qPrintable(name));
        }
        return;
    }
    std::string reason;
    const auto entries = ArchiveEntryNames(session.PathOf(output).toStdString(), reason);
    QVERIFY2(entries, reason.c_str());
    QStringList names;
    for (const std::string& name : *entries) {
        names.append(QString::fromStdString(name));
    }
    QCOMPARE(names, written);
}

namespace {

struct SeenBox {
    const QWidget* owner = nullptr;
    bool staysOnTop = false;
    bool focused = false;
    int width = 0;
};

// Shows a box through the program's own boxes and looks at it while it is open.
SeenBox ShowAndLook(const std::string& caption) {
    SeenBox seen;
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen.focused = QTest::qWaitFor([box] {
            return box->isActiveWindow() && QApplication::focusWidget() == box->defaultButton();
        });
        seen.owner = box->parentWidget();
        seen.staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        seen.width = box->width();
        box->defaultButton()->click();
    });
    QtMessageBoxes boxes;
    boxes.ShowMessage("All done", caption, WindowButtons::Ok, BoxIcon::Information, {});
    return seen;
}

} // namespace

void RunTest::BoxesOpenInFrontOfTheWindowInUse() {
    Session session;
    // A modal window that stays on top, as the progress window does: the box is its own and
    // stays on top too, or the window manager would keep it behind.
    QDialog running;
    running.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    running.setModal(true);
    running.show();
    const std::string caption = "Texelary, a caption longer than what the box says";
    const SeenBox inRun = ShowAndLook(caption);
    QCOMPARE(inRun.owner, &running);
    QVERIFY(inRun.staysOnTop);
    QVERIFY(inRun.focused);
    // Wide enough for the caption, the window icon and three frame buttons.
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int buttons = 4 * running.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    QVERIFY2(inRun.width >= title.horizontalAdvance(QString::fromStdString(caption)) + buttons,
             qPrintable(QString::number(inRun.width)));
    running.hide();

    // Without a modal window the box belongs to the active one and keeps the normal stacking.
    QApplication::setActiveWindow(session.Windows().Main);
    QVERIFY(QTest::qWaitForWindowActive(session.Windows().Main));
    const SeenBox inMain = ShowAndLook("Texelary");
    QCOMPARE(inMain.owner, session.Windows().Main);
    QVERIFY(!inMain.staysOnTop);
    QVERIFY(inMain.focused);
}

void RunTest::ProgressNamesTheEntryInHand() {
    Session session;
    const QString longName = QString(60, QLatin1Char('w')) + QStringLiteral(".bmp");
    // A name outside every 8-bit code page shows and converts as it is.
    const QString wide = QStringLiteral("b\u20ac\u58c1.bmp");
    for (const QString& name : {QStringLiteral("a.bmp"), wide, longName}) {
        WriteBitmap(session.PathOf(name), 4, 4);
    }
    session.AddAll();
    TProcessDialog& progress = *session.Windows().ProcessDialog;
    auto& count = *progress.findChild<QLabel*>(QStringLiteral("Count"));
    auto& current = *progress.findChild<QLabel*>(QStringLiteral("Current"));
    QStringList seen;
    connect(&Bar(session), &QProgressBar::valueChanged, this, [&](int value) {
        seen.append(count.text() + " | " + current.text());
        // Everything stays inside the window's own size.
        QVERIFY(current.fontMetrics().horizontalAdvance(current.text()) <= current.width());
        QVERIFY(progress.rect().contains(current.geometry()) || value == 0);
    });
    session.Click("CreateBtn");
    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen[0], QStringLiteral("1 of 3 | a.bmp"));
    QCOMPARE(seen[1], QStringLiteral("2 of 3 | ") + wide);
    QVERIFY(QFileInfo::exists(session.PathOf(QStringLiteral("b\u20ac\u58c1.m8"))));
    QVERIFY(seen[2].startsWith(QStringLiteral("3 of 3 | www")));
    QVERIFY(seen[2].endsWith(QStringLiteral("w.bmp")) && seen[2].contains(QChar(0x2026)));
    QCOMPARE(current.toolTip(), QString()); // cleared with the bar when the window closed
    QCOMPARE(count.text(), QString());
}

namespace {

// A list of a missing a.bmp and six bitmaps large enough to be converted ahead while its box is
// open, into the folder "out".
void ListMissingFileThenSix(Session& session) {
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    for (int i = 0; i < 6; ++i) {
        WriteBitmap(session.PathOf(QStringLiteral("f%1.bmp").arg(i)), 64, 64);
    }
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("out")));
    session.AddAll();
    session.OutputPath().setText(session.PathOf("out"));
    QVERIFY(QFile::remove(session.PathOf("a.bmp")));
}

} // namespace

void RunTest::CancelInABoxDropsTheFilesConvertedAhead() {
    Session session;
    ListMissingFileThenSix(session);
    QDir out(session.PathOf("out"));
    const auto everything = QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot;
    // While the first entry's box is open, the next files are converted on other cores into
    // temporary files, and none is put in place.
    QStringList whileOpen;
    session.Boxes.WhileOpen = [&](const ShownBox&) {
        for (int wait = 0; wait < 500 && DefaultJobs() > 1 && whileOpen.isEmpty(); ++wait) {
            QThread::msleep(10);
            whileOpen = out.entryList(everything);
        }
    };
    session.Boxes.Answers = {WindowAnswer::Cancel};
    session.Click("CreateBtn");

    QCOMPARE(session.Boxes.Texts().size(), 2);
    QVERIFY(session.Boxes.Texts()[0].startsWith(QStringLiteral("Could'nt find file ")));
    QCOMPARE(session.Boxes.Texts()[1], QStringLiteral("Process has been aborted"));
    if (DefaultJobs() > 1) {
        QVERIFY(!whileOpen.isEmpty());
        QVERIFY(whileOpen.filter(QStringLiteral(".tx")).size() == whileOpen.size());
    }
    QCOMPARE(out.entryList(everything), QStringList{});
}

// A run whose box fails for want of memory ends as aborted, as after Cancel, and the program goes
// on: the files converted ahead are removed and the progress window closes.
void RunTest::RunThatThrowsEndsAsAborted() {
    Session session;
    ListMissingFileThenSix(session);
    session.Boxes.WhileOpen = [](const ShownBox& box) {
        if (box.buttons == WindowButtons::OkCancel) {
            throw std::bad_alloc();
        }
    };
    session.Click("CreateBtn");

    QCOMPARE(session.Boxes.Texts().size(), 2);
    QVERIFY(session.Boxes.Texts()[0].startsWith(QStringLiteral("Could'nt find file ")));
    QCOMPARE(session.Boxes.Texts()[1], QStringLiteral("Process has been aborted"));
    QVERIFY(session.Boxes.Shown[1].progressVisible);
    QVERIFY(!session.Windows().ProcessDialog->isVisible());
    const auto everything = QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(session.PathOf("out")).entryList(everything), QStringList{});
}

namespace {

// Tooltips of the list's rows, marked "! " where the row bears a mark's icon (an unmarked row's
// blank has no tooltip).
QStringList RowTips(Session& session) {
    QStringList tips;
    for (int row = 0; row < session.BmpList().count(); ++row) {
        const QListWidgetItem& item = *session.BmpList().item(row);
        const bool marked = !item.icon().isNull() && !item.toolTip().isEmpty();
        tips.append(marked ? "! " + item.toolTip() : item.toolTip());
    }
    return tips;
}

// a.bmp, b.bmp and c.bmp listed, b.bmp then removed and c.bmp emptied: two of three fail.
void ListTwoFailuresOfThree(Session& session) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 8, 8);
    }
    session.AddAll();
    QVERIFY(QFile::remove(session.PathOf("b.bmp")));
    WriteText(session.PathOf("c.bmp"), {});
}

QString Native(Session& session, const char* name) {
    return QDir::toNativeSeparators(session.PathOf(QString::fromLatin1(name)));
}

} // namespace

// Each failure had its box; the last box lists them all again, and the rows that failed are
// marked with the reason until the next run starts.
void RunTest::LastBoxListsTheFailuresAndMarksTheRows() {
    Session session;
    ListTwoFailuresOfThree(session);
    session.Click("CreateBtn");

    QCOMPARE(session.Boxes.Texts().constLast(), QStringLiteral("All done"));
    const ShownBox& last = session.Boxes.Shown.back();
    QCOMPARE(last.detail, std::string("1 converted, 2 failed"));
    QVERIFY(last.buttons == WindowButtons::OkSaveList);
    const QString b = "Could'nt find file \"" + Native(session, "b.bmp") + "\" (no such file)";
    const QString c = "Could'nt find file \"" + Native(session, "c.bmp") + "\" (the file is empty)";
    QCOMPARE(QString::fromStdString(last.details), "b.bmp: " + b + "\nc.bmp: " + c + "\n");
    QCOMPARE(RowTips(session), (QStringList{"", "! " + b, "! " + c}));

    // The next run starts without them (b.bmp, which is gone, is marked as such instead), and
    // marks only what fails then.
    WriteBitmap(session.PathOf("c.bmp"), 8, 8);
    QStringList tipsWhileRunning;
    session.Boxes.WhileOpen = [&](const ShownBox&) {
        if (tipsWhileRunning.isEmpty()) {
            tipsWhileRunning = RowTips(session);
        }
    };
    session.Click("CreateBtn");
    QCOMPARE(tipsWhileRunning, (QStringList{"",
                                            "! \"b.bmp\" is not in the input folder \"" +
                                                QDir::toNativeSeparators(session.Dir()) + "\"",
                                            ""}));
    QCOMPARE(RowTips(session), (QStringList{"", "! " + b, ""}));
}

void RunTest::SaveListWritesBesideTheOutput_data() {
    QTest::addColumn<QString>("output"); // in the session's directory
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("list"); // where the list goes, or "" where it cannot
    QTest::newRow("folder") << "out" << IndexOf(TargetFormat::M8) << "out/failed.txt";
    QTest::newRow("pak") << "out/textures.pak" << IndexOf(TargetFormat::Png) << "out/failed.txt";
    QTest::newRow("not writable") << "full" << IndexOf(TargetFormat::M8) << "";
}

void RunTest::SaveListWritesBesideTheOutput() {
    QFETCH(QString, output);
    QFETCH(int, to);
    QFETCH(QString, list);
    Session session;
    ListTwoFailuresOfThree(session);
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("out")));
    // A folder where the list would go leaves no room for it.
    QVERIFY(QDir(session.Dir()).mkpath(QStringLiteral("full/failed.txt")));
    session.ConvTo().setCurrentIndex(to);
    session.OutputPath().setText(QDir::toNativeSeparators(session.PathOf(output)));
    session.Boxes.Answers = {WindowAnswer::Ok, WindowAnswer::Ok, WindowAnswer::SaveList};
    session.Click("CreateBtn");

    QCOMPARE(session.Boxes.Texts().size(), 4);
    QCOMPARE(session.Boxes.Texts()[2], QStringLiteral("All done"));
    const ShownBox& said = session.Boxes.Shown.back();
    QVERIFY(said.progressVisible);
    if (list.isEmpty()) {
        QCOMPARE(session.Boxes.Texts()[3], "Cannot write the list of failed files to \"" +
                                               Native(session, "full/failed.txt") + "\"");
        QVERIFY(said.icon == BoxIcon::Stop && !said.detail.empty());
        return;
    }
    QCOMPARE(session.Boxes.Texts()[3], "The list of failed files was written to \"" +
                                           QDir::toNativeSeparators(session.PathOf(list)) + "\"");
    QFile saved(session.PathOf(list));
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(saved.readAll().toStdString(), session.Boxes.Shown[2].details);
}

int RunRunTests(int argc, char** argv) {
    RunTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test

#include "RunTest.moc"
