// The texture browser's edits of a wad: what the actions on the selection, a drop and Undo make of
// the grid, and the wad Save writes.

#include "ArchiveFiles.h"
#include "UiTestSupport.h"
#include "edit/EditSession.h"
#include "formats/mips/MipTexture.h"
#include "ui/app/DroppedFiles.h"
#include "ui/app/TMain.h"
#include "ui/browser/TextureBrowser.h"
#include "ui/browser/TextureModel.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

namespace texelary::test {

namespace {

// A WAD2 of mip textures (Picture16, each named as its lump) written at `path`.
void WriteMipWad(const QString& path, const QStringList& names,
                 const std::vector<std::uint8_t>& last = {}) {
    std::vector<std::vector<std::uint8_t>> lumps;
    std::vector<std::string> utf8;
    for (const QString& name : names) {
        utf8.push_back(name.toStdString());
        lumps.push_back(*EncodeWad2MipTexture(Picture16(), utf8.back()));
    }
    if (!last.empty()) {
        lumps.back() = last;
    }
    std::vector<WadMember> members;
    for (std::size_t i = 0; i < lumps.size(); ++i) {
        members.push_back({utf8[i], MipTextureType(WadKind::Wad2), lumps[i]});
    }
    ReplacingFile out(QFile::encodeName(path).toStdString());
    if (!WriteWad(out, WadKind::Wad2, members) || !out.Commit()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QListView& Grid(Session& session) {
    return *session.Windows().TextureBrowser->findChild<QListView*>(QStringLiteral("Textures"));
}

QStringList Listed(Session& session) {
    const QAbstractItemModel& model = *Grid(session).model();
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) {
        names.append(model.index(row, 0).data(Qt::ToolTipRole).toString());
    }
    return names;
}

void Select(Session& session, const QString& name) {
    const int row = static_cast<int>(Listed(session).indexOf(name));
    QVERIFY(row >= 0);
    Grid(session).selectionModel()->setCurrentIndex(Grid(session).model()->index(row, 0),
                                                    QItemSelectionModel::ClearAndSelect);
}

void Trigger(Session& session, const char* action) {
    session.Windows().TextureBrowser->findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

// Undo, Redo and Save are the browser's own buttons.
void Click(Session& session, const char* button) {
    session.Windows().TextureBrowser->findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

// The browser opened on gfx.wad, a WAD2 of brick and *lava.
void OpenOnWad(Session& session) {
    WriteMipWad(session.PathOf("gfx.wad"), {"brick", "*lava"});
    session.InputPath().setText(session.PathOf("gfx.wad"));
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad2));
    session.Item("TexturesBtn").trigger();
}

// A PNG of `size` x `size` at `path`.
void WritePng(const QString& path, int size = 16) {
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(QColor(90, 60, 30));
    QVERIFY(picture.save(path, "PNG"));
}

// The mip texture the picture at `path` becomes in a copy of gfx.wad, as a drop or Add... makes
// it.
std::vector<std::uint8_t> EntryOf(Session& session, const QString& path) {
    QFile::remove(session.PathOf("copy.wad"));
    QFile::copy(session.PathOf("gfx.wad"), session.PathOf("copy.wad"));
    EditSession edits;
    std::string reason;
    const auto document = edits.Open(session.PathOf("copy.wad").toStdString(), reason);
    const auto entry = EntryOfPicture(edits, document.value_or(0), path.toStdString(), {}, reason);
    return entry ? entry->bytes : std::vector<std::uint8_t>();
}

ModalAction Answer(const QString& text) {
    return [text](QDialog& dialog) {
        if (auto* input = qobject_cast<QInputDialog*>(&dialog)) {
            input->setTextValue(text);
        } else {
            static_cast<QFileDialog&>(dialog).selectFile(text);
        }
        return static_cast<int>(QDialog::Accepted);
    };
}

} // namespace

class EntryActionsTest final : public QObject {
    Q_OBJECT
private slots:
    void SavedWadIsTheOneEdited_data();
    void SavedWadIsTheOneEdited();
    void RenameRefusesANameTaken();
    void DroppedPictureIsAddedConverted();
    void UndoRestoresTheGridAndRedoRepeats();
    void CopiesToAnotherWad();
    void DragOutCarriesFilesAndTheListTakesTheTextures();
    void AMapsTextureIsOnlyReplacedBySameSize();
    void TexturesDroppedFromAnotherWadAreCopiedAsTheyAre();
};

void EntryActionsTest::SavedWadIsTheOneEdited_data() {
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("rename") << "brick"
                            << "RenameAction"
                            << "stone" << QStringList{"stone", "*lava"};
    QTest::newRow("delete") << "brick"
                            << "DeleteAction"
                            << "" << QStringList{"*lava"};
    QTest::newRow("add") << "brick"
                         << "AddAction"
                         << "new.png" << QStringList{"brick", "*lava", "new"};
    QTest::newRow("move up") << "*lava"
                             << "MoveUpAction"
                             << "" << QStringList{"*lava", "brick"};
}

void EntryActionsTest::SavedWadIsTheOneEdited() {
    QFETCH(QString, select);
    QFETCH(QString, action);
    QFETCH(QString, answer);
    QFETCH(QStringList, listed);
    Session session;
    OpenOnWad(session);
    WritePng(session.PathOf("new.png"));
    const std::vector<std::uint8_t> added = EntryOf(session, session.PathOf("new.png"));
    Select(session, select);
    if (!answer.isEmpty()) {
        session.Modals.Then(Answer(answer.endsWith(".png") ? session.PathOf(answer) : answer));
    }
    Trigger(session, action.toLatin1().constData());
    QCOMPARE(Listed(session), listed);
    Click(session, "SaveBtn");
    QCOMPARE(session.Boxes.Texts(), QStringList());
    WriteMipWad(session.PathOf("built.wad"), listed,
                action == "AddAction" ? added : std::vector<std::uint8_t>());
    QCOMPARE(Contents(session.PathOf("gfx.wad")), Contents(session.PathOf("built.wad")));
}

void EntryActionsTest::RenameRefusesANameTaken() {
    Session session;
    OpenOnWad(session);
    Select(session, "brick");
    session.Modals.Then(Answer("*LAVA"));
    Trigger(session, "RenameAction");
    QCOMPARE(Listed(session), (QStringList{"brick", "*lava"}));
    QCOMPARE(session.Boxes.Shown.size(), 1U);
    QCOMPARE(QString::fromStdString(session.Boxes.Shown[0].text), "brick is not renamed *LAVA.");
}

void EntryActionsTest::DroppedPictureIsAddedConverted() {
    Session session;
    OpenOnWad(session);
    WritePng(session.PathOf("drop.png"));
    const std::vector<std::uint8_t> added = EntryOf(session, session.PathOf("drop.png"));
    QVERIFY(!added.empty());
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(session.PathOf("drop.png"))});
    QWidget& target = *Grid(session).viewport();
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    // Dropped on the first texture: it goes before it.
    const QPoint first = Grid(session).visualRect(Grid(session).model()->index(0, 0)).center();
    QDropEvent drop(first, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    QCOMPARE(Listed(session), (QStringList{"drop", "brick", "*lava"}));
    // Its thumbnail is made from the bytes the drop made: the wad on disk has no such texture.
    const QModelIndex item = Grid(session).model()->index(0, 0);
    QTRY_COMPARE(item.data(TextureModel::ThumbnailRole).toInt(),
                 static_cast<int>(TextureModel::ThumbnailState::Ready));
    Click(session, "SaveBtn");
    QVERIFY(Contents(session.PathOf("gfx.wad"))
                .contains(QByteArray(reinterpret_cast<const char*>(added.data()),
                                     static_cast<qsizetype>(added.size()))));
}

void EntryActionsTest::UndoRestoresTheGridAndRedoRepeats() {
    Session session;
    OpenOnWad(session);
    const QByteArray before = Contents(session.PathOf("gfx.wad"));
    Select(session, "brick");
    session.Modals.Then(Answer("stone"));
    Trigger(session, "RenameAction");
    Select(session, "*lava");
    Trigger(session, "DeleteAction");
    QCOMPARE(Listed(session), QStringList{"stone"});
    Click(session, "UndoBtn");
    QCOMPARE(Listed(session), (QStringList{"stone", "*lava"}));
    Click(session, "UndoBtn");
    QCOMPARE(Listed(session), (QStringList{"brick", "*lava"}));
    Click(session, "RedoBtn");
    QCOMPARE(Listed(session), (QStringList{"stone", "*lava"}));
    QCOMPARE(Contents(session.PathOf("gfx.wad")), before);
}

void EntryActionsTest::CopiesToAnotherWad() {
    Session session;
    OpenOnWad(session);
    WriteMipWad(session.PathOf("other.wad"), {"sky"});
    Select(session, "*lava");
    session.Modals.Then(Answer(session.PathOf("other.wad")));
    Trigger(session, "CopyAction");
    QCOMPARE(session.Boxes.Texts(), QStringList());
    Click(session, "SaveBtn");
    WriteMipWad(session.PathOf("built.wad"), {"sky", "*lava"});
    QCOMPARE(Contents(session.PathOf("other.wad")), Contents(session.PathOf("built.wad")));
    QCOMPARE(Listed(session), (QStringList{"brick", "*lava"}));
}

// A file manager gets the textures as files; the image list gets them as the wad's own.
void EntryActionsTest::DragOutCarriesFilesAndTheListTakesTheTextures() {
    Session session;
    OpenOnWad(session);
    Select(session, "*lava");
    const QListView& grid = Grid(session);
    const std::unique_ptr<QMimeData> dragged(
        grid.model()->mimeData(grid.selectionModel()->selectedIndexes()));
    QCOMPARE(dragged->urls().size(), 1);
    const QString file = dragged->urls().front().toLocalFile();
    QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("#lava"));
    QVERIFY(Contents(file).startsWith("*lava"));
    session.Windows().Main->AddDroppedFiles(*dragged);
    QCOMPARE(session.Boxes.Texts(), QStringList());
    QCOMPARE(session.Entries(), QStringList{"*lava"});
}

