#include "uikit-support/KJMBProgressHUDRoundedButton.h"

#include <cmath>
#include <mutex>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using namespace platform;

void KJMBProgressHUDRoundedButton::didConstruct() {
    UIButton::didConstruct();
    static std::once_flag registered;
    std::call_once(registered,
                   [] { ClassRegistry::registerClass("KJMBProgressHUDRoundedButton", "UIButton"); });
    layer()->borderWidth = 1.0;
}

void KJMBProgressHUDRoundedButton::layoutSubviews() {
    UIButton::layoutSubviews();
    layer()->cornerRadius = std::ceil(bounds().size.height / 2);
}

CGSize KJMBProgressHUDRoundedButton::intrinsicContentSize() const {
    if (allControlEvents() == 0) return {0, 0};
    CGSize size = sizeThatFits({0, 0});
    return {size.width + 20, size.height};
}

void KJMBProgressHUDRoundedButton::setTitleColor(std::optional<UIColor> color, uint64_t state) {
    UIButton::setTitleColor(color, state);
    setHighlighted(isHighlighted());
    layer()->borderColor = color;
}

void KJMBProgressHUDRoundedButton::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    auto base = titleColorForState(UIControlStateSelected);
    setBackgroundColor(highlighted && base ? base->colorWithAlphaComponent(0.1) : UIColor::clearColor());
}

}  // namespace brindlecue
