#include <gtest/gtest.h>

#include <cctype>

#include "platform/Crypto.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISlider.h"
#include "platform/uikit/UIStepper.h"
#include "platform/uikit/UISwitch.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/KJUIElementManager.h"
#include "targeting/NodeFilter.h"
#include "targeting/TargetingScene_test.h"
#include "targeting/UIViewBrindlecueSDK.h"

namespace brindlecue {
namespace {

using namespace testscene;

constexpr const char* kCellButtons = "UIButton@UITableViewCell/0/0@UITableView@HomeViewController";

std::string upperMD5(const std::string& text) {
    std::string digest = Crypto::md5Hex(std::string_view(text));
    for (char& c : digest) c = char(std::toupper(static_cast<unsigned char>(c)));
    return digest;
}

std::shared_ptr<KJTargetNode> nodeOf(std::string type, std::shared_ptr<UIView> view) {
    auto node = std::make_shared<KJTargetNode>();
    node->type = std::move(type);
    node->frame = view->frame();
    node->instance = std::move(view);
    return node;
}

const Value* recordOf(const Value& records, const std::string& ancestor, const std::string& type,
                      int64_t index) {
    for (size_t i = 0; i < records.count(); ++i) {
        const Value& r = records[i];
        if (r["ancestor"] == Value(ancestor) && r["type"] == Value(type) && r["index"] == Value(index))
            return &r;
    }
    return nullptr;
}

TEST(AuthorMetadata, DescribesEveryCandidateWithItsIdAndTheSuperTagOfClickableOnes) {
    Scene scene;
    auto tapped = make<UIView>(CGRect(250, 100, 60, 30));
    tapped->addGestureRecognizer(make<UITapGestureRecognizer>());
    scene.home->view()->addSubview(tapped);
    scene.buttonIn(0, 1)->setAccessibilityIdentifier("buy-second");
    scene.window->layoutIfNeeded();
    const Value records = KJTargettingWidgetV2().generateAuthorMetaData({});

    // Two buttons of one path differ by their index in the digest only.
    const Value* first = recordOf(records, kCellButtons, "UIButton", 0);
    const Value* second = recordOf(records, kCellButtons, "UIButton", 1);
    ASSERT_TRUE(first && second);
    const std::string digest = upperMD5(std::string(kCellButtons) + "+0");
    // A button is climbed to from its label: only raw leaves carry a view tag.
    EXPECT_EQ(*first, Value::dictionary({{"id", "UIButton-" + digest},
                                         {"supertag", "kj_supertag_HomeViewController_UIButton-" + digest},
                                         {"ancestor", kCellButtons},
                                         {"type", "UIButton"},
                                         {"index", 0},
                                         {"width", 80.0},
                                         {"height", 32.0},
                                         {"x", 16.0},
                                         {"y", 146.0},
                                         {"ios_version", "17.5"},
                                         {"version", "3.0.0"}}));
    EXPECT_EQ((*second)["id"], Value("UIButton-" + upperMD5(std::string(kCellButtons) + "+1")));
    // A clickable view with an identifier is counted under it.
    EXPECT_EQ((*second)["supertag"], Value("kj_supertag_HomeViewController_buy-second"));

    // Labels are not clickable; a plain view with a recogniser is.
    const Value* label =
        recordOf(records, "UILabel@UITableViewCell/0/0@UITableView@HomeViewController", "UILabel", 5);
    ASSERT_TRUE(label);
    EXPECT_EQ((*label)["tag"], Value(0));
    EXPECT_EQ((*label)["accessibility_identifier"], Value("promo-label"));
    EXPECT_TRUE((*label)["supertag"].isAbsent());
    const Value* plain = recordOf(records, "UIView@HomeViewController", "UIView", 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ((*plain)["supertag"],
              Value("kj_supertag_HomeViewController_UIView-" + upperMD5("UIView@HomeViewController+0")));

    // A table named a button by its node is still a table.
    ClassRegistry::registerClass("FeedTable", "UITableView");
    struct FeedTable final : UITableView {
        std::string className() const override { return "FeedTable"; }
    };
    EXPECT_FALSE(KJTargettingWidgetV2().isLeafNodeClickable(*nodeOf("UIButton", make<FeedTable>())));
}

TEST(NodeFilterTest, LeavesOutANodeThatReachesPastTheScreenByAPointWhichTheForestKeeps) {
    Scene scene;
    const double bottom = UIScreen::mainScreen()->bounds().size.height;
    auto low = make<UIButton>(CGRect(10, bottom - 39, 100, 40));
    scene.window->addSubview(low);
    auto node = nodeOf("UIButton", low);
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
    KJTargetNodes discarded;
    EXPECT_TRUE(KJTargettingWidgetV2().applyFiltersForTargetNodes(node, discarded));
    node->frame = CGRect(10, bottom - 40, 100, 40);
    EXPECT_FALSE(NodeFilter::mustFilterOut(*node));
    node->type = "_UITableViewCellSeparatorView";
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
}


// Receives the super-tag clicks of the bound views.
struct ClickCounter : NSObject {
    void clicked(const std::shared_ptr<NSObject>&) { ++clicks; }
    Selector action() { return makeSelector<ClickCounter>("superTagEventHandlerV2:", &ClickCounter::clicked); }
    int clicks = 0;
};

TEST(SuperTagBinding, MarksClickableViewsAndHooksEachOnceByItsKindOfEvent) {
    Scene scene;
    auto root = scene.home->view();
    auto toggle = make<UISwitch>();
    toggle->setFrame(CGRect(250, 100, 51, 31));
    auto slider = make<UISlider>(CGRect(16, 60, 150, 30));
    auto stepper = make<UIStepper>();
    stepper->setFrame(CGRect(200, 60, 94, 29));
    for (const std::shared_ptr<UIView>& control : std::vector<std::shared_ptr<UIView>>{toggle, slider, stepper})
        root->addSubview(control);
    auto reactRow = make<UIView>(CGRect(300, 60, 60, 30));
    ASSERT_TRUE(reactRow->setRuntimeClassName("RCTView"));
    root->addSubview(reactRow);
    auto counter = make<ClickCounter>();

    // Bound twice, as the tip engine does on every screen: each view is hooked once.
    for (int i = 0; i < 2; ++i)
        KJTargettingWidgetV2().findClickableWidgetsToBindSuperTag(scene.window, counter, counter->action());

    for (const std::shared_ptr<UIControl>& control :
         std::vector<std::shared_ptr<UIControl>>{toggle, slider, stepper, scene.home->segments}) {
        EXPECT_EQ(control->actionsForTarget(counter, UIControlEventValueChanged),
                  std::vector<std::string>{"superTagEventHandlerV2:"})
            << control->className();
        EXPECT_TRUE(control->actionsForTarget(counter, UIControlEventTouchDown).empty()) << control->className();
        EXPECT_TRUE(brindlecueWidgetType(*control)) << control->className();
    }
    auto button = scene.buttonIn(0, 3);
    EXPECT_EQ(button->actionsForTarget(counter, UIControlEventTouchDown),
              std::vector<std::string>{"superTagEventHandlerV2:"});
    EXPECT_EQ(brindlecueWidgetType(*button), "UIButton");
    EXPECT_EQ(brindlecueWidgetIndex(*button), "3");
    EXPECT_EQ(brindlecueWidgetAncestor(*button), std::string(kCellButtons));
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_EQ(counter->clicks, 1);

    // Cells and React Native views get one tap recogniser that lets their own touches through.
    for (const std::shared_ptr<UIView>& view : std::vector<std::shared_ptr<UIView>>{scene.cell(0, 2), reactRow}) {
        ASSERT_EQ(view->gestureRecognizers().size(), 1u) << view->className();
        const auto& tap = view->gestureRecognizers()[0];
        EXPECT_EQ(tap->actionsForTarget(counter), std::vector<std::string>{"superTagEventHandlerV2:"});
        EXPECT_FALSE(tap->cancelsTouchesInView());
        EXPECT_TRUE(view->isUserInteractionEnabled());
        EXPECT_TRUE(brindlecueWidgetAncestor(*view)) << view->className();
    }
    // Labels are neither marked nor hooked.
    auto label = scene.cell(0, 2)->contentView()->subviews().at(1);
    EXPECT_FALSE(brindlecueWidgetType(*label));
    EXPECT_TRUE(label->gestureRecognizers().empty());
}

TEST(SuperTagBinding, CollectionItemsAreHookedWithATap) {
    GalleryScene scene;
    auto counter = make<ClickCounter>();
    KJTargettingWidgetV2().findClickableWidgetsToBindSuperTag(scene.window, counter, counter->action());
    auto item = scene.item(1, 2);
    ASSERT_EQ(item->gestureRecognizers().size(), 1u);
    EXPECT_EQ(brindlecueWidgetAncestor(*item), "UICollectionViewCell/0/0@UICollectionView@GalleryViewController");
    // Another action of the same target is a hook of its own.
    auto other = makeSelector<ClickCounter>("other:", &ClickCounter::clicked);
    KJTargettingWidgetV2().findClickableWidgetsToBindSuperTag(scene.window, counter, other);
    EXPECT_EQ(item->gestureRecognizers().size(), 2u);
}

TEST(NodeFilterTest, LeavesOutEmptyWholeScreenOffScreenAndHiddenNodesButNotIncompleteOnes) {
    Scene scene;
    auto card = make<UIView>(CGRect(10, 100, 100, 40));
    scene.home->view()->addSubview(card);
    auto node = nodeOf("UIView", card);
    node->frame = KJUIElementManager::sharedInstance().getFrameOnScreen(card);
    EXPECT_FALSE(NodeFilter::mustFilterOut(*node));
    const CGRect screen = UIScreen::mainScreen()->bounds();
    for (const CGRect frame : {CGRect(10, 100, 0, 40), CGRect(10, 100, 100, -4), screen, CGRect(-1, 100, 100, 40),
                               CGRect(10, -1, 100, 40), CGRect(screen.size.width - 99, 100, 100, 40)}) {
        auto changed = std::make_shared<KJTargetNode>(*node);
        changed->frame = frame;
        EXPECT_TRUE(NodeFilter::mustFilterOut(*changed)) << frame.origin.x << " " << frame.size.width;
    }
    card->setHidden(true);
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
    card->setHidden(false);
    scene.home->view()->setAlpha(0);
    EXPECT_TRUE(NodeFilter::mustFilterOut(*node));
    scene.home->view()->setAlpha(1);
    // A node without its frame, type or view is not judged.
    for (int missing = 0; missing < 3; ++missing) {
        auto partial = std::make_shared<KJTargetNode>(*node);
        partial->frame = CGRect(0, 0, 0, 0);
        if (missing == 0) partial->frame.reset();
        if (missing == 1) partial->type.reset();
        if (missing == 2) partial->instance.reset();
        EXPECT_FALSE(NodeFilter::mustFilterOut(*partial)) << missing;
    }
}

}  // namespace
}  // namespace brindlecue
