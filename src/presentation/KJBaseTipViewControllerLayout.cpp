// The tip's layout: its frame in the cover, the constants of its named constraints for the title
// row, the content text and the web view, the styling of its subviews, the carousel request, and
// the frames those constraints describe.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "feed/KJOverlay.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipCarouselItem.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipTextElement.h"
#include "feed/KJTipUtil.h"
#include "feed/KJTipWebElement.h"
#include "foundation/BLQViewUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJBaseTipViewController.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipPresentation.h"
#include "presentation/PaddingLabel.h"

namespace brindlecue {

using platform::CGPoint;
using platform::CGRect;
using platform::CGSize;
using platform::NSLayoutAttribute;
using platform::NSLayoutConstraint;
using platform::NSLayoutRelation;
using platform::UIView;
using platform::Value;

namespace {

constexpr int32_t kPopTipType = 2;
constexpr int32_t kModalTipType = 3;
constexpr int32_t kPlacementLeft = 1;
constexpr int32_t kPlacementRight = 2;
constexpr int32_t kPlacementTop = 3;
constexpr int32_t kPlacementBottom = 4;
constexpr double kMinimumWidth = 50;
constexpr double kSmallScreenHeight = 568;
constexpr double kMinimumWebHeight = 30;

std::shared_ptr<NSLayoutConstraint> constraint(
    const std::shared_ptr<UIView>& first, NSLayoutAttribute firstAttribute,
    const std::shared_ptr<UIView>& second = nullptr,
    NSLayoutAttribute secondAttribute = NSLayoutAttribute::NotAnAttribute,
    NSLayoutRelation relation = NSLayoutRelation::Equal) {
    auto c = NSLayoutConstraint::constraintWithItem(first, firstAttribute, relation, second, secondAttribute,
                                                    1, 0);
    c->setActive(true);
    return c;
}

bool hasText(const std::shared_ptr<KJTipTextElement>& element) {
    return element && element->text && !element->text->empty();
}

FourSide marginOf(const std::shared_ptr<KJTipTextElement>& element) {
    return element ? element->margin : FourSide{};
}

FourSide marginOf(const std::shared_ptr<KJTipButtonElement>& element) {
    return element ? element->margin : FourSide{};
}

double heightOf(const std::shared_ptr<KJTipButtonElement>& element) {
    return element ? element->height : 0;
}

double measuredHeight(const std::shared_ptr<KJTipButtonElement>& element, double width) {
    return element ? KJTipButtonElement::calculateButtonHeightForElement(element, width) : 0;
}

bool hasPage(const std::shared_ptr<KJTipWebElement>& web) {
    return web && ((web->url && !web->url->empty()) || (web->urlcontent && !web->urlcontent->empty()));
}

bool equalsIgnoringCase(const std::optional<std::string>& a, std::string_view b) {
    if (!a || a->size() != b.size()) return false;
    return std::equal(a->begin(), a->end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

double constantOf(const std::shared_ptr<NSLayoutConstraint>& c) {
    return c && c->isActive() ? c->constant() : 0;
}

bool active(const std::shared_ptr<NSLayoutConstraint>& c) {
    return c && c->isActive();
}

std::string textOrEmpty(const std::optional<std::string>& text) {
    return text.value_or("");
}

}  // namespace

// ---------------------------------------------------------------- the named constraints

void KJBaseTipViewController::buildConstraints() {
    using A = NSLayoutAttribute;
    auto root = viewIfLoaded();
    cstContentTrailing = constraint(root, A::Trailing, viewContent, A::Trailing);
    cstContentTop = constraint(viewContent, A::Top, root, A::Top);
    cstContentBottom = constraint(root, A::Bottom, viewContent, A::Bottom);
    cstContentLeading = constraint(viewContent, A::Leading, root, A::Leading);
    cstViewTitleMarginTop = constraint(viewTitle, A::Top, viewContent, A::Top);
    cstViewTitleMarginLeft = constraint(viewTitle, A::Leading, viewContent, A::Leading);
    cstViewTitleMarginRight = constraint(viewContent, A::Trailing, viewTitle, A::Trailing);
    cstViewTitleHeight = constraint(viewTitle, A::Height);
    cstLabelTitleMarginLeft = constraint(labelTitle, A::Leading, viewContent, A::Leading);
    cstLabelTitleMarginTop = constraint(labelTitle, A::Top, viewContent, A::Top);
    cstLabelTitleHeight = constraint(labelTitle, A::Height);
    cstTitleCloseMargin = constraint(buttonClose, A::Leading, labelTitle, A::Trailing);
    cstButtonDismissWidth = constraint(buttonClose, A::Width);
    cstButtonDismissHeight = constraint(buttonClose, A::Height);
    cstButtonDismissMarginRight = constraint(viewTitle, A::Trailing, buttonClose, A::Trailing);
    cstButtonDismissMarginTop = constraint(buttonClose, A::Top, viewTitle, A::Top);
    cstLabelContentHeight = constraint(labelContent, A::Height);
    cstLabelContentMarginLeft = constraint(labelContent, A::Leading, viewContent, A::Leading);
    cstLabelContentMarginRight = constraint(viewContent, A::Trailing, labelContent, A::Trailing);
    cstLabelTitleContentMarginTop = constraint(labelContent, A::Top, viewTitle, A::Bottom);
    cstLabelContentMarginBottom = constraint(webView, A::Top, labelContent, A::Bottom);
    cstWebViewHeight = constraint(webView, A::Height);
    cstButtonPrevWidth = constraint(button1, A::Width);
    cstButtonPrevHeight = constraint(button1, A::Height);
    cstButtonPrevMarginLeft = constraint(button1, A::Leading, viewContent, A::Leading);
    cstButtonPrevNextMarginVertical = constraint(button2, A::Top, button1, A::Bottom);
    cstButtonPrevMarginRightVertical = constraint(viewContent, A::Trailing, button1, A::Trailing);
    cstButtonNextWidth = constraint(button2, A::Width);
    cstButtonNextHeight = constraint(button2, A::Height);
    cstButtonNextMarginRight = constraint(viewContent, A::Trailing, button2, A::Trailing);
    cstButtonNextMarginBottom = constraint(viewContent, A::Bottom, button2, A::Bottom);
    cstButtonWidthEqual = constraint(button1, A::Width, button2, A::Width);
    cstButtonMarginBetween = constraint(button2, A::Leading, button1, A::Trailing);
    cstButtonNextMarginLeftVertical = constraint(button2, A::Leading, viewContent, A::Leading);
    cstButtonPrevMarginTop =
        constraint(button1, A::Top, webView, A::Bottom, NSLayoutRelation::GreaterThanOrEqual);
    cstButtonNextMarginTop =
        constraint(button2, A::Top, webView, A::Bottom, NSLayoutRelation::GreaterThanOrEqual);
    cstButtonPrevMarginBottom = constraint(viewContent, A::Bottom, button1, A::Bottom);
}

// ---------------------------------------------------------------- frame

CGRect KJBaseTipViewController::calculateTipFrame(double presetWidth, const CGRect& coverRect) {
    const KJTipElement& step = *tip_;
    const double B = step.borderWidth;
    const double X = coverRect.minX();
    const double Y = coverRect.minY();
    const double CW = coverRect.width();
    const double CH = coverRect.height();

    double W = presetWidth;
    if (W == 0) {
        const std::string unit = textOrEmpty(step.widthUnit);
        if (unit == "PERCENTAGE" && step.width > 0) {
            W = CW * step.width + 2 * B;
        } else if (unit == "DP" && step.width > 0) {
            W = step.width + 2 * B;
        } else {
            W = CW + step.padding.left + step.padding.right + 2 * B;
        }
        W = std::max(W, kMinimumWidth);
        if (W > CW) W = CW;
    }

    double H = 0;
    if (step.height > 0 && step.height <= 1) {
        H = CH * step.height + 2 * B;
    } else if (step.height > 1) {
        H = step.height + 2 * B;
    } else if (hasPage(step.web)) {
        H = CH;
    } else {
        const bool pointerBeside = step.tipType == kPopTipType &&
                                   (step.placement == kPlacementLeft || step.placement == kPlacementRight);
        const bool pointerAboveOrBelow = step.tipType == kPopTipType && (step.placement == kPlacementTop ||
                                                                         step.placement == kPlacementBottom);
        double w = W - step.padding.left - step.padding.right - 2 * B;
        if (pointerBeside) w -= pointerSize() - B;
        const FourSide title = marginOf(step.title);
        const FourSide content = marginOf(step.content);
        const FourSide prev = marginOf(step.prev);
        const FourSide next = marginOf(step.next);
        const double prevHeight = measuredHeight(step.prev, w);
        const double nextHeight = measuredHeight(step.next, w);
        const double buttons =
            step.isHorizontal ? std::max(prev.top, next.top) + std::max(prevHeight, nextHeight) +
                                    std::max(prev.bottom, next.bottom)
                              : prev.top + prevHeight + prev.bottom + next.top + nextHeight + next.bottom;
        H = title.top + calculateViewTitleHeight(w) + title.bottom + content.top +
            KJTipTextElement::calculateTextHeightForElement(step.content, w) + content.bottom + buttons +
            step.padding.top + step.padding.bottom + 2 * B;
        if (pointerAboveOrBelow) H += pointerSize() - B;
    }
    if (H >= CH) H = CH;

    const double x = X + (CW - W) / 2;
    double y = Y + (CH - H) / 2;
    if (step.tipType == kModalTipType) {
        if (step.placement == kPlacementTop) {
            y = Y + step.margin.top;
        } else if (step.placement == kPlacementBottom) {
            y = Y + CH - H - step.margin.bottom;
        }
    }
    return CGRect(x, y, W, H);
}

CGPoint KJBaseTipViewController::boundaryChecker(CGPoint origin, CGSize tipFrameSize, CGSize coverRectSize) {
    auto clamp = [](double o, double size, double cover) {
        return o + size > cover ? cover - size : std::max(o, 0.0);
    };
    return {clamp(origin.x, tipFrameSize.width, coverRectSize.width),
            clamp(origin.y, tipFrameSize.height, coverRectSize.height)};
}

CGPoint KJBaseTipViewController::handleContainerMargin(CGPoint origin, const CGRect& coverRect,
                                                       CGRect& tipFrame) {
    const FourSide& m = tip_->margin;
    const CGSize cover = coverRect.size;
    if (tipFrame.width() < cover.width && tipFrame.height() < cover.height) {
        CGPoint o = boundaryChecker(origin, tipFrame.size, cover);
        if (tip_->tipType != kPopTipType) o.x += m.left - m.right;
        o.y += m.top - m.bottom;
        return boundaryChecker(o, tipFrame.size, cover);
    }
    CGPoint o = origin;
    if (tipFrame.width() >= cover.width) {
        tipFrame.size.width = cover.width - m.left - m.right;
        o.x = m.left;
    }
    if (tipFrame.height() >= cover.height) {
        tipFrame.size.height = cover.height - m.top - m.bottom;
        o.y = m.top;
    }
    return boundaryChecker(o, tipFrame.size, cover);
}

CGRect KJBaseTipViewController::layoutView(const CGRect& coverRect, bool needSetInside) {
    const CGRect frame = calculateTipFrame(0, coverRect);
    if (frame.width() <= 0 || frame.height() <= 0) return CGRect();
    if (!needSetInside) return frame;
    const KJTipElement& step = *tip_;
    const double B = step.borderWidth;
    const double contentWidth = frame.width() - step.padding.left - step.padding.right - 2 * B;
    const double contentHeight = frame.height() - step.padding.top - step.padding.bottom - 2 * B;
    if (!setConstraintsWithContentWidth(contentWidth, contentHeight)) return CGRect();

    auto tipView = view();
    tipView->setFrame(frame);
    auto layer = tipView->layer();
    layer->borderColor =
        step.borderColor ? std::optional<platform::UIColor>(*step.borderColor) : std::nullopt;
    layer->borderWidth = B;
    layer->cornerRadius = step.borderCornerRadius;
    tipView->setBackgroundColor(step.backgroundColor ? std::optional<platform::UIColor>(*step.backgroundColor)
                                                     : std::nullopt);
    viewContent->layer()->borderWidth = 0;
    viewContent->layer()->cornerRadius = 0;
    viewContent->setClipsToBounds(true);
    viewContent->setBackgroundColor(platform::UIColor::clearColor());
    if (step.boxShadow == 0) {
        tipView->setClipsToBounds(true);
    } else {
        layer->shadowOffset = {step.boxShadow, step.boxShadow};
        layer->shadowOpacity = 0.5;
        layer->shadowRadius = step.borderCornerRadius;
    }
    return frame;
}

// ---------------------------------------------------------------- constraint constants

bool KJBaseTipViewController::setConstraintsWithContentWidth(double contentWidth, double contentHeight) {
    loadViewIfNeeded();
    if (!setConstraintsForTipWithContentWidth(contentWidth, contentHeight) ||
        !setConstraintsForTitleWithContentWidth(contentWidth, contentHeight) ||
        !setConstraintsForContentWithContentWidth(contentWidth, contentHeight) ||
        !setConstraintsForWebWithContentWidth(contentWidth, contentHeight) ||
        !setConstraintsForButtonsWithContentWidth(contentWidth, contentHeight))
        return false;
    NSLayoutConstraint::activateConstraints({cstContentTrailing,
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
                                             cstButtonPrevHeight,
                                             cstButtonPrevWidth,
                                             cstButtonPrevMarginLeft,
                                             cstButtonNextHeight,
                                             cstButtonNextWidth,
                                             cstButtonNextMarginRight});
    return true;
}

bool KJBaseTipViewController::setConstraintsForTipWithContentWidth(double, double) {
    const KJTipElement& step = *tip_;
    const double B = step.borderWidth;
    cstContentTop->setConstant(step.padding.top + B);
    cstContentLeading->setConstant(step.padding.left + B);
    double bottom = step.padding.bottom + B;
    if (platform::UIScreen::mainScreen()->bounds().height() <= kSmallScreenHeight) bottom -= 1;
    cstContentBottom->setConstant(bottom);
    cstContentTrailing->setConstant(step.padding.right + B);
    if (step.tipType == kPopTipType) {
        const double pointer = pointerSize() - B;
        switch (step.placement) {
            case kPlacementTop:
                cstContentBottom->setConstant(cstContentBottom->constant() + pointer);
                break;
            case kPlacementBottom:
                cstContentTop->setConstant(cstContentTop->constant() + pointer);
                break;
            case kPlacementLeft:
                cstContentTrailing->setConstant(cstContentTrailing->constant() + pointer);
                break;
            case kPlacementRight:
                cstContentLeading->setConstant(cstContentLeading->constant() + pointer);
                break;
            default:
                break;
        }
    }
    return true;
}

double KJBaseTipViewController::calculateViewTitleHeight(double contentWidth) {
    auto close = std::dynamic_pointer_cast<KJTipDismissElement>(tip_->dismiss);
    const KJTipDismissElement none;
    const KJTipDismissElement& d = close ? *close : none;
    const bool hasIcon = d.icon && !d.icon->empty();
    const double closePart =
        hasIcon ? d.height + d.padding.top + d.padding.bottom + d.margin.top + d.margin.bottom : 0;
    if (!hasText(tip_->title)) return closePart;
    const double width =
        contentWidth - d.margin.left - d.margin.right - d.padding.left - d.width - d.padding.right;
    return std::max(KJTipTextElement::calculateTextHeightForElement(tip_->title, width), closePart);
}

bool KJBaseTipViewController::setConstraintsForTitleWithContentWidth(double contentWidth, double) {
    const FourSide title = marginOf(tip_->title);
    auto close = std::dynamic_pointer_cast<KJTipDismissElement>(tip_->dismiss);
    const KJTipDismissElement none;
    const KJTipDismissElement& d = close ? *close : none;
    cstViewTitleMarginTop->setConstant(title.top);
    cstViewTitleMarginLeft->setConstant(title.left);
    cstViewTitleMarginRight->setConstant(title.right);
    cstViewTitleHeight->setConstant(calculateViewTitleHeight(contentWidth));
    cstLabelTitleMarginTop->setConstant(title.top);
    cstLabelTitleMarginLeft->setConstant(title.left);
    cstLabelTitleHeight->setConstant(
        KJTipTextElement::calculateTextHeightForElement(tip_->title, contentWidth));
    cstTitleCloseMargin->setConstant(title.right + d.margin.left);
    cstButtonDismissWidth->setConstant(d.width + d.padding.left + d.padding.right);
    cstButtonDismissHeight->setConstant(d.height + d.padding.top + d.padding.bottom);
    cstButtonDismissMarginTop->setConstant(d.margin.top);
    cstButtonDismissMarginRight->setConstant(d.margin.right);
    return true;
}

bool KJBaseTipViewController::setConstraintsForContentWithContentWidth(double contentWidth, double) {
    const FourSide title = marginOf(tip_->title);
    const FourSide content = marginOf(tip_->content);
    cstLabelContentHeight->setConstant(
        KJTipTextElement::calculateTextHeightForElement(tip_->content, contentWidth));
    cstLabelContentMarginLeft->setConstant(content.left);
    cstLabelContentMarginRight->setConstant(content.right);
    cstLabelTitleContentMarginTop->setConstant(title.bottom + content.top);
    return true;
}

bool KJBaseTipViewController::setConstraintsForWebWithContentWidth(double contentWidth,
                                                                   double contentHeight) {
    if (!hasPage(tip_->web)) return true;
    const FourSide title = marginOf(tip_->title);
    const FourSide content = marginOf(tip_->content);
    const FourSide prev = marginOf(tip_->prev);
    const FourSide next = marginOf(tip_->next);
    cstLabelContentMarginBottom->setConstant(content.bottom);
    const double height = contentHeight - title.top - title.bottom - calculateViewTitleHeight(contentWidth) -
                          content.top - content.bottom -
                          KJTipTextElement::calculateTextHeightForElement(tip_->content, contentWidth) -
                          std::max(prev.top, next.top) - std::max(prev.bottom, next.bottom) -
                          std::max(heightOf(tip_->prev), heightOf(tip_->next));
    if (height < kMinimumWebHeight) return false;
    cstWebViewHeight->setConstant(height);
    return true;
}

// ---------------------------------------------------------------- filling the views

bool KJBaseTipViewController::layoutRegularViews(CGSize contentSize) {
    const KJTipElement& step = *tip_;
    auto self = sharedAs<KJBaseTipViewController>();
    if (auto window = blqKeyWindow()) {
        while (auto old = window->viewWithTag(kHighlightClipViewTag)) old->removeFromSuperview();
    }

    auto target = step.targetControl.lock();
    if (target && step.overlay && equalsIgnoringCase(step.overlay->type, "coachmark")) {
        const KJOverlay& overlay = *step.overlay;
        const FourSide& p = overlay.padding;
        const CGSize size =
            target->superview()
                ? target->superview()->convertRectToView(target->frame(), viewIfLoaded()->superview()).size
                : target->frame().size;
        const CGRect clip =
            CGRect(-p.left, -p.top, size.width + p.left + p.right, size.height + p.top + p.bottom)
                .insetBy(-overlay.borderWidth, -overlay.borderWidth);
        auto clipView = platform::make<UIView>(clip);
        clipView->setClipsToBounds(false);
        clipView->setBackgroundColor(platform::UIColor::clearColor());
        clipView->layer()->cornerRadius = KJTipUtil::maxCornerRadius(clip.size, overlay.cornerRadius);
        clipView->setTag(kHighlightClipViewTag);
        target->insertSubviewAtIndex(clipView, 0);
    }

    auto close = std::dynamic_pointer_cast<KJTipDismissElement>(step.dismiss);
    KJTipDismissElement::layoutButton(buttonClose, close);
    KJTipTextElement::layoutLabel(labelTitle, viewContent, step.title);
    viewTitle->setHidden(buttonClose->isHidden() && labelTitle->isHidden());
    auto colorOf = [](const std::shared_ptr<KJTipTextElement>& e) {
        return e && e->backgroundColor ? std::optional<platform::UIColor>(*e->backgroundColor) : std::nullopt;
    };
    viewTitle->setBackgroundColor(colorOf(step.title));
    labelContent->setBackgroundColor(colorOf(step.content));
    KJTipTextElement::layoutLabel(labelContent, viewContent, step.content);

    button1->addTarget(self,
                       platform::makeSelector("button1Clicked:", &KJBaseTipViewController::button1Clicked),
                       platform::UIControlEventTouchUpInside);
    KJTipButtonElement::layoutButton(button1, viewContent, step.prev);
    button2->addTarget(self,
                       platform::makeSelector("button2Clicked:", &KJBaseTipViewController::button2Clicked),
                       platform::UIControlEventTouchUpInside);
    KJTipButtonElement::layoutButton(button2, viewContent, step.next);

    labelTitle->setAccessibilityIdentifier(labelTitle->text().value_or(""));
    viewTitle->setAccessibilityIdentifier(step.title ? textOrEmpty(step.title->text) : std::string());
    button1->setAccessibilityIdentifier(button1->titleLabel()->text().value_or(""));
    button2->setAccessibilityIdentifier(button2->titleLabel()->text().value_or(""));

    if (auto webLayout = KJTipPresentation::webLayout()) webLayout(webView, viewContent, self, step.web);
    if (!webView->isHidden() && step.dismissWhenTouchInside) {
        auto tap = platform::make<platform::UITapGestureRecognizer>(
            self, platform::makeSelector("tapGestureHandler", &KJBaseTipViewController::tapGestureHandler));
        tap->numberOfTapsRequired = 1;
        tap->setDelegate(std::static_pointer_cast<platform::UIGestureRecognizerDelegate>(self));
        webView->addGestureRecognizer(tap);
    }

    postCarouselLayout();

    if (auto imageLayout = KJTipPresentation::imageLayout()) {
        imageLayout(step.arrayImages.value_or(std::vector<std::shared_ptr<KJTipBaseElement>>{}), viewContent,
                    contentSize, {tip_});
    }
    placeViewsByConstraints();
    return true;
}

void KJBaseTipViewController::postCarouselLayout() {
    const KJTipElement& step = *tip_;
    platform::Dictionary info;
    platform::Notification::ObjectMap objects;
    const auto& carousel = step.carousel;
    size_t itemCount = 0;
    if (carousel && carousel->items) {
        // What a value cannot hold (images, fonts, the page buttons) travels in the objects, under
        // "items.<index>.<key>".
        platform::Array items;
        for (size_t i = 0; i < carousel->items->size(); ++i) {
            const auto& item = (*carousel->items)[i];
            if (!item) continue;
            Value entry = item->serializeToDictionary();
            const std::string prefix = "items." + std::to_string(items.size()) + ".";
            if (item->image) objects[prefix + "image"] = item->image;
            if (item->icon) objects[prefix + "icon"] = item->icon;
            objects[prefix + "titleFont"] = std::make_shared<platform::UIFont>(item->titleFont());
            objects[prefix + "contentFont"] = std::make_shared<platform::UIFont>(item->contentFont());
            if (const auto& button = item->button) {
                auto made = button->createButton(viewContent ? viewContent->bounds().width() : 0);
                made->setTag(static_cast<int64_t>(i));
                made->addTarget(
                    sharedAs<KJBaseTipViewController>(),
                    platform::makeSelector("dismissCarousel:", &KJBaseTipViewController::dismissCarousel),
                    platform::UIControlEventTouchUpInside);
                objects[prefix + "button_obj"] = made;
                entry.set("button_width", Value(button->width));
                entry.set("button_height", Value(button->height));
                entry.set("button_margin_top", Value(button->margin.top));
                entry.set("button_margin_bottom", Value(button->margin.bottom));
                entry.set("button_margin_left", Value(button->margin.left));
                entry.set("button_margin_right", Value(button->margin.right));
            }
            items.push_back(std::move(entry));
        }
        itemCount = items.size();
        info.set("items", Value(std::move(items)));
    }
    if (carousel) carousel->serializeToDictionaryWithExcludeProperties(info, {"items"});
    double extraBottom = 0;
    for (const auto& button : {step.prev, step.next}) {
        if (!button) continue;
        extraBottom += button->margin.top + KJTipButtonElement::calculateButtonHeightForElement(button, 0) +
                       button->margin.bottom;
    }
    if (extraBottom > 0)
        info.set("margin.bottom", Value(extraBottom + (carousel ? carousel->margin.bottom : 0)));
    info.set("feed_id", Value(textOrEmpty(step.feed_id)));
    int64_t index = -1;
    if (auto series = step.series.lock()) {
        const auto& steps = series->arrayTips;
        if (auto it = std::find(steps.begin(), steps.end(), tip_); it != steps.end())
            index = it - steps.begin();
    }
    if (!viewContent || itemCount == 0) return;
    objects["view"] = viewContent;
    platform::NotificationCenter::defaultCenter().post(
        kCarouselLayoutNotification, sharedAs<platform::UIViewController>(),
        Value::dictionary({{"tip", Value(std::move(info))}, {"stepId", Value(std::to_string(index))}}),
        std::move(objects));
}

// ---------------------------------------------------------------- frames from the constraints

void KJBaseTipViewController::placeViewsByConstraints() {
    auto tipView = viewIfLoaded();
    if (!tipView || !viewContent) return;
    const CGSize tip = tipView->bounds().size;
    const double leading = constantOf(cstContentLeading);
    const double top = constantOf(cstContentTop);
    const CGRect content(leading, top, std::max(0.0, tip.width - leading - constantOf(cstContentTrailing)),
                         std::max(0.0, tip.height - top - constantOf(cstContentBottom)));
    viewContent->setFrame(content);
    const double cw = content.width();
    const double ch = content.height();

    // The title row, its label and the close button.
    const CGRect title(
        constantOf(cstViewTitleMarginLeft), constantOf(cstViewTitleMarginTop),
        std::max(0.0, cw - constantOf(cstViewTitleMarginLeft) - constantOf(cstViewTitleMarginRight)),
        constantOf(cstViewTitleHeight));
    viewTitle->setFrame(title);
    const CGSize close{constantOf(cstButtonDismissWidth), constantOf(cstButtonDismissHeight)};
    buttonClose->setFrame(CGRect(title.width() - constantOf(cstButtonDismissMarginRight) - close.width,
                                 constantOf(cstButtonDismissMarginTop), close.width, close.height));
    const double labelX = constantOf(cstLabelTitleMarginLeft) - title.minX();
    const double labelRight = buttonClose->isHidden()
                                  ? title.width()
                                  : buttonClose->frame().minX() - constantOf(cstTitleCloseMargin);
    labelTitle->setFrame(CGRect(labelX, constantOf(cstLabelTitleMarginTop) - title.minY(),
                                std::max(0.0, labelRight - labelX), constantOf(cstLabelTitleHeight)));

    // The content text, then the web view below it.
    const double contentLeft = constantOf(cstLabelContentMarginLeft);
    const CGRect text(contentLeft, title.maxY() + constantOf(cstLabelTitleContentMarginTop),
                      std::max(0.0, cw - contentLeft - constantOf(cstLabelContentMarginRight)),
                      constantOf(cstLabelContentHeight));
    labelContent->setFrame(text);
    webView->setFrame(
        CGRect(0, text.maxY() + constantOf(cstLabelContentMarginBottom), cw, constantOf(cstWebViewHeight)));
    activityIndicator->setCenter({webView->frame().midX(), webView->frame().midY()});

    // The step buttons: sizes, then the side each is held to, then the bottom gaps.
    double prevWidth = constantOf(cstButtonPrevWidth);
    double nextWidth = constantOf(cstButtonNextWidth);
    const double prevHeight = constantOf(cstButtonPrevHeight);
    const double nextHeight = constantOf(cstButtonNextHeight);
    auto prevRightVertical = cstButtonPrevMarginRightVertical.lock();
    auto nextLeftVertical = cstButtonNextMarginLeftVertical.lock();
    auto prevNextVertical = cstButtonPrevNextMarginVertical.lock();
    if (active(cstButtonWidthEqual) && active(cstButtonMarginBetween)) {
        prevWidth = nextWidth =
            std::max(0.0, (cw - constantOf(cstButtonPrevMarginLeft) - constantOf(cstButtonNextMarginRight) -
                           constantOf(cstButtonMarginBetween)) /
                              2);
    }
    double prevX = constantOf(cstButtonPrevMarginLeft);
    if (!active(cstButtonPrevMarginLeft) && active(prevRightVertical))
        prevX = cw - prevRightVertical->constant() - prevWidth;
    if (active(cstButtonPrevMarginLeft) && active(prevRightVertical) && !active(cstButtonPrevWidth))
        prevWidth = std::max(0.0, cw - prevX - prevRightVertical->constant());
    double nextX = cw - constantOf(cstButtonNextMarginRight) - nextWidth;
    if (active(cstButtonMarginBetween) && active(cstButtonWidthEqual)) {
        nextX = prevX + prevWidth + constantOf(cstButtonMarginBetween);
    } else if (active(nextLeftVertical) && !active(cstButtonNextWidth)) {
        nextX = nextLeftVertical->constant();
        nextWidth = std::max(0.0, cw - nextX - constantOf(cstButtonNextMarginRight));
    }
    const double nextY = ch - constantOf(cstButtonNextMarginBottom) - nextHeight;
    double prevY = ch - constantOf(cstButtonPrevMarginBottom) - prevHeight;
    if (active(prevNextVertical)) prevY = nextY - prevNextVertical->constant() - prevHeight;
    button1->setFrame(CGRect(prevX, prevY, prevWidth, prevHeight));
    button2->setFrame(CGRect(nextX, nextY, nextWidth, nextHeight));
}

}  // namespace brindlecue
