// The tip controller's life: its view tree, presentation over a cover, the in- and
// out-animations, the highlight around the target, dismissal and the user's actions.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <mutex>
#include <vector>

#include "presentation/KJBaseTipViewController.h"

#include "config/BLQPreviewModeCheck.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/KJLog.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "platform/webkit/WKWebView.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "presentation/KJCoverView.h"
#include "presentation/KJTipPresentation.h"
#include "presentation/PaddingLabel.h"
#include "presentation/TransferableTouchView.h"
#include "uikit-support/UIViewKJAnimations.h"

namespace brindlecue {

using platform::CGPoint;
using platform::CGRect;
using platform::UIView;
using platform::UIViewController;

namespace {

constexpr double kOutOfSight = 2147483647.0;
constexpr int32_t kCoachmarkTipType = 4;
constexpr int32_t kCarouselTipType = 6;
constexpr int32_t kPageOpenTrigger = 1;
constexpr const char* kReactNativeScreen = "RNSScreen";

enum AnimationType : int32_t { kFade = 1, kSlide = 2, kExplode = 3, kCompress = 4 };
enum AnimationDirection : int32_t { kLeft = 1, kTop = 2, kRight = 3, kBottom = 4 };

// The swipe under way, shared by every controller (main thread only).
uint64_t sharedPanDirection = 0;

bool equalsIgnoringCase(const std::optional<std::string>& a, std::string_view b) {
    if (!a || a->size() != b.size()) return false;
    return std::equal(a->begin(), a->end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

void removeTagged(const std::shared_ptr<UIView>& root, int64_t tag) {
    if (!root) return;
    while (auto view = root->viewWithTag(tag)) {
        if (view == root) return;
        view->removeFromSuperview();
    }
}

std::string describe(const std::shared_ptr<platform::NSObject>& object) {
    return object ? object->description() : std::string("(null)");
}

}  // namespace

struct KJBaseTipViewController::Presentation {
    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<UIViewController> topCandidate;
    std::shared_ptr<UIViewController> host;
    std::shared_ptr<UIView> givenCover;
    PresentSuccess success;
    PresentFailure failure;
};

KJBaseTipViewController::~KJBaseTipViewController() = default;

void KJBaseTipViewController::didConstruct() {
    UIViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        // The library's base screen class, unless the facade entered it already.
        if (!platform::ClassRegistry::exists("BLQBaseViewController"))
            platform::ClassRegistry::registerClass("BLQBaseViewController", "UIViewController");
        platform::ClassRegistry::registerClass("KJBaseTipViewController", "BLQBaseViewController");
    });
}

uint64_t KJBaseTipViewController::panDirection() {
    return sharedPanDirection;
}

std::shared_ptr<UIView> KJBaseTipViewController::coverView() const {
    return coverView_;
}

// ---------------------------------------------------------------- view tree

std::shared_ptr<UIView> KJBaseTipViewController::makeRootView(const CGRect& frame) {
    return platform::make<UIView>(frame);
}

void KJBaseTipViewController::loadView() {
    auto root = makeRootView(platform::UIScreen::mainScreen()->bounds());
    viewContent = platform::make<UIView>();
    viewTitle = platform::make<UIView>();
    labelTitle = platform::make<PaddingLabel>();
    labelContent = platform::make<PaddingLabel>();
    auto maker = KJTipPresentation::webViewMaker();
    webView = maker ? maker() : nullptr;
    if (!webView) {
        webView = platform::make<UIView>();
        webView->setHidden(true);
    }
    auto self = sharedAs<KJBaseTipViewController>();
    if (auto page = std::dynamic_pointer_cast<platform::WKWebView>(webView))
        page->setNavigationDelegate(std::static_pointer_cast<BLQIWebTipController>(self));
    activityIndicator = platform::make<platform::UIActivityIndicatorView>();
    buttonClose = platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    button1 = platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    button2 = platform::UIButton::buttonWithType(platform::UIButtonType::Custom);

    root->addSubview(viewContent);
    viewContent->addSubview(viewTitle);
    viewTitle->addSubview(labelTitle);
    viewTitle->addSubview(buttonClose);
    viewContent->addSubview(labelContent);
    viewContent->addSubview(webView);
    viewContent->addSubview(activityIndicator);
    viewContent->addSubview(button1);
    viewContent->addSubview(button2);

    buttonClose->addTarget(
        self, platform::makeSelector("buttonCloseClicked:", &KJBaseTipViewController::buttonCloseClicked),
        platform::UIControlEventTouchUpInside);
    panRecognizer_ = platform::make<platform::UIPanGestureRecognizer>(
        self, platform::makeSelector("pan:", &KJBaseTipViewController::pan));
    panRecognizer_->setDelegate(std::static_pointer_cast<platform::UIGestureRecognizerDelegate>(self));
    root->addGestureRecognizer(panRecognizer_);
    setView(root);
    buildConstraints();
}

void KJBaseTipViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (!cstContentTop) return;
    KJLog(2, "cstContentTrailing %@ <=>: ", describe(cstButtonPrevMarginTop));
    platform::NSLayoutConstraint::deactivateConstraints({cstContentTrailing,
                                                         cstContentTop,
                                                         cstContentBottom,
                                                         cstContentLeading,
                                                         cstViewTitleMarginTop,
                                                         cstViewTitleMarginLeft,
                                                         cstViewTitleMarginRight,
                                                         cstViewTitleHeight,
                                                         cstLabelTitleMarginLeft,
                                                         cstLabelTitleMarginTop,
                                                         cstLabelTitleHeight,
                                                         cstTitleCloseMargin,
                                                         cstButtonDismissWidth,
                                                         cstButtonDismissHeight,
                                                         cstButtonDismissMarginRight,
                                                         cstButtonDismissMarginTop,
                                                         cstLabelContentHeight,
                                                         cstLabelContentMarginLeft,
                                                         cstLabelContentMarginRight,
                                                         cstLabelTitleContentMarginTop,
                                                         cstLabelContentMarginBottom,
                                                         cstWebViewHeight,
                                                         cstButtonPrevWidth,
                                                         cstButtonPrevHeight,
                                                         cstButtonPrevMarginLeft,
                                                         cstButtonNextWidth,
                                                         cstButtonNextHeight,
                                                         cstButtonNextMarginRight,
                                                         cstButtonWidthEqual,
                                                         cstButtonMarginBetween});
}

void KJBaseTipViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    hasAppeared = true;
}

void KJBaseTipViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    placeViewsByConstraints();
}

// ---------------------------------------------------------------- presentation

void KJBaseTipViewController::presentTipWithCoverView(const std::shared_ptr<UIView>& coverView,
                                                      const std::shared_ptr<platform::UIWindow>& window,
                                                      const std::shared_ptr<UIViewController>& viewController,
                                                      PresentSuccess success, PresentFailure failure) {
    auto presentation = std::make_shared<Presentation>();
    presentation->window = window ? window : blqKeyWindow();
    presentation->topCandidate = presentation->window ? presentation->window->rootViewController() : nullptr;
    presentation->host = viewController;
    presentation->givenCover = coverView;
    presentation->success = std::move(success);
    presentation->failure = std::move(failure);

    auto main = platform::DispatchQueue::main();
    main->async([presentation] {
        // Covers left by earlier tips go first.
        if (!presentation->window) return;
        const std::vector<std::shared_ptr<UIView>> subviews = presentation->window->subviews();
        for (const auto& subview : subviews)
            if (std::dynamic_pointer_cast<KJCoverView>(subview)) subview->removeFromSuperview();
    });
    auto self = sharedAs<KJBaseTipViewController>();
    main->async([self, presentation] { self->presentOnMainQueue(presentation); });
}

