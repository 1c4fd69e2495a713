#pragma once

// The program's seven windows and what they share: each window reaches the others through one
// AppWindows record, and the two seams through which the windows meet the user (message boxes and
// modal showing) live there too, so tests can answer them.

#include <QDialog>
#include <QStyledItemDelegate>
#include <functional>
#include <memory>

class QFont;
class QWidget;

namespace texelary {

class MessageBoxes;
class ProcThread;
class ProjectModel;
class TMain;
class TProjectSetup;
class TAboutDialog;
class TSplashDialog;
class TProcessDialog;
class TPathDialog;
class TFileDialog;
class TTextureBrowser;

// Shows a dialog modally and returns its result (QDialog::Accepted or Rejected). The program runs
// QDialog::exec; a test puts its own runner here and answers the dialog from inside its loop.
using ModalRunner = std::function<int(QDialog&)>;

int ExecModal(QDialog& dialog);

// The program-wide references. The windows are owned by WindowSet; these only point at them.
struct AppWindows {
    // The project and the program settings, which every window reads and the setup dialog edits.
    ProjectModel* Project = nullptr;
    TMain* Main = nullptr;
    TProjectSetup* ProjectSetup = nullptr;
    TAboutDialog* AboutDialog = nullptr;
    TSplashDialog* SplashDialog = nullptr;
    TProcessDialog* ProcessDialog = nullptr;
    TPathDialog* PathDialog = nullptr;
    TFileDialog* FileDialog = nullptr;
    TTextureBrowser* TextureBrowser = nullptr; // not modal, opened from the View menu

    // The worker of the conversion run in progress, or none. Written on the GUI thread only.
    ProcThread* CurrentWorker = nullptr;

    // Every message box of the windows and of the conversion run goes through ShowMessage here.
    MessageBoxes* Boxes = nullptr;
    ModalRunner RunModal = ExecModal;
};

// Creates the project model, then the seven windows once, in the start-up order (main window,
// project setup, about, splash, progress, path chooser, file chooser), hidden, then the texture
// browser, and destroys them in reverse order, the model last.
class WindowSet {
public:
    explicit WindowSet(MessageBoxes& boxes, ModalRunner runModal = ExecModal);
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    AppWindows& Windows() { return m_windows; }

private:
    AppWindows m_windows;
    std::unique_ptr<ProjectModel> m_project;
    std::unique_ptr<TMain> m_main;
    std::unique_ptr<TProjectSetup> m_projectSetup;
    std::unique_ptr<TAboutDialog> m_aboutDialog;
    std::unique_ptr<TSplashDialog> m_splashDialog;
    std::unique_ptr<TProcessDialog> m_processDialog;
    std::unique_ptr<TPathDialog> m_pathDialog;
    std::unique_ptr<TFileDialog> m_fileDialog;
    std::unique_ptr<TTextureBrowser> m_textureBrowser;
};

// The platform's default dialog font at a character height of 11 pixels, used by every window.
QFont WindowFont();

// The frame of an ordinary dialog: a title, a close box, no resizing.
inline constexpr Qt::WindowFlags kDialogFrame =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint;

// Gives a secondary window its frame and buttons (`flags`), its font and the fixed size its layout
// gives it; closing it does not end the program.
void FixWindow(QWidget& window, Qt::WindowFlags flags);

// Moves a top-level window to the centre of the screen that holds the main window, or of its own
// screen while the main window is not shown.
void CentreOnScreen(QWidget& window);

// Gives every line of a list the same height in pixels. A window owns the delegate and sets it on
// its list with setItemDelegate.
class LineHeight final : public QStyledItemDelegate {
public:
    explicit LineHeight(int height)
        : m_height(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_height;
};

} // namespace texelary