void EntryActionsTest::AMapsTextureIsOnlyReplacedBySameSize() {
    Session session;
    CopyTestMaps(session);
    const QString map = session.PathOf("q1_detail_fence2.bsp");
    const QByteArray before = Contents(map);
    session.InputPath().setText(map);
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wad2));
    session.Item("TexturesBtn").trigger();
    Select(session, "orangestuff8");
    const auto* window = session.Windows().TextureBrowser;
    for (const char* name : {"RenameAction", "DeleteAction", "AddAction", "MoveUpAction",
                             "MoveToAction", "ReplaceAction", "CopyAction", "ExtractAction"}) {
        QCOMPARE(window->findChild<QAction*>(QString::fromLatin1(name))->isEnabled(),
                 QByteArray(name) == "ReplaceAction" || QByteArray(name) == "CopyAction" ||
                     QByteArray(name) == "ExtractAction");
    }
    WritePng(session.PathOf("small.png"), 32);
    WritePng(session.PathOf("fits.png"), 64);
    session.Modals.Then(Answer(session.PathOf("small.png")));
    Trigger(session, "ReplaceAction");
    QCOMPARE(session.Boxes.Shown.size(), 1U);
    QVERIFY(session.Boxes.Shown[0].detail.find("64 x 64") != std::string::npos);
    session.Modals.Then(Answer(session.PathOf("fits.png")));
    Trigger(session, "ReplaceAction");
    QCOMPARE(session.Boxes.Shown.size(), 1U);
    Click(session, "SaveBtn");
    QCOMPARE(Contents(map).size(), before.size());
    QVERIFY(Contents(map) != before);
}

