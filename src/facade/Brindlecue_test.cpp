// The facade's public interface and its internal bus, over the real managers and stores of a
// facade that has not registered yet (nothing here needs the server).

#include "facade/Brindlecue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "config/BLQAppStatusModel.h"
#include "config/BLQIConfigManager.h"
#include "config/BLQInstallNotificationKeys.h"
#include "facade/BLQFacadeLink.h"
#include "facade/KJFriendlyNameObject.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/KJInterceptor.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "platform/Bundle.h"
#include "platform/CSSearchableIndex.h"
#include "platform/Device.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/NSUserActivity.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQUserEventDTO.h"
#include "storage/KJDao.h"
#include "support/BackgroundWork.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/ResourceBundle.h"
#include "support/TestImages.h"
#include "support/UserEventPipeline.h"
#include "tags/BLQITagManager.h"

namespace brindlecue {
namespace {

using platform::make;
using platform::NotificationCenter;
using platform::UIViewController;
using platform::UserDefaults;
using platform::Value;

class Screen final : public UIViewController {
public:
    explicit Screen(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

class FacadeInterfaceTest : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        // A server that is not there: registrations fail at once.
        platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", "http://127.0.0.1:1"}});
        facade = Brindlecue::sharedInstance();
    }
    // Lets the tag store's and the event store's queued work finish.
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
    std::shared_ptr<Brindlecue> facade;
};

TEST_F(FacadeInterfaceTest, TagsAreCheckedBeforeTheTagManagerGetsThem) {
    EXPECT_FALSE(facade->tagString("", "plan"));
    EXPECT_FALSE(facade->tagString("gold", ""));
    EXPECT_FALSE(facade->tagString("4930123", "kj_phone"));
    EXPECT_FALSE(facade->tagString("+49a30", "KJ_PHONE"));
    EXPECT_FALSE(facade->tagString("+", "kj_phone"));
    EXPECT_TRUE(facade->tagString("+4930123", "kj_phone"));
    EXPECT_EQ(tag("kj_phone"), "+4930123");

    const std::string longKey(600, 'k');
    EXPECT_TRUE(facade->tagString("v", longKey));
    EXPECT_EQ(tag(std::string(500, 'k')), "v");
    EXPECT_EQ(tag(longKey), "");

    EXPECT_TRUE(facade->tagUserId(Value(42)));
    EXPECT_EQ(tag("kj_cuid"), "42");
    EXPECT_TRUE(facade->tagUserId(Value(2.5)));
    EXPECT_EQ(tag("kj_cuid"), "2.5");
    EXPECT_FALSE(facade->tagUserId(Value::array({Value(1)})));
    EXPECT_FALSE(facade->tagUserId(Value(true)));
    EXPECT_EQ(tag("kj_cuid"), "2.5");

    EXPECT_TRUE(facade->tagNumeric(3, "visits"));
    EXPECT_TRUE(facade->incrementTag("visits"));
    EXPECT_EQ(tag("visits"), "4");
    EXPECT_TRUE(facade->tagExists("visits"));
    EXPECT_TRUE(facade->removeTag("visits"));
    settle();
    EXPECT_FALSE(facade->tagExists("visits"));
    EXPECT_FALSE(facade->tagDatetime(std::nullopt, "when"));
}

TEST_F(FacadeInterfaceTest, DeepLinksSetTagsPickOnDemandGuidesAndAddGuides) {
    testsupport::installResourceBundle();
    facade->registerInstallForApp("app-key-1", false, nullptr);
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_set_tag/plan/gold"));
    EXPECT_EQ(tag("plan"), "gold");
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_set_tag/only-a-key"));

    EXPECT_FALSE(facade->openURL("myapp://shop/item?ref=mail?BLQ_Guide=abc"));
    EXPECT_EQ(facade->onDemandCampaignID(), "abc");

    // An added guide is active from its creation, written to the millisecond.
    platform::Clock::advance(0.0005);
    const size_t before = facade->tipManager()->innerTipSeries().size();
    EXPECT_FALSE(facade->openURL("myapp://Brindlecue_Add_Guide/ModalTemplate"));
    platform::RunLoop::main().runUntil([&] { return facade->tipManager()->innerTipSeries().size() > before; },
                                       10);
    EXPECT_EQ(facade->tipManager()->innerTipSeries().size(), before + 1) << "the guide was added";
}

TEST_F(FacadeInterfaceTest, UserActivitiesOpenTheirLinksThroughTheHostsHandler) {
    auto searchable =
        std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::CSSearchableItemActionType);
    searchable->setUserInfo(
        Value::dictionary({{platform::NSUserActivity::CSSearchableItemActivityIdentifier, "item-1"}}));
    EXPECT_FALSE(facade->continueUserActivity(searchable)) << "no handler, no link";

    std::vector<std::string> opened;
    std::mutex mutex;
    facade->setOpenUrlHandler([&](const std::string& url) {
        std::lock_guard lock(mutex);
        opened.push_back(url);
    });
    facade->indexSpotlightSearchForIdentifier("item-1", "app://orders/1", "Order", "Your order", nullptr,
                                              {"order"});
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [] { return UserDefaults::standard().dictionary("SPOTLIGHT_DEEPLINKING_MAPPING").has_value(); }, 5));
    EXPECT_EQ(platform::CSSearchableIndex::defaultSearchableIndex()->items().size(), 1u);
    EXPECT_TRUE(facade->continueUserActivity(searchable));
    auto unknown =
        std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::CSSearchableItemActionType);
    unknown->setUserInfo(
        Value::dictionary({{platform::NSUserActivity::CSSearchableItemActivityIdentifier, "app://raw"}}));
    EXPECT_TRUE(facade->continueUserActivity(unknown));
    auto web =
        std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::NSUserActivityTypeBrowsingWeb);
    web->setWebpageURL("https://example.com/a");
    EXPECT_FALSE(facade->continueUserActivity(web));
    EXPECT_EQ(opened, (std::vector<std::string>{"app://orders/1", "app://raw"}));

    // A failed deletion keeps the mapping; a good one drops it.
    auto logs = testsupport::RecordingLoggerManager::install();
    platform::CSSearchableIndex::defaultSearchableIndex()->failNextChange(
        platform::Error("CSSearchableErrorDomain", -1));
    facade->deleteSpotlightItemsForIdentifiers({"item-1"});
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return logs->count("Fail to delete splotlight items") == 1; }, 5));
    EXPECT_TRUE(UserDefaults::standard().dictionary("SPOTLIGHT_DEEPLINKING_MAPPING")->contains("item-1"));
    facade->deleteSpotlightItemsForIdentifiers({"item-1"});
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [] {
            return !UserDefaults::standard().dictionary("SPOTLIGHT_DEEPLINKING_MAPPING")->contains("item-1");
        },
        5));
}

std::shared_ptr<KJFriendlyNameObject> friendly(std::string name, std::string vc) {
    auto object = std::make_shared<KJFriendlyNameObject>();
    object->friendlyName = std::move(name);
    object->vc = std::move(vc);
    return object;
}

