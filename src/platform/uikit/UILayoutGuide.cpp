#include "platform/uikit/UILayoutGuide.h"

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

std::shared_ptr<UILayoutGuide> UIView::safeAreaLayoutGuide() const {
    auto self = std::const_pointer_cast<UIView>(sharedAs<const UIView>());
    auto guide = self->associatedObject<UILayoutGuide>("safeAreaLayoutGuide");
    if (!guide) {
        guide = make<UILayoutGuide>();
        guide->setOwningView(self);
        self->setAssociatedObject("safeAreaLayoutGuide", guide);
    }
    return guide;
}

}  // namespace brindlecue::platform
