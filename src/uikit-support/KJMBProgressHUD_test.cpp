#include "uikit-support/KJMBProgressHUD.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Progress.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAppearance.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIMotionEffect.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "support/FakeTextMeasurer.h"
#include "uikit-support/KJMBBackgroundView.h"
#include "uikit-support/KJMBBarProgressView.h"
#include "uikit-support/KJMBProgressHUDRoundedButton.h"
#include "uikit-support/KJMBRoundProgressView.h"

namespace brindlecue {
namespace {

using namespace platform;
using Mode = KJMBProgressHUDDisplayMode;

struct CountingDelegate : KJMBProgressHUDDelegate {
    int hidden = 0;
    void hudWasHidden(KJMBProgressHUD&) override { ++hidden; }
};

class ProgressHUD : public testing::Test {
protected:
    void SetUp() override { Clock::useVirtual(); }

    std::shared_ptr<KJMBProgressHUD> hudWithCounters(bool show = true) {
        auto hud = KJMBProgressHUD::initWithView(host);
        hud->setRemoveFromSuperViewOnHide(true);
        hud->setDelegate(delegate);
        hud->setCompletionBlock([this] { ++completions; });
        host->addSubview(hud);
        if (show) hud->showAnimated(true);
        return hud;
    }

    std::shared_ptr<UIView> host = make<UIView>(CGRect(0, 0, 320, 480));
    std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();
    int completions = 0;
};

TEST_F(ProgressHUD, ThankYouTextHidesAfterItsDelayAndRemovesItself) {
    auto hud = KJMBProgressHUD::showHUDAddedTo(host, true);
    hud->setDelegate(delegate);
    hud->setMode(Mode::textMode);
    hud->label()->setText("Thank you!");
    hud->hideAnimated(true, 1.5);
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(hud->bezelView()->alpha(), 1);
    Clock::advance(1.49);
    EXPECT_EQ(hud->superview(), host);
    Clock::advance(0.02);  // the hide starts: no longer found, fading out
    EXPECT_EQ(KJMBProgressHUD::HUDForView(host), nullptr);
    EXPECT_EQ(hud->superview(), host);
    Clock::advance(0.3);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(delegate->hidden, 1);
}

TEST_F(ProgressHUD, GraceTimeMinimumShowTimeAndDelayedHides) {
    // A hide during the grace time ends the HUD at once, never shown.
    auto hud = hudWithCounters(false);
    hud->setGraceTime(1);
    hud->showAnimated(true);
    Clock::advance(0.5);
    EXPECT_EQ(hud->alpha(), 0);
    hud->hideAnimated(true);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);
    Clock::advance(1);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->bezelView()->alpha(), 0);

    // Minimum show time 2 s: a hide 0.5 s after showing starts 1.5 s later.
    hud = hudWithCounters();
    hud->setMinShowTime(2);
    Clock::advance(0.5);
    hud->hideAnimated(false);
    Clock::advance(1.49);
    EXPECT_EQ(completions, 1);
    Clock::advance(0.02);
    EXPECT_EQ(completions, 2);

    // Only the second of two delayed hides counts, and a showing cancels a pending one.
    hud = hudWithCounters();
    hud->hideAnimated(false, 1);
    hud->hideAnimated(false, 3);
    Clock::advance(2);
    EXPECT_EQ(completions, 2);
    Clock::advance(1.01);
    EXPECT_EQ(completions, 3);
    hud = hudWithCounters();
    hud->hideAnimated(false, 1);
    hud->showAnimated(false);
    Clock::advance(2);
    EXPECT_EQ(completions, 3);
    EXPECT_EQ(hud->superview(), host);
}

TEST_F(ProgressHUD, FindingHUDsOfAView) {
    auto lower = hudWithCounters();
    auto upper = hudWithCounters();
    EXPECT_EQ(KJMBProgressHUD::HUDForView(host), upper);
    upper->setRemoveFromSuperViewOnHide(false);
    upper->hideAnimated(false);
    EXPECT_EQ(KJMBProgressHUD::HUDForView(host), lower);
    EXPECT_TRUE(KJMBProgressHUD::hideHUDForView(host, false));
    EXPECT_EQ(KJMBProgressHUD::allHUDsForView(host).size(), 1u);  // the finished one stays
    EXPECT_FALSE(KJMBProgressHUD::hideHUDForView(host, false));
}

