// The constants of the step buttons' constraints: "prev" (button1) and "next" (button2), in a row
// or stacked, each aligned left, right or centre in the content box; steps whose two buttons both
// have the width -1 keep the older rules.
#include <string>

#include "feed/KJTipButtonElement.h"
#include "feed/KJTipElement.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "presentation/KJBaseTipViewController.h"

namespace brindlecue {

using platform::NSLayoutConstraint;

namespace {

constexpr double kSpanWidth = -1;
// A tip at most this high (an automatic height included) keeps its buttons low.
constexpr double kLowTipHeight = 160;
constexpr double kTallButton = 36;
constexpr double kLowButton = 34;
// The gap kept between two right-aligned buttons in a row.
constexpr double kRightPairGap = 8;

bool present(const std::shared_ptr<KJTipButtonElement>& button) {
    return button && button->hasText();
}

std::string alignmentOf(const std::shared_ptr<KJTipButtonElement>& button) {
    return button && button->buttonAlignment ? *button->buttonAlignment : std::string();
}

void set(const std::shared_ptr<NSLayoutConstraint>& constraint, double constant) {
    if (!constraint) return;
    constraint->setConstant(constant);
    constraint->setActive(true);
}

FourSide marginOf(const std::shared_ptr<KJTipButtonElement>& button) {
    return button ? button->margin : FourSide{};
}

}  // namespace

bool KJBaseTipViewController::setConstraintsForButtonsWithContentWidth(double contentWidth, double) {
    const double w = contentWidth;
    const auto& prev = tip_->prev;
    const auto& next = tip_->next;
    if (prev && next && prev->width == kSpanWidth && next->width == kSpanWidth) {
        backwardCompatibleButtonPlaceLogic(w);
        return true;
    }
    for (const auto& button : {prev, next}) {
        // A lone spanning button takes the content width.
        if (button && button->width == kSpanWidth)
            button->width = KJTipButtonElement::calculateButtonWidthForElement(button, w);
    }
    NSLayoutConstraint::deactivateConstraints(
        {cstButtonMarginBetween, cstButtonPrevWidth, cstButtonPrevHeight, cstButtonPrevMarginLeft,
         cstButtonPrevMarginRightVertical.lock(), cstButtonPrevNextMarginVertical.lock(),
         cstButtonPrevMarginTop, cstButtonNextMarginTop, cstButtonNextMarginBottom, cstButtonPrevMarginBottom,
         cstButtonNextMarginRight, cstButtonNextMarginLeftVertical.lock(), cstButtonNextWidth,
         cstButtonNextHeight});

    const bool lowTip = tip_->height <= kLowTipHeight;
    auto size = [&](const std::shared_ptr<KJTipButtonElement>& button, const Constraint& width,
                    const Constraint& height) {
        set(width, KJTipButtonElement::calculateButtonWidthForElement(button, w));
        double h = KJTipButtonElement::calculateButtonHeightForElement(button, w);
        if (lowTip && h >= kTallButton) h = kLowButton;
        set(height, h);
    };
    const bool hasPrev = present(prev);
    const bool hasNext = present(next);
    const bool row = tip_->isHorizontal;

    // The side offsets: "next" by its trailing edge, "prev" by its leading edge.
    auto alignNext = [&](bool inRow) {
        const double L = next->margin.left;
        const double R = next->margin.right;
        const double width = cstButtonNextWidth->constant();
        const std::string alignment = alignmentOf(next);
        if (alignment == "right") {
            set(cstButtonNextMarginRight, R - L);
        } else if (alignment == "left") {
            const bool pairLeft = inRow && hasPrev && alignmentOf(prev) == "left";
            set(cstButtonNextMarginRight,
                pairLeft ? w - width - cstButtonPrevWidth->constant() + R - L : w - width + R - L);
        } else if (alignment == "center") {
            set(cstButtonNextMarginRight, inRow ? w / 2 - width - L + R : w / 2 - width / 2 - L + R);
        }
    };
    auto alignPrev = [&](bool inRow) {
        const double L = prev->margin.left;
        const double R = prev->margin.right;
        const double width = cstButtonPrevWidth->constant();
        const std::string alignment = alignmentOf(prev);
        if (alignment == "left") {
            set(cstButtonPrevMarginLeft, L - R);
        } else if (alignment == "right") {
            const bool pairRight = inRow && hasNext && alignmentOf(next) == "right";
            set(cstButtonPrevMarginLeft,
                pairRight ? w - width - cstButtonNextWidth->constant() + L - R - kRightPairGap
                          : w - width + L - R);
        } else if (alignment == "center") {
            set(cstButtonPrevMarginLeft, inRow ? w / 2 - width + L - R : w / 2 - width / 2 + L - R);
        }
    };

    if (hasPrev && hasNext) {
        size(next, cstButtonNextWidth, cstButtonNextHeight);
        size(prev, cstButtonPrevWidth, cstButtonPrevHeight);
        set(cstButtonNextMarginBottom, next->margin.bottom);
        if (row) {
            set(cstButtonPrevMarginBottom, prev->margin.bottom);
        } else {
            // "prev" sits above "next".
            set(cstButtonPrevMarginBottom,
                cstButtonNextHeight->constant() + prev->margin.bottom + next->margin.top);
        }
        set(cstButtonNextMarginTop, next->margin.top);
        set(cstButtonPrevMarginTop, prev->margin.top);
        alignNext(row);
        alignPrev(row);
    } else if (hasNext) {
        size(next, cstButtonNextWidth, cstButtonNextHeight);
        set(cstButtonNextMarginTop, next->margin.top);
        set(cstButtonNextMarginBottom, next->margin.bottom);
        alignNext(false);
    } else if (hasPrev) {
        size(prev, cstButtonPrevWidth, cstButtonPrevHeight);
        set(cstButtonPrevMarginBottom, prev->margin.bottom);
        set(cstButtonPrevMarginTop, prev->margin.top);
        alignPrev(false);
    }
    return true;
}

void KJBaseTipViewController::backwardCompatibleButtonPlaceLogic(double contentWidth) {
    const double w = contentWidth;
    const auto& prev = tip_->prev;
    const auto& next = tip_->next;
    const FourSide pm = marginOf(prev);
    const FourSide nm = marginOf(next);
    auto prevRightVertical = cstButtonPrevMarginRightVertical.lock();
    auto nextLeftVertical = cstButtonNextMarginLeftVertical.lock();
    auto prevNextVertical = cstButtonPrevNextMarginVertical.lock();

    cstButtonPrevHeight->setConstant(KJTipButtonElement::calculateButtonHeightForElement(prev, w));
    cstButtonPrevMarginLeft->setConstant(pm.left);
    cstButtonNextHeight->setConstant(KJTipButtonElement::calculateButtonHeightForElement(next, w));
    cstButtonNextMarginRight->setConstant(nm.right);

    const bool hasPrev = present(prev);
    const bool hasNext = present(next);
    if (hasPrev && hasNext && tip_->isHorizontal) {
        NSLayoutConstraint::deactivateConstraints({prevNextVertical, prevRightVertical, nextLeftVertical});
        const bool narrowInsets =
            pm.right + prev->padding.right < w / 5 && nm.left + next->padding.left < w / 5;
        if (narrowInsets) {
            cstButtonWidthEqual->setActive(true);
            set(cstButtonMarginBetween, pm.right + nm.left);
            NSLayoutConstraint::deactivateConstraints({cstButtonPrevWidth, cstButtonNextWidth});
        } else {
            NSLayoutConstraint::deactivateConstraints({cstButtonWidthEqual, cstButtonMarginBetween});
            set(cstButtonPrevWidth, KJTipButtonElement::calculateButtonWidthForElement(prev));
            set(cstButtonNextWidth, KJTipButtonElement::calculateButtonWidthForElement(next));
        }
    } else if (hasPrev && hasNext) {
        NSLayoutConstraint::deactivateConstraints({cstButtonPrevMarginTop, cstButtonNextMarginTop,
                                                   cstButtonNextMarginBottom, cstButtonPrevMarginBottom,
                                                   cstButtonWidthEqual, cstButtonMarginBetween,
                                                   cstButtonPrevWidth, cstButtonNextWidth});
        set(prevNextVertical, pm.bottom + nm.top);
        set(prevRightVertical, pm.right);
        set(nextLeftVertical, nm.left);
    } else if (hasPrev) {
        NSLayoutConstraint::deactivateConstraints(
            {cstButtonWidthEqual, cstButtonMarginBetween, nextLeftVertical});
        set(cstButtonNextWidth, 0);
        set(cstButtonPrevWidth, w - pm.left - pm.right);
        if (prevRightVertical) prevRightVertical->setConstant(pm.right);
        set(cstButtonPrevMarginTop, pm.top);
        set(cstButtonNextMarginTop, nm.top);
        set(cstButtonNextMarginBottom, nm.bottom);
        set(cstButtonPrevMarginBottom, pm.bottom);
    } else if (hasNext) {
        NSLayoutConstraint::deactivateConstraints(
            {cstButtonWidthEqual, cstButtonMarginBetween, prevRightVertical});
        set(cstButtonPrevWidth, 0);
        set(cstButtonNextWidth, w - nm.left - nm.right);
        set(nextLeftVertical, nm.left);
    } else {
        NSLayoutConstraint::deactivateConstraints({cstButtonWidthEqual, cstButtonMarginBetween,
                                                   cstButtonPrevWidth, cstButtonNextWidth, prevRightVertical,
                                                   nextLeftVertical});
    }
}

}  // namespace brindlecue
