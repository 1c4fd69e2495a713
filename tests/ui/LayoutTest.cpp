// The seven windows against their layouts: captions, client areas, every control's position and
// size, tab order; and each window rendered to a PNG in the build directory, to be looked at.

#include "UiTestSupport.h"
#include "project/ProjectFile.h"
#include "ui/about/TAboutDialog.h"
#include "ui/about/TSplashDialog.h"
#include "ui/app/TMain.h"
#include "ui/browser/TextureBrowser.h"
#include "ui/choosers/TFileDialog.h"
#include "ui/choosers/TPathDialog.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace texelary::test {

namespace {

struct Control {
    const char* name;
    int left;
    int top;
    int width; // -1: sized by its text
    int height;
    const char* caption; // nullptr: none to check
};

struct WindowLayout {
    QWidget* window;
    QWidget* client;
    QString caption;
    QSize clientSize;
    std::vector<Control> controls;
    QStringList tabOrder;
};

std::vector<WindowLayout> Layouts(AppWindows& windows) {
    TMain& main = *windows.Main;
    return {
        {&main,
         main.centralWidget(),
         "Texelary",
         {410, 220},
         {{"Bevel1", 0, 0, 410, 2, nullptr},
          {"GroupBox1", 8, 13, 222, 165, "Image List"},
          {"BmpList", 8, 20, 202, 135, nullptr},
          {"GroupBox2", 248, 13, 153, 165, "Image Preview"},
          {"Panel1", 8, 20, 135, 135, nullptr},
          {"ImagePrev", 1, 1, 133, 133, nullptr},
          {"AddBtn", 8, 186, 75, 25, "&Add..."},
          {"DeleteBtn", 90, 186, 75, 25, "&Delete"},
          {"CreateBtn", 172, 186, 75, 25, "&Create..."},
          {"QuitBtn", 326, 188, 75, 25, "&Quit"}},
         {"BmpList", "AddBtn", "DeleteBtn", "CreateBtn", "QuitBtn"}},
        {windows.ProjectSetup,
         windows.ProjectSetup,
         "Project Setup",
         // Wider than the lists of formats need, so that "Portable Network Graphics (*.png)"
         // shows whole in either.
         {500, 275},
         {{"GroupBox1", 7, 6, 486, 163, "Information"},
          {"Label3", 9, 22, -1, -1, "File &input path:"},
          {"InputPath", 9, 39, 380, 21, nullptr},
          {"BmpDirBtn", 402, 40, 75, 21, "&Browse..."},
          {"Label2", 9, 69, -1, -1, "File o&utput path:"},
          {"OutputPath", 9, 86, 297, 21, nullptr},
          {"PakBtn", 319, 86, 75, 21, "&Pak..."},
          {"Button1", 402, 86, 75, 21, "Bro&wse..."},
          {"Label1", 9, 116, -1, -1, "Convert &from:"},
          {"ConvFrom", 9, 133, 230, 22, nullptr},
          {"Label4", 251, 115, -1, -1, "Con&vert to:"},
          {"ConvTo", 251, 133, 230, 22, nullptr},
          {"OkBtn", 418, 176, 75, 25, "&Ok"},
          // The program's own settings, beside "Ok" and below the project's controls.
          {"KeepHeader", 9, 180, 196, 19, "&Keep texture names and flags"},
          {"Label5", 209, 182, -1, -1, "&Mip levels:"},
          {"MipLevels", 275, 178, 90, 22, nullptr},
          {"TransparentIndex", 9, 202, 335, 19, "&Transparent pixels to index 255"},
          {"Fullbright", 9, 224, 186, 19, "Fu&ll-bright colours"},
          {"Dither", 200, 224, 144, 19, "&Dither true colour"},
          {"Label6", 9, 252, -1, -1, "P&alette:"},
          {"PaletteChoice", 60, 248, 100, 22, nullptr},
          {"PaletteFile", 166, 248, 327, 22, nullptr}},
         {"InputPath", "BmpDirBtn", "OutputPath", "PakBtn", "Button1", "ConvFrom", "ConvTo",
          "KeepHeader", "MipLevels", "OkBtn", "TransparentIndex", "Fullbright", "Dither",
          "PaletteChoice"}},
        {windows.AboutDialog,
         windows.AboutDialog,
         "About",
         {227, 224},
         {{"Panel1", 7, 7, 215, 99, nullptr},
          {"Image1", 1, 1, 213, 97, nullptr},
          {"Bevel1", 7, 111, 215, 71, nullptr},
          {"Label2", 15, 115, -1, -1, nullptr},
          {"Label4", 15, 131, -1, -1, "Batch converter for game textures:"},
          {"Label3", 15, 147, -1, -1, "pictures, .m8 .m32 .wal .swl, wads,"},
          {"Label5", 15, 162, -1, -1, "paks, maps. Free software: GPL 3+"},
          {"Button1", 76, 192, 75, 25, "&Ok"}},
         {"Button1"}},
        {windows.SplashDialog,
         windows.SplashDialog,
         "SplashDialog",
         {213, 96},
         {{"Image1", 0, 0, 213, 96, nullptr}},
         {}},
        {windows.ProcessDialog,
         windows.ProcessDialog,
         "Processing, Please Wait...",
         {313, 84},
         {{"Text", 9, 9, -1, -1, "Process..."},
          {"Bar", 9, 28, 293, 16, nullptr},
          {"Count", 9, 52, 104, 25, nullptr},
          {"Current", 200, 52, 104, 25, nullptr},
          {"CancelBtn", 119, 52, 75, 25, "&Cancel"}},
         {"CancelBtn"}},
        {windows.PathDialog,
         windows.PathDialog,
         "Choose your path",
         {388, 249},
         {{"GroupBox1", 9, 10, 371, 198, "directory path"},
          {"Path", 8, 19, 354, 142, nullptr},
          {"Drive", 8, 169, 355, 24, nullptr},
          {"PathLabel", 9, 217, 121, 25, nullptr},
          {"NewFolderBtn", 138, 217, 76, 25, "&New folder"},
          {"OkBtn", 222, 217, 75, 25, "&Ok"},
          {"CancelBtn", 305, 217, 75, 25, "&Cancel"}},
         {"Path", "Drive", "PathLabel", "NewFolderBtn", "OkBtn", "CancelBtn"}},
        {windows.FileDialog,
         windows.FileDialog,
         "Choose your file",
         {305, 200},
         {{"GroupBox1", 9, 10, 290, 152, "files"},
          {"File", 9, 17, 272, 121, nullptr},
          {"OkBtn", 140, 170, 75, 25, "&Ok"},
          {"CancelBtn", 223, 170, 75, 25, "&Cancel"}},
         {"File", "OkBtn", "CancelBtn"}},
    };
}

QString CaptionOf(const QWidget& widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
        return frame->title();
    }
    return {};
}

