#include <gtest/gtest.h>

#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipCarouselItem.h"
#include "feed/KJTipWebElement.h"
#include "platform/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "presentation/PaddingLabel.h"
#include "presentation/TipPresentationScene_test.h"

namespace brindlecue::tipscreen {
namespace {

class TipLayoutTest : public TipScreenTest {
protected:
    // A bare step: no texts, buttons or overlay.
    static std::shared_ptr<KJTipElement> bareStep(int32_t tipType = 3) {
        auto step = std::make_shared<KJTipElement>();
        step->tipType = tipType;
        step->placement = 1;
        step->pointerParams = {15, 10, 0};
        return step;
    }
    CGRect frameOf(const std::shared_ptr<KJTipElement>& step, CGRect cover) {
        return controllerFor(step)->calculateTipFrame(0, cover);
    }
};

TEST_F(TipLayoutTest, TheTipFrameFollowsTheStepsWidthsHeightsAndPlacement) {
    auto step = bareStep();
    step->height = 100;
    step->borderWidth = 1;
    const CGRect cover(0, 0, 400, 700);
    // Widths: none derives the cover width; points and fractions get the border twice; 50 at least.
    EXPECT_DOUBLE_EQ(frameOf(step, cover).width(), 400);
    step->widthUnit = "EMPTY";
    step->width = 120;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).width(), 400);
    step->widthUnit = "DP";
    step->width = 30;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).width(), 50);
    step->widthUnit = "PERCENTAGE";
    step->width = 0.5;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).width(), 202);

    // Heights: (0, 1] a fraction, above 1 points, capped at the cover; a page takes the cover.
    step->height = 1;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).height(), 700);
    step->height = 1.5;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).height(), 3.5);
    step->height = 0;
    step->web = std::make_shared<KJTipWebElement>();
    step->web->url = "https://example.com/tip";
    EXPECT_DOUBLE_EQ(frameOf(step, cover).height(), 700);

    // Automatic: the title (18 pt, 22 high plus 10) with the padding and the border.
    step->web = nullptr;
    step->padding = {10, 12, 0, 0};
    step->title = std::make_shared<KJTipTextElement>();
    step->title->text = "Hi";
    step->title->fontSize = 18;
    const CGRect modal = frameOf(step, cover);
    EXPECT_DOUBLE_EQ(modal.height(), 32 + 22 + 2);
    EXPECT_DOUBLE_EQ(modal.minY(), (700 - 56) / 2.0) << "centred";
    // A pop tip above its target is taller by the pointer (its height; the border is in the tip).
    step->tipType = 2;
    step->placement = 3;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).height(), 56 + 10);

    // A modal held to the top or the bottom of the cover.
    step->tipType = 3;
    step->margin = {20, 30, 0, 0};
    EXPECT_DOUBLE_EQ(frameOf(step, cover).minY(), 20);
    step->placement = 4;
    EXPECT_DOUBLE_EQ(frameOf(step, cover).minY(), 700 - 56 - 30);
}

TEST_F(TipLayoutTest, MarginsMoveASmallTipAndShrinkOneThatSpansTheCover) {
    auto step = bareStep();
    step->margin = {20, 5, 16, 4};
    auto c = controllerFor(step);
    const CGRect cover(0, 0, 390, 700);
    CGRect small(95, 300, 200, 100);
    EXPECT_EQ(c->handleContainerMargin(small.origin, cover, small), (CGPoint{95 + 12, 300 + 15}));
    EXPECT_EQ(small.size, (CGSize{200, 100}));
    // The moved origin is clamped into the cover again.
    EXPECT_EQ(c->handleContainerMargin({380, 650}, cover, small), (CGPoint{190, 600}));

    CGRect wide(0, 300, 390, 100);
    EXPECT_EQ(c->handleContainerMargin(wide.origin, cover, wide), (CGPoint{16, 300}));
    EXPECT_EQ(wide.size, (CGSize{390 - 16 - 4, 100}));

    // A modal of the full cover width ends up between its margins.
    step->height = 80;
    step->placement = 3;
    ASSERT_TRUE(c->displayUI(cover));
    EXPECT_EQ(c->view()->frame(), CGRect(16, 20, 370, 80));

    EXPECT_EQ(KJBaseTipViewController::boundaryChecker({-5, 690}, {50, 20}, {390, 700}), (CGPoint{0, 680}));
}

