#include "presentation/UIViewControllerKJViewExt.h"

#include <vector>

#include "foundation/BLQViewUtils.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJBaseTipViewController.h"
#include "presentation/KJCoverView.h"

namespace brindlecue {

using platform::CGRect;
using platform::UIView;
using platform::UIViewController;

namespace {

constexpr const char* kCoverViewKey = "coverView";
constexpr double kOutOfSight = 2147483647.0;
constexpr double kPresentDelay = 0.5;
constexpr double kFadeDuration = 0.1;

std::shared_ptr<UIViewController> rootViewController() {
    auto window = blqKeyWindow();
    return window ? window->rootViewController() : nullptr;
}

void presentNow(const std::shared_ptr<UIViewController>& controller, bool withCover,
                std::optional<platform::UIColor> coverColor, double coverAlpha,
                const UIViewControllerKJViewExt::TouchHandler& touchHandler,
                const UIViewControllerKJViewExt::RectHandler& animationHandler,
                const UIViewControllerKJViewExt::RectHandler& orientationHandler) {
    auto root = rootViewController();
    auto rootView = root ? root->view() : nullptr;
    if (!rootView) return;
    const CGRect reference = rootView->bounds();
    auto view = controller->view();
    CGRect frame = view->frame();
    frame.origin.x += kOutOfSight;
    frame.origin.y += kOutOfSight;
    view->setFrame(frame);

    if (withCover) {
        auto cover = platform::make<KJCoverView>(reference);
        UIViewControllerKJViewExt::setCoverView(controller, cover);
        cover->setContentVC(controller);
        cover->setOverlayColor(coverColor);
        cover->setOverlayAlpha(coverAlpha);
        cover->setAutoresizingMask(platform::UIViewAutoresizingFlexibleWidth |
                                   platform::UIViewAutoresizingFlexibleHeight);
        auto top = root;
        while (auto presented = top->presentedViewController()) top = presented;
        top->view()->addSubview(cover);
        cover->setAlpha(0);
        UIView::animateWithDuration(kFadeDuration, [cover] { cover->setAlpha(1); });
        view->setAutoresizingMask(
            platform::UIViewAutoresizingFlexibleLeftMargin | platform::UIViewAutoresizingFlexibleRightMargin |
            platform::UIViewAutoresizingFlexibleTopMargin | platform::UIViewAutoresizingFlexibleBottomMargin);
        cover->addSubview(view);
        if (touchHandler) cover->setTouchedHandler(touchHandler);
        if (orientationHandler) {
            std::weak_ptr<UIView> weakRoot = rootView;
            cover->setOrientationChangedHandler([weakRoot, orientationHandler] {
                if (auto r = weakRoot.lock()) orientationHandler(r->bounds());
            });
        }
    } else {
        rootView->addSubview(view);
    }

    if (animationHandler) {
        animationHandler(reference);
    } else {
        CGRect placed = view->frame();
        placed.origin = {(reference.width() - placed.width()) / 2,
                         (reference.height() - placed.height()) / 2};
        view->setFrame(placed);
    }
}

}  // namespace

std::shared_ptr<KJCoverView> UIViewControllerKJViewExt::coverView(
    const std::shared_ptr<UIViewController>& controller) {
    if (!controller) return nullptr;
    if (auto tip = std::dynamic_pointer_cast<KJBaseTipViewController>(controller)) return tip->kjCoverView();
    return controller->associatedObject<KJCoverView>(kCoverViewKey);
}

void UIViewControllerKJViewExt::setCoverView(const std::shared_ptr<UIViewController>& controller,
                                             const std::shared_ptr<KJCoverView>& coverView) {
    if (!controller) return;
    if (auto tip = std::dynamic_pointer_cast<KJBaseTipViewController>(controller)) {
        tip->setCoverView(coverView);
        return;
    }
    controller->setAssociatedObject(kCoverViewKey, coverView);
}

void UIViewControllerKJViewExt::presentOnTopWithCover(
    const std::shared_ptr<UIViewController>& controller, bool withCover,
    std::optional<platform::UIColor> coverColor, double coverAlpha, bool delay,
    TouchHandler coverTouchHandler, RectHandler animationHandler, RectHandler orientationChangedHandler) {
    if (!controller) return;
    auto work = [controller, withCover, coverColor, coverAlpha, coverTouchHandler, animationHandler,
                 orientationChangedHandler] {
        presentNow(controller, withCover, coverColor, coverAlpha, coverTouchHandler, animationHandler,
                   orientationChangedHandler);
    };
    if (delay) {
        platform::DispatchQueue::main()->asyncAfter(kPresentDelay, work);
    } else {
        platform::DispatchQueue::main()->async(work);
    }
}

void UIViewControllerKJViewExt::dismissOnTop(const std::shared_ptr<UIViewController>& controller) {
    if (!controller) return;
    if (auto view = controller->viewIfLoaded()) view->removeFromSuperview();
    auto cover = coverView(controller);
    if (!cover) return;
    UIView::animateWithDuration(
        kFadeDuration, [cover] { cover->setAlpha(0); },
        [cover](bool) {
            cover->removeFromSuperview();
            cover->setContentVC(nullptr);
        });
}

void UIViewControllerKJViewExt::dismissLauncherButton(const std::shared_ptr<UIViewController>& controller) {
    if (std::dynamic_pointer_cast<KJBaseTipViewController>(controller)) return;
    auto window = blqKeyWindow();
    if (!window) return;
    const std::vector<std::shared_ptr<UIView>> subviews = window->subviews();
    for (const auto& view : subviews) {
        if (view->tag() == kLauncherButtonTag && std::dynamic_pointer_cast<platform::UIButton>(view))
            view->removeFromSuperview();
    }
}

}  // namespace brindlecue
