#pragma once

// The windows' message boxes. The windows ask questions of their own ("Save changes to the
// project?", "Replace it?") with more buttons than a conversion run needs, so they have a box
// interface of their own, wider than the run's; the worker of a run shows the run's boxes
// through it. The program shows the boxes with QMessageBox, the tests record and answer them.

#include "convert/RunFeedback.h"

#include <QString>
#include <cstdint>
#include <string>

class QMessageBox;
class QWidget;

namespace texelary {

// Those of a run, and YesNo, a question whose default answer is No, SaveDiscardCancel, one
// whose default is Save, and OkSaveList, a run's last box with a "Save list..." button beside OK
// (the default).
enum class WindowButtons : std::uint8_t { Ok, OkCancel, YesNo, SaveDiscardCancel, OkSaveList };
enum class WindowAnswer : std::uint8_t { Ok, Cancel, Yes, No, Save, Discard, SaveList };

// Every box of the windows and of their runs. ShowMessage is a modal box returning the button
// pressed; `detail` says why, in a few words without a full stop, and is shown as the box's
// informative text (empty when there is nothing to add). GUI thread only.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual WindowAnswer ShowMessage(const std::string& text, const std::string& caption,
                                     WindowButtons buttons, BoxIcon icon,
                                     const std::string& detail) = 0;
    // The same box with `details`, many lines the user can read and copy behind the box's
    // "Show Details..." button (none when empty).
    virtual WindowAnswer ShowDetailedMessage(const std::string& text, const std::string& caption,
                                             WindowButtons buttons, BoxIcon icon,
                                             const std::string& detail,
                                             const std::string& details) = 0;
};

// A box of the windows' own, with the program's caption.
WindowAnswer ShowBox(MessageBoxes& boxes, const std::string& text, BoxIcon icon,
                     WindowButtons buttons = WindowButtons::Ok, const std::string& detail = {});

// A run's buttons as the windows show them, and the answer as the run takes it.
WindowButtons WindowButtonsOf(BoxButtons buttons);
BoxAnswer RunAnswerOf(WindowAnswer answer);

// A reason in a few words ("the file is empty") as a sentence ("The file is empty.").
QString AsSentence(const std::string& detail);

class QtMessageBoxes final : public MessageBoxes {
public:
    // Shows a modal QMessageBox and returns the button pressed; a detail becomes its informative
    // text, as a sentence of its own. The box belongs to the window the user is working in (the
    // active modal window, else the active window), so it opens on top of it, also of a window
    // that stays on top, and takes the keyboard focus.
    WindowAnswer ShowMessage(const std::string& text, const std::string& caption,
                             WindowButtons buttons, BoxIcon icon,
                             const std::string& detail) override;
    WindowAnswer ShowDetailedMessage(const std::string& text, const std::string& caption,
                                     WindowButtons buttons, BoxIcon icon, const std::string& detail,
                                     const std::string& details) override;
};

// The window a box shown now belongs to: the active modal window, else the active window; none
// when the program has no window in front.
QWidget* BoxOwner();

// Makes `box` at least wide enough for the window manager's title bar to show its whole caption
// beside the window icon and the frame's buttons.
void FitCaption(QMessageBox& box);

} // namespace texelary
