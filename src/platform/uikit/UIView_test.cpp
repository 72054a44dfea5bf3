#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/AddressRegistry.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

void expectPoint(CGPoint p, double x, double y) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

TEST(UIViewGeometry, FrameFollowsCenterBoundsAndScaleTransform) {
    auto v = make<UIView>(CGRect(10, 20, 100, 50));
    EXPECT_EQ(v->center(), (CGPoint{60, 45}));
    EXPECT_EQ(v->bounds(), CGRect(0, 0, 100, 50));
    v->setTransform(CGAffineTransform::makeScale(2, 2));
    EXPECT_EQ(v->frame(), CGRect(-40, -5, 200, 100));
    EXPECT_EQ(v->bounds(), CGRect(0, 0, 100, 50));
    v->setTransform(CGAffineTransform::identity());
    v->setCenter({0, 0});
    EXPECT_EQ(v->frame(), CGRect(-50, -25, 100, 50));
}

TEST(UIViewGeometry, AnchorPointPlacesTheBoundsAndIsWhatTheViewTurnsAbout) {
    auto parent = make<UIView>(CGRect(0, 0, 300, 300));
    auto v = make<UIView>(CGRect(20, 30, 100, 50));
    parent->addSubview(v);
    v->layer()->setAnchorPoint({0, 0});  // the center stays: the frame moves
    EXPECT_EQ(v->frame(), CGRect(70, 55, 100, 50));
    v->setCenter({20, 30});
    EXPECT_EQ(v->frame(), CGRect(20, 30, 100, 50));
    v->setTransform(CGAffineTransform::makeRotation(M_PI / 2));
    CGRect turned = v->frame();
    EXPECT_NEAR(turned.origin.x, -30, 1e-9);
    EXPECT_NEAR(turned.origin.y, 30, 1e-9);
    expectPoint(v->convertPointToView({0, 0}, parent), 20, 30);
    expectPoint(v->convertPointToView({10, 0}, parent), 20, 40);
    v->setTransform(CGAffineTransform::identity());
    v->setFrame(CGRect(5, 6, 10, 10));
    EXPECT_EQ(v->center(), (CGPoint{5, 6}));
}

TEST(UIViewGeometry, AutoresizingFollowsSuperviewSize) {
    auto parent = make<UIView>(CGRect(0, 0, 100, 100));
    auto fill = make<UIView>(CGRect(10, 10, 80, 80));
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto pinnedRight = make<UIView>(CGRect(70, 0, 20, 20));
    pinnedRight->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    parent->addSubview(fill);
    parent->addSubview(pinnedRight);
    parent->setFrame(CGRect(0, 0, 200, 150));
    EXPECT_EQ(fill->frame(), CGRect(10, 10, 180, 130));
    EXPECT_EQ(pinnedRight->frame(), CGRect(170, 0, 20, 20));
}

TEST(UIViewConversion, NestedTransformedAndScrolledViews) {
    auto window = make<UIWindow>(CGRect(0, 0, 320, 480));
    auto a = make<UIView>(CGRect(10, 20, 200, 200));
    auto b = make<UIView>(CGRect(5, 5, 50, 50));
    window->addSubview(a);
    a->addSubview(b);
    expectPoint(b->convertPointToView({1, 2}, nullptr), 16, 27);
    expectPoint(b->convertPointToView({1, 2}, a), 6, 7);
    expectPoint(a->convertPointFromView({1, 2}, b), 6, 7);
    expectPoint(window->convertPointToView({16, 27}, b), 1, 2);
    EXPECT_EQ(b->convertRectToView(b->bounds(), nullptr), CGRect(15, 25, 50, 50));

    // A scrolled superview shifts what lies inside it.
    auto scroll = make<UIScrollView>(CGRect(0, 100, 320, 200));
    window->addSubview(scroll);
    auto row = make<UIView>(CGRect(0, 300, 320, 44));
    scroll->addSubview(row);
    scroll->setContentOffset({0, 250});
    EXPECT_EQ(row->convertRectToView(row->bounds(), nullptr), CGRect(0, 150, 320, 44));
    expectPoint(row->convertPointFromView({10, 160}, nullptr), 10, 10);

    // Scaling about the center: the corner of a 2x view moves out by half its size.
    auto scaled = make<UIView>(CGRect(100, 100, 40, 40));
    window->addSubview(scaled);
    scaled->setTransform(CGAffineTransform::makeScale(2, 2));
    expectPoint(scaled->convertPointToView({0, 0}, nullptr), 80, 80);
    expectPoint(scaled->convertPointFromView({80, 80}, nullptr), 0, 0);
}