TEST_F(TipLayoutTest, LayoutActivatesTheNamedConstraintsWithTheStepsConstants) {
    auto step = modalStep();
    step->borderWidth = 2;
    step->height = 300;
    step->title->margin = {4, 6, 8, 10};
    step->content->margin = {3, 5, 7, 9};
    step->dismiss = KJTipDismissElement::createFromFeed(Value::dictionary({{"file-name", "close"},
                                                                           {"padding-top", 1},
                                                                           {"padding-bottom", 2},
                                                                           {"padding-left", 3},
                                                                           {"padding-right", 4},
                                                                           {"margin-top", 5},
                                                                           {"margin-left", 6},
                                                                           {"margin-right", 7}}));
    auto c = controllerFor(step);
    c->loadViewIfNeeded();
    EXPECT_FALSE(c->cstContentTop->isActive()) << "the view's load deactivates the named constraints";
    EXPECT_TRUE(c->cstButtonPrevMarginTop->isActive());
    const CGRect frame = c->layoutView(CGRect(0, 0, 375, 700), true);
    ASSERT_EQ(frame.width(), 300 + 4);

    const std::vector<std::pair<const char*, std::shared_ptr<NSLayoutConstraint>>> batch{
        {"ContentTop", c->cstContentTop},
        {"ContentLeading", c->cstContentLeading},
        {"ContentBottom", c->cstContentBottom},
        {"ContentTrailing", c->cstContentTrailing},
        {"ViewTitleMarginTop", c->cstViewTitleMarginTop},
        {"ViewTitleMarginLeft", c->cstViewTitleMarginLeft},
        {"ViewTitleMarginRight", c->cstViewTitleMarginRight},
        {"LabelTitleMarginTop", c->cstLabelTitleMarginTop},
        {"LabelTitleMarginLeft", c->cstLabelTitleMarginLeft},
        {"TitleCloseMargin", c->cstTitleCloseMargin},
        {"ButtonDismissWidth", c->cstButtonDismissWidth},
        {"ButtonDismissHeight", c->cstButtonDismissHeight},
        {"ButtonDismissMarginTop", c->cstButtonDismissMarginTop},
        {"ButtonDismissMarginRight", c->cstButtonDismissMarginRight},
        {"LabelContentMarginLeft", c->cstLabelContentMarginLeft},
        {"LabelContentMarginRight", c->cstLabelContentMarginRight},
        {"LabelTitleContentMarginTop", c->cstLabelTitleContentMarginTop}};
    const std::vector<double> expected{10 + 2, 12 + 2,     10 + 2,     12 + 2, 4, 8, 10, 4,    8,
                                       10 + 6, 30 + 3 + 4, 30 + 1 + 2, 5,      7, 7, 9,  6 + 3};
    for (size_t i = 0; i < batch.size(); ++i) {
        EXPECT_TRUE(batch[i].second->isActive()) << batch[i].first;
        EXPECT_DOUBLE_EQ(batch[i].second->constant(), expected[i]) << batch[i].first;
    }
    for (const auto& c28 : {c->cstViewTitleHeight, c->cstLabelTitleHeight, c->cstLabelContentHeight,
                            c->cstLabelContentMarginBottom, c->cstWebViewHeight, c->cstButtonPrevHeight,
                            c->cstButtonPrevWidth, c->cstButtonPrevMarginLeft, c->cstButtonNextHeight,
                            c->cstButtonNextWidth, c->cstButtonNextMarginRight})
        EXPECT_TRUE(c28->isActive());
    EXPECT_FALSE(c->cstButtonWidthEqual->isActive());
    EXPECT_FALSE(c->cstButtonMarginBetween->isActive());
    // The title row is as high as the larger of the title and the close part (30 + 1 + 2 + 5).
    EXPECT_DOUBLE_EQ(c->cstViewTitleHeight->constant(), 38);
    EXPECT_DOUBLE_EQ(c->view()->layer()->borderWidth, 2);
    EXPECT_TRUE(c->viewContent->clipsToBounds());

    // On a 568-point screen the content's bottom inset is one point less.
    UIScreen::mainScreen()->setBounds({0, 0, 320, 568});
    c->layoutView(CGRect(0, 0, 320, 500), true);
    EXPECT_DOUBLE_EQ(c->cstContentBottom->constant(), 10 + 2 - 1);
    UIScreen::mainScreen()->setBounds({0, 0, 375, 812});
}

