// The texture browser: what it lists, its filter, what a selected texture shows, animations, and
// how its textures reach the project's list.

#include "ui/browser/TextureBrowser.h"

#include "FormatFiles.h"
#include "UiTestSupport.h"
#include "base/ByteOrder.h"
#include "colour/WalPalette.h"
#include "ui/app/TMain.h"
#include "ui/browser/TextureModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <initializer_list>

namespace texelary::test {

namespace {

template <typename Widget> Widget& Part(Session& session, const char* name) {
    auto* widget = session.Windows().TextureBrowser->findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        qFatal("the texture browser has no %s", name);
    }
    return *widget;
}

QListView& Grid(Session& session) {
    return Part<QListView>(session, "Textures");
}

QString LabelText(Session& session, const char* name) {
    return Part<QLabel>(session, name).text();
}

// The names of the textures the grid lists, in order, or with `folders` of its sub-folders.
QStringList Listed(Session& session, bool folders = false) {
    const QAbstractItemModel& model = *Grid(session).model();
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex item = model.index(row, 0);
        if (item.data(TextureModel::FolderRole).toBool() == folders) {
            names.append(item.data(Qt::ToolTipRole).toString());
        }
    }
    return names;
}

int RowOf(Session& session, const QString& name) {
    const QAbstractItemModel& model = *Grid(session).model();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, 0).data(Qt::ToolTipRole).toString() == name) {
            return row;
        }
    }
    return -1;
}

// Opens the browser on the project's input folder, converting from `from`.
void Open(Session& session, SourceFormat from) {
    session.ConvFrom().setCurrentIndex(IndexOf(from));
    session.Item("TexturesBtn").trigger();
}

// Small bitmaps of these names in the input folder, and the browser opened on them.
void OpenOnBitmaps(Session& session, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        WriteBitmap(session.PathOf(name), 4, 4);
    }
    Open(session, SourceFormat::Bmp);
}

void Select(Session& session, const QStringList& names) {
    QItemSelectionModel& selection = *Grid(session).selectionModel();
    selection.clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = Grid(session).model()->index(RowOf(session, name), 0);
        selection.setCurrentIndex(index, QItemSelectionModel::Select);
    }
}

// A 16 x 16 .wal whose first pixel has index `first` and whose header names `next` as the next
// frame.
void WriteWalTexture(Session& session, const QString& name, std::uint8_t first = 40,
                     const std::string& next = {}) {
    IndexedImage picture = Picture16();
    picture.pixels[0] = first;
    HeaderFields fields;
    fields.name = "e1u1/" + QFileInfo(name).completeBaseName().toStdString();
    fields.animationName = next;
    fields.flags = 0x10;
    fields.contents = 1;
    fields.value = 7;
    QVERIFY(WriteWalFile(picture, WalPalette, QFile::encodeName(session.PathOf(name)).toStdString(),
                         WriteOptions(MipFilter::Point, fields)));
}

QColor WalColour(int index) {
    const auto i = static_cast<std::size_t>(index);
    return QColor(WalPalette[3 * i], WalPalette[3 * i + 1], WalPalette[3 * i + 2]);
}

QColor PixelOf(Session& session, const char* label, int x, int y) {
    return Part<QLabel>(session, label).pixmap().toImage().pixelColor(x, y);
}

