#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIAlertView.h"

namespace brindlecue {

class KJInterceptor;

// A legacy alert that tells a block which button closed it, while a delegate set from outside
// still hears every callback: the platform's delegate slot holds an interceptor whose first
// responder is the alert and whose second is that outside delegate. A click calls the handler,
// then the outside delegate's click callback when it implements it. Button indexes are the
// platform's: the cancel button first when there is one, then the others in the order added.
// Delegates are platform objects (NSObject) and are asked what they implement. Main thread.
class KJAlertView : public platform::UIAlertView, public platform::UIAlertViewDelegate {
public:
    using ClosedHandler = std::function<void(KJAlertView& alertView, int64_t buttonIndex)>;

    // The further titles end at the first missing one, as a nil-terminated list does.
    KJAlertView(std::optional<std::string> title, std::optional<std::string> message, ClosedHandler handler,
                std::optional<std::string> cancelButtonTitle,
                std::vector<std::optional<std::string>> otherButtonTitles = {});
    ~KJAlertView() override;
    void didConstruct() override;
    std::string className() const override { return "KJAlertView"; }

    const ClosedHandler& closedHandler() const { return closedHandler_; }
    void setClosedHandler(ClosedHandler handler) { closedHandler_ = std::move(handler); }
    const std::shared_ptr<KJInterceptor>& delegateInterceptor() const { return delegateInterceptor_; }
    bool isCalledFromDealloc() const { return isCalledFromDealloc_; }

    // The outside delegate becomes the interceptor's second responder (the alert itself and the
    // interceptor are not taken); the platform slot keeps the interceptor.
    void setDelegate(const std::shared_ptr<platform::UIAlertViewDelegate>& delegate) override;
    void alertViewClickedButtonAtIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;

private:
    ClosedHandler closedHandler_;
    std::shared_ptr<KJInterceptor> delegateInterceptor_;
    bool isCalledFromDealloc_ = false;
    std::vector<std::optional<std::string>> pendingTitles_;
};

}  // namespace brindlecue
