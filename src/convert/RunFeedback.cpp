#include "convert/RunFeedback.h"

namespace texelary {

const char* const kMessageCaption = "Texelary";

void RunFeedback::ShowNotice(const std::string& text) {
    ShowMessage(text, kMessageCaption, BoxButtons::Ok, BoxIcon::Information, {});
}

} // namespace texelary
