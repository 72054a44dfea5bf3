#include "platform/uikit/UIViewController.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

using Log = std::vector<std::string>;

struct Recorder : UIViewController {
    Recorder(std::string n, Log& l) : name(std::move(n)), log(&l) {}
    std::string name;
    Log* log;
    void viewDidLoad() override { log->push_back(name + ".load"); }
    void viewWillAppear(bool) override { log->push_back(name + ".willAppear"); }
    void viewDidAppear(bool) override { log->push_back(name + ".didAppear"); }
    void viewWillDisappear(bool) override { log->push_back(name + ".willDisappear"); }
    void viewDidDisappear(bool) override { log->push_back(name + ".didDisappear"); }
    void viewWillTransitionToSize(CGSize size,
                                  const std::shared_ptr<UIViewControllerTransitionCoordinator>& c) override {
        log->push_back(name + ".size");
        UIViewController::viewWillTransitionToSize(size, c);
    }
};

class Appearance : public ::testing::Test {
protected:
    void SetUp() override { Clock::useVirtual(); }
    // Shown windows outlive their owners (the application keeps them); hide them so that their
    // controllers stop logging into this fixture.
    void TearDown() override {
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
    }
    std::shared_ptr<Recorder> vc(const std::string& name) { return make<Recorder>(name, log); }
    std::shared_ptr<UIWindow> showRoot(const std::shared_ptr<UIViewController>& root) {
        auto w = make<UIWindow>();
        w->setRootViewController(root);
        w->makeKeyAndVisible();
        return w;
    }
    Log log;
};

TEST_F(Appearance, AControllerWhoseViewCodePutsIntoAWindowAppearsOnTheNextTurn) {
    auto root = vc("Root");
    auto w = showRoot(root);
    auto free = vc("Free");
    auto holder = make<UIView>();
    holder->addSubview(free->view());
    log.clear();
    w->addSubview(holder);
    EXPECT_EQ(log, (Log{"Free.willAppear"}));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(log, (Log{"Free.willAppear", "Free.didAppear"}));
    holder->removeFromSuperview();
    EXPECT_EQ(log, (Log{"Free.willAppear", "Free.didAppear", "Free.willDisappear", "Free.didDisappear"}));

    // Taken out before the next turn: it never reports having appeared.
    log.clear();
    w->addSubview(free->view());
    free->view()->removeFromSuperview();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(log, (Log{"Free.willAppear", "Free.willDisappear", "Free.didDisappear"}));
}

TEST_F(Appearance, WindowRootAppearsWhenTheWindowShows) {
    auto a = vc("A");
    auto w = make<UIWindow>();
    w->setRootViewController(a);
    EXPECT_EQ(log, (Log{"A.load"}));
    w->makeKeyAndVisible();
    EXPECT_EQ(log, (Log{"A.load", "A.willAppear", "A.didAppear"}));
    EXPECT_EQ(a->view()->superview(), w);
    EXPECT_EQ(a->view()->frame(), w->bounds());
    EXPECT_EQ(a->view()->nextResponder(), a);
    EXPECT_EQ(a->nextResponder(), w);
}

TEST_F(Appearance, PushAndPopFollowThePlatformOrder) {
    auto a = vc("A"), b = vc("B");
    auto nav = make<UINavigationController>(a);
    auto w = showRoot(nav);
    log.clear();
    nav->pushViewController(b, true);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear"}));
    RunLoop::main().runUntilIdle();
    Clock::advance(UIViewController::kTransitionDuration);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    EXPECT_EQ(b->navigationController(), nav);
    EXPECT_EQ(a->viewIfLoaded()->window(), nullptr);
    // The controller's view nests in the platform's container classes.
    auto wrapper = b->view()->superview();
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->className(), "UIViewControllerWrapperView");
    EXPECT_EQ(wrapper->superview()->className(), "UINavigationTransitionView");

    log.clear();
    EXPECT_EQ(nav->popViewControllerAnimated(false), b);
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(nav->popViewControllerAnimated(false), nullptr);  // the root stays
}

