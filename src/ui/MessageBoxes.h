#pragma once

// Message boxes on the screen: the windows' implementation of the run's feedback interface. Only
// ShowMessage is used through it; the bar of a run is moved by the progress window itself.

#include "convert/ConversionRun.h"

namespace texelary {

class QtMessageBoxes final : public RunFeedback {
public:
    // Shows a modal QMessageBox and returns the button pressed. GUI thread only.
    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon) override;
    void SetProgress(int position) override;
};

} // namespace texelary
