#include "foundation/BLQViewUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/KJLog.h"
#include "foundation/NSLayoutConstraintKJExt.h"
#include "platform/Bundle.h"
#include "platform/CaptureLogSink.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using namespace platform;

// A window of a host (or of the library's own overlays): a subclass of UIWindow.
struct OverlayWindow : UIWindow {
    std::string className() const override { return "BLQTestOverlayWindow"; }
};

struct NamedController : UIViewController {
    explicit NamedController(std::string n) : name(std::move(n)) {}
    std::string className() const override { return name; }
    std::string name;
};

class ViewUtils : public ::testing::Test {
protected:
    void SetUp() override { Clock::useVirtual(); }
    void TearDown() override {
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
    }
    std::shared_ptr<UIWindow> showRoot(const std::shared_ptr<UIViewController>& root) {
        auto w = make<UIWindow>();
        w->setRootViewController(root);
        w->makeKeyAndVisible();
        return w;
    }
};

TEST_F(ViewUtils, KeyAndPresentWindowsSkipHiddenAndSubclassedWindows) {
    EXPECT_EQ(blqKeyWindow(), nullptr);
    EXPECT_EQ(blqGetPresentWindow(), nullptr);

    ClassRegistry::registerClass("BLQTestOverlayWindow", "UIWindow");
    auto overlay = make<OverlayWindow>();
    auto hiddenPlain = make<UIWindow>();
    auto plain = make<UIWindow>();
    auto alertLevel = make<UIWindow>();
    alertLevel->setWindowLevel(UIWindowLevelAlert);
    alertLevel->setHidden(false);
    plain->setHidden(false);
    overlay->makeKeyAndVisible();

    // The overlay is key and first, but only an exact UIWindow that is shown qualifies; the
    // application's order puts the normal level before the alert level.
    EXPECT_EQ(blqKeyWindow(), overlay);
    EXPECT_EQ(blqGetPresentWindow(), plain);

    plain->makeKeyWindow();
    EXPECT_EQ(blqKeyWindow(), plain);
    plain->setHidden(true);
    EXPECT_EQ(blqGetPresentWindow(), alertLevel);
    alertLevel->setHidden(true);
    EXPECT_EQ(blqGetPresentWindow(), nullptr);
    EXPECT_TRUE(hiddenPlain->isHidden());
}

TEST_F(ViewUtils, ResponderChainLeadsToTheOwningController) {
    auto root = make<UIViewController>();
    auto child = make<UIViewController>();
    root->addChildViewController(child);
    root->view()->addSubview(child->view());
    child->didMoveToParentViewController(root);
    auto window = showRoot(root);

    auto container = make<UIView>();
    auto button = make<UIButton>();
    container->addSubview(button);
    root->view()->addSubview(container);
    auto inChild = make<UIView>();
    child->view()->addSubview(inChild);

    EXPECT_EQ(blqGetViewController(button), root);
    EXPECT_EQ(blqGetViewController(inChild), child);
    EXPECT_EQ(blqTraverseResponderChainForUIViewController(child->view()), child);
    // The root view's controller is found from the root view itself.
    EXPECT_EQ(blqGetViewController(root->view()), root);

    // A view in no controller: the chain leaves the views (window, scene) without finding one.
    auto loose = make<UIView>();
    window->addSubview(loose);
    EXPECT_EQ(blqGetViewController(loose), nullptr);
    EXPECT_EQ(blqGetViewController(make<UIView>()), nullptr);
    EXPECT_EQ(blqGetViewController(nullptr), nullptr);

    EXPECT_EQ(blqGetNextResponse(button), container);
    EXPECT_EQ(blqGetNextResponse(UIAlertAction::actionWithTitle("OK", UIAlertActionStyle::Default, nullptr)),
              nullptr);
    EXPECT_EQ(blqGetNextResponse(nullptr), nullptr);
}

struct AlertDelegate : UIAlertViewDelegate, UIActionSheetDelegate {
    std::vector<int64_t> dismissed;
    void alertViewDidDismissWithButtonIndex(UIAlertView&, int64_t index) override {
        dismissed.push_back(index);
    }
    void actionSheetDidDismissWithButtonIndex(UIActionSheet&, int64_t index) override {
        dismissed.push_back(index);
    }
};