TEST_F(ProgressHUD, ModesAnimationsAndColours) {
    auto hud = hudWithCounters();
    auto spinner = hud->indicator();
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityIndicatorView>(spinner));
    hud->setMode(Mode::activityMode);
    EXPECT_EQ(hud->indicator(), spinner);
    hud->setMode(Mode::ringMode);
    auto round = std::dynamic_pointer_cast<KJMBRoundProgressView>(hud->indicator());
    ASSERT_TRUE(round);
    hud->setMode(Mode::pieMode);
    EXPECT_EQ(hud->indicator(), round);
    EXPECT_TRUE(round->isAnnular());
    EXPECT_EQ(spinner->superview(), nullptr);

    hud->setProgress(0.4f);
    EXPECT_EQ(round->progress(), 0.4f);
    hud->setContentColor(UIColor::redColor());
    EXPECT_EQ(hud->label()->textColor(), UIColor::redColor());
    EXPECT_EQ(round->progressTintColor(), UIColor::redColor());
    EXPECT_EQ(round->backgroundTintColor(), UIColor(1, 0, 0, 0.1));
    // A colour the host set on the appearance proxy is left alone.
    UIAppearance::appearanceWhenContainedInInstancesOfClasses("KJMBBarProgressView", {"KJMBProgressHUD"})
        ->setColorForKey("progressColor", UIColor::greenColor());
    hud->setMode(Mode::barMode);
    auto bar = std::dynamic_pointer_cast<KJMBBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->progressColor(), UIColor::whiteColor());
    EXPECT_EQ(bar->lineColor(), UIColor::redColor());
    EXPECT_EQ(bar->progress(), 0.4f);

    // Zoom goes out to half size.
    hud->setAnimationType(KJMBProgressHUDAnimationType::zoomAnimation);
    hud->hideAnimated(true);
    EXPECT_EQ(hud->bezelView()->transform(), CGAffineTransform::makeScale(0.5, 0.5));
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
    EXPECT_EQ(completions, 0);
    Clock::advance(0.31);
    EXPECT_EQ(completions, 1);
}

TEST_F(ProgressHUD, FollowsAProgressObjectWhileShown) {
    auto hud = hudWithCounters();
    hud->setMode(Mode::barMode);
    auto progress = std::make_shared<Progress>(10);
    hud->setProgressObject(progress);
    progress->setCompletedUnitCount(3);
    Clock::advance(0.05);
    EXPECT_FLOAT_EQ(hud->progress(), 0.3f);
    hud->hideAnimated(false);
    progress->setCompletedUnitCount(9);
    Clock::advance(0.05);
    EXPECT_FLOAT_EQ(hud->progress(), 0.3f);
}

TEST_F(ProgressHUD, StackLayoutAndGaps) {
    testsupport::ScopedTextMeasurer measurer;
    auto hud = hudWithCounters();
    hud->setMode(Mode::textMode);
    hud->label()->setText("Thanks");  // 6 bold characters of 16 points: 58 x 20
    hud->layoutIfNeeded();
    for (const auto& gap : hud->paddingConstraints()) EXPECT_EQ(gap->constant(), 0);
    CGSize label = hud->label()->frame().size;
    EXPECT_EQ(hud->bezelView()->bounds().size, (CGSize{label.width + 40, label.height + 40}));
    EXPECT_EQ(hud->bezelView()->center(), (CGPoint{160, 240}));
    EXPECT_EQ(hud->label()->frame().origin.y, 20);

    // A button with an action takes room, 4 points below the label; the bezel keeps its
    // margins when the offset pushes it to an edge.
    hud->button()->setTitle("Cancel", UIControlStateNormal);
    hud->button()->addTarget(hud, makeSelector<KJMBProgressHUD>("cleanUp", &KJMBProgressHUD::cleanUp),
                             UIControlEventTouchUpInside);
    hud->setOffset({0, KJMBProgressMaxOffset});
    hud->layoutIfNeeded();
    ASSERT_EQ(hud->paddingConstraints().size(), 4u);
    EXPECT_EQ(hud->paddingConstraints()[1]->constant(), 0);  // details label: empty
    EXPECT_EQ(hud->paddingConstraints()[2]->constant(), 4);  // button under the label
    EXPECT_EQ(hud->button()->frame().origin.y, 20 + label.height + 4);
    EXPECT_EQ(hud->bezelView()->frame().maxY(), 480 - 20);
}