QByteArray FileBytes(Session& session, const QString& name) {
    QFile file(session.PathOf(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The .wal's flags word: bytes 88 to 91 of its header.
constexpr qsizetype kWalFlagsAt = 88;

// .wal textures a.wal, b.wal, ... with these flags, all selected in the open browser, whose window
// is the active one, as it is for a user typing into it.
void OpenOnWalFlags(Session& session, const QList<std::uint32_t>& flags) {
    QStringList names;
    for (qsizetype i = 0; i < flags.size(); ++i) {
        names.append(QString(QLatin1Char(static_cast<char>('a' + i))) + QStringLiteral(".wal"));
        WriteWalTexture(session, names.back());
        QByteArray bytes = FileBytes(session, names.back());
        StoreLE32(reinterpret_cast<std::uint8_t*>(bytes.data()) + kWalFlagsAt, flags[i]);
        WriteText(session.PathOf(names.back()), bytes);
    }
    Open(session, SourceFormat::Wal);
    QVERIFY(QTest::qWaitForWindowActive(session.Windows().TextureBrowser));
    Select(session, names);
}

QCheckBox& BitBox(Session& session, const char* name) {
    return Part<QCheckBox>(session, name);
}

} // namespace

class TextureBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void OpensFromTheViewMenu();
    void ListsTheTexturesOfTheSourceFormat_data();
    void ListsTheTexturesOfTheSourceFormat();
    void FilterShowsTheNamesThatContainIt();
    void SelectionShowsPictureLevelsPaletteAndFields();
    void TrueColourShowsItsLevelsOverACheckerboard();
    void AnimationStepsThroughItsFrames_data();
    void AnimationStepsThroughItsFrames();
    void AddToListAddsExactlyTheSelected();
    void AddToListTakesTexturesInAnArchive_data();
    void AddToListTakesTexturesInAnArchive();
    void DragCarriesTheSelectedFiles();
    void DamagedFileGetsAPlaceholder();
    void MapShowsItsTexturesAndCountsThoseOutside_data();
    void MapShowsItsTexturesAndCountsThoseOutside();
    void PanesKeepTheirPlacesWhenATextureIsShown();
    void NamesShowWholeWhenTheyFit_data();
    void NamesShowWholeWhenTheyFit();
    void SelectionFramesTheCellNotThePicture();
    void GoesIntoSubFoldersAndBackUp();
    void SubFoldersTooListsTheWholeTree_data();
    void SubFoldersTooListsTheWholeTree();
    void FilterIsClearedForAnotherInput();
    void FieldsThatDifferShowAsMixed();
    void ABoxClickedSetsExactlyItsBit_data();
    void ABoxClickedSetsExactlyItsBit();
    void UndoAndRedoFromTheKeyboard_data();
    void UndoAndRedoFromTheKeyboard();
    void ClosingAsksAboutUnsavedEdits_data();
    void ClosingAsksAboutUnsavedEdits();
    void AWadTextureOffersOnlyItsName();
    void ChainFramesMovedAreOneEdit();
};

void TextureBrowserTest::OpensFromTheViewMenu() {
    Session session;
    QAction& item = session.Item("TexturesBtn");
    QCOMPARE(item.shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
    QCOMPARE(item.text(), QStringLiteral("&Textures"));
    const auto* view = session.Windows().Main->findChild<QMenu*>(QStringLiteral("OptionsMnu"));
    QCOMPARE(view->title(), QStringLiteral("&View"));
    QVERIFY(view->actions().contains(&item));
    QVERIFY(!session.Windows().TextureBrowser->isVisible());
    item.trigger();
    QVERIFY(session.Windows().TextureBrowser->isVisible());
    QCOMPARE(VisibleTitle(*session.Windows().TextureBrowser),
             QStringLiteral("Textures - Texelary"));
    // Every button and field has a letter of its own for Alt.
    QStringList letters;
    for (const QAbstractButton* button :
         session.Windows().TextureBrowser->findChildren<QAbstractButton*>()) {
        if (button->text().contains(QLatin1Char('&'))) {
            letters.append(button->text().section(QLatin1Char('&'), 1).left(1).toLower());
        }
    }
    for (const QLabel* label : session.Windows().TextureBrowser->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            letters.append(label->text().section(QLatin1Char('&'), 1).left(1).toLower());
        }
    }
    letters.sort();
    QCOMPARE(letters, (QStringList{"a", "c", "d", "f", "m", "o", "p", "r", "s", "u", "v", "z"}));
}

void TextureBrowserTest::ListsTheTexturesOfTheSourceFormat_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("input"); // under the session's folder
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("bitmaps") << IndexOf(SourceFormat::Bmp) << QString()
                             << QStringList{"a.bmp", "D.BMP"};
    QTest::newRow("wal") << IndexOf(SourceFormat::Wal) << QString() << QStringList{"b.wal"};
    QTest::newRow("folder in a pak")
        << IndexOf(SourceFormat::Wal) << "base.pak/textures" << QStringList{"c.wal", "D.Wal"};
    // A wad's textures in its own order, which the browser can change.
    QTest::newRow("wad") << IndexOf(SourceFormat::Wad2) << "gfx.wad"
                         << QStringList{"brick", "*lava"};
}

void TextureBrowserTest::ListsTheTexturesOfTheSourceFormat() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QStringList, listed);
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteBitmap(session.PathOf("D.BMP"), 4, 4);
    WriteWalTexture(session, "b.wal");
    WriteText(session.PathOf("c.m8"), "m8");
    WriteTestArchives(session);
    if (!input.isEmpty()) {
        session.InputPath().setText(session.PathOf(input));
    }
    Open(session, *SourceFormatAt(from));
    QCOMPARE(Listed(session), listed);
    QCOMPARE(LabelText(session, "Count"), QStringLiteral("%1 textures").arg(listed.size()));
    // Each has its thumbnail, read as the run reads it, from the archive too.
    const QAbstractItemModel& model = *Grid(session).model();
    for (const QString& name : listed) {
        QTRY_COMPARE(model.index(RowOf(session, name), 0).data(TextureModel::ThumbnailRole).toInt(),
                     int(TextureModel::ThumbnailState::Ready));
    }
}

void TextureBrowserTest::FilterShowsTheNamesThatContainIt() {
    Session session;
    OpenOnBitmaps(session, {"wall1.bmp", "floor.bmp", "Wall2.bmp"});
    QTest::keyClicks(&Part<QLineEdit>(session, "Filter"), QStringLiteral("WALL"));
    QCOMPARE(Listed(session), (QStringList{"wall1.bmp", "Wall2.bmp"}));
    QCOMPARE(LabelText(session, "Count"), QStringLiteral("2 of 3 textures"));
}