TEST_F(ViewUtils, DismissAllMessageViewsDismissesAlertsSheetsAndPresentedControllers) {
    auto root = make<UIViewController>();
    auto window = showRoot(root);
    auto delegate = std::make_shared<AlertDelegate>();
    // Two alerts and a sheet side by side in the window: each dismissal takes a view out of the
    // very list being walked.
    auto first = make<UIAlertView>("One", std::nullopt, delegate, "Cancel", std::vector<std::string>{"OK"});
    auto second =
        make<UIAlertView>("Two", std::nullopt, delegate, std::nullopt, std::vector<std::string>{"OK"});
    auto sheet = make<UIActionSheet>("Sheet", delegate, "Cancel", "Delete", std::vector<std::string>{"Keep"});
    first->show();
    second->show();
    sheet->showInView(root->view());
    auto presented = make<UIViewController>();
    root->presentViewController(presented, false);
    ASSERT_EQ(root->presentedViewController(), presented);

    // An alert that sits inside the root view is reached only once the presented controller
    // has gone away (the dismissal's completion walks the subviews).
    auto nested = make<UIAlertView>("Nested", std::nullopt, delegate, "Close", std::vector<std::string>{});
    nested->show();
    root->view()->addSubview(nested);

    blqDismissAllMessageView();
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(second->isVisible());
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(delegate->dismissed, (std::vector<int64_t>{0, -1, 2}));
    EXPECT_TRUE(nested->isVisible());

    Clock::advance(UIViewController::kTransitionDuration);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_FALSE(nested->isVisible());
    EXPECT_EQ(delegate->dismissed.back(), 0);
    EXPECT_EQ(window->subviews(), (std::vector<std::shared_ptr<UIView>>{root->view()}));
}

TEST_F(ViewUtils, ShrinkControlSizeMeasuresLabelsByTheirLineBreakMode) {
    std::vector<double> widthLimits;
    // 10 points a character on lines of 20 points, wrapped at the width limit when there is one.
    UILabel::setTextMeasurer([&](const std::string& text, const UIFont&, double maxWidth, int) {
        widthLimits.push_back(maxWidth);
        double width = 10.0 * text.size();
        double lines = maxWidth > 0 ? std::ceil(width / maxWidth) : 1;
        return CGSize{maxWidth > 0 ? std::min(width, maxWidth) : width, 20 * lines};
    });
    EXPECT_EQ(shrinkControlSize(make<UIView>(CGRect(0, 0, 30, 40))), (CGSize{30, 40}));

    auto label = make<UILabel>(CGRect(0, 0, 100, 30));
    EXPECT_EQ(shrinkControlSize(label), (CGSize{1, 1}));
    label->setText("");
    EXPECT_EQ(shrinkControlSize(label), (CGSize{1, 1}));

    label->setText("abcd");  // single line, truncating: the text's width by the bounds height
    EXPECT_EQ(shrinkControlSize(label), (CGSize{40, 30}));
    label->setText(std::string(30, 'x'));
    label->setLineBreakMode(NSLineBreakMode::ByClipping);
    EXPECT_EQ(shrinkControlSize(label), (CGSize{100, 30}));
    EXPECT_EQ(widthLimits, (std::vector<double>{0, 0}));

    label->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
    label->setFrame(CGRect(0, 0, 100, 200));
    EXPECT_EQ(shrinkControlSize(label), (CGSize{100, 60}));  // three lines at the label's width
    label->setFrame(CGRect(0, 0, 100, 50));
    label->setLineBreakMode(NSLineBreakMode::ByCharWrapping);
    EXPECT_EQ(shrinkControlSize(label), (CGSize{100, 50}));  // capped at the bounds height
    EXPECT_EQ(widthLimits.back(), 100);
    UILabel::setTextMeasurer(nullptr);
}

TEST_F(ViewUtils, BaseControllerChecksFollowTheClassRegistry) {
    ClassRegistry::registerClass("BLQBaseTableViewController", "UIViewController");
    ClassRegistry::registerClass("BrindlecueBaseViewController", "UIViewController");
    ClassRegistry::registerClass("ShopListController", "BLQBaseTableViewController");
    ClassRegistry::registerClass("ShopHomeController", "BrindlecueBaseViewController");
    auto list = make<NamedController>("ShopListController");
    auto home = make<NamedController>("ShopHomeController");

    EXPECT_TRUE(blqIsSDKViewController(list));
    EXPECT_FALSE(IsSDKIntegrationCorrect(list));
    EXPECT_TRUE(IsSDKIntegrationCorrect(home));
    EXPECT_FALSE(blqIsSDKViewController(home));
    // Names the process does not know match nothing.
    EXPECT_FALSE(blqIsSDKViewController(make<UIViewController>()));
    EXPECT_FALSE(IsSDKIntegrationCorrect(make<NamedController>("BLQBaseCollectionViewController")));
    EXPECT_FALSE(blqIsSDKViewController(nullptr));
}