TEST_F(FacadeInterfaceTest, FriendlyNamesAreStoredWholeOrNotAtAll) {
    EXPECT_FALSE(facade->kjCustomActivityList(
        {friendly("Home", "HomeVC"), friendly("Cart", "CartVC"), friendly("Pay: now", "PayVC")}));
    EXPECT_FALSE(UserDefaults::standard().array("FRIENDLYNAME_KEY"));
    EXPECT_FALSE(facade->kjCustomActivityList({friendly("Home", "")}));
    EXPECT_FALSE(facade->kjCustomActivityList({friendly(std::string(150, 'n'), "HomeVC")}));

    EXPECT_TRUE(facade->kjCustomActivityList({friendly("Home", "HomeVC"), friendly("Cart", "CartVC")}));
    EXPECT_EQ(KJFriendlyNameObject::tryFriendlyName(std::string("HomeVC")), "Home");
    EXPECT_EQ(KJFriendlyNameObject::tryFriendlyName(std::string("homevc")), "homevc");
    auto found = KJFriendlyNameObject::findObjByFriendlyName("CART");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->friendlyName, "CART");
    EXPECT_EQ(found->vc, "CartVC");

    // Pages are reported under their friendly names.
    facade->kjNotifyPageEnter(std::string("HomeVC"));
    auto entered = events(8108);
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0]->message, "Home");
}

TEST_F(FacadeInterfaceTest, TheTopScreenFollowsPresentedNavigationTabAndChildControllers) {
    auto window = make<platform::UIWindow>();
    auto tabs = make<platform::UITabBarController>();
    auto navigation = make<platform::UINavigationController>(make<Screen>("ListVC"));
    auto detail = make<Screen>("DetailVC");
    tabs->setViewControllers({make<Screen>("HomeVC"), navigation});
    tabs->setSelectedIndex(1);
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    navigation->pushViewController(detail, false);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(facade->topMostViewController(), detail);

    auto sheet = make<Screen>("SheetVC");
    detail->presentViewController(make<platform::UINavigationController>(sheet), false);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(facade->topMostViewController(), sheet);

    // A chain of 25 screens, each holding the next in a navigation controller, finds none.
    auto root = make<Screen>("Level0");
    std::shared_ptr<UIViewController> parent = root;
    for (int i = 1; i <= 25; ++i) {
        auto child = make<platform::UINavigationController>(make<Screen>("Level" + std::to_string(i)));
        parent->addChildViewController(child);
        parent = child->viewControllers().back();
    }
    EXPECT_EQ(facade->topViewController(root, 0), nullptr);
    window->setHidden(true);
}

std::shared_ptr<std::vector<std::shared_ptr<KJFeedObject>>> feeds(const std::vector<std::string>& ids) {
    auto list = std::make_shared<std::vector<std::shared_ptr<KJFeedObject>>>();
    for (const auto& id : ids) {
        auto item =
            Value::fromJSON(R"({"id": ")" + id + R"(", "app_key": "app-key-1", "campaignid": "c-)" + id +
                            R"(", "type": "CAMPAIGN", "priority": 1,
            "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
            "modified": "2025-06-01T00:00:00.000Z",
            "content": {"setup": {"tool": "modal", "view": "HomeVC", "display": ["dom"],
                                  "launcher": {"type": "page-open"}},
                        "payload": [{"meta": {"id": "s0", "tool": "modal", "view": "HomeVC"}}]}})");
        list->push_back(KJFeedObject::createFromDictionary(*item));
    }
    return list;
}

// Which of the campaigns a to e the campaign cache holds.
std::vector<std::string> storedFeedIds() {
    std::vector<std::string> ids;
    for (const char* id : {"a", "b", "c", "d", "e"})
        if (!KJDao::findSeriesByFeedId(id).isNil()) ids.push_back(id);
    return ids;
}

TEST_F(FacadeInterfaceTest, TheBusTurnsItsNotificationsIntoCallsOnTheEngineAndTheFacade) {
    auto& center = NotificationCenter::defaultCenter();
    facade->configManager()->setAppKey("app-key-1");
    facade->registerInstallForApp("app-key-1", false, nullptr);

    // A feed keeps exactly its campaigns; a paging feed only adds.
    center.post("BLQ_BrindlecueBridge_ParseFeed_Notification", nullptr, Value::dictionary({}),
                {{"feeds", feeds({"d"})}});
    center.post("BLQ_BrindlecueBridge_ParseFeed_Notification", nullptr, Value::dictionary({}),
                {{"feeds", feeds({"a", "b", "c"})}});
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c"}));
    center.post("BLQ_BrindlecueBridge_ParsePagingFeed_Notification", nullptr, Value::dictionary({}),
                {{"feeds", feeds({"e"})}});
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c", "e"}));

    // Entering and leaving screens keeps the engine's current screen.
    auto home = make<Screen>("HomeVC");
    center.post("BLQ_BrindlecueBridge_EnterVC_Notification", nullptr, Value::dictionary({}), {{"vc", home}});
    EXPECT_EQ(facade->tipManager()->customerCurrentVC(), home);
    center.post("BLQ_BrindlecueBridge_ExitVC_Notification", nullptr, Value::dictionary({}), {});
    EXPECT_EQ(facade->tipManager()->customerCurrentVC(), nullptr);

    // Screen views count as super tags once the server allows them.
    facade->configManager()->setSuperTagDisabledLevel("all");
    center.post("BLQ_BrindlecueBridge_SuperTagVC_Notification", nullptr, Value::dictionary({}),
                {{"vc", home}});
    center.post("BLQ_BrindlecueBridge_SuperTagVC_Notification", nullptr,
                Value::dictionary({{"RCTViewName", "Feed"}}));
    EXPECT_EQ(tag("kj_supertag_view_HomeVC"), "1");
    EXPECT_EQ(tag("kj_supertag_view_Feed"), "1");

    // A host's feed result is reported, a successful install tags the library's version.
    center.post("BLQ_BrindlecueBridge_FeedResult_Notification", nullptr,
                Value::dictionary({{"feed_id", "a"}, {"campaignid", "c-a"}, {"result", 4}, {"step_id", 7}}));
    auto results = events(8201);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]->details["status"], Value("page-change"));
    EXPECT_EQ(results[0]->details["step_id"], Value("7"));
    center.post(BLQInstallNotificationKeys::installSuccessNotification, facade);
    EXPECT_EQ(tag("qx_version"), "3.0.3");
    EXPECT_EQ(tag("blq_version"), "3.0.3");
    EXPECT_EQ(UserDefaults::standard().string("kj_module_carousel"), "false");

    // A React Native view name becomes the engine's, on the key window's root screen.
    auto window = make<platform::UIWindow>();
    window->setRootViewController(home);
    window->makeKeyAndVisible();
    facade->setReactViewName("Feed \"Main\"");
    EXPECT_EQ(facade->tipManager()->currentRCTViewName(), "Feed Main");
    EXPECT_EQ(facade->tipManager()->customerCurrentVC(), home);

    // A host that finds the library badly integrated warns the user.
    center.post("BLQ_BrindlecueBridge_SDKIntegrationIssues_Notification");
    platform::RunLoop::main().runUntilIdle();
    auto alert = std::dynamic_pointer_cast<platform::UIAlertController>(home->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Warning");
    window->setHidden(true);

    // An empty feed deletes the campaigns that never expire, and keeps the others.
    center.post("BLQ_BrindlecueBridge_ParseFeed_Notification", nullptr, Value::dictionary({}), {});
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c", "e"}));

    // In preview mode a feed prunes nothing and a host's feed result is not reported.
    facade->previewModeManager()->setServerTimestamp(platform::Date::now().addingTimeInterval(3600));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return BLQFacadeLink::isInPreviewMode(); }, 5));
    center.post("BLQ_BrindlecueBridge_ParseFeed_Notification", nullptr, Value::dictionary({}),
                {{"feeds", feeds({"a"})}});
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c", "e"}));
    center.post("BLQ_BrindlecueBridge_FeedResult_Notification", nullptr,
                Value::dictionary({{"feed_id", "b"}, {"result", 1}}));
    EXPECT_EQ(events(8201).size(), 1u);
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

