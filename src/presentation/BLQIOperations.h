#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/Error.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue {

class BLQFeedback;
class BLQIGuidePayload;

namespace platform {
class UIView;
}  // namespace platform

// What a host's custom guide may ask of the library for the step it shows.
class BLQIOperations {
public:
    // The request that was sent (none when nothing was sent) and the error, when there was one.
    using FeedbackHandler =
        std::function<void(const std::optional<platform::URLRequest>& request, const std::optional<platform::Error>& error)>;

    virtual ~BLQIOperations() = default;

    // Sends the survey answer as the step's feedback record; the handler (optional) hears how it
    // went, on the HTTP client's queue.
    virtual void submitFeedback(const BLQFeedback& answer, const BLQIGuidePayload& guide, FeedbackHandler handler) = 0;
    // The live view the step targets, or none. Main queue.
    virtual std::shared_ptr<platform::UIView> findTarget(const BLQIGuidePayload& guide) = 0;
};

}  // namespace brindlecue
