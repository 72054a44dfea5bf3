#include "presentation/KJAlertView.h"

#include <mutex>

#include "foundation/KJInterceptor.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using namespace platform;

KJAlertView::KJAlertView(std::optional<std::string> title, std::optional<std::string> message,
                         ClosedHandler handler, std::optional<std::string> cancelButtonTitle,
                         std::vector<std::optional<std::string>> otherButtonTitles)
    : UIAlertView(std::move(title), std::move(message), nullptr, std::move(cancelButtonTitle), {}),
      closedHandler_(std::move(handler)),
      pendingTitles_(std::move(otherButtonTitles)) {}

KJAlertView::~KJAlertView() {
    isCalledFromDealloc_ = true;
    UIAlertView::setDelegate(nullptr);
}

void KJAlertView::didConstruct() {
    UIAlertView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        ClassRegistry::registerClass("KJAlertView", "UIAlertView");
        ClassRegistry::addMethods("KJAlertView", {"alertView:clickedButtonAtIndex:"});
    });
    delegateInterceptor_ = make<KJInterceptor>();
    delegateInterceptor_->setFirstResponder(sharedAs<NSObject>());
    setDelegate(sharedAs<KJAlertView>());
    for (const auto& buttonTitle : pendingTitles_) {
        if (!buttonTitle) break;
        addButtonWithTitle(*buttonTitle);
    }
    pendingTitles_.clear();
}

void KJAlertView::setDelegate(const std::shared_ptr<UIAlertViewDelegate>& delegate) {
    if (isCalledFromDealloc_) {
        UIAlertView::setDelegate(delegate);
        return;
    }
    delegateInterceptor_->setSecondResponder(std::dynamic_pointer_cast<NSObject>(delegate));
    UIAlertView::setDelegate(delegateInterceptor_);
}

void KJAlertView::alertViewClickedButtonAtIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (closedHandler_) closedHandler_(*this, buttonIndex);
    auto outside = delegateInterceptor_->secondResponder();
    if (outside && outside->respondsToSelector("alertView:clickedButtonAtIndex:"))
        if (auto d = std::dynamic_pointer_cast<UIAlertViewDelegate>(outside))
            d->alertViewClickedButtonAtIndex(alertView, buttonIndex);
}

}  // namespace brindlecue
