#include "presentation/KJCoverView.h"

#include <algorithm>
#include <mutex>

#include "platform/NotificationCenter.h"
#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

using platform::CGPath;
using platform::CGRect;
using platform::UIColor;

void KJCoverView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { platform::ClassRegistry::registerClass(kClassName, "UIView"); });
    setBackgroundColor(UIColor::clearColor());
    platform::UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    std::weak_ptr<KJCoverView> weak = sharedAs<KJCoverView>();
    orientationObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        platform::UIDevice::UIDeviceOrientationDidChangeNotification, nullptr, nullptr,
        [weak](const platform::Notification&) {
            if (auto cover = weak.lock()) cover->orientationChanged();
        });
}

KJCoverView::~KJCoverView() {
    platform::UIDevice::currentDevice()->endGeneratingDeviceOrientationNotifications();
    if (orientationObserver_)
        platform::NotificationCenter::defaultCenter().removeObserver(orientationObserver_);
}

void KJCoverView::orientationChanged() {
    if (!orientationChangedHandler_) return;
    OrientationChangedHandler handler = orientationChangedHandler_;
    handler();
}

void KJCoverView::setOverlayColor(std::optional<UIColor> color) {
    overlayColor_ = color;
    updateBorder();
}

void KJCoverView::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    updateBorder();
}

void KJCoverView::setHighlightFrame(const CGRect& frame) {
    highlightFrame_ = frame;
    updateBorder();
}

void KJCoverView::setHightlightBorderColor(std::optional<UIColor> color) {
    hightlightBorderColor_ = color;
    updateBorder();
}

void KJCoverView::setHightlightBorderWidth(double width) {
    hightlightBorderWidth_ = width;
    updateBorder();
}

std::shared_ptr<platform::CAShapeLayer> KJCoverView::borderLayer() const {
    return border_ && border_->superlayer() ? border_ : nullptr;
}

CGPath KJCoverView::holePath() const {
    const CGRect& f = highlightFrame_;
    double radius = std::clamp(cornerRadius_, 0.0, std::min(f.width(), f.height()) / 2);
    CGPath path;
    path.addRoundedRect(f, radius, radius);
    path.closeSubpath();
    return path;
}

void KJCoverView::updateBorder() {
    setNeedsDisplay();
    const bool drawn = overlayColor_ && hightlightBorderWidth_ > 0 && highlightFrame_.width() > 0 &&
                       highlightFrame_.height() > 0;
    if (!drawn) {
        if (border_) border_->removeFromSuperlayer();
        return;
    }
    if (!border_) {
        border_ = platform::make<platform::CAShapeLayer>();
        border_->lineJoin = "round";
        border_->fillColor = UIColor::clearColor();
    }
    border_->setFrame(bounds());
    border_->path = holePath();
    border_->lineWidth = hightlightBorderWidth_;
    border_->strokeColor = hightlightBorderColor_;
    if (!border_->superlayer()) layer()->addSublayer(border_);
}

void KJCoverView::drawRect(const CGRect& rect) {
    auto ctx = platform::UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const CGRect b = bounds();
    if (!overlayColor_) {
        // Nothing is painted over the clear background.
        return;
    }
    // The content is drawn afresh at every render, over what lies below the cover: there is
    // nothing of an earlier drawing to clear.
    updateBorder();
    CGPath dimmed = CGPath::withRect(b);
    if (highlightFrame_.width() > 0 && highlightFrame_.height() > 0) dimmed.addPath(holePath());
    ctx->beginPath();
    ctx->addPath(dimmed);
    ctx->eoClip();
    if (auto content = contentVC_ ? contentVC_->viewIfLoaded() : nullptr;
        content && content->superview().get() == this)
        bringSubviewToFront(content);
    setOpaque(false);
    ctx->setFillColor(*overlayColor_);
    ctx->fillRect(b);
}

void KJCoverView::didMoveToWindow() {
    UIView::didMoveToWindow();
    // Off screen the cover no longer holds its tip controller (which holds the cover).
    if (!window()) contentVC_.reset();
}

void KJCoverView::touchesBegan(const platform::UITouchSet& touches,
                               const std::shared_ptr<platform::UIEvent>& event) {
    UIView::touchesBegan(touches, event);
    if (subviews().empty()) {
        removeFromSuperview();
        return;
    }
    if (!touchedHandler_ || touches.empty() || !touches.front()) return;
    TouchedHandler handler = touchedHandler_;
    handler(touches.front()->locationInView(sharedAs<UIView>()));
}

}  // namespace brindlecue