void KJBaseTipViewController::presentOnMainQueue(const std::shared_ptr<Presentation>& p) {
    dismissalBegun_ = false;
    auto window = p->window;
    if (!window || !tip_) {
        KJLog(1, "Not able to show the tip %@ without a window",
              tip_ ? describe(tip_) : std::string("(null)"));
        failPresentation(p->failure);
        return;
    }
    takeScreenshot();
    screenRect_ = platform::UIScreen::mainScreen()->bounds();
    auto tipView = view();
    CGRect hidden = tipView->frame();
    hidden.origin.x += kOutOfSight;
    hidden.origin.y += kOutOfSight;
    tipView->setFrame(hidden);

    auto manager = tipManager();
    if (auto reused = std::dynamic_pointer_cast<KJCoverView>(p->givenCover)) {
        const std::vector<std::shared_ptr<UIView>> old = reused->subviews();
        for (const auto& subview : old) subview->removeFromSuperview();
        coverView_ = reused;
    } else {
        coverView_ = platform::make<KJCoverView>(screenRect_);
        if (manager) manager->setTipCoverView(coverView_);
        coverView_->setAutoresizingMask(platform::UIViewAutoresizingFlexibleWidth |
                                        platform::UIViewAutoresizingFlexibleHeight);
    }
    transparentView = platform::make<UIView>(screenRect_);
    transparentView->setBackgroundColor(platform::UIColor::clearColor());
    coverView_->addSubview(tipView);
    coverView_->setContentVC(sharedAs<UIViewController>());
    coverView_->setOverlayAlpha(tip_->tipType == kCoachmarkTipType ? 0 : tip_->overlayAlpha);

    bool placed = false;
    if (!BLQPreviewModeCheck::isInPreviewMode()) {
        auto presented = p->topCandidate ? p->topCandidate->presentedViewController() : nullptr;
        if (presented && !presented->childViewControllers().empty()) {
            if (!topScreenMatches(presented, p->host)) {
                failPresentation(p->failure);
                return;
            }
            window->addSubview(coverView_);
            window->bringSubviewToFront(coverView_);
            placed = true;
        }
    }
    if (!placed) {
        window->addSubview(coverView_);
        window->bringSubviewToFront(coverView_);
        if (tip_->tipType == kCarouselTipType) {
            auto previewMode = BLQPublished<BLQIPreviewModeManager>::get();
            auto overlay = previewMode ? previewMode->previewModeView() : nullptr;
            if (auto overlayView = overlay ? overlay->view() : nullptr)
                window->insertSubviewAboveSubview(overlayView, coverView_);
        }
    }

    tipView->setAutoresizingMask(
        platform::UIViewAutoresizingFlexibleLeftMargin | platform::UIViewAutoresizingFlexibleRightMargin |
        platform::UIViewAutoresizingFlexibleTopMargin | platform::UIViewAutoresizingFlexibleBottomMargin);
    coverView_->addSubview(tipView);
    std::weak_ptr<KJBaseTipViewController> weak = sharedAs<KJBaseTipViewController>();
    coverView_->setTouchedHandler([weak](CGPoint point) {
        if (auto self = weak.lock()) self->coverTouched(point);
    });
    coverView_->setOrientationChangedHandler([weak] {
        if (auto self = weak.lock()) self->coverOrientationChanged();
    });
    const double statusBar = platform::UIApplication::sharedApplication()->statusBarHeight();
    coverView_->setFrame(CGRect(screenRect_.minX(), screenRect_.minY() + statusBar, screenRect_.width(),
                                screenRect_.height() - statusBar));

    // A carousel needs the host's carousel component; without it the step is not shown at all.
    const bool hasCarouselItems = tip_->carousel && tip_->carousel->items && !tip_->carousel->items->empty();
    if (hasCarouselItems && !(manager && manager->isCarouselIntegrated())) {
        auto facade = KJTipPresentation::facade();
        KJLog(1, "Customer  %@ try to display carousel without integrating PaperOnboarding",
              facade ? facade->appKey().value_or("(null)") : std::string("(null)"));
        failPresentation(p->failure);
        return;
    }
    if (!displayUI(coverView_->bounds())) {
        failPresentation(p->failure);
        return;
    }
    runInAnimation();
    highlightTarget(window);
    reportShown(p->success);
}

bool KJBaseTipViewController::topScreenMatches(const std::shared_ptr<UIViewController>& presented,
                                               const std::shared_ptr<UIViewController>& host) const {
    // The presented controller shows the step's screen first: that is the top.
    const auto& first = presented->childViewControllers().front();
    if (host && first && first->isKindOfClass(host->className())) return true;
    auto facade = KJTipPresentation::facade();
    auto top = facade ? facade->topMostViewController() : nullptr;
    if (top && ((host && top->isKindOfClass(host->className())) || top->className() == kReactNativeScreen))
        return true;
    KJLog(1, "Not able to match the top Controller %@", describe(top));
    return false;
}

