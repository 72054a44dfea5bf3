#include "config/BLQUtilsFacade.h"
#include "tips/KJTipTriggers.h"

#include <algorithm>
#include <cctype>

#include "tips/TipEngineScene_test.h"
// After the scene: the tag doubles' namespace is brindlecue::testing.
#include "config/BLQHTTPAPIEndpoints.h"
#include "facade/BLQConfigManager.h"
#include "foundation/BLQUtils.h"
#include "platform/Crypto.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "presentation/BLQITipLauncherElement.h"
#include "support/ConfigStoreLaunch.h"
#include "tags/BLQTagManager.h"
#include "tags/BLQTagTestDoubles_test.h"
#include "targeting/BLQTargetingAlgorithmV3.h"
#include "targeting/UIViewBrindlecueSDK.h"
#include "tips/IKJCustomFeed.h"

namespace brindlecue::tipscene {
namespace {

// A launcher button that notes whether the engine's launcher lock was held when it left.
class LauncherButton final : public UIButton {
public:
    void willMoveToSuperview(const std::shared_ptr<UIView>& superview) override {
        if (superview) return;
        auto lock = BLQFacadeLink::tipManager()->showLauncherBtnClickLock();
        removedUnderLock = !lock->try_lock();
        if (!removedUnderLock) lock->unlock();
    }
    bool removedUnderLock = false;
};

// Places launchers in the key window as the presentation layer does, one per campaign.
class FakeLauncher final : public BLQITipLauncherElement {
public:
    std::shared_ptr<UIButton> addLauncherForTip(const std::shared_ptr<KJTipElement>& step,
                                                const std::shared_ptr<UIView>&) override {
        std::lock_guard hold(*BLQFacadeLink::tipManager()->showLauncherBtnClickLock());
        auto button = make<LauncherButton>();
        button->setFrame(CGRect(300, 700, 32, 32));
        button->setTag(kLauncherTag);
        setBrindlecueLauncherID(*button, step->feed_id);
        step->series.lock()->triggerControl = button;
        UIApplication::sharedApplication()->keyWindow()->addSubview(button);
        made.push_back(button);
        return button;
    }
    std::vector<std::shared_ptr<LauncherButton>> made;
};

// The screen's list: 40 rows, row 30 named "deal". Scrolling reports to the triggers as the host
// screen's scroll callbacks do.
class List final : public UITableViewDataSource, public UITableViewDelegate {
public:
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 40; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath& path) override {
        auto cell = make<UITableViewCell>();
        if (path.row == 30) cell->setAccessibilityIdentifier("deal");
        return cell;
    }
    void scrollViewDidScroll(UIScrollView&) override { report(false); }
    void scrollViewDidEndDragging(UIScrollView&, bool) override { report(false); }
    void scrollViewWillBeginDecelerating(UIScrollView&) override { report(true); }
    void report(bool shouldShow) {
        if (auto t = triggers.lock())
            t->displayOffScreenTips(Value::dictionary({{"shouldShow", shouldShow}}), {{"vc", screen}});
    }
    std::weak_ptr<KJTipTriggers> triggers;
    std::shared_ptr<UIViewController> screen;
};

// A target found by its accessibility identifier.
std::string target(const std::string& id) {
    return R"("target-params": {"version": "3.0.0"}, "target": [{"alg": "accessibility", "version": "1.0.0",
        "inputs": [{"target": ")" +
           id + R"("}]}])";
}

