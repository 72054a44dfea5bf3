#include "presentation/KJCoachmarkTipViewController.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCoachmarkElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipTextElement.h"
#include "foundation/KJLog.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIVisualEffectView.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJRadialGradientLayer.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipPresentation.h"
#include "presentation/PaddingLabel.h"

namespace brindlecue {

using platform::CGRect;
using platform::CGSize;
using platform::UIView;

namespace {

constexpr double kMinimumSide = 10;
constexpr double kBlurAlpha = 0.9;
constexpr double kDimmingDuration = 1.0;
constexpr double kGradientReach = 3;

}  // namespace

void KJCoachmarkTipViewController::didConstruct() {
    KJBaseTipViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJCoachmarkTipViewController", "KJBaseTipViewController");
    });
}

void KJCoachmarkTipViewController::takeScreenshot() {
    auto target = tip() ? tip()->targetControl.lock() : nullptr;
    auto window = target ? target->window() : nullptr;
    if (!window) return;
    const CGRect bounds = window->bounds();
    platform::UIGraphicsBeginImageContextWithOptions(bounds.size, false, 1);
    window->drawViewHierarchyInRect(bounds, true);
    imageScreenshot = platform::UIGraphicsGetImageFromCurrentImageContext();
    platform::UIGraphicsEndImageContext();
}

bool KJCoachmarkTipViewController::displayUI(const CGRect& coverBounds) {
    if (!tip() || !tip()->targetControl.lock()) return false;
    CGRect frame = layoutView(coverBounds, true);
    if (frame.width() < kMinimumSide || frame.height() < kMinimumSide) {
        KJLog(1, "Invalid size %@", platform::NSStringFromCGRect(frame));
        return false;
    }
    const KJTipElement& step = *tip();
    const double B = step.borderWidth;
    const CGSize content{frame.width() - step.padding.left - step.padding.right - 2 * B,
                         frame.height() - step.padding.top - step.padding.bottom - 2 * B};
    const platform::CGPoint origin = handleContainerMargin(frame.origin, coverBounds, frame);
    view()->setFrame(CGRect(origin.x, origin.y, frame.width(), frame.height()));
    return layoutRegularViews(content);
}