TEST_F(Appearance, PresentAndDismissFollowThePlatformOrderAndCompleteOnTheClock) {
    auto a = vc("A"), b = vc("B");
    auto w = showRoot(a);
    log.clear();
    b->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
    bool presented = false;
    a->presentViewController(b, true, [&] { presented = true; });
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear"}));
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentingViewController(), a);
    RunLoop::main().runUntilIdle();
    Clock::advance(UIViewController::kTransitionDuration - 0.01);
    EXPECT_FALSE(presented);
    Clock::advance(0.02);
    EXPECT_TRUE(presented);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear", "B.didAppear", "A.didDisappear"}));
    EXPECT_EQ(b->view()->superview()->className(), "UITransitionView");
    EXPECT_EQ(b->nextResponder(), a);

    log.clear();
    bool dismissed = false;
    b->dismissViewControllerAnimated(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear", "A.didAppear", "B.didDisappear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentingViewController(), nullptr);
    EXPECT_EQ(a->view()->window(), w);
    EXPECT_EQ(b->view()->window(), nullptr);
}

TEST_F(Appearance, SheetLeavesThePresenterOnShowAndRefusedPresentationsDoNothing) {
    auto a = vc("A"), b = vc("B"), c = vc("C");
    auto w = showRoot(a);
    a->presentViewController(b, false);  // automatic: a sheet
    EXPECT_EQ(a->appearState(), UIViewController::AppearState::Appeared);
    log.clear();
    bool called = false;
    a->presentViewController(c, false, [&] { called = true; });  // already presenting
    EXPECT_FALSE(called);
    EXPECT_TRUE(log.empty());
    auto offscreen = vc("D");
    offscreen->presentViewController(c, false, [&] { called = true; });  // not in a window
    EXPECT_FALSE(called);
    // Presenting from a presented controller builds the chain; dismissing from the root takes it all.
    b->presentViewController(c, false);
    EXPECT_EQ(b->presentedViewController(), c);
    log.clear();
    a->dismissViewControllerAnimated(false);
    EXPECT_EQ(log, (Log{"C.willDisappear", "B.willDisappear", "C.didDisappear", "B.didDisappear"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
}

TEST_F(Appearance, ChildAndTabControllersForwardAppearance) {
    auto parent = vc("P"), child = vc("C");
    auto w = showRoot(parent);
    log.clear();
    parent->addChildViewController(child);
    parent->view()->addSubview(child->view());
    child->didMoveToParentViewController(parent);
    EXPECT_EQ(log, (Log{"C.load", "C.willAppear", "C.didAppear"}));
    log.clear();
    w->setHidden(true);
    EXPECT_EQ(log, (Log{"P.willDisappear", "C.willDisappear", "P.didDisappear", "C.didDisappear"}));

    auto t1 = vc("T1"), t2 = vc("T2");
    auto tabs = make<UITabBarController>();
    tabs->setViewControllers({t1, t2});
    auto w2 = showRoot(tabs);
    log.clear();
    tabs->setSelectedIndex(1);
    EXPECT_EQ(log, (Log{"T2.load", "T1.willDisappear", "T2.willAppear", "T1.didDisappear", "T2.didAppear"}));
    EXPECT_EQ(t2->tabBarController(), tabs);
    EXPECT_EQ(t2->view()->superview()->superview()->className(), "UITransitionView");
}

TEST_F(Appearance, RotationTellsControllersTheNewSizeAndResizesWindows) {
    auto a = vc("A"), b = vc("B");
    auto nav = make<UINavigationController>(a);
    auto w = showRoot(nav);
    log.clear();
    // The screen turns back for the tests that follow, however this one ends.
    struct TurnBack {
        ~TurnBack() {
            UIApplication::sharedApplication()->rotateToOrientation(UIDeviceOrientation::Portrait);
        }
    } turnBack;
    UIApplication::sharedApplication()->rotateToOrientation(UIDeviceOrientation::LandscapeLeft);
    EXPECT_EQ(log, (Log{"A.size"}));
    EXPECT_EQ(w->bounds().size, (CGSize{812, 375}));
    EXPECT_EQ(a->view()->bounds().size, (CGSize{812, 375}));
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarOrientation(),
              UIInterfaceOrientation::LandscapeRight);
}

TEST_F(Appearance, AlertPressDismissesThenRunsTheHandler) {
    auto a = vc("A");
    auto w = showRoot(a);
    auto alert =
        UIAlertController::alertControllerWithTitle("Title", "Message", UIAlertControllerStyle::Alert);
    std::string pressed;
    auto ok = UIAlertAction::actionWithTitle("OK", UIAlertActionStyle::Default, [&](UIAlertAction& action) {
        pressed = *action.title();
        EXPECT_EQ(a->presentedViewController(), nullptr);
    });
    auto off = UIAlertAction::actionWithTitle("Off", UIAlertActionStyle::Default,
                                              [&](UIAlertAction&) { pressed = "off"; });
    off->setEnabled(false);
    alert->addAction(off);
    alert->addAction(ok);
    a->presentViewController(alert, false);
    log.clear();
    EXPECT_FALSE(alert->pressActionWithTitle("Off"));
    EXPECT_FALSE(alert->pressActionAtIndex(5));
    EXPECT_TRUE(pressed.empty());
    EXPECT_TRUE(alert->pressActionWithTitle("OK"));
    EXPECT_EQ(pressed, "OK");
    EXPECT_TRUE(log.empty());  // the presenter never left the screen

    struct Delegate : UIAlertViewDelegate {
        std::vector<int64_t> clicked, dismissed;
        void alertViewClickedButtonAtIndex(UIAlertView&, int64_t i) override { clicked.push_back(i); }
        void alertViewDidDismissWithButtonIndex(UIAlertView&, int64_t i) override { dismissed.push_back(i); }
    };
    auto delegate = std::make_shared<Delegate>();
    auto legacy = make<UIAlertView>("T", "M", delegate, "Cancel", std::vector<std::string>{"Go"});
    EXPECT_FALSE(legacy->pressButtonAtIndex(1));  // not shown yet
    legacy->show();
    EXPECT_EQ(legacy->superview(), w);
    EXPECT_EQ(legacy->cancelButtonIndex(), 0);
    EXPECT_EQ(legacy->buttonTitleAtIndex(1), "Go");
    EXPECT_TRUE(legacy->pressButtonAtIndex(1));
    EXPECT_EQ(delegate->clicked, (std::vector<int64_t>{1}));
    EXPECT_EQ(delegate->dismissed, (std::vector<int64_t>{1}));
    EXPECT_EQ(legacy->superview(), nullptr);
}

struct NavDelegate : UINavigationControllerDelegate {
    Log* log;
    explicit NavDelegate(Log& l) : log(&l) {}
    void navigationControllerWillShowViewController(UINavigationController&, UIViewController& vc,
                                                    bool) override {
        log->push_back("nav.willShow:" + static_cast<Recorder&>(vc).name);
    }
    void navigationControllerDidShowViewController(UINavigationController&, UIViewController& vc,
                                                   bool) override {
        log->push_back("nav.didShow:" + static_cast<Recorder&>(vc).name);
    }
};

TEST_F(Appearance, PopToRootSkipsTheMiddleAndReleasesThePoppedControllers) {
    auto root = vc("R"), a = vc("A"), b = vc("B");
    auto nav = make<UINavigationController>(root);
    auto delegate = std::make_shared<NavDelegate>(log);
    nav->setDelegate(delegate);
    auto w = showRoot(nav);
    nav->pushViewController(a, false);
    nav->pushViewController(b, false);
    nav->pushViewController(a, false);  // already in the stack: refused
    ASSERT_EQ(nav->viewControllers().size(), 3u);

    log.clear();
    auto popped = nav->popToRootViewControllerAnimated(true);
    EXPECT_EQ(popped, (std::vector<std::shared_ptr<UIViewController>>{a, b}));
    EXPECT_EQ(nav->viewControllers(), (std::vector<std::shared_ptr<UIViewController>>{root}));
    EXPECT_EQ(log, (Log{"nav.willShow:R", "B.willDisappear", "R.willAppear"}));
    Clock::advance(UIViewController::kTransitionDuration);
    RunLoop::main().runUntilIdle();
    // Only the top and the root take part; the middle controller was never on screen.
    EXPECT_EQ(log, (Log{"nav.willShow:R", "B.willDisappear", "R.willAppear", "B.didDisappear", "R.didAppear",
                        "nav.didShow:R"}));
    for (const auto& c : popped) {
        EXPECT_EQ(c->parentViewController(), nullptr);
        EXPECT_EQ(c->navigationController(), nullptr);
    }
    EXPECT_EQ(nav->childViewControllers().size(), 1u);
    EXPECT_EQ(root->view()->window(), w);
    EXPECT_EQ(b->viewIfLoaded()->window(), nullptr);

    log.clear();
    EXPECT_TRUE(nav->popToRootViewControllerAnimated(false).empty());
    EXPECT_TRUE(nav->popToViewController(a, false).empty());  // no longer in the stack
    EXPECT_TRUE(log.empty());
    // The popped controllers can be pushed again.
    nav->pushViewController(b, false);
    EXPECT_EQ(nav->topViewController(), b);
}

struct SheetDelegate : UIActionSheetDelegate {
    std::vector<std::string> calls;
    void actionSheetClickedButtonAtIndex(UIActionSheet&, int64_t i) override {
        calls.push_back("clicked:" + std::to_string(i));
    }
    void actionSheetWillDismissWithButtonIndex(UIActionSheet& s, int64_t i) override {
        calls.push_back("will:" + std::to_string(i) + (s.superview() ? ":shown" : ":gone"));
    }
    void actionSheetDidDismissWithButtonIndex(UIActionSheet& s, int64_t i) override {
        calls.push_back("did:" + std::to_string(i) + (s.superview() ? ":shown" : ":gone"));
    }
};

TEST_F(Appearance, LegacyActionSheetOrdersButtonsAndDismissesOnPress) {
    auto delegate = std::make_shared<SheetDelegate>();
    auto sheet =
        make<UIActionSheet>("Share", delegate, "Cancel", "Delete", std::vector<std::string>{"Mail", "Copy"});
    EXPECT_EQ(sheet->numberOfButtons(), 4);
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "Mail");
    EXPECT_EQ(sheet->buttonTitleAtIndex(4), std::nullopt);
    EXPECT_EQ(sheet->buttonTitleAtIndex(-1), std::nullopt);

    // Without a window there is nowhere to show it.
    auto loose = make<UIView>();
    sheet->showInView(loose);
    sheet->showInView(nullptr);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(sheet->pressButtonAtIndex(1));

    auto root = vc("A");
    auto w = showRoot(root);
    sheet->showInView(root->view());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->superview(), w);
    EXPECT_EQ(sheet->frame(), w->bounds());
    EXPECT_FALSE(sheet->pressButtonAtIndex(9));
    EXPECT_TRUE(sheet->pressButtonAtIndex(2));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"clicked:2", "will:2:shown", "did:2:gone"}));
    EXPECT_FALSE(sheet->isVisible());
    sheet->dismissWithClickedButtonIndex(3, false);  // already gone: nothing more
    EXPECT_EQ(delegate->calls.size(), 3u);

    // Without a cancel title, none of the buttons is the cancel button.
    auto plain =
        make<UIActionSheet>(std::nullopt, nullptr, std::nullopt, std::nullopt, std::vector<std::string>{"A"});
    EXPECT_EQ(plain->cancelButtonIndex(), -1);
    EXPECT_EQ(plain->destructiveButtonIndex(), -1);
    EXPECT_EQ(plain->addButtonWithTitle("B"), 1);
}