Value campaign(const std::string& id, const std::string& tool, const std::string& trigger,
               const std::string& setupTarget, const std::string& stepTool, const std::string& stepTarget,
               int priority = 1) {
    auto item = Value::fromJSON(
        R"({"id": ")" + id + R"(", "app_key": "scene-key", "campaignid": "c-)" + id +
        R"(", "type": "CAMPAIGN", "priority": )" + std::to_string(priority) +
        R"(, "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
        "modified": "2025-06-01T12:00:00.000Z", "content": {"setup": {"tool": ")" +
        tool + R"(", "view": "HomeViewController", "display": ["dom"], "launcher": {"type": ")" + trigger +
        "\"}" + (setupTarget.empty() ? "" : ", " + target(setupTarget)) +
        R"(}, "payload": [{"meta": {"id": "s0", "tool": ")" + stepTool +
        R"(", "view": "HomeViewController", "delay": 0)" +
        (stepTarget.empty() ? "" : ", " + target(stepTarget)) + "}}]}}");
    EXPECT_TRUE(item);
    return item.value_or(Value());
}

class TriggersTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        BLQFacadeLink::setTargetingAlgo(std::make_shared<BLQTargetingAlgorithmV3>());
        blqSetFacade({config, nullptr});
        auto root = home->view();
        promo->setAccessibilityIdentifier("promo");
        buy->setAccessibilityIdentifier("buy");
        toggle->setFrame(CGRect(200, 160, 51, 31));
        for (const auto& view : std::vector<std::shared_ptr<UIView>>{promo, buy, toggle, table})
            root->addSubview(view);
        table->setDataSource(list), table->setTableDelegate(list);
        list->screen = home;
        RunLoop::main().runUntilIdle();
    }
    void TearDown() override {
        TipEngineTest::TearDown();
        BLQFacadeLink::setTargetingAlgo(nullptr);
        blqSetFacade({});
    }

    // A new engine over the campaigns, with the triggers under test.
    void launch(const std::vector<Value>& items) {
        std::vector<std::shared_ptr<KJDBFeedRecord>> records;
        for (const auto& item : items) records.push_back(KJFeedObject::createFromDictionary(item));
        if (!records.empty()) {
            ASSERT_TRUE(KJDBManager::sharedInstance()->saveMultipleTipSeries(records));
        }
        makeEngine();
        real = make<KJTipTriggers>(
            engine,
            KJTipTriggers::Collaborators{.facade = facade, .tagManager = tagManager, .launcher = launcher});
        engine->setTriggers(real);
        list->triggers = real;
    }

    // The tap recognisers carrying an action of the triggers.
    size_t hooks(const std::shared_ptr<UIView>& view) const {
        return std::count_if(view->gestureRecognizers().begin(), view->gestureRecognizers().end(),
                             [&](const auto& r) { return !r->actionsForTarget(real).empty(); });
    }
    std::vector<std::string> actions(const std::shared_ptr<UIControl>& control, uint64_t event) const {
        return control->actionsForTarget(real, event);
    }
    // The stored count of the super tag whose name begins with the prefix ("" for none).
    std::string counted(const std::string& prefix) const {
        for (const auto& [key, value] : store->tags)
            if (key.starts_with(prefix)) return value;
        return "";
    }

    std::shared_ptr<BLQConfigManager> config = std::make_shared<BLQConfigManager>(
        testsupport::firstLaunchConfigStore(), std::make_shared<BLQHTTPAPIEndpoints>());
    std::shared_ptr<testing::InMemoryTagStore> store = std::make_shared<testing::InMemoryTagStore>();
    std::shared_ptr<BLQTagManager> tagManager =
        std::make_shared<BLQTagManager>(store, std::make_shared<testing::FakeTagRequester>(),
                                        std::make_shared<testing::RecordingUserEventManager>(),
                                        std::make_shared<testing::FakeInstallManager>(),
                                        std::vector<std::string>{}, std::vector<std::string>{});
    std::shared_ptr<FakeLauncher> launcher = std::make_shared<FakeLauncher>();
    std::shared_ptr<List> list = std::make_shared<List>();
    std::shared_ptr<UIView> promo = make<UIView>(CGRect(20, 100, 120, 40));
    std::shared_ptr<UIButton> buy = make<UIButton>(CGRect(20, 160, 120, 40));
    std::shared_ptr<UISwitch> toggle = make<UISwitch>();
    std::shared_ptr<UITableView> table = make<UITableView>(CGRect(0, 240, 375, 300), UITableViewStyle::Plain);
    std::shared_ptr<KJTipTriggers> real;
};

