#include "ui/app/AppWindows.h"

#include "ui/about/TAboutDialog.h"
#include "ui/about/TSplashDialog.h"
#include "ui/app/TMain.h"
#include "ui/app/WindowMemory.h"
#include "ui/browser/TextureBrowser.h"
#include "ui/choosers/TFileDialog.h"
#include "ui/choosers/TPathDialog.h"
#include "ui/project/ProjectModel.h"
#include "ui/project/TProjectSetup.h"
#include "ui/run/TProcessDialog.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <optional>

// The pictures are compiled into this static library; naming their initialiser here makes the
// linker keep them in every program that creates the windows.
static void InitPictures() {
    Q_INIT_RESOURCE(texelary);
}

namespace texelary {

int ExecModal(QDialog& dialog) {
    return dialog.exec();
}

WindowSet::WindowSet(MessageBoxes& boxes, ModalRunner runModal) {
    InitPictures();
    m_windows.Boxes = &boxes;
    m_windows.RunModal = std::move(runModal);
    m_project = std::make_unique<ProjectModel>();
    m_windows.Project = m_project.get();
    m_main = std::make_unique<TMain>(m_windows);
    m_windows.Main = m_main.get();
    m_projectSetup = std::make_unique<TProjectSetup>(m_windows);
    m_windows.ProjectSetup = m_projectSetup.get();
    m_aboutDialog = std::make_unique<TAboutDialog>();
    m_windows.AboutDialog = m_aboutDialog.get();
    m_splashDialog = std::make_unique<TSplashDialog>();
    m_windows.SplashDialog = m_splashDialog.get();
    m_processDialog = std::make_unique<TProcessDialog>(m_windows);
    m_windows.ProcessDialog = m_processDialog.get();
    m_pathDialog = std::make_unique<TPathDialog>(m_windows);
    m_windows.PathDialog = m_pathDialog.get();
    m_fileDialog = std::make_unique<TFileDialog>(m_windows);
    m_windows.FileDialog = m_fileDialog.get();
    m_textureBrowser = std::make_unique<TTextureBrowser>(m_windows);
    m_windows.TextureBrowser = m_textureBrowser.get();
}

WindowSet::~WindowSet() {
    m_textureBrowser.reset();
    m_fileDialog.reset();
    m_pathDialog.reset();
    m_processDialog.reset();
    m_splashDialog.reset();
    m_aboutDialog.reset();
    m_projectSetup.reset();
    m_main.reset();
    m_project.reset();
}

QFont WindowFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    return font;
}

void FixWindow(QWidget& window, Qt::WindowFlags flags) {
    window.setWindowFlags(flags);
    window.setAttribute(Qt::WA_QuitOnClose, false);
    window.setFont(WindowFont());
    window.setFixedSize(window.size());
}

QSize LineHeight::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
}

namespace {

// The frame the window manager has put around a window, as it last told; none for a window that
// is not on screen and never was.
QMargins FrameOf(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

bool FixedSize(const QWidget& window) {
    return window.minimumSize() == window.maximumSize();
}

// The frame `window` is going to have: its own when the window manager has told it, otherwise
// that of another window on screen, the best guess there is before the window is mapped. Window
// managers give a window that can be resized a grip along its bottom edge, which one of a fixed
// size does not have: a frame of the other kind is taken with its bottom edge as wide as its sides.
QMargins ExpectedFrame(const QWidget& window) {
    const QMargins own = FrameOf(window);
    if (!own.isNull()) {
        return own;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    std::optional<QMargins> otherKind;
    for (const QWidget* other : windows) {
        const QMargins frame = FrameOf(*other);
        if (other == &window || !other->isVisible() || frame.isNull()) {
            continue;
        }
        if (FixedSize(*other) == FixedSize(window)) {
            return frame;
        }
        if (!otherKind) {
            otherKind = QMargins(frame.left(), frame.top(), frame.right(),
                                 FixedSize(window) ? frame.left() : frame.bottom());
        }
    }
    return otherKind.value_or(own);
}

} // namespace

void CentreOnScreen(QWidget& window) {
    // The program's other windows open where the user is looking: on the main window's screen.
    QScreen* mainScreen = MainWindowScreen();
    QScreen* screen = mainScreen != nullptr ? mainScreen : window.screen();
    if (screen == nullptr) {
        return;
    }
    if (QWindow* handle = window.windowHandle(); handle != nullptr && handle->screen() != screen) {
        handle->setScreen(screen);
    }
    // The frame is centred at every showing, whether or not this window's frame is known yet, so
    // a window opens at the same place every time.
    const QMargins frame = ExpectedFrame(window);
    QRect outer(QPoint(0, 0), window.size().grownBy(frame));
    outer.moveCenter(screen->availableGeometry().center());
    // setGeometry places the client area, whatever Qt believes the frame to be.
    window.setGeometry(QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), window.size()));
}

} // namespace texelary
