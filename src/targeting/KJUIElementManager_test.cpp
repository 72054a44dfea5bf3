#include "targeting/KJUIElementManager.h"

#include <gtest/gtest.h>

#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIStepper.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITextField.h"
#include "platform/webkit/WKWebView.h"
#include "targeting/KJBarButtonItem.h"
#include "targeting/KJView.h"
#include "targeting/TargetingScene_test.h"

namespace brindlecue {
namespace {

using namespace testscene;

KJUIElementManager& manager() {
    return KJUIElementManager::sharedInstance();
}

// Counts the actions it receives, with their senders.
struct Receiver : NSObject {
    void fire(const std::shared_ptr<NSObject>& sender) { senders.push_back(sender); }
    Selector selector(const std::string& name = "fire:") {
        return makeSelector<Receiver>(name, &Receiver::fire);
    }
    std::vector<std::shared_ptr<NSObject>> senders;
};

TEST(ViewWrappers, DisplayStringsAndNamesOfTheScreen) {
    Scene scene;
    // A titled button is named by its title; its unique id is the controller's property.
    EXPECT_EQ(manager().getDisplayText(scene.buttonIn(0, 0)), "Buy");
    EXPECT_EQ(manager().getUniqueId(scene.buttonIn(0, 0)), "buyButton");
    EXPECT_EQ(manager().getUniqueId(scene.buttonIn(0, 1)), "Buy");
    // A label: class and index, then every ancestor's unique id up to the controller's wrapper
    // view; each ancestor's own id repeats those above it.
    auto label = scene.cell(0, 0)->contentView()->subviews().at(1);
    EXPECT_EQ(
        manager().getDisplayText(label),
        "UILabel_1@UITableViewCellContentView_0@UITableViewCell_13@tableView@UIView_0@tableView@UIView_0"
        "@UITableViewCell_13@tableView@UIView_0@tableView@UIView_0");
    EXPECT_EQ(manager().getFriendlyName(label), "Item 0.0");
    EXPECT_EQ(manager().getDisplayText(scene.home->segments), "SegmentControl_Day");
    EXPECT_EQ(manager().getDisplayText(scene.home->segments->segmentViews()[1]),
              "UISegment_1@SegmentControl_Day@UIView_0");
    // Bar items: the title, else the view's place by x among its siblings and the bar's ancestors.
    EXPECT_EQ(manager().getDisplayText(scene.editItem()), "Edit");
    auto add = scene.home->navigationItem()->leftBarButtonItem();
    EXPECT_EQ(manager().getDisplayText(add),
              "_UIButtonBarButton_0@UINavigationBar_1@UILayoutContainerView_0@UILayoutContainerView_0");
    EXPECT_EQ(manager().getFriendlyName(add), "systemBarButtonAdd");
    EXPECT_EQ(manager().getView(add), add->view());
    EXPECT_FALSE(manager().getFriendlyName(
        UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::FlexibleSpace, nullptr, {})));
    EXPECT_EQ(
        manager().getFriendlyName(UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::Close, nullptr, {})),
        "barButtonItem");
    EXPECT_EQ(manager().getFriendlyName(make<UIBarButtonItem>()), "barButtonItem");
    // Frames on screen are in window coordinates.
    EXPECT_EQ(manager().getFrameOnScreen(scene.buttonIn(0, 1)), CGRect(16, 140 + 44 + 6, 80, 32));
    EXPECT_FALSE(manager().createUIElement(make<UIBarItem>()));
}

TEST(ViewWrappers, CellsButtonsAndSegmentsFallBackInTheirOrder) {
    auto cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "c");
    cell->detailTextLabel()->setText("Details");
    EXPECT_EQ(manager().getDisplayText(cell), "Details");
    auto button = make<UIButton>();
    button->setTitle("", UIControlStateNormal);
    button->setTitle("Pressed", UIControlStateHighlighted);
    EXPECT_EQ(manager().getDisplayText(button), "Pressed");
    auto segments = make<UISegmentedControl>(std::vector<std::string>{"", "B"});
    EXPECT_EQ(manager().getFriendlyName(segments), "SegmentControl_B");
    // Reading a cell's names makes no labels.
    auto plain = make<UITableViewCell>();
    EXPECT_EQ(manager().getDisplayText(plain), "UITableViewCell_0");
    EXPECT_EQ(plain->contentView()->subviews().size(), 0u);
}

