#include "platform/uikit/UIMotionEffect.h"

#include <algorithm>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {
namespace {

using EffectList = std::vector<std::shared_ptr<UIMotionEffect>>;
constexpr const char* kEffectsKey = "motionEffects";

}  // namespace

void UIView::addMotionEffect(const std::shared_ptr<UIMotionEffect>& effect) {
    if (!effect) return;
    auto list = associatedObject<EffectList>(kEffectsKey);
    if (!list) {
        list = std::make_shared<EffectList>();
        setAssociatedObject(kEffectsKey, list);
    }
    if (std::find(list->begin(), list->end(), effect) == list->end()) list->push_back(effect);
}

void UIView::removeMotionEffect(const std::shared_ptr<UIMotionEffect>& effect) {
    if (auto list = associatedObject<EffectList>(kEffectsKey)) std::erase(*list, effect);
}

std::vector<std::shared_ptr<UIMotionEffect>> UIView::motionEffects() const {
    auto list = associatedObject<EffectList>(kEffectsKey);
    return list ? *list : EffectList{};
}

}  // namespace brindlecue::platform
