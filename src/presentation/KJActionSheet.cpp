#include "presentation/KJActionSheet.h"

#include <mutex>

#include "foundation/BLQViewUtils.h"
#include "foundation/KJInterceptor.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

using namespace platform;

KJActionSheet::KJActionSheet(std::optional<std::string> title, ClosedHandler handler,
                             std::optional<std::string> cancelButtonTitle,
                             std::vector<std::optional<std::string>> otherButtonTitles)
    : UIActionSheet(std::move(title), nullptr, std::move(cancelButtonTitle), std::nullopt, {}),
      closedHandler_(std::move(handler)),
      pendingTitles_(std::move(otherButtonTitles)) {}

KJActionSheet::~KJActionSheet() {
    isCalledFromDealloc_ = true;
    UIActionSheet::setDelegate(nullptr);
}

void KJActionSheet::didConstruct() {
    UIActionSheet::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        ClassRegistry::registerClass("KJActionSheet", "UIActionSheet");
        ClassRegistry::addMethods("KJActionSheet", {"actionSheet:clickedButtonAtIndex:"});
    });
    delegateInterceptor_ = make<KJInterceptor>();
    delegateInterceptor_->setFirstResponder(sharedAs<NSObject>());
    setDelegate(sharedAs<KJActionSheet>());
    for (const auto& buttonTitle : pendingTitles_) {
        if (!buttonTitle) break;
        addButtonWithTitle(*buttonTitle);
    }
    pendingTitles_.clear();
}

void KJActionSheet::show() {
    if (auto window = blqGetPresentWindow()) showInView(window);
}

void KJActionSheet::setDelegate(const std::shared_ptr<UIActionSheetDelegate>& delegate) {
    if (isCalledFromDealloc_) {
        UIActionSheet::setDelegate(delegate);
        return;
    }
    delegateInterceptor_->setSecondResponder(std::dynamic_pointer_cast<NSObject>(delegate));
    UIActionSheet::setDelegate(delegateInterceptor_);
}

void KJActionSheet::actionSheetClickedButtonAtIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (closedHandler_) closedHandler_(*this, buttonIndex);
    auto outside = delegateInterceptor_->secondResponder();
    if (outside && outside->respondsToSelector("actionSheet:clickedButtonAtIndex:"))
        if (auto d = std::dynamic_pointer_cast<UIActionSheetDelegate>(outside))
            d->actionSheetClickedButtonAtIndex(actionSheet, buttonIndex);
}

}  // namespace brindlecue