// The order in which Tab visits the named controls, starting at the first of them.
QStringList TabOrder(QWidget& window, const QStringList& names) {
    QStringList order;
    if (names.isEmpty()) {
        return order;
    }
    QWidget* start = window.findChild<QWidget*>(names.first());
    QWidget* widget = start;
    do {
        if (names.contains(widget->objectName()) && !order.contains(widget->objectName())) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != nullptr && widget != start);
    return order;
}

// The size a control needs to show its text whole. A push button needs its text and its frame;
// the style's least width of a button with a text (80 pixels in some styles, where the layouts
// give 75) is a look, not a need.
QSize NeededSize(const QWidget& widget) {
    const QSize hint = widget.sizeHint();
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        const QStyle& style = *button->style();
        const int text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
        return {text + style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                    2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button),
                hint.height()};
    }
    if (const auto* label = qobject_cast<const QLabel*>(&widget); label && label->wordWrap()) {
        return {0, label->heightForWidth(label->width())};
    }
    return hint;
}

// The controls of `window` that show a text of their own, as far as they are shown.
QList<QWidget*> TextControls(QWidget& window) {
    QList<QWidget*> controls;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const bool kind = (label != nullptr && label->pixmap().isNull()) ||
                          qobject_cast<QAbstractButton*>(widget) ||
                          qobject_cast<QComboBox*>(widget);
        // A combo box's list and the menu bar's extension button are not the window's controls.
        if (kind && widget->isVisibleTo(&window) && widget->window() == &window &&
            !widget->objectName().startsWith(QLatin1String("qt_"))) {
            controls.append(widget);
        }
    }
    return controls;
}