struct TabDelegate : UITabBarControllerDelegate {
    Log* log;
    bool allow = true;
    explicit TabDelegate(Log& l) : log(&l) {}
    bool tabBarControllerShouldSelectViewController(UITabBarController&, UIViewController& vc) override {
        log->push_back("tabs.should:" + static_cast<Recorder&>(vc).name);
        return allow;
    }
    void tabBarControllerDidSelectViewController(UITabBarController&, UIViewController& vc) override {
        log->push_back("tabs.did:" + static_cast<Recorder&>(vc).name);
    }
};

TEST_F(Appearance, TabsTakeEachControllerOnceAndReplaceThemInThePlatformOrder) {
    auto t1 = vc("T1"), t2 = vc("T2"), t3 = vc("T3"), adopted = vc("X");
    auto other = vc("O");
    other->addChildViewController(adopted);
    auto tabs = make<UITabBarController>();
    tabs->setViewControllers({t1, nullptr, t1, adopted, t2});
    EXPECT_EQ(tabs->viewControllers(), (std::vector<std::shared_ptr<UIViewController>>{t1, t2}));
    EXPECT_EQ(adopted->parentViewController(), other);
    auto w = showRoot(tabs);
    EXPECT_EQ(tabs->tabBar()->items().size(), 2u);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), t1->tabBarItem());
    tabs->setSelectedIndex(1);
    log.clear();

    // Replacing the tabs while shown: the selected one leaves, the one now at its index comes.
    tabs->setViewControllers({t3, t2, t1});
    EXPECT_EQ(tabs->selectedViewController(), t2);  // the index stays
    EXPECT_TRUE(log.empty());
    tabs->setViewControllers({t3});
    EXPECT_EQ(log, (Log{"T2.willDisappear", "T3.load", "T3.willAppear", "T2.didDisappear", "T3.didAppear"}));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    EXPECT_EQ(t1->parentViewController(), nullptr);
    EXPECT_EQ(t2->parentViewController(), nullptr);
    EXPECT_EQ(t2->view()->window(), nullptr);
    EXPECT_EQ(t3->view()->window(), w);
    ASSERT_EQ(tabs->tabBar()->items().size(), 1u);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), t3->tabBarItem());

    // Selections that name no tab change nothing.
    log.clear();
    tabs->setSelectedIndex(4);
    tabs->setSelectedViewController(t1);
    tabs->setSelectedViewController(t3);  // already selected
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tabs->selectedViewController(), t3);
    tabs->setViewControllers({});
    EXPECT_EQ(tabs->selectedViewController(), nullptr);
    EXPECT_EQ(log, (Log{"T3.willDisappear", "T3.didDisappear"}));
    EXPECT_TRUE(tabs->tabBar()->items().empty());
}

