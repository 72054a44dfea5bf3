#include "platform/uikit/UIControl.h"

#include <gtest/gtest.h>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UIStepper.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

struct Target : NSObject {
    std::vector<std::string> calls;
    std::shared_ptr<NSObject> lastSender;
    void clicked(const std::shared_ptr<NSObject>& sender) {
        calls.push_back("clicked");
        lastSender = sender;
    }
    void changed() { calls.push_back("changed"); }
};

class Touches : public ::testing::Test {
protected:
    void SetUp() override {
        window = make<UIWindow>(CGRect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        target = make<Target>();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Target> target;
};

TEST_F(Touches, TapFiresTouchUpInsideOnlyForTheEventsAsked) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame(CGRect(10, 10, 100, 40));
    window->addSubview(button);
    button->addTarget(target, makeSelector<Target>("clicked:", &Target::clicked),
                      UIControlEventTouchUpInside);
    button->addTarget(target, makeSelector<Target>("changed", &Target::changed), UIControlEventValueChanged);
    EXPECT_EQ(TouchDriver::tap(button), button);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"clicked"}));
    EXPECT_EQ(target->lastSender, button);
    EXPECT_FALSE(button->isHighlighted());

    // Covered by another view: the cover takes the tap.
    auto cover = make<UIView>(window->bounds());
    window->addSubview(cover);
    TouchDriver::tap(button);
    EXPECT_EQ(target->calls.size(), 1u);
    cover->removeFromSuperview();

    button->setEnabled(false);
    TouchDriver::tap(button);
    button->setEnabled(true);
    button->removeTarget(target, "clicked:", UIControlEventTouchUpInside);
    TouchDriver::tap(button);
    EXPECT_EQ(target->calls.size(), 1u);
    EXPECT_EQ(button->allControlEvents(), uint64_t(UIControlEventValueChanged));

    // A target that has gone is skipped.
    button->addTarget(target, makeSelector<Target>("clicked:", &Target::clicked),
                      UIControlEventTouchUpInside);
    target.reset();
    EXPECT_NO_FATAL_FAILURE(TouchDriver::tap(button));
}

TEST_F(Touches, TapRecognizersFireInnermostFirstButNotOverControls) {
    auto outer = make<UIView>(CGRect(0, 0, 300, 300));
    auto inner = make<UIView>(CGRect(10, 10, 100, 100));
    window->addSubview(outer);
    outer->addSubview(inner);
    std::vector<std::string> fired;
    auto outerTap = make<UITapGestureRecognizer>(
        target, Selector{"outer", [&](NSObject&, const auto& s) {
                             fired.push_back("outer");
                             auto r = std::dynamic_pointer_cast<UIGestureRecognizer>(s);
                             EXPECT_EQ(r->state(), UIGestureRecognizerState::Ended);
                             EXPECT_EQ(r->locationInView(inner), (CGPoint{50, 50}));
                         }});
    outer->addGestureRecognizer(outerTap);
    TouchDriver::tap(inner);
    EXPECT_EQ(fired, (std::vector<std::string>{"outer"}));

    auto innerTap = make<UITapGestureRecognizer>(
        target, Selector{"inner", [&](NSObject&, const auto&) { fired.push_back("inner"); }});
    inner->addGestureRecognizer(innerTap);
    fired.clear();
    TouchDriver::tap(inner);
    EXPECT_EQ(fired, (std::vector<std::string>{"inner"}));

    // A control's tap wins over its ancestors' recognisers.
    auto sw = make<UISwitch>();
    inner->addSubview(sw);
    sw->addTarget(target, makeSelector<Target>("changed", &Target::changed), UIControlEventValueChanged);
    fired.clear();
    TouchDriver::tap(sw);
    EXPECT_TRUE(fired.empty());
    EXPECT_TRUE(sw->isOn());
    EXPECT_EQ(target->calls, (std::vector<std::string>{"changed"}));

    inner->removeGestureRecognizer(innerTap);
    EXPECT_EQ(innerTap->view(), nullptr);
}

