#include "uikit-support/UIViewKJAnimations.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using namespace platform;
using Anim = UIViewKJAnimations;

class ViewAnimations : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        UIViewAnimationRecorder::reset();
        window->addSubview(container);
        container->addSubview(view);
    }
    std::shared_ptr<UIWindow> window = make<UIWindow>(CGRect(0, 0, 320, 480));
    std::shared_ptr<UIView> container = make<UIView>(CGRect(0, 0, 320, 480));
    std::shared_ptr<UIView> view = make<UIView>(CGRect(20, 30, 100, 50));
    int calls = 0;
    UIViewKJAnimations::Finished count = [this] { ++calls; };
};

TEST_F(ViewAnimations, MovesApplyAtOnceAndCallBackAfterTheDuration) {
    Anim::setX(view, -400, 0, count);
    EXPECT_EQ(view->frame(), CGRect(-400, 30, 100, 50));
    EXPECT_EQ(calls, 0);  // even a zero-length step completes on a later turn
    Clock::advance(0);
    EXPECT_EQ(calls, 1);

    Anim::setPoint(view, {5, 6}, count);
    EXPECT_EQ(view->frame().origin, (CGPoint{5, 6}));
    EXPECT_EQ(UIViewAnimationRecorder::records().back().duration, 0.25);
    Clock::advance(0.24);
    EXPECT_EQ(calls, 1);
    Clock::advance(0.02);
    EXPECT_EQ(calls, 2);

    Anim::movePoint(view, {10, -6}, 0.1, nullptr);
    EXPECT_EQ(view->frame(), CGRect(15, 0, 100, 50));
    EXPECT_EQ(Anim::vectorDirection(7), (CGPoint{-1, 0}));
    EXPECT_NEAR(degreesToRadians(180), 3.141592653589793, 1e-15);
}

TEST_F(ViewAnimations, AttentionEffectsEndWhereTheyStartedAndCallBackOnce) {
    Anim::bounce(view, count);
    Anim::shake(view, count);
    Clock::advance(0.61);  // bounce: 0.25 + 0.15 + 0.15 + 0.05; shake: 4 x 0.15
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(view->frame(), CGRect(20, 30, 100, 50));

    Anim::tada(view, count);
    Clock::advance(8 * 0.12 + 0.01);
    EXPECT_EQ(calls, 3);
    EXPECT_NEAR(view->transform().a, 1, 1e-12);  // scale 1, rotation 0
    EXPECT_NEAR(view->transform().b, 0, 1e-12);

    // Swing holds the view weakly: a view released halfway ends the chain without the callback.
    auto loose = make<UIView>(CGRect(0, 0, 10, 10));
    Anim::swing(loose, count);
    loose.reset();
    Clock::advance(1.1);
    EXPECT_EQ(calls, 3);
}

TEST_F(ViewAnimations, ExpandAndCompress) {
    auto front = make<UIView>();
    container->addSubview(front);
    Anim::expandIntoView(view, container, 0.3, count);
    EXPECT_EQ(container->subviews().back(), view);
    EXPECT_EQ(view->transform(), CGAffineTransform::makeScale(1, 1));
    Clock::advance(0.31);
    EXPECT_EQ(calls, 1);

    Anim::compressIntoView(view, 0.2, count);
    EXPECT_FALSE(view->isHidden());
    Clock::advance(0.21);
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->transform(), CGAffineTransform::makeScale(0.001, 0.001));
    EXPECT_EQ(calls, 2);

    Anim::expandIntoView(view, container, 0.3, nullptr);
    EXPECT_FALSE(view->isHidden());
    EXPECT_EQ(view->transform(), CGAffineTransform::makeScale(1, 1));
    const auto& records = UIViewAnimationRecorder::records();
    EXPECT_EQ(records.back().duration, 0.3);
}