void KJBaseTipViewController::failPresentation(const PresentFailure& failure) {
    if (failure) {
        failure(tip_);
    } else if (tip_) {
        if (auto manager = tipManager()) manager->addOffScreenTip(tip_);
    }
    dismissTipWithRemoveCoverView(true, true, nullptr);
}

void KJBaseTipViewController::reportShown(const PresentSuccess& success) {
    if (success) {
        reportedShown_ = true;
        success(tip_);
        return;
    }
    auto manager = tipManager();
    if (manager) manager->setCurrentDisplayedTipFeedID(tip_->feed_id);
    // A redraw of a step already shown is no new showing.
    if (reportedShown_) return;
    reportedShown_ = true;
    if (auto facade = KJTipPresentation::facade()) {
        const std::string feedId = tip_->feed_id.value_or("");
        platform::DispatchQueue::global()->async([facade, feedId] { facade->sendFeedAck(feedId); });
    }
    if (manager) {
        manager->updateFeedRepeatConditions(tip_);
        manager->removeOffScreenTip(tip_);
    }
}

void KJBaseTipViewController::runInAnimation() {
    auto animation = tip_->animation;
    if (!animation) return;
    auto tipView = view();
    const double duration = animation->inDuration;
    switch (animation->inType) {
        case kFade:
            tipView->setAlpha(0);
            UIView::animateWithDuration(duration, [tipView] { tipView->setAlpha(1); });
            break;
        case kSlide: {
            const CGRect frame = tipView->frame();
            const bool horizontal = animation->inDirection == kLeft || animation->inDirection == kRight;
            double start = 0;
            switch (animation->inDirection) {
                case kLeft:
                    start = -frame.width();
                    break;
                case kRight:
                    start = screenRect_.width() + frame.width();
                    break;
                case kTop:
                    start = -frame.height();
                    break;
                case kBottom:
                    start = screenRect_.height() + frame.height();
                    break;
                // Not a direction: the tip shows where it is, without a slide.
                default:
                    return;
            }
            tipView->setAlpha(0);
            if (transparentView) transparentView->setAlpha(0);
            const double remembered = horizontal ? frame.minX() : frame.minY();
            auto slideBack = [tipView, remembered, duration, horizontal] {
                tipView->setAlpha(1);
                if (horizontal)
                    UIViewKJAnimations::setX(tipView, remembered, duration, nullptr);
                else
                    UIViewKJAnimations::setY(tipView, remembered, duration, nullptr);
            };
            if (horizontal)
                UIViewKJAnimations::setX(tipView, start, 0, slideBack);
            else
                UIViewKJAnimations::setY(tipView, start, 0, slideBack);
            break;
        }
        case kExplode:
            UIViewKJAnimations::expandIntoView(tipView, coverView_, duration, nullptr);
            break;
        default:
            break;
    }
}

void KJBaseTipViewController::highlightTarget(const std::shared_ptr<platform::UIWindow>& window) {
    auto target = tip_->targetControl.lock();
    CGRect inCover;
    CGRect inWindow;
    if (target) {
        inCover = target->convertRectToView(target->bounds(), coverView_);
        inWindow = target->convertRectToView(target->bounds(), window);
    }
    removeTagged(window, kTargetOverlayTag);
    const std::shared_ptr<KJOverlay>& overlay = tip_->overlay;
    const FourSide padding = overlay ? overlay->padding : FourSide{};
    const platform::CGSize padded{inCover.width() + padding.left + padding.right,
                                  inCover.height() + padding.top + padding.bottom};
    if (auto targetOverlay = createTargetOverlayWithFrame(
            CGRect(inWindow.minX(), inWindow.minY(), padded.width, padded.height)))
        window->addSubview(targetOverlay);
    if (!overlay) {
        coverView_->setHightlightBorderColor(std::nullopt);
        coverView_->setHightlightBorderWidth(0);
        coverView_->setOverlayColor(std::nullopt);
        return;
    }
    if (equalsIgnoringCase(overlay->type, "coachmark")) {
        CGRect hole(inCover.minX() - padding.left, inCover.minY() - padding.top, padded.width, padded.height);
        coverView_->setHighlightFrame(hole.insetBy(-overlay->borderWidth, -overlay->borderWidth));
        coverView_->setCornerRadius(
            std::min(std::min(padded.width, padded.height) / 2, overlay->cornerRadius));
    }
    coverView_->setHightlightBorderColor(overlay->borderColor);
    coverView_->setHightlightBorderWidth(overlay->borderWidth);
    coverView_->setOverlayColor(overlay->backgroundColor);
}

