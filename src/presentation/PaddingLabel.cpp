#include "presentation/PaddingLabel.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

void PaddingLabel::didConstruct() {
    UILabel::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { platform::ClassRegistry::registerClass(kClassName, "UILabel"); });
    edgeInsets_ = {};
}

void PaddingLabel::drawTextInRect(const platform::CGRect& rect) {
    const platform::UIEdgeInsets& i = edgeInsets_;
    UILabel::drawTextInRect(platform::CGRect(rect.minX() + i.left, rect.minY() + i.top,
                                             rect.width() - i.left - i.right,
                                             rect.height() - i.top - i.bottom));
}

platform::CGSize PaddingLabel::intrinsicContentSize() const {
    platform::CGSize size = UILabel::intrinsicContentSize();
    return {size.width + edgeInsets_.left + edgeInsets_.right,
            size.height + edgeInsets_.top + edgeInsets_.bottom};
}

}  // namespace brindlecue