TEST(UIViewConversion, TwoWindowsGoThroughScreenCoordinates) {
    auto w1 = make<UIWindow>(CGRect(0, 0, 320, 480));
    auto w2 = make<UIWindow>(CGRect(50, 100, 200, 200));
    auto v1 = make<UIView>(CGRect(10, 10, 20, 20));
    auto v2 = make<UIView>(CGRect(5, 5, 20, 20));
    w1->addSubview(v1);
    w2->addSubview(v2);
    // v1's origin is (10, 10) on screen; in w2 that is (-40, -90); in v2 (-45, -95).
    expectPoint(v1->convertPointToView({0, 0}, v2), -45, -95);
    expectPoint(v2->convertPointToView({0, 0}, v1), 45, 95);
    expectPoint(v2->convertPointToView({0, 0}, nullptr), 5, 5);
}

TEST(UIViewHierarchy, OrderOperationsAndHooks) {
    auto parent = make<UIView>(CGRect(0, 0, 100, 100));
    auto a = make<UIView>(), b = make<UIView>(), c = make<UIView>();
    parent->addSubview(a);
    parent->addSubview(b);
    parent->insertSubviewAtIndex(c, 0);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{c, a, b}));
    parent->bringSubviewToFront(c);
    parent->sendSubviewToBack(b);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{b, a, c}));
    parent->insertSubviewBelowSubview(c, a);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{b, c, a}));
    parent->exchangeSubviewAtIndex(0, 2);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<UIView>>{a, c, b}));
    // No cycles: a view cannot take its ancestor.
    a->addSubview(parent);
    EXPECT_TRUE(a->subviews().empty());
    c->setTag(7);
    EXPECT_EQ(parent->viewWithTag(7), c);
    EXPECT_EQ(parent->viewWithTag(8), nullptr);
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(parent->subviews().size(), 2u);
}

struct WindowWatcher : UIView {
    std::vector<std::string> calls;
    void willMoveToWindow(const std::shared_ptr<UIWindow>& w) override {
        calls.push_back(w ? "will:w" : "will:null");
    }
    void didMoveToWindow() override { calls.push_back(window() ? "did:w" : "did:null"); }
};

TEST(UIViewHierarchy, MoveToWindowHooksReachTheWholeSubtree) {
    auto window = make<UIWindow>();
    auto holder = make<UIView>();
    auto watcher = make<WindowWatcher>();
    holder->addSubview(watcher);
    EXPECT_TRUE(watcher->calls.empty());  // no window on either side
    window->addSubview(holder);
    holder->removeFromSuperview();
    EXPECT_EQ(watcher->calls, (std::vector<std::string>{"will:w", "did:w", "will:null", "did:null"}));
    EXPECT_EQ(watcher->window(), nullptr);
}

TEST(UIViewHitTesting, FrontmostInteractiveVisibleViewWins) {
    auto window = make<UIWindow>(CGRect(0, 0, 320, 480));
    auto back = make<UIView>(CGRect(0, 0, 200, 200));
    auto front = make<UIView>(CGRect(50, 50, 100, 100));
    auto inner = make<UIView>(CGRect(10, 10, 20, 20));
    window->addSubview(back);
    window->addSubview(front);
    front->addSubview(inner);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), nullptr);  // windows start hidden
    window->makeKeyAndVisible();
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), inner);
    EXPECT_EQ(window->hitTest({55, 55}, nullptr), front);
    EXPECT_EQ(window->hitTest({10, 10}, nullptr), back);
    front->setHidden(true);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), back);
    front->setHidden(false);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), back);
    front->setUserInteractionEnabled(true);
    front->setAlpha(0);
    EXPECT_EQ(window->hitTest({65, 65}, nullptr), back);
    // Outside its superview's bounds a subview is not reached, clipped or not.
    auto sticking = make<UIView>(CGRect(190, 0, 50, 50));
    back->addSubview(sticking);
    EXPECT_EQ(window->hitTest({220, 10}, nullptr), window);
}