// From another browser's wad, or from the image list: the drop names the textures in their wad.
void EntryActionsTest::TexturesDroppedFromAnotherWadAreCopiedAsTheyAre() {
    Session session;
    OpenOnWad(session);
    WriteMipWad(session.PathOf("other.wad"), {"sky", "*slime"});
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(session.PathOf("copies/sky"))});
    dropped.setData(QLatin1String(kArchivePathsFormat),
                    EncodeArchivePaths({QUrl::fromLocalFile(session.PathOf("other.wad/SKY")),
                                        QUrl::fromLocalFile(session.PathOf("other.wad/*slime"))}));
    // A drop goes where the drag entered.
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Grid(session).viewport(), &enter);
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Grid(session).viewport(), &drop);
    QCOMPARE(session.Boxes.Texts(), QStringList());
    QCOMPARE(Listed(session), (QStringList{"brick", "*lava", "sky", "*slime"}));
    Click(session, "SaveBtn");
    WriteMipWad(session.PathOf("built.wad"), {"brick", "*lava", "sky", "*slime"});
    QCOMPARE(Contents(session.PathOf("gfx.wad")), Contents(session.PathOf("built.wad")));
}

int RunEntryActionsTests(int argc, char** argv) {
    EntryActionsTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test

#include "EntryActionsTest.moc"
