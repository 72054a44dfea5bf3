#include "targeting/KJTargettingWidgetV2.h"

#include <gtest/gtest.h>

#include <climits>

#include "foundation/KJLog.h"
#include "platform/CaptureLogSink.h"
#include "platform/uikit/UITableViewCell.h"
#include "targeting/KJTipTargetElement.h"
#include "targeting/TargetingScene_test.h"

namespace brindlecue {
namespace {

using namespace testscene;

constexpr const char* kCellButtons = "UIButton@UITableViewCell/0/0@UITableView@HomeViewController";

const KJTargetNodes* group(const KJTargettingWidgetV2& finder, const std::string& ancestor,
                           const std::string& type) {
    auto byAncestor = finder.ancestorForest.find(ancestor);
    if (byAncestor == finder.ancestorForest.end()) return nullptr;
    auto found = byAncestor->second.find(type);
    return found == byAncestor->second.end() ? nullptr : &found->second;
}

std::shared_ptr<KJTipTargetElement> target(std::string ancestor, std::string type, std::string index) {
    auto t = std::make_shared<KJTipTargetElement>();
    t->ancestor = std::move(ancestor);
    t->type = std::move(type);
    t->index = std::move(index);
    return t;
}

TEST(WidgetForest, NamesAndGroupsTheScreen) {
    Scene scene;
    KJTargettingWidgetV2 finder;
    finder.generateViewHierarchyForest(scene.window, false);

    // Cells sit right in their table, so every row is named /0/0; the group orders them by y.
    const auto* buttons = group(finder, kCellButtons, "UIButton");
    ASSERT_TRUE(buttons);
    ASSERT_EQ(buttons->size(), 14u);
    EXPECT_EQ((*buttons)[3]->instance, scene.buttonIn(0, 3));
    EXPECT_EQ((*buttons)[3]->index, 3);
    EXPECT_EQ((*buttons)[3]->frame, CGRect(16, 140 + 3 * 44 + 6, 80, 32));
    ASSERT_TRUE(group(finder, "UITableViewCell/0/0@UITableView@HomeViewController", "UITableViewCell"));
    ASSERT_TRUE(group(finder, "UITableView@HomeViewController", "UITableView"));
    // Landmarks are kinds of the listed classes; a segmented control is none, so its climbing
    // name is "(null)".
    ASSERT_TRUE(group(finder, "UISegment@HomeViewController", "UISegment"));
    ASSERT_TRUE(group(finder, "(null)@HomeViewController", "UISegmentedControl"));
    const auto* barButtons =
        group(finder, "_UIButtonBarButton@UINavigationBar@UINavigationController", "_UIButtonBarButton");
    ASSERT_TRUE(barButtons);
    ASSERT_EQ(barButtons->size(), 2u);
    EXPECT_EQ((*barButtons)[1]->instance, scene.editItem()->view());
    ASSERT_TRUE(group(finder, "UILabel@ButtonBarButton@UINavigationBar@UINavigationController", "UILabel"));
    // Views covering the whole screen are left out.
    for (const auto& [ancestor, byType] : finder.ancestorForest) {
        EXPECT_FALSE(byType.count("UIWindow")) << ancestor;
        EXPECT_FALSE(byType.count("UIViewControllerWrapperView")) << ancestor;
    }
}

TEST(WidgetForest, RematchFindsTheSameViewAfterTheTreeIsRebuilt) {
    Scene scene;
    auto byPath = target(kCellButtons, "UIButton", "3");
    auto before = KJTargettingWidgetV2().rematchWidget(*byPath);
    EXPECT_EQ(before, scene.buttonIn(0, 3));

    scene.home->table->reloadData();
    auto after = KJTargettingWidgetV2().rematchWidget(*byPath);
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_EQ(after, scene.buttonIn(0, 3));

    // The accessibility identifier wins over a path that names nothing.
    auto byIdentifier = target("Nowhere", "UILabel", "0");
    byIdentifier->accessibilityIdentifier = "promo-label";
    EXPECT_EQ(KJTargettingWidgetV2().rematchWidget(*byIdentifier),
              scene.cell(0, 5)->contentView()->subviews().at(1));
    // Two views with the identifier: the path decides.
    scene.home->segments->setAccessibilityIdentifier("promo-label");
    EXPECT_FALSE(KJTargettingWidgetV2().rematchWidget(*byIdentifier));
    byPath->accessibilityIdentifier = "promo-label";
    EXPECT_EQ(KJTargettingWidgetV2().rematchWidget(*byPath), scene.buttonIn(0, 3));

    for (const char* index : {"14", "-1"})
        EXPECT_FALSE(KJTargettingWidgetV2().rematchWidget(*target(kCellButtons, "UIButton", index)));
    EXPECT_FALSE(KJTargettingWidgetV2().rematchWidget(*target(kCellButtons, "UIButtonLabel", "0")));
}

TEST(WidgetForest, PicksLeavesFromTheDumpSkippingHiddenAndLibraryViews) {
    auto dump = std::make_shared<DumpAlgorithm>();
    dump->dump =
        "<UIWindow: 0x10; frame = (0 0; 375 812); layer = <UIWindowLayer: 0x11>>\n"
        "|<HomeVC: 0x12>\n"
        "|<UIView: 0x13; frame = (0 0; 375 812); layer = <CALayer: 0x14>>\n"
        "||<UIImageView: 0x15; frame = (0 0; 10 10); layer = <CALayer: 0x16>>\n"
        "||<UILabel: 0x17; frame = (0 0; 10 10); text = 'a | b'; layer = <_UILabelLayer: 0x18>>\n"
        "||<UIView: 0x19; frame = (0 0; 10 10); hidden = YES; layer = <CALayer: 0x1a>>\n"
        "|||<UIButton: 0x1b; frame = (0 0; 10 10); layer = <CALayer: 0x1c>>\n"
        "||<UIView: 0x1d; frame = (0 0; 10 10); tag = 1000300330; layer = <CALayer: 0x1e>>\n"
        "|||<UIButton: 0x1f; frame = (0 0; 10 10); layer = <CALayer: 0x20>>\n"
        "||<UIButton: 0x21; frame = (0 0; 10 10); tag = 7; layer = <CALayer: 0x22>>";
    BLQFacadeLink::setTargetingAlgo(dump);
    auto leaves = KJTargettingWidgetV2().pickupRawLeaves(nullptr, false);
    BLQFacadeLink::setTargetingAlgo(nullptr);

    struct Expected {
        const char* type;
        const char* address;
        int64_t level, index, tag;
    };
    // The controller's line has no address: the window's line above gives it. The bar in the
    // label's text is no depth, so the image view before it is a leaf and so is the label.
    const Expected expected[] = {{"UIWindow", "0x10", 1, 0, 0},
                                 {"UIImageView", "0x15", 2, 3, 0},
                                 {"UILabel", "0x17", 2, 4, 0},
                                 {"UIButton", "0x21", 2, 9, 7}};
    ASSERT_EQ(leaves.size(), std::size(expected));
    for (size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(leaves[i]->type, expected[i].type) << i;
        EXPECT_EQ(leaves[i]->address, expected[i].address) << i;
        EXPECT_EQ(leaves[i]->level, expected[i].level) << i;
        EXPECT_EQ(leaves[i]->index, expected[i].index) << i;
        EXPECT_EQ(leaves[i]->tag, expected[i].tag) << i;
    }
}

// The pickup reads plain lines by hand and others through the line patterns; either way each
// leaf must be what the patterns of the lines give (isNodeHidden, getViewTag, getNodeAddress and
// getNodeType), for lines that put the patterns' fragments in odd places.
TEST(WidgetForest, PickupReadsLinesAsTheLinePatternsDo) {
    const std::vector<std::string> lines = {
        "<UIWindow: 0x10; frame = (0 0; 375 812); layer = <UIWindowLayer: 0x11>>",
        "|<HomeVC: 0x12>",
        "|<UIView: 0x13; frame = (0 0; 375 812); layer = <CALayer: 0x14>>",
        "||<App.CardView: 0x15; baseClass = UIView; frame = (0 0; 10 10); layer = <CALayer: 0x16>>",
        "||<App..Odd: 0x17; frame = (0 0; 10 10); layer = <CALayer: 0x18>>",
        "||<UILabel: 0x19; frame = (0 0; 10 10); text = 'Hidden = YES; tag = 1'; layer = <L: 0x1a>>",
        "|||<UIButton: 0x1b; frame = (0 0; 10 10); layer = <CALayer: 0x1c>>",
        "||<UILabel: 0x1d; frame = (0 0; 10 10); text = 'hidden = yes; TAG = 42'; layer = <L: 0x1e>>",
        "||<UILabel: 0x1f; frame = (0 0; 10 10); text = '\xC3\x9C tag = 12; hidden  =  YES;'; layer = <L: "
        "0x20>>",
        "||<UILabel: 0x21; frame = (0 0; 10 10); text = '\xC3\x9C tag = 13x'; layer = <L: 0x22>>",
        "||<UIButton: 0x23; frame = (0 0; 10 10); tag = -7; layer = <CALayer: 0x24>>",
        "||<UIView: 0x25; frame = (0 0; 10 10); tag = 12abc; layer = <CALayer: 0x26>>",
        "||<UIView: 0x27; frame = (0 0; 10 10); tag  = 5; layer = <CALayer: 0x28>>",
        "||<UIView:0x29; frame = (0 0; 10 10);layer = <CALayer: 0x2a>>",
        "||<UIView: 0x2b;\tframe = (0 0; 10 10); hidden =\tYES; layer = <CALayer: 0x2c>>",
        "||<_UIHiddenThing: 0x2d; frame = (0 0; 10 10); hidden = NO; hiddenX = YES; layer = <CALayer: 0x2e>>",
        "||<a: 0x2f; frame = (0 0; 10 10); tag = 99999999999; layer = <CALayer: 0x30>>",
        "||<X.Y: 0x31 >",
        "||<UIView: 0x32; frame = (0 0; 10 10); tag = 1000300330; layer = <CALayer: 0x33>>",
        "|||<UIButton: 0x34; frame = (0 0; 10 10); layer = <CALayer: 0x35>>",
        "||<UIView: 0x36; frame = (0 0; 10 10); layer = <CALayer: 0x37>; hidden = YES;>",
        "||<UILabel: 0x38; frame = (0 0; 10 10); text = 'tag : 9; hidden - YES;'; tag = 4; layer = <L: "
        "0x39>>",
        "||< Spaced: 0x3a; frame = (0 0; 10 10); layer = <CALayer: 0x3b>>",
        "||<Obj; 0x3c x; text = 'a_b;'>",
        // Bytes outside the printable range late in the line, past whole blocks of plain ones.
        "||<UIView: 0x3d; frame = (0 0; 10 10); hidden = YES\x7f; layer = <CALayer: 0x3e>>",
        "||<UILabel: 0x3f; frame = (0 0; 10 10); text = 'a\x01b'; tag = 3; layer = <L: 0x40>>",
        "||<UILabel: 0x41; frame = (0 0; 10 10); text = 'ab'; tag = 6; layer = <L: 0x42>>\x1f",
    };
    auto dump = std::make_shared<DumpAlgorithm>();
    for (const auto& line : lines) dump->dump += (dump->dump.empty() ? "" : "\n") + line;
    BLQFacadeLink::setTargetingAlgo(dump);
    auto leaves = KJTargettingWidgetV2().pickupRawLeaves(nullptr, false);
    BLQFacadeLink::setTargetingAlgo(nullptr);

    // The pickup in the patterns' words.
    KJTargetNodes expected;
    int64_t skipLevel = INT64_MAX;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int64_t level = KJTargettingWidgetV2::getNodeLevel(lines[i]);
        if (level > skipLevel) continue;
        const auto tagText = KJTargettingWidgetV2::getViewTag(lines[i]);
        const int64_t tag =
            std::clamp<int64_t>(tagText ? Value(*tagText).integerValue() : 0, INT32_MIN, INT32_MAX);
        if (KJTargettingWidgetV2::isNodeHidden(lines[i]) || tag == 1000300330) {
            skipLevel = level;
            continue;
        }
        skipLevel = INT64_MAX;
        if (i + 1 < lines.size() && KJTargettingWidgetV2::getNodeLevel(lines[i + 1]) > level) continue;
        size_t j = i;
        while (!KJTargettingWidgetV2::getNodeAddress(lines[j]) && j > 0) --j;
        auto leaf = std::make_shared<KJTargetNode>();
        leaf->type = KJTargettingWidgetV2::getNodeType(lines[j]);
        leaf->address = KJTargettingWidgetV2::getNodeAddress(lines[j]);
        leaf->level = level;
        leaf->index = int64_t(j);
        leaf->tag = tag;
        expected.push_back(leaf);
    }
    ASSERT_EQ(leaves.size(), expected.size());
    ASSERT_GE(leaves.size(), 10u);
    for (size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(leaves[i]->type, expected[i]->type) << lines[size_t(*expected[i]->index)];
        EXPECT_EQ(leaves[i]->address, expected[i]->address) << lines[size_t(*expected[i]->index)];
        EXPECT_EQ(leaves[i]->level, expected[i]->level) << i;
        EXPECT_EQ(leaves[i]->index, expected[i]->index) << i;
        EXPECT_EQ(leaves[i]->tag, expected[i]->tag) << i;
    }
}

// While a forest is built, each leaf found again is written to the system console with its
// description, the same as the leaves of a pickup processed on their own.
TEST(WidgetForest, ConsoleLinesDescribeTheLeavesFoundAgain) {
    Scene scene;
    std::vector<std::string> forest, onTheirOwn;
    {
        platform::CaptureLogSink log;
        KJTargettingWidgetV2().generateViewHierarchyForest(scene.window, false);
        for (auto& message : log.messages("Targeting"))
            if (message.starts_with(" + processRawLeaves ")) forest.push_back(std::move(message));
    }
    {
        platform::CaptureLogSink log;
        KJTargettingWidgetV2 finder;
        auto nodes = finder.processRawLeaves(finder.pickupRawLeaves(nullptr, false), {});
        for (auto& message : log.messages("Targeting"))
            if (message.starts_with(" + processRawLeaves ")) onTheirOwn.push_back(std::move(message));
        ASSERT_FALSE(nodes.empty());
    }
    ASSERT_GT(forest.size(), 20u);
    EXPECT_EQ(forest, onTheirOwn);
    const std::string button =
        " + processRawLeaves " + scene.buttonIn(0, 3)->titleLabelIfLoaded()->description() + ": ";
    EXPECT_NE(std::find(forest.begin(), forest.end(), button), forest.end());
}

// The hierarchy engine with everything but its dump handed over as it is written: the finder
// then reads the whole dump back and takes its steps one after the other.
struct StepwiseAlgorithm final : BLQITargetingAlgorithm {
    std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::shared_ptr<BLQITargetingAlgorithmDelegate>) override {}
    void traverseHierarchy(const Visitor& visitor) override { engine.traverseHierarchy(visitor); }
    KJTargetNodes generateAuthorMetaData(const std::vector<std::shared_ptr<NSObject>>& excepts) override {
        return engine.generateAuthorMetaData(excepts);
    }
    KJTargetNodes processRawLeaves(const KJTargetNodes& leaves,
                                   const std::vector<std::shared_ptr<NSObject>>& excepts) override {
        return engine.processRawLeaves(leaves, excepts);
    }
    std::string getTreeNodes() override { return engine.getTreeNodes(); }
    std::string getTreeNodesWithLines(std::vector<TreeLine>& lines) override {
        return engine.getTreeNodesWithLines(lines);
    }
    BLQTargetingAlgorithmV3 engine;
};