TEST(UIViewResponderChain, ViewsControllersWindowApplication) {
    auto window = make<UIWindow>();
    auto a = make<UIView>();
    auto b = make<UIView>();
    window->addSubview(a);
    a->addSubview(b);
    EXPECT_EQ(b->nextResponder(), a);
    EXPECT_EQ(a->nextResponder(), window);
    auto scene = window->nextResponder();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->className(), "UIWindowScene");
    EXPECT_EQ(scene->nextResponder(), UIApplication::sharedApplication());
}

struct HostButton : UIButton {
    std::string className() const override { return "HostButton"; }
};

TEST(UIViewDescription, PlatformFormatWithParsableFragments) {
    auto v = make<UIButton>(CGRect(0, 10.5, 100, 44));
    v->setTag(1000300330);
    v->setHidden(true);
    std::string d = v->description();
    EXPECT_EQ(d.rfind("<UIButton: " + v->addressText() + "; frame = (0 10.5; 100 44);", 0), 0u) << d;
    EXPECT_NE(d.find("hidden = YES;"), std::string::npos);
    EXPECT_NE(d.find("tag = 1000300330;"), std::string::npos);
    EXPECT_NE(d.find("; layer = <CALayer: 0x"), std::string::npos);
    EXPECT_EQ(d.back(), '>');

    // A host subclass names its platform base class; a private class is given at run time.
    ClassRegistry::registerClass("HostButton", "UIButton");
    auto host = make<HostButton>();
    EXPECT_EQ(
        host->description().rfind("<HostButton: " + host->addressText() + "; baseClass = UIButton; frame", 0),
        0u);
    EXPECT_TRUE(host->isKindOfClass("UIControl"));
    EXPECT_FALSE(host->isMemberOfClass("UIButton"));
    auto plain = make<UIView>();
    EXPECT_TRUE(plain->setRuntimeClassName("UITransitionView"));
    EXPECT_EQ(plain->description().rfind("<UITransitionView: ", 0), 0u);
    EXPECT_FALSE(plain->setRuntimeClassName("UIButton"));  // a stand-in class has its own C++ type
    EXPECT_FALSE(plain->setRuntimeClassName("NoSuchView"));
    EXPECT_FALSE(plain->setRuntimeClassName("UIViewController"));
}

TEST(AddressRegistry, AddressTextResolvesOnlyWhileTheViewLives) {
    std::string text;
    {
        auto v = make<UIView>();
        text = v->addressText();
        EXPECT_EQ(text.rfind("0x", 0), 0u);
        EXPECT_EQ(AddressRegistry::lookup(text), v);
        EXPECT_EQ(AddressRegistry::lookup(text.substr(2)), nullptr);  // read as decimal: another address
    }
    EXPECT_EQ(AddressRegistry::lookup(text), nullptr);
    EXPECT_EQ(AddressRegistry::lookup("0x0"), nullptr);
    EXPECT_EQ(AddressRegistry::lookup("garbage"), nullptr);
    EXPECT_EQ(AddressRegistry::lookup(""), nullptr);
}

