#include "presentation/KJCoachmarkTipViewController.h"

#include <gtest/gtest.h>

#include "feed/KJTipCoachmarkElement.h"
#include "foundation/KJLog.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIVisualEffectView.h"
#include "presentation/KJRadialGradientLayer.h"
#include "presentation/PaddingLabel.h"
#include "presentation/TipPresentationScene_test.h"

namespace brindlecue::tipscreen {
namespace {

// A coachmark 300 points wide over a dimming of black at 0.6.
std::shared_ptr<KJTipElement> coachmarkStep(int32_t style, int32_t diffuse) {
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "coach-1";
    step->tipType = 4;
    step->widthUnit = "DP";
    step->width = 300;
    step->padding = {10, 10, 10, 10};
    step->backgroundColor = UIColor::whiteColor();
    step->title = std::make_shared<KJTipTextElement>();
    step->title->text = "Your picture";
    step->content = std::make_shared<KJTipTextElement>();
    step->content->text = "Tap the lit button to change it.";
    step->overlayColor = UIColor::blackColor();
    step->overlayAlpha = 0.6;
    step->coachmark = std::make_shared<KJTipCoachmarkElement>();
    step->coachmark->style = style;
    step->coachmark->diffuse = diffuse;
    step->coachmark->cornerRadius = 6;
    step->coachmark->width = step->coachmark->height = 80;
    return step;
}

class CoachmarkTest : public TipScreenTest {
protected:
    void SetUp() override {
        TipScreenTest::SetUp();
        screen->view()->setBackgroundColor(UIColor::whiteColor());
        screen->target->setBackgroundColor(UIColor(0, 1, 0, 1));
    }
    void TearDown() override {
        if (coachmark) coachmark->dismissOnTopWithRemoveCover(true);
        UIApplication::sharedApplication()->setStatusBarHeight(44);
        TipScreenTest::TearDown();
    }

    std::shared_ptr<KJCoachmarkTipViewController> show(const std::shared_ptr<KJTipElement>& step) {
        if (coachmark) coachmark->dismissOnTopWithRemoveCover(true);
        step->targetControl = screen->target;
        coachmark = make<KJCoachmarkTipViewController>();
        coachmark->setTipManager(engine);
        coachmark->setTip(step);
        shown.clear();
        failed.clear();
        present(coachmark);
        return coachmark;
    }

    std::shared_ptr<const CGImage> drawWindow() {
        UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, 1);
        window->drawViewHierarchyInRect(window->bounds(), true);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image->cgImage();
    }

