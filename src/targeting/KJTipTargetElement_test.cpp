#include "config/BLQUtilsFacade.h"
#include "targeting/KJTipTargetElement.h"

#include <gtest/gtest.h>

#include "feed/KJTipElement.h"
#include "foundation/BLQUtils.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "targeting/TargetingScene_test.h"

namespace brindlecue {
namespace {

using namespace testscene;

std::shared_ptr<KJTipTargetElement> parse(const char* json) {
    auto document = Value::fromJSON(json);
    EXPECT_TRUE(document) << json;
    return KJTipTargetElement::createFromFeed(document ? *document : Value());
}

TEST(TargetDescriptor, ReadsScreenChildPathAndTargetParams) {
    auto target = parse(R"({"view": "HomeVC/tab2", "target-params": {"child": "[1, 4]",
        "ancestor": "UIButton@UITableViewCell/0/0@UITableView@HomeVC", "index": 3, "type": "UIButton",
        "version": "2.0"}, "target": "buyButton"})");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->vcClass(), "HomeVC");
    EXPECT_EQ(target->section, 1);
    EXPECT_EQ(target->row, 4);
    EXPECT_EQ(target->indexPath(), NSIndexPath::forRow(4, 1));
    EXPECT_EQ(target->index, "3");
    EXPECT_EQ(target->control, "buyButton");

    // A child that is not a pair of numbers still cuts the screen name.
    for (const char* child : {R"("[1]")", R"("[1, \"x\"]")", R"("not json")", "[1, 4]"}) {
        auto cut =
            parse((std::string(R"({"view": "A/b", "target-params": {"child": )") + child + "}}").c_str());
        EXPECT_EQ(cut->vcClass(), "A") << child;
        EXPECT_FALSE(cut->indexPath()) << child;
    }
    // Without target-params the target text is not read; a null screen is empty text.
    auto bare = parse(R"({"view": null, "target": "buyButton"})");
    EXPECT_EQ(bare->vcClassName, "");
    EXPECT_FALSE(bare->control);
    EXPECT_FALSE(KJTipTargetElement::createFromFeed(Value("text")));
}

TEST(TargetDescriptor, TargetListsApplyFromVersionThree) {
    const char* list = R"([{"alg": "accessibility", "inputs": [{"target": ""}, {"target": "loginButton"}]},
                           {"alg": "parent-child-ios", "inputs": [{"target": "submit"}]}])";
    auto withVersion = [&](const char* version) {
        return parse((std::string(R"({"view": "A", "target-params": {"version": )") + version +
                      R"(}, "target": )" + list + "}")
                         .c_str());
    };
    for (const char* version : {R"("2.9")", R"("3.0")", "2.9"}) {
        auto old = withVersion(version);
        EXPECT_FALSE(old->accessibilityIdentifier) << version;
        EXPECT_FALSE(old->control) << version;
        EXPECT_TRUE(old->arrayTargets.isAbsent()) << version;
    }
    for (const char* version : {R"("3.0.0")", "3.1", R"("3.10.0")"}) {
        auto current = withVersion(version);
        EXPECT_EQ(current->accessibilityIdentifier, "loginButton") << version;
        EXPECT_EQ(current->control, "submit") << version;
        EXPECT_EQ(current->arrayTargets.count(), 2u) << version;
    }
    // An entry without "alg" sets both; later entries win; entries without inputs set nothing.
    auto noAlg = parse(R"({"target-params": {"version": "3.0.0"}, "target": [
        {"alg": "legacy-alg-v2", "inputs": [{"target": "first"}]}, {"inputs": [{"target": "both"}]},
        {"alg": "accessibility", "inputs": "none"}]})");
    EXPECT_EQ(noAlg->accessibilityIdentifier, "both");
    EXPECT_EQ(noAlg->control, "both");
}

TEST(TargetDescriptor, StoredFormReadsBackAndStepsBuildTheirTargets) {
    KJTipTargetElement::registerWithCampaignModel();
    auto step = KJTipElement::createFromFeed(*Value::fromJSON(R"({"meta": {"view": "HomeVC", "tool": "tip",
        "target-params": {"ancestor": "UIButton@HomeVC", "index": "0", "type": "UIButton", "version": "3.0.0"},
        "target": [{"alg": "accessibility", "inputs": [{"target": "buy"}]}]}})"));
    ASSERT_TRUE(step);
    auto target = std::dynamic_pointer_cast<KJTipTargetElement>(step->target);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->parentElement.lock(), step);
    EXPECT_EQ(target->accessibilityIdentifier, "buy");

    auto back = KJTipTargetElement::deserializeFromDictionary(target->serializeToDictionary());
    EXPECT_TRUE(back->isEqual(target.get()));
    EXPECT_EQ(back->section, -1);
    back->type = "UILabel";
    EXPECT_FALSE(back->isEqual(target.get()));
    KJElementClass::registerFactories(BLQITipTargetElement::kClassName, {});
}

