#include <gtest/gtest.h>

#include "platform/uikit/NSLayoutConstraint.h"
#include "presentation/TipPresentationScene_test.h"

namespace brindlecue::tipscreen {
namespace {

std::shared_ptr<KJTipButtonElement> button(const std::string& text, const std::string& alignment,
                                           double width, double height, FourSide margin = {}) {
    auto b = std::make_shared<KJTipButtonElement>();
    std::tie(b->buttonText, b->buttonAlignment, b->width, b->height, b->margin) =
        std::tie(text, alignment, width, height, margin);
    return b;
}

class StepButtonsTest : public TipScreenTest {
protected:
    // Lays the buttons out in a content box 300 wide and 200 high.
    std::shared_ptr<KJModalTipViewController> layOut(std::shared_ptr<KJTipButtonElement> prev,
                                                     std::shared_ptr<KJTipButtonElement> next, bool row,
                                                     double stepHeight = 200) {
        auto step = std::make_shared<KJTipElement>();
        step->height = stepHeight;
        step->prev = std::move(prev);
        step->next = std::move(next);
        step->isHorizontal = row;
        auto c = controllerFor(step);
        c->loadViewIfNeeded();
        EXPECT_TRUE(c->setConstraintsWithContentWidth(300, 200));
        c->view()->setFrame({0, 0, 300, 200});
        c->placeViewsByConstraints();
        return c;
    }
};

TEST_F(StepButtonsTest, SizesAndASpanningButton) {
    // A tip at most 160 high (an automatic one too) keeps a button of 36 or more at 34.
    for (auto [tipHeight, buttonHeight, expected] :
         {std::tuple{100.0, 40.0, 34.0}, {100.0, 35.0, 35.0}, {200.0, 40.0, 40.0}, {0.0, 40.0, 34.0}}) {
        auto c = layOut(nullptr, button("Next", "right", 80, buttonHeight), true, tipHeight);
        EXPECT_DOUBLE_EQ(c->cstButtonNextHeight->constant(), expected) << tipHeight << " " << buttonHeight;
    }
    auto spanning = button("Next", "right", -1, 40);
    auto c = layOut(button("Back", "left", 80, 40), spanning, true);
    EXPECT_DOUBLE_EQ(spanning->width, 300) << "kept in the element";
    EXPECT_FALSE(c->cstButtonWidthEqual->isActive());
}

TEST_F(StepButtonsTest, RowsStacksAndLoneButtons) {
    // Right-aligned in a row: 8 points apart; left-aligned and centred pairs touch.
    auto c = layOut(button("Back", "right", 80, 30), button("Next", "right", 100, 30), true);
    EXPECT_EQ(c->button2->frame(), CGRect(200, 170, 100, 30));
    EXPECT_EQ(c->button1->frame(), CGRect(112, 170, 80, 30));
    c = layOut(button("Back", "left", 80, 30), button("Next", "left", 100, 30), true);
    EXPECT_EQ(std::make_pair(c->button1->frame().minX(), c->button2->frame().minX()),
              std::make_pair(0.0, 80.0));
    c = layOut(button("Back", "center", 80, 30), button("Next", "center", 100, 30), true);
    EXPECT_EQ(std::make_pair(c->button1->frame().maxX(), c->button2->frame().minX()),
              std::make_pair(150.0, 150.0));
    // Margins: next held R - L from the trailing edge, prev L - R from the leading edge.
    c = layOut(button("Back", "left", 80, 30, {0, 6, 10, 2}), button("Next", "right", 100, 30, {0, 4, 3, 12}),
               true);
    EXPECT_DOUBLE_EQ(c->cstButtonNextMarginRight->constant(), 9);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginLeft->constant(), 8);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 6);

    // Stacked, prev above next: its bottom gap is next's height and both margins between them.
    c = layOut(button("Back", "center", 80, 30, {0, 5, 0, 0}),
               button("Next", "center", 100, 40, {6, 0, 0, 0}), false);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 40 + 5 + 6);
    EXPECT_EQ(c->button2->frame(), CGRect(100, 160, 100, 40));
    EXPECT_EQ(c->button1->frame(), CGRect(110, 200 - 51 - 30, 80, 30));

    // A lone button keeps its own bottom gap.
    c = layOut(button("Back", "left", 80, 30, {2, 7, 0, 0}), nullptr, true);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginBottom->constant(), 7);
    EXPECT_FALSE(c->cstButtonNextMarginBottom->isActive());
}

TEST_F(StepButtonsTest, BothSpanningButtonsFollowTheOlderRules) {
    // Facing insets under a fifth of the width: equal widths with the gap between them.
    auto c = layOut(button("Back", "left", -1, 30, {0, 0, 4, 6}),
                    button("Next", "right", -1, 30, {0, 0, 5, 3}), true);
    EXPECT_TRUE(c->cstButtonWidthEqual->isActive());
    EXPECT_DOUBLE_EQ(c->cstButtonMarginBetween->constant(), 6 + 5);
    EXPECT_DOUBLE_EQ(c->button1->frame().width(), c->button2->frame().width());
    EXPECT_DOUBLE_EQ(c->button2->frame().minX() - c->button1->frame().maxX(), 11);
    // A wide facing inset: each as wide as its text (4 characters of the 14-point font).
    c = layOut(button("Back", "left", -1, 30, {0, 0, 0, 70}), button("Next", "right", -1, 30), true);
    EXPECT_FALSE(c->cstButtonWidthEqual->isActive());
    EXPECT_DOUBLE_EQ(c->cstButtonPrevWidth->constant(), 28);
    // Stacked: the vertical gap and the stack's side offsets.
    c = layOut(button("Back", "left", -1, 30, {0, 4, 0, 7}), button("Next", "right", -1, 30, {5, 0, 9, 0}),
               false);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevNextMarginVertical.lock()->constant(), 9);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevMarginRightVertical.lock()->constant(), 7);
    EXPECT_FALSE(c->cstButtonPrevMarginBottom->isActive());
    // Only next: it spans the width less its margins, prev is 0 wide.
    c = layOut(button("", "left", -1, 30), button("Next", "right", -1, 30, {0, 0, 10, 20}), true);
    EXPECT_DOUBLE_EQ(c->cstButtonNextWidth->constant(), 270);
    EXPECT_DOUBLE_EQ(c->cstButtonPrevWidth->constant(), 0);

    // Neither button: only the six button constraints of the layout's batch are active.
    c = layOut(nullptr, button("", "right", 0, 0), true);
    std::vector<std::shared_ptr<NSLayoutConstraint>> active;
    for (const auto& k :
         {c->cstButtonPrevWidth, c->cstButtonPrevHeight, c->cstButtonPrevMarginLeft, c->cstButtonNextWidth,
          c->cstButtonNextHeight, c->cstButtonNextMarginRight, c->cstButtonNextMarginBottom,
          c->cstButtonWidthEqual, c->cstButtonMarginBetween, c->cstButtonPrevMarginTop,
          c->cstButtonNextMarginTop, c->cstButtonPrevMarginBottom, c->cstButtonPrevNextMarginVertical.lock(),
          c->cstButtonNextMarginLeftVertical.lock()})
        if (k && k->isActive()) active.push_back(k);
    EXPECT_EQ(active.size(), 6u);
}

}  // namespace
}  // namespace brindlecue::tipscreen