TEST_F(ProgressHUD, BezelLooksMotionEffectsAndTheOlderInterface) {
    auto hud = hudWithCounters();
    auto bezel = hud->bezelView();
    EXPECT_EQ(bezel->style(), KJMBBackgroundStyle::blurStyle);
    ASSERT_TRUE(bezel->effectView());
    EXPECT_EQ(bezel->effectView()->superview(), bezel);
    ASSERT_EQ(bezel->motionEffects().size(), 1u);
    auto group = std::dynamic_pointer_cast<UIMotionEffectGroup>(bezel->motionEffects()[0]);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->motionEffects.size(), 2u);
    hud->setDefaultMotionEffectsEnabled(false);
    EXPECT_TRUE(bezel->motionEffects().empty());

    // Switching to a solid colour drops the effect view.
    auto effect = bezel->effectView();
    bezel->setStyle(KJMBBackgroundStyle::solidColorStyle);
    EXPECT_EQ(bezel->effectView(), nullptr);
    EXPECT_EQ(effect->superview(), nullptr);
    hud->setColor(UIColor::blueColor());
    EXPECT_EQ(bezel->backgroundColor(), UIColor::blueColor());

    EXPECT_FALSE(hud->dimBackground());
    hud->setDimBackground(true);
    EXPECT_TRUE(hud->dimBackground());
    hud->setYOffset(30);
    hud->setXOffset(-5);
    EXPECT_EQ(hud->offset(), (CGPoint{-5, 30}));

    // Rotation resizes the HUD to its superview.
    host->setFrame(CGRect(0, 0, 480, 320));
    NotificationCenter::defaultCenter().post(
        UIApplication::UIApplicationDidChangeStatusBarOrientationNotification);
    EXPECT_EQ(hud->frame(), CGRect(0, 0, 480, 320));
}

TEST_F(ProgressHUD, ATaskRunsOnItsQueueAndTheHUDHidesAfterIt) {
    auto hud = hudWithCounters(false);
    std::atomic<bool> ran{false};
    hud->showAnimated(
        false, [&] { ran = true; }, DispatchQueue::serial("hud-task"), [this] { completions += 10; });
    EXPECT_TRUE(hud->taskInProgress());
    RunLoop::main().runUntil([&] { return !hud->taskInProgress(); });
    EXPECT_TRUE(ran);
    EXPECT_EQ(completions, 10);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUD, EachAnimationTypeSettlesTheBezelShownAndScalesItAway) {
    using Type = KJMBProgressHUDAnimationType;
    const std::pair<Type, CGAffineTransform> hiddenAt[] = {
        {Type::fadeAnimation, CGAffineTransform::identity()},
        {Type::growAnimation, CGAffineTransform::makeScale(1.5, 1.5)},
        {Type::shrinkAnimation, CGAffineTransform::makeScale(0.5, 0.5)},
        {Type::zoomAnimation, CGAffineTransform::makeScale(0.5, 0.5)}};
    for (const auto& [type, end] : hiddenAt) {
        SCOPED_TRACE(static_cast<int>(type));
        auto hud = hudWithCounters(false);
        hud->setAnimationType(type);
        hud->setOpacity(0.8);
        UIViewAnimationRecorder::reset();
        hud->showAnimated(true);
        EXPECT_EQ(hud->bezelView()->transform(), CGAffineTransform::identity());
        EXPECT_EQ(hud->bezelView()->alpha(), 0.8);
        EXPECT_EQ(hud->backgroundView()->alpha(), 1);
        ASSERT_EQ(UIViewAnimationRecorder::records().size(), 1u);
        const auto& spring = UIViewAnimationRecorder::records()[0];
        EXPECT_EQ(spring.kind, UIViewAnimationRecord::Kind::Spring);
        EXPECT_EQ(spring.duration, 0.3);
        EXPECT_EQ(spring.dampingRatio, 1.0);
        EXPECT_EQ(spring.options, UIViewAnimationOptionBeginFromCurrentState);
        hud->hideAnimated(true);
        EXPECT_EQ(hud->bezelView()->transform(), end);
        EXPECT_EQ(hud->bezelView()->alpha(), 0);
        EXPECT_EQ(hud->superview(), host);  // until the fade has run
        Clock::advance(0.31);
        EXPECT_EQ(hud->superview(), nullptr);
    }
    EXPECT_EQ(completions, 4);
    EXPECT_EQ(delegate->hidden, 4);
}

TEST_F(ProgressHUD, AHideAfterTheMinimumShowTimeGoesAtOnce) {
    auto hud = hudWithCounters();
    hud->setMinShowTime(1);
    Clock::advance(1.5);
    hud->hideAnimated(false);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(hud->superview(), nullptr);
    // Never shown: a hide does not wait for the minimum time either.
    auto unseen = hudWithCounters(false);
    unseen->setMinShowTime(1);
    unseen->hideAnimated(true);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(unseen->alpha(), 0);
}

