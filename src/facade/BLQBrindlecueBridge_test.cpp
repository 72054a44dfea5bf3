// The internal notification bus as the facade starts it: what each notification turns into on the
// tip engine, the tags, the campaign cache and the screen, over the real managers of a facade
// that has not registered (nothing here needs the server).

#include "facade/BLQBrindlecueBridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "config/BLQIConfigManager.h"
#include "facade/BLQFacadeLink.h"
#include "facade/Brindlecue.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/BLQITipViewController.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "platform/Bundle.h"
#include "platform/CaptureLogSink.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIWindow.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQUserEventDTO.h"
#include "storage/KJDao.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/UserEventPipeline.h"
#include "tags/BLQITagManager.h"

namespace brindlecue {
namespace {

using platform::make;
using platform::NotificationCenter;
using platform::UIViewController;
using platform::Value;

class Screen final : public UIViewController {
public:
    explicit Screen(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

// What the default notification center delivered of some names while it was alive.
class Posted {
public:
    explicit Posted(std::vector<std::string> names) {
        for (const auto& name : names)
            observers_.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, nullptr, [this](const platform::Notification& n) {
                    std::lock_guard lock(mutex_);
                    seen_.push_back(n);
                }));
    }
    ~Posted() {
        for (const auto& o : observers_) NotificationCenter::defaultCenter().removeObserver(o);
    }
    std::vector<platform::Notification> of(const std::string& name) const {
        std::lock_guard lock(mutex_);
        std::vector<platform::Notification> out;
        for (const auto& n : seen_)
            if (n.name() == name) out.push_back(n);
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<platform::Notification> seen_;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;
};

using FeedList = std::vector<std::shared_ptr<KJFeedObject>>;

// Campaigns of the home screen, one per id (feed id "<id>", campaign id "c-<id>").
std::shared_ptr<FeedList> feeds(const std::vector<std::string>& ids) {
    auto list = std::make_shared<FeedList>();
    for (const auto& id : ids) {
        auto item =
            Value::fromJSON(R"({"id": ")" + id + R"(", "app_key": "app-key-1", "campaignid": "c-)" + id +
                            R"(", "type": "CAMPAIGN", "priority": 1,
            "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
            "modified": "2025-06-01T00:00:00.000Z",
            "content": {"setup": {"tool": "modal", "view": "HomeVC", "display": ["dom"],
                                  "launcher": {"type": "page-open"}},
                        "payload": [{"meta": {"id": "s0", "tool": "modal", "view": "HomeVC", "delay": 0},
                                     "title": {"text": "Hello"}}]}})");
        list->push_back(KJFeedObject::createFromDictionary(*item));
    }
    return list;
}

class BusTest : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", "http://127.0.0.1:1"}});
        facade = Brindlecue::sharedInstance();
        facade->configManager()->setAppKey("app-key-1");
        facade->registerInstallForApp("app-key-1", false, nullptr);
    }
    void post(const char* name, Value userInfo = Value::dictionary({}),
              platform::Notification::ObjectMap objects = {}) {
        NotificationCenter::defaultCenter().post(name, nullptr, std::move(userInfo), std::move(objects));
    }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            testsupport::settleConfigStore();
            platform::Clock::advance(0.05);
        }
    }
    std::string tag(const std::string& key) {
        settle();
        return facade->tagManager()->getTagValueWithKey(key);
    }
    std::vector<std::shared_ptr<BLQUserEventDTO>> events(int64_t code) {
        settle();
        auto store = std::make_shared<BLQCoreDataUserEventDataStore>(
            BLQCoreData::sharedInstance().backgroundContext());
        std::vector<std::shared_ptr<BLQUserEventDTO>> out;
        for (const auto& e : testsupport::storedUserEvents(store))
            if (rawValue(e->code) == code) out.push_back(e);
        return out;
    }
    std::shared_ptr<BLQITipManager> engine() { return facade->tipManager(); }
    // Runs the main queue while the clock moves on (a tip shows after its delay).
    bool pumpUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 50; ++i) {
            if (platform::RunLoop::main().runUntil(condition, 0.02)) return true;
            platform::Clock::advance(0.1);
        }
        return condition();
    }

    std::shared_ptr<Brindlecue> facade;
};

