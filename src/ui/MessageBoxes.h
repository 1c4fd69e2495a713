#pragma once

// Message boxes on the screen: the windows' implementation of the run's feedback interface. Only
// ShowMessage is used through it; the bar of a run is moved by the progress window itself.

#include "convert/ConversionRun.h"

#include <QString>

class QMessageBox;
class QWidget;

namespace texelary {

// A reason in a few words ("the file is empty") as a sentence ("The file is empty.").
QString AsSentence(const std::string& detail);

class QtMessageBoxes final : public RunFeedback {
public:
    // Shows a modal QMessageBox and returns the button pressed; a detail becomes its informative
    // text, as a sentence of its own. GUI thread only. The box belongs to the window the user is
    // working in (the active modal window, else the active window), so it opens on top of it,
    // also of a window that stays on top, and takes the keyboard focus.
    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override;
    void SetProgress(int position) override;
};

// The window a box shown now belongs to: the active modal window, else the active window; none
// when the program has no window in front.
QWidget* BoxOwner();

// Makes `box` at least wide enough for the window manager's title bar to show its whole caption
// beside the window icon and the frame's buttons.
void FitCaption(QMessageBox& box);

} // namespace texelary
