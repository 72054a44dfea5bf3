#include "targeting/BLQTargetingAlgorithmV3.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/uikit/UITableViewCell.h"
#include "targeting/TargetingScene_test.h"

namespace brindlecue {
namespace {

using namespace testscene;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    out.push_back(text.substr(start));
    return out;
}

std::vector<std::shared_ptr<KJTargetNode>> recordsFor(const KJTargetNodes& nodes,
                                                      const std::shared_ptr<UIView>& view) {
    std::vector<std::shared_ptr<KJTargetNode>> out;
    std::copy_if(nodes.begin(), nodes.end(), std::back_inserter(out),
                 [&](const auto& n) { return n->instance == view; });
    return out;
}

// Adds to the home screen a hidden view holding a button, and a label whose text spans two lines
// and holds a bar; returns the hidden view.
std::shared_ptr<UIView> addHiddenButtonAndTwoLineLabel(Scene& scene) {
    auto hidden = make<UIView>(CGRect(0, 0, 10, 10));
    hidden->addSubview(make<UIButton>());
    hidden->setHidden(true);
    scene.home->view()->addSubview(hidden);
    auto note = make<UILabel>(CGRect(0, 0, 10, 10));
    note->setText("two\nlines | here");
    scene.home->view()->addSubview(note);
    return hidden;
}

TEST(HierarchyEngine, WalksControllersAboveTheirRootViewsAndDumpsThemBeside) {
    Scene scene;
    auto hidden = addHiddenButtonAndTwoLineLabel(scene);

    BLQTargetingAlgorithmV3 engine;
    std::vector<std::pair<std::string, int64_t>> visited;
    engine.traverseHierarchy([&](const std::shared_ptr<UIResponder>& node, int64_t depth) {
        visited.emplace_back(node->className(), depth);
    });
    ASSERT_GE(visited.size(), 7u);
    const std::pair<std::string, int64_t> top[] = {{"UIWindow", 0},
                                                   {"UINavigationController", 1},
                                                   {"UILayoutContainerView", 2},
                                                   {"UINavigationTransitionView", 3},
                                                   {"UIViewControllerWrapperView", 4},
                                                   {"HomeViewController", 5},
                                                   {"UIView", 6}};
    for (size_t i = 0; i < std::size(top); ++i) EXPECT_EQ(visited[i], top[i]) << i;

    // The dump has one line per node; a controller's root view stands at its depth.
    auto dump = lines(engine.getTreeNodes());
    ASSERT_EQ(dump.size(), visited.size());
    EXPECT_TRUE(dump[1].starts_with("|<UINavigationController: 0x")) << dump[1];
    EXPECT_TRUE(dump[2].starts_with("|<UILayoutContainerView: 0x")) << dump[2];
    EXPECT_TRUE(dump[6].starts_with("||||<UIView: 0x")) << dump[6];
    EXPECT_EQ(
        std::count_if(visited.begin(), visited.end(), [](const auto& v) { return v.first == "UIButton"; }),
        14);
    EXPECT_EQ(std::count_if(dump.begin(), dump.end(),
                            [](const std::string& l) {
                                return l.find("text = 'two\\nlines | here'") != std::string::npos;
                            }),
              1);
}

// Handed over as it is written, the dump is the one getTreeNodes writes, object by object: the
// bars, then the description (a description with a line break spans two lines of the dump), with
// the objects getTreeNodesWithLines tells.
TEST(HierarchyEngine, HandsTheDumpOverAsItIsWritten) {
    Scene scene;
    auto hidden = addHiddenButtonAndTwoLineLabel(scene);

    BLQTargetingAlgorithmV3 engine;
    std::string written;
    std::vector<BLQITargetingAlgorithm::TreeLine> handed;
    ASSERT_TRUE(engine.describeTree(
        [&](const std::shared_ptr<UIResponder>& object, int64_t depth, std::string_view description) {
            if (!handed.empty()) written += '\n';
            written.append(size_t(depth), '|');
            written += description;
            EXPECT_EQ(description, object->description());
            handed.push_back({object, depth});
        }));
    EXPECT_EQ(written, engine.getTreeNodes());
    std::vector<BLQITargetingAlgorithm::TreeLine> told;
    engine.getTreeNodesWithLines(told);
    ASSERT_EQ(handed.size(), told.size());
    ASSERT_GT(handed.size(), 50u);
    for (size_t i = 0; i < handed.size(); ++i) {
        EXPECT_EQ(handed[i].object, told[i].object) << i;
        EXPECT_EQ(handed[i].depth, told[i].depth) << i;
    }
    EXPECT_TRUE(std::none_of(handed.begin(), handed.end(),
                             [&](const auto& line) { return line.object == hidden->subviews().at(0); }));

    // An engine that cannot tell says so and hands nothing over.
    size_t calls = 0;
    DumpAlgorithm mute;
    mute.dump = "<UIView: 0x10; frame = (0 0; 1 1)>";
    EXPECT_FALSE(mute.describeTree([&](const auto&, int64_t, std::string_view) { ++calls; }));
    EXPECT_EQ(calls, 0u);
}

TEST(HierarchyEngine, ABareWindowIsOneLeaf) {
    BLQTargetingAlgorithmV3 engine;
    EXPECT_EQ(engine.getTreeNodes(), "");
    EXPECT_TRUE(engine.generateAuthorMetaData({}).empty());
    auto window = make<UIWindow>();
    window->makeKeyAndVisible();
    EXPECT_EQ(engine.getTreeNodes(), window->description());
    auto only = engine.generateAuthorMetaData({});
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(only[0]->type, "UIWindow");
    EXPECT_EQ(only[0]->address, window->addressText());
    EXPECT_EQ(only[0]->level, 0);
    EXPECT_EQ(only[0]->index, 0);
    window->setHidden(true);
}

TEST(HierarchyEngine, PickupSkipsOnlyTheLinesOfTheLibrarysPanel) {
    Scene scene;
    auto panel = make<UIView>(CGRect(0, 300, 100, 100));
    panel->setTag(1000300330);
    auto inPanel = make<UIButton>(CGRect(0, 0, 40, 40));
    panel->addSubview(inPanel);
    scene.home->view()->addSubview(panel);
    auto spacer = make<UIView>(CGRect(0, 400, 10, 10));
    scene.home->view()->addSubview(spacer);
    auto note = make<UILabel>(CGRect(0, 420, 100, 20));
    note->setText("a | b");
    scene.home->view()->addSubview(note);

    BLQTargetingAlgorithmV3 engine;
    auto leaves = engine.generateAuthorMetaData({});
    // The bar in the label's text is no depth: the view before the label is a leaf beside it.
    auto leafAt = [&](const std::shared_ptr<UIView>& view) {
        auto found = std::find_if(leaves.begin(), leaves.end(),
                                  [&](const auto& l) { return l->address == view->addressText(); });
        return found == leaves.end() ? nullptr : *found;
    };
    ASSERT_TRUE(leafAt(spacer));
    ASSERT_TRUE(leafAt(note));
    EXPECT_EQ(leafAt(note)->level, 5);
    auto panelAddress = panel->addressText();
    auto buttonAddress = inPanel->addressText();
    EXPECT_TRUE(std::none_of(leaves.begin(), leaves.end(),
                             [&](const auto& l) { return l->address == panelAddress; }));
    auto button = std::find_if(leaves.begin(), leaves.end(),
                               [&](const auto& l) { return l->address == buttonAddress; });
    ASSERT_NE(button, leaves.end());
    EXPECT_EQ((*button)->type, "UIButton");
    EXPECT_EQ((*button)->tag, 0);
    // The controller's own line is a leaf: the wrapper view above it gives address and type.
    EXPECT_TRUE(std::any_of(leaves.begin(), leaves.end(), [](const auto& l) {
        return l->type == "UIViewControllerWrapperView" && l->level == 4;
    }));
}

TEST(HierarchyEngine, NamesViewsByExactClassWithoutTheController) {
    Scene scene;
    ClassRegistry::registerClass("FancyButton", "UIButton");
    struct FancyButton : UIButton {
        std::string className() const override { return "FancyButton"; }
    };
    auto fancy = make<FancyButton>();
    fancy->setFrame(CGRect(250, 100, 40, 30));
    scene.home->view()->addSubview(fancy);

    BLQTargetingAlgorithmV3 engine;
    auto nodes = engine.processRawLeaves(engine.generateAuthorMetaData({}), {});

    // A label that is a leaf and a supported widget is listed twice; the button and the cell
    // above leaves once.
    auto label = recordsFor(nodes, scene.cell(0, 4)->contentView()->subviews().at(1));
    ASSERT_EQ(label.size(), 2u);
    EXPECT_EQ(label[0]->ancestor, "UILabel@UITableViewCell@UITableView");
    EXPECT_TRUE(label[0]->level);
    EXPECT_FALSE(label[1]->level);
    EXPECT_EQ(label[1]->ancestor, "UILabel@UITableViewCell@UITableView");
    auto button = recordsFor(nodes, scene.buttonIn(0, 4));
    ASSERT_EQ(button.size(), 1u);
    EXPECT_EQ(button[0]->ancestor, "UIButton@UITableViewCell@UITableView");
    auto cell = recordsFor(nodes, scene.cell(0, 4));
    ASSERT_EQ(cell.size(), 1u);
    EXPECT_EQ(cell[0]->ancestor, "UITableViewCell@UITableView");
    EXPECT_EQ(cell[0]->type, "UITableViewCell");
    EXPECT_EQ(cell[0]->viewController, scene.home);
    EXPECT_EQ(cell[0]->address, scene.cell(0, 4)->addressText());
    EXPECT_EQ(recordsFor(nodes, scene.home->table).size(), 1u);

    // The private bar button takes its short name above a leaf.
    auto editLabel = recordsFor(nodes, scene.editItem()->view()->subviews().at(0));
    ASSERT_FALSE(editLabel.empty());
    EXPECT_EQ(editLabel[0]->ancestor, "UILabel@ButtonBarButton@UINavigationBar");
    // A subclass of a listed class is not listed.
    auto fancyRecords = recordsFor(nodes, fancy);
    ASSERT_EQ(fancyRecords.size(), 1u);
    EXPECT_EQ(fancyRecords[0]->type, "FancyButton");
    EXPECT_EQ(fancyRecords[0]->ancestor, "FancyButton");
    EXPECT_FALSE(engine.determineNormalisedViewClassName(fancy));
    EXPECT_EQ(engine.determineNormalisedViewClassName(scene.editItem()->view()), "ButtonBarButton");
}

TEST(HierarchyEngine, LeavesThatNameNoLiveViewStayUnannotated) {
    Scene scene;
    BLQTargetingAlgorithmV3 engine;
    auto leafOf = [](std::string address, std::string type) {
        auto leaf = std::make_shared<KJTargetNode>();
        leaf->address = std::move(address);
        leaf->type = std::move(type);
        return leaf;
    };
    std::string freedAddress;
    {
        auto gone = make<UIButton>();
        freedAddress = gone->addressText();
    }
    auto freed = leafOf(freedAddress, "UIButton");
    auto null = leafOf("0x0000000000", "UIButton");
    auto live = leafOf(scene.buttonIn(0, 1)->addressText(), "UIButton");
    auto inside = leafOf(scene.buttonIn(0, 2)->addressText(), "UIButton");

    auto nodes = engine.processRawLeaves({freed, null, live, inside}, {scene.cell(0, 2)});
    EXPECT_FALSE(freed->instance);
    EXPECT_FALSE(null->instance);
    EXPECT_FALSE(inside->instance);
    EXPECT_EQ(live->instance, scene.buttonIn(0, 1));
    EXPECT_EQ(live->frame, CGRect(16, 140 + 44 + 6, 80, 32));
    // Every leaf stays in the result, annotated or not; the live one brings its landmarks.
    EXPECT_EQ(nodes.size(), 4u + 3u);

    // Something to exclude that is no view: nothing is accepted.
    auto again = leafOf(scene.buttonIn(0, 1)->addressText(), "UIButton");
    engine.processRawLeaves({again}, {make<UIBarButtonItem>()});
    EXPECT_FALSE(again->instance);

    engine.postprocess(
        {live, leafOf(scene.cell(0, 5)->contentView()->subviews().at(1)->addressText(), "UILabel")});
    EXPECT_FALSE(live->accessibilityIdentifier);
}

TEST(HierarchyEngine, AccessibilityIdentifiersAndTheRootViewAsJSON) {
    Scene scene;
    BLQTargetingAlgorithmV3 engine;
    auto label = scene.cell(0, 5)->contentView()->subviews().at(1);
    auto leaf = std::make_shared<KJTargetNode>();
    leaf->address = label->addressText();
    engine.postprocess({leaf});
    EXPECT_EQ(leaf->accessibilityIdentifier, "promo-label");

    scene.navigation->view()->setTag(42);
    scene.navigation->view()->setAccessibilityIdentifier("root");
    auto json = engine.generateViewTreeJSON();
    ASSERT_TRUE(json);
    auto node = Value::fromJSON(std::string(json->begin(), json->end()));
    ASSERT_TRUE(node);
    EXPECT_EQ((*node)["class"], Value("UILayoutContainerView"));
    EXPECT_EQ((*node)["frame"], Value("{{0, 0}, {375, 812}}"));
    EXPECT_EQ((*node)["tag"], Value(42));
    EXPECT_EQ((*node)["accessibilityIdentifier"], Value("root"));
    EXPECT_EQ((*node)["type"], Value("UILayoutContainerView"));
}


// A table of two sections of three rows, each section with a titled header and footer.
class TitledSections final : public UITableViewDataSource {
public:
    int64_t numberOfSectionsInTableView(UITableView&) override { return 2; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 3; }
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

// A collection header or footer is named by the section whose footer it is, or whose header it is
// when that section shows no footer; otherwise it has the bare name, as items do (they sit right
// in the collection, with no index path through their superview's superview).
TEST(HierarchyEngine, NamesCollectionSectionsByTheirVisibleHeadersAndFooters) {
    GalleryScene scene;
    BLQTargetingAlgorithmV3 engine;
    auto collection = scene.gallery->collection;
    auto supplementary = [&](const char* kind, int64_t section) {
        return collection->supplementaryViewForElementKind(kind, NSIndexPath::forItem(0, section));
    };
    EXPECT_EQ(engine.determineNormalisedViewClassName(supplementary(UICollectionElementKindSectionFooter, 0)),
              "UICollectionReusableView/0/0");
    EXPECT_EQ(engine.determineNormalisedViewClassName(supplementary(UICollectionElementKindSectionHeader, 1)),
              "UICollectionReusableView/1/0");
    EXPECT_EQ(engine.determineNormalisedViewClassName(supplementary(UICollectionElementKindSectionHeader, 0)),
              "UICollectionReusableView");
    EXPECT_EQ(engine.determineNormalisedViewClassName(scene.item(1, 2)), "UICollectionViewCell");

    // Scrolled down, section 1 shows its footer, which takes the section's name from its header.
    collection->setContentOffset({0, 240});
    scene.window->layoutIfNeeded();
    EXPECT_EQ(engine.determineNormalisedViewClassName(supplementary(UICollectionElementKindSectionFooter, 1)),
              "UICollectionReusableView/1/0");
    EXPECT_EQ(engine.determineNormalisedViewClassName(supplementary(UICollectionElementKindSectionHeader, 1)),
              "UICollectionReusableView");
    auto nodes = engine.processRawLeaves(engine.generateAuthorMetaData({}), {});
    auto footerLabel = recordsFor(nodes, scene.labelOf(UICollectionElementKindSectionFooter, 1));
    ASSERT_EQ(footerLabel.size(), 2u);
    EXPECT_EQ(footerLabel[0]->ancestor, "UILabel@UICollectionReusableView/1/0@UICollectionView");
    auto button = recordsFor(nodes, scene.item(1, 9)->contentView()->subviews().at(0));
    ASSERT_EQ(button.size(), 1u);
    EXPECT_EQ(button[0]->ancestor, "UIButton@UICollectionViewCell@UICollectionView");
    EXPECT_EQ(button[0]->viewController, scene.gallery);
}

TEST(HierarchyEngine, NamesTableHeadersByTheirSectionAndCellsWithoutATableAboveThemPlainly) {
    Scene scene;
    BLQTargetingAlgorithmV3 engine;
    auto source = std::make_shared<TitledSections>();
    auto table = make<UITableView>(CGRect(0, 0, 375, 600), UITableViewStyle::Plain);
    table->setDataSource(source);
    scene.home->view()->addSubview(table);
    table->layoutIfNeeded();
    EXPECT_EQ(engine.determineNormalisedViewClassName(table->headerViewForSection(1)),
              "UITableViewHeaderFooterView/1");
    // Footers are not looked at: section 0.
    std::shared_ptr<UIView> footer;
    for (const auto& view : table->subviews())
        if (auto hf = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(view))
            if (hf->textLabel()->text() == "Footer 1") footer = hf;
    ASSERT_TRUE(footer);
    EXPECT_EQ(engine.determineNormalisedViewClassName(footer), "UITableViewHeaderFooterView/0");
    // Outside a table a header view has the bare name.
    EXPECT_EQ(engine.determineNormalisedViewClassName(make<UITableViewHeaderFooterView>()),
              "UITableViewHeaderFooterView");

    // A cell right in a window is row 0 of section 0; one held by a table's subview is asked of
    // that table; one without a superview, or whose superview has none, has the bare name.
    auto inWindow = make<UITableViewCell>();
    scene.window->addSubview(inWindow);
    EXPECT_EQ(engine.determineNormalisedViewClassName(inWindow), "UITableViewCell/0/0");
    auto wrapper = make<UIView>();
    auto wrapped = table->cellForRowAtIndexPath(NSIndexPath::forRow(2, 1));
    ASSERT_TRUE(wrapped);
    table->addSubview(wrapper);
    wrapper->addSubview(wrapped);
    EXPECT_EQ(engine.determineNormalisedViewClassName(wrapped), "UITableViewCell/1/2");
    auto stranger = make<UITableViewCell>();
    wrapper->addSubview(stranger);
    EXPECT_EQ(engine.determineNormalisedViewClassName(stranger), "UITableViewCell");
    EXPECT_EQ(engine.determineNormalisedViewClassName(make<UITableViewCell>()), "UITableViewCell");
    auto box = make<UIView>();
    auto boxed = make<UITableViewCell>();
    box->addSubview(boxed);
    EXPECT_EQ(engine.determineNormalisedViewClassName(boxed), "UITableViewCell");
    EXPECT_FALSE(engine.determineNormalisedViewClassName(nullptr));
    // A collection item in a window is also row 0 of section 0.
    auto item = make<UICollectionViewCell>();
    scene.window->addSubview(item);
    EXPECT_EQ(engine.determineNormalisedViewClassName(item), "UICollectionViewCell/0/0");
}

}  // namespace
}  // namespace brindlecue
