#include "platform/uikit/UILayoutGuide.h"

#include "platform/uikit/NSLayoutConstraint.h"
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

namespace {

const char* compressionKey(UILayoutConstraintAxis axis) {
    return axis == UILayoutConstraintAxis::Horizontal ? "compressionResistance.h" : "compressionResistance.v";
}

}  // namespace

float UIView::contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const {
    Value v = associatedValue(compressionKey(axis));
    return v.isNumber() ? static_cast<float>(v.doubleValue()) : UILayoutPriorityDefaultHigh;
}

void UIView::setContentCompressionResistancePriority(float priority, UILayoutConstraintAxis axis) {
    setAssociatedValue(compressionKey(axis), Value(priority));
}

}  // namespace brindlecue::platform