// A host view whose description spans two lines of the dump, the second naming another view.
class NotedView final : public UIView {
public:
    NotedView(const CGRect& frame, std::string note) : UIView(frame), note_(std::move(note)) {}
    std::string className() const override { return "NotedView"; }
    std::string description() const override { return UIView::description() + "\n" + note_; }

private:
    std::string note_;
};

// Every record of the forest with every field, group by group.
std::vector<std::string> forestRecords(const KJTargettingWidgetV2::Forest& forest) {
    std::vector<std::string> out;
    auto text = [](const auto& value) {
        if (!value) return std::string("-");
        if constexpr (std::is_same_v<std::decay_t<decltype(*value)>, std::string>)
            return *value;
        else
            return std::to_string(*value);
    };
    for (const auto& [ancestor, byType] : forest) {
        for (const auto& [type, group] : byType) {
            for (const auto& node : group) {
                std::string frame =
                    node->frame ? std::to_string(node->x()) + "," + std::to_string(node->y()) + "," +
                                      std::to_string(node->width()) + "," + std::to_string(node->height())
                                : "-";
                out.push_back(ancestor + " | " + type + " | " + text(node->type) + " " + text(node->address) +
                              " level " + text(node->level) + " index " + text(node->index) + " tag " +
                              text(node->tag) + " ancestor " + text(node->ancestor) + " id " +
                              text(node->accessibilityIdentifier) + " frame " + frame + " view " +
                              (node->instance ? node->instance->addressText() : "-") + " controller " +
                              (node->viewController ? node->viewController->addressText() : "-"));
            }
        }
    }
    return out;
}