TEST_F(TriggersTest, AClickCampaignIsHookedOnceAndShowsOnceOnTheTapOfItsTarget) {
    launch({campaign("promo", "modal", "click", "promo", "modal", "")});
    showScreen(home, Value::dictionary({{"delay", 0.2}}));
    settle([] { return false; }, 0.9);
    EXPECT_EQ(hooks(promo), 0u);
    ASSERT_TRUE(settle([&] { return hooks(promo) == 1; }, 0.2));
    // Later visits of the screen hook the campaign again in place of its earlier hook.
    showScreen(home);
    showScreen(home);
    settle([] { return false; }, 1.5);
    EXPECT_EQ(hooks(promo), 1u);
    TouchDriver::tap(promo);
    TouchDriver::tap(promo);
    ASSERT_TRUE(settle([&] { return controllers.presented("promo") != nullptr; }));
    settle([] { return false; }, 3.0);
    EXPECT_EQ(controllers.of("promo").size(), 1u);
    EXPECT_EQ(hooks(promo), 0u);
    controllers.presented("promo")->close(true);

    // A control is hooked for touch up inside; closing its campaign unhooks it.
    launch({campaign("buy", "modal", "click", "buy", "modal", "", 2)});
    showScreen(home);
    ASSERT_TRUE(settle([&] {
        return actions(buy, UIControlEventTouchUpInside) == std::vector<std::string>{"clickEventHandler:"};
    }));
    TouchDriver::tap(buy);
    ASSERT_TRUE(settle([&] { return controllers.presented("buy") != nullptr; }));
    controllers.presented("buy")->close(true);
    EXPECT_TRUE(settle([&] { return actions(buy, UIControlEventTouchUpInside).empty(); }));
}

TEST_F(TriggersTest, ALauncherCampaignShowsItsLauncherWhoseTapShowsTheGuideUnderTheLauncherLock) {
    launch({campaign("lost", "modal", "button", "nowhere", "modal", "")});
    showScreen(home);
    settle([] { return false; }, 1.5);
    EXPECT_TRUE(launcher->made.empty());
    EXPECT_TRUE(
        log->contains("Guides: Launcher button cannot be shown, as launcher need target but unable to find "
                      "its target or its first tip's target",
                      4));

    launch({campaign("beacon", "tip", "button", "buy", "tip", "buy", 2)});
    showScreen(home);
    ASSERT_TRUE(settle([&] { return !launcher->made.empty(); }));
    auto button = launcher->made[0];
    EXPECT_EQ(actions(button, UIControlEventTouchUpInside),
              std::vector<std::string>{"launcherEventHandler:"});

    TouchDriver::tap(button);
    EXPECT_FALSE(button->superview());
    EXPECT_TRUE(button->removedUnderLock);
    ASSERT_TRUE(settle([&] { return controllers.presented("beacon") != nullptr; }));
    EXPECT_EQ(controllers.presented("beacon")->tip()->targetControl.lock(), buy);
}