TEST(TargetDescriptor, MatchesScreensByClassReactNativeNameOrAll) {
    Scene scene;
    auto home = parse(R"({"view": "HomeViewController"})");
    auto all = parse(R"({"view": "_ALL_"})");
    auto other = parse(R"({"view": "SettingsViewController"})");
    EXPECT_TRUE(home->matchVC(scene.home));
    EXPECT_FALSE(other->matchVC(scene.home));
    EXPECT_TRUE(all->matchVC(scene.home));

    // On a React Native screen only the registered view name counts.
    scene.tips->reactNativeName = "Checkout";
    EXPECT_FALSE(home->matchVC(scene.home));
    EXPECT_TRUE(parse(R"({"view": "Checkout"})")->matchVC(scene.home));
    EXPECT_TRUE(all->matchVC(scene.home));
    EXPECT_TRUE(home->matchVCForReactNative("HomeViewController"));
    EXPECT_TRUE(home->matchVCForReactNative("Checkout"));
    EXPECT_FALSE(home->matchVCForReactNative("Cart"));
}

TEST(TargetDescriptor, FindsItsViewByPropertyDisplayTextOrIndexPath) {
    Scene scene;
    EXPECT_EQ(parse(R"({"view": "HomeViewController", "target-params": {}, "target": "buyButton"})")
                  ->findTargetInViewController(scene.home),
              scene.buttonIn(0, 0));
    EXPECT_EQ(parse(R"({"target-params": {}, "target": "edit"})")->findTargetInViewController(scene.home),
              scene.editItem()->view());
    EXPECT_FALSE(
        parse(R"({"target-params": {}, "target": "point_10_20"})")->findTargetInViewController(scene.home));
    EXPECT_EQ(parse(R"({"view": "A/b", "target-params": {"child": "[0, 3]"}, "target": "tableView"})")
                  ->findTargetInViewController(scene.home),
              scene.cell(0, 3));
    // A screen without tables or collections answers with its root view.
    auto plain = make<UIViewController>();
    EXPECT_EQ(
        parse(R"({"view": "A/b", "target-params": {"child": "[0, 3]"}})")->findTargetInViewController(plain),
        plain->view());
}

// A tour step past the first one, pointing below its row, in a table whose row is off screen.
struct TourStep {
    explicit TourStep(int64_t position) {
        KJTipTargetElement::setStepPlaceLookup([position](const KJTipElement&) {
            return KJTipTargetElement::StepPlace{1, size_t(position)};
        });
        step = std::make_shared<KJTipElement>();
        step->placement = 4;
        target = parse(R"({"view": "HomeViewController/x", "target-params": {"child": "[1, 2]"}})");
        target->setParentElement(step);
    }
    ~TourStep() { KJTipTargetElement::setStepPlaceLookup(nullptr); }
    std::shared_ptr<KJTipElement> step;
    std::shared_ptr<KJTipTargetElement> target;
};

TEST(TargetDescriptor, LaterTourStepScrollsItsRowIntoView) {
    Scene scene;
    ASSERT_FALSE(scene.cell(1, 2));
    TourStep later(2);
    auto cell = later.target->findTargetInViewController(scene.home);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell, scene.cell(1, 2));
    EXPECT_EQ(cell->frame().origin.y, scene.home->table->contentOffset().y);  // scrolled to the top
    EXPECT_FALSE(scene.home->table->hasObservers());
}

TEST(TargetDescriptor, FirstTourStepWaitsForScrollingAndStopsWaitingWhenItGoes) {
    Scene scene;
    auto table = scene.home->table;
    {
        TourStep first(0);
        EXPECT_FALSE(first.target->findTargetInViewController(scene.home));
        EXPECT_EQ(table->contentOffset().y, 0);
        EXPECT_TRUE(table->hasObservers());

        // Each movement asks the tip engine for the screen once, 0.1 s later.
        table->setContentOffset({0, 40});
        table->setContentOffset({0, 80});
        Clock::advance(0.09);
        EXPECT_TRUE(scene.tips->shownFor.empty());
        Clock::advance(0.02);
        ASSERT_EQ(scene.tips->shownFor.size(), 2u);
        EXPECT_EQ(scene.tips->shownFor[0], scene.home);

        // Found once the row is there: the table is no longer observed.
        table->scrollToRowAtIndexPath(NSIndexPath::forRow(2, 1), UITableViewScrollPosition::Top, false);
        EXPECT_TRUE(first.target->findTargetInViewController(scene.home));
        EXPECT_FALSE(table->hasObservers());
        table->setContentOffset({0, 0});
        EXPECT_FALSE(first.target->findTargetInViewController(scene.home));
        EXPECT_TRUE(table->hasObservers());
    }
    // The descriptor has gone, and so has its observation: another one can wait for the table.
    EXPECT_FALSE(table->hasObservers());
    TourStep next(0);
    EXPECT_FALSE(next.target->findTargetInViewController(scene.home));
    EXPECT_TRUE(table->hasObservers());
}