TEST_F(Appearance, ATappedTabAsksTheDelegateFirst) {
    auto t1 = vc("T1"), t2 = vc("T2"), t3 = vc("T3");
    t1->setTitle("One");
    t2->setTitle("Two");
    t3->setTitle("Three");
    auto tabs = make<UITabBarController>();
    auto delegate = std::make_shared<TabDelegate>(log);
    tabs->setDelegate(delegate);
    tabs->setViewControllers({t1, t2, t3});
    auto w = showRoot(tabs);
    log.clear();
    delegate->allow = false;
    TouchDriver::tap(t2->tabBarItem()->view());
    EXPECT_EQ(log, (Log{"tabs.should:T2"}));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    delegate->allow = true;
    log.clear();
    TouchDriver::tap(t2->tabBarItem()->view());
    EXPECT_EQ(log, (Log{"tabs.should:T2", "T2.load", "T1.willDisappear", "T2.willAppear", "T1.didDisappear",
                        "T2.didAppear", "tabs.did:T2"}));
    // The selected tab tapped again is selected again: nothing appears, the delegate hears of it.
    log.clear();
    TouchDriver::tap(t2->tabBarItem()->view());
    EXPECT_EQ(log, (Log{"tabs.should:T2", "tabs.did:T2"}));
    // A disabled item does nothing.
    log.clear();
    t3->tabBarItem()->setEnabled(false);
    TouchDriver::tap(t3->tabBarItem()->view());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tabs->selectedIndex(), 1u);
    // A renamed item shows its new title on its button.
    t3->tabBarItem()->setTitle("Drei");
    auto label = std::dynamic_pointer_cast<UILabel>(t3->tabBarItem()->view()->subviews().front());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Drei");
    // Bar items keep text attributes by state.
    TextAttributes bold;
    bold.font = UIFont::boldSystemFontOfSize(10);
    t3->tabBarItem()->setTitleTextAttributes(bold, UIControlStateSelected);
    ASSERT_TRUE(t3->tabBarItem()->titleTextAttributesForState(UIControlStateSelected));
    EXPECT_FALSE(t3->tabBarItem()->titleTextAttributesForState(UIControlStateNormal));
    t3->tabBarItem()->setTitleTextAttributes(std::nullopt, UIControlStateSelected);
    EXPECT_FALSE(t3->tabBarItem()->titleTextAttributesForState(UIControlStateSelected));

    // A tab bar without a controller selects the tapped item itself.
    auto bar = make<UITabBar>(CGRect(0, 0, 320, 49));
    auto a = UITabBarItem::withTitle("A", nullptr, 1), b = UITabBarItem::withTitle("B", nullptr, 2);
    bar->setItems({a, b});
    EXPECT_EQ(bar->selectedItem(), a);
    w->addSubview(bar);
    TouchDriver::tap(b->view());
    EXPECT_EQ(bar->selectedItem(), b);
}

