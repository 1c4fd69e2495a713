// The main window: its list of names, the preview, the keys, the boxes and dropped files.

#include "WindowsTest.h"
#include "convert/OutputGuard.h"
#include "ui/app/DroppedFiles.h"
#include "ui/app/ListDrag.h"

#include <QStatusBar>
#include <filesystem>

namespace texelary::test {

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

namespace {

// The rows marked as not in the input folder, each as the status line words it when selected.
QStringList MissingRows(Session& session) {
    QListWidget& list = session.BmpList();
    auto& info = *session.Windows().Main->findChild<QLabel*>(QStringLiteral("PreviewInfo"));
    QStringList missing;
    for (int row = 0; row < list.count(); ++row) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
        const QString tip = list.item(row)->toolTip();
        if (!tip.isEmpty()) {
            missing.append(info.toolTip() == tip ? tip : "status line: " + info.toolTip());
        }
    }
    return missing;
}

QString NotIn(const QString& name, const QString& folder) {
    return "\"" + name + "\" is not in the input folder \"" + QDir::toNativeSeparators(folder) +
           "\"";
}

} // namespace

void WindowsTest::RowsNotInTheInputFolderAreMarked_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("input"); // in the session's directory
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("folder") << IndexOf(SourceFormat::Bmp) << QStringList{"a.bmp", "b.bmp"}
                            << "other" << QStringList{"b.bmp"};
    QTest::newRow("pak") << IndexOf(SourceFormat::Wal) << QStringList{"a.wal", "c.wal"}
                         << "base.pak" << QStringList{"c.wal"};
    QTest::newRow("folder in a pak") << IndexOf(SourceFormat::Wal) << QStringList{"a.wal", "c.wal"}
                                     << "base.pak/textures" << QStringList{"a.wal"};
}

// The list names files of the folder it was made in; another input folder marks those it does
// not hold, and the first folder again clears the marks.
void WindowsTest::RowsNotInTheInputFolderAreMarked() {
    QFETCH(int, from);
    QFETCH(QStringList, names);
    QFETCH(QString, input);
    QFETCH(QStringList, missing);
    Session session;
    WriteTestArchives(session);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("other")));
    WriteBitmap(session.PathOf("other/a.bmp"), 4, 4);
    session.ConvFrom().setCurrentIndex(from);
    session.BmpList().addItems(names);
    session.InputPath().setText(QDir::toNativeSeparators(session.PathOf(input)));

    QStringList said;
    for (const QString& name : missing) {
        said.append(NotIn(name, session.PathOf(input)));
    }
    QCOMPARE(MissingRows(session), said);
    // The unmarked rows, a row added later among them, keep their names in line with the marked.
    session.BmpList().addItem(QStringLiteral("added"));
    for (int row = 0; row < session.BmpList().count(); ++row) {
        QVERIFY(!session.BmpList().item(row)->icon().isNull());
    }
    delete session.BmpList().takeItem(session.BmpList().count() - 1);
    session.InputPath().setText(QDir::toNativeSeparators(session.PathOf("gone")));
    QCOMPARE(MissingRows(session).size(), names.size());
    session.InputPath().setText(QDir::toNativeSeparators(session.PathOf(input)));
    QCOMPARE(MissingRows(session), said);
}