TEST_F(Touches, PanReportsTranslationAndVelocityAndSwipeMatchesDirection) {
    auto view = make<UIView>(CGRect(0, 0, 200, 200));
    window->addSubview(view);
    std::vector<UIGestureRecognizerState> states;
    CGPoint lastTranslation, lastVelocity;
    std::shared_ptr<UIPanGestureRecognizer> pan;
    pan = make<UIPanGestureRecognizer>(target, Selector{"pan:", [&](NSObject&, const auto&) {
                                                            states.push_back(pan->state());
                                                            lastTranslation = pan->translationInView(view);
                                                            lastVelocity = pan->velocityInView(view);
                                                        }});
    view->addGestureRecognizer(pan);
    EXPECT_EQ(TouchDriver::pan(view, {40, -20}, {300, 0}, 2), pan);
    EXPECT_EQ(states, (std::vector<UIGestureRecognizerState>{UIGestureRecognizerState::Began,
                                                             UIGestureRecognizerState::Changed,
                                                             UIGestureRecognizerState::Ended}));
    EXPECT_EQ(lastTranslation, (CGPoint{40, -20}));
    EXPECT_EQ(lastVelocity, (CGPoint{300, 0}));
    pan->setTranslation({0, 0}, view);
    EXPECT_EQ(pan->translationInView(view), (CGPoint{0, 0}));

    int swipes = 0;
    auto swipe =
        make<UISwipeGestureRecognizer>(target, Selector{"swipe", [&](NSObject&, const auto&) { ++swipes; }});
    swipe->direction = UISwipeGestureRecognizerDirectionLeft;
    view->addGestureRecognizer(swipe);
    EXPECT_EQ(TouchDriver::swipe(view, UISwipeGestureRecognizerDirectionRight), nullptr);
    EXPECT_EQ(TouchDriver::swipe(view, UISwipeGestureRecognizerDirectionLeft), swipe);
    EXPECT_EQ(swipes, 1);
}

struct Screen : UIViewController {
    std::string className() const override { return "ScreenWithSave"; }
    int saved = 0;
    void save() { ++saved; }
};

TEST_F(Touches, ActionWithoutTargetGoesUpTheResponderChain) {
    ClassRegistry::registerClass("ScreenWithSave", "UIViewController");
    ClassRegistry::addMethods("ScreenWithSave", {"save:"});
    auto screen = make<Screen>();
    window->setRootViewController(screen);
    auto button = make<UIButton>(CGRect(0, 0, 50, 50));
    auto holder = make<UIView>(CGRect(10, 10, 100, 100));
    screen->view()->addSubview(holder);
    holder->addSubview(button);
    button->addTarget(nullptr, makeSelector<Screen>("save:", &Screen::save), UIControlEventTouchUpInside);
    TouchDriver::tap(button);
    EXPECT_EQ(screen->saved, 1);
    button->addTarget(nullptr, Selector{"unknown:", [](NSObject&, const auto&) { FAIL(); }},
                      UIControlEventTouchUpInside);
    TouchDriver::tap(button);  // no responder implements it: nothing is called
    EXPECT_EQ(screen->saved, 2);
}

TEST_F(Touches, ButtonTitlesFallBackToTheNormalState) {
    auto button = make<UIButton>(CGRect(0, 0, 100, 40));
    button->setTitle("Hi", UIControlStateHighlighted);
    EXPECT_EQ(button->titleForState(UIControlStateNormal), std::nullopt);
    EXPECT_EQ(button->titleForState(UIControlStateHighlighted), "Hi");
    button->setTitle("Go", UIControlStateNormal);
    button->setTitleColor(UIColor::redColor(), UIControlStateNormal);
    EXPECT_EQ(button->titleForState(UIControlStateSelected), "Go");
    EXPECT_EQ(button->titleLabel()->text(), "Go");
    EXPECT_EQ(button->titleLabel()->className(), "UIButtonLabel");
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "Hi");
    EXPECT_EQ(button->titleLabel()->text(), "Hi");
    EXPECT_EQ(button->currentTitleColor(), UIColor::redColor());
}

