#pragma once

// What the window tests share: message boxes answered from a script, modal dialogs answered from
// inside their own modal loop, a fresh set of windows per test in its own current directory, and
// small bitmap files.

#include "convert/ConversionRun.h"
#include "image/IndexedImage.h"
#include "ui/app/AppWindows.h"
#include "ui/app/MessageBoxes.h"
#include "ui/project/TProjectSetup.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace texelary::test {

struct ShownBox {
    std::string text;
    std::string caption;
    WindowButtons buttons;
    BoxIcon icon;
    bool progressVisible; // whether the progress window was on screen while the box was open
    bool onGuiThread;
    std::string detail;  // why, as the box's informative text shows it
    std::string details; // the lines behind "Show Details...", empty for none
};

// Records every box and answers it from a queue (OK once the queue is empty).
class ScriptedBoxes final : public MessageBoxes {
public:
    WindowAnswer ShowMessage(const std::string& text, const std::string& caption,
                             WindowButtons buttons, BoxIcon icon,
                             const std::string& detail) override;
    WindowAnswer ShowDetailedMessage(const std::string& text, const std::string& caption,
                                     WindowButtons buttons, BoxIcon icon, const std::string& detail,
                                     const std::string& details) override;

    std::vector<ShownBox> Shown;
    std::deque<WindowAnswer> Answers;
    const QWidget* Progress = nullptr;
    // Runs while a box is open, before it is answered.
    std::function<void(const ShownBox&)> WhileOpen;

    QStringList Texts() const;
};

// An action run inside a dialog's modal loop. It returns the result the dialog is closed with,
// or kClosedByAction when it closed the dialog itself.
using ModalAction = std::function<int(QDialog&)>;
constexpr int kClosedByAction = -1;

// Answers the modal dialogs in order: each showing takes the next action, posts it into the
// dialog's own event loop and runs the real QDialog::exec. A dialog with no action left is not
// shown at all and counts as cancelled, so a missing answer fails a test instead of hanging it.
class ModalScript {
public:
    void Then(ModalAction action) { m_actions.push_back(std::move(action)); }
    int Run(QDialog& dialog);

    QStringList Shown; // objectNames of the dialogs shown, in order
    QStringList Unanswered;
    QStringList Failures; // errors thrown by answers
    bool Empty() const { return m_actions.empty(); }

private:
    std::deque<ModalAction> m_actions;
};

// A fresh set of the seven windows, started in a scratch directory that becomes the current one,
// with the main window shown. The application's error report goes to the same boxes.
// Whether a session starts as the program's first start does (the places, sizes, folders and recent
// projects that windows remember forgotten) or as a start after the sessions before it.
enum class Memory : std::int32_t { Forgotten = 0, Kept = 1 };

class Session {
public:
    explicit Session(Memory memory = Memory::Forgotten);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    AppWindows& Windows() { return m_set->Windows(); }
    QString Dir() const { return m_dir.path(); }
    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    QListWidget& BmpList();
    QPushButton& Button(const char* name); // a push button of the main window
    QAction& Item(const char* name);       // a menu item of the main window
    QLineEdit& InputPath();
    QLineEdit& OutputPath();
    QComboBox& ConvFrom();
    QComboBox& ConvTo();
    // A control of the setup dialog, by its name.
    template <class Control> Control& SetupControl(const char* name) {
        auto* control = Windows().ProjectSetup->findChild<Control*>(QString::fromLatin1(name));
        if (control == nullptr) {
            qFatal("no setup control %s", name);
        }
        return *control;
    }
    QListWidget& FileList(); // the file chooser's list

    // Clicks a button of the main window with the mouse.
    void Click(const char* name);
    // Runs "Add..." answering the chooser with `action`.
    void Add(ModalAction action);
    // Runs "Add..." selecting every file the chooser lists.
    void AddAll();

    QStringList Entries();

    ScriptedBoxes Boxes;
    ModalScript Modals;

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<WindowSet> m_set;
};

// A 16 x 16 picture whose pixel (x, y) has index 40 + x.
IndexedImage Picture16();

// The archives of the archive tests, in the session's directory: base.pak with textures in its
// root and in folders (a.wal; textures/c.wal, D.Wal, f.bmp; textures/e1/e.wal; notes.txt and
// sound/x.wav besides), gfx.wad (WAD2: mip textures brick and *lava, a palette lump and a WAD3
// texture) and half.wad (WAD3: {fence), each texture Picture16.
void WriteTestArchives(Session& session);

// Real compiled maps of the test data, copied into the session's directory: q1_detail_fence2.bsp
// (version 29: orangestuff8, {trigger and skip), hl.bsp (version 30: embedded and skip, and
// EXTERNAL held outside it) and credits.bsp (version 38, which only names its textures).
void CopyTestMaps(Session& session);

// Writes an uncompressed 8-bit bitmap with a palette of 256 colours.
void WriteBitmap(const QString& path, int width, int height);
void WriteText(const QString& path, const QByteArray& bytes);

// The title the window system is given for `window`: with Qt's "[*]" shown as the modified mark
// or left out. A window never shown has no such title yet; its own is taken then.
QString VisibleTitle(const QWidget& window);

// The texts of the list's items, in order, and of its selected items.
QStringList Texts(const QListWidget& list);
QStringList SelectedTexts(const QListWidget& list);

} // namespace texelary::test