void WindowsTest::LoadedProjectMarksRowsNotInItsInputFolder() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    Project project;
    project.inputDir = session.Dir().toStdString();
    project.outputDir = project.inputDir;
    project.files = {"a.bmp", "gone.bmp"};
    const QString path = session.PathOf("p.mm");
    QVERIFY(SaveProject(project, path.toStdString()));
    QVERIFY(session.Windows().Main->OpenProjectFile(path));
    QCOMPARE(MissingRows(session), QStringList{NotIn("gone.bmp", session.Dir())});
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
    CopyTestMaps(session);
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
        {SourceFormat::Wad2, "q1_detail_fence2.bsp", "{TRIGGER", {64, 64}, 0},
        {SourceFormat::Wad3, "hl.bsp", "embedded", {32, 32}, 0},
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
    // A map's texture whose pixels are in a wad outside it is reported with that reason.
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad3));
    session.Windows().Main->ShowPreview(session.PathOf("hl.bsp"), QStringLiteral("EXTERNAL"));
    QCOMPARE(PreviewPictureSize(session), QSize(0, 0));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{2});
    QCOMPARE(session.Boxes.Shown[1].detail,
             std::string("the map holds no pixels for the texture (it lives in a wad outside the "
                         "map)"));
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
    QCOMPARE(VisibleTitle(main), QStringLiteral("Texelary"));
    const QString path = session.PathOf("stones.mm");
    session.Modals.Then(ChooseFile(path));
    session.Item("SaveAsBtn").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("stones.mm - Texelary"));
    session.Item("NewProject").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("Texelary"));
    QVERIFY(main.OpenProjectFile(path));
    QCOMPARE(VisibleTitle(main), QStringLiteral("stones.mm - Texelary"));
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0}); // nothing was changed in between

    // A star marks changes not saved, until they are saved or set aside.
    session.OutputPath().setText(session.PathOf("out"));
    QCOMPARE(VisibleTitle(main), QStringLiteral("stones.mm* - Texelary"));
    session.Item("SaveBtn").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("stones.mm - Texelary"));
    session.ConvTo().setCurrentIndex(1);
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Item("NewProject").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("Texelary"));
    session.InputPath().setText(session.PathOf("in"));
    QCOMPARE(VisibleTitle(main), QStringLiteral("Texelary*"));
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

namespace {

void DropNames(Session& session, const QStringList& names);

QPoint RowCentre(Session& session, int row) {
    return session.BmpList().visualItemRect(session.BmpList().item(row)).center();
}

} // namespace

void WindowsTest::SelectedNamesAreDraggedOutAndASweepStillSelects() {
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(name), 4, 4);
    }
    DropNames(session, {"a.bmp", "b.bmp", "c.bmp"});
    QListWidget& list = session.BmpList();
    const auto selected = [&list] {
        QStringList names;
        for (const QListWidgetItem* item : list.selectedItems()) {
            names.append(item->text());
        }
        names.sort();
        return names;
    };
    // A press on a name not selected, moved over the next: a sweep, as before.
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 1));
    QTest::mouseMove(list.viewport(), RowCentre(session, 2));
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 2));
    QCOMPARE(selected(), (QStringList{"b.bmp", "c.bmp"}));
    // A press on a selected name, moved, drags the selection; the selection stays.
    auto& drag = *list.findChild<ListDrag*>();
    QList<QUrl> started;
    drag.SetDragStart(
        [&started](std::unique_ptr<QMimeData> dragged) { started = dragged->urls(); });
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 2));
    QTest::mouseMove(list.viewport(), RowCentre(session, 0));
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 0));
    QCOMPARE(started, (QList<QUrl>{QUrl::fromLocalFile(session.PathOf("b.bmp")),
                                   QUrl::fromLocalFile(session.PathOf("c.bmp"))}));
    QCOMPARE(selected(), (QStringList{"b.bmp", "c.bmp"}));
    // Released where it was pressed, it selects that name alone.
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 2));
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, RowCentre(session, 2));
    QCOMPARE(selected(), QStringList{"c.bmp"});
    std::unique_ptr<QMimeData> dragged;
    // A texture inside a wad goes as a copy, named as a file may be.
    WriteTestArchives(session);
    session.InputPath().setText(session.PathOf("gfx.wad"));
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad2));
    list.addItem(QStringLiteral("*lava"));
    list.setCurrentRow(list.count() - 1, QItemSelectionModel::ClearAndSelect);
    dragged = drag.Dragged();
    QVERIFY(dragged);
    QCOMPARE(dragged->urls().size(), 1);
    QCOMPARE(QFileInfo(dragged->urls()[0].toLocalFile()).fileName(), QStringLiteral("#lava"));
    QFile copy(dragged->urls()[0].toLocalFile());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QVERIFY(copy.readAll().startsWith("*lava"));
    QCOMPARE(dragged->data(QLatin1String(kArchivePathsFormat)),
             EncodeArchivePaths({QUrl::fromLocalFile(session.PathOf("gfx.wad/*lava"))}));
}