void TextureBrowserTest::SelectionShowsPictureLevelsPaletteAndFields() {
    Session session;
    WriteWalTexture(session, "stone.wal", 200, "e1u1/st\xC3\xB6ne\"2");
    Open(session, SourceFormat::Wal);
    Part<QSpinBox>(session, "Zoom").setValue(8);
    Select(session, {"stone.wal"});

    // As --info words them, a capital letter to each: a name's bytes that are not printable ASCII,
    // and its quotes, as \xHH.
    const QStringList fields = LabelText(session, "Fields").split(QLatin1Char('\n'));
    QCOMPARE(fields,
             (QStringList{"stone.wal", "Size: 16 x 16", "Levels: 4: 16 x 16, 8 x 8, 4 x 4, 2 x 2",
                          "Name: \"e1u1/stone\"", "Animation name: \"e1u1/st\\xC3\\xB6ne\\x222\"",
                          "Flags: 0x00000010", "Contents: 0x00000001", "Value: 0x00000007"}));
    // The details keep two fifths of the width, which leaves the fields room enough that no word
    // of theirs is cut.
    const QSplitter& split = Part<QSplitter>(session, "Split");
    QVERIFY(split.widget(1)->width() * 5 >= split.width() * 2 - 2 * split.handleWidth());
    const QLabel& label = Part<QLabel>(session, "Fields");
    for (const QString& word : fields.join(QLatin1Char(' ')).split(QLatin1Char(' '))) {
        QVERIFY2(label.fontMetrics().horizontalAdvance(word) <= label.width(), qPrintable(word));
    }
    // Zoomed 8 times by nearest neighbour: texel (0, 0) fills the first 8 x 8 pixels alone.
    QCOMPARE(Part<QLabel>(session, "Picture").pixmap().size(), QSize(128, 128));
    QCOMPARE(PixelOf(session, "Picture", 7, 7), WalColour(200));
    QCOMPARE(PixelOf(session, "Picture", 8, 7), WalColour(41));
    // The levels side by side, 4 pixels apart, at the same zoom.
    QCOMPARE(Part<QLabel>(session, "Levels").pixmap().size(),
             QSize(8 * (16 + 8 + 4 + 2) + 3 * 4, 128));
    // Cell 41 of the palette grid: row 2, column 9, 9 pixels a cell beyond a 1-pixel line.
    QCOMPARE(Part<QLabel>(session, "PaletteGrid").pixmap().size(), QSize(145, 145));
    QCOMPARE(PixelOf(session, "PaletteGrid", 1 + 9 * 9 + 4, 1 + 2 * 9 + 4), WalColour(41));
    QVERIFY(!Part<QPushButton>(session, "PlayBtn").isEnabled());
}

// An .m32 of the map editor's tests: 2 x 2, red, green, blue and a see-through white, and a
// 1 x 1 level.
void TextureBrowserTest::TrueColourShowsItsLevelsOverACheckerboard() {
    Session session;
    QVERIFY(QFile::copy(QStringLiteral(TEXELARY_TEST_DATA "/family/test.m32"),
                        session.PathOf("test.m32")));
    Open(session, SourceFormat::M32);
    Part<QSpinBox>(session, "Zoom").setValue(8);
    Select(session, {"test.m32"});
    const QStringList fields = LabelText(session, "Fields").split(QLatin1Char('\n'));
    QVERIFY(fields.contains(QStringLiteral("Levels: 2: 2 x 2, 1 x 1")));
    QVERIFY(fields.contains(QStringLiteral("Detail name: \"test_detail\"")));
    QCOMPARE(PixelOf(session, "Picture", 4, 4), QColor(255, 0, 0));
    // Texel (1, 1) is wholly see-through: the checkerboard's squares show, 8 pixels each.
    QCOMPARE(PixelOf(session, "Picture", 12, 12), QColor(0xCC, 0xCC, 0xCC));
    QCOMPARE(PixelOf(session, "Picture", 15, 8), QColor(0xCC, 0xCC, 0xCC));
    QCOMPARE(Part<QLabel>(session, "Levels").pixmap().size(), QSize(8 * (2 + 1) + 4, 16));
    QCOMPARE(LabelText(session, "PaletteGrid"), QStringLiteral("True colour:\nno palette"));
}

void TextureBrowserTest::AnimationStepsThroughItsFrames_data() {
    QTest::addColumn<QStringList>("frames");  // in play order, each file's first pixel 100 + i
    QTest::addColumn<QStringList>("next");    // the header's next frame of each
    QTest::addColumn<QStringList>("besides"); // other textures of the folder
    QTest::newRow("numbered") << QStringList{"+0lava.wal", "+1lava.wal", "+2lava.wal"}
                              << QStringList{"", "", ""}
                              << QStringList{"+0slime.wal", "+alava.wal"};
    QTest::newRow("named in headers")
        << QStringList{"a.wal", "b.wal", "c.wal"} << QStringList{"e1u1/b", "e1u1/c", "e1u1/a"}
        << QStringList{"d.wal"};
}

void TextureBrowserTest::AnimationStepsThroughItsFrames() {
    QFETCH(QStringList, frames);
    QFETCH(QStringList, next);
    QFETCH(QStringList, besides);
    Session session;
    for (int i = 0; i < frames.size(); ++i) {
        WriteWalTexture(session, frames[i], static_cast<std::uint8_t>(100 + i),
                        next[i].toStdString());
    }
    for (const QString& name : besides) {
        WriteWalTexture(session, name);
    }
    Open(session, SourceFormat::Wal);
    Select(session, {frames[0]});
    QCOMPARE(LabelText(session, "Frame"),
             frames[0] + QStringLiteral(": frame 1 of 3 of its animation"));
    QPushButton& play = Part<QPushButton>(session, "PlayBtn");
    QVERIFY(play.isEnabled());
    QTest::mouseClick(&play, Qt::LeftButton);
    QCOMPARE(play.text(), QStringLiteral("&Stop"));
    QTRY_COMPARE(LabelText(session, "Frame"),
                 frames[1] + QStringLiteral(": frame 2 of 3 of its animation"));
    QCOMPARE(PixelOf(session, "Picture", 0, 0), WalColour(101));
    QTRY_COMPARE(LabelText(session, "Frame"),
                 frames[2] + QStringLiteral(": frame 3 of 3 of its animation"));
    QTRY_COMPARE(LabelText(session, "Frame"),
                 frames[0] + QStringLiteral(": frame 1 of 3 of its animation"));
    QTest::mouseClick(&play, Qt::LeftButton);
    QCOMPARE(play.text(), QStringLiteral("&Play"));
}

