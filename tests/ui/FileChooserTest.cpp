// The file chooser of "Add...": what it offers, what it adds, and archives listed as folders.

#include "WindowsTest.h"

#include <QScrollBar>
#include <functional>

namespace texelary::test {

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

void WindowsTest::AddLeavesOutListedNamesAndShowsLastAdded() {
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
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp", "b.bmp"}));
    QCOMPARE(session.BmpList().currentRow(), 2);
    QCOMPARE(PreviewPictureSize(session), QSize(9, 3));
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

// Whatever had the keys when it was last closed, the chooser opens with them in its list: Ctrl+A
// selects every file, and "Ok" takes them all.
void WindowsTest::CtrlASelectsEveryFileInChooser() {
    Session session;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        WriteBitmap(session.PathOf(QString::fromLatin1(name)), 4, 4);
    }
    session.Add([](QDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("CancelBtn"))->setFocus();
        return int(QDialog::Rejected);
    });
    session.Add([](QDialog& dialog) {
        if (dialog.focusWidget() == nullptr) {
            return int(QDialog::Rejected);
        }
        QTest::keyClick(dialog.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OkBtn")), Qt::LeftButton);
        return kClosedByAction;
    });
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "b.bmp", "c.bmp"}));
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

void WindowsTest::EmptyChooserSaysWhatItLists_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("input"); // in the session's directory
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("shortened");
    QTest::newRow("folder") << IndexOf(SourceFormat::Png) << "."
                            << "*.png files" << false;
    QTest::newRow("long folder") << IndexOf(SourceFormat::Png) << QString(120, QLatin1Char('x'))
                                 << "*.png files" << true;
    QTest::newRow("folder in a pak") << IndexOf(SourceFormat::Wal) << "base.pak/sound"
                                     << "*.wal files" << false;
}

// In place of its lines, an empty list names the files it lists and where, shortened in the
// middle when it is longer than the list, the whole of it in the tooltip.
void WindowsTest::EmptyChooserSaysWhatItLists() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QString, what);
    QFETCH(bool, shortened);
    Session session;
    WriteTestArchives(session);
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    QVERIFY(input.contains(QStringLiteral(".pak")) || QDir(session.Dir()).mkpath(input));
    const QString folder = QDir::cleanPath(QDir(session.PathOf(input)).absolutePath());
    session.InputPath().setText(QDir::toNativeSeparators(folder));
    session.ConvFrom().setCurrentIndex(from);
    QString text;
    QString whole;
    bool fits = false;
    session.Add([&](QDialog& dialog) {
        const auto& empty = *dialog.findChild<QLabel*>(QStringLiteral("Empty"));
        text = empty.isVisible() ? empty.text() : QString();
        whole = empty.toolTip();
        fits = empty.fontMetrics().horizontalAdvance(text) <= empty.contentsRect().width();
        return int(QDialog::Rejected);
    });
    QCOMPARE(whole, "No " + what + " in " + QDir::toNativeSeparators(folder));
    QVERIFY(fits);
    // Shortened in the middle: what it lists and the folder's last letters stay.
    const QChar ellipsis(0x2026);
    QVERIFY(text == whole || text.contains(ellipsis));
    QVERIFY(!shortened || text.contains(ellipsis));
    QVERIFY(text.startsWith("No " + what));
    QVERIFY(text.endsWith(whole.right(4)));
    // With files to list, the words are gone.
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Bmp));
    session.InputPath().setText(QDir::toNativeSeparators(session.Dir()));
    bool shown = true;
    session.Add([&](QDialog& dialog) {
        shown = dialog.findChild<QLabel*>(QStringLiteral("Empty"))->isVisible();
        return int(QDialog::Rejected);
    });
    QVERIFY(!shown);
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
    QTest::newRow("wad2, map of version 29")
        << IndexOf(SourceFormat::Wad2) << "q1_detail_fence2.bsp"
        << QStringList{"orangestuff8", "skip", "{trigger"};
    // EXTERNAL has no pixels in the map, so there is nothing of it to convert.
    QTest::newRow("wad3, map of version 30")
        << IndexOf(SourceFormat::Wad3) << "hl.bsp" << QStringList{"embedded", "skip"};
}

// The chooser lists an archive's textures of the source format by their names in the input
// directory, and they are added as a folder's files are.
void WindowsTest::AddListsTheTexturesOfAnArchive() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QStringList, listed);
    Session session;
    WriteTestArchives(session);
    CopyTestMaps(session);
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

namespace {

// The header of a map of version 29 whose texture lump (the third) runs past the file's end.
QByteArray DamagedMap() {
    QByteArray header(4 + 15 * 8, '\0');
    header[0] = 29;
    header[4 + 2 * 8] = char(4 + 15 * 8); // offset: just after the header
    header[4 + 2 * 8 + 5] = 4;            // length: 1024
    return header;
}

} // namespace

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
        << "only the mip textures of a wad or map can be read in this format";
    QTest::newRow("wad2 from a pak")
        << IndexOf(SourceFormat::Wad2) << "base.pak"
        << "The input path \"%1\" holds no " + wad2 + "." << exclamation
        << "only the mip textures of a wad or map can be read in this format";
    QTest::newRow("wad2 from a folder in a pak")
        << IndexOf(SourceFormat::Wad2) << "base.pak/textures"
        << "The input path \"%1\" holds no " + wad2 + "." << exclamation
        << "only the mip textures of a wad or map can be read in this format";
    QTest::newRow("wad3 from a wad2")
        << IndexOf(SourceFormat::Wad3) << "gfx.wad"
        << "The input path \"%1\" holds no WAD3 textures (*.wad)." << exclamation
        << "the wad or map holds the other kind of textures (WAD2 or WAD3)";
    QTest::newRow("damaged wad") << IndexOf(SourceFormat::Wad2) << "bad.wad"
                                 << "Cannot read the archive \"%1\"." << stop << "";
    QTest::newRow("damaged pak") << IndexOf(SourceFormat::Wal) << "bad.pak/textures"
                                 << "Cannot read the archive \"%1\"." << stop << "";
    QTest::newRow("wad3 from a map of version 29")
        << IndexOf(SourceFormat::Wad3) << "q1_detail_fence2.bsp"
        << "The input path \"%1\" holds no WAD3 textures (*.wad)." << exclamation
        << "the wad or map holds the other kind of textures (WAD2 or WAD3)";
    QTest::newRow("damaged map") << IndexOf(SourceFormat::Wad2) << "bad.bsp"
                                 << "Cannot read the archive \"%1\"." << stop
                                 << "a lump of the map runs past the end of the file";
    QTest::newRow("map of version 38")
        << IndexOf(SourceFormat::Wad2) << "credits.bsp"
        << "Cannot read the archive \"%1\"." << stop
        << "the map names its textures rather than holding them (--textures-of takes them from "
           "the game's folder)";
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
    CopyTestMaps(session);
    WriteText(session.PathOf("bad.bsp"), DamagedMap());
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