bool KJCoachmarkTipViewController::layoutRegularViews(CGSize contentSize) {
    auto target = tip() ? tip()->targetControl.lock() : nullptr;
    if (!target) return false;
    const KJTipElement& step = *tip();
    auto self = sharedAs<KJBaseTipViewController>();
    auto tipView = view();
    auto cover = tipView->superview();

    // The lit spot, in the cover's coordinates.
    auto superview = target->superview();
    CGRect highlight = superview ? superview->convertRectToView(target->frame(), cover) : target->frame();
    highlightView_ = platform::make<platform::UIImageView>();
    highlightView_->setClipsToBounds(true);
    const auto& coachmark = step.coachmark;
    const int32_t style = coachmark ? coachmark->style : 0;
    const double cornerRadius = coachmark ? coachmark->cornerRadius : 0;
    switch (style) {
        case kCircular: {
            const double r = std::max(highlight.width() / 2, highlight.height() / 2);
            highlight = CGRect(highlight.midX() - r, highlight.midY() - r, 2 * r, 2 * r);
            highlightView_->layer()->cornerRadius = r;
            highlightView_->setFrame(highlight);
            break;
        }
        case kRectangular:
            highlightView_->layer()->cornerRadius = cornerRadius;
            highlightView_->setFrame(highlight);
            break;
        case kCustom:
            highlight = CGRect(highlight.midX() - coachmark->width / 2,
                               highlight.midY() - coachmark->height / 2, coachmark->width, coachmark->height);
            highlightView_->layer()->cornerRadius = cornerRadius;
            highlightView_->setFrame(highlight);
            break;
        default:
            break;
    }
    if (cover) cover->addSubview(highlightView_);

    // The screenshot is of the window: the spot is cut where it lies in the window, whatever the
    // cover's offset below the status bar.
    if (imageScreenshot && imageScreenshot->cgImage()) {
        const CGRect inWindow = cover ? cover->convertRectToView(highlight, nullptr) : highlight;
        if (auto piece = imageScreenshot->cgImage()->cropping(inWindow))
            highlightView_->setImage(platform::UIImage::imageWithCGImage(piece, 1));
    }

    // The tip's elements, its title row hidden.
    KJTipDismissElement::layoutButton(buttonClose,
                                      std::dynamic_pointer_cast<KJTipDismissElement>(step.dismiss));
    KJTipTextElement::layoutLabel(labelTitle, viewContent, step.title);
    viewTitle->setHidden(true);
    KJTipTextElement::layoutLabel(labelContent, viewContent, step.content);
    button1->addTarget(self,
                       platform::makeSelector("button1Clicked:", &KJBaseTipViewController::button1Clicked),
                       platform::UIControlEventTouchUpInside);
    KJTipButtonElement::layoutButton(button1, viewContent, step.prev);
    button2->addTarget(self,
                       platform::makeSelector("button2Clicked:", &KJBaseTipViewController::button2Clicked),
                       platform::UIControlEventTouchUpInside);
    KJTipButtonElement::layoutButton(button2, viewContent, step.next);
    if (auto webLayout = KJTipPresentation::webLayout()) webLayout(webView, viewContent, self, step.web);
    if (!webView->isHidden() && step.dismissWhenTouchInside) {
        auto tap = platform::make<platform::UITapGestureRecognizer>(
            self, platform::makeSelector("tapGestureHandler", &KJBaseTipViewController::tapGestureHandler));
        tap->numberOfTapsRequired = 1;
        tap->setDelegate(std::static_pointer_cast<platform::UIGestureRecognizerDelegate>(self));
        webView->addGestureRecognizer(tap);
    }
    if (auto imageLayout = KJTipPresentation::imageLayout())
        imageLayout(step.arrayImages.value_or(std::vector<std::shared_ptr<KJTipBaseElement>>{}), viewContent,
                    contentSize, {});
    viewContent->setBackgroundColor(platform::UIColor::clearColor());
    tipView->setBackgroundColor(platform::UIColor::clearColor());

    // The dimming, below everything on the cover.
    if (cover) {
        const CGRect bounds = cover->bounds();
        // Nothing in a campaign document sets the step's overlay alpha: without one, the overlay
        // colour dims with its own alpha rather than not at all.
        const auto dimColor =
            step.overlayColor
                ? std::optional(step.overlayAlpha > 0
                                    ? platform::UIColor(*step.overlayColor).colorWithAlphaComponent(step.overlayAlpha)
                                    : platform::UIColor(*step.overlayColor))
                : std::nullopt;
        const int32_t diffuse = coachmark ? coachmark->diffuse : kNone;
        if (diffuse == kBlur) {
            auto blur = platform::make<platform::UIVisualEffectView>(
                platform::UIBlurEffect::effectWithStyle(platform::UIBlurEffectStyle::Light));
            blur->setFrame(bounds);
            blur->setAutoresizingMask(platform::UIViewAutoresizingFlexibleWidth |
                                      platform::UIViewAutoresizingFlexibleHeight);
            blur->setAlpha(kBlurAlpha);
            cover->insertSubviewAtIndex(blur, 0);
        }
        if (diffuse == kNone || diffuse == kBlur) {
            auto dimming = platform::make<platform::CAShapeLayer>();
            dimming->setFrame(bounds);
            dimming->fillRule = "even-odd";
            dimming->fillColor = dimColor;
            cover->layer()->insertSublayer(dimming, 0);
            // From no path to the whole cover; the path itself is recorded by its rectangle.
            auto grow = platform::CABasicAnimation::animationWithKeyPath(kDimmingAnimationKey);
            grow->toValue = platform::Value(platform::NSStringFromCGRect(bounds));
            grow->timingFunction = "easeOut";
            grow->duration = kDimmingDuration;
            grow->removedOnCompletion = false;
            grow->fillMode = "forwards";
            dimming->addAnimation(grow, kDimmingAnimationKey);
            platform::CGPath path;
            path.addRect(CGRect(0, 0, bounds.width(), bounds.height()));
            dimming->path = path;
        } else if (diffuse == kGradient) {
            auto gradient = platform::make<KJRadialGradientLayer>();
            gradient->setFrame(bounds);
            gradient->gradientCenter = {highlight.midX(), highlight.midY()};
            gradient->gradientRadius = kGradientReach * std::max(highlight.width(), highlight.height());
            gradient->endColor = dimColor;
            cover->layer()->insertSublayer(gradient, 0);
        }
    }
    placeViewsByConstraints();
    return true;
}

}  // namespace brindlecue