// The controls Tab visits, in its order, starting after the window itself.
QList<QWidget*> TabChain(QWidget& window) {
    QList<QWidget*> chain;
    for (QWidget* widget = window.nextInFocusChain(); widget != nullptr && widget != &window;
         widget = widget->nextInFocusChain()) {
        // The line edit inside a spin box takes the focus for it: the spin box is the control.
        auto* spinBox = qobject_cast<QAbstractSpinBox*>(widget->parentWidget());
        QWidget* control = spinBox != nullptr ? spinBox : widget;
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&window) &&
            widget->window() == &window && !chain.contains(control)) {
            chain.append(control);
        }
    }
    return chain;
}

// Reading order: rows from the top, left to right within a row. Two controls stand in one row
// when their middles are less than 8 pixels apart in height.
bool ReadsBefore(QWidget& window, const QWidget* a, const QWidget* b) {
    const QRect ra(a->mapTo(&window, QPoint(0, 0)), a->size());
    const QRect rb(b->mapTo(&window, QPoint(0, 0)), b->size());
    if (std::abs(ra.center().y() - rb.center().y()) >= 8) {
        return ra.center().y() < rb.center().y();
    }
    return ra.left() < rb.left();
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void WindowsMatchTheirLayouts();
    void EveryTextShowsWhole();
    void ButtonsHaveMnemonicsOfTheirOwn();
    void TabFollowsReadingOrder();
    void MainWindowGrowsWithItsListAndPreview();
    void MainMenuHasItsItems();
    void FormatListsOfferEveryFormatInIndexOrder();
    void WindowsUseElevenPixelFont();
    void ListsHaveTheirLineHeights();
    void SplashTimerTicksEveryEighteenMilliseconds();
    void PicturesHaveTheirSizes();
    void RendersEveryWindow();
};

void LayoutTest::WindowsMatchTheirLayouts() {
    Session session;
    for (const WindowLayout& layout : Layouts(session.Windows())) {
        const QString window = layout.window->objectName();
        QCOMPARE(VisibleTitle(*layout.window), layout.caption);
        QCOMPARE(layout.client->size(), layout.clientSize);
        // Fixed frames but the main window's and the choosers', which open at their least size and
        // grow from there. Closing any window but the main one leaves the program on.
        const bool main = layout.window == session.Windows().Main;
        const bool grows = main || layout.window == session.Windows().PathDialog ||
                           layout.window == session.Windows().FileDialog;
        QCOMPARE(layout.window->minimumSize() == layout.window->maximumSize(), !grows);
        QCOMPARE(layout.window->testAttribute(Qt::WA_QuitOnClose),
                 layout.window == session.Windows().Main);
        for (const Control& control : layout.controls) {
            const QString name = QString::fromLatin1(control.name);
            const auto* widget = layout.window->findChild<QWidget*>(name);
            QVERIFY2(widget != nullptr, qPrintable(window + "." + name));
            const QRect geometry = widget->geometry();
            const QString where = window + "." + name;
            QVERIFY2(geometry.topLeft() == QPoint(control.left, control.top), qPrintable(where));
            if (control.width >= 0) {
                QVERIFY2(geometry.size() == QSize(control.width, control.height),
                         qPrintable(where));
            }
            if (control.caption != nullptr) {
                QCOMPARE(CaptionOf(*widget), QString::fromLatin1(control.caption));
            }
        }
        QCOMPARE(TabOrder(*layout.window, layout.tabOrder), layout.tabOrder);
    }
}

// Every window of the program: those laid out by hand, and the texture browser, laid out by
// its layouts at the size it opens at.
QList<QWidget*> EveryWindow(AppWindows& windows) {
    QList<QWidget*> all;
    for (const WindowLayout& layout : Layouts(windows)) {
        all.append(layout.window);
    }
    QWidget& browser = *windows.TextureBrowser;
    browser.show();
    all.append(&browser);
    return all;
}