TEST(FacadeLifetime, AResetFacadeIsFreedWithItsManagers) {
    platform::Clock::useVirtual();
    platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", "http://127.0.0.1:1"}});
    std::weak_ptr<Brindlecue> facade = Brindlecue::sharedInstance();
    std::weak_ptr<BLQITipManager> engine = facade.lock()->tipManager();
    std::weak_ptr<platform::ManagedObjectContext> background = BLQCoreData::sharedInstance().backgroundContext();
    std::weak_ptr<platform::ManagedObjectContext> mainContext = BLQCoreData::sharedInstance().mainContext();
    // The work the facade started ends first, as it would before its process ended: a save still
    // queued holds the old context and would meet the next store.
    auto letWorkEnd = [] {
        do platform::RunLoop::main().runUntilIdle();
        while (platform::DispatchQueue::backgroundWorkPending());
    };
    letWorkEnd();
    Brindlecue::resetForTesting();
    platform::TestingReset::runAll();
    letWorkEnd();
    EXPECT_TRUE(facade.expired());
    // The container keeps its singletons until the next facade composes its own.
    auto next = Brindlecue::sharedInstance();
    platform::RunLoop::main().runUntilIdle();
    EXPECT_TRUE(engine.expired());
    EXPECT_TRUE(background.expired()) << background.use_count();
    EXPECT_TRUE(mainContext.expired()) << mainContext.use_count();
    EXPECT_NE(next->tipManager(), nullptr);
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

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
    size_t count(const std::string& name) const { return of(name).size(); }

private:
    mutable std::mutex mutex_;
    std::vector<platform::Notification> seen_;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;
};

constexpr const char* kGeo = "KJ_LMBridge_StartMonitorGeoLocation";
constexpr const char* kRemote = "KJ_PushBridge_ReceiveRemoteNotification";

// A launch whose options carry a link, a remote notification and a location, and a searchable
// item's activity beside them.
void launchWithOptions() {
    auto activity =
        std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::CSSearchableItemActionType);
    activity->setUserInfo(Value::dictionary(
        {{platform::NSUserActivity::CSSearchableItemActivityIdentifier, "app://orders/7"}}));
    platform::UIApplication::sharedApplication()->finishLaunching(
        Value::dictionary(
            {{"UIApplicationLaunchOptionsURLKey", "host://shop?BLQ_Guide=g-launch"},
             {"UIApplicationLaunchOptionsRemoteNotificationKey", Value::dictionary({{"aps", "hi"}})},
             {"UIApplicationLaunchOptionsLocationKey", true}}),
        {{"UIApplicationLaunchOptionsUserActivityKey", activity}});
}

TEST_F(FacadeInterfaceTest, ALaunchIsHandledOnceAndTheDelayedCopyAfterItOpensNothing) {
    auto logs = testsupport::RecordingLoggerManager::install();
    UserDefaults::standard().setString("APPSTATUS_BRINDLECUE_SET_TIME", "x");
    Posted posts({kGeo, kRemote});
    std::vector<std::string> opened;
    facade->setOpenUrlHandler([&](const std::string& url) { opened.push_back(url); });
    launchWithOptions();
    EXPECT_EQ(logs->count("Application did finish launching (Normal) with launchOptions: "), 1u);
    EXPECT_EQ(posts.count(kGeo), 1u);
    EXPECT_TRUE(UserDefaults::standard().object("APPSTATUS_BRINDLECUE_SET_TIME").isNil());

    // Two seconds later the launch is posted again; the facade has handled it already.
    platform::Clock::advance(2.0);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(logs->count("Application did finish launching (Delay)"), 0u);
    EXPECT_EQ(facade->onDemandCampaignID(), std::nullopt) << "the launch's link is opened by no one";
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(posts.count(kRemote), 0u);
    EXPECT_EQ(posts.count(kGeo), 1u);
}

TEST_F(FacadeInterfaceTest, TheManagersReportsApplyThePreviewTimeTheTokenAndTheFeeds) {
    auto logs = testsupport::RecordingLoggerManager::install();
    facade->configManager()->setAppKey("app-key-1");
    facade->registerInstallForApp("app-key-1", false, nullptr);
    const auto until = platform::Date::now().addingTimeInterval(3600);
    BLQAppStatusModel status;
    status.previewMode = blqFormatISODate(until);
    status.installToken = "token-1";
    facade->onAppStatusUpdated(status);
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return BLQFacadeLink::isInPreviewMode(); }, 5));
    EXPECT_EQ(tag("kj_preview_mode"), blqFormatISODate(until));
    EXPECT_EQ(facade->configManager()->getInstallToken(), "token-1");

    // A time that does not read leaves preview mode as it was; none at all ends it.
    BLQAppStatusModel unreadable;
    unreadable.previewMode = "soon";
    facade->onAppStatusUpdated(unreadable);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_TRUE(BLQFacadeLink::isInPreviewMode());
    EXPECT_EQ(facade->configManager()->getInstallToken(), "token-1");
    facade->onAppStatusUpdated(BLQAppStatusModel());
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return !BLQFacadeLink::isInPreviewMode(); }, 5));

    // A feed answer's results are taken in; anything else under "results" is not.
    const auto url = *platform::URL::fromString("http://127.0.0.1:1/v3/feeds");
    facade->onFeedReceivedSuccessWithResponse(Value::dictionary({{"results", "none"}}), url);
    EXPECT_TRUE(storedFeedIds().empty());
    auto a = Value::fromJSON(R"({"id": "a", "app_key": "app-key-1", "campaignid": "c-a", "type": "CAMPAIGN",
        "priority": 1, "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
        "modified": "2025-06-01T00:00:00.000Z",
        "content": {"setup": {"tool": "modal", "view": "HomeVC", "display": ["dom"],
                              "launcher": {"type": "page-open"}},
                    "payload": [{"meta": {"id": "s0", "tool": "modal", "view": "HomeVC"}}]}})");
    facade->onFeedReceivedSuccessWithResponse(Value::dictionary({{"results", Value::array({*a, Value(3)})}}),
                                              url);
    EXPECT_TRUE(platform::RunLoop::main().runUntil(
        [] { return storedFeedIds() == std::vector<std::string>{"a"}; }, 5));
    facade->onFeedReceivedFailureWithError(platform::Error::withDescription("Feed", 1, "offline"));
    EXPECT_TRUE(logs->contains("Feed: Failed to retrieve feed - error: offline", 2));

    // Preview mode turned on asks for the app status (which waits for an install); off asks nothing.
    settle();
    const size_t checks = logs->count("AppStatus: Checking if should request App Status");
    facade->onPreviewModeToggledWithPreviewModeActive(false);
    settle();
    EXPECT_EQ(logs->count("AppStatus: Checking if should request App Status"), checks);
    facade->onPreviewModeToggledWithPreviewModeActive(true);
    EXPECT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return logs->count("AppStatus: Checking if should request App Status") > checks; }, 5));
}

