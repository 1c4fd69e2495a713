#pragma once

// A run's feedback for tests of the run: every box answered with OK and kept as
// "text: reason", every notice kept as its text.

#include "convert/RunFeedback.h"

#include <string>
#include <vector>

namespace texelary::test {

class RecordingFeedback final : public RunFeedback {
public:
    BoxAnswer ShowMessage(const std::string& text, const std::string&, BoxButtons, BoxIcon,
                          const std::string& detail) override {
        shown.push_back(text + ": " + detail);
        return BoxAnswer::Ok;
    }
    void SetProgress(int) override {}
    void ShowNotice(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

} // namespace texelary::test