TEST_F(Touches, SegmentsSteppersAndTextFields) {
    auto seg = make<UISegmentedControl>(std::vector<std::string>{"", "B", "C"});
    seg->setFrame(CGRect(0, 0, 300, 30));
    window->addSubview(seg);
    seg->addTarget(target, makeSelector<Target>("changed", &Target::changed), UIControlEventValueChanged);
    ASSERT_EQ(seg->segmentViews().size(), 3u);
    EXPECT_EQ(seg->segmentViews()[1]->className(), "UISegment");
    EXPECT_TRUE(seg->segmentViews()[1]->isKindOfClass("UIImageView"));
    TouchDriver::tap(seg->segmentViews()[2]);
    EXPECT_EQ(seg->selectedSegmentIndex(), 2);
    TouchDriver::tap(seg->segmentViews()[2]);  // no change, no event
    EXPECT_EQ(target->calls.size(), 1u);

    auto stepper = make<UIStepper>();
    stepper->maximumValue = 2;
    window->addSubview(stepper);
    TouchDriver::tap(stepper, CGPoint{80, 16});
    TouchDriver::tap(stepper, CGPoint{80, 16});
    TouchDriver::tap(stepper, CGPoint{80, 16});
    EXPECT_EQ(stepper->value(), 2);
    TouchDriver::tap(stepper, CGPoint{10, 16});
    EXPECT_EQ(stepper->value(), 1);

    auto field = make<UITextField>(CGRect(0, 100, 200, 30));
    window->addSubview(field);
    field->addTarget(target, makeSelector<Target>("clicked:", &Target::clicked),
                     UIControlEventEditingDidBegin);
    field->typeText("ignored");
    EXPECT_EQ(field->text(), std::nullopt);
    TouchDriver::tap(field);
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(field->isFirstResponder());
    field->typeText("abc");
    EXPECT_EQ(field->text(), "abc");
    field->removeFromSuperview();  // a field leaving the window stops editing
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(field->isEditing());
}

TEST_F(Touches, BarItemsHaveViewsThatSendTheirActions) {
    auto item = UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::Add, target,
                                                makeSelector<Target>("clicked:", &Target::clicked));
    EXPECT_EQ(item->valueForKey("systemItem"), Value(int64_t{4}));
    EXPECT_TRUE(item->respondsToSelector("view"));
    auto vc = make<UIViewController>();
    vc->navigationItem()->setRightBarButtonItem(item);
    auto nav = make<UINavigationController>(vc);
    window->setRootViewController(nav);
    auto itemView = item->view();
    EXPECT_EQ(itemView->className(), "_UIButtonBarButton");
    EXPECT_EQ(itemView->superview(), nav->navigationBar());
    EXPECT_NE(itemView->description().find("UIButtonBarButton"), std::string::npos);
    TouchDriver::tap(itemView);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"clicked"}));
    EXPECT_EQ(target->lastSender, item);

    auto t1 = make<UIViewController>(), t2 = make<UIViewController>();
    t1->setTitle("One");
    t2->setTitle("Two");
    auto tabs = make<UITabBarController>();
    tabs->setViewControllers({t1, t2});
    window->setRootViewController(tabs);
    auto tabView = t2->tabBarItem()->view();
    ASSERT_NE(tabView, nullptr);
    EXPECT_EQ(tabView->className(), "UITabBarButton");
    EXPECT_EQ(tabView->nextResponder(), tabs->tabBar());
    TouchDriver::tap(tabView);
    EXPECT_EQ(tabs->selectedIndex(), 1u);
}

}  // namespace
}  // namespace brindlecue::platform