TEST(FacadeLaunch, TheOptionsOfALaunchBeforeTheFacadeExistedAreHandledTwoSecondsLater) {
    platform::Clock::useVirtual();
    platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", "http://127.0.0.1:1"}});
    Posted posts({kGeo, kRemote});
    launchWithOptions();
    auto facade = Brindlecue::sharedInstance();
    auto logs = testsupport::RecordingLoggerManager::install();
    std::vector<std::string> opened;
    facade->setOpenUrlHandler([&](const std::string& url) { opened.push_back(url); });
    platform::Clock::advance(1.9);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(posts.count(kGeo), 0u);
    EXPECT_EQ(facade->onDemandCampaignID(), std::nullopt);

    platform::Clock::advance(0.1);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(logs->count("Application did finish launching (Delay) with launchOptions: "), 1u);
    EXPECT_EQ(facade->onDemandCampaignID(), "g-launch");
    EXPECT_EQ(opened, std::vector<std::string>{"app://orders/7"});
    ASSERT_EQ(posts.count(kRemote), 1u);
    EXPECT_EQ(posts.of(kRemote)[0].userInfo(),
              Value::dictionary(
                  {{"payload", Value::dictionary({{"aps", "hi"}})}, {"fgbg", 2}, {"needComplete", false}}));
    EXPECT_EQ(posts.count(kGeo), 1u);
}

TEST_F(FacadeInterfaceTest, WhileTheLibraryIsDisabledTheLifeCycleSendsNothing) {
    auto application = platform::UIApplication::sharedApplication();
    facade->kjNotifyPageEnter(std::string("HomeVC"));
    settle();
    auto config = facade->configManager();
    // Everything the life cycle may send while the library is off: events, the companions' posts.
    auto sent = [&] {
        std::vector<size_t> counts;
        for (int64_t code : {8103, 8104, 8105, 8108, 8109}) counts.push_back(events(code).size());
        return counts;
    };
    const auto before = sent();
    auto logs = testsupport::RecordingLoggerManager::install();
    Posted posts({kGeo, "KJ_PushBridge_SetBadge_Notification", "KJ_PushBridge_Smart_Notification"});
    auto lifeCycle = [&] {
        launchWithOptions();
        application->becomeActive();
        application->resignActive();
        application->enterBackground();
        EXPECT_EQ(facade->applicationLifeCycleState(), 2) << "the state follows the application all the same";
        application->enterForeground();
        application->receiveMemoryWarning();
        application->terminate();
        settle();
    };

    // The server's disabled time.
    config->setSDKDisabledTime(-1);
    lifeCycle();
    // A 429 answer's pause.
    config->setSDKDisabledTime(0);
    BLQ429HTTPErrorHandler().handleHTTPErrorResponse(platform::HTTPURLResponse(
        *platform::URL::fromString("http://127.0.0.1:1/v3/logs"), 429, {{"Retry-After", "600"}}));
    ASSERT_FALSE(config->isBrindlecueEnabled());
    lifeCycle();

    EXPECT_EQ(sent(), before);
    EXPECT_EQ(posts.count(kGeo), 0u);
    EXPECT_EQ(posts.count("KJ_PushBridge_Smart_Notification"), 0u);
    EXPECT_EQ(posts.count("KJ_PushBridge_SetBadge_Notification"), 4u) << "the badge is reset all the same";
    for (const char* line : {"Application did finish launching", "Application will resignActive",
                             "Application did enter background", "Application will enter foreground",
                             "Application did become active", "Application will terminate",
                             "Brindlecue Received memory warning"})
        EXPECT_EQ(logs->count(line), 0u) << line;

    // Once the pause is over the application's activations count again; the launch stays consumed.
    platform::Clock::advance(601);
    application->resignActive();
    application->becomeActive();
    launchWithOptions();
    settle();
    EXPECT_EQ(events(8103).size(), before[0] + 1);
    EXPECT_EQ(logs->count("Application did finish launching"), 0u);
}

TEST_F(FacadeInterfaceTest, AStartWithoutAnAppKeyReportsTheErrorAndNeverCompletes) {
    auto logs = testsupport::RecordingLoggerManager::install();
    Posted posts({BLQInstallNotificationKeys::installFailureNotification});
    std::atomic<int> started = 0;
    facade->registerInstallForApp("", false, [&] { ++started; });
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return posts.count(BLQInstallNotificationKeys::installFailureNotification) == 3; }, 10));
    EXPECT_EQ(logs->count("Warning: Please setup APP_KEY in Info.plist or pass in by parameter."), 3u);
    EXPECT_TRUE(
        logs->contains("Install: Registration failed, so retrying... retries left after this one: 0", 2));
    auto error = posts.of(BLQInstallNotificationKeys::installFailureNotification)[0].object<platform::Error>(
        BLQInstallNotificationKeys::error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), Brindlecue::kErrorDomain);
    EXPECT_EQ(error->code(), 0);
    EXPECT_EQ(error->localizedDescription(), "app_key must be given.");

    // A caller of its own gets the same error, once.
    std::atomic<int> calls = 0;
    std::optional<platform::Error> seen;
    facade->registerOrUpdateInstallWithHandler([&](auto install, auto e) {
        EXPECT_FALSE(install);
        seen = e;
        ++calls;
    });
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return calls.load() == 1; }, 10));
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->localizedDescription(), "app_key must be given.");
    settle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(started, 0);
}