struct AlertSteps : UIAlertViewDelegate {
    std::vector<std::string> steps;
    void alertViewWillPresent(UIAlertView& a) override { steps.push_back(a.superview() ? "will:shown" : "will"); }
    void alertViewDidPresent(UIAlertView& a) override { steps.push_back(a.superview() ? "did:shown" : "did"); }
    void alertViewClickedButtonAtIndex(UIAlertView&, int64_t i) override {
        steps.push_back("clicked:" + std::to_string(i));
    }
    void alertViewWillDismissWithButtonIndex(UIAlertView& a, int64_t i) override {
        steps.push_back("willDismiss:" + std::to_string(i) + (a.superview() ? ":shown" : ""));
    }
    void alertViewDidDismissWithButtonIndex(UIAlertView& a, int64_t i) override {
        steps.push_back("didDismiss:" + std::to_string(i) + (a.superview() ? ":shown" : ""));
    }
};

TEST_F(Appearance, LegacyAlertsTellTheirDelegateEveryStepOnce) {
    auto delegate = std::make_shared<AlertSteps>();
    auto alert = make<UIAlertView>("T", std::nullopt, delegate, std::nullopt, std::vector<std::string>{"A", "B"});
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 0);
    alert->show();  // no key window yet
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(delegate->steps.empty());

    auto w = showRoot(vc("A"));
    alert->show();
    alert->show();  // already shown
    EXPECT_EQ(delegate->steps, (std::vector<std::string>{"will", "did:shown"}));
    EXPECT_FALSE(alert->pressButtonAtIndex(-1));
    EXPECT_FALSE(alert->pressButtonAtIndex(2));
    alert->dismissWithClickedButtonIndex(1, true);
    alert->dismissWithClickedButtonIndex(1, true);  // already gone
    EXPECT_EQ(delegate->steps,
              (std::vector<std::string>{"will", "did:shown", "willDismiss:1:shown", "didDismiss:1"}));
    EXPECT_FALSE(alert->isVisible());

    auto onlyCancel = make<UIAlertView>(std::nullopt, "M", nullptr, "Close", std::vector<std::string>{});
    EXPECT_EQ(onlyCancel->firstOtherButtonIndex(), -1);
    EXPECT_EQ(onlyCancel->addButtonWithTitle("More"), 1);
    EXPECT_EQ(onlyCancel->firstOtherButtonIndex(), 1);
    EXPECT_EQ(onlyCancel->buttonTitleAtIndex(2), std::nullopt);
    onlyCancel->show();
    EXPECT_TRUE(onlyCancel->pressButtonAtIndex(0));  // no delegate to tell
    EXPECT_EQ(onlyCancel->superview(), nullptr);
}