TEST_F(ViewAnimations, DynamicEntrancesStartOffTheWindowAndFallsLeave) {
    auto scroll = make<UIScrollView>(CGRect(0, 0, 320, 200));
    scroll->setContentSize({900, 200});
    window->addSubview(scroll);
    CGPoint centre = view->center();
    Anim::snapIntoView(view, scroll, fromRight);
    EXPECT_EQ(view->superview(), scroll);
    EXPECT_EQ(view->frame().origin.x, 900);
    auto animator = Anim::vask_animator(view);
    ASSERT_EQ(animator->behaviors().size(), 1u);
    auto snap = std::dynamic_pointer_cast<UISnapBehavior>(animator->behaviors()[0]);
    ASSERT_TRUE(snap);
    EXPECT_EQ(snap->snapPoint(), centre);
    EXPECT_EQ(snap->damping, 0.75);

    Anim::bounceIntoView(view, container, fromTop);
    EXPECT_EQ(view->frame().origin.y, -480);
    ASSERT_EQ(Anim::vask_animator(view)->behaviors().size(), 1u);
    auto attachment =
        std::dynamic_pointer_cast<UIAttachmentBehavior>(Anim::vask_animator(view)->behaviors()[0]);
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->damping, 0.55);

    // A hinge turns about the top-left corner without moving first, then leaves.
    view->setFrame(CGRect(20, 30, 100, 50));
    Anim::hinge(view, count);
    EXPECT_EQ(view->layer()->anchorPoint(), (CGPoint{0, 0}));
    EXPECT_EQ(view->center(), (CGPoint{20, 30}));
    Clock::advance(1.51);  // four turns of 0.25 s, the fall of 0.5 s
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(view->superview(), nullptr);

    // Without a superview a drop has nothing dynamic but still fades and calls back.
    Anim::drop(view, count);
    EXPECT_EQ(view->alpha(), 0);
    Clock::advance(0.51);
    EXPECT_EQ(calls, 2);
}

TEST_F(ViewAnimations, RotationsPulseAndOffWindowPlacement) {
    Anim::setRotation(view, 90, nullptr);
    Anim::moveRotation(view, 90, count);
    EXPECT_NEAR(view->transform().a, -1, 1e-12);  // 180 degrees in all
    Anim::pulse(view, count);
    EXPECT_EQ(view->transform(), CGAffineTransform::makeScale(1.1, 1.1));
    Clock::advance(0.5 + 0.1 + 0.5 + 0.01);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(view->transform(), CGAffineTransform::makeScale(1.0, 1.0));
    const auto& last = UIViewAnimationRecorder::records().back();
    EXPECT_EQ(last.delay, 0.1);
    EXPECT_EQ(last.duration, 0.5);

    view->setTransform(CGAffineTransform::identity());
    Anim::setDirection(view, fromBottom);
    EXPECT_EQ(view->frame(), CGRect(20, 480, 100, 50));
    Anim::setDirection(view, fromLeft);
    EXPECT_EQ(view->frame(), CGRect(-320, 480, 100, 50));
    Anim::setDirection(view, 42);
    EXPECT_EQ(view->frame().origin.x, 320);

    // A bounce first clears what the superview's animator was doing.
    Anim::vask_animator(view)->addBehavior(
        make<UIGravityBehavior>(std::vector<std::shared_ptr<UIView>>{view}));
    Anim::bounce(view, nullptr);
    EXPECT_TRUE(Anim::vask_animator(view)->behaviors().empty());
}

TEST_F(ViewAnimations, RelativeMovesTakeTheirDefaultDurationAndStartFromWhereTheViewIs) {
    Anim::moveX(view, 15, count);
    EXPECT_EQ(view->frame(), CGRect(35, 30, 100, 50));
    EXPECT_EQ(UIViewAnimationRecorder::records().back().duration, 0.25);
    Anim::moveY(view, -10, 0.4, count);
    EXPECT_EQ(view->frame(), CGRect(35, 20, 100, 50));
    Anim::moveY(view, 5, count);
    Anim::setY(view, 100, count);
    EXPECT_EQ(view->frame(), CGRect(35, 100, 100, 50));
    Anim::setX(view, 5, count);
    Anim::movePoint(view, {1, 2}, count);
    EXPECT_EQ(view->frame(), CGRect(6, 102, 100, 50));
    Anim::setRotation(view, 30, 0.1, nullptr);
    Anim::moveRotation(view, 60, 0.6, count);
    EXPECT_NEAR(view->transform().a, 0, 1e-12);  // 90 degrees in all
    EXPECT_NEAR(view->transform().b, 1, 1e-12);
    Clock::advance(0.26);
    EXPECT_EQ(calls, 5);  // the five steps of 0.25 s
    Clock::advance(0.15);
    EXPECT_EQ(calls, 6);  // the move over 0.4 s
    Clock::advance(0.2);
    EXPECT_EQ(calls, 7);  // the rotation over 0.6 s
    for (const auto& r : UIViewAnimationRecorder::records()) EXPECT_TRUE(r.hadCompletion || r.duration == 0.1);
}

