#include <gtest/gtest.h>

#include "platform/uikit/NSLayoutConstraint.h"
#include "presentation/TipPresentationScene_test.h"

namespace brindlecue::tipscreen {
namespace {

constexpr double kContentWidth = 300;

std::shared_ptr<KJTipButtonElement> button(const std::string& text, const std::string& alignment,
                                           double width, double height, FourSide margin = {}) {
    auto b = std::make_shared<KJTipButtonElement>();
    b->buttonText = text;
    b->buttonAlignment = alignment;
    b->width = width;
    b->height = height;
    b->margin = margin;
    return b;
}

class StepButtonsTest : public TipScreenTest {
protected:
    // Lays the buttons out in a content box 300 wide and 200 high (no padding, no border).
    std::shared_ptr<KJModalTipViewController> layOut(std::shared_ptr<KJTipButtonElement> prev,
                                                     std::shared_ptr<KJTipButtonElement> next, bool row,
                                                     double stepHeight = 200) {
        auto step = std::make_shared<KJTipElement>();
        step->tipType = 3;
        step->height = stepHeight;
        step->prev = std::move(prev);
        step->next = std::move(next);
        step->isHorizontal = row;
        auto c = controllerFor(step);
        c->loadViewIfNeeded();
        EXPECT_TRUE(c->setConstraintsWithContentWidth(kContentWidth, 200));
        c->view()->setFrame({0, 0, kContentWidth, 200});
        c->placeViewsByConstraints();
        return c;
    }
};

TEST_F(StepButtonsTest, ALowTipKeepsItsButtonsLowAndALoneSpanningButtonTakesTheWidth) {
    auto c = layOut(nullptr, button("Next", "right", 80, 40), true, 100);
    EXPECT_DOUBLE_EQ(c->cstButtonNextHeight->constant(), 34);
    EXPECT_DOUBLE_EQ(c->cstButtonNextWidth->constant(), 80);
    c = layOut(nullptr, button("Next", "right", 80, 35), true, 100);
    EXPECT_DOUBLE_EQ(c->cstButtonNextHeight->constant(), 35);
    c = layOut(nullptr, button("Next", "right", 80, 40), true, 200);
    EXPECT_DOUBLE_EQ(c->cstButtonNextHeight->constant(), 40);
    c = layOut(nullptr, button("Next", "right", 80, 40), true, 0);
    EXPECT_DOUBLE_EQ(c->cstButtonNextHeight->constant(), 34) << "an automatic height is low";

    auto spanning = button("Next", "right", -1, 40);
    c = layOut(button("Back", "left", 80, 40), spanning, true);
    EXPECT_DOUBLE_EQ(spanning->width, kContentWidth) << "kept in the element";
    EXPECT_DOUBLE_EQ(c->cstButtonNextWidth->constant(), kContentWidth);
    EXPECT_FALSE(c->cstButtonWidthEqual->isActive());
}

TEST_F(StepButtonsTest, PairsInARowAlignRightWithAGapAndLeftOrCentredTouching) {
    auto c = layOut(button("Back", "right", 80, 30), button("Next", "right", 100, 30), true);
    EXPECT_EQ(c->button2->frame(), CGRect(200, 170, 100, 30));
    EXPECT_EQ(c->button1->frame(), CGRect(112, 170, 80, 30)) << "8 points before next";

    c = layOut(button("Back", "left", 80, 30), button("Next", "left", 100, 30), true);
    EXPECT_DOUBLE_EQ(c->button1->frame().minX(), 0);
    EXPECT_DOUBLE_EQ(c->button2->frame().minX(), 80);

    c = layOut(button("Back", "center", 80, 30), button("Next", "center", 100, 30), true);
    EXPECT_DOUBLE_EQ(c->button1->frame().maxX(), 150);
    EXPECT_DOUBLE_EQ(c->button2->frame().minX(), 150);

    // Margins: a right-aligned next is held R - L from the trailing edge, a left-aligned prev
    // L - R from the leading edge.
    c = layOut(button("Back", "left", 80, 30, {0, 6, 10, 2}), button("Next", "right", 100, 30, {0, 4, 3, 12}),
               true);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginRight->constant(), 9);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginLeft->constant(), 8);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginBottom->constant(), 4);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 6);
}

