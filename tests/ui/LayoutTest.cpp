// The seven windows against their layouts: captions, client areas, every control's position and
// size, tab order; and each window rendered to a PNG in the build directory, to be looked at.

#include "UiTestSupport.h"
#include "ui/TAboutDialog.h"
#include "ui/TFileDialog.h"
#include "ui/TMain.h"
#include "ui/TPathDialog.h"
#include "ui/TProcessDialog.h"
#include "ui/TProjectSetup.h"
#include "ui/TSplashDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
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
          {"AddBtn", 8, 186, 75, 25, "Add..."},
          {"DeleteBtn", 90, 186, 75, 25, "Delete"},
          {"CreateBtn", 172, 186, 75, 25, "Create..."},
          {"QuitBtn", 326, 188, 75, 25, "Quit"}},
         {"CreateBtn", "AddBtn", "DeleteBtn", "QuitBtn", "BmpList"}},
        {windows.ProjectSetup,
         windows.ProjectSetup,
         "Project Setup",
         {433, 249},
         {{"GroupBox1", 7, 6, 418, 163, "Information"},
          {"Label3", 9, 22, -1, -1, "File input path:"},
          {"InputPath", 9, 39, 313, 21, nullptr},
          {"BmpDirBtn", 332, 40, 75, 20, "Browse..."},
          {"Label2", 9, 69, -1, -1, "File output path:"},
          {"OutputPath", 9, 86, 230, 21, nullptr},
          {"PakBtn", 250, 86, 75, 20, "&Pak..."},
          {"Button1", 332, 86, 75, 20, "Browse..."},
          {"Label1", 9, 116, -1, -1, "Convert from:"},
          {"ConvFrom", 9, 133, 177, 21, nullptr},
          {"Label4", 235, 115, -1, -1, "Convert to:"},
          {"ConvTo", 235, 133, 174, 21, nullptr},
          {"OkBtn", 349, 176, 75, 25, "Ok"},
          // The program's own settings, beside "Ok" and below the project's controls.
          {"KeepHeader", 9, 180, 186, 17, "Keep texture names and flags"},
          // Four pixels left of where it once stood, so that its text shows whole in wider fonts.
          {"Label5", 196, 182, -1, -1, "Mip levels:"},
          {"MipLevels", 262, 178, 82, 21, nullptr},
          // The whole row, so that its text shows whole in wider fonts.
          {"TransparentIndex", 9, 202, 335, 17, "Transparent pixels to index 255"},
          {"Fullbright", 9, 224, 186, 17, "Full-bright colours"},
          {"Dither", 200, 224, 144, 17, "Dither true colour"}},
         {"InputPath", "OutputPath", "BmpDirBtn", "ConvFrom", "ConvTo", "Button1", "PakBtn",
          "OkBtn", "KeepHeader", "MipLevels", "TransparentIndex", "Fullbright", "Dither"}},
        {windows.AboutDialog,
         windows.AboutDialog,
         "About",
         {227, 224},
         {{"Panel1", 7, 7, 215, 99, nullptr},
          {"Image1", 1, 1, 213, 97, nullptr},
          {"Bevel1", 7, 111, 215, 71, nullptr},
          {"Label2", 15, 115, -1, -1, nullptr},
          {"Label4", 15, 131, -1, -1, "Batch converter for 256-colour"},
          {"Label3", 15, 147, -1, -1, "textures from .bmp .png .tga .pcx"},
          {"Label5", 15, 162, -1, -1, ".m8 .wal to .m8, .wal and .png"},
          {"Button1", 76, 192, 75, 25, "Ok"}},
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
          {"CancelBtn", 119, 52, 75, 25, "Cancel"}},
         {"CancelBtn"}},
        {windows.PathDialog,
         windows.PathDialog,
         "Choose your path",
         {388, 249},
         {{"GroupBox1", 9, 10, 371, 198, "directory path"},
          {"Path", 8, 19, 354, 142, nullptr},
          {"Drive", 8, 169, 355, 19, nullptr},
          {"PathLabel", 9, 217, 205, 25, nullptr},
          {"OkBtn", 222, 217, 75, 25, "Ok"},
          {"CancelBtn", 305, 217, 75, 25, "Cancel"}},
         {"Path", "Drive", "OkBtn", "CancelBtn"}},
        {windows.FileDialog,
         windows.FileDialog,
         "Choose your file",
         {305, 200},
         {{"GroupBox1", 9, 10, 290, 152, "files"},
          {"File", 9, 17, 272, 121, nullptr},
          {"OkBtn", 140, 170, 75, 25, "Ok"},
          {"CancelBtn", 223, 170, 75, 25, "Cancel"}},
         {"OkBtn", "CancelBtn", "File"}},
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

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void WindowsMatchTheirLayouts();
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
        QCOMPARE(layout.window->windowTitle(), layout.caption);
        QCOMPARE(layout.client->size(), layout.clientSize);
        // Fixed frames: no resizing. Closing any window but the main one leaves the program on.
        QCOMPARE(layout.window->minimumSize(), layout.window->maximumSize());
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
            // A label's text is shown whole.
            if (qobject_cast<const QLabel*>(widget) != nullptr) {
                QVERIFY2(widget->sizeHint().width() <= geometry.width(),
                         qPrintable(where + QStringLiteral(" needs %1 pixels, has %2")
                                                .arg(widget->sizeHint().width())
                                                .arg(geometry.width())));
            }
        }
        QCOMPARE(TabOrder(*layout.window, layout.tabOrder), layout.tabOrder);
    }
}

void LayoutTest::MainMenuHasItsItems() {
    Session session;
    auto* bar = session.Windows().Main->findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
    QVERIFY(bar != nullptr);
    QStringList menus;
    for (const QAction* menu : bar->actions()) {
        menus.append(menu->text());
    }
    QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
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
    QCOMPARE(items("OptionsMnu"),
             (QStringList{"&Project Information...=PropertiesBtn", "&Textures=TexturesBtn"}));
    QCOMPARE(items("HelpMnu"), QStringList{"&About...=AboutBtn"});
    // The File menu's items, Quit and the texture browser have their keys; nothing else has one.
    const std::map<QString, QKeySequence> keys{
        {"NewProject", QKeySequence(QStringLiteral("Ctrl+N"))},
        {"SaveBtn", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"SaveKey", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"SaveAsBtn", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
        {"LoadBtn", QKeySequence(QStringLiteral("Ctrl+O"))},
        {"QuitKey", QKeySequence(QStringLiteral("Ctrl+Q"))},
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
    const TProjectSetup& setup = *session.Windows().ProjectSetup;
    QCOMPARE(
        texts(setup.ConvFrom()),
        (QStringList{"Windows Bitmap (*.bmp)", "Heretic2 (*.m8)", "QuakeX (*.wal)",
                     "Portable Network Graphics (*.png)", "Truevision Targa (*.tga)",
                     "PC Paintbrush (*.pcx)", "WAD2 textures (*.wad)", "WAD3 textures (*.wad)"}));
    QCOMPARE(texts(setup.ConvTo()),
             (QStringList{"Heretic2 (*.m8)", "QuakeX (*.wal)", "Portable Network Graphics (*.png)",
                          "WAD2 textures (*.wad)", "WAD3 textures (*.wad)"}));
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
