#include "platform/uikit/UIPresentationController.h"

namespace brindlecue::platform {

std::shared_ptr<UIViewController> UIPresentationController::presentingViewController() const {
    auto presented = presented_.lock();
    return presented ? presented->presentingViewController() : nullptr;
}

void UIPresentationController::dismissInteractively() {
    auto presented = presented_.lock();
    if (!presented || !presented->presentingViewController() || presented->isBeingDismissed()) return;
    UIModalPresentationStyle style = presented->modalPresentationStyle();
    bool sheet = style == UIModalPresentationStyle::Automatic ||
                 style == UIModalPresentationStyle::PageSheet || style == UIModalPresentationStyle::FormSheet;
    if (!sheet) return;
    auto self = sharedAs<UIPresentationController>();
    auto delegate = this->delegate();
    if (delegate && !delegate->presentationControllerShouldDismiss(self)) {
        delegate->presentationControllerDidAttemptToDismiss(self);
        return;
    }
    if (delegate) delegate->presentationControllerWillDismiss(self);
    presented->presentingViewController()->dismissViewControllerAnimated(true, [self] {
        if (auto d = self->delegate()) d->presentationControllerDidDismiss(self);
    });
}

}  // namespace brindlecue::platform
