// The path chooser: folders, drives, typed paths and archives opened like folders.

#include "WindowsTest.h"

#include <QInputDialog>

namespace texelary::test {

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

// Compiled maps stand among the archives and open as a wad does, holding no folders; a map that
// holds no textures of its own says so, and the list stays where it was.
void WindowsTest::PathChooserOpensMaps() {
    Session session;
    CopyTestMaps(session);
    // Through another name: a file system that ignores case keeps the old name otherwise.
    QVERIFY(QFile::rename(session.PathOf("hl.bsp"), session.PathOf("upper.tmp")));
    QVERIFY(QFile::rename(session.PathOf("upper.tmp"), session.PathOf("HL.BSP")));
    const QString root = QDir(session.Dir()).canonicalPath();
    QStringList top;
    bool archivePicture = false;
    QStringList beforeRefused;
    QStringList afterRefused;
    QStringList inMap;
    QString opened;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& dialog) {
        auto& list = *dialog.findChild<QListWidget*>(QStringLiteral("Path"));
        top = LinesBelow(list);
        archivePicture = !PictureOf(list, "HL.BSP").isNull() &&
                         PictureOf(list, "HL.BSP") != PictureOf(list, list.item(0)->text());
        beforeRefused = Texts(list);
        OpenLine(list, "credits.bsp");
        afterRefused = Texts(list);
        OpenLine(list, "HL.BSP");
        inMap = LinesBelow(list);
        opened = static_cast<TPathDialog&>(dialog).Directory();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OkBtn")), Qt::LeftButton);
        return kClosedByAction;
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(top, (QStringList{"credits.bsp", "HL.BSP", "q1_detail_fence2.bsp"}));
    QVERIFY(archivePicture);
    QCOMPARE(afterRefused, beforeRefused);
    QCOMPARE(session.Boxes.Texts(),
             QStringList{"Cannot read the archive \"" +
                         QDir::toNativeSeparators(root + QStringLiteral("/credits.bsp")) + "\"."});
    QCOMPARE(session.Boxes.Shown[0].detail,
             std::string("the map names its textures rather than holding them (--textures-of "
                         "takes them from the game's folder)"));
    QCOMPARE(inMap, QStringList{});
    QCOMPARE(opened, root + QStringLiteral("/HL.BSP"));
    QCOMPARE(session.InputPath().text(),
             QDir::toNativeSeparators(root + QStringLiteral("/HL.BSP")));
}

void WindowsTest::NewFolderInPathChooser_data() {
    QTest::addColumn<QString>("where"); // opened in the session's directory first
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refused"); // the reason; empty when the folder is made
    QTest::newRow("made") << "."
                          << " fresh "
                          << "";
    QTest::newRow("there") << "."
                           << "sub"
                           << "something of that name is already there";
    QTest::newRow("parent") << "."
                            << ".."
                            << "something of that name is already there";
    QTest::newRow("separator") << "."
                               << "a/b"
                               << "a folder's name holds no / or \\";
    QTest::newRow("in a pak") << "base.pak"
                              << "fresh"
                              << "folders can't be made inside an archive";
}

// "New folder" asks for a name and makes the folder in the one shown, which then highlights it;
// a name that can't be made is refused with the reason, and nothing is made.
void WindowsTest::NewFolderInPathChooser() {
    QFETCH(QString, where);
    QFETCH(QString, name);
    QFETCH(QString, refused);
    Session session;
    WriteTestArchives(session);
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("sub")));
    const QString root = QDir(session.Dir()).canonicalPath();
    const QString shown = QDir::cleanPath(root + "/" + where);
    QString asked;
    QString highlighted;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("BmpDirBtn")),
                          Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& chooser) {
        static_cast<TPathDialog&>(chooser).OpenDirectory(shown);
        QTest::mouseClick(chooser.findChild<QPushButton*>(QStringLiteral("NewFolderBtn")),
                          Qt::LeftButton);
        highlighted =
            chooser.findChild<QListWidget*>(QStringLiteral("Path"))->currentItem()->text();
        return int(QDialog::Rejected);
    });
    session.Modals.Then([&](QDialog& ask) {
        asked = static_cast<QInputDialog&>(ask).labelText();
        static_cast<QInputDialog&>(ask).setTextValue(name);
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown,
             (QStringList{"TProjectSetup", "TPathDialog", "NewFolderDialog"}));
    QCOMPARE(asked, "Name of the new folder in \"" + QDir::toNativeSeparators(shown) + "\":");
    const QString made = shown + "/" + name.trimmed();
    if (refused.isEmpty()) {
        QVERIFY(QFileInfo(made).isDir());
        QCOMPARE(highlighted, name.trimmed());
        QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
        return;
    }
    QVERIFY(!QFileInfo::exists(root + "/fresh") && !QFileInfo::exists(root + "/a"));
    QCOMPARE(session.Boxes.Texts(),
             QStringList{"Cannot make the folder \"" + QDir::toNativeSeparators(made) + "\"."});
    QCOMPARE(QString::fromStdString(session.Boxes.Shown[0].detail), refused);
}

void WindowsTest::PathChooserTakesTildeAsHome_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("home") << "~" << QDir::cleanPath(QDir::homePath());
    QTest::newRow("in home") << "~/.." << QDir::cleanPath(QDir::homePath() + "/..");
}

void WindowsTest::PathChooserTakesTildeAsHome() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    Session session;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& chooser) {
        auto& field = *chooser.findChild<QLineEdit*>(QStringLiteral("PathLabel"));
        field.setText(typed);
        QTest::keyClick(&field, Qt::Key_Return);
        return chooser.isVisible() ? int(QDialog::Rejected) : kClosedByAction;
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
    QCOMPARE(session.OutputPath().text(), QDir::toNativeSeparators(chosen));
}

// Where outputs go, an archive is not opened as a folder, even when asked by its path.
void WindowsTest::OutputChooserOpensNoArchive() {
    Session session;
    WriteTestArchives(session);
    const QString pak = QDir(session.Dir()).canonicalPath() + QStringLiteral("/base.pak");
    bool opened = true;
    QString shown;
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return int(QDialog::Accepted);
    });
    session.Modals.Then([&](QDialog& dialog) {
        auto& chooser = static_cast<TPathDialog&>(dialog);
        opened = chooser.OpenDirectory(pak);
        shown = chooser.Directory();
        return int(QDialog::Rejected);
    });
    session.Item("PropertiesBtn").trigger();
    QVERIFY(!opened);
    QCOMPARE(shown, QDir(session.Dir()).canonicalPath());
    QCOMPARE(session.Boxes.Texts(),
             QStringList{"Cannot read the directory \"" + QDir::toNativeSeparators(pak) + "\"."});
}

void WindowsTest::PathChooserDrawsPicturesAtTheirSize() {
    Session session;
    QVERIFY(QDir(session.Dir()).mkdir(QStringLiteral("sub")));
    QSize icon;
    InPathChooser(session, [&](TPathDialog&, QListWidget& list) { icon = list.iconSize(); });
    const int size = FolderLines::IconSize(*session.Windows().PathDialog->style());
    QVERIFY(size <= FolderLines::kLineHeight);
    QCOMPARE(icon, QSize(size, size));
}

} // namespace texelary::test