// Draws a view alone, 320 x 480 at scale 1.
std::shared_ptr<const CGImage> drawnAlone(const std::shared_ptr<UIView>& view) {
    view->setFrame(CGRect(0, 0, 320, 480));
    UIGraphicsBeginImageContextWithOptions({320, 480}, false, 1);
    view->drawViewHierarchyInRect(view->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->cgImage();
}

// Rows of column x whose pixel is the alert's light box.
int boxRows(const CGImage& image, int x) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        RGBA8 p = image.pixelAt(x, y);
        if (p.a == 255 && p.r > 240) ++rows;
    }
    return rows;
}

bool hasRed(const CGImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            RGBA8 p = image.pixelAt(x, y);
            if (p.a > 200 && p.r > 200 && p.g < 120 && p.b < 120) return true;
        }
    return false;
}

TEST(LegacyAlertDrawing, AlertsDimTheScreenAndStackMoreThanTwoButtons) {
    auto pair = drawnAlone(make<UIAlertView>("Title", "A message", nullptr, "Cancel", std::vector<std::string>{"OK"}));
    EXPECT_EQ(pair->pixelAt(5, 5).a, 102);  // black at 0.4 around the box
    EXPECT_EQ(pair->pixelAt(5, 5).r, 0);
    auto three =
        drawnAlone(make<UIAlertView>("Title", "A message", nullptr, "Cancel", std::vector<std::string>{"OK", "More"}));
    // Two buttons share one row; three take a row each, 44 points apart.
    EXPECT_NEAR(boxRows(*three, 30) - boxRows(*pair, 30), 2 * 44, 2);
    auto bare = drawnAlone(make<UIAlertView>(std::nullopt, std::nullopt, nullptr, std::nullopt, std::vector<std::string>{}));
    EXPECT_EQ(boxRows(*bare, 160), 32);  // only the margins
    EXPECT_FALSE(hasRed(*pair));
}

TEST(LegacyAlertDrawing, ActionSheetsShowTheDestructiveButtonInRed) {
    auto destructive = drawnAlone(
        make<UIActionSheet>("Share", nullptr, "Cancel", "Delete", std::vector<std::string>{"Mail"}));
    EXPECT_TRUE(hasRed(*destructive));
    EXPECT_EQ(destructive->pixelAt(5, 5).a, 102);
    // The sheet sits at the bottom: the title row and three buttons of 57 points.
    EXPECT_GT(boxRows(*destructive, 30), 3 * 57);
    EXPECT_EQ(destructive->pixelAt(30, 100).a, 102);
    auto plain = drawnAlone(make<UIActionSheet>(std::nullopt, nullptr, "Cancel", std::nullopt,
                                                std::vector<std::string>{"Mail"}));
    EXPECT_FALSE(hasRed(*plain));
    EXPECT_NEAR(boxRows(*plain, 30), 2 * 57, 2);
}

}  // namespace
}  // namespace brindlecue::platform