// The forest made in one pass over the dump as the engine writes it is the forest of the steps
// taken one after the other: the same nodes with the same names, indexes, identifiers, frames
// and views, the same console lines, the same author records, and a second build adds to the
// first the same way. The screen has what the steps treat apart: hidden and library subtrees,
// the preview panel, a description spanning lines (its view's line is then not the leaf's whole
// description, and a line without an object follows), identifiers on a leaf and on a landmark,
// views off screen and a view controller's line.
TEST(WidgetForest, OnePassGivesTheForestOfTheSteps) {
    Scene scene;
    auto root = scene.home->view();
    auto hidden = make<UIView>(CGRect(200, 100, 100, 40));
    hidden->addSubview(make<UIButton>(CGRect(0, 0, 40, 40)));
    hidden->setHidden(true);
    root->addSubview(hidden);
    auto library = make<UIView>(CGRect(200, 60, 100, 40));
    library->setTag(1000300330);
    library->addSubview(make<UIButton>(CGRect(0, 0, 40, 40)));
    root->addSubview(library);
    scene.tips->panel = make<UIView>(CGRect(240, 20, 120, 60));
    scene.tips->panel->addSubview(make<UIButton>(CGRect(4, 4, 40, 40)));
    root->addSubview(scene.tips->panel);
    auto noted = make<NotedView>(CGRect(300, 100, 60, 30), "<UIButton: 0x10; frame = (0 0; 1 1)>");
    noted->addSubview(make<UIButton>(CGRect(2, 2, 20, 20)));
    root->addSubview(noted);
    auto alone = make<NotedView>(CGRect(230, 100, 60, 30), "a note");
    root->addSubview(alone);
    auto offScreen = make<UIButton>(CGRect(20, 900, 80, 30));
    root->addSubview(offScreen);
    scene.home->segments->setAccessibilityIdentifier("range");
    scene.buttonIn(0, 2)->setAccessibilityIdentifier("buy-2");

    struct Built {
        std::vector<std::string> forest, console;
        Value records;
    };
    auto build = [&](std::shared_ptr<BLQITargetingAlgorithm> engine) {
        BLQFacadeLink::setTargetingAlgo(engine);
        Built built;
        platform::CaptureLogSink log;
        KJTargettingWidgetV2 finder;
        finder.generateViewHierarchyForest(scene.window, false);
        finder.generateViewHierarchyForest(scene.window, false);
        built.forest = forestRecords(finder.ancestorForest);
        built.records = KJTargettingWidgetV2().generateAuthorMetaData({});
        built.console = log.messages("Targeting");
        return built;
    };
    auto stepwise = build(std::make_shared<StepwiseAlgorithm>());
    auto onePass = build(std::make_shared<BLQTargetingAlgorithmV3>());
    // With the legacy log read, the finder takes the steps whatever the engine can do.
    Built heard;
    {
        std::vector<std::string> legacy;
        KJLogSetObserver([&](int, const std::string& line) { legacy.push_back(line); });
        heard = build(std::make_shared<BLQTargetingAlgorithmV3>());
        KJLogSetObserver(nullptr);
        EXPECT_FALSE(legacy.empty());
    }

    ASSERT_GT(stepwise.forest.size(), 30u);
    EXPECT_EQ(onePass.forest, stepwise.forest);
    EXPECT_EQ(heard.forest, stepwise.forest);
    EXPECT_EQ(onePass.console, stepwise.console);
    EXPECT_EQ(heard.console, stepwise.console);
    EXPECT_EQ(onePass.records, stepwise.records);
    EXPECT_EQ(heard.records, stepwise.records);

    // What the screen's odd parts gave: the identifiers, the description spanning lines written
    // whole, and nothing of the hidden and library subtrees, the panel or what is off screen.
    auto has = [&](const std::string& part) {
        return std::any_of(stepwise.forest.begin(), stepwise.forest.end(),
                           [&](const std::string& r) { return r.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(has(" id range "));
    EXPECT_TRUE(has(" id buy-2 "));
    EXPECT_TRUE(has(" view " + noted->subviews().at(0)->addressText() + " "));
    EXPECT_TRUE(std::count(stepwise.console.begin(), stepwise.console.end(),
                           " + processRawLeaves " + alone->description() + ": "));
    for (const auto& view : {hidden->subviews().at(0), library->subviews().at(0),
                             scene.tips->panel->subviews().at(0), std::shared_ptr<UIView>(offScreen)})
        EXPECT_FALSE(has(" view " + view->addressText() + " ")) << view->description();
}

TEST(WidgetForest, OnlyLiveViewsOfTheLeafsClassOutsideTheExclusionsAreKept) {
    Scene scene;
    auto leaf = [](const std::shared_ptr<UIView>& view, std::string type) {
        auto node = std::make_shared<KJTargetNode>();
        node->type = std::move(type);
        node->address = view->addressText();
        return node;
    };
    std::string freedAddress;
    {
        auto gone = make<UIButton>(CGRect(10, 300, 50, 30));
        scene.home->view()->addSubview(gone);
        freedAddress = gone->addressText();
        gone->removeFromSuperview();
    }
    auto freed = std::make_shared<KJTargetNode>();
    freed->type = "UIButton";
    freed->address = freedAddress;
    auto unknown = std::make_shared<KJTargetNode>(*freed);
    unknown->address = "0x10";
    auto wrongClass = leaf(scene.buttonIn(0, 2), "UILabel");
    auto live = leaf(scene.buttonIn(0, 1), "UIButton");
    auto panelButton = make<UIButton>(CGRect(0, 0, 40, 40));
    auto panel = make<UIView>(CGRect(200, 300, 100, 100));
    panel->addSubview(panelButton);
    scene.home->view()->addSubview(panel);
    auto excluded = leaf(panelButton, "UIButton");

    KJTargettingWidgetV2 finder;
    auto nodes = finder.processRawLeaves({freed, unknown, wrongClass, live, excluded}, {panel});
    EXPECT_FALSE(freed->instance);
    EXPECT_FALSE(unknown->instance);
    EXPECT_FALSE(wrongClass->instance);
    EXPECT_FALSE(excluded->instance);
    EXPECT_EQ(live->instance, scene.buttonIn(0, 1));
    EXPECT_EQ(live->ancestor, kCellButtons);
    // The live leaf and the landmarks above it, largest first.
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->type, "UITableView");
    EXPECT_EQ(nodes[1]->type, "UITableViewCell");
    EXPECT_EQ(nodes[2], live);
}

TEST(WidgetForest, OnScreenFilter) {
    Scene scene;
    KJTargettingWidgetV2 finder;
    auto node = [&](CGRect frame, const char* type = "UIView") {
        auto view = make<UIView>(frame);
        scene.window->addSubview(view);
        auto n = std::make_shared<KJTargetNode>();
        n->instance = view;
        n->type = type;
        n->frame = frame;
        return n;
    };
    KJTargetNodes discarded;
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(node(CGRect(0, 0, 375, 812)), discarded));
    EXPECT_TRUE(finder.applyFiltersForTargetNodes(node(CGRect(0, 0, 375, 811)), discarded));
    EXPECT_TRUE(finder.applyFiltersForTargetNodes(node(CGRect(10, 780, 40, 60)), discarded));
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(node(CGRect(10, 782, 40, 60)), discarded));
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(node(CGRect(-1, 100, 40, 40)), discarded));
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(node(CGRect(10, 100, 0, 40)), discarded));
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(
        node(CGRect(10, 100, 40, 40), "_UITableViewCellSeparatorView"), discarded));
    auto faded = node(CGRect(10, 100, 40, 40));
    faded->instance->setAlpha(0);
    EXPECT_FALSE(finder.applyFiltersForTargetNodes(faded, discarded));
    EXPECT_EQ(discarded.size(), 6u);
}