TEST_F(ViewUtils, FindNativeIDSearchesLastSubviewsFirstAndDepthFirst) {
    std::vector<std::string> lines;
    KJLogSetObserver([&](int, const std::string& line) { lines.push_back(line); });
    auto root = make<UIView>();
    auto a = make<UIView>(), b = make<UIView>(), c = make<UIView>(), d = make<UIView>();
    a->setValueForKey("nativeID", "first");
    c->setValueForKey("nativeID", "");
    d->setValueForKey("nativeID", "deep");
    root->addSubview(a);
    root->addSubview(b);
    b->addSubview(c);
    c->addSubview(d);
    EXPECT_EQ(findNativeID(root), "deep");
    EXPECT_THAT(lines, testing::Contains(testing::StartsWith("exception: ")));  // b has no such key

    d->setValueForKey("nativeID", 7);  // not a text
    EXPECT_EQ(findNativeID(root), "first");
    EXPECT_EQ(findNativeID(a), std::nullopt);
    EXPECT_EQ(findNativeID(nullptr), std::nullopt);
    KJLogSetObserver(nullptr);
}

TEST_F(ViewUtils, NodeInstancesResolveOnlyWhileAlive) {
    std::string address;
    {
        auto view = make<UIView>();
        address = view->addressText();
        EXPECT_EQ(blqGetNodeInstance(address), view);
    }
    EXPECT_EQ(blqGetNodeInstance(address), nullptr);
    EXPECT_EQ(blqGetNodeInstance("not an address"), nullptr);
}

TEST_F(ViewUtils, ErrorsAreLoggedOutsideTheResourcesApp) {
    CaptureLogSink capture;
    blqPresentErrorAlertOrLog(std::nullopt);
    EXPECT_TRUE(capture.messages().empty());

    auto root = make<UIViewController>();
    showRoot(root);
    auto error = Error::withDescription("BLQ", 7, "Broken");
    blqPresentErrorAlertOrLog(error);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_THAT(capture.messages(),
                testing::ElementsAre("Brindlecue report error: " + error.description() + "."));
}

TEST_F(ViewUtils, TheResourcesAppShowsAnAlertOnTheKeyWindow) {
    Bundle::createMainBundle(Dictionary{{Bundle::kIdentifierKey, "com.brindlecue.resources.beta"},
                                        {Bundle::kNameKey, "Resources"}});
    CaptureLogSink capture;
    auto root = make<UIViewController>();
    showRoot(root);

    blqPresentErrorAlertOrLog(Error::withDescription("BLQ", 7, "Broken"));
    EXPECT_EQ(root->presentedViewController(), nullptr);  // shown from the main queue
    RunLoop::main().runUntilIdle();
    auto alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alertTitle(), "Resources reports error");
    EXPECT_EQ(alert->message(), "Broken");
    EXPECT_EQ(alert->preferredStyle(), UIAlertControllerStyle::Alert);
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    EXPECT_EQ(alert->actions()[0]->style(), UIAlertActionStyle::Default);
    EXPECT_TRUE(alert->pressActionAtIndex(0));
    Clock::advance(UIViewController::kTransitionDuration);
    RunLoop::main().runUntilIdle();

    // A failure reason becomes the title.
    blqPresentErrorAlertOrLog(
        Error("BLQ", 8, Value::dictionary({{Error::kLocalizedFailureReasonKey, "No network"}})));
    RunLoop::main().runUntilIdle();
    alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alertTitle(), "No network");
    EXPECT_TRUE(capture.messages().empty());
}

TEST_F(ViewUtils, PhoneNumbersOpenTelURLs) {
    auto app = UIApplication::sharedApplication();
    EXPECT_TRUE(blqCallPhoneNumber("(555) 123 4567"));
    ASSERT_FALSE(app->openedURLs().empty());
    EXPECT_EQ(app->openedURLs().back(), "tel:5551234567");
    size_t opened = app->openedURLs().size();
    EXPECT_FALSE(blqCallPhoneNumber("( ) "));
    EXPECT_FALSE(blqCallPhoneNumber(""));
    EXPECT_EQ(app->openedURLs().size(), opened);
}

TEST(NSLayoutConstraintKJExt, LayoutDescriptionShowsIdentifierAndConstant) {
    auto view = make<UIView>();
    auto c = NSLayoutConstraint::constraintWithItem(view, NSLayoutAttribute::Width, NSLayoutRelation::Equal,
                                                    nullptr, NSLayoutAttribute::NotAnAttribute, 1, 8);
    EXPECT_EQ(NSLayoutConstraintKJExt::blqLayoutDescription(*c), "id: (null), constant: 8.000000");
    c->setIdentifier("tipWidth");
    c->setConstant(-2.5);
    EXPECT_EQ(NSLayoutConstraintKJExt::blqLayoutDescription(*c), "id: tipWidth, constant: -2.500000");
    c->setConstant(1e300);
    EXPECT_EQ(NSLayoutConstraintKJExt::blqLayoutDescription(*c).size(),
              std::string("id: tipWidth, constant: ").size() + 301 + 7);
}

}  // namespace
}  // namespace brindlecue