// Every label, button, check box and list of choices of every window is at least as large as its
// text needs: none is cut.
void LayoutTest::EveryTextShowsWhole() {
    Session session;
    QStringList cut;
    for (QWidget* window : EveryWindow(session.Windows())) {
        window->ensurePolished();
        for (QWidget* widget : TextControls(*window)) {
            const QSize needed = NeededSize(*widget);
            if (needed.width() > widget->width() || needed.height() > widget->height()) {
                cut.append(QStringLiteral("%1.%2 needs %3 x %4, has %5 x %6")
                               .arg(window->objectName(), widget->objectName())
                               .arg(needed.width())
                               .arg(needed.height())
                               .arg(widget->width())
                               .arg(widget->height()));
            }
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

// Alt and a letter reach every push button, and the controls the setup dialog's labels name;
// within one window, menus included, no two share the letter.
void LayoutTest::ButtonsHaveMnemonicsOfTheirOwn() {
    Session session;
    for (QWidget* window : EveryWindow(session.Windows())) {
        std::map<QKeySequence, QString> taken;
        QStringList problems;
        const auto take = [&](const QString& text, const QString& name) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (key.isEmpty()) {
                return false;
            }
            if (const auto other = taken.find(key); other != taken.end()) {
                problems.append(name + " and " + other->second + " share " + key.toString());
            }
            taken.emplace(key, name);
            return true;
        };
        if (const auto* bar = window->findChild<QMenuBar*>()) {
            for (const QAction* menu : bar->actions()) {
                take(menu->text(), menu->text());
            }
        }
        // A label's letter moves the focus to the control it names.
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (label->buddy() != nullptr) {
                QVERIFY2(take(label->text(), label->objectName()),
                         qPrintable(label->objectName() + " names a control but has no mnemonic"));
            }
        }
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->window() != window || button->text().isEmpty()) {
                continue;
            }
            if (!take(button->text(), button->objectName()) &&
                qobject_cast<const QPushButton*>(button) != nullptr) {
                problems.append(button->objectName() + " has no mnemonic");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(window->objectName() + ": " + problems.join(", ")));
    }
}

void LayoutTest::TabFollowsReadingOrder() {
    Session session;
    for (const WindowLayout& layout : Layouts(session.Windows())) {
        QWidget& window = *layout.window;
        const QList<QWidget*> chain = TabChain(window);
        QList<QWidget*> reading = chain;
        std::stable_sort(
            reading.begin(), reading.end(),
            [&window](const QWidget* a, const QWidget* b) { return ReadsBefore(window, a, b); });
        const auto names = [](const QList<QWidget*>& widgets) {
            QStringList list;
            for (const QWidget* widget : widgets) {
                list.append(widget->objectName());
            }
            return list;
        };
        QCOMPARE(names(chain), names(reading));
    }
    // The texture browser is read column by column: the filter, the folder's row and the grid,
    // then the selected texture's controls, then its buttons.
    QStringList browser;
    for (const QWidget* widget : TabChain(*EveryWindow(session.Windows()).back())) {
        browser.append(widget->objectName());
    }
    QCOMPARE(browser, (QStringList{"Filter", "UpBtn", "SubFolders", "Textures", "Zoom", "PlayBtn",
                                   "AddBtn", "UndoBtn", "RedoBtn", "SaveBtn", "CloseBtn"}));
}