TEST_F(TipLayoutTest, TitleRowAndWebAreaHeights) {
    auto step = bareStep();
    auto c = controllerFor(step);
    EXPECT_DOUBLE_EQ(c->calculateViewTitleHeight(300), 0) << "no title and no close icon";
    step->dismiss =
        KJTipDismissElement::createFromFeed(Value::dictionary({{"file-name", "close"}, {"margin-top", 4}}));
    EXPECT_DOUBLE_EQ(c->calculateViewTitleHeight(300), 34);
    step->title = std::make_shared<KJTipTextElement>();
    step->title->text = std::string(30, 'x');
    step->title->fontSize = 20;
    // 30 characters of 10 points do not fit in 300 less the close button's 30: two lines.
    EXPECT_DOUBLE_EQ(c->calculateViewTitleHeight(300), 2 * 25 + 10);

    // A page gets what is left of the content height; under 30 points the tip is not shown.
    auto web = bareStep();
    web->web = std::make_shared<KJTipWebElement>();
    web->web->urlcontent = "<p>Hello</p>";
    web->title = std::make_shared<KJTipTextElement>();
    web->title->margin.top = 71;
    auto page = controllerFor(web);
    EXPECT_FALSE(page->displayUI(CGRect(0, 0, 300, 100)));
    EXPECT_TRUE(page->layoutView(CGRect(0, 0, 300, 100), true).isEmpty());
    web->title->margin.top = 70;
    ASSERT_FALSE(page->layoutView(CGRect(0, 0, 300, 100), true).isEmpty());
    EXPECT_DOUBLE_EQ(page->cstWebViewHeight->constant(), 30);
}

TEST_F(TipLayoutTest, FillingTheViewsPlacesTheHighlightClipInTheTargetAndTheFramesByTheConstraints) {
    auto step = modalStep();
    step->targetControl = screen->target;
    auto c = controllerFor(step);
    ASSERT_TRUE(c->displayUI(CGRect(0, 0, 375, 768)));
    ASSERT_TRUE(c->displayUI(CGRect(0, 0, 375, 768)));
    ASSERT_EQ(screen->target->subviews().size(), 1u) << "a second layout leaves one clip view";
    auto clip = screen->target->subviews().front();
    EXPECT_EQ(clip->tag(), KJBaseTipViewController::kHighlightClipViewTag);
    EXPECT_EQ(clip->frame(), CGRect(-12, -12, 124, 64));
    EXPECT_DOUBLE_EQ(clip->layer()->cornerRadius, 32);

    // The content box inside the padding, the title at its top, the text below the title row,
    // the right-aligned next button at the bottom right.
    const CGRect content = c->viewContent->frame();
    EXPECT_EQ(content, CGRect(12, 10, 300 - 24, c->view()->bounds().height() - 20));
    EXPECT_EQ(c->labelTitle->frame().origin, (CGPoint{0, 0}));
    EXPECT_DOUBLE_EQ(c->labelContent->frame().minY(), c->viewTitle->frame().maxY());
    EXPECT_DOUBLE_EQ(c->button2->frame().maxX(), content.width());
    EXPECT_DOUBLE_EQ(c->button2->frame().maxY(), content.height());
}

TEST_F(TipLayoutTest, ACarouselStepAsksTheHostsCarouselToLayItselfOut) {
    auto step = modalStep();
    auto series = std::make_shared<KJTipSeriesElement>();
    series->arrayTips = {bareStep(), step};
    step->series = series;
    step->carousel = std::make_shared<KJTipCarouselElement>();
    step->carousel->margin.bottom = 5;
    auto page = std::make_shared<KJTipCarouselItem>();
    page->button = std::make_shared<KJTipButtonElement>();
    page->button->buttonText = "Go";
    page->button->margin.left = 3;
    step->carousel->items.emplace({page, std::make_shared<KJTipCarouselItem>()});
    std::vector<Notification> posted;
    auto observer = NotificationCenter::defaultCenter().addObserver(
        KJBaseTipViewController::kCarouselLayoutNotification, nullptr, nullptr,
        [&](const Notification& n) { posted.push_back(n); });
    auto c = controllerFor(step);
    ASSERT_TRUE(c->displayUI(CGRect(0, 0, 375, 768)));
    NotificationCenter::defaultCenter().removeObserver(observer);

    ASSERT_EQ(posted.size(), 1u);
    const Value& tip = posted[0].userInfo()["tip"];
    EXPECT_EQ(posted[0].userInfo()["stepId"], Value("1"));
    EXPECT_EQ(tip["items"].count(), 2u);
    EXPECT_EQ(tip["items"][0]["button_margin_left"], Value(3.0));
    EXPECT_EQ(tip["feed_id"], Value("feed-1"));
    // Room below for the next button: its 14-point text is 18 high, plus the carousel's margin.
    EXPECT_EQ(tip["margin.bottom"], Value(18.0 + 5));
    EXPECT_EQ(posted[0].object<UIView>("view"), c->viewContent);
    auto button = posted[0].object<UIButton>("items.0.button_obj");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->tag(), 0);
}

}  // namespace
}  // namespace brindlecue::tipscreen