namespace {

// Runs "Add..." selecting those of `names` that the chooser lists.
void AddNames(Session& session, const QStringList& names) {
    session.Add([names](QDialog& dialog) {
        auto& files = *dialog.findChild<QListWidget*>(QStringLiteral("File"));
        files.clearSelection();
        for (int i = 0; i < files.count(); ++i) {
            files.item(i)->setSelected(names.contains(files.item(i)->text()));
        }
        return int(QDialog::Accepted);
    });
}

// Drops the session's files `names` onto the image list, as one drop.
void DropNames(Session& session, const QStringList& names) {
    QList<QUrl> urls;
    for (const QString& name : names) {
        urls.append(QUrl::fromLocalFile(session.PathOf(name)));
    }
    QMimeData dropped;
    dropped.setUrls(urls);
    QWidget& target = *session.BmpList().viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
}

// Presses a key of the main window while it is the active window, as menu keys need.
void PressInMain(Session& session, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    TMain& main = *session.Windows().Main;
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, key, modifiers);
}

QString StatusMessage(Session& session) {
    return session.Windows().Main->statusBar()->currentMessage();
}

} // namespace

void WindowsTest::ListEditsAreUndoneAndRedone_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("undoneCurrent");
    QTest::newRow("add") << "add" << QStringList{"b.bmp"} << QStringList{"b.bmp", "a.bmp", "c.bmp"}
                         << 0;
    QTest::newRow("delete of a selection")
        << "delete" << QStringList{"a.bmp", "b.bmp", "c.bmp"} << QStringList{"b.bmp"} << 2;
    QTest::newRow("ctrl+a and delete")
        << "ctrl+a" << QStringList{"a.bmp", "b.bmp", "c.bmp"} << QStringList{} << 2;
    QTest::newRow("drop") << "drop" << QStringList{"a.bmp"} << QStringList{"a.bmp", "c.bmp"} << 0;
}