TEST_F(ProgressHUD, TheOlderInterfaceHidesEveryHUDAndRunsASelectorWhileShowing) {
    auto first = hudWithCounters();
    auto second = hudWithCounters();
    second->setRemoveFromSuperViewOnHide(false);
    second->hideAnimated(false);  // finished, still a subview
    auto third = hudWithCounters();
    EXPECT_EQ(KJMBProgressHUD::allHUDsForView(host), (std::vector<std::shared_ptr<KJMBProgressHUD>>{first, second, third}));
    EXPECT_EQ(KJMBProgressHUD::hideAllHUDsForView(host, false), 3u);
    EXPECT_TRUE(host->subviews().empty());
    EXPECT_EQ(KJMBProgressHUD::hideAllHUDsForView(host, false), 0u);
    EXPECT_TRUE(KJMBProgressHUD::allHUDsForView(nullptr).empty());
    EXPECT_EQ(KJMBProgressHUD::HUDForView(nullptr), nullptr);

    struct Worker : NSObject {
        std::atomic<int> calls{0};
        std::shared_ptr<NSObject> received;
        void work(const std::shared_ptr<NSObject>& object) {
            received = object;
            ++calls;
        }
    };
    auto worker = make<Worker>();
    auto payload = make<NSObject>();
    auto hud = hudWithCounters(false);
    hud->showWhileExecuting(makeSelector<Worker>("work:", &Worker::work), worker, payload, false);
    EXPECT_EQ(hud->alpha(), 1);
    RunLoop::main().runUntil([&] { return !hud->taskInProgress(); });
    EXPECT_EQ(worker->calls, 1);
    EXPECT_EQ(worker->received, payload);
    EXPECT_EQ(hud->superview(), nullptr);
    // Without a target there is nothing to call, and the HUD still hides.
    auto idle = hudWithCounters(false);
    idle->showWhileExecuting(makeSelector<Worker>("work:", &Worker::work), nullptr, payload, false);
    RunLoop::main().runUntil([&] { return !idle->taskInProgress(); });
    EXPECT_EQ(worker->calls, 1);
    EXPECT_EQ(idle->superview(), nullptr);
    // One hide each, and a second one for the HUD that had finished before.
    EXPECT_EQ(delegate->hidden, 6);
}

TEST_F(ProgressHUD, IndicatorColourCustomViewAndASecondProgressObject) {
    auto hud = hudWithCounters();
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator());
    ASSERT_TRUE(spinner);
    hud->setActivityIndicatorColor(UIColor::greenColor());
    EXPECT_EQ(spinner->color(), UIColor::greenColor());
    // The content colour reaches the labels; the spinner keeps its own colour.
    hud->setContentColor(UIColor::blueColor());
    EXPECT_EQ(hud->detailsLabel()->textColor(), UIColor::blueColor());
    EXPECT_EQ(spinner->color(), UIColor::greenColor());

    // A custom view waits for the custom mode.
    auto custom = make<UIView>(CGRect(0, 0, 20, 20));
    hud->setCustomView(custom);
    EXPECT_EQ(hud->indicator(), spinner);
    EXPECT_EQ(custom->superview(), nullptr);
    hud->setMode(Mode::customMode);
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->tintColor(), UIColor::greenColor());

    // A progress object given in place of another is followed from then on.
    hud->setMode(Mode::barMode);
    auto before = std::make_shared<Progress>(4);
    auto after = std::make_shared<Progress>(10);
    hud->setProgressObject(before);
    before->setCompletedUnitCount(1);
    Clock::advance(0.05);
    EXPECT_FLOAT_EQ(hud->progress(), 0.25f);
    hud->setProgressObject(after);
    after->setCompletedUnitCount(7);
    before->setCompletedUnitCount(4);
    Clock::advance(0.05);
    EXPECT_FLOAT_EQ(hud->progress(), 0.7f);
    auto bar = std::dynamic_pointer_cast<KJMBBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    EXPECT_FLOAT_EQ(bar->progress(), 0.7f);
}

struct ProgressBadge : UIView, KJMBProgressReceiver {
    float received = -1;
    void setProgress(float p) override { received = p; }
    CGSize intrinsicContentSize() const override { return {30, 30}; }
};

TEST_F(ProgressHUD, GraceTimeElapsedCustomIndicatorAndBezelSizes) {
    testsupport::ScopedTextMeasurer measurer;
    auto hud = hudWithCounters(false);
    hud->setGraceTime(0.5);
    hud->showAnimated(false);
    Clock::advance(0.51);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(hud->bezelView()->alpha(), 1);

    auto badge = make<ProgressBadge>();
    hud->setCustomView(badge);
    hud->setMode(KJMBProgressHUDDisplayMode::customMode);
    EXPECT_EQ(hud->indicator(), badge);
    EXPECT_EQ(badge->superview(), hud->bezelView());
    hud->setProgress(0.7f);
    EXPECT_EQ(badge->received, 0.7f);
    EXPECT_EQ(badge->tintColor(), UIColor::colorWithWhite(0, 0.7));

    // A minimum size and the square flag widen the bezel; the spacers share the extra height.
    hud->setMinSize({200, 150});
    hud->setSquare(true);
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->bezelView()->bounds().size, (CGSize{200, 200}));
    EXPECT_EQ(badge->frame(), CGRect(85, 85, 30, 30));
}

