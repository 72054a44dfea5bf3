#include "presentation/KJPopTipViewController.h"

#include <algorithm>
#include <mutex>

#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipTargetElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQPublished.h"
#include "foundation/KJLog.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIScreen.h"
#include "presentation/KJPopTipContainerView.h"

namespace brindlecue {

using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;
using platform::Value;

namespace {

constexpr double kMinimumSide = 10;
constexpr double kMinimumFrameSide = 5;
constexpr double kMinimumRoom = 10;
constexpr int32_t kPopTipType = 2;
constexpr int32_t kLeft = 1;
constexpr int32_t kRight = 2;
constexpr int32_t kTop = 3;
constexpr int32_t kBottom = 4;

void tellPreviewMode(BLQPreviewModeNotificationState state, const std::string& message) {
    if (auto previewMode = BLQPublished<BLQIPreviewModeManager>::get()) previewMode->receiveUpdated(state, message);
}

Value controlOf(const KJTipElement& step) {
    return step.target ? step.target->valueForKey("control") : Value();
}

}  // namespace

void KJPopTipViewController::didConstruct() {
    KJBaseTipViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJPopTipViewController", "KJBaseTipViewController");
    });
}

std::shared_ptr<platform::UIView> KJPopTipViewController::makeRootView(const CGRect& frame) {
    return platform::make<KJPopTipContainerView>(frame);
}

CGSize KJPopTipViewController::targetSize() const {
    auto target = tip() ? tip()->targetControl.lock() : nullptr;
    return target ? target->bounds().size : CGSize();
}

void KJPopTipViewController::showPreviewWarning() {
    tellPreviewMode(BLQPreviewModeNotificationState::tipDoesnotfitScreen, "Not enough space to show guide");
}

bool KJPopTipViewController::displayUI(const CGRect& coverBounds) {
    if (!tip()) return false;
    const KJTipElement& step = *tip();
    auto target = step.targetControl.lock();
    const Value control = controlOf(step);
    const bool arbitrary = KJTipUtil::isArbitraryPosition(control);
    if (!target && !arbitrary) {
        KJLog(1, "The target is not a proper UI element.");
        tellPreviewMode(BLQPreviewModeNotificationState::targetNotVisible, "");
        return false;
    }
    if (step.placement < kLeft || step.placement > kBottom) {
        KJLog(1, "The placement is unknown.");
        return false;
    }
    const CGRect frame = layoutView(coverBounds, false);
    if (frame.width() < kMinimumSide || frame.height() < kMinimumSide) {
        KJLog(1, "Invalid tip frame %@", platform::NSStringFromCGRect(frame));
        tellPreviewMode(BLQPreviewModeNotificationState::tipDoesnotfitScreen, "");
        return false;
    }
    auto tipView = view();
    tipView->setBackgroundColor(platform::UIColor::clearColor());
    auto cover = tipView->superview();

    CGPoint centre;
    if (arbitrary) {
        centre = KJTipUtil::parseArbitraryPosition(control, tipView);
    } else {
        const CGRect f = target->frame();
        const CGPoint middle{f.minX() + target->bounds().width() / 2,
                             f.minY() + target->bounds().height() / 2};
        auto superview = target->superview();
        centre = superview ? superview->convertPointToView(middle, cover) : middle;
    }

    const CGRect screen = platform::UIScreen::mainScreen()->bounds();
    KJPopPosition position{0, 0, frame};
    bool fits = true;
    switch (step.placement) {
        case kBottom:
            position = placeTipOnBottom(position, centre, frame, coverBounds);
            fits = !(position.y + frame.height() > screen.height());
            break;
        case kTop:
            position = placeTipOnTop(position, centre, frame, coverBounds);
            fits = !(position.y - frame.height() < kMinimumRoom);
            break;
        case kRight:
            position = placeTipOnRight(position, centre, frame, coverBounds);
            fits = !(position.x + frame.width() > screen.width());
            break;
        case kLeft:
            position = placeTipOnLeft(position, centre, frame, coverBounds);
            fits = !(position.x - frame.width() < kMinimumRoom);
            break;
    }
    if (!fits) {
        showPreviewWarning();
        return false;
    }
    if (position.x < 0 || position.x > coverBounds.width()) {
        KJLog(1, "Invalid pointer x %f", position.x);
        return false;
    }

    const CGRect placed = position.tipFrame;
    const double B = step.borderWidth;
    if (!setConstraintsWithContentWidth(placed.width() - step.padding.left - step.padding.right - 2 * B,
                                        placed.height() - step.padding.top - step.padding.bottom - 2 * B))
        return false;
    auto bubble = std::dynamic_pointer_cast<KJPopTipContainerView>(tipView);
    if (!bubble) return false;
    bubble->setFrame(placed);
    bubble->setPointer(bubble->convertPointFromView({position.x, position.y}, cover));
    bubble->setPointerSize(pointerSize());
    bubble->setTip(tip());
    bubble->setNeedsDisplay();
    if (step.boxShadow != 0) {
        auto layer = bubble->layer();
        layer->shadowOffset = {step.boxShadow, step.boxShadow};
        layer->shadowOpacity = 0.5;
        layer->shadowRadius = step.borderCornerRadius;
    }
    if (step.tipType == kPopTipType) {
        // The margins move the whole bubble sideways, pointer included.
        CGRect moved = bubble->frame();
        moved.origin.x += step.margin.left - step.margin.right;
        bubble->setFrame(moved);
    }
    viewContent->layer()->borderWidth = 0;
    viewContent->layer()->cornerRadius = 0;
    viewContent->setClipsToBounds(true);
    viewContent->setBackgroundColor(platform::UIColor::clearColor());
    return layoutRegularViews(placed.size);
}