TEST_F(StepButtonsTest, StackedPrevSitsAboveNextAndALoneButtonKeepsItsOwnBottomGap) {
    auto c = layOut(button("Back", "center", 80, 30, {0, 5, 0, 0}),
                    button("Next", "center", 100, 40, {6, 0, 0, 0}), false);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 40 + 5 + 6);
    EXPECT_EQ(c->button2->frame(), CGRect(100, 200 - 40, 100, 40));
    EXPECT_EQ(c->button1->frame(), CGRect(110, 200 - 51 - 30, 80, 30));
    EXPECT_DOUBLE_EQ(c->button1->frame().maxY() + 5 + 6, c->button2->frame().minY());

    c = layOut(button("Back", "left", 80, 30, {2, 7, 0, 0}), nullptr, true);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 7);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginTop->constant(), 2);
    EXPECT_FALSE(c->cstButtonNextMarginBottom->isActive());
    c = layOut(nullptr, button("Next", "center", 100, 30, {2, 9, 0, 0}), true);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginBottom->constant(), 9);
    EXPECT_DOUBLE_EQ(c->button2->frame().minX(), 100) << "centred as a stack";
}

TEST_F(StepButtonsTest, BothSpanningButtonsFollowTheOlderRules) {
    // Facing insets under a fifth of the width: equal widths with the gap between them.
    auto c = layOut(button("Back", "left", -1, 30, {0, 0, 4, 6}),
                    button("Next", "right", -1, 30, {0, 0, 5, 3}), true);
    EXPECT_TRUE(c->cstButtonWidthEqual->isActive());
    EXPECT_TRUE(c->cstButtonMarginBetween->isActive());
    EXPECT_DOUBLE_EQ(c->cstButtonMarginBetween->constant(), 6 + 5);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginLeft->constant(), 4);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginRight->constant(), 3);
    EXPECT_DOUBLE_EQ(c->button1->frame().width(), c->button2->frame().width());
    EXPECT_DOUBLE_EQ(c->button2->frame().minX() - c->button1->frame().maxX(), 11);
    EXPECT_FALSE(c->cstButtonPrevMarginRightVertical.lock());

    // A wide facing inset: each button as wide as its text (4 characters of the 14-point font, 7 points
    // each).
    auto back = button("Back", "left", -1, 30, {0, 0, 0, 70});
    c = layOut(back, button("Next", "right", -1, 30), true);
    EXPECT_FALSE(c->cstButtonWidthEqual->isActive());
    EXPECT_DOUBLE_EQ(c->cstButtonPrevWidth->constant(), 28);

    // Stacked: the vertical gap and the side offsets of the stack.
    c = layOut(button("Back", "left", -1, 30, {0, 4, 0, 7}), button("Next", "right", -1, 30, {5, 0, 9, 0}),
               false);
    ASSERT_TRUE(c->cstButtonPrevNextMarginVertical.lock());
    EXPECT_DOUBLE_EQ(c->cstButtonPrevNextMarginVertical.lock()->constant(), 9);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginRightVertical.lock()->constant(), 7);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginLeftVertical.lock()->constant(), 9);
    EXPECT_FALSE(c->cstButtonPrevMarginBottom->isActive());

    // Only one of them: it spans the width less its margins, the other is 0 wide.
    c = layOut(button("", "left", -1, 30), button("Next", "right", -1, 30, {0, 0, 10, 20}), true);
    EXPECT_DOUBLE_EQ(c->cstButtonNextWidth->constant(), kContentWidth - 30);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevWidth->constant(), 0);
    EXPECT_TRUE(c->cstButtonNextMarginLeftVertical.lock()->isActive());
}

TEST_F(StepButtonsTest, WithoutButtonsOnlyTheSixButtonConstraintsOfTheBatchAreActive) {
    auto c = layOut(nullptr, button("", "right", 0, 0), true);
    std::vector<std::shared_ptr<NSLayoutConstraint>> active;
    for (const auto& constraint :
         {c->cstButtonPrevWidth, c->cstButtonPrevHeight, c->cstButtonPrevMarginLeft, c->cstButtonNextWidth,
          c->cstButtonNextHeight, c->cstButtonNextMarginRight, c->cstButtonNextMarginBottom,
          c->cstButtonWidthEqual, c->cstButtonMarginBetween, c->cstButtonPrevMarginTop,
          c->cstButtonNextMarginTop, c->cstButtonPrevMarginBottom, c->cstButtonPrevNextMarginVertical.lock(),
          c->cstButtonPrevMarginRightVertical.lock(), c->cstButtonNextMarginLeftVertical.lock()}) {
        if (constraint && constraint->isActive()) active.push_back(constraint);
    }
    EXPECT_EQ(active, (std::vector<std::shared_ptr<NSLayoutConstraint>>{
                          c->cstButtonPrevWidth, c->cstButtonPrevHeight, c->cstButtonPrevMarginLeft,
                          c->cstButtonNextWidth, c->cstButtonNextHeight, c->cstButtonNextMarginRight}));
}

}  // namespace
}  // namespace brindlecue::tipscreen