TEST_F(FacadeInterfaceTest, RegisteringWhileDisabledAnswersAtOnceWithNothingAndUsesUpTheRetries) {
    facade->configManager()->setSDKDisabledTime(-1);
    auto logs = testsupport::RecordingLoggerManager::install();
    int calls = 0;
    facade->registerOrUpdateInstallWithHandler([&](auto install, auto error) {
        EXPECT_FALSE(install);
        EXPECT_FALSE(error);
        ++calls;
    });
    EXPECT_EQ(calls, 1) << "answered before the call returns";

    std::atomic<int> started = 0;
    facade->registerInstallForApp("app-key-1", false, [&] { ++started; });
    EXPECT_TRUE(
        logs->contains("Install: Registration failed, so retrying... retries left after this one: 1", 2));
    EXPECT_TRUE(
        logs->contains("Install: Registration failed, so retrying... retries left after this one: 0", 2));
    settle();
    EXPECT_EQ(started, 0);
    EXPECT_FALSE(facade->hasValidInstall());
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

// Puts the device's settings back however the test ends.
struct DeviceSettings {
    explicit DeviceSettings(platform::DeviceOverrides overrides) { platform::Device::setOverrides(overrides); }
    ~DeviceSettings() { platform::Device::setOverrides({}); }
};

TEST_F(FacadeInterfaceTest, TagOperationsRefuseEmptyKeysAndAPhoneNumberThatIsNotText) {
    // The phone tag takes text only; other keys take any value, an empty key none.
    EXPECT_TRUE(facade->checkTagValue(Value(4930), ""));
    EXPECT_TRUE(facade->checkTagValue(Value(4930), "visits"));
    EXPECT_FALSE(facade->tagNumeric(4930123, "kj_phone"));
    EXPECT_FALSE(facade->tagDatetime(platform::Date::now(), "KJ_Phone"));
    EXPECT_FALSE(facade->tagNumeric(1, ""));
    EXPECT_FALSE(facade->tagDatetime(platform::Date::now(), ""));
    EXPECT_FALSE(facade->removeTag(""));
    EXPECT_FALSE(facade->incrementTag(""));
    EXPECT_FALSE(facade->tagExists(""));
    settle();
    EXPECT_FALSE(facade->tagExists("kj_phone"));

    // A user id given as text is kept as it is, a date as the library's date text.
    EXPECT_TRUE(facade->tagUserId(Value("user-7")));
    EXPECT_EQ(tag("kj_cuid"), "user-7");
    const auto signup = platform::Date::fromTimeIntervalSince1970(1700000000);
    EXPECT_TRUE(facade->tagUserId(Value(signup)));
    EXPECT_EQ(tag("kj_cuid"), blqFormatDate(signup));
    EXPECT_TRUE(facade->tagDatetime(signup, "signup"));
    settle();
    EXPECT_TRUE(facade->tagExists("signup"));

    // No language given: the device's first preferred one; none at all is nothing to tag.
    {
        platform::DeviceOverrides overrides;
        overrides.preferredLanguages = std::vector<std::string>{"fr-CA", "en-US"};
        DeviceSettings french(overrides);
        EXPECT_TRUE(facade->tagUserLanguage(""));
        EXPECT_EQ(tag("kj_language"), "fr-CA");
        EXPECT_TRUE(facade->tagUserLanguage("de"));
        EXPECT_EQ(tag("kj_language"), "de");
    }
    {
        platform::DeviceOverrides overrides;
        overrides.preferredLanguages = std::vector<std::string>{};
        DeviceSettings none(overrides);
        EXPECT_FALSE(facade->tagUserLanguage(""));
        EXPECT_EQ(tag("kj_language"), "de");
    }
}

TEST_F(FacadeInterfaceTest, TheLanguageIsTaggedWhenItDiffersFromTheOneLastTagged) {
    platform::DeviceOverrides overrides;
    overrides.preferredLanguages = std::vector<std::string>{"de-DE"};
    auto german = std::make_unique<DeviceSettings>(overrides);
    facade->checkForLanguageUpdate();
    EXPECT_EQ(tag("kj_language"), "de-DE");
    EXPECT_EQ(UserDefaults::standard().string("TAG_KJLANGUAGE"), "de-DE");

    // The same language again is not tagged again.
    EXPECT_TRUE(facade->removeTag("kj_language"));
    settle();
    facade->checkForLanguageUpdate();
    settle();
    EXPECT_FALSE(facade->tagExists("kj_language"));

    german.reset();
    overrides.preferredLanguages = std::vector<std::string>{"fr-FR", "de-DE"};
    auto french = std::make_unique<DeviceSettings>(overrides);
    facade->checkForLanguageUpdate();
    EXPECT_EQ(tag("kj_language"), "fr-FR");
    EXPECT_EQ(UserDefaults::standard().string("TAG_KJLANGUAGE"), "fr-FR");

    // No preferred language at all: nothing to tag, and none is recorded.
    french.reset();
    overrides.preferredLanguages = std::vector<std::string>{};
    DeviceSettings none(overrides);
    facade->checkForLanguageUpdate();
    EXPECT_EQ(tag("kj_language"), "fr-FR");
    EXPECT_EQ(UserDefaults::standard().string("TAG_KJLANGUAGE"), "");
}

// The page events stored, each as "<code> <page>", in the order they were recorded.
std::vector<std::string> pageEvents() {
    auto store =
        std::make_shared<BLQCoreDataUserEventDataStore>(BLQCoreData::sharedInstance().backgroundContext());
    std::vector<std::string> out;
    for (const auto& e : testsupport::storedUserEvents(store))
        if (rawValue(e->code) == 8108 || rawValue(e->code) == 8109)
            out.push_back(std::to_string(rawValue(e->code)) + " " + e->message.value_or(""));
    return out;
}

TEST_F(FacadeInterfaceTest, APageLeftBeforeAnyWasEnteredIsEnteredFromTheScreensOwnRecordFirst) {
    auto& defaults = UserDefaults::standard();
    auto pages = [&] {
        settle();
        return pageEvents();
    };
    // Nothing is current yet: leaving a page reports nothing.
    facade->kjNotifyPageExit(std::string("HomeVC"));
    EXPECT_TRUE(pages().empty());

    facade->kjNotifyPageEnter(std::string("HomeVC"));
    platform::Clock::advance(2);
    facade->kjNotifyPageExit(std::string("HomeVC"));
    EXPECT_EQ(defaults.string("ENTER_PAGE_HISTORY"), "") << "a public exit clears the entered page";

    // The host's screen last about to appear is entered before it is left.
    platform::Clock::advance(2);
    defaults.setString("ENTERBAK_PAGE_HISTORY", "CartVC");
    facade->kjNotifyPageExit(std::string("CartVC"));
    // Without such a record, only the exit.
    platform::Clock::advance(2);
    defaults.setString("ENTERBAK_PAGE_HISTORY", "");
    facade->kjNotifyPageExit(std::string("PayVC"));
    EXPECT_EQ(pages(), (std::vector<std::string>{"8108 HomeVC", "8109 HomeVC", "8108 CartVC", "8109 CartVC",
                                                 "8109 PayVC"}));
}

TEST_F(FacadeInterfaceTest, APageEnteredInTheBackgroundIsRememberedAndAReactNativeViewNamesThePage) {
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    application->enterBackground();
    facade->kjNotifyPageEnter(std::string("HomeVC"));
    EXPECT_TRUE(events(8108).empty()) << "no enter is sent from the background";
    EXPECT_EQ(UserDefaults::standard().string("ENTER_PAGE_HISTORY"), "HomeVC");

    // Back in the foreground the remembered page is entered.
    application->enterForeground();
    settle();
    auto entered = events(8108);
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0]->message, "HomeVC");

    // A React Native host's pages go by the view name it set.
    platform::Clock::advance(2);
    facade->setReactViewName("Checkout");
    EXPECT_EQ(facade->rnViewName(), "Checkout");
    facade->kjNotifyPageEnter(std::string("RNRootVC"));
    entered = events(8108);
    ASSERT_EQ(entered.size(), 2u);
    EXPECT_EQ(entered[1]->message, "Checkout");
    EXPECT_EQ(UserDefaults::standard().string("ENTER_PAGE_HISTORY"), "Checkout");

    auto logs = testsupport::RecordingLoggerManager::install();
    facade->setReactViewName("");
    EXPECT_TRUE(logs->contains("failed to set view name sent from react native, view name is empty", 2));
    EXPECT_EQ(facade->rnViewName(), "Checkout");
}

