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

#include "facade/BLQFacadeLink.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"
#include "support/StubTipManager.h"
#include "targeting/BLQTargetingAlgorithmV3.h"

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

// A second host screen: GalleryViewController (with a "collectionView" property) shows a
// collection 400 points high at y 100 of two sections, of 8 and 16 items of 80 by 80 points, four
// to a row with 10 points between them; each section has a header and a footer 30 points high
// holding a label ("Header 1", "Footer 0"), each item an "Add" button in its content view. At the
// top, section 1's first two rows and header are on screen, its footer is not.
class GalleryViewController final : public UIViewController, public UICollectionViewDataSource {
public:
    static void registerClass() {
        ClassRegistry::registerClass("GalleryViewController", "UIViewController");
        if (!ClassRegistry::properties("GalleryViewController").empty()) return;
        ClassRegistry::addProperty(
            "GalleryViewController",
            {"collectionView", "T@\"UICollectionView\",&,N,V_collectionView", [](const NSObject& o) {
                 return std::shared_ptr<NSObject>(static_cast<const GalleryViewController&>(o).collection);
             }});
    }

    std::string className() const override { return "GalleryViewController"; }

    void viewDidLoad() override {
        auto layout = make<UICollectionViewFlowLayout>();
        layout->itemSize = CGSize{80, 80};
        layout->headerReferenceSize = CGSize{375, 30};
        layout->footerReferenceSize = CGSize{375, 30};
        collection = make<UICollectionView>(CGRect(0, 100, 375, 400), layout);
        collection->setDataSource(std::static_pointer_cast<GalleryViewController>(sharedAs<UIViewController>()));
        view()->addSubview(collection);
    }

    int64_t numberOfSectionsInCollectionView(UICollectionView&) override { return 2; }
    int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t section) override {
        return section == 0 ? 8 : 16;
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView&,
                                                                               const NSIndexPath&) override {
        auto cell = make<UICollectionViewCell>();
        auto button = make<UIButton>(CGRect(10, 10, 60, 30));
        button->setTitle("Add", UIControlStateNormal);
        cell->contentView()->addSubview(button);
        return cell;
    }
    std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
        UICollectionView&, const std::string& kind, const NSIndexPath& path) override {
        auto view = make<UICollectionReusableView>();
        auto label = make<UILabel>(CGRect(10, 5, 200, 20));
        label->setText((kind == UICollectionElementKindSectionHeader ? "Header " : "Footer ") +
                       std::to_string(path.section));
        view->addSubview(label);
        return view;
    }

    std::shared_ptr<UICollectionView> collection;
};

struct GalleryScene {
    GalleryScene() {
        Clock::useVirtual();
        GalleryViewController::registerClass();
        gallery = make<GalleryViewController>();
        window = make<UIWindow>();
        window->setRootViewController(gallery);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
        window->layoutIfNeeded();
        tips = std::make_shared<FakeTipManager>();
        tips->screen = gallery;
        BLQFacadeLink::setTipManager(tips);
        BLQFacadeLink::setTargetingAlgo(std::make_shared<BLQTargetingAlgorithmV3>());
    }
    ~GalleryScene() {
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setTargetingAlgo(nullptr);
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
    }
    GalleryScene(const GalleryScene&) = delete;
    GalleryScene& operator=(const GalleryScene&) = delete;

    std::shared_ptr<UICollectionViewCell> item(int64_t section, int64_t item) const {
        return gallery->collection->cellForItemAtIndexPath(NSIndexPath::forItem(item, section));
    }
    // The label of a visible header or footer.
    std::shared_ptr<UIView> labelOf(const char* kind, int64_t section) const {
        auto view = gallery->collection->supplementaryViewForElementKind(kind, NSIndexPath::forItem(0, section));
        return view ? view->subviews().at(0) : nullptr;
    }

    std::shared_ptr<GalleryViewController> gallery;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<FakeTipManager> tips;
};

}  // namespace brindlecue::testscene
