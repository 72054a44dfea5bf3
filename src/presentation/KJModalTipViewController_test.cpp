#include "presentation/KJModalTipViewController.h"

#include <gtest/gtest.h>

#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "presentation/KJCoverView.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipPresentation.h"
#include "presentation/PaddingLabel.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

// What the tip controllers ask of the facade, answered from the scene's facade.
class PresentationFacade final : public BLQITipPresentationFacade {
public:
    explicit PresentationFacade(std::shared_ptr<RecordingFacade> facade) : facade_(std::move(facade)) {}
    std::optional<std::string> appKey() const override { return facade_->appKey(); }
    std::shared_ptr<UIViewController> topMostViewController() const override { return nullptr; }
    void sendFeedAck(const std::string& feedId) override { facade_->sendFeedAck(feedId); }
    void notifyFeedResult(const std::string& feedId, const std::string& campaignId, BLQFeedResult result,
                          const std::string& stepId, bool deleteFeed, bool completed) override {
        facade_->notifyFeedResult(feedId, campaignId, result, stepId, deleteFeed, completed);
    }

private:
    std::shared_ptr<RecordingFacade> facade_;
};

// A two-step modal campaign on the home screen, with a highlight around a button of the screen.
constexpr const char* kStepDocument =
    R"(, "title": {"text": "Your profile", "font-size": 18, "color": "#222222"},
        "content": {"text": "Tap the button to change your picture.", "font-size": 14, "color": "#444444",
                    "margin-top": 6},
        "buttons": {"next": {"text": "Next", "button-align": "right", "color": "#FFFFFF",
                             "background-color": "#3366CC", "padding-top": 6, "padding-bottom": 6,
                             "padding-left": 12, "padding-right": 12, "margin-top": 10},
                    "dismiss": {"file-name": "close", "width": 16, "height": 16}},
        "overlay": {"type": "Coachmark", "background-color": "#99000000", "border-color": "#FFFFCC00",
                    "border-width": 2, "corner-radius": 12, "padding-top": 8, "padding-bottom": 8,
                    "padding-left": 8, "padding-right": 8})";

class ModalTipTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        KJTipDismissElement::registerWithCampaignModel();
        KJTipPresentation::registerWithTipEngine();
        KJTipPresentation::setFacade(presentationFacade);
        home->view()->setBackgroundColor(UIColor::whiteColor());
        target = make<UIButton>(CGRect(40, 300, 100, 40));
        target->setBackgroundColor(UIColor(0.2, 0.7, 0.3, 1));
        home->view()->addSubview(target);

        CampaignSpec campaign{.id = "profile"};
        campaign.steps = {StepSpec{.extra = kStepDocument}, StepSpec{.extra = kStepDocument}};
        store({campaign});
        makeEngine();
        for (const auto& step : live("profile")->arrayTips) {
            // The step points at the button and fades in; its tip is 300 points wide.
            step->targetControl = target;
            step->widthUnit = "DP";
            step->width = 300;
            step->padding = {12, 12, 14, 14};
            step->animation = std::make_shared<KJTipAnimationElement>();
            step->animation->inType = 1;
            step->animation->inDuration = 0.3;
        }
    }

    void TearDown() override {
        KJTipPresentation::setFacade(nullptr);
        KJElementClass::registerFactories("KJTipDismissElement", {});
        TipEngineTest::TearDown();
    }

    std::shared_ptr<KJModalTipViewController> current() const {
        return std::dynamic_pointer_cast<KJModalTipViewController>(engine->currentTipViewController());
    }
    std::shared_ptr<KJCoverView> coverOnScreen() const {
        auto c = current();
        auto cover = c ? std::dynamic_pointer_cast<KJCoverView>(c->coverView()) : nullptr;
        return cover && cover->window() ? cover : nullptr;
    }

    std::shared_ptr<PresentationFacade> presentationFacade = std::make_shared<PresentationFacade>(facade);
    std::shared_ptr<UIButton> target;
};

TEST_F(ModalTipTest, TheEnginePresentsAModalTipThatIsDrawnMovedOnAndSwipedAway) {
    showScreen(home);
    ASSERT_TRUE(settle([&] { return coverOnScreen() && !facade->acksSoFar().empty(); }));
    auto first = current();
    auto cover = coverOnScreen();
    EXPECT_EQ(cover->frame(), CGRect(0, 44, 375, 812 - 44)) << "below the status bar";
    EXPECT_EQ(cover->highlightFrame(), CGRect(40 - 10, 300 - 44 - 10, 120, 60));
    EXPECT_DOUBLE_EQ(cover->cornerRadius(), 12);
    EXPECT_EQ(facade->acksSoFar(), std::vector<std::string>{"profile"});
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "profile");
    EXPECT_EQ(UIViewAnimationRecorder::records().back().duration, 0.3) << "the fade-in ran";

    // Drawn: white under the dim, the green target in the hole, the yellow border around it, the
    // tip white with its title's text dark.
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, 1);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto pixel = [&](int x, int y) { return image->cgImage()->pixelAt(x, y); };
    EXPECT_NEAR(pixel(10, 780).r, 102, 3);
    EXPECT_NEAR(pixel(90, 320).g, 179, 1);
    EXPECT_GT(pixel(30, 320).r, 200);
    EXPECT_LT(pixel(30, 320).b, 60);
    const CGRect tip = first->view()->frame();
    EXPECT_EQ(pixel(int(tip.minX()) + 4, int(tip.maxY()) - 4 + 44).r, 255);
    const CGRect title = first->labelTitle->convertRectToView(first->labelTitle->bounds(), window);
    int dark = 0;
    for (int x = int(title.minX()); x < int(title.maxX()); ++x)
        for (int y = int(title.minY()); y < int(title.maxY()); ++y) dark += pixel(x, y).r < 100;
    EXPECT_GT(dark, 30);

    // The next button reports the step and shows the second one with a new controller.
    TouchDriver::tap(first->button2);
    ASSERT_TRUE(settle([&] { return current() && current() != first && coverOnScreen(); }));
    EXPECT_EQ(facade->results.front(),
              (FeedResult{"profile", "c-profile", BLQFeedResult::next, "s0", false, false}));
    auto second = current();

    // A swipe takes the tip away without a report.
    auto pan =
        std::dynamic_pointer_cast<UIPanGestureRecognizer>(second->view()->gestureRecognizers().front());
    pan->setWindowVelocity({300, 10});
    pan->transitionTo(UIGestureRecognizerState::Began);
    pan->transitionTo(UIGestureRecognizerState::Changed);
    EXPECT_EQ(second->animationDirection, 4u);
    EXPECT_FALSE(engine->currentTipViewController());
    ASSERT_TRUE(settle([&] { return !second->coverView()->window(); }));
    EXPECT_EQ(facade->results.size(), 1u);
}

}  // namespace
}  // namespace brindlecue::tipscene