TEST_F(FacadeInterfaceTest, DeepLinksWithoutTheirPartsChangeNothing) {
    testsupport::installResourceBundle();
    facade->registerInstallForApp("app-key-1", false, nullptr);
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_set_tag/plan/"));
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_set_tag//gold"));
    settle();
    EXPECT_FALSE(facade->tagExists("plan"));

    const size_t guides = facade->tipManager()->innerTipSeries().size();
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_add_guide/"));
    EXPECT_FALSE(facade->openURL("myapp://brindlecue_add_guide"));
    settle();
    EXPECT_EQ(facade->tipManager()->innerTipSeries().size(), guides);

    // The guide is named in the query only, by the first piece that has a value.
    EXPECT_FALSE(facade->openURL("myapp://shop/blq_guide"));
    EXPECT_FALSE(facade->openURL("myapp://shop?blq_guides=x?blq_guide"));
    EXPECT_FALSE(facade->openURL("not a link at all, blq_guide=x"));
    EXPECT_EQ(facade->onDemandCampaignID(), std::nullopt);
    EXPECT_FALSE(facade->openURL("myapp://shop?blq_guide?blq_guide=second?blq_guide=third"));
    EXPECT_EQ(facade->onDemandCampaignID(), "second");
}

TEST_F(FacadeInterfaceTest, ActivitiesWithoutAnIdentifierOpenNothing) {
    std::vector<std::string> opened;
    facade->setOpenUrlHandler([&](const std::string& url) { opened.push_back(url); });
    EXPECT_FALSE(facade->continueUserActivity(nullptr));
    auto bare =
        std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::CSSearchableItemActionType);
    EXPECT_FALSE(facade->continueUserActivity(bare));
    bare->setUserInfo(
        Value::dictionary({{platform::NSUserActivity::CSSearchableItemActivityIdentifier, ""}}));
    EXPECT_FALSE(facade->continueUserActivity(bare));
    EXPECT_TRUE(opened.empty());

    // A stored link that is not text is no link: the identifier itself is opened.
    UserDefaults::standard().set("SPOTLIGHT_DEEPLINKING_MAPPING", Value::dictionary({{"app://item/5", 5}}));
    bare->setUserInfo(
        Value::dictionary({{platform::NSUserActivity::CSSearchableItemActivityIdentifier, "app://item/5"}}));
    EXPECT_TRUE(facade->continueUserActivity(bare));
    EXPECT_EQ(opened, std::vector<std::string>{"app://item/5"});
}

TEST_F(FacadeInterfaceTest, SearchableItemsKeepTheirLinksOnlyWhenTheIndexTookThem) {
    auto index = platform::CSSearchableIndex::defaultSearchableIndex();
    auto logs = testsupport::RecordingLoggerManager::install();
    auto mapping = [] { return UserDefaults::standard().dictionary("SPOTLIGHT_DEEPLINKING_MAPPING"); };
    auto waitFor = [&](const std::string& prefix, size_t count) {
        return platform::RunLoop::main().runUntil([&] { return logs->count(prefix) == count; }, 5);
    };

    facade->indexSpotlightSearchForIdentifier("", "app://x", "X", "", nullptr, {});
    EXPECT_TRUE(logs->contains("Spotlight's identifier cannot be empty.", 1));

    // A failed index keeps no link.
    index->failNextChange(platform::Error::withDescription("CSSearchableErrorDomain", -1, "full"));
    facade->indexSpotlightSearchForIdentifier("item-1", "app://orders/1", "Order", "", nullptr, {});
    ASSERT_TRUE(waitFor("Fail to index splotlight item due to error: ", 1));
    EXPECT_TRUE(index->items().empty());
    EXPECT_FALSE(mapping());

    // Deleting items while no link is kept keeps none either, and an item without a link maps
    // nothing.
    facade->deleteSpotlightItemsForIdentifiers({"item-1"});
    facade->indexSpotlightSearchForIdentifier("item-0", "", "Order", "", nullptr, {});
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return index->items().size() == 1; }, 5));
    testsupport::letBackgroundWorkEnd();
    EXPECT_FALSE(mapping());

    // A thumbnail goes to the index as PNG bytes; the link is kept once.
    auto thumbnail = platform::UIImage::imageWithData(testsupport::makeTestPNG(8, 8));
    ASSERT_TRUE(thumbnail);
    facade->indexSpotlightSearchForIdentifier("item-1", "app://orders/1", "Order", "Yours", thumbnail,
                                              {"order", "mine"});
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return mapping().has_value(); }, 5));
    auto items = index->items();
    ASSERT_EQ(items.size(), 2u);
    const auto& attributes = items[1].attributeSet;
    EXPECT_EQ(attributes.contentType, "public.image");
    EXPECT_EQ(attributes.title, "Order");
    EXPECT_EQ(attributes.contentDescription, "Yours");
    ASSERT_TRUE(attributes.thumbnailData);
    ASSERT_GT(attributes.thumbnailData->size(), 8u);
    EXPECT_EQ((*attributes.thumbnailData)[1], 'P');
    EXPECT_EQ(attributes.keywords, (std::vector<std::string>{"order", "mine"}));
    EXPECT_FALSE(items[0].attributeSet.thumbnailData);
    EXPECT_EQ(*mapping(), platform::Dictionary(*Value::dictionary({{"item-1", "app://orders/1"}}).getDictionary()));
    // Indexed again: the same link stays, another one replaces it.
    facade->indexSpotlightSearchForIdentifier("item-1", "app://orders/1", "Order", "Yours", nullptr, {});
    testsupport::letBackgroundWorkEnd();
    EXPECT_EQ(mapping()->find("item-1")->stringValue(), "app://orders/1");
    facade->indexSpotlightSearchForIdentifier("item-1", "app://orders/01", "Order", "Yours", nullptr, {});
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return mapping()->find("item-1")->stringValue() == "app://orders/01"; }, 5));
    EXPECT_EQ(mapping()->size(), 1u);

    // Deleting everything: a failure keeps the links, a success forgets them all.
    index->failNextChange(platform::Error::withDescription("CSSearchableErrorDomain", -1, "busy"));
    facade->deleteAllSpotlightItems();
    ASSERT_TRUE(waitFor("Fail to delete all splotlight items due to error: ", 1));
    EXPECT_TRUE(mapping()->contains("item-1"));
    facade->deleteAllSpotlightItems();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return mapping() && mapping()->empty(); }, 5));
    EXPECT_TRUE(index->items().empty());
}

TEST_F(FacadeInterfaceTest, TheHostsDelegateIsTheOneBehindTheInterposerAndNeverTheLibrary) {
    auto application = platform::UIApplication::sharedApplication();
    auto previous = application->delegate();
    struct Restore {
        std::shared_ptr<platform::UIApplication> application;
        std::shared_ptr<platform::UIApplicationDelegate> delegate;
        ~Restore() { application->setDelegate(delegate); }
    } restore{application, previous};

    auto host = make<platform::UIApplicationDelegate>();
    application->setDelegate(host);
    EXPECT_EQ(facade->getAppDelegate(), host) << "not interposed: the delegate itself";

    auto interceptor = make<KJInterceptor>();
    interceptor->setFirstResponder(facade);
    interceptor->setSecondResponder(host);
    application->setDelegate(interceptor);
    EXPECT_EQ(facade->getAppDelegate(), host);
    auto inner = make<KJInterceptor>();
    interceptor->setSecondResponder(inner);
    EXPECT_EQ(facade->getAppDelegate(), nullptr);
    auto other = make<KJInterceptor>();
    other->setSecondResponder(facade);
    application->setDelegate(other);
    EXPECT_EQ(facade->getAppDelegate(), nullptr);
}

