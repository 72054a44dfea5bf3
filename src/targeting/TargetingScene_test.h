#pragma once

// A host screen for the targeting tests: a window whose navigation controller shows
// HomeViewController (a host class with "tableView" and "buyButton" properties). Its view holds a
// segmented control and a table of two sections of 20 rows; every cell holds a "Buy" button and a
// label in its content view (the label of row 5 of section 0 has the accessibility identifier
// "promo-label"). The navigation bar shows a titled "Edit" item on the right and an
// "add" system item on the left. The tip engine and the targeting algorithm of the facade are a
// fake and a hierarchy engine for as long as the scene lives.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/BLQFacadeLink.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"
#include "targeting/BLQTargetingAlgorithmV3.h"
#include "support/StubTipManager.h"

namespace brindlecue::testscene {

using namespace brindlecue::platform;

// A targeting algorithm whose dump is given.
struct DumpAlgorithm final : BLQITargetingAlgorithm {
    std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::shared_ptr<BLQITargetingAlgorithmDelegate>) override {}
    void traverseHierarchy(const Visitor&) override {}
    KJTargetNodes generateAuthorMetaData(const std::vector<std::shared_ptr<NSObject>>&) override {
        return {};
    }
    KJTargetNodes processRawLeaves(const KJTargetNodes& leaves,
                                   const std::vector<std::shared_ptr<NSObject>>&) override {
        return leaves;
    }
    std::string getTreeNodes() override { return dump; }
    std::string dump;
};

class FakeTipManager final : public testsupport::StubTipManager {
public:
    std::optional<std::string> currentRCTViewName() const override { return reactNativeName; }
    std::shared_ptr<UIViewController> customerCurrentVC() const override { return screen.lock(); }
    void showTipForViewController(const Value&, const Notification::ObjectMap& objects) override {
        auto it = objects.find("vc");
        shownFor.push_back(it == objects.end() ? nullptr
                                               : std::static_pointer_cast<UIViewController>(it->second));
    }
    std::shared_ptr<UIView> previewModePanel() const override { return panel; }

    std::optional<std::string> reactNativeName;
    std::weak_ptr<UIViewController> screen;
    std::vector<std::shared_ptr<UIViewController>> shownFor;
    std::shared_ptr<UIView> panel;
};

class HomeViewController final : public UIViewController, public UITableViewDataSource {
public:
    static constexpr int kRows = 20;

    static void registerClass() {
        ClassRegistry::registerClass("HomeViewController", "UIViewController");
        if (!ClassRegistry::properties("HomeViewController").empty()) return;
        ClassRegistry::addProperty(
            "HomeViewController",
            {"tableView", "T@\"UITableView\",&,N,V_tableView", [](const NSObject& o) {
                 return std::shared_ptr<NSObject>(static_cast<const HomeViewController&>(o).table);
             }});
        ClassRegistry::addProperty(
            "HomeViewController",
            {"buyButton", "T@\"UIButton\",&,N,V_buyButton", [](const NSObject& o) {
                 return std::shared_ptr<NSObject>(static_cast<const HomeViewController&>(o).buyButton);
             }});
    }

    std::string className() const override { return "HomeViewController"; }

    void viewDidLoad() override {
        auto root = view();
        segments = make<UISegmentedControl>(std::vector<std::string>{"Day", "Week"});
        segments->setFrame(CGRect(16, 100, 200, 32));
        root->addSubview(segments);
        table = make<UITableView>(CGRect(0, 140, 375, 600), UITableViewStyle::Plain);
        table->setDataSource(std::static_pointer_cast<HomeViewController>(sharedAs<UIViewController>()));
        root->addSubview(table);
        navigationItem()->setRightBarButtonItem(
            UIBarButtonItem::withTitle("Edit", UIBarButtonItemStyle::Plain, nullptr, Selector{}));
        navigationItem()->setLeftBarButtonItem(
            UIBarButtonItem::withSystemItem(UIBarButtonSystemItem::Add, nullptr, Selector{}));
    }

    int64_t numberOfSectionsInTableView(UITableView&) override { return 2; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return kRows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath& path) override {
        auto cell = make<UITableViewCell>();
        auto button = make<UIButton>(CGRect(16, 6, 80, 32));
        button->setTitle("Buy", UIControlStateNormal);
        auto label = make<UILabel>(CGRect(120, 6, 200, 32));
        label->setText("Item " + std::to_string(path.section) + "." + std::to_string(path.row));
        cell->contentView()->addSubview(button);
        cell->contentView()->addSubview(label);
        if (path.section == 0 && path.row == 0) buyButton = button;
        if (path.section == 0 && path.row == 5) label->setAccessibilityIdentifier("promo-label");
        return cell;
    }

    std::shared_ptr<UISegmentedControl> segments;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<UIButton> buyButton;
};

struct Scene {
    Scene() {
        Clock::useVirtual();
        HomeViewController::registerClass();
        home = make<HomeViewController>();
        navigation = make<UINavigationController>(home);
        window = make<UIWindow>();
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
        window->layoutIfNeeded();
        tips = std::make_shared<FakeTipManager>();
        tips->screen = home;
        BLQFacadeLink::setTipManager(tips);
        BLQFacadeLink::setTargetingAlgo(std::make_shared<BLQTargetingAlgorithmV3>());
    }
    ~Scene() {
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setTargetingAlgo(nullptr);
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    std::shared_ptr<UITableViewCell> cell(int64_t section, int64_t row) const {
        return home->table->cellForRowAtIndexPath(NSIndexPath::forRow(row, section));
    }
    std::shared_ptr<UIButton> buttonIn(int64_t section, int64_t row) const {
        return std::dynamic_pointer_cast<UIButton>(cell(section, row)->contentView()->subviews().at(0));
    }
    std::shared_ptr<UIBarButtonItem> editItem() const { return home->navigationItem()->rightBarButtonItem(); }

    std::shared_ptr<HomeViewController> home;
    std::shared_ptr<UINavigationController> navigation;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<FakeTipManager> tips;
};

}  // namespace brindlecue::testscene