// Ctrl+Z takes an edit of the list back, Ctrl+Shift+Z and Ctrl+Y make it again; the Edit menu's
// items are enabled while they have something to do, and "Create..." follows the list.
void WindowsTest::ListEditsAreUndoneAndRedone() {
    QFETCH(QString, edit);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(int, undoneCurrent);
    Session session;
    QAction& undo = session.Item("UndoBtn");
    QAction& redo = session.Item("RedoBtn");
    QVERIFY(!undo.isEnabled() && !redo.isEnabled());
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 4, 4);
    }
    AddNames(session, before);
    QListWidget& list = session.BmpList();
    list.setFocus();
    if (edit == QLatin1String("add")) {
        session.AddAll();
    } else if (edit == QLatin1String("delete")) {
        list.item(0)->setSelected(true);
        list.item(2)->setSelected(true);
        session.Click("DeleteBtn");
    } else if (edit == QLatin1String("ctrl+a")) {
        QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&list, Qt::Key_Delete);
    } else {
        DropNames(session, {"c.bmp"});
    }
    QCOMPARE(session.Entries(), after);
    QVERIFY(undo.isEnabled() && !redo.isEnabled());

    PressInMain(session, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(session.Entries(), before);
    QCOMPARE(list.currentRow(), undoneCurrent);
    QVERIFY(session.Button("CreateBtn").isEnabled());
    QVERIFY(redo.isEnabled());
    PressInMain(session, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(session.Entries(), after);
    QCOMPARE(session.Button("CreateBtn").isEnabled(), !after.isEmpty());
    PressInMain(session, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(session.Entries(), before);
    PressInMain(session, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(session.Entries(), after);
    QVERIFY(!redo.isEnabled());
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
}

// Undone back to the list last saved, the project has nothing to save; a change of a folder or a
// format keeps its star whatever the list does, and New and Load leave nothing to undo.
void WindowsTest::UndoBackToTheSavedListLeavesNothingToSave() {
    Session session;
    TMain& main = *session.Windows().Main;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    AddNames(session, {"a.bmp"});
    session.Modals.Then(ChooseFile(session.PathOf("p.mm")));
    session.Item("SaveAsBtn").trigger();
    const QString saved = QStringLiteral("p.mm - Texelary");
    QCOMPARE(VisibleTitle(main), saved);
    session.AddAll();
    QCOMPARE(VisibleTitle(main), QStringLiteral("p.mm* - Texelary"));
    session.Item("UndoBtn").trigger();
    QCOMPARE(VisibleTitle(main), saved);
    session.Item("RedoBtn").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("p.mm* - Texelary"));
    session.Item("SaveBtn").trigger();
    session.Item("UndoBtn").trigger(); // past the save: a change again
    QCOMPARE(VisibleTitle(main), QStringLiteral("p.mm* - Texelary"));
    session.Item("RedoBtn").trigger();
    QCOMPARE(VisibleTitle(main), saved);

    session.ConvTo().setCurrentIndex(1);
    session.Item("UndoBtn").trigger();
    session.Item("RedoBtn").trigger();
    QCOMPARE(VisibleTitle(main), QStringLiteral("p.mm* - Texelary"));
    session.Boxes.Answers = {WindowAnswer::Discard};
    session.Item("NewProject").trigger();
    QCOMPARE(session.Boxes.Texts(), QStringList{"Save changes to the project?"});
    QVERIFY(!session.Item("UndoBtn").isEnabled());
    QVERIFY(!session.Item("RedoBtn").isEnabled());
    QCOMPARE(VisibleTitle(main), QStringLiteral("Texelary"));
    session.AddAll();
    QVERIFY(main.OpenProjectFile(session.PathOf("p.mm")));
    QVERIFY(!session.Item("UndoBtn").isEnabled());
}

void WindowsTest::ListedNamesAreNotAddedAgain_data() {
    QTest::addColumn<QStringList>("first");   // added through the chooser
    QTest::addColumn<QStringList>("dropped"); // dropped next, or added when empty
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    const QString one = QStringLiteral("1 file was already listed and is not added again.");
    QTest::newRow("added again") << QStringList{"a.bmp", "b.bmp"} << QStringList{}
                                 << QStringList{"a.bmp", "b.bmp", "c.bmp"}
                                 << "2 files were already listed and are not added again.";
    QTest::newRow("dropped again") << QStringList{"a.bmp"} << QStringList{"c.bmp", "a.bmp"}
                                   << QStringList{"a.bmp", "c.bmp"} << one;
    QTest::newRow("twice in one drop")
        << QStringList{} << QStringList{"c.bmp", "c.bmp"} << QStringList{"c.bmp"} << one;
    QTest::newRow("none listed") << QStringList{"a.bmp"} << QStringList{"b.bmp"}
                                 << QStringList{"a.bmp", "b.bmp"} << QString();
    // Names in another case are another file where the file system tells them apart.
    const bool anyCase = NamesIgnoreCase(std::filesystem::temp_directory_path());
    QTest::newRow("other case") << QStringList{"a.bmp"} << QStringList{"A.bmp"}
                                << (anyCase ? QStringList{"a.bmp"} : QStringList{"a.bmp", "A.bmp"})
                                << (anyCase ? one : QString());
}

// A name listed already is left out, and the status line says once how many were; no box.
void WindowsTest::ListedNamesAreNotAddedAgain() {
    QFETCH(QStringList, first);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 4, 4);
    }
    if (!QFileInfo::exists(session.PathOf("A.bmp"))) {
        WriteBitmap(session.PathOf("A.bmp"), 4, 4);
    }
    AddNames(session, first);
    if (dropped.isEmpty()) {
        AddNames(session, {"a.bmp", "b.bmp", "c.bmp"});
    } else {
        DropNames(session, dropped);
    }
    QCOMPARE(session.Entries(), entries);
    QCOMPARE(StatusMessage(session), message);
    QCOMPARE(session.BmpList().currentRow(), int(entries.size()) - 1);
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
}

int RunWindowsTests(int argc, char** argv) {
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test