TEST(UIViewAnimation, EndValuesAtOnceCompletionAfterTheClockPassesTheDuration) {
    Clock::useVirtual();
    UIViewAnimationRecorder::reset();
    auto v = make<UIView>(CGRect(0, 0, 10, 10));
    bool finished = false;
    UIView::animateWithDuration(
        0.3, 0.2, UIViewAnimationOptionCurveEaseIn,
        [&] {
            EXPECT_TRUE(UIView::isInAnimationBlock());
            v->setAlpha(0);
        },
        [&](bool f) { finished = f; });
    EXPECT_EQ(v->alpha(), 0);
    EXPECT_FALSE(UIView::isInAnimationBlock());
    RunLoop::main().runUntilIdle();
    Clock::advance(0.49);
    EXPECT_FALSE(finished);
    Clock::advance(0.02);
    EXPECT_TRUE(finished);
    ASSERT_EQ(UIViewAnimationRecorder::records().size(), 1u);
    const auto& r = UIViewAnimationRecorder::records()[0];
    EXPECT_EQ(r.duration, 0.3);
    EXPECT_EQ(r.delay, 0.2);
    EXPECT_EQ(r.options, UIViewAnimationOptionCurveEaseIn);
    EXPECT_TRUE(r.hadCompletion);
}

TEST(CALayer, SharesViewStateAndRecordsAnimationsByKey) {
    auto v = make<UIView>(CGRect(0, 0, 10, 10));
    auto layer = v->layer();
    layer->setOpacity(0.5);
    layer->setMasksToBounds(true);
    EXPECT_EQ(v->alpha(), 0.5);
    EXPECT_TRUE(v->clipsToBounds());
    layer->cornerRadius = 4;
    auto pulse = CAKeyframeAnimation::animationWithKeyPath("shadowOpacity");
    pulse->values = {Value(2.0), Value(0.3), Value(2.0)};
    pulse->repeatCount = CAAnimation::HUGE_REPEAT;
    layer->addAnimation(pulse, "shadowOpacity");
    layer->addAnimation(CABasicAnimation::animationWithKeyPath("opacity"), "fade");
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"shadowOpacity", "fade"}));
    EXPECT_EQ(layer->animationForKey("shadowOpacity"), pulse);
    layer->addAnimation(CABasicAnimation::animationWithKeyPath("position"), "shadowOpacity");
    EXPECT_NE(layer->animationForKey("shadowOpacity"), pulse);
    layer->removeAnimationForKey("fade");
    EXPECT_EQ(layer->animationKeys().size(), 1u);
}

struct HookRecorder : UIView {
    std::vector<std::string> calls;
    void didAddSubview(const std::shared_ptr<UIView>& v) override {
        calls.push_back("add:" + std::to_string(v->tag()));
    }
    void willRemoveSubview(const std::shared_ptr<UIView>& v) override {
        calls.push_back("remove:" + std::to_string(v->tag()));
    }
};

TEST(UIViewHierarchy, InsertAboveAndAtIndexMoveViewsBetweenSuperviews) {
    auto parent = make<HookRecorder>(), other = make<HookRecorder>();
    auto a = make<UIView>(), b = make<UIView>(), c = make<UIView>(), d = make<UIView>(), x = make<UIView>();
    x->setTag(9);
    for (const auto& v : {a, b, c}) parent->addSubview(v);
    using Views = std::vector<std::shared_ptr<UIView>>;
    parent->insertSubviewAboveSubview(d, a);
    EXPECT_EQ(parent->subviews(), (Views{a, d, b, c}));
    parent->insertSubviewAboveSubview(c, a);  // already a subview: only the order changes
    EXPECT_EQ(parent->subviews(), (Views{a, c, d, b}));
    parent->insertSubviewBelowSubview(a, b);
    EXPECT_EQ(parent->subviews(), (Views{c, d, a, b}));

    other->addSubview(x);
    parent->calls.clear();
    parent->insertSubviewAtIndex(x, 99);  // taken from its old superview, placed at the top
    EXPECT_EQ(parent->subviews().back(), x);
    EXPECT_TRUE(other->subviews().empty());
    EXPECT_EQ(other->calls, (std::vector<std::string>{"add:9", "remove:9"}));
    EXPECT_EQ(parent->calls, (std::vector<std::string>{"add:9"}));
    // A sibling that is not a subview: the view goes on top.
    auto stranger = make<UIView>(), e = make<UIView>();
    parent->insertSubviewAboveSubview(e, stranger);
    EXPECT_EQ(parent->subviews().back(), e);
    // Out-of-range and unknown arguments change nothing.
    Views before = parent->subviews();
    parent->exchangeSubviewAtIndex(0, 40);
    parent->bringSubviewToFront(stranger);
    parent->sendSubviewToBack(nullptr);
    parent->insertSubviewAboveSubview(a, a);
    EXPECT_EQ(parent->subviews(), before);
    EXPECT_EQ(a->indexInSuperview(), 2u);
    EXPECT_EQ(stranger->indexInSuperview(), std::nullopt);
}