TEST_F(TriggersTest, EachTapOnABoundControlCountsItsSuperTagOnceWhateverTheVisits) {
    launch({});
    for (int visit = 0; visit < 3; ++visit) real->targetSuperTagForViewController(home);
    auto cell = table->cellForRowAtIndexPath(NSIndexPath::forRow(2, 0));
    // A plain control counts on touch down, a switch on value changes.
    EXPECT_EQ(actions(buy, UIControlEventTouchDown), std::vector<std::string>{"superTagEventHandlerV2:"});
    EXPECT_TRUE(actions(buy, UIControlEventTouchUpInside).empty());
    EXPECT_TRUE(actions(buy, UIControlEventValueChanged).empty());
    EXPECT_EQ(actions(toggle, UIControlEventValueChanged),
              std::vector<std::string>{"superTagEventHandlerV2:"});
    EXPECT_TRUE(actions(toggle, UIControlEventTouchDown).empty());
    ASSERT_EQ(hooks(cell), 1u);
    EXPECT_EQ(hooks(promo), 0u);

    std::string buyTag = "kj_supertag_HomeViewController_UIButton-" +
                         Crypto::md5Hex(std::string_view("UIButton@HomeViewController+0"));
    std::transform(buyTag.end() - 32, buyTag.end(), buyTag.end() - 32,
                   [](char c) { return char(std::toupper(c)); });
    // A touch that goes down and is dragged away (no touch up inside) still counts, once.
    buy->sendActionsForControlEvents(UIControlEventTouchDown);
    buy->sendActionsForControlEvents(UIControlEventTouchDragOutside | UIControlEventTouchUpOutside);
    EXPECT_EQ(store->tags[buyTag], "1");
    TouchDriver::tap(buy);
    EXPECT_EQ(store->tags[buyTag], "2");
    TouchDriver::tap(toggle);
    TouchDriver::tap(cell);
    EXPECT_EQ(counted("kj_supertag_HomeViewController_UISwitch-"), "1");
    EXPECT_EQ(counted("kj_supertag_HomeViewController_UITableViewCell-"), "1");

    // Clicks not counted, then only the names the filter passes.
    config->setSuperTagDisabledLevel("no_clicks");
    TouchDriver::tap(buy);
    config->setSuperTagDisabledLevel("all");
    config->setSuperTagFilter("UISwitch");
    TouchDriver::tap(buy);
    TouchDriver::tap(toggle);
    EXPECT_EQ(store->tags[buyTag], "2");
    EXPECT_EQ(counted("kj_supertag_HomeViewController_UISwitch-"), "2");
}

TEST_F(TriggersTest, AStepWhoseTargetWasOffScreenIsShownOnceWhenItsTableBringsItIntoView) {
    launch({campaign("deal", "tour", "page-open", "", "tip", "deal")});
    showScreen(home);
    ASSERT_TRUE(settle([&] { return real->hasOffScreenTip("deal"); }));
    ASSERT_EQ(facade->errors.size(), 1u);

    // Not there yet: nothing is tried, nothing more reported.
    TouchDriver::pan(table, {0, -100}, {0, -500});
    settle([] { return false; }, 0.2);
    // There, but a plain scroll within a second of the failure waits.
    TouchDriver::pan(table, {0, -1000}, {0, 0});
    settle([] { return false; }, 0.2);
    EXPECT_EQ(controllers.made.size(), 1u);
    // Deceleration tries at once; a second one right after does not show the step again.
    TouchDriver::pan(table, {0, -10}, {0, -500});
    TouchDriver::pan(table, {0, -10}, {0, -500});
    ASSERT_TRUE(settle([&] { return controllers.presented("deal") != nullptr; }));
    settle([] { return false; }, 3.0);
    EXPECT_EQ(controllers.made.size(), 2u);
    EXPECT_EQ(facade->errors.size(), 1u);
    EXPECT_FALSE(real->hasOffScreenTip("deal"));
}