// Resized, the window gives the room it gains to the list and the preview; its buttons keep their
// size, and a long name fits the wider list.
void LayoutTest::MainWindowGrowsWithItsListAndPreview() {
    Session session;
    TMain& main = *session.Windows().Main;
    QListWidget& list = session.BmpList();
    auto& preview = *main.findChild<QLabel*>(QStringLiteral("ImagePrev"));
    const QSize listBefore = list.size();
    const QSize previewBefore = preview.size();
    const QString longName = QStringLiteral("a_rather_long_texture_name_of_a_mod_0001.bmp");
    list.addItem(longName);
    QVERIFY(list.fontMetrics().horizontalAdvance(longName) > list.viewport()->width());
    main.resize(main.size() + QSize(400, 300));
    QTRY_VERIFY(list.width() > listBefore.width() + 200);
    QVERIFY(list.height() > listBefore.height() + 250);
    QVERIFY(preview.width() > previewBefore.width() + 100);
    QVERIFY(preview.height() > previewBefore.height() + 250);
    QCOMPARE(session.Button("QuitBtn").size(), QSize(75, 25));
    QVERIFY(list.fontMetrics().horizontalAdvance(longName) < list.viewport()->width());
    main.showMaximized();
    QTRY_VERIFY(list.width() > listBefore.width() + 200);
}

