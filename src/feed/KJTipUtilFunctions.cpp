#include "feed/KJTipUtilFunctions.h"

#include "foundation/BLQViewUtils.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

namespace {

std::vector<std::shared_ptr<platform::UIButton>> launcherButtons() {
    std::vector<std::shared_ptr<platform::UIButton>> out;
    auto window = blqKeyWindow();
    if (!window) return out;
    for (const auto& subview : window->subviews()) {
        auto button = std::dynamic_pointer_cast<platform::UIButton>(subview);
        if (button && button->tag() == kKJLauncherButtonTag) out.push_back(button);
    }
    return out;
}

}  // namespace

void glowingWidget(const std::shared_ptr<platform::UIView>& view, const platform::Color& shadowColor,
                   bool flash, bool pulse) {
    if (!view) return;
    auto layer = view->layer();
    layer->shadowColor = platform::UIColor(shadowColor);
    layer->shadowRadius = 10;
    layer->shadowOpacity = 2.0;
    layer->setMasksToBounds(false);
    layer->shadowOffset = {0, 0};

    std::shared_ptr<platform::CAPropertyAnimation> animation;
    if (flash) {
        auto keyframes = platform::CAKeyframeAnimation::animationWithKeyPath("shadowOpacity");
        keyframes->values = {platform::Value(2.0), platform::Value(0.3), platform::Value(2.0)};
        keyframes->keyTimes = {0, 0.333, 1};
        keyframes->duration = 1;
        animation = keyframes;
    } else {
        auto fade = platform::CABasicAnimation::animationWithKeyPath("shadowOpacity");
        fade->fromValue = platform::Value(layer->shadowOpacity);
        fade->toValue = platform::Value(0.3);
        layer->shadowOpacity = 0.3;
        fade->duration = 3;
        animation = fade;
    }
    animation->repeatCount = platform::CAAnimation::HUGE_REPEAT;
    layer->addAnimation(animation, animation->keyPath);

    if (pulse) {
        std::weak_ptr<platform::UIView> weakView = view;
        platform::UIView::animateWithDuration(
            1, 0,
            platform::UIViewAnimationOptionAllowUserInteraction |
                platform::UIViewAnimationOptionBeginFromCurrentState | platform::UIViewAnimationOptionRepeat |
                platform::UIViewAnimationOptionAutoreverse,
            [weakView] {
                if (auto v = weakView.lock())
                    v->setTransform(platform::CGAffineTransform::makeScale(1.2, 1.2));
            },
            [weakView](bool) {
                if (auto v = weakView.lock()) v->setTransform(platform::CGAffineTransform::makeScale(1, 1));
            });
    }
}

std::shared_ptr<platform::UIView> getAWidgetOfNaviagtionBar(const std::shared_ptr<platform::UIView>& view) {
    for (auto ancestor = view ? view->superview() : nullptr; ancestor; ancestor = ancestor->superview()) {
        if (std::dynamic_pointer_cast<platform::UINavigationBar>(ancestor)) return ancestor;
    }
    return nullptr;
}

std::shared_ptr<platform::UINavigationController> getNavigationController() {
    auto window = blqKeyWindow();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root) return nullptr;
    if (auto navigation = std::dynamic_pointer_cast<platform::UINavigationController>(root))
        return navigation;
    return root->navigationController();
}

std::vector<std::string> getLauncherButtonID() {
    std::vector<std::string> ids;
    for (const auto& button : launcherButtons()) {
        platform::Value id = button->associatedValue(kKJLauncherIDKey);
        if (const std::string* text = id.getString()) ids.push_back(*text);
    }
    return ids;
}

void dismissALauncherButton(const std::string& launcherId) {
    for (const auto& button : launcherButtons()) {
        if (button->associatedValue(kKJLauncherIDKey) == platform::Value(launcherId))
            button->removeFromSuperview();
    }
}

bool ancestorHasViewClass(const std::string& className, const std::shared_ptr<platform::UIView>& view) {
    for (auto ancestor = view ? view->superview() : nullptr; ancestor; ancestor = ancestor->superview()) {
        if (ancestor->isKindOfClass(className)) return true;
    }
    return false;
}

bool isNullNil(const platform::Value& object) {
    return object.isNil();
}

bool kjFeedIdMatches(const platform::NSObject& campaign, const std::string& feedId) {
    return campaign.valueForKey("feed_id") == platform::Value(feedId);
}

}  // namespace brindlecue