std::shared_ptr<UIView> KJBaseTipViewController::createTargetOverlayWithFrame(const CGRect& frame) {
    if (frame.width() == 0 && frame.height() == 0) return nullptr;
    auto overlay = platform::make<TransferableTouchView>(frame);
    overlay->setTag(kTargetOverlayTag);
    std::weak_ptr<BLQITipManager> manager = tipManager_;
    overlay->setTouchedHandler([manager](CGPoint) {
        if (auto engine = manager.lock()) engine->coachmarkClicked();
    });
    return overlay;
}

// ---------------------------------------------------------------- dismissal

void KJBaseTipViewController::dismissTipWithRemoveCoverView(bool removeCoverView, bool disableAnimation,
                                                            std::function<void()> completion) {
    auto self = sharedAs<KJBaseTipViewController>();
    if (!platform::isMainThread()) {
        platform::DispatchQueue::main()->async([self, removeCoverView, disableAnimation, completion] {
            self->dismissTipWithRemoveCoverView(removeCoverView, disableAnimation, completion);
        });
        return;
    }
    dismissalBegun_ = true;
    if (!laterTipShown()) {
        // The highlight views of a later tip stay.
        if (auto host = tip_ ? tip_->viewController.lock() : nullptr)
            removeTagged(host->viewIfLoaded(), kHighlightClipViewTag);
        removeTagged(blqKeyWindow(), kTargetOverlayTag);
    }
    if (dismissHandler_) {
        DismissHandler handler = dismissHandler_;
        handler();
    }

    auto finish = [self, removeCoverView, completion] { self->finishDismissal(removeCoverView, completion); };
    auto animation = tip_ ? tip_->animation : nullptr;
    auto tipView = viewIfLoaded();
    const int32_t type = animation && !disableAnimation && tipView ? animation->outType : 0;
    const double duration = animation ? animation->outDuration : 0;
    switch (type) {
        case kFade:
            UIView::animateWithDuration(
                duration, [tipView] { tipView->setAlpha(0); }, [finish](bool) { finish(); });
            break;
        case kSlide: {
            const CGRect frame = tipView->frame();
            switch (animation->outDirection) {
                case kLeft:
                    UIViewKJAnimations::setX(tipView, -frame.width(), duration, finish);
                    break;
                case kRight:
                    UIViewKJAnimations::setX(tipView, screenRect_.width(), duration, finish);
                    break;
                case kTop:
                    UIViewKJAnimations::setY(tipView, -frame.height(), duration, finish);
                    break;
                case kBottom:
                    UIViewKJAnimations::setY(tipView, screenRect_.height(), duration, finish);
                    break;
                default:
                    finish();
                    break;
            }
            break;
        }
        case kCompress:
            UIViewKJAnimations::compressIntoView(tipView, duration, finish);
            break;
        default:
            finish();
            break;
    }

    if (auto manager = tipManager(); manager && !manager->currentTipSeries()) {
        if (auto semaphore = manager->concurrentTipsSemaphore()) semaphore->signal();
    }
}

void KJBaseTipViewController::finishDismissal(bool removeCover, const std::function<void()>& completion) {
    dismissOnTopWithRemoveCover(removeCover);
    if (completion) completion();
}

bool KJBaseTipViewController::laterTipShown() const {
    auto manager = tipManager();
    auto cover = std::dynamic_pointer_cast<KJCoverView>(manager ? manager->tipCoverView() : nullptr);
    return cover && cover->contentVC() && cover->contentVC().get() != this;
}

