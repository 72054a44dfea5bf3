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

// A legacy action sheet that tells a block which button closed it; as KJAlertView, an outside
// delegate still hears every callback, after the block for a click. Main thread.
class KJActionSheet : public platform::UIActionSheet, public platform::UIActionSheetDelegate {
public:
    using ClosedHandler = std::function<void(KJActionSheet& actionSheet, int64_t buttonIndex)>;

    // No destructive button; the further titles end at the first missing one.
    KJActionSheet(std::optional<std::string> title, ClosedHandler handler,
                  std::optional<std::string> cancelButtonTitle,
                  std::vector<std::optional<std::string>> otherButtonTitles = {});
    ~KJActionSheet() override;
    void didConstruct() override;
    std::string className() const override { return "KJActionSheet"; }

    const ClosedHandler& closedHandler() const { return closedHandler_; }
    void setClosedHandler(ClosedHandler handler) { closedHandler_ = std::move(handler); }
    const std::shared_ptr<KJInterceptor>& delegateInterceptor() const { return delegateInterceptor_; }
    bool isCalledFromDealloc() const { return isCalledFromDealloc_; }

    // Shows the sheet in the window the library presents on; nothing without one.
    void show();
    void setDelegate(const std::shared_ptr<platform::UIActionSheetDelegate>& delegate) override;
    void actionSheetClickedButtonAtIndex(platform::UIActionSheet& actionSheet, int64_t buttonIndex) override;

private:
    ClosedHandler closedHandler_;
    std::shared_ptr<KJInterceptor> delegateInterceptor_;
    bool isCalledFromDealloc_ = false;
    std::vector<std::optional<std::string>> pendingTitles_;
};

}  // namespace brindlecue