// ---------------------------------------------------------------- placement

KJPopPosition KJPopTipViewController::placeTipOnBottom(KJPopPosition position, CGPoint targetCenter,
                                                       CGRect tipFrame, const CGRect& coverRect) {
    const CGSize target = targetSize();
    position.x = targetCenter.x;
    position.y = targetCenter.y + target.height / 2;
    setupPopPosition(position, {position.x - tipFrame.width() / 2, position.y}, coverRect, tipFrame);
    return position;
}

KJPopPosition KJPopTipViewController::placeTipOnTop(KJPopPosition position, CGPoint targetCenter,
                                                    CGRect tipFrame, const CGRect& coverRect) {
    const CGSize target = targetSize();
    position.x = targetCenter.x;
    position.y = targetCenter.y - target.height / 2;
    setupPopPosition(position, {position.x - tipFrame.width() / 2, position.y - tipFrame.height()}, coverRect,
                     tipFrame);
    return position;
}

KJPopPosition KJPopTipViewController::placeTipOnRight(KJPopPosition position, CGPoint targetCenter,
                                                      CGRect tipFrame, const CGRect& coverRect) {
    const CGSize target = targetSize();
    position.x = targetCenter.x + target.width / 2;
    position.y = targetCenter.y;
    setupPopPosition(position, {position.x, targetCenter.y - tipFrame.height() / 2}, coverRect, tipFrame);
    return position;
}

KJPopPosition KJPopTipViewController::placeTipOnLeft(KJPopPosition position, CGPoint targetCenter,
                                                     CGRect tipFrame, const CGRect& coverRect) {
    const CGSize target = targetSize();
    position.x = targetCenter.x - target.width / 2;
    position.y = targetCenter.y;
    setupPopPosition(position, {position.x - tipFrame.width(), targetCenter.y - tipFrame.height() / 2},
                     coverRect, tipFrame);
    return position;
}

void KJPopTipViewController::setupPopPosition(KJPopPosition& position, CGPoint preliminaryTipPosition,
                                              const CGRect& coverRect, CGRect& tipFrame) {
    const CGPoint origin = handleContainerMargin(preliminaryTipPosition, coverRect, tipFrame);
    adjustPointerPositionToAdherePopPostion(position, tipFrame, origin);
    position.tipFrame.size.width = std::max(position.tipFrame.width(), kMinimumFrameSide);
    position.tipFrame.size.height = std::max(position.tipFrame.height(), kMinimumFrameSide);
}

void KJPopTipViewController::adjustPointerPositionToAdherePopPostion(KJPopPosition& position,
                                                                     const CGRect& tipFrame,
                                                                     CGPoint tipPosition) {
    const double W = tipFrame.width();
    const double H = tipFrame.height();
    if (position.x < tipPosition.x) {
        position.x = tipPosition.x + kPointerInset;
    } else if (position.x > tipPosition.x + W) {
        position.x = tipPosition.x + W - kPointerInset;
    }
    if (position.y < tipPosition.y) {
        position.y = tipPosition.y + kPointerInset;
    } else if (position.y > tipPosition.y + H) {
        position.y = tipPosition.y + H - kPointerInset;
    }
    position.tipFrame = CGRect(tipPosition.x, tipPosition.y, W, H);
}

}  // namespace brindlecue