TEST(UIViewHierarchy, ViewWithTagIsDepthFirstAndIncludesTheViewItself) {
    auto root = make<UIView>(), a = make<UIView>(), deep = make<UIView>(), b = make<UIView>();
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(deep);
    deep->setTag(5);
    b->setTag(5);
    EXPECT_EQ(root->viewWithTag(5), deep);  // a's subtree comes before its later sibling
    EXPECT_EQ(root->viewWithTag(0), root);
    b->setTag(6);
    b->addSubview(make<UIView>());
    EXPECT_EQ(b->viewWithTag(6), b);
    EXPECT_EQ(b->viewWithTag(5), nullptr);
}

// A view whose hit test takes its siblings away, as a host's overlay might.
struct GreedyView : UIView {
    using UIView::UIView;
    std::shared_ptr<UIView> hitTest(CGPoint point, const std::shared_ptr<UIEvent>& event) override {
        if (auto s = superview())
            for (const auto& sibling : std::vector<std::shared_ptr<UIView>>(s->subviews()))
                if (sibling.get() != this) sibling->removeFromSuperview();
        return nullptr;
    }
};

TEST(UIViewHitTesting, SubviewsChangingTheTreeAndPointsOutsideTheBounds) {
    auto root = make<UIView>(CGRect(0, 0, 100, 100));
    auto first = make<UIView>(CGRect(0, 0, 100, 100)), second = make<UIView>(CGRect(0, 0, 100, 100));
    root->addSubview(first);
    root->addSubview(second);
    root->addSubview(make<GreedyView>(CGRect(0, 0, 100, 100)));
    // The walk goes on over the subviews as they were when it began.
    EXPECT_EQ(root->hitTest({50, 50}, nullptr), second);
    EXPECT_EQ(root->subviews().size(), 1u);

    auto clipper = make<UIView>(CGRect(0, 0, 50, 50));
    auto inner = make<UIView>(CGRect(40, 40, 30, 30));
    clipper->addSubview(inner);
    EXPECT_EQ(clipper->hitTest({45, 45}, nullptr), inner);
    EXPECT_EQ(clipper->hitTest({60, 60}, nullptr), nullptr);  // outside the superview's bounds
    clipper->setClipsToBounds(true);
    EXPECT_EQ(clipper->hitTest({45, 45}, nullptr), inner);
    inner->setAlpha(0.005);
    EXPECT_EQ(clipper->hitTest({45, 45}, nullptr), clipper);
    clipper->setUserInteractionEnabled(false);
    EXPECT_EQ(clipper->hitTest({10, 10}, nullptr), nullptr);
}

TEST(UIViewDescription, FlagsAppearInThePlatformOrder) {
    auto v = make<UIView>(CGRect(1, 2, 30, 40.25));
    v->setClipsToBounds(true);
    v->setAlpha(0.5);
    v->setOpaque(false);
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight |
                           UIViewAutoresizingFlexibleLeftMargin);
    v->setUserInteractionEnabled(false);
    v->setTag(-3);
    EXPECT_EQ(v->description(),
              "<UIView: " + v->addressText() +
                  "; frame = (1 2; 30 40.25); clipsToBounds = YES; alpha = 0.5; opaque = NO; "
                  "autoresize = LM+W+H; userInteractionEnabled = NO; tag = -3; layer = " +
                  v->layer()->description() + ">");
    auto plain = make<UIView>();
    EXPECT_EQ(plain->description(), "<UIView: " + plain->addressText() + "; frame = (0 0; 0 0); layer = " +
                                        plain->layer()->description() + ">");
}

}  // namespace
}  // namespace brindlecue::platform
