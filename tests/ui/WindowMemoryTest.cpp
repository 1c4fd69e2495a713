// What the windows remember from one start of the program to the next: the main window's place and
// size, and the folders the file dialogs open at.

#include "WindowsTest.h"

#include <QScreen>
#include <QTemporaryDir>

namespace texelary::test {

namespace {

// Answers a file dialog by cancelling it, keeping the folder it opened at.
ModalAction FolderShown(QString& folder) {
    return [&folder](QDialog& dialog) {
        folder = static_cast<QFileDialog&>(dialog).directory().absolutePath();
        return int(QDialog::Rejected);
    };
}

void WritePalette(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("JASC-PAL\n0100\n256\n");
    for (int i = 0; i < 256; ++i) {
        file.write(QByteArray::number(i) + " 0 0\n");
    }
}

} // namespace

// Closed, the main window opens at the same place and size at the next start; a place on no
// screen there is now gives the first start's: the least size, centred.
void WindowsTest::MainWindowOpensWhereItWasClosed() {
    const QRect moved(40, 50, 600, 420);
    {
        Session session;
        session.Windows().Main->setGeometry(moved);
        QTRY_COMPARE(session.Windows().Main->geometry(), moved);
        session.Windows().Main->close();
    }
    {
        Session session(Memory::Kept);
        QTRY_COMPARE(session.Windows().Main->geometry(), moved);
        session.Windows().Main->move(-5000, -5000);
        QTRY_COMPARE(session.Windows().Main->pos(), QPoint(-5000, -5000));
        session.Windows().Main->close();
    }
    Session session(Memory::Kept);
    TMain& main = *session.Windows().Main;
    QCOMPARE(main.size(), main.minimumSizeHint());
    const QPoint off = main.frameGeometry().center() - main.screen()->availableGeometry().center();
    QVERIFY2(off.manhattanLength() <= 2,
             qPrintable(QStringLiteral("off centre by %1, %2").arg(off.x()).arg(off.y())));
}

// Load opens at the project's folder when there is a project file, else where it last chose one;
// Save As and the palette chooser open where each last chose, at the next start too.
void WindowsTest::FileDialogsOpenAtTheirLastFolders() {
    const QTemporaryDir kept;
    for (const char* folder : {"loaded", "saved", "palettes"}) {
        QVERIFY(QDir(kept.path()).mkdir(QString::fromLatin1(folder)));
    }
    const auto keptPath = [&kept](const char* name) {
        return kept.filePath(QString::fromLatin1(name));
    };
    QVERIFY(SaveProject(Project{}, Local(keptPath("loaded/a.mm"))));
    WritePalette(keptPath("palettes/mod.pal"));
    {
        Session session;
        session.Modals.Then(ChooseFile(keptPath("loaded/a.mm")));
        session.Item("LoadBtn").trigger();
        session.Modals.Then(ChooseFile(keptPath("saved/b.mm")));
        session.Item("SaveAsBtn").trigger();
        session.Modals.Then(ChooseFile(keptPath("palettes/mod.pal")));
        session.SetupControl<QComboBox>("PaletteChoice").setCurrentIndex(1);
        emit session.SetupControl<QComboBox>("PaletteChoice").activated(1);
        QCOMPARE(session.Boxes.Shown.size(), std::size_t{0});
        QCOMPARE(session.Modals.Shown,
                 (QStringList{"OpenDialogMm", "SaveDialogMm", "PaletteFileDialog"}));
    }
    // Without a palette file of its own, the chooser would open at the program's folder.
    QSettings(QStringLiteral("Texelary"), QStringLiteral("Texelary"))
        .remove(QStringLiteral("Conversion/PaletteFile"));
    Session session(Memory::Kept);
    QString loadAt;
    QString saveAt;
    QString paletteAt;
    session.Modals.Then(FolderShown(loadAt));
    session.Item("LoadBtn").trigger();
    session.Modals.Then(FolderShown(saveAt));
    session.Item("SaveAsBtn").trigger();
    session.Modals.Then(FolderShown(paletteAt));
    session.SetupControl<QComboBox>("PaletteChoice").setCurrentIndex(1);
    emit session.SetupControl<QComboBox>("PaletteChoice").activated(1);
    QCOMPARE(loadAt, keptPath("loaded"));
    QCOMPARE(saveAt, keptPath("saved"));
    QCOMPARE(paletteAt, keptPath("palettes"));
    // With a project file, Load opens at its folder.
    QVERIFY(session.Windows().Main->OpenProjectFile(keptPath("saved/b.mm")));
    session.Modals.Then(FolderShown(loadAt));
    session.Item("LoadBtn").trigger();
    QCOMPARE(loadAt, keptPath("saved"));
    QSettings(QStringLiteral("Texelary"), QStringLiteral("Texelary")).clear();
}

} // namespace texelary::test