// Versions compare as the platform compares texts numerically: runs of digits by their value,
// other characters one by one, a text that begins the other below it.
TEST(TargetDescriptor, TargetListVersionsCompareRunsOfDigitsByValue) {
    auto applies = [](const char* version) {
        auto target = parse((std::string(R"({"target-params": {"version": ")") + version +
                             R"("}, "target": [{"alg": "accessibility", "inputs": [{"target": "id"}]}]})")
                                .c_str());
        return bool(target->accessibilityIdentifier);
    };
    for (const char* version : {"3.0.0", "4", "4.0", "10.0.0", "3.0.1", "03.00.00", "3.0.0-beta", "3.0.0.0"})
        EXPECT_TRUE(applies(version)) << version;
    for (const char* version : {"2.10.0", "3.0", "3", "3,1", "", "02.99", "3.0-1"})
        EXPECT_FALSE(applies(version)) << version;
}

TEST(TargetDescriptor, ReactNativeHostsNameTheirScreensByTheNativeIdUnderTheContentView) {
    Scene scene;
    struct ReactNativeFacade {
        ReactNativeFacade() { blqSetFacade({{}, [] { return true; }}); }
        ~ReactNativeFacade() { blqSetFacade({}); }
    } reactNative;
    auto content = make<UIView>();
    auto holder = make<UIView>();
    holder->setValueForKey("nativeID", "checkout");
    content->addSubview(holder);
    scene.home->view()->setObjectForKey("contentView", content);

    EXPECT_TRUE(parse(R"({"view": "checkout"})")->matchVC(scene.home));
    EXPECT_FALSE(parse(R"({"view": "HomeViewController"})")->matchVC(scene.home));
    // Without a native id the class name stays the screen's name.
    holder->setValueForKey("nativeID", "");
    EXPECT_TRUE(parse(R"({"view": "HomeViewController"})")->matchVC(scene.home));
    // A screen whose view is not loaded yet, or no screen at all, is only matched by "_ALL_".
    auto unloaded = make<HomeViewController>();
    EXPECT_TRUE(parse(R"({"view": "HomeViewController"})")->matchVC(unloaded));
    EXPECT_FALSE(unloaded->isViewLoaded());
    EXPECT_FALSE(parse(R"({"view": "HomeViewController"})")->matchVC(nullptr));
    EXPECT_TRUE(parse(R"({"view": "_ALL_"})")->matchVC(nullptr));
    EXPECT_FALSE(parse(R"({"view": "HomeViewController"})")->findTargetInViewController(nullptr));
}

TEST(TargetDescriptor, CollectionItemsAreScrolledIntoViewWhenInRange) {
    GalleryScene scene;
    auto collection = scene.gallery->collection;
    // An item on screen is answered as it is.
    auto shown = parse(R"({"view": "GalleryViewController/g", "target-params": {"child": "[1, 5]"}})");
    EXPECT_EQ(shown->findTargetInViewController(scene.gallery), scene.item(1, 5));
    EXPECT_EQ(collection->contentOffset().y, 0);

    // An item below the screen is scrolled to, through the screen's collection property too.
    ASSERT_FALSE(scene.item(1, 13));
    auto below =
        parse(R"({"view": "GalleryViewController/g", "target-params": {"child": "[1, 13]"}, "target": "collectionView"})");
    auto cell = below->findTargetInViewController(scene.gallery);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell, scene.item(1, 13));
    EXPECT_GT(collection->contentOffset().y, 0);
    auto visible = collection->indexPathsForVisibleItems();
    EXPECT_NE(std::find(visible.begin(), visible.end(), NSIndexPath::forItem(13, 1)), visible.end());

    // Index paths the collection does not have scroll nothing and find nothing.
    collection->setContentOffset({0, 0});
    for (const char* child : {"[1, 16]", "[2, 0]", "[0, -3]", "[-2, 1]"}) {
        auto outside = parse((std::string(R"({"view": "GalleryViewController/g", "target-params": {"child": ")") +
                              child + R"("}})")
                                 .c_str());
        EXPECT_FALSE(outside->findTargetInViewController(scene.gallery)) << child;
        EXPECT_EQ(collection->contentOffset().y, 0) << child;
    }
    // A property that names something else than a collection: the screen's own collection.
    auto other = parse(R"({"view": "G/g", "target-params": {"child": "[0, 1]"}, "target": "view"})");
    EXPECT_EQ(other->findTargetInViewController(scene.gallery), scene.item(0, 1));
}

