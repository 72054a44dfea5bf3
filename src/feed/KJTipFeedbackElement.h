#pragma once

#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

// The survey of a feedback step (or of a step shown by a custom guide block): title, message,
// options, whether free text is asked for, and the tag keys whose current values go with the answer.
class KJTipFeedbackElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipFeedbackElement)

    // "<app display name> loves Feedback!" when the document gives none.
    std::optional<std::string> feedbackTitle;
    std::optional<std::string> feedbackMessage;
    // The non-empty texts of "c", in order; set (possibly empty) when "c" is a list.
    std::optional<std::vector<std::string>> arrayOptions;
    bool needInput = false;
    std::optional<std::vector<std::string>> customTagsList;
};

}  // namespace brindlecue
