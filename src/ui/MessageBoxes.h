#pragma once

// Message boxes on the screen: the windows' implementation of the run's feedback interface. Only
// ShowMessage is used through it; the bar of a run is moved by the progress window itself.

#include "convert/ConversionRun.h"

#include <QString>

namespace texelary {

// A reason in a few words ("the file is empty") as a sentence ("The file is empty.").
QString AsSentence(const std::string& detail);

class QtMessageBoxes final : public RunFeedback {
public:
    // Shows a modal QMessageBox and returns the button pressed; a detail becomes its informative
    // text, as a sentence of its own. GUI thread only.
    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override;
    void SetProgress(int position) override;
};

} // namespace texelary
