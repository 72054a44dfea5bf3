#pragma once

#include "presentation/BLQIOperations.h"

namespace brindlecue {

// The operations a custom guide's container carries; holds nothing.
//
// A survey answer is sent through KJFeedbackManager as a record of type 0 with the answer's title,
// its answers joined by "," as the contents, the step's campaign and feed ids, its step id (the
// step's "suid" as a decimal integer, 0 when it is none or not one) and as extra JSON the answer's
// own under "custom-json" (when it has some) beside the survey's custom tags under "custom-tags".
// A target is found by the forest finder of the facade's tip engine, for steps whose target
// names an algorithm version.
class BLQOperations : public BLQIOperations {
public:
    void submitFeedback(const BLQFeedback& answer, const BLQIGuidePayload& guide, FeedbackHandler handler) override;
    std::shared_ptr<platform::UIView> findTarget(const BLQIGuidePayload& guide) override;

    // "12" gives 12; none, "", "x", "12x" and numbers out of range give 0.
    static int64_t stepIdOf(const std::optional<std::string>& suid);
};

}  // namespace brindlecue