TEST(ViewWrappers, DisplayStringsStopAtReactNativeViewsAndAreCutAt450) {
    ClassRegistry::registerClass("HostRctViewBox", "UIView");
    auto box = make<UIView>();
    ASSERT_TRUE(box->setRuntimeClassName("HostRctViewBox"));
    auto middle = make<UIView>();
    auto leaf = make<UIView>();
    box->addSubview(middle);
    middle->addSubview(leaf);
    EXPECT_EQ(manager().getDisplayText(leaf), "UIView_0@UIView_0");

    // A view inside a titled button: "UIView_0@" and the title.
    auto holder = make<UIButton>();
    auto inner = make<UIView>();
    holder->addSubview(make<UIView>());
    holder->addSubview(inner);
    holder->setTitle(std::string(440, 'x'), UIControlStateNormal);
    EXPECT_EQ(manager().getDisplayText(inner)->size(), 449u);
    holder->setTitle(std::string(441, 'x'), UIControlStateNormal);
    EXPECT_EQ(manager().getDisplayText(inner)->size(), 450u);
    holder->setTitle(std::string(442, 'x'), UIControlStateNormal);
    EXPECT_EQ(manager().getDisplayText(inner), "UIView_1@" + std::string(441, 'x'));
    // Characters count as the platform counts them, and none is split.
    holder->setTitle(std::string(440, 'x') + "é€", UIControlStateNormal);
    EXPECT_EQ(manager().getDisplayText(inner), "UIView_1@" + std::string(440, 'x') + "é");
}

TEST(ViewWrappers, PropertyReferencesNeedTheExactClassAndObject) {
    Scene scene;
    ClassRegistry::registerClass("ProfileViewController", "UIViewController");
    struct Profile : UIViewController {
        std::string className() const override { return "ProfileViewController"; }
        std::shared_ptr<UIButton> save = make<UIButton>();
    };
    ClassRegistry::addProperty("ProfileViewController",
                               {"saveView", "T@\"UIView\",&,N", [](const NSObject& o) {
                                    return std::shared_ptr<NSObject>(static_cast<const Profile&>(o).save);
                                }});
    auto profile = make<Profile>();
    profile->view()->addSubview(profile->save);
    EXPECT_FALSE(manager().getPropertyReference(profile->save));
    EXPECT_EQ(manager().getUniqueId(profile->save), "UIButton_0@UIView_0");
    // Through a navigation controller the visible controller's properties count.
    EXPECT_EQ(manager().getPropertyReference(scene.home->table), "tableView");
}

TEST(ViewWrappers, FindsViewsByDisplayTextIgnoringCase) {
    Scene scene;
    EXPECT_EQ(manager().findViewByDisplayText("edit", scene.home), scene.editItem()->view());
    EXPECT_EQ(manager().findViewByDisplayText("segmentcontrol_DAY", scene.home), scene.home->segments);
    EXPECT_EQ(manager().findViewByDisplayText(
                  "_UIButtonBarButton_0@UINavigationBar_1@UILayoutContainerView_0@UILayoutContainerView_0",
                  scene.navigation),
              scene.home->navigationItem()->leftBarButtonItem()->view());
    // The insides of cells are not searched.
    EXPECT_FALSE(manager().findViewByDisplayText("Buy", scene.home));
    EXPECT_FALSE(manager().findViewByDisplayText("", scene.home));
    EXPECT_FALSE(manager().findViewByDisplayText("Nothing", scene.home));
}

TEST(ViewWrappers, EventHooksFollowEachControl) {
    auto receiver = make<Receiver>();
    auto button = make<UIButton>();
    manager().hookEventForElement(button, receiver, receiver->selector());
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    auto toggle = make<UISwitch>();
    manager().hookEventForElement(toggle, receiver, receiver->selector());
    toggle->sendActionsForControlEvents(UIControlEventTouchUpInside);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(receiver->senders, (std::vector<std::shared_ptr<NSObject>>{button, toggle}));
    manager().removeEventForElement(button, receiver, receiver->selector());
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(receiver->senders.size(), 2u);
}

