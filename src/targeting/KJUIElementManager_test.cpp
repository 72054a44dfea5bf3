#include "targeting/KJUIElementManager.h"

#include <gtest/gtest.h>

#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UISwitch.h"
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

}  // namespace
}  // namespace brindlecue