void KJBaseTipViewController::dismissOnTopWithRemoveCover(bool removeCover) {
    try {
        auto manager = tipManager();
        auto engineCover = manager ? manager->tipCoverView() : nullptr;
        // A late dismissal leaves the cover of a later tip, and the feed id it shows, alone.
        const bool laterTip = laterTipShown();
        if (manager && !laterTip) manager->setCurrentDisplayedTipFeedID(std::string());
        if (auto tipView = viewIfLoaded();
            tipView && std::dynamic_pointer_cast<KJCoverView>(tipView->superview())) {
            tipView->removeFromSuperview();
            setView(nullptr);
        }
        if (!laterTip) {
            if (auto cover = std::dynamic_pointer_cast<KJCoverView>(engineCover))
                cover->setContentVC(nullptr);
            if (removeCover && engineCover) {
                engineCover->removeFromSuperview();
                manager->setTipCoverView(nullptr);
            }
        }
        // The controller's own cover lets go of it, and goes too when the cover is to go.
        if (coverView_ && !(coverView_->contentVC() && coverView_->contentVC().get() != this)) {
            coverView_->setContentVC(nullptr);
            if (removeCover) coverView_->removeFromSuperview();
        }
    } catch (const std::exception& e) {
        KJLog(1, "Caught Exception while dismissing tips: %@", std::string(e.what()));
    }
}

// ---------------------------------------------------------------- actions

void KJBaseTipViewController::dismissTip(bool report) {
    if (dismissalBegun_ || !clickCloseButtonHandler_) return;
    CloseHandler handler = clickCloseButtonHandler_;
    handler(report);
}

void KJBaseTipViewController::switchToPreviousTip(bool report, bool triggerAction) {
    if (dismissalBegun_ || !clickButton1Handler_) return;
    ButtonHandler handler = clickButton1Handler_;
    handler(report, triggerAction);
}

void KJBaseTipViewController::switchToNextTip(bool report, bool triggerAction) {
    if (dismissalBegun_ || !clickButton2Handler_) return;
    ButtonHandler handler = clickButton2Handler_;
    handler(report, triggerAction);
}

void KJBaseTipViewController::buttonCloseClicked() {
    dismissTip(true);
}

void KJBaseTipViewController::button1Clicked() {
    switchToPreviousTip(true, true);
}

void KJBaseTipViewController::button2Clicked() {
    switchToNextTip(true, true);
}

void KJBaseTipViewController::insideTipClicked() {
    switchToNextTip(true, true);
}

void KJBaseTipViewController::outsideTipClicked() {
    if (!hasAppeared || !clickOutsideHandler_) return;
    OutsideHandler handler = clickOutsideHandler_;
    handler(!BLQPreviewModeCheck::isInPreviewMode());
}

void KJBaseTipViewController::tapGestureHandler() {
    if (tip_ && tip_->dismissWhenTouchInside) button2Clicked();
}

void KJBaseTipViewController::dismissCarousel(const std::shared_ptr<platform::NSObject>& sender) {
    auto button = std::dynamic_pointer_cast<UIView>(sender);
    if (!button || !tip_) return;
    const int64_t next = button->tag() + 1;
    const auto* items = tip_->carousel && tip_->carousel->items ? &*tip_->carousel->items : nullptr;
    const int64_t count = items ? static_cast<int64_t>(items->size()) : 0;
    if (count <= next) {
        switchToNextTip(true, false);
        return;
    }
    platform::NotificationCenter::defaultCenter().post(
        kCarouselNextNotification, sharedAs<UIViewController>(),
        platform::Value::dictionary({{"stepId", std::to_string(next)}}));
}

void KJBaseTipViewController::feedbackCancelButtonClicked() {
    if (!tip_) return;
    auto manager = tipManager();
    if (!BLQPreviewModeCheck::isInPreviewMode()) {
        if (manager) manager->setCurrentDisplayedTipFeedID(std::string());
        if (auto facade = KJTipPresentation::facade()) {
            facade->notifyFeedResult(tip_->feed_id.value_or(""), tip_->campaignid.value_or(""),
                                     BLQFeedResult::rejected, tip_->suid.value_or(""), true, false);
        }
    }
    if (!manager) return;
    if (auto series = tip_->series.lock()) {
        if (series->triggerType != kPageOpenTrigger) manager->removeEventForSeries(series);
        manager->removeTipSeries(series);
    }
    if (auto current = manager->currentTipViewController())
        current->dismissTipWithRemoveCoverView(true, true, nullptr);
}