TEST(ViewWrappers, RemovingAClickHookLeavesTheHostsRecognisers) {
    Scene scene;
    auto host = make<Receiver>();
    auto library = make<Receiver>();
    auto card = make<UIView>(CGRect(0, 300, 200, 100));
    card->setUserInteractionEnabled(false);
    scene.home->view()->addSubview(card);
    card->addGestureRecognizer(make<UITapGestureRecognizer>(host, host->selector()));

    manager().hookClickEventForElement(card, library, library->selector("clicked:"));
    EXPECT_TRUE(card->isUserInteractionEnabled());
    ASSERT_EQ(card->gestureRecognizers().size(), 2u);
    EXPECT_EQ(card->gestureRecognizers()[1]->actionsForTarget(library), std::vector<std::string>{"clicked:"});

    manager().removeClickEventForElement(card, library, library->selector("clicked:"));
    ASSERT_EQ(card->gestureRecognizers().size(), 1u);
    EXPECT_EQ(card->gestureRecognizers()[0]->actionsForTarget(host), std::vector<std::string>{"fire:"});
}

TEST(ViewWrappers, BarButtonHooksRestoreTheHostsTargetFromTheHookingWrapper) {
    auto host = make<Receiver>();
    auto library = make<Receiver>();
    auto item = UIBarButtonItem::withTitle("Save", UIBarButtonItemStyle::Plain, host, host->selector());

    // Removing a hook that was never installed leaves the item alone.
    manager().removeEventForElement(item, library, library->selector());
    EXPECT_EQ(item->target(), host);

    manager().hookEventForElement(item, library, library->selector());
    EXPECT_NE(item->target(), host);
    item->press();
    EXPECT_EQ(host->senders, std::vector<std::shared_ptr<NSObject>>{item});
    EXPECT_EQ(library->senders, std::vector<std::shared_ptr<NSObject>>{item});

    // Each removal, through fresh calls, undoes the latest hook.
    auto second = make<Receiver>();
    manager().hookEventForElement(item, second, second->selector());
    manager().removeEventForElement(item, second, second->selector());
    item->press();
    EXPECT_EQ(second->senders.size(), 0u);
    EXPECT_EQ(library->senders.size(), 2u);
    manager().removeEventForElement(item, library, library->selector());
    EXPECT_EQ(item->target(), host);
    EXPECT_EQ(item->action().name, "fire:");
    EXPECT_FALSE(KJBarButtonItem::hookedWrapperForItem(item.get()));
    item->press();
    EXPECT_EQ(host->senders.size(), 3u);
    EXPECT_EQ(library->senders.size(), 2u);

    // An item with a custom view keeps its own routing.
    auto custom = UIBarButtonItem::withCustomView(make<UIButton>());
    manager().hookEventForElement(custom, library, library->selector());
    EXPECT_FALSE(custom->target());
    EXPECT_FALSE(KJBarButtonItem::hookedWrapperForItem(custom.get()));
}


