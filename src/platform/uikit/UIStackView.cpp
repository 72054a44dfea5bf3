#include "platform/uikit/UIStackView.h"

#include <algorithm>

namespace brindlecue::platform {

void UIStackView::addArrangedSubview(const std::shared_ptr<UIView>& view) {
    if (!view) return;
    std::erase(arrangedSubviews_, view);
    arrangedSubviews_.push_back(view);
    addSubview(view);
}

void UIStackView::removeArrangedSubview(const std::shared_ptr<UIView>& view) {
    std::erase(arrangedSubviews_, view);
}

}  // namespace brindlecue::platform