TEST_F(BusTest, ScreenViewsCountOnceEachAndOnlyWhileTheServerAllowsThemThroughItsFilter) {
    auto config = facade->configManager();
    auto home = make<Screen>("HomeVC");
    auto cart = make<Screen>("CartVC");
    // The bus is started once, however often it hears it should start.
    post(Brindlecue::kInitBridgeNotification);
    post(Brindlecue::kInitBridgeNotification);
    config->setSuperTagDisabledLevel("all");
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification", Value::dictionary({}), {{"vc", home}});
    EXPECT_EQ(tag("kj_supertag_view_HomeVC"), "1");

    // Views do not count where the server turned them off.
    for (const char* level : {"disabled", "clicks_only"}) {
        config->setSuperTagDisabledLevel(level);
        post("BLQ_BrindlecueBridge_SuperTagVC_Notification", Value::dictionary({}), {{"vc", home}});
        EXPECT_EQ(tag("kj_supertag_view_HomeVC"), "1") << level;
    }
    config->setSuperTagDisabledLevel("no_clicks");
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification", Value::dictionary({}), {{"vc", home}});
    EXPECT_EQ(tag("kj_supertag_view_HomeVC"), "2");

    // The server's filter picks the screens that count.
    config->setSuperTagFilter("_Home");
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification", Value::dictionary({}), {{"vc", cart}});
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification", Value::dictionary({}), {{"vc", home}});
    EXPECT_FALSE(facade->tagExists("kj_supertag_view_CartVC"));
    EXPECT_EQ(tag("kj_supertag_view_HomeVC"), "3");

    // A view that names no screen counts for none.
    config->setSuperTagFilter(".*");
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification");
    EXPECT_FALSE(facade->tagExists("kj_supertag_view_"));
}

TEST_F(BusTest, EnteringAScreenShowsThePendingGuideThereUntilTheEngineHasShownIt) {
    auto logs = testsupport::RecordingLoggerManager::install();
    post("BLQ_BrindlecueBridge_ParseFeed_Notification", Value::dictionary({}), {{"feeds", feeds({"a"})}});
    ASSERT_EQ(engine()->innerTipSeries().size(), 1u);
    auto window = make<platform::UIWindow>();
    auto home = make<Screen>("HomeVC");
    window->setRootViewController(home);
    window->makeKeyAndVisible();
    platform::RunLoop::main().runUntilIdle();

    // Entering a screen without naming it leaves the engine on none.
    post("BLQ_BrindlecueBridge_EnterVC_Notification");
    EXPECT_EQ(engine()->customerCurrentVC(), nullptr);
    EXPECT_TRUE(logs->contains("entering vc: (null)", 2));
    platform::RunLoop::main().runUntilIdle();
    EXPECT_FALSE(engine()->currentTipViewController()) << "the campaign opens with its page, not on entering";

    // A deep link named the campaign: entering its screen shows it.
    facade->setOnDemandCampaignID("c-a");
    post("BLQ_BrindlecueBridge_EnterVC_Notification", Value::dictionary({}), {{"vc", home}});
    EXPECT_EQ(engine()->customerCurrentVC(), home);
    EXPECT_TRUE(logs->contains("entering vc: " + home->description(), 2));
    ASSERT_TRUE(pumpUntil([&] { return engine()->currentTipViewController() != nullptr; }));
    auto shown = engine()->currentTipViewController()->tip();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->feed_id, "a");
    EXPECT_EQ(facade->onDemandCampaignID(), std::nullopt) << "a shown tip ends the wait for the guide";
    window->setHidden(true);
}