TEST(HUDRoundedButton, TakesRoomOnlyWithAnActionAndFollowsItsTitleColour) {
    auto button = make<KJMBProgressHUDRoundedButton>(CGRect(0, 0, 80, 25));
    button->setTitle("Cancel", UIControlStateNormal);
    EXPECT_EQ(button->intrinsicContentSize(), (CGSize{0, 0}));
    button->addTarget(nullptr, Selector{"cancel:", {}}, UIControlEventTouchUpInside);
    EXPECT_EQ(button->intrinsicContentSize().width, button->sizeThatFits({0, 0}).width + 20);

    button->setTitleColor(UIColor::redColor(), UIControlStateNormal);
    EXPECT_EQ(button->layer()->borderColor, UIColor::redColor());
    EXPECT_EQ(button->layer()->borderWidth, 1);
    button->setHighlighted(true);
    EXPECT_EQ(button->backgroundColor(), UIColor(1, 0, 0, 0.1));
    button->setHighlighted(false);
    EXPECT_EQ(button->backgroundColor(), UIColor::clearColor());
    button->layoutSubviews();
    EXPECT_EQ(button->layer()->cornerRadius, 13);
}

// Draws a view alone into an image at scale 2.
std::shared_ptr<const CGImage> render(const std::shared_ptr<UIView>& view) {
    UIGraphicsBeginImageContextWithOptions(view->bounds().size, false, 2);
    view->drawViewHierarchyInRect(view->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->cgImage();
}

bool isColour(RGBA8 p, uint8_t r, uint8_t g, uint8_t b) {
    return p.a > 200 && std::abs(p.r - r) < 30 && std::abs(p.g - g) < 30 && std::abs(p.b - b) < 30;
}

TEST(HUDIndicators, RingPieAndBarDrawTheirProgress) {
    auto ring = make<KJMBRoundProgressView>();
    ring->setAnnular(true);
    ring->setProgressTintColor(UIColor::redColor());
    ring->setBackgroundTintColor(UIColor::blueColor());
    ring->setProgress(0.25f);
    auto image = render(ring);
    // The quarter from twelve to three o'clock is red, the rest blue; the middle is empty.
    EXPECT_TRUE(isColour(image->pixelAt(2 * 36 - 2, 37), 255, 0, 0));  // three o'clock
    EXPECT_TRUE(isColour(image->pixelAt(2 * 1 + 1, 37), 0, 0, 255));   // nine o'clock
    EXPECT_TRUE(isColour(image->pixelAt(37, 2 * 36 - 2), 0, 0, 255));  // six o'clock
    EXPECT_EQ(image->pixelAt(37, 37).a, 0);

    auto pie = make<KJMBRoundProgressView>();
    pie->setProgressTintColor(UIColor::redColor());
    pie->setProgress(0.5f);
    image = render(pie);
    // The right half of the pie's arc is drawn, the left half is only the outline.
    EXPECT_TRUE(isColour(image->pixelAt(2 * 33, 37), 255, 0, 0));
    EXPECT_EQ(image->pixelAt(2 * 4, 37).a, 0);

    auto bar = make<KJMBBarProgressView>();
    bar->setLineColor(UIColor::blackColor());
    bar->setProgressColor(UIColor::greenColor());
    image = render(bar);
    EXPECT_EQ(image->pixelAt(2 * 30, 20).a, 0);                 // progress 0: only the outline
    EXPECT_TRUE(isColour(image->pixelAt(2 * 30, 2), 0, 0, 0));  // the outline's top edge
    bar->setProgress(0.5f);
    image = render(bar);
    EXPECT_TRUE(isColour(image->pixelAt(2 * 30, 20), 0, 255, 0));
    EXPECT_EQ(image->pixelAt(2 * 90, 20).a, 0);
    bar->setProgress(0.02f);  // inside the rounded left end: its cap only
    image = render(bar);
    EXPECT_TRUE(isColour(image->pixelAt(2 * 6, 20), 0, 255, 0));
    EXPECT_EQ(image->pixelAt(2 * 30, 20).a, 0);
}

}  // namespace
}  // namespace brindlecue