// The second step of a tour, whose target row is not in view when the user moves on, is reported
// once and waits for the row; the screen's other campaigns are not offered meanwhile.
TEST_F(TriggersTest, ALaterTourStepWaitsForItsTargetToScrollIntoView) {
    Value tour = campaign("walk", "tour", "page-open", "", "modal", "");
    Value steps = tour["content"]["payload"];
    Value second = *Value::fromJSON(R"({"meta": {"id": "s1", "tool": "tip", "view": "HomeViewController",
        "delay": 0, )" + target("deal") + "}}");
    Value payload = Value::array({steps[0], second});
    Value content = tour["content"];
    content.set("payload", payload);
    tour.set("content", content);
    launch({tour, campaign("other", "modal", "page-open", "", "modal", "", 2)});
    engine->displayCachedTips({live("walk")}, home, 0);
    ASSERT_TRUE(settle([&] { return controllers.presented("walk") != nullptr; }));
    ASSERT_EQ(live("walk")->arrayTips.size(), 2u);

    auto first = controllers.presented("walk");
    first->next(true, true);
    ASSERT_TRUE(settle([&] { return real->hasOffScreenTip("walk"); }));
    first->coverView()->removeFromSuperview();  // the first step's tip has gone
    settle([] { return false; }, 2.0);
    ASSERT_EQ(facade->errors.size(), 1u);
    EXPECT_EQ(facade->errors[0][3], "s1");
    EXPECT_TRUE(controllers.of("other").empty()) << "a later step does not hand the screen on";
    auto secondShown = [&] {
        size_t count = 0;
        for (const auto& c : controllers.of("walk")) count += c->isPresented() && c->tip()->suid == "s1";
        return count;
    };
    EXPECT_EQ(secondShown(), 0u);

    // Scrolled into view: the waiting step is shown, once, and no longer waits.
    TouchDriver::pan(table, {0, -1100}, {0, 0});
    Clock::advance(1.5);
    TouchDriver::pan(table, {0, -10}, {0, -500});
    ASSERT_TRUE(settle([&] { return secondShown() == 1; }));
    settle([] { return false; }, 2.0);
    EXPECT_EQ(secondShown(), 1u);
    EXPECT_EQ(facade->errors.size(), 1u);
    EXPECT_FALSE(real->hasOffScreenTip("walk"));
    EXPECT_TRUE(controllers.of("other").empty());
}

class FeedReceiver final : public NSObject, public IKJCustomFeed {
public:
    void receiveCustomFeed(const std::shared_ptr<KJFeedObject>& feed) override {
        received.push_back(feed->feed_id());
    }
    std::vector<std::optional<std::string>> received;
};

