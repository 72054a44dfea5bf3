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
#include "platform/uikit/UISlider.h"
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

// ---- Values of controls

class ControlValues : public Touches {
protected:
    void watch(const std::shared_ptr<UIControl>& control) {
        control->addTarget(target, makeSelector<Target>("changed", &Target::changed),
                           UIControlEventValueChanged);
    }
    size_t changes() const { return target->calls.size(); }
};

TEST_F(ControlValues, ButtonValuesFallBackToTheNormalStateOnly) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    auto normal = make<UIImage>(CGSize{10, 10}), selected = make<UIImage>(CGSize{20, 20});
    button->setTitle("Save", UIControlStateNormal);
    button->setTitle("Saving", UIControlStateDisabled);
    button->setTitle("Saved", UIControlStateSelected);
    button->setImage(normal, UIControlStateNormal);
    button->setImage(selected, UIControlStateSelected);
    button->setBackgroundImage(normal, UIControlStateHighlighted);

    EXPECT_EQ(button->titleLabel()->text(), "Save");
    button->setEnabled(false);
    EXPECT_EQ(button->currentTitle(), "Saving");
    EXPECT_EQ(button->titleLabel()->text(), "Saving");  // the label follows the state
    button->setEnabled(true);
    button->setSelected(true);
    EXPECT_EQ(button->currentImage(), selected);
    // A combined state has no value of its own: the normal state's, not the selected one's.
    button->setHighlighted(true);
    EXPECT_EQ(button->state(), uint64_t(UIControlStateSelected | UIControlStateHighlighted));
    EXPECT_EQ(button->currentTitle(), "Save");
    EXPECT_EQ(button->currentImage(), normal);
    EXPECT_EQ(button->backgroundImageForState(UIControlStateHighlighted), normal);
    EXPECT_EQ(button->backgroundImageForState(UIControlStateNormal), nullptr);
    // Removing the normal title leaves states without their own title empty.
    button->setTitle(std::nullopt, UIControlStateNormal);
    EXPECT_EQ(button->titleForState(UIControlStateHighlighted), std::nullopt);
    EXPECT_EQ(button->titleForState(UIControlStateSelected), "Saved");
    // No colour set: a system button takes its tint.
    EXPECT_EQ(button->currentTitleColor(), button->tintColor());
}

TEST_F(ControlValues, SwitchFlipsOnTapsButNotWhenSetOrDisabled) {
    auto sw = make<UISwitch>();
    window->addSubview(sw);
    watch(sw);
    sw->setOn(true);
    EXPECT_EQ(changes(), 0u);
    TouchDriver::tap(sw);
    EXPECT_FALSE(sw->isOn());
    EXPECT_EQ(changes(), 1u);
    sw->setEnabled(false);
    TouchDriver::tap(sw);
    EXPECT_FALSE(sw->isOn());
    EXPECT_EQ(changes(), 1u);
}

TEST_F(ControlValues, SliderClampsAndReportsOnlyRealChanges) {
    auto slider = make<UISlider>(CGRect(0, 0, 200, 30));
    watch(slider);
    slider->setMaximumValue(10);
    slider->setValue(15);
    EXPECT_EQ(slider->value(), 10);
    slider->slideTo(-3);
    EXPECT_EQ(slider->value(), 0);
    slider->slideTo(0);  // already there
    EXPECT_EQ(changes(), 1u);
    // A minimum above the maximum carries the maximum along and clamps the value.
    slider->setMinimumValue(20);
    EXPECT_EQ(slider->maximumValue(), 20);
    EXPECT_EQ(slider->value(), 20);
    slider->setMaximumValue(5);
    EXPECT_EQ(slider->minimumValue(), 5);
    EXPECT_EQ(slider->value(), 5);
    slider->setEnabled(false);
    slider->slideTo(5.5f);
    EXPECT_EQ(slider->value(), 5);
    EXPECT_EQ(changes(), 1u);
}

