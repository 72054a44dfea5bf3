#include "targeting/KJTipTargetElement.h"

#include <gtest/gtest.h>

#include "feed/KJTipElement.h"
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

}  // namespace
}  // namespace brindlecue