    std::shared_ptr<KJCoachmarkTipViewController> coachmark;
};

TEST_F(CoachmarkTest, TheLitSpotIsShapedByTheStyleAroundTheTarget) {
    // The target is at (40, 256, 100, 40) in the cover.
    show(coachmarkStep(KJCoachmarkTipViewController::kCircular, 0));
    ASSERT_EQ(shown.size(), 1u);
    auto spot = coachmark->highlightView();
    EXPECT_EQ(spot->frame(), CGRect(40, 226, 100, 100)) << "a circle on the target's larger side";
    EXPECT_DOUBLE_EQ(spot->layer()->cornerRadius, 50);
    EXPECT_TRUE(spot->clipsToBounds());
    EXPECT_EQ(spot->superview(), cover());
    EXPECT_EQ(cover()->subviews().back(), spot) << "above the tip";

    show(coachmarkStep(KJCoachmarkTipViewController::kRectangular, 0));
    EXPECT_EQ(coachmark->highlightView()->frame(), CGRect(40, 256, 100, 40));
    EXPECT_DOUBLE_EQ(coachmark->highlightView()->layer()->cornerRadius, 6);

    screen->target->setFrame(CGRect(40, 300, 200, 50));
    show(coachmarkStep(KJCoachmarkTipViewController::kCustom, 0));
    EXPECT_EQ(coachmark->highlightView()->frame(), CGRect(100, 241, 80, 80)) << "centred on the target";

    show(coachmarkStep(0, 0));
    EXPECT_EQ(coachmark->highlightView()->frame(), CGRect());

    // The tip box is centred on the cover, its title row hidden.
    EXPECT_DOUBLE_EQ(coachmark->view()->frame().minX(), 37.5);
    EXPECT_TRUE(coachmark->viewTitle->isHidden());
    EXPECT_FALSE(coachmark->labelContent->isHidden());
}

TEST_F(CoachmarkTest, TheLitSpotShowsWhatLiesUnderTheTargetWhateverTheStatusBar) {
    for (double statusBar : {20.0, 44.0, 59.0}) {
        SCOPED_TRACE(statusBar);
        UIApplication::sharedApplication()->setStatusBarHeight(statusBar);
        show(coachmarkStep(KJCoachmarkTipViewController::kRectangular, 0));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(coachmark->highlightView()->frame(), CGRect(40, 300 - statusBar, 100, 40));
        auto piece = coachmark->highlightView()->image();
        ASSERT_TRUE(piece);
        EXPECT_EQ(piece->size(), (CGSize{100, 40}));
        // The button's green to the last row, no white from around it.
        for (int y : {0, 20, 39}) {
            const auto pixel = piece->cgImage()->pixelAt(50, y);
            EXPECT_EQ(std::make_tuple(pixel.r, pixel.g, pixel.b), std::make_tuple(0, 255, 0)) << "row " << y;
        }
    }
    // On screen the spot is as bright as the button beside a dimmed screen.
    auto drawn = drawWindow();
    EXPECT_EQ(drawn->pixelAt(90, 320).g, 255);
    EXPECT_NEAR(drawn->pixelAt(10, 780).r, 102, 2);
}

TEST_F(CoachmarkTest, TheScreenIsDimmedBlurredOrDarkenedFromTheSpotOutwards) {
    const CGRect bounds(0, 0, 375, 812 - 44);
    show(coachmarkStep(KJCoachmarkTipViewController::kRectangular, KJCoachmarkTipViewController::kNone));
    ASSERT_FALSE(cover()->layer()->sublayers().empty());
    auto dimming = std::dynamic_pointer_cast<CAShapeLayer>(cover()->layer()->sublayers().front());
    ASSERT_TRUE(dimming);
    EXPECT_EQ(dimming->fillRule, "even-odd");
    EXPECT_EQ(dimming->fillColor, UIColor(0, 0, 0, 0.6));
    CGPath whole;
    whole.addRect(bounds);
    EXPECT_EQ(dimming->path, whole);
    auto grow = std::dynamic_pointer_cast<CABasicAnimation>(
        dimming->animationForKey(KJCoachmarkTipViewController::kDimmingAnimationKey));
    ASSERT_TRUE(grow);
    EXPECT_EQ(grow->duration, 1.0);
    EXPECT_EQ(grow->timingFunction, "easeOut");
    EXPECT_FALSE(grow->removedOnCompletion);
    EXPECT_EQ(grow->fillMode, "forwards");
    EXPECT_FALSE(std::dynamic_pointer_cast<UIVisualEffectView>(cover()->subviews().front()));

    // A step read from a document carries no overlay alpha: its colour dims with its own alpha.
    auto fromDocument = coachmarkStep(KJCoachmarkTipViewController::kRectangular, KJCoachmarkTipViewController::kNone);
    fromDocument->overlayColor = UIColor(0, 0, 0, 0.5);
    fromDocument->overlayAlpha = 0;
    show(fromDocument);
    auto documentDimming = std::dynamic_pointer_cast<CAShapeLayer>(cover()->layer()->sublayers().front());
    ASSERT_TRUE(documentDimming);
    EXPECT_EQ(documentDimming->fillColor, UIColor(0, 0, 0, 0.5));

    show(coachmarkStep(KJCoachmarkTipViewController::kRectangular, KJCoachmarkTipViewController::kBlur));
    auto blur = std::dynamic_pointer_cast<UIVisualEffectView>(cover()->subviews().front());
    ASSERT_TRUE(blur) << "the blur lies under everything on the cover";
    EXPECT_EQ(blur->frame(), bounds);
    EXPECT_DOUBLE_EQ(blur->alpha(), 0.9);
    EXPECT_TRUE(std::dynamic_pointer_cast<CAShapeLayer>(cover()->layer()->sublayers().front()));

    show(coachmarkStep(KJCoachmarkTipViewController::kRectangular, KJCoachmarkTipViewController::kGradient));
    auto gradient = std::dynamic_pointer_cast<KJRadialGradientLayer>(cover()->layer()->sublayers().front());
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->gradientCenter, (CGPoint{90, 276}));
    EXPECT_DOUBLE_EQ(gradient->gradientRadius, 300);
    EXPECT_EQ(gradient->endColor, UIColor(0, 0, 0, 0.6));
    for (const auto& layer : cover()->layer()->sublayers())
        EXPECT_FALSE(std::dynamic_pointer_cast<CAShapeLayer>(layer)) << "the gradient is the only dimming";
    // White under the spot's centre, darker outwards, the full dimming past three times its side.
    auto drawn = drawWindow();
    const int near = drawn->pixelAt(160, 320).r;
    const int farther = drawn->pixelAt(300, 320).r;
    EXPECT_GT(near, farther + 40);
    EXPECT_NEAR(drawn->pixelAt(370, 800).r, 102, 2);
    EXPECT_EQ(drawn->pixelAt(370, 20).r, 255) << "nothing is darkened outside the cover";
}

TEST_F(CoachmarkTest, ACoachmarkWithoutTargetOrRoomIsNotShown) {
    auto lost = coachmarkStep(KJCoachmarkTipViewController::kCircular, 0);
    coachmark = make<KJCoachmarkTipViewController>();
    coachmark->setTipManager(engine);
    coachmark->setTip(lost);
    present(coachmark);
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_FALSE(coachmark->highlightView());
    EXPECT_FALSE(coachmark->layoutRegularViews({100, 100}));

    std::vector<std::string> lines;
    KJLogSetObserver([&](int, const std::string& line) { lines.push_back(line); });
    auto flat = coachmarkStep(KJCoachmarkTipViewController::kCircular, 0);
    flat->height = 5;
    show(flat);
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.starts_with("Invalid size {{"); }));
}

}  // namespace
}  // namespace brindlecue::tipscreen