TEST_F(ViewAnimations, ADropInAContainerFallsAndSpinsWhileItFades) {
    auto animator = Anim::vask_animator(view);
    ASSERT_TRUE(animator);
    EXPECT_EQ(animator->referenceView(), container);
    EXPECT_EQ(Anim::vask_animator(view), animator);  // one animator per superview
    animator->addBehavior(make<UISnapBehavior>(view, CGPoint{0, 0}));
    Anim::drop(view, count);
    ASSERT_EQ(animator->behaviors().size(), 2u);  // what the animator did before is cleared
    auto gravity = std::dynamic_pointer_cast<UIGravityBehavior>(animator->behaviors()[0]);
    ASSERT_TRUE(gravity);
    EXPECT_EQ(gravity->gravityDirection, (CGPoint{0, 10}));
    EXPECT_EQ(gravity->items(), (std::vector<std::shared_ptr<UIView>>{view}));
    auto spin = std::dynamic_pointer_cast<UIDynamicItemBehavior>(animator->behaviors()[1]);
    ASSERT_TRUE(spin);
    EXPECT_NEAR(spin->angularVelocityForItem(view), -M_PI / 2, 1e-12);
    EXPECT_EQ(spin->angularVelocityForItem(container), 0);
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->superview(), container);
    Clock::advance(0.51);
    EXPECT_EQ(view->superview(), nullptr);
    EXPECT_EQ(calls, 1);
    // A behaviour's items are held weakly.
    view.reset();
    EXPECT_TRUE(gravity->items().empty());
}

TEST_F(ViewAnimations, EntrancesFromEveryDirectionStartJustOutsideTheWindow) {
    auto elsewhere = make<UIView>(CGRect(0, 0, 320, 480));
    window->addSubview(elsewhere);
    Anim::snapIntoView(view, elsewhere, fromLeft);
    EXPECT_EQ(view->superview(), elsewhere);
    EXPECT_EQ(view->frame(), CGRect(-320, 30, 100, 50));
    EXPECT_TRUE(Anim::vask_animator(make<UIView>()) == nullptr);
    Anim::bounceIntoView(view, container, fromBottom);
    EXPECT_EQ(view->superview(), container);
    EXPECT_EQ(view->frame(), CGRect(-320, 480, 100, 50));
    ASSERT_EQ(Anim::vask_animator(view)->behaviors().size(), 1u);
    auto attachment =
        std::dynamic_pointer_cast<UIAttachmentBehavior>(Anim::vask_animator(view)->behaviors()[0]);
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->anchorPoint(), (CGPoint{-270, 55}));  // the centre after the snap
    EXPECT_EQ(attachment->length, 0);
    EXPECT_EQ(attachment->frequency, 1.0);
    Anim::setDirection(view, fromTop);
    EXPECT_EQ(view->frame(), CGRect(-320, -480, 100, 50));
    // The animator of the first container keeps its snap; the new one has only the attachment.
    EXPECT_EQ(Anim::vask_supAnimator(elsewhere)->behaviors().size(), 1u);
    Anim::removeCurrentAnimations(view);
    EXPECT_TRUE(Anim::vask_animator(view)->behaviors().empty());
}

TEST_F(ViewAnimations, NoViewNoAnimationAndNoCallback) {
    std::shared_ptr<UIView> none;
    Anim::setX(none, 1, 0.1, count);
    Anim::moveX(none, 1, count);
    Anim::setY(none, 1, 0.1, count);
    Anim::moveY(none, 1, count);
    Anim::setPoint(none, {1, 1}, count);
    Anim::movePoint(none, {1, 1}, count);
    Anim::setRotation(none, 1, count);
    Anim::moveRotation(none, 1, count);
    Anim::bounce(none, count);
    Anim::pulse(none, count);
    Anim::shake(none, count);
    Anim::swing(none, count);
    Anim::tada(none, count);
    Anim::hinge(none, count);
    Anim::drop(none, count);
    Anim::compressIntoView(none, 0.1, count);
    Anim::expandIntoView(none, container, 0.1, count);
    Anim::expandIntoView(view, nullptr, 0.1, count);
    Anim::snapIntoView(none, container, fromTop);
    Anim::snapIntoView(view, nullptr, fromTop);
    Anim::bounceIntoView(none, container, fromTop);
    Anim::bounceIntoView(view, nullptr, fromTop);
    Anim::setDirection(none, fromTop);
    Anim::removeCurrentAnimations(none);
    EXPECT_TRUE(UIViewAnimationRecorder::records().empty());
    EXPECT_EQ(Anim::vask_animator(none), nullptr);
    EXPECT_EQ(Anim::vask_supAnimator(none), nullptr);
    Clock::advance(3);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(view->superview(), container);
    EXPECT_EQ(view->frame(), CGRect(20, 30, 100, 50));
}

}  // namespace
}  // namespace brindlecue