// A table of three sections of two rows, each section with a titled header and footer.
class SectionedTable final : public UITableViewDataSource {
public:
    int64_t numberOfSectionsInTableView(UITableView&) override { return 3; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 2; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override {
        return make<UITableViewCell>();
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t section) override {
        return "Header " + std::to_string(section);
    }
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, int64_t section) override {
        return "Footer " + std::to_string(section);
    }
};

// Collection items sit right in their collection, so, as table rows, every item is named /0/0 and
// its group is ordered by x, then y. A section's footer is named by the section when the section's
// header is on screen too; a header is named by the item nearest to it.
TEST(WidgetForest, NamesCollectionItemsAndFootersOfTheScreen) {
    GalleryScene scene;
    const std::string items = "UIButton@UICollectionViewCell/0/0@UICollectionView@GalleryViewController";
    const std::string topFooters = "UILabel@UICollectionReusableView/0/0@UICollectionView@GalleryViewController";
    const std::string lastFooter = "UILabel@UICollectionReusableView/1/0@UICollectionView@GalleryViewController";
    {
        KJTargettingWidgetV2 finder;
        finder.generateViewHierarchyForest(scene.window, false);
        const auto* buttons = group(finder, items, "UIButton");
        ASSERT_TRUE(buttons);
        ASSERT_EQ(buttons->size(), 16u);
        // The first column top to bottom (two rows of each section on screen), then the next.
        const std::pair<int64_t, int64_t> firstColumn[] = {{0, 0}, {0, 4}, {1, 0}, {1, 4}, {0, 1}};
        for (size_t i = 0; i < std::size(firstColumn); ++i)
            EXPECT_EQ((*buttons)[i]->instance,
                      scene.item(firstColumn[i].first, firstColumn[i].second)->contentView()->subviews().at(0))
                << i;
        const auto* labels = group(finder, topFooters, "UILabel");
        ASSERT_TRUE(labels);
        EXPECT_EQ(labels->size(), 3u);
        EXPECT_FALSE(group(finder, lastFooter, "UILabel"));
        EXPECT_TRUE(group(finder, "UICollectionView@GalleryViewController", "UICollectionView"));
    }
    // Found again by path and place after the items were made anew.
    auto second = KJTargettingWidgetV2().rematchWidget(*target(items, "UIButton", "1"));
    EXPECT_EQ(second, scene.item(0, 4)->contentView()->subviews().at(0));

    // Scrolled to the end, the last footer is named by its section and found by it.
    scene.gallery->collection->setContentOffset({0, 240});
    scene.window->layoutIfNeeded();
    KJTargettingWidgetV2 finder;
    finder.generateViewHierarchyForest(scene.window, false);
    const auto* last = group(finder, lastFooter, "UILabel");
    ASSERT_TRUE(last);
    ASSERT_EQ(last->size(), 1u);
    EXPECT_EQ((*last)[0]->instance, scene.labelOf(UICollectionElementKindSectionFooter, 1));
    EXPECT_EQ(KJTargettingWidgetV2().rematchWidget(*target(lastFooter, "UILabel", "0")),
              scene.labelOf(UICollectionElementKindSectionFooter, 1));
    EXPECT_EQ(finder.determineNormalisedViewClassName(
                  scene.gallery->collection->supplementaryViewForElementKind(
                      UICollectionElementKindSectionHeader, NSIndexPath::forItem(0, 1))),
              "UICollectionReusableView/0/0");
}