void TextureBrowserTest::AddToListAddsExactlyTheSelected() {
    Session session;
    OpenOnBitmaps(session, {"a.bmp", "b.bmp", "c.bmp"});
    Select(session, {"a.bmp", "c.bmp"});
    QTest::mouseClick(&Part<QPushButton>(session, "AddBtn"), Qt::LeftButton);
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp"}));
    QVERIFY(session.Button("CreateBtn").isEnabled());
    QVERIFY(session.Boxes.Shown.empty());

    // A file gone since it was listed is refused by the rules of a drop, and the box says why.
    Select(session, {"b.bmp"});
    QVERIFY(QFile::remove(session.PathOf("b.bmp")));
    QTest::mouseClick(&Part<QPushButton>(session, "AddBtn"), Qt::LeftButton);
    QCOMPARE(session.Entries(), (QStringList{"a.bmp", "c.bmp"}));
    QCOMPARE(session.Boxes.Texts(), QStringList{"Not added to the image list:\nb.bmp: not a file"});
}

void TextureBrowserTest::AddToListTakesTexturesInAnArchive_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("texture");
    QTest::addColumn<QString>("elsewhere"); // a texture of the format outside the input folder
    QTest::newRow("folder in a pak") << IndexOf(SourceFormat::Wal) << "base.pak/textures"
                                     << "D.Wal"
                                     << "base.pak/a.wal";
    QTest::newRow("wad") << IndexOf(SourceFormat::Wad2) << "gfx.wad"
                         << "*lava"
                         << "half.wad/{fence";
    QTest::newRow("map") << IndexOf(SourceFormat::Wad2) << "q1_detail_fence2.bsp"
                         << "{trigger"
                         << "gfx.wad/brick";
}

void TextureBrowserTest::AddToListTakesTexturesInAnArchive() {
    QFETCH(int, from);
    QFETCH(QString, input);
    QFETCH(QString, texture);
    QFETCH(QString, elsewhere);
    Session session;
    WriteTestArchives(session);
    CopyTestMaps(session);
    session.InputPath().setText(session.PathOf(input));
    Open(session, *SourceFormatAt(from));
    Select(session, {texture});
    QTest::mouseClick(&Part<QPushButton>(session, "AddBtn"), Qt::LeftButton);
    QCOMPARE(session.Boxes.Texts(), QStringList());
    QCOMPARE(session.Entries(), QStringList{texture});

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(session.PathOf(elsewhere))});
    session.Windows().Main->AddDroppedFiles(other);
    QCOMPARE(session.Entries(), QStringList{texture});
    QCOMPARE(session.Boxes.Texts(),
             QStringList{"Not added to the image list:\n" +
                         elsewhere.section(QLatin1Char('/'), -1) + ": not in the input directory " +
                         QDir::toNativeSeparators(session.PathOf(input))});
}

void TextureBrowserTest::DragCarriesTheSelectedFiles() {
    Session session;
    OpenOnBitmaps(session, {"a.bmp", "b.bmp", "c.bmp"});
    Select(session, {"c.bmp", "b.bmp"});
    const QListView& grid = Grid(session);
    // An icon view of static items turns dragging off unless it is turned on after the layout.
    QVERIFY(grid.dragEnabled());
    const std::unique_ptr<QMimeData> dragged(
        grid.model()->mimeData(grid.selectionModel()->selectedIndexes()));
    QCOMPARE(dragged->urls(), (QList<QUrl>{QUrl::fromLocalFile(session.PathOf("b.bmp")),
                                           QUrl::fromLocalFile(session.PathOf("c.bmp"))}));
    QWidget& target = *session.BmpList().viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, dragged.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, dragged.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    QCOMPARE(session.Entries(), (QStringList{"b.bmp", "c.bmp"}));
}

void TextureBrowserTest::DamagedFileGetsAPlaceholder() {
    Session session;
    WriteText(session.PathOf("bad.wal"), "not a texture");
    WriteWalTexture(session, "good.wal");
    Open(session, SourceFormat::Wal);
    const QAbstractItemModel& model = *Grid(session).model();
    const auto state = [&](const char* name) {
        return model.index(RowOf(session, name), 0).data(TextureModel::ThumbnailRole).toInt();
    };
    QTRY_COMPARE(state("bad.wal"), int(TextureModel::ThumbnailState::Damaged));
    QTRY_COMPARE(state("good.wal"), int(TextureModel::ThumbnailState::Ready));
    QCOMPARE(model.index(RowOf(session, "good.wal"), 0).data().toString(),
             QStringLiteral("good.wal\n16 x 16"));
    QCOMPARE(model.index(RowOf(session, "bad.wal"), 0).data().toString(),
             QStringLiteral("bad.wal"));

    Select(session, {"bad.wal"});
    QVERIFY(LabelText(session, "Fields").startsWith(QStringLiteral("bad.wal\nCannot be read: ")));
    QVERIFY(!Part<QLabel>(session, "Picture").pixmap().isNull());
    QVERIFY(session.Boxes.Shown.empty());
}