TEST_F(FacadeInterfaceTest, TheAppIdIsReadFromTheStoreOnceAndThenKept) {
    auto& defaults = UserDefaults::standard();
    EXPECT_EQ(facade->appId(), std::nullopt);
    defaults.setInteger("APPID_KEY", 4711);
    EXPECT_EQ(facade->appId(), 4711);
    defaults.setInteger("APPID_KEY", 42);
    EXPECT_EQ(facade->appId(), 4711);
    facade->setAppId(7);
    EXPECT_EQ(facade->appId(), 7);
}

TEST_F(FacadeInterfaceTest, ALaunchChangedWhenAnyRecordedPartOfTheInstallDiffers) {
    auto& defaults = UserDefaults::standard();
    facade->configManager()->setAppKey("app-key-1");
    facade->registerInstallForApp("app-key-1", false, nullptr);
    EXPECT_FALSE(facade->checkInstallChangeForLaunch()) << "nothing recorded yet";
    const std::vector<std::pair<std::string, std::string>> recorded{
        {"SentInstall_AppKey", "app-key-1"},
        {"SentInstall_ClientVersion", facade->clientVersion()},
        {"SentInstall_KjVersion", "3.0.3"},
        {"SentInstall_Carrier", "Other"},
        {"SentInstall_OSVersion", platform::Device::systemVersion()}};
    for (const auto& [key, value] : recorded) defaults.setString(key, value);
    EXPECT_FALSE(facade->checkInstallChangeForLaunch());

    for (const auto& entry : recorded) {
        defaults.setString(entry.first, "changed");
        EXPECT_TRUE(facade->checkInstallChangeForLaunch()) << entry.first;
        // An empty record is no record.
        defaults.setString(entry.first, "");
        EXPECT_FALSE(facade->checkInstallChangeForLaunch()) << entry.first;
        defaults.setString(entry.first, entry.second);
    }
    // A record that is not text is read as its text.
    defaults.setInteger("SentInstall_KjVersion", 3);
    EXPECT_TRUE(facade->checkInstallChangeForLaunch());
}

TEST_F(FacadeInterfaceTest, FriendlyNamesKeepTheirNibsAndAreRefusedWhileTheLibraryIsDisabled) {
    auto entry = friendly("Home", "HomeVC");
    entry->xib_iphone = "HomePhone";
    entry->xib_ipad = "";
    auto cart = friendly("Cart", "CartVC");
    cart->xib_ipad = "CartPad";
    // An entry without a name, or none at all, refuses the whole list.
    EXPECT_FALSE(facade->kjCustomActivityList({entry, friendly("", "CartVC")}));
    EXPECT_FALSE(facade->kjCustomActivityList({entry, nullptr}));
    EXPECT_FALSE(UserDefaults::standard().array("FRIENDLYNAME_KEY"));
    EXPECT_TRUE(facade->kjCustomActivityList({entry, cart}));
    auto stored = UserDefaults::standard().array("FRIENDLYNAME_KEY");
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 2u);
    EXPECT_EQ((*stored)[0], Value::dictionary({{"FRIENDLYNAME_NAME", "Home"},
                                               {"FRIENDLYNAME_VC", "HomeVC"},
                                               {"FRIENDLYNAME_XIB_IPHONE", "HomePhone"}}));
    EXPECT_EQ((*stored)[1], Value::dictionary({{"FRIENDLYNAME_NAME", "Cart"},
                                               {"FRIENDLYNAME_VC", "CartVC"},
                                               {"FRIENDLYNAME_XIB_IPAD", "CartPad"}}));
    EXPECT_EQ(KJFriendlyNameObject::findObjByFriendlyName("CART")->xib_ipad, "CartPad");
    auto found = KJFriendlyNameObject::findObjByFriendlyName("home");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->friendlyName, "home");
    EXPECT_EQ(found->xib_iphone, "HomePhone");
    EXPECT_EQ(found->xib_ipad, std::nullopt);
    EXPECT_FALSE(KJFriendlyNameObject::findObjByFriendlyName(""));
    EXPECT_FALSE(KJFriendlyNameObject::findObjByFriendlyName("Settings"));
    EXPECT_EQ(KJFriendlyNameObject::tryFriendlyName(std::nullopt), std::nullopt);

    facade->configManager()->setSDKDisabledTime(-1);
    EXPECT_FALSE(facade->kjCustomActivityList({friendly("Settings", "SettingsVC")}));
    EXPECT_EQ(UserDefaults::standard().array("FRIENDLYNAME_KEY")->size(), 2u);
    UserDefaults::standard().remove("FRIENDLYNAME_KEY");
    EXPECT_FALSE(KJFriendlyNameObject::findObjByFriendlyName("Home"));
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

TEST(FacadeLaunch, ADelayedLaunchWithoutOptionsOpensAndPostsNothing) {
    platform::Clock::useVirtual();
    platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", "http://127.0.0.1:1"}});
    Posted posts({kGeo, kRemote});
    platform::UIApplication::sharedApplication()->finishLaunching(Value::dictionary({}));
    auto facade = Brindlecue::sharedInstance();
    auto logs = testsupport::RecordingLoggerManager::install();
    std::vector<std::string> opened;
    facade->setOpenUrlHandler([&](const std::string& url) { opened.push_back(url); });
    platform::Clock::advance(2.0);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(logs->count("Application did finish launching (Delay) with launchOptions: "), 1u);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(facade->onDemandCampaignID(), std::nullopt);
    EXPECT_EQ(posts.count(kRemote), 0u);
    EXPECT_EQ(posts.count(kGeo), 0u);
}

TEST_F(FacadeInterfaceTest, NoTopScreenIsFoundWithoutAKeyWindowOrBelowAnEmptyNavigation) {
    EXPECT_EQ(facade->topMostViewController(), nullptr) << "no key window";
    EXPECT_EQ(facade->topViewController(nullptr, 0), nullptr);

    auto window = make<platform::UIWindow>();
    auto root = make<Screen>("RootVC");
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    platform::RunLoop::main().runUntilIdle();
    // A plain last child is no container to look into.
    root->addChildViewController(make<Screen>("BannerVC"));
    EXPECT_EQ(facade->topMostViewController(), root);
    // A tab bar controller as the last child is looked into.
    auto tabs = make<platform::UITabBarController>();
    auto feed = make<Screen>("FeedVC");
    tabs->setViewControllers({make<Screen>("HomeVC"), feed});
    tabs->setSelectedIndex(1);
    root->addChildViewController(tabs);
    EXPECT_EQ(facade->topMostViewController(), feed);

    EXPECT_EQ(facade->topViewController(make<platform::UINavigationController>(), 0), nullptr);
    root->presentViewController(make<platform::UINavigationController>(), false);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(facade->topMostViewController(), nullptr);
    window->setHidden(true);
}

