#include "platform/uikit/UIDynamicAnimator.h"

#include <algorithm>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

std::vector<std::shared_ptr<UIView>> UIDynamicBehavior::items() const {
    std::vector<std::shared_ptr<UIView>> out;
    for (const auto& w : items_)
        if (auto v = w.lock()) out.push_back(v);
    return out;
}

UISnapBehavior::UISnapBehavior(const std::shared_ptr<UIView>& item, CGPoint snapToPoint)
    : snapPoint_(snapToPoint) {
    items_.push_back(item);
}

UIAttachmentBehavior::UIAttachmentBehavior(const std::shared_ptr<UIView>& item, CGPoint anchorPoint)
    : anchorPoint_(anchorPoint) {
    items_.push_back(item);
}

UIGravityBehavior::UIGravityBehavior(const std::vector<std::shared_ptr<UIView>>& items) {
    items_.assign(items.begin(), items.end());
}

UIDynamicItemBehavior::UIDynamicItemBehavior(const std::vector<std::shared_ptr<UIView>>& items) {
    items_.assign(items.begin(), items.end());
}

void UIDynamicItemBehavior::addAngularVelocity(double velocity, const std::shared_ptr<UIView>& item) {
    if (item) angularVelocity_[item.get()] += velocity;
}

double UIDynamicItemBehavior::angularVelocityForItem(const std::shared_ptr<UIView>& item) const {
    auto it = angularVelocity_.find(item.get());
    return it == angularVelocity_.end() ? 0 : it->second;
}

void UIDynamicAnimator::addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    if (behavior && std::find(behaviors_.begin(), behaviors_.end(), behavior) == behaviors_.end())
        behaviors_.push_back(behavior);
}

void UIDynamicAnimator::removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    std::erase(behaviors_, behavior);
}

}  // namespace brindlecue::platform