void TextureBrowserTest::MapShowsItsTexturesAndCountsThoseOutside_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("count"); // %1: the map's path
    QTest::addColumn<QString>("outside");
    QTest::newRow("version 29") << IndexOf(SourceFormat::Wad2) << "q1_detail_fence2.bsp"
                                << QStringList{"orangestuff8", "skip", "{trigger"} << "3 textures"
                                << "";
    QTest::newRow("version 30, one texture outside")
        << IndexOf(SourceFormat::Wad3) << "hl.bsp" << QStringList{"embedded", "skip"}
        << "2 textures, 1 outside the map"
        << "Outside the map: EXTERNAL";
    QTest::newRow("version 30 for WAD2 textures")
        << IndexOf(SourceFormat::Wad2) << "hl.bsp" << QStringList{} << "0 textures"
        << "";
    QTest::newRow("version 38")
        << IndexOf(SourceFormat::Wad2) << "credits.bsp" << QStringList{}
        << "Cannot read the archive \"%1\": the map names its textures rather than holding them "
           "(--textures-of takes them from the game's folder)"
        << "";
}

// A map lists the textures it holds the pixels of, each with its thumbnail; those it names but
// holds elsewhere are counted and named apart, and a map without textures of its own says why.
void TextureBrowserTest::MapShowsItsTexturesAndCountsThoseOutside() {
    QFETCH(int, from);
    QFETCH(QString, map);
    QFETCH(QStringList, listed);
    QFETCH(QString, count);
    QFETCH(QString, outside);
    Session session;
    CopyTestMaps(session);
    session.InputPath().setText(session.PathOf(map));
    Open(session, *SourceFormatAt(from));
    QCOMPARE(Listed(session), listed);
    QCOMPARE(LabelText(session, "Count"),
             count.replace(QStringLiteral("%1"), QDir::toNativeSeparators(session.PathOf(map))));
    QCOMPARE(Part<QLabel>(session, "Count").toolTip(), outside);
    const QAbstractItemModel& model = *Grid(session).model();
    for (int row = 0; row < model.rowCount(); ++row) {
        QTRY_COMPARE(model.index(row, 0).data(TextureModel::ThumbnailRole).toInt(),
                     int(TextureModel::ThumbnailState::Ready));
    }
}

// Showing a texture whose fields are long moves neither the divider nor the grid's cells.
void TextureBrowserTest::PanesKeepTheirPlacesWhenATextureIsShown() {
    Session session;
    for (const char* name : {"a.wal", "b.wal", "c.wal", "d.wal", "e.wal", "f.wal", "g.wal"}) {
        WriteWalTexture(session, name, 40, std::string(60, 'x') + "/" + std::string(60, 'y'));
    }
    Open(session, SourceFormat::Wal);
    QCoreApplication::processEvents();
    const QList<int> panes = Part<QSplitter>(session, "Split").sizes();
    const QModelIndex last = Grid(session).model()->index(RowOf(session, "b.wal"), 0);
    const QRect cell = Grid(session).visualRect(last);
    QVERIFY(cell.left() > 0); // a row of several columns
    Select(session, {"b.wal"});
    QVERIFY(LabelText(session, "Fields").contains(QStringLiteral("Animation name")));
    QCoreApplication::processEvents();
    QCOMPARE(Part<QSplitter>(session, "Split").sizes(), panes);
    const QWidget& details = Part<QWidget>(session, "Details");
    QVERIFY(details.minimumSizeHint().width() <= details.width());
    QCOMPARE(Grid(session).visualRect(last), cell);
}

void TextureBrowserTest::NamesShowWholeWhenTheyFit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("other"); // a name of the same folder, to be told apart
    QTest::newRow("short") << "+0button3.m8"
                           << "+1button3.m8";
    QTest::newRow("long folder prefix") << "base/textures/general/metal_plates/+0a_rust.m8"
                                        << "base/textures/general/metal_plates/+1a_rust.m8";
}

// Each cell, whatever its texture and before any is read, has room for its thumbnail and two
// lines; a name shows whole when it fits, else cut at the left so the file name stays whole.
void TextureBrowserTest::NamesShowWholeWhenTheyFit() {
    QFETCH(QString, name);
    QFETCH(QString, other);
    Session session;
    Open(session, SourceFormat::M8);
    const QListView& grid = Grid(session);
    const QStyleOptionViewItem option;
    const QSize cell = grid.itemDelegate()->sizeHint(option, QModelIndex());
    QCOMPARE(grid.gridSize(), cell);
    const QFontMetrics metrics = grid.fontMetrics();
    QVERIFY(cell.height() >= 64 + 2 * metrics.lineSpacing());
    const int width = cell.width() - 12;
    const QString shown = ShownName(name, metrics, width);
    QVERIFY(metrics.horizontalAdvance(shown) <= width);
    if (metrics.horizontalAdvance(name) <= width) {
        QCOMPARE(shown, name);
    } else {
        QVERIFY(shown.endsWith(name.section(QLatin1Char('/'), -1)));
    }
    QVERIFY(shown != ShownName(other, metrics, width));
}

// A selected cell is framed; its thumbnail keeps its colours.
void TextureBrowserTest::SelectionFramesTheCellNotThePicture() {
    Session session;
    WriteWalTexture(session, "a.wal");
    Open(session, SourceFormat::Wal);
    QListView& grid = Grid(session);
    const QModelIndex item = grid.model()->index(0, 0);
    QTRY_COMPARE(item.data(TextureModel::ThumbnailRole).toInt(),
                 int(TextureModel::ThumbnailState::Ready));
    const QRect cell = grid.visualRect(item);
    const QPoint middle(cell.center().x(), cell.top() + 6 + 32);
    const QPoint edge(cell.left() + 1, cell.center().y());
    const QImage before = grid.viewport()->grab().toImage();
    Select(session, {"a.wal"});
    const QImage after = grid.viewport()->grab().toImage();
    QCOMPARE(after.pixelColor(middle), before.pixelColor(middle));
    const QColor frame = after.pixelColor(edge);
    QVERIFY(frame == grid.palette().color(QPalette::Active, QPalette::Highlight) ||
            frame == grid.palette().color(QPalette::Inactive, QPalette::Highlight));
}