TEST(WidgetForest, NamesTableHeadersByTheirSectionAndReactNativeViewsByTheirPlace) {
    Scene scene;
    auto source = std::make_shared<SectionedTable>();
    auto table = make<UITableView>(CGRect(0, 0, 375, 600), UITableViewStyle::Plain);
    table->setDataSource(source);
    scene.home->view()->addSubview(table);
    table->layoutIfNeeded();
    KJTargettingWidgetV2 finder;
    for (int64_t section = 0; section < 3; ++section) {
        auto header = table->headerViewForSection(section);
        ASSERT_TRUE(header) << section;
        EXPECT_EQ(finder.determineNormalisedViewClassName(header),
                  "UITableViewHeaderFooterView/" + std::to_string(section));
    }
    // A footer is no section's header: it has the number of sections.
    std::shared_ptr<UIView> footer;
    for (const auto& view : table->subviews())
        if (auto hf = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(view))
            if (hf->textLabel()->text() == "Footer 1") footer = hf;
    ASSERT_TRUE(footer);
    EXPECT_EQ(finder.determineNormalisedViewClassName(footer), "UITableViewHeaderFooterView/3");
    // A header view outside any table is section 0.
    EXPECT_EQ(finder.determineNormalisedViewClassName(make<UITableViewHeaderFooterView>()),
              "UITableViewHeaderFooterView/0");

    // React Native views: numbered by their place among their siblings inside a React Native
    // scroll view, bare elsewhere.
    auto scroll = make<UIScrollView>(CGRect(0, 0, 375, 400));
    ASSERT_TRUE(scroll->setRuntimeClassName("RCTCustomScrollView"));
    auto content = make<UIView>();
    ASSERT_TRUE(content->setRuntimeClassName("RCTView"));
    std::vector<std::shared_ptr<UIView>> rows;
    for (int i = 0; i < 3; ++i) {
        rows.push_back(make<UIView>());
        ASSERT_TRUE(rows.back()->setRuntimeClassName("RCTView"));
        content->addSubview(rows.back());
    }
    scroll->addSubview(content);
    EXPECT_EQ(finder.determineNormalisedViewClassName(rows[2]), "RCTView/2");
    EXPECT_EQ(finder.determineNormalisedViewClassName(content), "RCTView/0");
    auto loose = make<UIView>();
    ASSERT_TRUE(loose->setRuntimeClassName("RCTView"));
    EXPECT_EQ(finder.determineNormalisedViewClassName(loose), "RCTView");
    scene.home->view()->addSubview(loose);
    EXPECT_EQ(finder.determineNormalisedViewClassName(loose), "RCTView");
    // The navigation bar's private buttons share one short name; objects of no listed kind have none.
    EXPECT_EQ(finder.determineNormalisedViewClassName(scene.editItem()->view()), "ButtonBarButton");
    EXPECT_FALSE(finder.determineNormalisedViewClassName(make<UIScrollView>()));
    EXPECT_FALSE(finder.determineNormalisedViewClassName(nullptr));
}

}  // namespace
}  // namespace brindlecue