TEST(ViewWrappers, EachKindOfControlHasItsNameColoursAndHookedEvent) {
    auto receiver = make<Receiver>();
    // A text field is named by its placeholder and hooked on the start of editing only.
    auto field = make<UITextField>(CGRect(0, 0, 200, 30));
    field->setPlaceholder("Email");
    field->setTextColor(UIColor(0.2, 0.3, 0.4, 1));
    field->setFont(UIFont::systemFontOfSize(17));
    EXPECT_EQ(manager().getFriendlyName(field), "Email");
    EXPECT_EQ(manager().getDisplayText(field), "UITextField_0");
    EXPECT_EQ(manager().getTextColor(field), UIColor(0.2, 0.3, 0.4, 1));
    EXPECT_EQ(manager().getTextFont(field), UIFont::systemFontOfSize(17));
    EXPECT_FALSE(manager().getRecognizableSubviews(field));
    manager().hookEventForElement(field, receiver, receiver->selector());
    field->sendActionsForControlEvents(UIControlEventValueChanged);
    field->sendActionsForControlEvents(UIControlEventTouchUpInside);
    field->sendActionsForControlEvents(UIControlEventEditingDidBegin);
    EXPECT_EQ(receiver->senders, std::vector<std::shared_ptr<NSObject>>{field});
    manager().removeEventForElement(field, receiver, receiver->selector());
    field->sendActionsForControlEvents(UIControlEventEditingDidBegin);
    EXPECT_EQ(receiver->senders.size(), 1u);

    // Steppers and segmented controls report value changes, not touches.
    receiver->senders.clear();
    auto stepper = make<UIStepper>();
    auto segments = make<UISegmentedControl>(std::vector<std::string>{"Day", "Week"});
    for (const std::shared_ptr<UIControl>& control : std::vector<std::shared_ptr<UIControl>>{stepper, segments}) {
        manager().hookEventForElement(control, receiver, receiver->selector());
        control->sendActionsForControlEvents(UIControlEventTouchUpInside);
        control->sendActionsForControlEvents(UIControlEventValueChanged);
    }
    EXPECT_EQ(receiver->senders, (std::vector<std::shared_ptr<NSObject>>{stepper, segments}));
    manager().removeEventForElement(stepper, receiver, receiver->selector());
    manager().removeEventForElement(segments, receiver, receiver->selector());
    stepper->sendActionsForControlEvents(UIControlEventValueChanged);
    segments->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(receiver->senders.size(), 2u);
    EXPECT_FALSE(manager().getFriendlyName(stepper));

    // A segmented control and a bar item take their colours from the normal state's title
    // attributes, and have none without them.
    EXPECT_FALSE(manager().getTextColor(segments));
    EXPECT_FALSE(manager().getTextFont(segments));
    segments->setTitleTextAttributes(TextAttributes{UIColor(1, 0, 0, 1), UIFont::systemFontOfSize(11)},
                                     UIControlStateNormal);
    EXPECT_EQ(manager().getTextColor(segments), UIColor(1, 0, 0, 1));
    EXPECT_EQ(manager().getTextFont(segments), UIFont::systemFontOfSize(11));
    auto item = UIBarButtonItem::withTitle("Done", UIBarButtonItemStyle::Plain, nullptr, Selector{});
    EXPECT_FALSE(manager().getTextColor(item));
    item->setTitleTextAttributes(TextAttributes{UIColor(0, 1, 0, 1), UIFont::systemFontOfSize(15)},
                                 UIControlStateNormal);
    EXPECT_EQ(manager().getTextColor(item), UIColor(0, 1, 0, 1));
    EXPECT_EQ(manager().getTextFont(item), UIFont::systemFontOfSize(15));
    EXPECT_EQ(manager().getFriendlyName(item), "Done");

    // Buttons: the current title colour and the title label's font, made or not.
    auto button = make<UIButton>();
    button->setTitle("Go", UIControlStateNormal);
    button->setTitleColor(UIColor(0, 0, 1, 1), UIControlStateNormal);
    EXPECT_EQ(manager().getTextColor(button), UIColor(0, 0, 1, 1));
    EXPECT_EQ(manager().getTextFont(button), UIFont::systemFontOfSize(UIFont::buttonFontSize()));
    button->titleLabel()->setFont(UIFont::systemFontOfSize(9));
    EXPECT_EQ(manager().getTextFont(button), UIFont::systemFontOfSize(9));
    // Labels give their own; tables, cells and switches the platform's dark text.
    auto label = make<UILabel>();
    label->setText("Total");
    label->setTextColor(UIColor(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(manager().getTextColor(label), UIColor(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(manager().getTextFont(label), label->font());
    for (const std::shared_ptr<NSObject>& plain : std::vector<std::shared_ptr<NSObject>>{
             make<UITableView>(CGRect(0, 0, 100, 100), UITableViewStyle::Plain), make<UITableViewCell>(),
             make<UISwitch>()}) {
        EXPECT_EQ(manager().getTextColor(plain), UIColor::darkTextColor()) << plain->className();
        EXPECT_EQ(manager().getTextFont(plain), UIFont::systemFontOfSize(UIFont::systemFontSize()))
            << plain->className();
    }
    // A plain view has no text colour or font, only its background.
    auto card = make<UIView>(CGRect(0, 0, 10, 10));
    card->setBackgroundColor(UIColor(0.1, 0.2, 0.3, 1));
    EXPECT_EQ(manager().getBackgroundColor(card), UIColor(0.1, 0.2, 0.3, 1));
    EXPECT_FALSE(manager().getTextColor(card));
    EXPECT_FALSE(manager().getTextFont(card));
    // Objects that are neither views nor bar items have nothing.
    auto other = make<UIBarItem>();
    EXPECT_FALSE(manager().getDisplayText(other));
    EXPECT_FALSE(manager().getBackgroundColor(other));
    EXPECT_FALSE(manager().getRecognizableSubviews(other));
    EXPECT_EQ(manager().getFrameOnScreen(other), CGRect());
    EXPECT_FALSE(manager().getView(nullptr));
    EXPECT_FALSE(manager().getPropertyReference(nullptr));
    EXPECT_FALSE(manager().getUniqueId(nullptr));
}

TEST(ViewWrappers, WebViewsAndImagesAreLeavesOfTheSearch) {
    Scene scene;
    // A web view's own subviews are never searched, a plain view's are.
    auto web = make<WKWebView>(CGRect(0, 300, 300, 200));
    auto inside = make<UILabel>(CGRect(0, 0, 100, 20));
    inside->setText("Inside");
    web->addSubview(inside);
    scene.home->view()->addSubview(web);
    EXPECT_FALSE(manager().getRecognizableSubviews(web));
    EXPECT_FALSE(manager().getFriendlyName(web));
    auto insideText = *manager().getDisplayText(inside);
    EXPECT_FALSE(manager().findViewByDisplayText(insideText, scene.home));
    auto box = make<UIView>(CGRect(0, 520, 300, 40));
    auto boxed = make<UILabel>(CGRect(0, 0, 100, 20));
    box->addSubview(boxed);
    scene.home->view()->addSubview(box);
    EXPECT_EQ(manager().findViewByDisplayText(*manager().getDisplayText(boxed), scene.home), boxed);
    // An image view has no name and is not descended into.
    auto image = make<UIImageView>(CGRect(0, 0, 20, 20));
    image->addSubview(make<UIView>());
    EXPECT_FALSE(manager().getFriendlyName(image));
    EXPECT_FALSE(manager().getRecognizableSubviews(image));
    EXPECT_EQ(manager().getRecognizableSubviews(box)->size(), 1u);
}

TEST(ViewWrappers, TabItemsAreNamedByTheirPlaceInTheTabBar) {
    auto first = make<UIViewController>();
    first->tabBarItem()->setTitle("Home");
    auto second = make<UIViewController>();
    second->tabBarItem()->setTitle("Orders");
    auto tabs = make<UITabBarController>();
    tabs->setViewControllers({first, second});
    auto window = make<UIWindow>();
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    RunLoop::main().runUntilIdle();
    window->layoutIfNeeded();

    auto orders = second->tabBarItem();
    ASSERT_TRUE(orders->view());
    EXPECT_EQ(manager().getDisplayText(orders), "1");
    EXPECT_EQ(manager().getFriendlyName(orders), "Orders");
    EXPECT_EQ(manager().getView(orders), orders->view());
    // A screen of the tab controller finds the tab by that text, after its own bar items.
    EXPECT_EQ(manager().findViewByDisplayText("1", first), orders->view());
    EXPECT_EQ(manager().findViewByDisplayText("0", second), first->tabBarItem()->view());
    // An item that is on no tab bar has the display string of a view without one.
    auto loose = UITabBarItem::withTitle("Loose", nullptr, 7);
    EXPECT_EQ(manager().getDisplayText(loose), "");
    window->setHidden(true);
}

TEST(ViewWrappers, NavigationBarsAreSearchedThroughTheirItems) {
    Scene scene;
    auto bar = scene.navigation->navigationBar();
    std::vector<std::shared_ptr<NSObject>> elements{bar};
    // The right item by its title; the left one by its place among the bar's views.
    EXPECT_EQ(manager().findViewByDisplayText("EDIT", elements), scene.editItem()->view());
    auto add = scene.home->navigationItem()->leftBarButtonItem();
    EXPECT_EQ(manager().findViewByDisplayText(*manager().getDisplayText(add), elements), add->view());
    EXPECT_FALSE(manager().findViewByDisplayText("Cancel", elements));

    // The bar's own button views are wrapped as bar buttons: not named, searched into, and
    // hooked on touch up inside when they are controls.
    auto buttonView = add->view();
    ASSERT_NE(buttonView->description().find("UIButtonBarButton"), std::string::npos);
    EXPECT_FALSE(manager().getFriendlyName(buttonView));
    EXPECT_TRUE(manager().getRecognizableSubviews(buttonView));
    if (auto control = std::dynamic_pointer_cast<UIControl>(buttonView)) {
        auto receiver = make<Receiver>();
        manager().hookEventForElement(control, receiver, receiver->selector());
        control->sendActionsForControlEvents(UIControlEventTouchUpInside);
        EXPECT_EQ(receiver->senders.size(), 1u);
        manager().removeEventForElement(control, receiver, receiver->selector());
        control->sendActionsForControlEvents(UIControlEventTouchUpInside);
        EXPECT_EQ(receiver->senders.size(), 1u);
    }
}

TEST(ViewWrappers, BarButtonWrappersThatDidNotHookLeaveTheItemAlone) {
    auto host = make<Receiver>();
    auto library = make<Receiver>();
    auto item = UIBarButtonItem::withTitle("Save", UIBarButtonItemStyle::Plain, host, host->selector());
    // A wrapper that never hooked the item restores nothing.
    KJBarButtonItem fresh(item);
    fresh.removeEventWithTarget(library, library->selector());
    EXPECT_EQ(item->target(), host);
    EXPECT_EQ(item->action().name, "fire:");

    // A host target that has gone is skipped; the library still hears the click.
    manager().hookEventForElement(item, library, library->selector());
    host.reset();
    item->press();
    EXPECT_EQ(library->senders, std::vector<std::shared_ptr<NSObject>>{item});
    manager().removeEventForElement(item, library, library->selector());
    EXPECT_FALSE(item->target());
    item->press();
    EXPECT_EQ(library->senders.size(), 1u);

    // An untitled item that is on no bar is its view's class at place 0, with no ancestors.
    auto untitled = UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::Add, nullptr, {});
    EXPECT_EQ(manager().getDisplayText(untitled), "_UIButtonBarButton_0");
}


TEST(ViewWrappers, ReactNativeContainersEndAViewsPathButNotABarItemsAndCharactersAreNeverSplit) {
    // A view's path ends below the React Native root and content views; a bar item's goes on.
    for (const char* container : {"RCTRootView", "RCTRootContentView", "RCTScrollContentView"}) {
        auto root = make<UIView>();
        ASSERT_TRUE(root->setRuntimeClassName(container)) << container;
        auto middle = make<UIView>();
        auto leaf = make<UIView>();
        root->addSubview(middle);
        middle->addSubview(leaf);
        EXPECT_EQ(manager().getDisplayText(leaf), "UIView_0@UIView_0") << container;

        auto item = UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::Add, nullptr, {});
        auto bar = make<UIView>();
        bar->addSubview(item->view());
        root->addSubview(bar);
        EXPECT_EQ(manager().getDisplayText(item), "_UIButtonBarButton_0@UIView_1@" + root->className() + "_0")
            << container;
    }
    // A character outside the basic plane counts twice and is cut whole.
    auto holder = make<UIButton>();
    auto inner = make<UIView>();
    holder->addSubview(inner);
    holder->setTitle(std::string(440, 'x') + "\xF0\x9F\x98\x80", UIControlStateNormal);  // 449 + 2 units
    EXPECT_EQ(manager().getDisplayText(inner), "UIView_0@" + std::string(440, 'x'));
    holder->setTitle(std::string(439, 'x') + "\xF0\x9F\x98\x80", UIControlStateNormal);  // 450 units
    EXPECT_EQ(manager().getDisplayText(inner), "UIView_0@" + std::string(439, 'x') + "\xF0\x9F\x98\x80");

    // A cell's text label names it before its detail label; an empty one does not.
    auto cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "c");
    cell->textLabel()->setText("Settings");
    cell->detailTextLabel()->setText("Details");
    EXPECT_EQ(manager().getDisplayText(cell), "Settings");
    cell->textLabel()->setText("");
    EXPECT_EQ(manager().getFriendlyName(cell), "Details");
}

}  // namespace
}  // namespace brindlecue