// A pak's textures in folders: the grid lists a folder's own, its sub-folders as items to go
// into; Up goes back, never above the input.
void TextureBrowserTest::GoesIntoSubFoldersAndBackUp() {
    Session session;
    WriteTestArchives(session);
    session.InputPath().setText(session.PathOf("base.pak"));
    Open(session, SourceFormat::Wal);
    QPushButton& up = Part<QPushButton>(session, "UpBtn");
    const auto at = [&](const QString& place, const QStringList& listed,
                        const QStringList& folders) {
        QCOMPARE(LabelText(session, "Place"), QDir::toNativeSeparators(session.PathOf(place)));
        QCOMPARE(Listed(session), listed);
        QCOMPARE(Listed(session, true), folders);
        QCOMPARE(up.isEnabled(), place != QStringLiteral("base.pak"));
    };
    at("base.pak", {"a.wal"}, {"sound/", "textures/"});
    Grid(session).setCurrentIndex(Grid(session).model()->index(RowOf(session, "textures/"), 0));
    QTest::keyClick(&Grid(session), Qt::Key_Return);
    at("base.pak/textures", {"c.wal", "D.Wal"}, {"e1/"});
    QCOMPARE(LabelText(session, "Count"), QStringLiteral("2 textures"));
    emit Grid(session).activated(Grid(session).model()->index(RowOf(session, "e1/"), 0));
    at("base.pak/textures/e1", {"e.wal"}, {});
    QTest::mouseClick(&up, Qt::LeftButton);
    at("base.pak/textures", {"c.wal", "D.Wal"}, {"e1/"});
    QTest::mouseClick(&up, Qt::LeftButton);
    at("base.pak", {"a.wal"}, {"sound/", "textures/"});
}

void TextureBrowserTest::SubFoldersTooListsTheWholeTree_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("pak") << "base.pak"
                         << QStringList{"a.wal", "textures/c.wal", "textures/D.Wal",
                                        "textures/e1/e.wal"};
    QTest::newRow("folder in a pak")
        << "base.pak/textures" << QStringList{"c.wal", "D.Wal", "e1/e.wal"};
    QTest::newRow("directory") << "tree" << QStringList{"b.wal", "deep/er/c.wal", "z/a.wal"};
}

void TextureBrowserTest::SubFoldersTooListsTheWholeTree() {
    QFETCH(QString, input);
    QFETCH(QStringList, listed);
    Session session;
    WriteTestArchives(session);
    QVERIFY(QDir(session.PathOf(".")).mkpath(QStringLiteral("tree/deep/er")));
    QVERIFY(QDir(session.PathOf(".")).mkpath(QStringLiteral("tree/z")));
    for (const char* name : {"tree/b.wal", "tree/deep/er/c.wal", "tree/z/a.wal"}) {
        WriteWalTexture(session, name);
    }
    session.InputPath().setText(session.PathOf(input));
    Open(session, SourceFormat::Wal);
    QTest::mouseClick(&Part<QCheckBox>(session, "SubFolders"), Qt::LeftButton);
    QCOMPARE(Listed(session), listed);
    QCOMPARE(Listed(session, true), QStringList());
    QCOMPARE(LabelText(session, "Count"), QStringLiteral("%1 textures").arg(listed.size()));
    const QAbstractItemModel& model = *Grid(session).model();
    QTRY_COMPARE(
        model.index(RowOf(session, listed.back()), 0).data(TextureModel::ThumbnailRole).toInt(),
        int(TextureModel::ThumbnailState::Ready));
}

// Another input folder or source format shows all its textures: the last filter is gone.
void TextureBrowserTest::FilterIsClearedForAnotherInput() {
    Session session;
    QVERIFY(QDir(session.PathOf(".")).mkpath(QStringLiteral("other")));
    WriteBitmap(session.PathOf("other/b.bmp"), 4, 4);
    OpenOnBitmaps(session, {"wall.bmp", "floor.bmp"});
    QTest::keyClicks(&Part<QLineEdit>(session, "Filter"), QStringLiteral("wall"));
    QCOMPARE(LabelText(session, "Count"), QStringLiteral("1 of 2 textures"));
    session.InputPath().setText(session.PathOf("other"));
    QCOMPARE(Part<QLineEdit>(session, "Filter").text(), QString());
    QCOMPARE(Listed(session), QStringList{"b.bmp"});
    QTest::keyClicks(&Part<QLineEdit>(session, "Filter"), QStringLiteral("zz"));
    session.ConvFrom().setCurrentIndex(IndexOf(SourceFormat::Wal));
    QCOMPARE(Part<QLineEdit>(session, "Filter").text(), QString());
}

