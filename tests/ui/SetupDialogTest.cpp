// The project setup dialog: typed paths, the formats and the output file dialogs.

#include "WindowsTest.h"

namespace texelary::test {

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
        {"OutputPath", native + QDir::separator() + "notes.txt", 0, "it is a file"},
        {"OutputPath", native + QDir::separator() + "out.pak", 0, nullptr},
        {"OutputPath", native + QDir::separator() + "out.pak" + QDir::separator() + "textures", 0,
         nullptr},
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
    QTest::addColumn<QStringList>("filters");
    // A wad target may also write into a compiled map.
    const QStringList wads{"Wads (*.wad)", "Compiled maps (*.bsp)"};
    const QStringList paks{"Paks (*.pak)"};
    QTest::newRow("wad2, Browse...") << IndexOf(TargetFormat::Wad2) << "Button1"
                                     << "SaveDialogWad"
                                     << "wad" << wads;
    QTest::newRow("wad3, Browse...") << IndexOf(TargetFormat::Wad3) << "Button1"
                                     << "SaveDialogWad"
                                     << "wad" << wads;
    QTest::newRow("png, Pak...") << IndexOf(TargetFormat::Png) << "PakBtn"
                                 << "SaveDialogPak"
                                 << "pak" << paks;
    QTest::newRow("wal, Pak...") << IndexOf(TargetFormat::Wal) << "PakBtn"
                                 << "SaveDialogPak"
                                 << "pak" << paks;
}

// A save dialog for the one file of the run's outputs: it opens in the output folder, offers
// files of the extension and adds it to a name typed without one.
void WindowsTest::OutputFileDialogsFillTheOutputField() {
    QFETCH(int, to);
    QFETCH(QString, button);
    QFETCH(QString, dialog);
    QFETCH(QString, extension);
    QFETCH(QStringList, filters);
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
    QStringList offered;
    QString title;
    bool saves = false;
    session.Modals.Then([&](QDialog& shown) {
        auto* files = qobject_cast<QFileDialog*>(&shown);
        if (files == nullptr) {
            return int(QDialog::Rejected);
        }
        opened = files->directory().absolutePath();
        offered = files->nameFilters();
        title = files->windowTitle();
        saves = files->acceptMode() == QFileDialog::AcceptSave;
        files->selectFile(QStringLiteral("textures"));
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", dialog}));
    QCOMPARE(pakEnabled, extension == "pak");
    QCOMPARE(opened, session.PathOf("out"));
    QCOMPARE(offered, filters);
    QVERIFY2(title.startsWith("Choose the " + extension + " to write"), qPrintable(title));
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

// A wad target's output may be a map that is there: picked under its own filter, a name typed
// without an extension is the map's, and the dialog takes it as a place the run can write to.
void WindowsTest::WadTargetMayWriteIntoAMap() {
    Session session;
    CopyTestMaps(session);
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wad2));
    session.Modals.Then([](QDialog& setup) {
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        QTest::mouseClick(setup.findChild<QPushButton*>(QStringLiteral("OkBtn")), Qt::LeftButton);
        return kClosedByAction;
    });
    QString suffix;
    session.Modals.Then([&](QDialog& shown) {
        auto& files = static_cast<QFileDialog&>(shown);
        // The second filter, picked as a user picks it.
        QTest::keyClick(files.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")), Qt::Key_Down);
        suffix = files.defaultSuffix();
        files.selectFile(QStringLiteral("q1_detail_fence2"));
        return int(QDialog::Accepted);
    });
    session.Item("PropertiesBtn").trigger();
    QCOMPARE(session.Modals.Shown, (QStringList{"TProjectSetup", "SaveDialogWad"}));
    QCOMPARE(suffix, QStringLiteral("bsp"));
    QCOMPARE(session.OutputPath().text(),
             QDir::toNativeSeparators(session.PathOf("q1_detail_fence2.bsp")));
    QCOMPARE(session.Boxes.Texts(), QStringList{});
}

// Every option says what it does, and a greyed one why it is greyed.
void WindowsTest::SetupOptionsSayWhatTheyDo() {
    Session session;
    QDialog& setup = *session.Windows().ProjectSetup;
    for (const char* name : {"KeepHeader", "MipLevels", "TransparentIndex", "Dither",
                             "PaletteChoice", "InputPath", "PakBtn", "Fullbright"}) {
        QVERIFY2(!setup.findChild<QWidget*>(QString::fromLatin1(name))->toolTip().isEmpty(), name);
    }
    auto& pak = *setup.findChild<QWidget*>(QStringLiteral("PakBtn"));
    auto& fullbright = *setup.findChild<QWidget*>(QStringLiteral("Fullbright"));
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Png));
    QVERIFY(!fullbright.isEnabled() &&
            fullbright.toolTip().contains(QStringLiteral("choose WAD2")));
    session.ConvTo().setCurrentIndex(IndexOf(TargetFormat::Wad2));
    QVERIFY(!pak.isEnabled() && pak.toolTip().contains(QStringLiteral("never a pak")));
    QVERIFY(fullbright.isEnabled() && !fullbright.toolTip().contains(QStringLiteral("choose")));
}

} // namespace texelary::test
