// The main window's project files: New, Load, Save and Save As, and changes not saved.

#include "WindowsTest.h"

#include <QCheckBox>

namespace texelary::test {

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

namespace {

// The File menu's recent projects as they are shown when it opens: "text=name", and each item's
// tooltip and status tip.
QStringList RecentItems(Session& session, QStringList* tips = nullptr) {
    auto& menu = *session.Windows().Main->findChild<QMenu*>(QStringLiteral("FileMnu"));
    menu.popup(QPoint(0, 0));
    menu.hide();
    QStringList items;
    for (const QAction* item : menu.actions()) {
        if (item->objectName().startsWith(QStringLiteral("Recent"))) {
            items.append(item->text() + "=" + item->objectName());
            if (tips != nullptr) {
                tips->append(item->toolTip() + "|" + item->statusTip());
            }
        }
    }
    return items;
}

} // namespace

// Saved and loaded projects head the File menu's list, which opens them as Load does; files no
// longer there leave it when the menu opens or when one fails to open, and it is there at the
// next start.
void WindowsTest::RecentProjectsOpenFromTheFileMenu() {
    const QTemporaryDir kept;
    const QString first = kept.filePath(QStringLiteral("first.mm"));
    const QString second = kept.filePath(QStringLiteral("second & more.mm"));
    const QString gone = kept.filePath(QStringLiteral("gone.mm"));
    QVERIFY(SaveProject(Project{}, Local(second)));
    QVERIFY(SaveProject(Project{}, Local(gone)));
    {
        Session session;
        QCOMPARE(RecentItems(session), QStringList{});
        QVERIFY(session.Windows().Main->OpenProjectFile(gone));
        session.Modals.Then(ChooseFile(first));
        session.Item("SaveAsBtn").trigger();
        session.Modals.Then(ChooseFile(second));
        session.Item("LoadBtn").trigger();
        QStringList tips;
        QCOMPARE(RecentItems(session, &tips),
                 (QStringList{"&1 second && more.mm=Recent1", "&2 first.mm=Recent2",
                              "&3 gone.mm=Recent3"}));
        QCOMPARE(tips[1], QDir::toNativeSeparators(first) + "|" + QDir::toNativeSeparators(first));
        // Chosen with changes not saved, it asks first, as Load does.
        session.InputPath().setText(QStringLiteral("elsewhere"));
        session.Boxes.Answers = {WindowAnswer::Discard};
        session.Item("Recent2").trigger();
        QCOMPARE(session.Boxes.Texts(), QStringList{"Save changes to the project?"});
        QCOMPARE(session.Windows().Main->ProjectFileName(), first);
        // Gone after the menu was last shown: it fails to open, and leaves the list.
        QVERIFY(QFile::remove(gone));
        session.Item("Recent3").trigger();
        QCOMPARE(session.Boxes.Texts().last(), QStringLiteral("Could'nt open specified file."));
        QCOMPARE(session.Windows().Main->ProjectFileName(), first);
        // Back again, it is not listed until it is opened again.
        QVERIFY(SaveProject(Project{}, Local(gone)));
        QCOMPARE(RecentItems(session),
                 (QStringList{"&1 first.mm=Recent1", "&2 second && more.mm=Recent2"}));
        session.Windows().Main->close();
    }
    QVERIFY(QFile::remove(second));
    Session session(Memory::Kept);
    QCOMPARE(RecentItems(session), QStringList{"&1 first.mm=Recent1"});
}

// The list holds the last eight files, each once.
void WindowsTest::RecentProjectsKeepTheLastEight() {
    Session session;
    QStringList expected;
    for (int i = 1; i <= kRecentProjects + 2; ++i) {
        const QString path = session.PathOf(QStringLiteral("p%1.mm").arg(i));
        QVERIFY(SaveProject(Project{}, Local(path)));
        QVERIFY(session.Windows().Main->OpenProjectFile(path));
        QVERIFY(session.Windows().Main->OpenProjectFile(path));
    }
    for (int i = 0; i < kRecentProjects; ++i) {
        expected.append(
            QStringLiteral("&%1 p%2.mm=Recent%1").arg(i + 1).arg(kRecentProjects + 2 - i));
    }
    QCOMPARE(RecentItems(session), expected);
}

// The output settings are the project's: a change to one is a change to save, Save As writes them
// beside the project file, New sets them back and Load brings them again. The status line names
// the palette in use.
void WindowsTest::OutputSettingsAreKeptWithTheProject() {
    Session session;
    ProjectModel& model = *session.Windows().Project;
    QLabel& palette = *session.Windows().Main->findChild<QLabel*>(QStringLiteral("PaletteInUse"));
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wal));
    QCOMPARE(palette.text(), QStringLiteral("Palette: Quake II"));
    const QString path = session.PathOf("p.mm");
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QVERIFY(!session.Windows().Main->isWindowModified());

    QTest::mouseClick(&session.SetupControl<QCheckBox>("Dither"), Qt::LeftButton);
    QVERIFY(session.Windows().Main->isWindowModified());
    ProgramSettings kept = model.Settings();
    kept.paletteFile = session.PathOf("pal/kingpin.pal");
    model.SetSettings(kept);
    QCOMPARE(palette.text(), QStringLiteral("Palette: kingpin.pal"));
    QCOMPARE(palette.toolTip(), QDir::toNativeSeparators(kept.paletteFile));
    session.Item("SaveBtn").trigger();
    QVERIFY(QFileInfo::exists(path + QStringLiteral(".json")));

    session.Item("NewProject").trigger();
    QVERIFY(model.Settings() == ProgramSettings{});
    QVERIFY(!session.SetupControl<QCheckBox>("Dither").isChecked());
    QCOMPARE(palette.text(), QStringLiteral("Palette: each texture's own"));
    session.Modals.Then(ChooseFile(path));
    session.Item("LoadBtn").trigger();
    QVERIFY(model.Settings() == kept);
    QVERIFY(session.SetupControl<QCheckBox>("Dither").isChecked());
    QCOMPARE(palette.text(), QStringLiteral("Palette: kingpin.pal"));
    QVERIFY(!session.Windows().Main->isWindowModified());
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
}

} // namespace texelary::test