TEST(TargetDescriptor, LaterTourStepsScrollByTheirPlacementAndOnlyToRowsThatExist) {
    Scene scene;
    auto table = scene.home->table;
    TourStep later(1);
    // Pointing above its row: the row goes to the bottom of the table.
    later.step->placement = 3;
    auto cell = later.target->findTargetInViewController(scene.home);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell, scene.cell(1, 2));
    EXPECT_DOUBLE_EQ(cell->frame().maxY(), table->contentOffset().y + table->bounds().size.height);

    // Another placement centres the row, but only one that is not visible already.
    table->setContentOffset({0, 0});
    later.step->placement = 2;
    auto centred = later.target->findTargetInViewController(scene.home);
    ASSERT_TRUE(centred);
    EXPECT_DOUBLE_EQ(centred->frame().midY(), table->contentOffset().y + table->bounds().size.height / 2);
    auto visibleRow = parse(R"({"view": "HomeViewController/x", "target-params": {"child": "[0, 3]"}})");
    visibleRow->setParentElement(later.step);
    table->setContentOffset({0, 0});
    EXPECT_EQ(visibleRow->findTargetInViewController(scene.home), scene.cell(0, 3));
    EXPECT_EQ(table->contentOffset().y, 0);

    // A row or section the table does not have: no scrolling, no cell, no waiting.
    for (const char* child : {"[1, 20]", "[2, 0]", "[0, -5]"}) {
        auto missing = parse(
            (std::string(R"({"view": "HomeViewController/x", "target-params": {"child": ")") + child + R"("}})")
                .c_str());
        missing->setParentElement(later.step);
        EXPECT_FALSE(missing->findTargetInViewController(scene.home)) << child;
        EXPECT_EQ(table->contentOffset().y, 0) << child;
        EXPECT_FALSE(table->hasObservers()) << child;
    }
    // A step without a placement waits for the row instead.
    later.step->placement = 0;
    EXPECT_FALSE(later.target->findTargetInViewController(scene.home));
    EXPECT_TRUE(table->hasObservers());
    EXPECT_EQ(table->contentOffset().y, 0);
}

TEST(TargetDescriptor, StepsOutsideToursAndOtherDescriptorsDoNotScrollOrStopTheWaiting) {
    Scene scene;
    auto table = scene.home->table;
    // The later step of a campaign that is no tour waits for its row.
    TourStep step(3);
    KJTipTargetElement::setStepPlaceLookup(
        [](const KJTipElement&) { return KJTipTargetElement::StepPlace{0, size_t(3)}; });
    EXPECT_FALSE(step.target->findTargetInViewController(scene.home));
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_TRUE(table->hasObservers());

    // Another descriptor finding its own row leaves that waiting on.
    auto shown = parse(R"({"view": "HomeViewController/x", "target-params": {"child": "[0, 1]"}})");
    EXPECT_EQ(shown->findTargetInViewController(scene.home), scene.cell(0, 1));
    EXPECT_TRUE(table->hasObservers());
    table->setContentOffset({0, 20});
    Clock::advance(0.2);
    EXPECT_EQ(scene.tips->shownFor.size(), 1u);

    // A descriptor of no step waits too, and only one descriptor observes a table at a time.
    auto loose = parse(R"({"view": "HomeViewController/x", "target-params": {"child": "[1, 9]"}})");
    EXPECT_FALSE(loose->findTargetInViewController(scene.home));
    table->setContentOffset({0, 40});
    Clock::advance(0.2);
    EXPECT_EQ(scene.tips->shownFor.size(), 2u);
}

TEST(TargetDescriptor, OnlyTheTablesOffsetAsksTheTipEngineAgain) {
    Scene scene;
    TourStep first(0);
    EXPECT_FALSE(first.target->findTargetInViewController(scene.home));
    first.target->observeValueForKeyPath("frame", scene.home->table);
    first.target->observeValueForKeyPath("contentOffset", make<UIView>());
    Clock::advance(1);
    EXPECT_TRUE(scene.tips->shownFor.empty());

    // Without a tip engine the delayed question asks nobody; without a screen it names none.
    scene.home->table->setContentOffset({0, 30});
    BLQFacadeLink::setTipManager(nullptr);
    Clock::advance(1);
    EXPECT_TRUE(scene.tips->shownFor.empty());
    BLQFacadeLink::setTipManager(scene.tips);
    scene.tips->screen.reset();
    scene.home->table->setContentOffset({0, 60});
    Clock::advance(1);
    ASSERT_EQ(scene.tips->shownFor.size(), 1u);
    EXPECT_FALSE(scene.tips->shownFor[0]);
}

}  // namespace
}  // namespace brindlecue