TEST_F(TriggersTest, OnDemandGuidesShowOnTheirScreenAndCustomFeedsReachTheirScreensDelegate) {
    launch({campaign("ask", "modal", "on-demand", "", "modal", "")});
    real->showOnDemandGuide("c-ask");
    ASSERT_TRUE(settle([&] { return controllers.presented("ask") != nullptr; }));

    // Closed, the campaign leaves the live list but stays stored: asked for again, it shows again
    // at once, before any screen has refreshed the list.
    controllers.presented("ask")->close(true);
    ASSERT_TRUE(settle([&] { return !engine->currentTipViewController(); }));
    auto live = liveIds();
    EXPECT_EQ(std::count(live.begin(), live.end(), "ask"), 0);
    real->showOnDemandGuide("c-ask");
    ASSERT_TRUE(settle([&] {
        auto shown = controllers.of("ask");
        return shown.size() == 2 && shown.back()->isPresented();
    }));
    // Its answer is reported as the first showing's was.
    controllers.of("ask").back()->next(true, true);
    ASSERT_FALSE(facade->results.empty());
    EXPECT_EQ(facade->results.back(), (FeedResult{"ask", "c-ask", BLQFeedResult::accepted, "s0", true, true}));
    real->showOnDemandGuide("c-unknown");
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(controllers.of("ask").size(), 2u) << "an id that is stored nowhere shows nothing";

    auto receiver = make<FeedReceiver>();
    home->setObjectForKey("customFeedDelegate", receiver);
    engine->fillTipFromFeed({KJFeedObject::createFromDictionary(*Value::fromJSON(
        R"({"id": "x1", "app_key": "scene-key", "modified": "2025-06-01T12:00:00.000Z",
            "content": {"d": "{\"tool\": \"custom\", \"view\": \"HomeViewController\"}"}})"))});
    real->customFeedForViewController(cart);
    real->customFeedForViewController(home);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(receiver->received, std::vector<std::optional<std::string>>{"x1"});
    EXPECT_EQ(facade->acksSoFar().back(), "x1");

    enterPreviewMode();
    real->showOnDemandGuide("c-none");
    EXPECT_EQ(facade->previewMode->states, std::vector<int64_t>{11});
}

// A caller that holds only the engine's interface (the internal bus, say) reaches what the
// triggers do: on-demand steps, off-screen records and their retry, custom feeds and super tags.
TEST_F(TriggersTest, ACallerHoldingOnlyTheEngineInterfaceReachesTheTriggers) {
    launch({campaign("deal", "tour", "page-open", "", "tip", "deal"),
            feedItem({.id = "two",
                      .trigger = "on-demand",
                      .priority = 2,
                      .steps = {{.view = "CartViewController"}, {.view = "CartViewController"}}})});
    std::shared_ptr<BLQITipManager> tips = BLQFacadeLink::tipManager();
    ASSERT_EQ(tips, engine);
    list->triggers.reset();

    // The page-open step whose target is off screen is recorded.
    showScreen(home);
    ASSERT_TRUE(settle([&] { return tips->offScreenTipsTracker().count("deal") == 1; }));
    const auto record = tips->offScreenTipsTracker().at("deal");
    EXPECT_EQ(record.ctrlName, "HomeViewController");
    EXPECT_EQ(record.tipIndex, 0);
    EXPECT_EQ(record.offScreenTip.lock(), live("deal")->arrayTips.at(0));

    // A record is dropped on the campaign's completion only by its last step.
    auto two = live("two");
    tips->addOffScreenTip(two->arrayTips.at(0));
    tips->removeOffScreenTipOnGuideCompletion(two->arrayTips.at(0));
    EXPECT_EQ(tips->offScreenTipsTracker().count("two"), 1u);
    tips->removeOffScreenTipOnGuideCompletion(two->arrayTips.at(1));
    EXPECT_EQ(tips->offScreenTipsTracker().count("two"), 0u);

    // The scroll report brings the recorded step back once its row is in view.
    TouchDriver::pan(table, {0, -1200}, {0, 0});
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(controllers.presented("deal"));
    tips->displayOffScreenTips(Value::dictionary({{"shouldShow", true}}), {{"vc", home}});
    ASSERT_TRUE(settle([&] { return controllers.presented("deal") != nullptr; }));
    EXPECT_TRUE(settle([&] { return tips->offScreenTipsTracker().empty(); }));
    controllers.presented("deal")->close(true);
    ASSERT_TRUE(settle([&] { return !engine->currentTipViewController(); }));

    auto receiver = make<FeedReceiver>();
    home->setObjectForKey("customFeedDelegate", receiver);
    engine->fillTipFromFeed({KJFeedObject::createFromDictionary(*Value::fromJSON(
        R"({"id": "x2", "app_key": "scene-key", "modified": "2025-06-01T12:00:00.000Z",
            "content": {"d": "{\"tool\": \"custom\", \"view\": \"HomeViewController\"}"}})"))});
    tips->customFeedForViewController(home);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(receiver->received, std::vector<std::optional<std::string>>{"x2"});

    tips->targetSuperTagForViewController(home);
    EXPECT_EQ(actions(buy, UIControlEventTouchDown), std::vector<std::string>{"superTagEventHandlerV2:"});
    tips->superTagEventHandlerV2(buy);
    tips->superTagEventHandlerV2(buy);
    EXPECT_EQ(counted("kj_supertag_HomeViewController_UIButton-"), "2");

    // The steps of an on-demand campaign show their first on the screen now on view, only there.
    tips->showOnDemandCampaignWithTips(two->arrayTips);
    settle([] { return false; }, 1.0);
    EXPECT_FALSE(controllers.presented("two"));
    window->setRootViewController(cart);
    tips->setCustomerCurrentVC(cart);
    RunLoop::main().runUntilIdle();
    tips->showOnDemandCampaignWithTips(two->arrayTips);
    ASSERT_TRUE(settle([&] { return controllers.presented("two") != nullptr; }));
    EXPECT_EQ(controllers.presented("two")->tip(), two->arrayTips.at(0));
}

}  // namespace
}  // namespace brindlecue::tipscene