namespace {

// Opens the file chooser (`paths` false) or the input's path chooser and runs `look` inside it.
void InChooser(Session& session, bool paths, const std::function<void(QDialog&)>& look) {
    const auto answer = [look](QDialog& dialog) {
        look(dialog);
        return int(QDialog::Rejected);
    };
    if (!paths) {
        session.Add(answer);
        return;
    }
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then(answer);
    session.Item("PropertiesBtn").trigger();
}

} // namespace

void WindowsTest::ChoosersGrowAndShortenLongNames_data() {
    QTest::addColumn<bool>("paths");
    QTest::addColumn<QString>("list");
    QTest::newRow("file chooser") << false << "File";
    QTest::newRow("path chooser") << true << "Path";
}

// Each chooser opens at its first size, its least; it can be maximised, and resized it gives the
// room it gains to its list, its buttons keeping their size and their place from the corner. A
// name longer than the list is shortened in the middle, its line's tooltip the whole name.
void WindowsTest::ChoosersGrowAndShortenLongNames() {
    QFETCH(bool, paths);
    QFETCH(QString, list);
    Session session;
    const QString name = QString(50, QLatin1Char('n')) + QStringLiteral("_middle_") +
                         QString(50, QLatin1Char('e')) + (paths ? "" : ".bmp");
    if (paths) {
        QVERIFY(QDir(session.Dir()).mkdir(name));
    } else {
        WriteBitmap(session.PathOf(name), 4, 4);
    }
    QSize firstSize;
    QSize grown;
    QPoint okMoved;
    QSize okSize;
    bool maximisable = false;
    bool shortened = false;
    int maximisedWidth = 0;
    InChooser(session, paths, [&](QDialog& dialog) {
        auto& lines = *dialog.findChild<QListWidget*>(list);
        const auto& ok = *dialog.findChild<QPushButton*>(QStringLiteral("OkBtn"));
        const QList<QListWidgetItem*> found = lines.findItems(name, Qt::MatchExactly);
        shortened = found.size() == 1 && found[0]->toolTip() == name &&
                    lines.textElideMode() == Qt::ElideMiddle &&
                    lines.visualItemRect(found[0]).right() < lines.viewport()->width() &&
                    lines.horizontalScrollBar()->maximum() == 0;
        firstSize = dialog.size();
        maximisable = dialog.minimumSize() == firstSize &&
                      dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint);
        const QSize listBefore = lines.size();
        const QPoint okBefore = ok.pos();
        dialog.resize(firstSize + QSize(200, 100));
        (void)QTest::qWaitFor([&] { return lines.size() != listBefore; });
        grown = lines.size() - listBefore;
        okMoved = ok.pos() - okBefore;
        okSize = ok.size();
        dialog.showMaximized();
        (void)QTest::qWaitFor([&] { return dialog.width() > firstSize.width() + 200; });
        maximisedWidth = lines.width();
    });
    QVERIFY(shortened);
    QVERIFY(maximisable);
    QCOMPARE(grown, QSize(200, 100));
    QCOMPARE(okMoved, QPoint(200, 100));
    QCOMPARE(okSize, QSize(75, 25));
    QVERIFY(maximisedWidth > grown.width() + 200);
}

void WindowsTest::ChoosersComeBackAtTheirLastSize_data() {
    ChoosersGrowAndShortenLongNames_data();
}

// A chooser resized opens at that size again, in this run and the next; a size kept from smaller
// layouts than this one's opens it at its first size, never less.
void WindowsTest::ChoosersComeBackAtTheirLastSize() {
    QFETCH(bool, paths);
    QSize firstSize;
    {
        Session session;
        InChooser(session, paths, [&](QDialog& dialog) {
            firstSize = dialog.size();
            dialog.resize(firstSize + QSize(120, 60));
        });
    }
    QSize reopened;
    {
        Session session(Memory::Kept);
        InChooser(session, paths, [&](QDialog& dialog) { reopened = dialog.size(); });
    }
    QCOMPARE(reopened, firstSize + QSize(120, 60));
    QSettings(QStringLiteral("Texelary"), QStringLiteral("Texelary"))
        .setValue(paths ? QStringLiteral("Windows/PathChooser")
                        : QStringLiteral("Windows/FileChooser"),
                  QSize(100, 50));
    Session session(Memory::Kept);
    InChooser(session, paths, [&](QDialog& dialog) { reopened = dialog.size(); });
    QCOMPARE(reopened, firstSize);
}

} // namespace texelary::test
