#include "preview/BLQPreviewModeUIManager.h"

#include "feed/BLQIPreviewModeManager.h"
#include "foundation/BLQPublished.h"
#include "foundation/Constant.h"
#include "imaging/KJSDWebImageCompat.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJTipDismissElement.h"
#include "preview/PreviewModeHostingController.h"
#include "preview/PreviewNotification.h"

namespace brindlecue {

using platform::CGPoint;
using platform::CGRect;
using platform::UIView;

BLQPreviewModeUIManager::BLQPreviewModeUIManager() : previewMode_(std::make_shared<PreviewNotification>()) {}

BLQPreviewModeUIManager::~BLQPreviewModeUIManager() = default;

std::shared_ptr<platform::UIViewController> BLQPreviewModeUIManager::previewModeView() const {
    std::lock_guard lock(mutex_);
    return previewModeView_;
}

void BLQPreviewModeUIManager::setPreviewModeView(std::shared_ptr<platform::UIViewController> controller) {
    std::lock_guard lock(mutex_);
    previewModeView_ = std::move(controller);
}

std::shared_ptr<UIView> BLQPreviewModeUIManager::panel() const {
    auto controller = previewModeView();
    return controller ? controller->view() : nullptr;
}

bool BLQPreviewModeUIManager::isShown() const {
    auto view = panel();
    return view && !view->isHidden();
}

void BLQPreviewModeUIManager::makePanel() {
    for (const auto& window : platform::UIApplication::sharedApplication()->windows()) {
        if (window->isKeyWindow()) {
            targetWindow_ = window;
            break;
        }
    }
    const CGRect screen = platform::UIScreen::mainScreen()->bounds();
    widthScreen_ = screen.size.width;
    heightScreen_ = screen.size.height;

    std::weak_ptr<BLQPreviewModeUIManager> weak =
        std::static_pointer_cast<BLQPreviewModeUIManager>(weak_from_this().lock());
    PreviewModeView overlay(
        [weak](PreviewModeBackgroundFrame mode, bool isMenuShown) {
            if (auto self = weak.lock()) self->returnPreviewModePosition(mode, isMenuShown);
        },
        &BLQPreviewModeUIManager::returnPreviewModeAction);
    overlay.environmentObject(previewMode_);
    auto controller = platform::make<PreviewModeHostingController>(overlay);
    auto view = controller->panelView();
    // Changes of the model or of the view's states are drawn at the next layout pass.
    std::weak_ptr<UIView> weakView = view;
    auto relayout = [weakView] {
        if (auto v = weakView.lock()) v->setNeedsLayout();
    };
    overlay.setStatesChanged(relayout);
    previewModeObservation_ = previewMode_->observeWillChange(relayout);

    view->setFrame(CGRect(65, 100, 100, 90));
    view->setBackgroundColor(platform::UIColor::clearColor());
    auto self = sharedAs<NSObject>();
    auto pan = platform::make<platform::UIPanGestureRecognizer>(
        self, platform::makeSelector("handlePan:", &BLQPreviewModeUIManager::handlePan));
    auto tap = platform::make<platform::UITapGestureRecognizer>(
        self, platform::makeSelector("handleTap:", &BLQPreviewModeUIManager::handleTap));
    // The overlay view's own buttons take the same taps.
    tap->setCancelsTouchesInView(false);
    view->addGestureRecognizer(pan);
    view->addGestureRecognizer(tap);
    view->setTag(Constant::AppTag::sdkViewTag);
    view->setHidden(true);
    setPreviewModeView(controller);
    if (auto window = targetWindow_.lock()) window->addSubview(view);
}

void BLQPreviewModeUIManager::layoutUI(bool isHidden) {
    std::weak_ptr<NSObject> weak = weak_from_this();
    KJSDDispatchMainAsyncSafe([weak, isHidden] {
        auto self = std::dynamic_pointer_cast<BLQPreviewModeUIManager>(weak.lock());
        if (!self) return;
        if (!isHidden && !self->previewModeView()) self->makePanel();
        if (auto view = self->panel()) view->setHidden(isHidden);
    });
}

void BLQPreviewModeUIManager::layoutAuthorViews(
    const std::shared_ptr<platform::UIViewController>& controller) {
    if (!controller) return;
    std::weak_ptr<NSObject> weak = weak_from_this();
    KJSDDispatchMainAsyncSafe([weak, controller] {
        auto self = std::dynamic_pointer_cast<BLQPreviewModeUIManager>(weak.lock());
        auto view = self ? self->panel() : nullptr;
        if (view) controller->view()->bringSubviewToFront(view);
    });
}

void BLQPreviewModeUIManager::togglePreviewModeView(bool isHidden) {
    std::weak_ptr<NSObject> weak = weak_from_this();
    KJSDDispatchMainAsyncSafe([weak, isHidden] {
        auto self = std::dynamic_pointer_cast<BLQPreviewModeUIManager>(weak.lock());
        if (auto view = self ? self->panel() : nullptr) view->setHidden(isHidden);
    });
}

void BLQPreviewModeUIManager::resetOfDefaultMode() {
    auto look = previewNotification(BLQPreviewModeNotificationState::idle, false);
    previewMode_->message.set(look->message.get());
    previewMode_->color.set(look->color.get());
    previewMode_->icon.set(look->icon.get());
    previewMode_->bgFrame.set(look->bgFrame.get());
    previewMode_->state.set(look->state.get());
    previewMode_->customMessage.set("");
    previewMode_->duration.set(look->duration.get());
}

void BLQPreviewModeUIManager::receiveUpdated(BLQPreviewModeNotificationState state,
                                             const std::string& customMessage) {
    if (!BLQPreviewModeNotificationStateFromRawValue(rawValue(state))) return;
    std::shared_ptr<PreviewNotification> look = previewNotification(state, isMenuShown());
    auto self = std::dynamic_pointer_cast<BLQPreviewModeUIManager>(weak_from_this().lock());
    if (!self) return;
    platform::DispatchQueue::main()->async([self, look, customMessage] {
        if (look->state.get() == BLQPreviewModeNotificationState::recivedFeedUpdate) return;
        const auto& model = self->previewMode_;
        model->message.set(look->message.get());
        model->color.set(look->color.get());
        model->icon.set(look->icon.get());
        model->state.set(look->state.get());
        model->customMessage.set(customMessage);
        model->duration.set(look->duration.get());
        if (auto view = self->panel()) view->setFrame(CGRect(view->frame().origin, look->bgFrame.get()));
    });
}

std::shared_ptr<platform::UIImage> BLQPreviewModeUIManager::getLocalImage(const std::string& imageName) {
    return KJTipDismissElement::iconImage(imageName + ".png");
}

void BLQPreviewModeUIManager::returnPreviewModePosition(PreviewModeBackgroundFrame mode, bool isMenuShown) {
    auto view = panel();
    if (!view) return;
    const CGPoint origin = view->frame().origin;
    setIsMenuShown(isMenuShown);
    view->setFrame(CGRect(origin, size(mode)));
}

void BLQPreviewModeUIManager::returnPreviewModeAction(PreviewModeAction action) {
    auto manager = BLQPublished<BLQIPreviewModeManager>::get();
    if (!manager) return;
    switch (action) {
        case PreviewModeAction::captureScreenShot:
            manager->captureScreenShot();
            break;
        case PreviewModeAction::replyTour:
            manager->replayGuide();
            break;
        case PreviewModeAction::exitPreviewMode:
            manager->exitPreviewMode();
            break;
    }
}

platform::UIEdgeInsets BLQPreviewModeUIManager::targetInsets() const {
    auto window = targetWindow_.lock();
    return window ? window->safeAreaInsets() : platform::UIEdgeInsets{};
}

void BLQPreviewModeUIManager::handleTap(const std::shared_ptr<platform::NSObject>& sender) {
    auto recognizer = std::dynamic_pointer_cast<platform::UIGestureRecognizer>(sender);
    auto view = recognizer ? recognizer->view() : nullptr;
    if (!view) return;
    const double h = view->frame().size.height;
    const CGPoint c = view->center();
    const platform::UIEdgeInsets insets = targetInsets();
    const double T = insets.top, B = insets.bottom, H = heightScreen_;
    if (h + c.y - B > H) view->setCenter({c.x, B > 0 ? H + B - h : H - h + kSpacing + T});
}

void BLQPreviewModeUIManager::handlePan(const std::shared_ptr<platform::NSObject>& sender) {
    auto recognizer = std::dynamic_pointer_cast<platform::UIPanGestureRecognizer>(sender);
    auto view = recognizer ? recognizer->view() : nullptr;
    if (!view) return;
    auto window = targetWindow_.lock();
    std::shared_ptr<UIView> space = window ? window->superview() : nullptr;
    if (!space) space = window ? window : view->window();
    const CGPoint t = recognizer->translationInView(space);
    const CGPoint c = view->center();
    const double h = view->frame().size.height;
    const platform::UIEdgeInsets insets = targetInsets();
    const double T = insets.top, B = insets.bottom, W = widthScreen_, H = heightScreen_;
    const double MH = kMarginHorizontal, MV = kMarginVertical, S = kSpacing;

    CGPoint next{c.x + t.x, c.y + t.y};
    const bool free = MH < c.x && c.x + MH < W && T + S < c.y && c.y + MV + T + B + 2 * S < H;
    if (!free) {
        const double dx = (MH < c.x && c.x + MH > W) ? -MH : c.x < MH ? MH : 0;
        const double dy = (MV < c.y && c.y + h - B > H) ? T - MV + S : c.y < MV ? MV : 0;
        next = {next.x + dx, next.y + dy};
    }
    view->setCenter(next);
    recognizer->setTranslation({0, 0}, view);
}

}  // namespace brindlecue