TEST_F(ControlValues, StepperStepsClampsAndWraps) {
    auto stepper = make<UIStepper>();
    watch(stepper);
    stepper->maximumValue = 10;
    stepper->stepValue = 4;
    stepper->setValue(-5);
    EXPECT_EQ(stepper->value(), 0);
    stepper->increment();
    stepper->increment();
    stepper->increment();  // 12 is clamped to the maximum
    EXPECT_EQ(stepper->value(), 10);
    stepper->increment();  // no change, no event
    EXPECT_EQ(changes(), 3u);
    stepper->wraps = true;
    stepper->increment();
    EXPECT_EQ(stepper->value(), 0);
    stepper->decrement();
    EXPECT_EQ(stepper->value(), 10);
    EXPECT_EQ(changes(), 5u);
    stepper->setEnabled(false);
    stepper->decrement();
    EXPECT_EQ(stepper->value(), 10);
}

TEST_F(ControlValues, SegmentedControlSelectionFollowsEditsAndMomentaryTaps) {
    auto seg = make<UISegmentedControl>(std::vector<std::string>{"A", "B", "C"});
    watch(seg);
    seg->setSelectedSegmentIndex(7);
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);
    seg->setSelectedSegmentIndex(1);
    EXPECT_EQ(changes(), 0u);  // set by code: no event
    seg->insertSegmentWithTitle("Z", 0);
    EXPECT_EQ(seg->selectedSegmentIndex(), 2);
    EXPECT_EQ(seg->titleForSegmentAtIndex(2), "B");
    EXPECT_EQ(seg->subviews().size(), 4u);
    seg->removeSegmentAtIndex(0);
    EXPECT_EQ(seg->selectedSegmentIndex(), 1);
    seg->removeSegmentAtIndex(1);
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);
    EXPECT_EQ(seg->numberOfSegments(), 2u);
    seg->setTitle("Cee", 1);
    auto label = std::dynamic_pointer_cast<UILabel>(seg->segmentViews()[1]->subviews().front());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Cee");

    seg->setEnabledForSegmentAtIndex(false, 0);
    seg->tapSegment(0);
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);
    seg->tapSegment(1);
    seg->tapSegment(9);
    EXPECT_EQ(seg->selectedSegmentIndex(), 1);
    EXPECT_EQ(changes(), 1u);
    seg->setMomentary(true);
    seg->tapSegment(1);
    seg->tapSegment(1);
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);
    EXPECT_EQ(changes(), 3u);
    seg->removeAllSegments();
    EXPECT_TRUE(seg->subviews().empty());
}

TEST_F(ControlValues, RemovingTargetsByTargetActionAndEvents) {
    auto other = make<Target>();
    auto button = make<UIButton>(CGRect(0, 0, 50, 50));
    button->addTarget(target, makeSelector<Target>("clicked:", &Target::clicked),
                      UIControlEventTouchUpInside);
    button->addTarget(target, makeSelector<Target>("changed", &Target::changed),
                      UIControlEventTouchUpInside | UIControlEventValueChanged);
    button->addTarget(other, makeSelector<Target>("changed", &Target::changed), UIControlEventTouchUpInside);
    EXPECT_EQ(button->actionsForTarget(target, UIControlEventTouchUpInside),
              (std::vector<std::string>{"clicked:", "changed"}));
    button->removeTarget(target, "changed", UIControlEventTouchUpInside);
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"clicked"}));
    EXPECT_EQ(other->calls, (std::vector<std::string>{"changed"}));
    // A null target with an empty action clears the events for everyone.
    button->removeTarget(nullptr, "", UIControlEventTouchUpInside);
    EXPECT_EQ(button->allControlEvents(), uint64_t(UIControlEventValueChanged));
    EXPECT_EQ(button->allTargets(), (std::vector<std::shared_ptr<NSObject>>{target}));
    // A target that has gone is skipped.
    other.reset();
    button->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"clicked", "changed"}));
}

}  // namespace
}  // namespace brindlecue::platform
