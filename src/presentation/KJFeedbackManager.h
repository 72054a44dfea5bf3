#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"
#include "presentation/BLQIOperations.h"

namespace brindlecue {

class KJTipFeedbackElement;

namespace platform {
class UIView;
}  // namespace platform

// Sends survey answers. One record per answer is posted as JSON to "feedbacks" through the older
// layer's JSON client, with the eleven keys "anonymous" ("no"), "app_key", "campaignid",
// "contents", "extra_json", "feedback_type", "feedid", "installid", "created_on_client" (now, as
// "yyyy-MM-dd HH:mm:ss" UTC), "step_id" and "title"; texts that are none go as "". An accepted
// record puts the thank-you message ("BRINDLECUE_WINDOW_FEEDBACK_THANKS", by default "Thanks for
// your feedback!") for 1.5 s on the view the caller names (a feedback tip's own view) while that
// view is on screen, else on the present window. Without an install id nothing is sent.
// Failures are shown or logged (blqPresentErrorAlertOrLog) and handed to the handler; nothing is
// sent again. Holds nothing; any thread.
class KJFeedbackManager {
public:
    static constexpr const char* kThanksKey = "BRINDLECUE_WINDOW_FEEDBACK_THANKS";
    static constexpr const char* kThanksDefault = "Thanks for your feedback!";
    static constexpr const char* kNoInstallMessage = "Parameter installid needed to determine Install.";

    static KJFeedbackManager& shared();

    // The current value of every tag the survey lists, by key; tags without a value are left out,
    // and so is everything while the facade has no tag manager.
    platform::Dictionary getExtraJsonForFeedback(const std::shared_ptr<KJTipFeedbackElement>& feedback) const;

    // The handler (optional) is called on the HTTP client's queue with the request sent (none when
    // nothing was sent) and the error of a failure; it does not wait for the thank-you message.
    void submitFeedbackWithTitle(const std::optional<std::string>& title, int64_t type,
                                 const std::optional<std::string>& content,
                                 const std::optional<std::string>& campaignId,
                                 const std::optional<std::string>& feedId, int64_t stepId,
                                 const platform::Dictionary& extraJson,
                                 BLQIOperations::FeedbackHandler handler,
                                 std::weak_ptr<platform::UIView> thanksView = {});

private:
    KJFeedbackManager() = default;
};

}  // namespace brindlecue