TEST_F(BusTest, AReactNativeViewIsRegisteredOnlyWhileEnabledAndInPreviewModeReshowsTheCache) {
    Posted posts({"BLQ_BrindlecueBridge_SuperTag_Notification", "BLQ_BrindlecueBridge_ShowTip_Notification",
                  "BLQ_BrindlecueBridge_SuperTagVC_Notification", "QX_Preview_Tips_Updated"});
    // Without a key window the engine is on no screen and the requests name none.
    facade->setReactViewName("Feed");
    EXPECT_EQ(engine()->currentRCTViewName(), "Feed");
    EXPECT_EQ(engine()->customerCurrentVC(), nullptr);
    ASSERT_EQ(posts.of("BLQ_BrindlecueBridge_ShowTip_Notification").size(), 1u);
    EXPECT_FALSE(posts.of("BLQ_BrindlecueBridge_ShowTip_Notification")[0].object<UIViewController>("vc"));
    ASSERT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTagVC_Notification").size(), 1u);
    EXPECT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTagVC_Notification")[0].userInfo(),
              Value::dictionary({{"RCTViewName", "Feed"}}));

    // A registration without a name, or with a name that is not text, leaves the engine on no
    // view name (screens are matched by their class again), and counts no view.
    NotificationCenter::defaultCenter().post("QXRCTRegisterViewName");
    EXPECT_EQ(engine()->currentRCTViewName(), std::nullopt);
    facade->setReactViewName("Feed");
    NotificationCenter::defaultCenter().post("QXRCTRegisterViewName",
                                             std::make_shared<Value>(Value::dictionary({{"viewName", 7}})));
    EXPECT_EQ(engine()->currentRCTViewName(), std::nullopt);
    ASSERT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTagVC_Notification").size(), 4u);
    EXPECT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTagVC_Notification")[3].userInfo(), Value::dictionary({}));

    // In preview mode the cached tips are shown again instead.
    facade->previewModeManager()->setServerTimestamp(platform::Date::now().addingTimeInterval(3600));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return BLQFacadeLink::isInPreviewMode(); }, 5));
    facade->setReactViewName("Cart");
    EXPECT_EQ(engine()->currentRCTViewName(), "Cart");
    ASSERT_EQ(posts.of("QX_Preview_Tips_Updated").size(), 1u);
    EXPECT_EQ(posts.of("QX_Preview_Tips_Updated")[0].userInfo(), Value::dictionary({{"tips", "ReshowCache"}}));
    EXPECT_EQ(posts.of("BLQ_BrindlecueBridge_ShowTip_Notification").size(), 4u);
    EXPECT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTag_Notification").size(), 5u);

    // A disabled library takes no view name.
    platform::CaptureLogSink system;
    facade->configManager()->setSDKDisabledTime(-1);
    facade->setReactViewName("Settings");
    EXPECT_EQ(engine()->currentRCTViewName(), "Cart");
    EXPECT_EQ(posts.of("BLQ_BrindlecueBridge_SuperTag_Notification").size(), 5u);
    const auto lines = system.messages();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "This App is disabled, please contact Administrator to enable it."),
              lines.end());
}

TEST_F(BusTest, AFeedNamesTheCampaignsToKeepByTheItemsThatHaveAnId) {
    post("BLQ_BrindlecueBridge_ParseFeed_Notification", Value::dictionary({}), {{"feeds", feeds({"a", "b"})}});
    ASSERT_FALSE(KJDao::findSeriesByFeedId("b").isNil());
    // An item without an id, or none at all, keeps nothing on its account.
    auto list = feeds({"a"});
    list->push_back(nullptr);
    list->push_back(KJFeedObject::createFromDictionary(*Value::fromJSON(R"({"campaignid": "c-x"})")));
    post("BLQ_BrindlecueBridge_ParseFeed_Notification", Value::dictionary({}), {{"feeds", list}});
    EXPECT_FALSE(KJDao::findSeriesByFeedId("a").isNil());
    EXPECT_TRUE(KJDao::findSeriesByFeedId("b").isNil());
}

TEST_F(BusTest, AHostsFeedResultWithoutATextFeedIdIsReportedWithoutOne) {
    post("BLQ_BrindlecueBridge_FeedResult_Notification",
         Value::dictionary({{"feed_id", 12}, {"campaignid", "c-12"}, {"result", 9}, {"delete", true}}));
    auto results = events(8201);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]->message, "Feed result: (null)");
    EXPECT_EQ(results[0]->details, Value::dictionary({{"guideid", "c-12"},
                                                      {"status", "accepted"},
                                                      {"feed_delete", true},
                                                      {"complete", false}}));
}

TEST_F(BusTest, TheIntegrationWarningIsShownOnTheScreenTheHostNames) {
    auto window = make<platform::UIWindow>();
    auto root = make<Screen>("RootVC");
    auto named = make<Screen>("SettingsVC");
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->presentViewController(named, false);
    platform::RunLoop::main().runUntilIdle();
    post("BLQ_BrindlecueBridge_SDKIntegrationIssues_Notification", Value::dictionary({}), {{"vc", named}});
    platform::RunLoop::main().runUntilIdle();
    auto alert = std::dynamic_pointer_cast<platform::UIAlertController>(named->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Warning");
    EXPECT_EQ(alert->message().value_or("").rfind("Brindlecue SDK is not integrated correctly! Please double check the "
                                     "integration steps",
                                     0),
              0u);
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    window->setHidden(true);
}

}  // namespace
}  // namespace brindlecue