TEST_F(FacadeInterfaceTest, ThePushCompanionHearsOnlyTheValuesAndCompletionsTheApplicationGave) {
    auto application = platform::UIApplication::sharedApplication();
    Posted posts({"KJ_PushBridge_DidRegisterUserNotification", kRemote, "KJ_PushBridge_HandleRemoteActionButton",
                  "KJ_PushBridge_ReceiveLocalNotification", "KJ_PushBridge_HandleLocalActionButton"});
    facade->applicationDidRegisterUserNotificationSettings(*application, Value());
    facade->applicationDidReceiveRemoteNotificationFetchCompletionHandler(*application, Value(), nullptr);
    facade->applicationHandleActionWithIdentifierForRemoteNotification(*application, "reply", Value(), nullptr);
    facade->applicationDidReceiveLocalNotification(*application, Value());
    facade->applicationHandleActionWithIdentifierForLocalNotification(*application, "snooze", Value(), nullptr);

    auto only = [&](const std::string& name) {
        auto seen = posts.of(name);
        EXPECT_EQ(seen.size(), 1u) << name;
        return seen.empty() ? platform::Notification(name) : seen[0];
    };
    EXPECT_EQ(only("KJ_PushBridge_DidRegisterUserNotification").userInfo(), Value::dictionary({}));
    auto remote = only(kRemote);
    EXPECT_EQ(remote.userInfo(), Value::dictionary({{"fgbg", 0}, {"needComplete", 1}}));
    EXPECT_TRUE(remote.objects().empty());
    auto remoteAction = only("KJ_PushBridge_HandleRemoteActionButton");
    EXPECT_EQ(remoteAction.userInfo(), Value::dictionary({{"actionid", "reply"}, {"needComplete", 1}}));
    EXPECT_TRUE(remoteAction.objects().empty());
    EXPECT_EQ(only("KJ_PushBridge_ReceiveLocalNotification").userInfo(),
              Value::dictionary({{"fgbg", 0}, {"needComplete", true}}));
    auto localAction = only("KJ_PushBridge_HandleLocalActionButton");
    EXPECT_EQ(localAction.userInfo(), Value::dictionary({{"actionid", "snooze"}, {"needComplete", 1}}));
    EXPECT_TRUE(localAction.objects().empty());
}

TEST_F(FacadeInterfaceTest, AnInstallAnswerWithoutFeedsIsLoggedAsSuch) {
    auto logs = testsupport::RecordingLoggerManager::install();
    facade->processInstallationFeeds(Value::dictionary({{"app_id", 4711}}));
    facade->processInstallationFeeds(Value::dictionary({{"feeds", Value::array({})}}));
    facade->processInstallationFeeds(Value::dictionary({{"feeds", "none"}}));
    EXPECT_EQ(logs->count("Install: Register install v3/installs does not include any feeds, response from server: "),
              3u);
    EXPECT_EQ(logs->count("Install: Register install includes feeds: "), 0u);
}

TEST_F(FacadeInterfaceTest, PruningKeepsThePolledCampaignsExceptInPreviewMode) {
    facade->configManager()->setAppKey("app-key-1");
    facade->registerInstallForApp("app-key-1", false, nullptr);
    auto& center = NotificationCenter::defaultCenter();
    center.post("BLQ_BrindlecueBridge_ParsePagingFeed_Notification", nullptr, Value::dictionary({}),
                {{"feeds", feeds({"a", "b", "c", "d"})}});
    ASSERT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c", "d"}));
    auto polled = *feeds({"a", "c"});
    polled.push_back(nullptr);

    // In preview mode nothing is pruned.
    facade->setPollingFeedArray(polled);
    facade->previewModeManager()->setServerTimestamp(platform::Date::now().addingTimeInterval(3600));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return BLQFacadeLink::isInPreviewMode(); }, 5));
    facade->deleteDisabledCampaign();
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "b", "c", "d"}));

    facade->previewModeManager()->setServerTimestamp(std::nullopt);
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return !BLQFacadeLink::isInPreviewMode(); }, 5));
    facade->deleteDisabledCampaign();
    EXPECT_EQ(storedFeedIds(), (std::vector<std::string>{"a", "c"}));
}

TEST_F(FacadeInterfaceTest, FeedReportsLeaveOutWhatTheyWereNotGiven) {
    facade->notifyFeedResultOnError("f1", "c1", "tip", "s1", Value());
    facade->notifyFeedResult(std::nullopt, Value(), BLQFeedResult::rejected, Value(""), false, false);
    facade->notifyFeedResult(std::string("f3"), std::string("c3"), BLQFeedResult::next, std::string(), true, true);
    auto results = events(8201);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0]->message, "Feed result with error: f1");
    EXPECT_EQ(results[0]->details, Value::dictionary({{"feed_id", "f1"},
                                                      {"complete", false},
                                                      {"campaignid", "c1"},
                                                      {"step_id", "s1"},
                                                      {"feed_delete", true},
                                                      {"tool", "tip"},
                                                      {"status", "error"}}));
    EXPECT_EQ(results[1]->message, "Feed result: (null)");
    EXPECT_EQ(results[1]->details,
              Value::dictionary({{"status", "rejected"}, {"feed_delete", false}, {"complete", false}}));
    EXPECT_EQ(results[2]->details, Value::dictionary({{"feed_id", "f3"},
                                                      {"guideid", "c3"},
                                                      {"status", "next"},
                                                      {"feed_delete", true},
                                                      {"complete", true}}));
}

TEST_F(FacadeInterfaceTest, TheVisitIsReportedCompleteOnlyWithAStoredStartAndAnOpenSession) {
    auto& defaults = UserDefaults::standard();
    facade->sendAppCompleteLogline();
    defaults.setDouble("BLQ_PREVIOUS_VISIBLE_TIME", 0);
    facade->sendAppCompleteLogline();
    EXPECT_EQ(defaults.object("BLQ_PREVIOUS_VISIBLE_TIME"), Value(0.0));
    // A start but no session open (nothing registered here): the start is kept for later.
    const double start = platform::Date::now().timeIntervalSinceReferenceDate();
    defaults.setDouble("BLQ_PREVIOUS_VISIBLE_TIME", start);
    facade->sendAppCompleteLogline();
    EXPECT_TRUE(events(8105).empty());
    EXPECT_EQ(defaults.object("BLQ_PREVIOUS_VISIBLE_TIME"), Value(start));
}

TEST_F(FacadeInterfaceTest, EnteringAgainThePageLeftForTheBackgroundSendsOnlyItsEnter) {
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    facade->kjNotifyPageEnter(std::string("HomeVC"));
    application->enterBackground();
    settle();
    // Active again without passing the foreground: the screen appears again.
    platform::Clock::advance(2);
    application->becomeActive();
    facade->kjNotifyPageEnter(std::string("HomeVC"));
    settle();
    EXPECT_EQ(pageEvents(), (std::vector<std::string>{"8108 HomeVC", "8109 HomeVC", "8108 HomeVC"}));
}

TEST_F(FacadeInterfaceTest, TheLifeCycleIsLoggedAtTheLevelOfEachStep) {
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    auto logs = testsupport::RecordingLoggerManager::install();
    application->resignActive();
    application->receiveMemoryWarning();
    application->terminate();
    ASSERT_EQ(logs->linesStartingWith("Application will resignActive with info: ").size(), 1u);
    EXPECT_EQ(logs->linesStartingWith("Application will resignActive with info: ")[0].level, 1);
    EXPECT_TRUE(logs->contains("Brindlecue Received memory warning", 4));
    ASSERT_EQ(logs->linesStartingWith("Application will terminate with info: ").size(), 1u);
    EXPECT_EQ(logs->linesStartingWith("Application will terminate with info: ")[0].level, 1);
}

}  // namespace
}  // namespace brindlecue