void LayoutTest::MainMenuHasItsItems() {
    Session session;
    auto* bar = session.Windows().Main->findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
    QVERIFY(bar != nullptr);
    QStringList menus;
    for (const QAction* menu : bar->actions()) {
        menus.append(menu->text());
    }
    QCOMPARE(menus, (QStringList{"&File", "&Edit", "&View", "&Help"}));
    auto items = [&](const char* menuName) {
        QStringList texts;
        const auto* menu = session.Windows().Main->findChild<QMenu*>(QString::fromLatin1(menuName));
        for (const QAction* item : menu->actions()) {
            texts.append(item->isSeparator() ? QStringLiteral("-") : item->text());
            texts.last() += item->objectName().isEmpty() ? QString() : "=" + item->objectName();
        }
        return texts;
    };
    QCOMPARE(items("FileMnu"), (QStringList{"&New=NewProject", "-=N1", "&Save=SaveBtn",
                                            "Save &As...=SaveAsBtn", "&Load...=LoadBtn"}));
    // The projects used last follow, numbered, once there are any.
    const QString project = session.PathOf(QStringLiteral("p.mm"));
    QVERIFY(SaveProject(Project{}, QFile::encodeName(project).toStdString()));
    QVERIFY(session.Windows().Main->OpenProjectFile(project));
    auto* fileMenu = session.Windows().Main->findChild<QMenu*>(QStringLiteral("FileMnu"));
    fileMenu->popup(QPoint(0, 0));
    fileMenu->hide();
    QCOMPARE(items("FileMnu"),
             (QStringList{"&New=NewProject", "-=N1", "&Save=SaveBtn", "Save &As...=SaveAsBtn",
                          "&Load...=LoadBtn", "-=N2", "&1 p.mm=Recent1"}));
    QCOMPARE(items("EditMnu"), (QStringList{"&Undo=UndoBtn", "&Redo=RedoBtn"}));
    QCOMPARE(items("OptionsMnu"),
             (QStringList{"&Project Information...=PropertiesBtn", "&Textures=TexturesBtn"}));
    QCOMPARE(items("HelpMnu"), QStringList{"&About...=AboutBtn"});
    // The File and Edit menus' items, Quit and the texture browser have their keys; nothing else
    // has one.
    const std::map<QString, QKeySequence> keys{
        {"NewProject", QKeySequence(QStringLiteral("Ctrl+N"))},
        {"SaveBtn", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"SaveKey", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"SaveAsBtn", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
        {"LoadBtn", QKeySequence(QStringLiteral("Ctrl+O"))},
        {"QuitKey", QKeySequence(QStringLiteral("Ctrl+Q"))},
        {"UndoBtn", QKeySequence(QStringLiteral("Ctrl+Z"))},
        {"RedoBtn", QKeySequence(QStringLiteral("Ctrl+Shift+Z"))},
        {"TexturesBtn", QKeySequence(QStringLiteral("Ctrl+B"))}};
    for (const QAction* item : session.Windows().Main->findChildren<QAction*>()) {
        const auto key = keys.find(item->objectName());
        QCOMPARE(item->shortcut(), key == keys.end() ? QKeySequence() : key->second);
    }
}

void LayoutTest::FormatListsOfferEveryFormatInIndexOrder() {
    Session session;
    const auto texts = [](const QComboBox& list) {
        QStringList items;
        for (int i = 0; i < list.count(); ++i) {
            items.append(list.itemText(i));
        }
        return items;
    };
    QCOMPARE(texts(session.ConvFrom()),
             (QStringList{"Windows Bitmap (*.bmp)", "Heretic2 (*.m8)", "QuakeX (*.wal)",
                          "Portable Network Graphics (*.png)", "Truevision Targa (*.tga)",
                          "PC Paintbrush (*.pcx)", "WAD2 textures (*.wad)", "WAD3 textures (*.wad)",
                          "Heretic2 true colour (*.m32)", "SiN (*.swl)"}));
    QCOMPARE(
        texts(session.ConvTo()),
        (QStringList{"Heretic2 (*.m8)", "QuakeX (*.wal)", "Portable Network Graphics (*.png)",
                     "WAD2 textures (*.wad)", "WAD3 textures (*.wad)", "QuakeX version 3 (*.wal)",
                     "Heretic2 true colour (*.m32)", "SiN (*.swl)"}));
}

void LayoutTest::WindowsUseElevenPixelFont() {
    Session session;
    for (const WindowLayout& layout : Layouts(session.Windows())) {
        QCOMPARE(layout.window->font().pixelSize(), 11);
    }
}

void LayoutTest::ListsHaveTheirLineHeights() {
    Session session;
    WriteBitmap(session.PathOf("a.bmp"), 4, 4);
    WriteBitmap(session.PathOf("b.bmp"), 4, 4);
    session.AddAll();
    const std::vector<std::pair<QListWidget*, int>> lists{
        {&session.BmpList(), 13},
        {&session.FileList(), 13},
        {session.Windows().PathDialog->findChild<QListWidget*>(QStringLiteral("Path")), 16}};
    for (const auto& [list, height] : lists) {
        QVERIFY(list->count() >= 2);
        QCOMPARE(list->visualItemRect(list->item(1)).height(), height);
        QCOMPARE(list->visualItemRect(list->item(1)).top() -
                     list->visualItemRect(list->item(0)).top(),
                 height);
    }
}

void LayoutTest::SplashTimerTicksEveryEighteenMilliseconds() {
    Session session;
    const QTimer& timer = session.Windows().SplashDialog->Timer1();
    QCOMPARE(timer.interval(), 18);
    QVERIFY(timer.isActive());
    // Shown, it is closed by the next tick.
    session.Windows().SplashDialog->show();
    QTRY_VERIFY(!session.Windows().SplashDialog->isVisible());
}

void LayoutTest::PicturesHaveTheirSizes() {
    Session session;
    const QImage about(QStringLiteral(":/pictures/about.bmp"));
    QCOMPARE(about.size(), QSize(213, 97));
    QCOMPARE(about.colorCount(), 0);
    const QImage splash(QStringLiteral(":/pictures/splash.bmp"));
    QCOMPARE(splash.size(), QSize(213, 97));
    QCOMPARE(splash.format(), QImage::Format_Indexed8);
    QCOMPARE(splash.colorCount(), 256);
    QVERIFY(!QImage(QStringLiteral(":/pictures/texelary.png")).isNull());
    auto* image1 = session.Windows().AboutDialog->findChild<QLabel*>(QStringLiteral("Image1"));
    QCOMPARE(image1->pixmap().size(), QSize(213, 97));
}

void LayoutTest::RendersEveryWindow() {
    Session session;
    WriteBitmap(session.PathOf("wall.bmp"), 64, 32);
    WriteBitmap(session.PathOf("floor.bmp"), 32, 32);
    session.AddAll();
    const QString directory = QStringLiteral(TEXELARY_RENDER_DIR);
    QVERIFY(QDir().mkpath(directory));
    for (const WindowLayout& layout : Layouts(session.Windows())) {
        const QString path = directory + "/" + layout.window->objectName() + ".png";
        const QImage picture = layout.window->grab().toImage();
        QVERIFY(!picture.isNull());
        QVERIFY2(picture.save(path), qPrintable(path));
    }
}

int RunLayoutTests(int argc, char** argv) {
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace texelary::test

#include "LayoutTest.moc"