// Two textures whose names and flags differ: what they share shows, what differs is mixed.
void TextureBrowserTest::FieldsThatDifferShowAsMixed() {
    Session session;
    OpenOnWalFlags(session, {0x11, 0x18}); // SURF_LIGHT | SURF_TRANS33, SURF_WARP | SURF_TRANS33
    const std::pair<const char*, Qt::CheckState> boxes[] = {
        {"SURF_TRANS33", Qt::Checked},       {"SURF_LIGHT", Qt::PartiallyChecked},
        {"SURF_WARP", Qt::PartiallyChecked}, {"SURF_SKY", Qt::Unchecked},
        {"CONTENTS_SOLID", Qt::Checked},     {"CONTENTS_WATER", Qt::Unchecked},
    };
    for (const auto& [name, state] : boxes) {
        QVERIFY2(BitBox(session, name).checkState() == state, name);
    }
    const std::tuple<const char*, const char*, const char*> lines[] = {
        {"name", "", "(mixed)"},
        {"flags", "", "(mixed)"},
        {"contents", "0x00000001", ""},
        {"value", "7", ""},
    };
    for (const auto& [name, text, placeholder] : lines) {
        QCOMPARE(Part<QLineEdit>(session, name).text(), QString::fromLatin1(text));
        QCOMPARE(Part<QLineEdit>(session, name).placeholderText(),
                 QString::fromLatin1(placeholder));
    }
    // A mixed field left empty is no edit.
    QTest::keyClick(&Part<QLineEdit>(session, "name"), Qt::Key_Return);
    QVERIFY(!session.Windows().TextureBrowser->isWindowModified());
    // From the grid, Tab reaches the zoom, then the fields in their order (as the real-window
    // scenario types it).
    Grid(session).setFocus();
    for (const char* next : {"Zoom", "name", "animation", "flags", "SURF_LIGHT"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

void TextureBrowserTest::ABoxClickedSetsExactlyItsBit_data() {
    QTest::addColumn<QList<std::uint32_t>>("flags");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QList<std::uint32_t>>("saved");
    QTest::newRow("set where some have it") << QList<std::uint32_t>{0x0, 0x10, 0x11} << "SURF_LIGHT"
                                            << QList<std::uint32_t>{0x1, 0x11, 0x11};
    QTest::newRow("set where none has it") << QList<std::uint32_t>{0x0, 0x10, 0x11} << "SURF_WARP"
                                           << QList<std::uint32_t>{0x8, 0x18, 0x19};
    QTest::newRow("cleared where all have it")
        << QList<std::uint32_t>{0x10, 0x10, 0x11} << "SURF_TRANS33"
        << QList<std::uint32_t>{0x0, 0x0, 0x1};
}

// Three textures: a box clicked sets (or clears) its bit in each, Ctrl+S writes them, and every
// other byte stays as it was.
void TextureBrowserTest::ABoxClickedSetsExactlyItsBit() {
    QFETCH(QList<std::uint32_t>, flags);
    QFETCH(QString, box);
    QFETCH(QList<std::uint32_t>, saved);
    Session session;
    OpenOnWalFlags(session, flags);
    const QStringList names{"a.wal", "b.wal", "c.wal"};
    QList<QByteArray> expected;
    for (qsizetype i = 0; i < names.size(); ++i) {
        expected.append(FileBytes(session, names[i]));
        StoreLE32(reinterpret_cast<std::uint8_t*>(expected.back().data()) + kWalFlagsAt, saved[i]);
    }
    QWidget& browser = *session.Windows().TextureBrowser;
    BitBox(session, qPrintable(box)).click();
    QCOMPARE(VisibleTitle(browser), QStringLiteral("Textures* - Texelary"));
    QVERIFY(FileBytes(session, names[0]) != expected[0]); // held until saved
    QTest::keySequence(&browser, QKeySequence(QStringLiteral("Ctrl+S")));
    for (qsizetype i = 0; i < names.size(); ++i) {
        QCOMPARE(FileBytes(session, names[i]), expected[i]);
    }
    QCOMPARE(VisibleTitle(browser), QStringLiteral("Textures - Texelary"));
    QVERIFY(BitBox(session, qPrintable(box)).checkState() != Qt::PartiallyChecked);
    QVERIFY(session.Boxes.Shown.empty());
}

void TextureBrowserTest::UndoAndRedoFromTheKeyboard_data() {
    QTest::addColumn<QString>("redo");
    QTest::newRow("Ctrl+Shift+Z") << "Ctrl+Shift+Z";
    QTest::newRow("Ctrl+Y") << "Ctrl+Y";
}

void TextureBrowserTest::UndoAndRedoFromTheKeyboard() {
    QFETCH(QString, redo);
    Session session;
    OpenOnWalFlags(session, {0x0, 0x10});
    const QByteArray before = FileBytes(session, "a.wal");
    QWidget& browser = *session.Windows().TextureBrowser;
    QCheckBox& light = BitBox(session, "SURF_LIGHT");
    light.click();
    const auto shows = [&](Qt::CheckState state, bool modified) {
        QCOMPARE(light.checkState(), state);
        QCOMPARE(browser.isWindowModified(), modified);
        QCOMPARE(Part<QPushButton>(session, "UndoBtn").isEnabled(), modified);
        QCOMPARE(Part<QPushButton>(session, "RedoBtn").isEnabled(), !modified);
    };
    shows(Qt::Checked, true);
    QTest::keySequence(&browser, QKeySequence(QStringLiteral("Ctrl+Z")));
    shows(Qt::Unchecked, false);
    QTest::keySequence(&browser, QKeySequence(redo));
    shows(Qt::Checked, true);
    QCOMPARE(FileBytes(session, "a.wal"), before);
}

void TextureBrowserTest::ClosingAsksAboutUnsavedEdits_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("program"); // the main window closed rather than the browser
    QTest::addColumn<bool>("closes");
    QTest::addColumn<std::uint32_t>("flags"); // on disk afterwards
    QTest::newRow("save") << int(WindowAnswer::Save) << false << true << 0x1u;
    QTest::newRow("discard") << int(WindowAnswer::Discard) << false << true << 0x0u;
    QTest::newRow("cancel") << int(WindowAnswer::Cancel) << false << false << 0x0u;
    QTest::newRow("program, save") << int(WindowAnswer::Save) << true << true << 0x1u;
    QTest::newRow("program, cancel") << int(WindowAnswer::Cancel) << true << false << 0x0u;
}

void TextureBrowserTest::ClosingAsksAboutUnsavedEdits() {
    QFETCH(int, answer);
    QFETCH(bool, program);
    QFETCH(bool, closes);
    QFETCH(std::uint32_t, flags);
    Session session;
    OpenOnWalFlags(session, {0x0});
    QWidget& browser = *session.Windows().TextureBrowser;
    // Nothing edited, nothing asked.
    browser.close();
    QVERIFY(session.Boxes.Shown.empty());
    Open(session, SourceFormat::Wal);
    Select(session, {"a.wal"});
    BitBox(session, "SURF_LIGHT").click();
    // The project's own question, after the browser's, is not this test's.
    session.Boxes.Answers = {WindowAnswer(answer), WindowAnswer::Discard};
    QWidget& window = program ? static_cast<QWidget&>(*session.Windows().Main) : browser;
    window.close();
    QVERIFY(!session.Boxes.Shown.empty());
    QCOMPARE(session.Boxes.Shown.front().text, std::string("Save the edits to the textures?"));
    QCOMPARE(session.Boxes.Shown.front().buttons, WindowButtons::SaveDiscardCancel);
    QCOMPARE(window.isVisible(), !closes);
    const QByteArray bytes = FileBytes(session, "a.wal");
    QCOMPARE(LoadLE32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + kWalFlagsAt), flags);
    QCOMPARE(browser.isWindowModified(), !closes);
}

// A wad's texture has a name and nothing else to set.
void TextureBrowserTest::AWadTextureOffersOnlyItsName() {
    Session session;
    WriteTestArchives(session);
    session.InputPath().setText(session.PathOf("gfx.wad"));
    Open(session, SourceFormat::Wad2);
    Select(session, {"brick"});
    QLineEdit& name = Part<QLineEdit>(session, "name");
    QCOMPARE(name.text(), QStringLiteral("brick"));
    QVERIFY(name.isVisible());
    QVERIFY(!Part<QLineEdit>(session, "flags").isVisible());
    QVERIFY(!BitBox(session, "SURF_LIGHT").isVisible());
    name.setText(QStringLiteral("bricks"));
    QTest::keyClick(&name, Qt::Key_Return);
    QVERIFY(session.Boxes.Shown.empty());
    QVERIFY(session.Windows().TextureBrowser->isWindowModified());
    QCOMPARE(name.text(), QStringLiteral("bricks"));
}

// A frame moved in the chain's list relinks the headers in one edit: Save changes the animation
// names and no other byte, and Undo brings back the order the list showed.
void TextureBrowserTest::ChainFramesMovedAreOneEdit() {
    Session session;
    const QStringList names{"a.wal", "b.wal", "c.wal"};
    const auto nextOf = [](const std::string& links, char frame) {
        return std::string("e1u1/") + links[(links.find(frame) + 1) % links.size()];
    };
    std::vector<QByteArray> expected;
    for (const QString& name : names) {
        const char frame = name.front().toLatin1();
        WriteWalTexture(session, name, 40, nextOf("abc", frame));
        // The animation name: bytes 56 to 87 of the header, zero after the name.
        QByteArray bytes = FileBytes(session, name);
        const std::string next = nextOf("acb", frame);
        bytes.replace(56, 32, QByteArray(next.c_str()).leftJustified(32, '\0'));
        expected.push_back(bytes);
    }
    Open(session, SourceFormat::Wal);
    Select(session, {"b.wal"});
    auto& list = Part<QTreeWidget>(session, "ChainList");
    const auto shown = [&list] {
        QStringList rows;
        for (int row = 0; row < list.topLevelItemCount(); ++row) {
            rows.append(list.topLevelItem(row)->text(0) + '=' + list.topLevelItem(row)->text(1));
        }
        return rows;
    };
    const QStringList before{"b.wal=e1u1/b", "c.wal=e1u1/c", "a.wal=e1u1/a"};
    QCOMPARE(shown(), before);
    list.setCurrentItem(list.topLevelItem(1));
    Part<QPushButton>(session, "MoveUpBtn").click();
    QCOMPARE(shown(), (QStringList{"c.wal=e1u1/c", "b.wal=e1u1/b", "a.wal=e1u1/a"}));
    // Played in the new order before it is saved.
    QPushButton& play = Part<QPushButton>(session, "PlayBtn");
    QTest::mouseClick(&play, Qt::LeftButton);
    QTRY_COMPARE(LabelText(session, "Frame"),
                 QStringLiteral("a.wal: frame 2 of 3 of its animation"));
    QTest::mouseClick(&play, Qt::LeftButton);
    Part<QPushButton>(session, "SaveBtn").click();
    QVERIFY(session.Boxes.Shown.empty());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(FileBytes(session, names[static_cast<qsizetype>(i)]), expected[i]);
    }
    Part<QPushButton>(session, "UndoBtn").click();
    QCOMPARE(shown(), before);
}

int RunTextureBrowserTests(int argc, char** argv) {
    TextureBrowserTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test

#include "TextureBrowserTest.moc"