void KJBaseTipViewController::coverTouched(CGPoint point) {
    if (!tip_) return;
    auto tipView = viewIfLoaded();
    const bool inside = tipView && tipView->frame().contains(point);
    if (tip_->dismissWhenTouchInside && inside) {
        insideTipClicked();
    } else if (tip_->dismissWhenTouchOutside && !inside) {
        outsideTipClicked();
    }
}

void KJBaseTipViewController::coverOrientationChanged() {
    if (!coverView_) return;
    const double statusBar = platform::UIApplication::sharedApplication()->statusBarHeight();
    CGRect frame(screenRect_.minX(), screenRect_.minY() + statusBar, screenRect_.width(),
                 screenRect_.height() - statusBar);
    coverView_->setFrame(frame);
    if (!orientateUI(CGRect(0, 0, frame.width(), frame.height()))) dismissOnTopWithRemoveCover(true);
}

void KJBaseTipViewController::pan(const std::shared_ptr<platform::NSObject>& sender) {
    auto recognizer = std::dynamic_pointer_cast<platform::UIPanGestureRecognizer>(sender);
    if (!recognizer) return;
    switch (recognizer->state()) {
        case platform::UIGestureRecognizerState::Began: {
            if (sharedPanDirection != 0) break;
            const CGPoint velocity = recognizer->velocityInView(viewIfLoaded());
            if (std::fabs(velocity.y) > std::fabs(velocity.x)) {
                sharedPanDirection = velocity.y > 0 ? 2 : 1;
            } else {
                sharedPanDirection = velocity.x > 0 ? 4 : 3;
            }
            break;
        }
        case platform::UIGestureRecognizerState::Changed: {
            const uint64_t direction = sharedPanDirection;
            sharedPanDirection = 0;
            switch (direction) {
                case 1:
                    handleUpwardsGesture();
                    break;
                case 2:
                    handleDownwardsGesture();
                    break;
                case 3:
                    handleLeftGesture();
                    break;
                case 4:
                    handleRightGesture();
                    break;
                default:
                    break;
            }
            break;
        }
        case platform::UIGestureRecognizerState::Ended:
            sharedPanDirection = 0;
            break;
        default:
            break;
    }
}

void KJBaseTipViewController::handleUpwardsGesture() {
    animationDirection = 1;
    dismissTipWithRemoveCoverView(true, false, nullptr);
}

void KJBaseTipViewController::handleDownwardsGesture() {
    animationDirection = 2;
    dismissTipWithRemoveCoverView(true, false, nullptr);
}

void KJBaseTipViewController::handleLeftGesture() {
    animationDirection = 3;
    dismissTipWithRemoveCoverView(true, false, nullptr);
}

void KJBaseTipViewController::handleRightGesture() {
    animationDirection = 4;
    dismissTipWithRemoveCoverView(true, false, nullptr);
}

// ---------------------------------------------------------------- web page navigation

void KJBaseTipViewController::webViewDidStartProvisionalNavigation(
    platform::WKWebView&, const std::shared_ptr<platform::WKNavigation>&) {
    if (activityIndicator) activityIndicator->startAnimating();
}

void KJBaseTipViewController::webViewDidFinishNavigation(platform::WKWebView& page,
                                                         const std::shared_ptr<platform::WKNavigation>&) {
    if (!page.isLoading() && activityIndicator) activityIndicator->stopAnimating();
}

void KJBaseTipViewController::webViewDidFailProvisionalNavigation(
    platform::WKWebView& page, const std::shared_ptr<platform::WKNavigation>&, const platform::Error& error) {
    if (!page.isLoading() && activityIndicator) activityIndicator->stopAnimating();
    KJLog(1, "Fail to show slide due to error: %@", error.localizedDescription());
}

// ---------------------------------------------------------------- overridable defaults

bool KJBaseTipViewController::displayUI(const CGRect&) {
    return false;
}

bool KJBaseTipViewController::orientateUI(const CGRect&) {
    return true;
}

double KJBaseTipViewController::pointerSize() const {
    return tip_ ? tip_->pointerParams.height + tip_->borderWidth : 0;
}

}  // namespace brindlecue
