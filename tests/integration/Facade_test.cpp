// The facade as a host starts it: registration, sessions, the feed, the application's life cycle,
// page visits, the interposed application delegate and feed reports, against the sample server.

#include <gtest/gtest.h>

#include <unicode/timezone.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>

#include "config/BLQIConfigManager.h"
#include "config/BLQInstallNotificationKeys.h"
#include "config/SessionError.h"
#include "facade/KJFriendlyNameObject.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/KJInterceptor.h"
#include "foundation/KJLog.h"
#include "foundation/NSStringKJExt.h"
#include "platform/CaptureLogSink.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/foundation/NSUserActivity.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/ClassRegistry.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/KJDao.h"
#include "support/HostApp.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::route;

class FacadeTest : public testing::Test {
protected:
    testsupport::HostApp app;
};

std::string messageOf(const std::shared_ptr<BLQUserEventDTO>& event) {
    return event->message.value_or("(none)");
}

TEST_F(FacadeTest, AFirstStartRegistersOpensASessionFetchesTheFeedAndALaterOneUpdates) {
    std::vector<std::string> posted;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        BLQInstallNotificationKeys::installSuccessNotification, nullptr, nullptr,
        [&](const platform::Notification& n) { posted.push_back(n.name()); });
    app.launch();
    ASSERT_TRUE(app.start());
    platform::NotificationCenter::defaultCenter().removeObserver(observer);

    ASSERT_EQ(app.requests("POST", "/v3/installs"), 1u);
    auto install = Value::fromJSON(app.server.journal()[0].body);
    ASSERT_TRUE(install);
    EXPECT_EQ((*install)["app_key"], Value(testsupport::HostApp::kAppKey));
    EXPECT_EQ((*install)["client_version"], Value("2.4.1+77"));
    EXPECT_EQ(posted, std::vector<std::string>{BLQInstallNotificationKeys::installSuccessNotification});
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("GET", "/v3/feeds") == 1; }));
    ASSERT_TRUE(app.facade->currentInstall());
    EXPECT_TRUE(app.facade->currentInstall()->isRegisteredWithServer);
    EXPECT_EQ(app.facade->appId(), std::nullopt) << "the app id is the configuration's, not the facade's";

    // The start event reaches the server with the session opened for it.
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8102).empty(); }));
    EXPECT_EQ(app.uploaded(8102)[0]["session_id"], Value(1));
    EXPECT_TRUE(app.hasStoredEvent(8102, "App first run"));
    EXPECT_EQ(platform::UserDefaults::standard().integer("NumTimesAppUsed"), 1);

    // The next launch of the same version updates the install and starts as a known app.
    app.relaunch();
    app.launch();
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.requests("POST", "/v3/installs"), 1u);
    EXPECT_EQ(app.requests("PATCH", "/v3/installs/"), 1u);
    EXPECT_TRUE(
        app.pumpUntil([&] { return app.hasStoredEvent(8102, "App started and engine initialized"); }));
    EXPECT_TRUE(app.storedEvents(8052).empty());

    // A new version of the host app reports the version it replaces.
    app.relaunch();
    app.setVersion("2.5.0", "80");
    app.launch();
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.requests("PATCH", "/v3/installs/"), 2u);
    ASSERT_TRUE(app.pumpUntil([&] { return !app.storedEvents(8052).empty(); }));
    EXPECT_EQ(messageOf(app.storedEvents(8052)[0]), "2.4.1+77");
    EXPECT_EQ(platform::UserDefaults::standard().string("SentInstall_ClientVersion"), "2.5.0+80");
}

TEST_F(FacadeTest, AFailingRegistrationIsTriedThreeTimesAndTheHostIsNotTold) {
    app.server.clearRoutes();
    app.server.addRoute(route("POST", "/v3/installs", 500, "{}"));
    app.launch();
    auto logs = testsupport::RecordingLoggerManager::install();
    std::atomic<bool> started = false;
    app.facade->registerInstallForApp(testsupport::HostApp::kAppKey, false, [&] { started = true; });
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("POST", "/v3/installs") == 3; }));
    app.pumpUntil([] { return false; }, 1);
    EXPECT_FALSE(started);
    EXPECT_EQ(app.requests("POST", "/v3/installs"), 3u);
    EXPECT_TRUE(
        logs->contains("Install: Registration failed, so retrying... retries left after this one: 1", 2));
    EXPECT_TRUE(
        logs->contains("Install: Registration failed, so retrying... retries left after this one: 0", 2));
    EXPECT_EQ(app.requests("GET", "/v3/feeds"), 0u);
    EXPECT_FALSE(app.facade->hasValidInstall());
}

TEST_F(FacadeTest, TheApplicationsLifeCycleAndPageVisitsBecomeEvents) {
    app.launch();
    ASSERT_TRUE(app.start());
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    app.settle();
    EXPECT_EQ(app.storedEvents(8103).size(), 1u);

    app.facade->kjNotifyPageEnter(std::string("Home"));
    app.facade->kjNotifyPageEnter(std::string("Cart"));
    app.settle();
    std::vector<std::string> pages;
    for (const auto& e : app.storedEvents())
        if (rawValue(e->code) == 8108 || rawValue(e->code) == 8109)
            pages.push_back(std::to_string(rawValue(e->code)) + " " + messageOf(e));
    EXPECT_EQ(pages, (std::vector<std::string>{"8108 Home", "8109 Home", "8108 Cart"}));

    // Going to the background leaves the page, reports the visit and closes the session.
    application->enterBackground();
    ASSERT_TRUE(app.pumpUntil([&] { return !app.storedEvents(8105).empty(); }));
    app.settle();
    EXPECT_EQ(app.storedEvents(8104).size(), 1u);
    auto complete = app.storedEvents(8105)[0];
    EXPECT_TRUE(complete->details["start"].isString());
    EXPECT_TRUE(complete->details["end"].isString());
    EXPECT_TRUE(complete->details["length"].isReal());
    EXPECT_EQ(app.storedEvents(8109).size(), 2u);
    EXPECT_EQ(messageOf(app.storedEvents(8109).back()), "Cart");

    // Terminating after the background leaves no second exit of the same page.
    application->terminate();
    app.settle();
    EXPECT_EQ(app.storedEvents(8109).size(), 2u);

    // The foreground opens a new session and enters the remembered page again.
    application->enterForeground();
    ASSERT_TRUE(app.pumpUntil([&] { return app.storedEvents(8108).size() == 3; }));
    EXPECT_EQ(messageOf(app.storedEvents(8108).back()), "Cart");
    EXPECT_EQ(app.storedEvents(8103).size(), 2u);
}

TEST_F(FacadeTest, AHeartbeatGoesOutOncePerSixHoursAndATimeZoneChangeOnce) {
    app.launch();
    ASSERT_TRUE(app.start());
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    application->resignActive();
    application->becomeActive();
    app.settle();
    EXPECT_EQ(app.storedEvents(8103).size(), 2u);
    EXPECT_EQ(app.storedEvents(8051).size(), 1u) << "the heartbeat's time is kept once it is sent";
    platform::Clock::advance(6 * 3600);
    application->resignActive();
    application->becomeActive();
    app.settle();
    EXPECT_EQ(app.storedEvents(8051).size(), 2u);

    size_t offsets = app.storedEvents(8050).size();
    std::unique_ptr<icu::TimeZone> previous(icu::TimeZone::createDefault());
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    application->significantTimeChange();
    application->significantTimeChange();
    app.settle();
    icu::TimeZone::setDefault(*previous);
    auto changes = app.storedEvents(8050);
    ASSERT_EQ(changes.size(), offsets + 1);
    EXPECT_EQ(messageOf(changes.back()), "330");
}

// A host delegate that implements opening URLs and continuing activities, and counts what reaches it.
class HostDelegate final : public platform::UIApplicationDelegate {
public:
    std::string className() const override { return "HostDelegate"; }
    void didConstruct() override {
        UIApplicationDelegate::didConstruct();
        platform::ClassRegistry::registerClass("HostDelegate", "NSObject");
        platform::ClassRegistry::addMethods("HostDelegate",
                                            {"applicationDidBecomeActive:", "application:openURL:options:"});
    }
    void applicationDidBecomeActive(platform::UIApplication&) override { ++activations; }
    bool applicationOpenURLOptions(platform::UIApplication&, const std::string& url, const Value&) override {
        opened.push_back(url);
        return true;
    }
    int activations = 0;
    std::vector<std::string> opened;
};

TEST_F(FacadeTest, TheHostsDelegateKeepsWorkingBehindTheInterposer) {
    auto host = platform::make<HostDelegate>();
    auto application = platform::UIApplication::sharedApplication();
    application->setDelegate(host);
    app.launch();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil(
        [&] { return std::dynamic_pointer_cast<KJInterceptor>(application->delegate()) != nullptr; }));
    EXPECT_EQ(app.facade->getAppDelegate(), host);

    application->becomeActive();
    EXPECT_EQ(host->activations, 1);
    auto delegate = application->delegate();
    EXPECT_TRUE(
        delegate->applicationOpenURLOptions(*application, "host://brindlecue_set_tag/plan/gold", Value()));
    EXPECT_EQ(host->opened, std::vector<std::string>{"host://brindlecue_set_tag/plan/gold"});

    // What the host does not implement reaches the push companion with the completion left to it.
    std::vector<Value> pushes;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        "KJ_PushBridge_ReceiveRemoteNotification", nullptr, nullptr,
        [&](const platform::Notification& n) { pushes.push_back(n.userInfo()); });
    delegate->applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        *application, Value::dictionary({{"aps", "x"}}), [](int64_t) {});
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_EQ(pushes[0]["needComplete"], Value(1));
    EXPECT_EQ(pushes[0]["fgbg"], Value(0));
    EXPECT_FALSE(delegate->applicationContinueUserActivityRestorationHandler(*application, nullptr, nullptr));

    // A host delegate that is gone is passed over.
    application->setDelegate(delegate);
    app.relaunch();
}

TEST_F(FacadeTest, FeedResultsAndErrorsReachTheServerAsTheirEvents) {
    app.launch();
    ASSERT_TRUE(app.start());
    app.facade->notifyFeedResult(std::optional<std::string>("f1"), Value("c1"), BLQFeedResult::pageChange,
                                 Value(7), true, false);
    app.facade->notifyFeedResult("f2", static_cast<BLQFeedResult>(9));
    app.facade->notifyFeedResultOnError("f3", "c3", "tip", "s3", Value("failed to find target"));
    app.facade->sendFeedAck("");
    ASSERT_TRUE(
        app.pumpUntil([&] { return app.uploaded(8201).size() == 3 && app.uploaded(8200).size() == 1; }));

    auto results = app.uploaded(8201);
    EXPECT_EQ(results[0]["feed_id"], Value("f1"));
    EXPECT_EQ(results[0]["result"], Value::dictionary({{"guideid", "c1"},
                                                       {"status", "page-change"},
                                                       {"feed_delete", true},
                                                       {"complete", false},
                                                       {"step_id", "7"}}));
    EXPECT_EQ(results[1]["result"]["status"], Value("accepted"));
    EXPECT_FALSE(results[1]["result"].getDictionary()->contains("guideid"));
    EXPECT_EQ(results[2]["result"]["status"], Value("error"));
    EXPECT_EQ(results[2]["result"]["error_hash"], Value(NSStringKJExt::md5("failed to find target")));
    EXPECT_EQ(results[2]["result"]["tool"], Value("tip"));
    auto ack = app.uploaded(8200)[0];
    EXPECT_TRUE(ack["feed_id"].isAbsent()) << "an acknowledgement without a feed id sends no id";
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

TEST_F(FacadeTest, TheVersionCheckAsksTheServerOnceThroughTheOlderClient) {
    app.server.addRoute(route("GET", "/v3/versions/?", 200, R"({"results": [{"qx_version": "3.1.0"}]})"));
    app.launch();
    ASSERT_TRUE(app.start());
    app.facade->verifySDKVersion();
    ASSERT_TRUE(app.pumpUntil([&] { return app.facade->sdkVerificationMessage().has_value(); }));
    EXPECT_EQ(app.facade->sdkVerificationMessage(),
              "You are currently on an older version =  (3.0.3) of Brindlecue SDK, Kindly update it to the latest "
              "version (3.1.0) by doing pod update");
    const size_t asked = app.requests("GET", "/v3/versions");
    EXPECT_EQ(asked, 1u);
    app.facade->verifySDKVersion();
    app.settle();
    EXPECT_EQ(app.requests("GET", "/v3/versions"), asked) << "the answer is kept";
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

// What the default notification center delivered of some names while it was alive: the user info
// and the objects of each, in order.
class Posts {
public:
    explicit Posts(std::vector<std::string> names) {
        for (const auto& name : names)
            observers_.push_back(platform::NotificationCenter::defaultCenter().addObserver(
                name, nullptr, nullptr, [this](const platform::Notification& n) {
                    std::lock_guard lock(mutex_);
                    seen_.push_back(n);
                }));
    }
    ~Posts() {
        for (const auto& o : observers_) platform::NotificationCenter::defaultCenter().removeObserver(o);
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

// A host delegate that implements the application-delegate methods the facade forwards, and the
// older forms beside them, when told to; it counts what reaches it and calls each completion once.
class ForwardedHost final : public platform::UIApplicationDelegate {
public:
    explicit ForwardedHost(bool implementsAll) : implementsAll_(implementsAll) {}
    std::string className() const override {
        return implementsAll_ ? "ForwardedHostAll" : "ForwardedHostNone";
    }
    void didConstruct() override {
        UIApplicationDelegate::didConstruct();
        platform::ClassRegistry::registerClass(className(), "NSObject");
        if (!implementsAll_) return;
        auto selectors = Brindlecue::applicationDelegateSelectors();
        selectors.insert(
            selectors.end(),
            {"application:willFinishLaunchingWithOptions:", "application:didFinishLaunchingWithOptions:",
             "application:didReceiveRemoteNotification:", "application:handleOpenURL:"});
        platform::ClassRegistry::addMethods(className(), selectors);
    }
    bool applicationWillFinishLaunchingWithOptions(platform::UIApplication&, const Value&) override {
        return ++calls["willFinishLaunching"], true;
    }
    bool applicationDidFinishLaunchingWithOptions(platform::UIApplication&, const Value&) override {
        return ++calls["didFinishLaunching"], true;
    }
    void applicationDidRegisterUserNotificationSettings(platform::UIApplication&, const Value&) override {
        ++calls["settings"];
    }
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(platform::UIApplication&,
                                                                     const std::vector<uint8_t>&) override {
        ++calls["token"];
    }
    void applicationDidFailToRegisterForRemoteNotificationsWithError(platform::UIApplication&,
                                                                     const platform::Error&) override {
        ++calls["tokenFailed"];
    }
    void applicationDidReceiveRemoteNotification(platform::UIApplication&, const Value&) override {
        ++calls["remoteOlder"];
    }
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        platform::UIApplication&, const Value&, std::function<void(int64_t)> done) override {
        ++calls["remote"];
        done(1);
    }
    void applicationHandleActionWithIdentifierForRemoteNotification(platform::UIApplication&,
                                                                    const std::string&, const Value&,
                                                                    std::function<void()> done) override {
        ++calls["remoteAction"];
        done();
    }
    void applicationDidReceiveLocalNotification(platform::UIApplication&, const Value&) override {
        ++calls["local"];
    }
    void applicationHandleActionWithIdentifierForLocalNotification(platform::UIApplication&,
                                                                   const std::string&, const Value&,
                                                                   std::function<void()> done) override {
        ++calls["localAction"];
        done();
    }
    void applicationPerformFetchWithCompletionHandler(platform::UIApplication&,
                                                      std::function<void(int64_t)> done) override {
        ++calls["fetch"];
        done(0);
    }
    bool applicationOpenURLSourceApplicationAnnotation(platform::UIApplication&, const std::string&,
                                                       const std::string&, const Value&) override {
        return ++calls["openURLFrom"], false;
    }
    bool applicationHandleOpenURL(platform::UIApplication&, const std::string&) override {
        return ++calls["handleOpenURL"], true;
    }
    std::map<std::string, int> calls;

private:
    bool implementsAll_;
};

// The push companion, as the platform's push extension would be: it completes what the host left
// to it ("needComplete" 1).
class PushCompanion {
public:
    PushCompanion()
        : posts_({"KJ_PushBridge_ReceiveRemoteNotification", "KJ_PushBridge_HandleRemoteActionButton",
                  "KJ_PushBridge_HandleLocalActionButton", "KJ_PushBridge_ReceiveLocalNotification",
                  "KJ_PushBridge_ReceiveToken_Notification", "KJ_PushBridge_DidRegisterUserNotification"}) {
        auto& center = platform::NotificationCenter::defaultCenter();
        observers_.push_back(center.addObserver(
            "KJ_PushBridge_ReceiveRemoteNotification", nullptr, nullptr, [](const platform::Notification& n) {
                if (n.userInfo()["needComplete"] == Value(1))
                    (*n.object<std::function<void(int64_t)>>("fetchCompletionHandler"))(1);
            }));
        for (const char* name :
             {"KJ_PushBridge_HandleRemoteActionButton", "KJ_PushBridge_HandleLocalActionButton"})
            observers_.push_back(
                center.addObserver(name, nullptr, nullptr, [](const platform::Notification& n) {
                    if (n.userInfo()["needComplete"] == Value(1))
                        (*n.object<std::function<void()>>("completionHandler"))();
                }));
    }
    ~PushCompanion() {
        for (const auto& o : observers_) platform::NotificationCenter::defaultCenter().removeObserver(o);
    }
    const Posts& posts() const { return posts_; }

private:
    Posts posts_;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;
};

TEST_F(FacadeTest, ForwardedDelegateMethodsReachTheHostOnceAndEveryCompletionRunsOnce) {
    auto application = platform::UIApplication::sharedApplication();
    auto previous = application->delegate();
    for (bool implementsAll : {true, false}) {
        SCOPED_TRACE(implementsAll ? "a host that implements them" : "a host that implements none");
        auto host = platform::make<ForwardedHost>(implementsAll);
        application->setDelegate(host);
        app.launch();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(app.pumpUntil(
            [&] { return std::dynamic_pointer_cast<KJInterceptor>(application->delegate()) != nullptr; }));
        auto delegate = application->delegate();
        PushCompanion companion;
        const int expected = implementsAll ? 1 : 0;

        // Launching goes through the interceptor to the host alone (the facade answers neither).
        host->calls.clear();
        application->finishLaunching(Value::dictionary({}));
        EXPECT_EQ(host->calls["willFinishLaunching"], 1);
        EXPECT_EQ(host->calls["didFinishLaunching"], 1);

        int remoteDone = 0, remoteActionDone = 0, localActionDone = 0, fetchDone = 0;
        delegate->applicationDidRegisterUserNotificationSettings(*application,
                                                                 Value::dictionary({{"types", 7}}));
        delegate->applicationDidRegisterForRemoteNotificationsWithDeviceToken(*application, {1, 2});
        delegate->applicationDidFailToRegisterForRemoteNotificationsWithError(*application,
                                                                              platform::Error("Push", 3));
        delegate->applicationDidReceiveRemoteNotificationFetchCompletionHandler(
            *application, Value::dictionary({{"aps", "x"}}), [&](int64_t) { ++remoteDone; });
        delegate->applicationHandleActionWithIdentifierForRemoteNotification(
            *application, "reply", Value::dictionary({{"aps", "y"}}), [&] { ++remoteActionDone; });
        delegate->applicationDidReceiveLocalNotification(*application, Value::dictionary({{"id", "l1"}}));
        delegate->applicationHandleActionWithIdentifierForLocalNotification(
            *application, "snooze", Value::dictionary({{"id", "l2"}}), [&] { ++localActionDone; });
        delegate->applicationPerformFetchWithCompletionHandler(*application, [&](int64_t) { ++fetchDone; });
        EXPECT_EQ(delegate->applicationOpenURLSourceApplicationAnnotation(
                      *application, "host://shop?BLQ_Guide=g-1", "mail", Value()),
                  implementsAll)
            << "the host's older handler answers when its newer one does not";
        app.settle();

        for (const char* call : {"settings", "token", "tokenFailed", "remoteOlder", "remote", "remoteAction",
                                 "local", "localAction", "fetch", "openURLFrom", "handleOpenURL"})
            EXPECT_EQ(host->calls[call], expected) << call;
        EXPECT_EQ(remoteDone, 1);
        EXPECT_EQ(remoteActionDone, 1);
        EXPECT_EQ(localActionDone, 1);
        EXPECT_EQ(fetchDone, 1);
        EXPECT_EQ(app.facade->onDemandCampaignID(), "g-1") << "the facade opens the link as well";

        // The companion hears of each once, with the completion left to it only when the host has none.
        const Value needComplete(implementsAll ? 0 : 1);
        const auto& posts = companion.posts();
        ASSERT_EQ(posts.count("KJ_PushBridge_ReceiveRemoteNotification"), 1u);
        auto remote = posts.of("KJ_PushBridge_ReceiveRemoteNotification")[0].userInfo();
        EXPECT_EQ(remote, Value::dictionary({{"payload", Value::dictionary({{"aps", "x"}})},
                                             {"fgbg", 0},
                                             {"needComplete", needComplete}}));
        ASSERT_EQ(posts.count("KJ_PushBridge_HandleRemoteActionButton"), 1u);
        auto remoteAction = posts.of("KJ_PushBridge_HandleRemoteActionButton")[0].userInfo();
        EXPECT_EQ(remoteAction["actionid"], Value("reply"));
        EXPECT_EQ(remoteAction["needComplete"], needComplete);
        ASSERT_EQ(posts.count("KJ_PushBridge_HandleLocalActionButton"), 1u);
        auto localAction = posts.of("KJ_PushBridge_HandleLocalActionButton")[0].userInfo();
        EXPECT_EQ(localAction["notification"], Value::dictionary({{"id", "l2"}}));
        EXPECT_EQ(localAction["needComplete"], needComplete);
        ASSERT_EQ(posts.count("KJ_PushBridge_ReceiveLocalNotification"), 1u);
        EXPECT_EQ(posts.of("KJ_PushBridge_ReceiveLocalNotification")[0].userInfo()["needComplete"],
                  Value(true));
        ASSERT_EQ(posts.count("KJ_PushBridge_ReceiveToken_Notification"), 1u);
        EXPECT_EQ(posts.of("KJ_PushBridge_ReceiveToken_Notification")[0].userInfo()["token"],
                  Value(platform::Data{1, 2}));
        ASSERT_EQ(posts.count("KJ_PushBridge_DidRegisterUserNotification"), 1u);
        EXPECT_EQ(posts.of("KJ_PushBridge_DidRegisterUserNotification")[0].userInfo()["notificationSettings"],
                  Value::dictionary({{"types", 7}}));

        application->setDelegate(delegate);
        app.relaunch();
    }
    application->setDelegate(previous);
}

// A campaign the server hands over with the install answer.
Value installFeed() {
    return *Value::fromJSON(R"({"id": "f-install", "app_key": "app-key-1", "campaignid": "c-install",
        "type": "CAMPAIGN", "priority": 1,
        "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
        "modified": "2025-06-01T00:00:00.000Z",
        "content": {"setup": {"tool": "modal", "view": "HomeVC", "display": ["dom"],
                              "launcher": {"type": "page-open"}},
                    "payload": [{"meta": {"id": "s0", "tool": "modal", "view": "HomeVC"}}]}})");
}

TEST_F(FacadeTest, AnInstallAnswerCarryingOneFeedIsTakenInFromTheAnswer) {
    auto installs =
        route("POST", "/v3/installs", 201,
              *Value::dictionary({{"app_id", 4711}, {"feeds", Value::array({installFeed()})}}).toJSON());
    installs.echoFields = {"id", "operating_system", "blq_version", "qx_version"};
    app.server.addRoute(installs);
    // The feed itself is not to be had: what is stored came with the install answer.
    app.server.addRoute(route("GET", "/v3/feeds", 500, "{}"));
    app.launch();
    auto logs = testsupport::RecordingLoggerManager::install();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return !KJDao::findSeriesByFeedId("f-install").isNil(); }));
    EXPECT_EQ(logs->count("Install: Register install includes feeds: "), 1u);
    EXPECT_EQ(logs->count("Install: Register install v3/installs does not include any feeds"), 0u);
}

TEST_F(FacadeTest, GoingToTheBackgroundClosesTheSessionAndTheForegroundOpensTheNext) {
    app.launch();
    ASSERT_TRUE(app.start());
    auto sessions = app.facade->sessionManager();
    ASSERT_TRUE(app.pumpUntil([&] { return sessions->isSessionStarted(); }));
    const int64_t first = sessions->getCurrentSession()->id;
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    application->enterBackground();
    ASSERT_TRUE(app.pumpUntil([&] { return !sessions->isSessionStarted(); }));
    EXPECT_EQ(app.facade->applicationLifeCycleState(), 2);
    application->enterForeground();
    ASSERT_TRUE(app.pumpUntil([&] { return sessions->isSessionStarted(); }));
    EXPECT_EQ(sessions->getCurrentSession()->id, first + 1);
    EXPECT_EQ(app.facade->applicationLifeCycleState(), 0);
}

TEST_F(FacadeTest, AForegroundWithoutARegisteredInstallRegistersAgainInsteadOfOpeningASession) {
    app.server.clearRoutes();
    app.server.addRoute(route("POST", "/v3/installs", 500, "{}"));
    app.launch();
    std::atomic<int> started = 0;
    app.facade->registerInstallForApp(testsupport::HostApp::kAppKey, false, [&] { ++started; });
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("POST", "/v3/installs") == 3; }));
    app.settle();
    EXPECT_FALSE(app.facade->sessionManager()->isSessionStarted());

    // The server is back; the next foreground registers the install, which opens the session, but
    // the host's start is not run again.
    app.answerAsTheServer();
    auto application = platform::UIApplication::sharedApplication();
    application->enterBackground();
    application->enterForeground();
    ASSERT_TRUE(app.pumpUntil([&] { return app.facade->hasValidInstall(); }));
    EXPECT_EQ(app.requests("POST", "/v3/installs"), 4u);
    ASSERT_TRUE(app.pumpUntil([&] { return app.facade->sessionManager()->isSessionStarted(); }));
    app.settle();
    EXPECT_EQ(started, 0);
    EXPECT_TRUE(app.storedEvents(8102).empty());
}

TEST_F(FacadeTest, ASecondStartIsIgnoredAndAHostChangeRunsTheKeptCompletionAgainAtTheNewHost) {
    app.launch();
    std::atomic<int> first = 0, second = 0;
    app.facade->registerInstallForApp(testsupport::HostApp::kAppKey, false, [&] { ++first; });
    ASSERT_TRUE(app.pumpUntil([&] { return first == 1; }));

    app.facade->registerInstallForApp("another-key", true, [&] { ++second; });
    app.settle();
    EXPECT_EQ(app.facade->configManager()->getAppKey(), testsupport::HostApp::kAppKey);
    EXPECT_FALSE(app.facade->isDebugMode());
    EXPECT_EQ(app.requests("POST", "/v3/installs") + app.requests("PATCH", "/v3/installs/"), 1u);

    // Another host takes over: the install is updated there and the first completion runs again.
    sampleserver::SampleServer moved;
    moved.start();
    moved.addRoute(route("*", "/v3/.*", 200, "{}"));
    auto updates = route("PATCH", "/v3/installs/.*", 200, R"({"app_id": 4711})");
    updates.echoFields = {"id", "operating_system", "blq_version", "qx_version"};
    moved.addRoute(updates);
    const std::string installId = *app.facade->currentInstall()->installId;
    app.facade->configManager()->setHost(moved.baseURL());
    ASSERT_TRUE(app.pumpUntil([&] { return first == 2; }));
    EXPECT_EQ(second, 0);
    bool patched = false;
    for (const auto& entry : moved.journal())
        patched = patched || (entry.method == "PATCH" && entry.path == "/v3/installs/" + installId);
    EXPECT_TRUE(patched);
    app.settle();
}

TEST_F(FacadeTest, AServerDirectedHostChangeRegistersTheInstallAtTheNewHost) {
    sampleserver::SampleServer moved;
    moved.start();
    moved.addRoute(route("*", "/v3/.*", 200, "{}"));
    auto installs = route("POST", "/v3/installs", 201, R"({"app_id": 4711})");
    installs.echoFields = {"id", "operating_system", "blq_version", "qx_version"};
    moved.addRoute(installs);
    auto updates = route("PATCH", "/v3/installs/.*", 200, R"({"app_id": 4711})");
    updates.echoFields = installs.echoFields;
    moved.addRoute(updates);
    auto directed =
        route("POST", "/v3/installs", 201,
              *Value::dictionary({{"app_status", Value::dictionary({{"host", moved.baseURL()}})}}).toJSON());
    directed.echoFields = installs.echoFields;
    app.server.addRoute(directed);

    app.launch();
    ASSERT_TRUE(app.start());
    EXPECT_EQ(app.facade->configManager()->getHost(), moved.baseURL());
    EXPECT_EQ(app.requests("POST", "/v3/installs"), 1u) << "the old host is asked once";
    ASSERT_TRUE(app.facade->hasValidInstall());
    const std::string installId = *app.facade->currentInstall()->installId;
    auto sent = Value::fromJSON(app.server.journal()[0].body);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)["id"], Value(installId)) << "the same install is registered at the new host";
    bool registered = false;
    for (const auto& entry : moved.journal())
        registered = registered || (entry.method == "POST" && entry.path == "/v3/installs" &&
                                    (*Value::fromJSON(entry.body))["id"] == Value(installId));
    EXPECT_TRUE(registered);
    app.settle();
}

TEST_F(FacadeTest, AChangedClientVersionRegistersAgainOnActivationInsteadOfShowingTips) {
    app.launch();
    ASSERT_TRUE(app.start());
    Posts posts({"BLQ_BrindlecueBridge_ShowTip_Notification"});
    auto application = platform::UIApplication::sharedApplication();
    application->becomeActive();
    app.settle();
    EXPECT_EQ(posts.count("BLQ_BrindlecueBridge_ShowTip_Notification"), 1u);
    EXPECT_EQ(app.requests("PATCH", "/v3/installs/"), 0u);

    app.setVersion("2.5.0", "80");
    application->resignActive();
    application->becomeActive();
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("PATCH", "/v3/installs/") == 1; }));
    EXPECT_EQ(posts.count("BLQ_BrindlecueBridge_ShowTip_Notification"), 1u);
    ASSERT_TRUE(app.pumpUntil([&] {
        return platform::UserDefaults::standard().string("SentInstall_ClientVersion") == "2.5.0+80";
    }));
    app.settle();
}

TEST_F(FacadeTest, AFailedUpdateIsReportedAndTheNextAttemptIsFreeToRun) {
    app.launch();
    ASSERT_TRUE(app.start());
    app.relaunch();
    app.server.addRoute(route("PATCH", "/v3/installs/.*", 500, "{}"));
    Posts posts({BLQInstallNotificationKeys::updateFailureNotification});
    app.launch();
    std::atomic<int> started = 0;
    app.facade->registerInstallForApp(testsupport::HostApp::kAppKey, false, [&] { ++started; });
    ASSERT_TRUE(app.pumpUntil(
        [&] { return posts.count(BLQInstallNotificationKeys::updateFailureNotification) == 1; }));
    app.settle();
    EXPECT_EQ(app.requests("PATCH", "/v3/installs/"), 1u) << "a registered install is not retried";
    EXPECT_EQ(started, 0);
    auto failure = posts.of(BLQInstallNotificationKeys::updateFailureNotification)[0];
    EXPECT_EQ(failure.object(), app.facade);
    EXPECT_TRUE(failure.object<platform::Error>(BLQInstallNotificationKeys::error));
    EXPECT_EQ(failure.object<BLQInstallDTO>(BLQInstallNotificationKeys::install),
              app.facade->currentInstall());

    app.answerAsTheServer();
    std::atomic<bool> done = false;
    std::shared_ptr<BLQInstallDTO> updated;
    std::optional<platform::Error> error;
    app.facade->registerOrUpdateInstallWithHandler([&](auto install, auto e) {
        updated = install, error = e;
        done = true;
    });
    ASSERT_TRUE(app.pumpUntil([&] { return done.load(); }));
    EXPECT_FALSE(error);
    ASSERT_TRUE(updated);
    EXPECT_EQ(app.requests("PATCH", "/v3/installs/"), 2u);
}

TEST_F(FacadeTest, ASessionThatCannotBeOpenedReachesTheHandlerAsAnError) {
    app.launch();
    ASSERT_TRUE(app.start());
    auto install = app.facade->currentInstall();
    ASSERT_TRUE(install);
    // The install's record is gone from the store: no session can be tied to it.
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    std::make_shared<BLQCoreDataInstallDataStore>(context)->deleteInstall(install);
    context->performAndWait([] {});
    auto logs = testsupport::RecordingLoggerManager::install();

    std::atomic<bool> done = false;
    std::shared_ptr<BLQInstallDTO> reported;
    std::optional<platform::Error> error;
    app.facade->onInstallRegistrationSuccess(
        Value::dictionary({}), *platform::URL::fromString(app.server.baseURL()), [&](auto i, auto e) {
            reported = i, error = e;
            done = true;
        });
    ASSERT_TRUE(app.pumpUntil([&] { return done.load(); }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SessionError::kDomain);
    EXPECT_EQ(reported, install);
    EXPECT_EQ(logs->count("Install: Failed to create new session, error: "), 1u);

    // The foreground's session fails the same way, and is only logged.
    auto application = platform::UIApplication::sharedApplication();
    application->enterBackground();
    application->enterForeground();
    EXPECT_TRUE(
        app.pumpUntil([&] { return logs->count("Session: Failed to create new session, error: ") == 1; }));
}

}  // namespace
}  // namespace brindlecue

namespace brindlecue {
namespace {

// One version check of a freshly launched library whose server answers as given: the message it
// kept (none when it kept none) and whether it told it.
struct VersionCheck {
    std::optional<std::string> message;
    bool told = false;
};

VersionCheck versionCheckWith(testsupport::HostApp& app, const std::string& answer) {
    app.relaunch();
    app.server.addRoute(route("GET", "/v3/versions/?", 200, answer));
    app.launch();
    auto logs = testsupport::RecordingLoggerManager::install();
    app.facade->verifySDKVersion();
    app.pumpUntil([&] { return app.facade->sdkVerificationMessage().has_value(); }, 5);
    VersionCheck check{app.facade->sdkVerificationMessage()};
    check.told = check.message && logs->contains(*check.message, 1);
    return check;
}

TEST_F(FacadeTest, TheVersionCheckComparesTheNumbersOfEachPartOfTheVersions) {
    const std::string older =
        "You are currently on an older version =  (3.0.3) of Brindlecue SDK, Kindly update it to the latest "
        "version (%) by doing pod update";
    const std::string latest =
        "You are currently on version =  (3.0.3) of Brindlecue SDK, which is the latest version";
    auto olderThan = [&](const std::string& version) {
        std::string text = older;
        return text.replace(text.find('%'), 1, version);
    };
    auto message = [&](const std::string& answer) { return versionCheckWith(app, answer).message; };
    auto newer = versionCheckWith(app, R"({"results": [{"qx_version": "3.0.10"}]})");
    EXPECT_EQ(newer.message, olderThan("3.0.10"));
    EXPECT_TRUE(newer.told) << "an older version is told";
    EXPECT_EQ(message(R"({"results": [{"qx_version": "4"}, {"qx_version": "5"}]})"), olderThan("4"));
    EXPECT_EQ(message(R"({"results": [{"qx_version": 4}]})"), olderThan("4"));
    EXPECT_EQ(message(R"({"results": [{"qx_version": "3.0.3-beta"}]})"), olderThan("3.0.3-beta"));
    auto same = versionCheckWith(app, R"({"results": [{"qx_version": "3.0.03"}]})");
    EXPECT_EQ(same.message, latest);
    EXPECT_FALSE(same.told) << "the latest version is kept, not told";
    EXPECT_EQ(message(R"({"results": [{"qx_version": "3.0"}]})"), latest);
    EXPECT_EQ(message(R"({"results": [{"qx_version": "2.10.0"}]})"), latest);
    EXPECT_EQ(message(R"({"results": [{"qx_version": "3.0.2-beta"}]})"), latest);
    EXPECT_EQ(message(R"({"results": [{"qx_version": null}]})"), latest);

    // The request names the app, the system and the order of the versions.
    auto asked = app.server.journal();
    ASSERT_FALSE(asked.empty());
    const std::string query = asked.back().query;
    EXPECT_NE(query.find("operating_system=ios"), std::string::npos) << query;
    EXPECT_NE(query.find("ordering=-qx_version"), std::string::npos) << query;
    EXPECT_NE(query.find("app_key="), std::string::npos) << query;
}

TEST_F(FacadeTest, AVersionCheckWithoutAVersionInItsAnswerIsAskedAgain) {
    // Answered in turn: a failure, a first result that is not a record, a record without a version,
    // and then a version (the route added last answers first).
    app.server.addRoute(route("GET", "/v3/versions/?", 200, R"({"results": [{"qx_version": "3.0.3"}]})"));
    auto once = [](sampleserver::Route r) {
        r.times = 1;
        return r;
    };
    app.server.addRoute(once(route("GET", "/v3/versions/?", 200, R"({"results": [{"name": "x"}]})")));
    app.server.addRoute(once(route("GET", "/v3/versions/?", 200, R"({"results": ["3.1.0"]})")));
    app.server.addRoute(once(route("GET", "/v3/versions/?", 500, "{}")));
    app.launch();
    auto logs = testsupport::RecordingLoggerManager::install();
    auto checked = [&](size_t requests) {
        app.facade->verifySDKVersion();
        return app.pumpUntil([&] { return app.requests("GET", "/v3/versions") == requests; }, 5) &&
               (app.settle(), true);
    };
    ASSERT_TRUE(checked(1));
    EXPECT_EQ(app.facade->sdkVerificationMessage(), "");
    EXPECT_EQ(logs->count("Error in Getting SDK version "), 1u);
    ASSERT_TRUE(checked(2));
    EXPECT_TRUE(logs->contains("Version item should be dictionary, but got 3.1.0.", 1));
    EXPECT_EQ(app.facade->sdkVerificationMessage(), "");
    ASSERT_TRUE(checked(3));
    EXPECT_EQ(app.facade->sdkVerificationMessage(), "");
    ASSERT_TRUE(checked(4));
    EXPECT_EQ(app.facade->sdkVerificationMessage(),
              "You are currently on version =  (3.0.3) of Brindlecue SDK, which is the latest version");

    // From then on the kept message is only logged.
    logs->clear();
    app.facade->verifySDKVersion();
    app.settle();
    EXPECT_EQ(app.requests("GET", "/v3/versions"), 4u);
    EXPECT_TRUE(logs->contains(
        "You are currently on version =  (3.0.3) of Brindlecue SDK, which is the latest version", 1));
}

TEST_F(FacadeTest, ATooManyRequestsAnswerToTheOlderClientPausesTheLibraryForTheTimeItNames) {
    app.server.addRoute(route("GET", "/v3/versions/?", 429, "{}", {{"Retry-After", "600"}}));
    app.launch();
    auto config = app.facade->configManager();
    ASSERT_TRUE(config->isBrindlecueEnabled());
    app.facade->verifySDKVersion();
    ASSERT_TRUE(app.pumpUntil([&] { return !config->isBrindlecueEnabled(); }, 5));
    // The pause holds the start back, and ends after the time the server named.
    std::atomic<bool> done = false;
    std::shared_ptr<BLQInstallDTO> install;
    app.facade->registerOrUpdateInstallWithHandler([&](auto i, auto) {
        install = i;
        done = true;
    });
    ASSERT_TRUE(done);
    EXPECT_FALSE(install);
    platform::Clock::advance(601);
    EXPECT_TRUE(config->isBrindlecueEnabled());
}

// A development build's provisioning profile in the host's bundle, which makes the app one under
// development (the mode in which friendly names go to the server).
void installDevelopmentProfile() {
    auto profile = Value::dictionary({{"Name", "Team Profile"},
                                      {"ProvisionedDevices", Value::array({"00008030-001A"})},
                                      {"Entitlements", Value::dictionary({{"get-task-allow", true}})}});
    auto xml = profile.toPropertyList(platform::PropertyListFormat::XML);
    ASSERT_TRUE(xml);
    std::ofstream(platform::Bundle::main()->path() / "embedded.mobileprovision", std::ios::binary)
        << std::string(xml->begin(), xml->end());
    blqResetAppModeForTesting();
}

std::shared_ptr<KJFriendlyNameObject> friendly(std::string name, std::string vc) {
    auto object = std::make_shared<KJFriendlyNameObject>();
    object->friendlyName = std::move(name);
    object->vc = std::move(vc);
    return object;
}

TEST_F(FacadeTest, FriendlyNamesGoToTheServerOnceEachFromADebugStartOfADevelopmentBuild) {
    app.server.addRoute(route("POST", "/v3/apps/submit_views/?", 200, R"({"code": 0, "value": {}})"));
    auto submitted = [&] { return app.requests("POST", "/v3/apps/submit_views"); };
    const std::vector<std::shared_ptr<KJFriendlyNameObject>> names{
        friendly("Home", "HomeVC"), friendly("Cart", "CartVC"), friendly("Home", "StartVC")};

    // An App Store build never submits them, nor does a start without debug mode.
    app.launch();
    ASSERT_TRUE(app.start());
    EXPECT_TRUE(app.facade->kjCustomActivityList(names));
    app.relaunch();
    installDevelopmentProfile();
    ASSERT_EQ(blqAppMode(), BLQAppModeInternalDevelopment);
    app.launch();
    ASSERT_TRUE(app.start());
    EXPECT_TRUE(app.facade->kjCustomActivityList(names));
    app.settle();
    EXPECT_EQ(submitted(), 0u);

    // A debug start of a development build submits the names, each once, with the install.
    app.relaunch();
    installDevelopmentProfile();
    app.launch();
    std::atomic<bool> started = false;
    app.facade->registerInstallForApp(testsupport::HostApp::kAppKey, true, [&] { started = true; });
    ASSERT_TRUE(app.pumpUntil([&] { return started.load(); }));
    platform::CaptureLogSink system;
    EXPECT_TRUE(app.facade->kjCustomActivityList(names));
    ASSERT_TRUE(app.pumpUntil([&] { return submitted() == 1; }));
    const auto lines = system.messages();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "WARNING: friendly name \"Home\" redefined. Please choose different names."),
              lines.end());
    sampleserver::JournalEntry sent;
    for (const auto& entry : app.server.journal())
        if (entry.method == "POST" && entry.path.rfind("/v3/apps/submit_views", 0) == 0) sent = entry;
    EXPECT_NE(sent.query.find("installid=" + *app.facade->currentInstall()->installId), std::string::npos);
    // The older client sends the form's one body field as the body itself.
    auto body = platform::URL::removingPercentEncoding(sent.body);
    ASSERT_TRUE(body);
    EXPECT_EQ(Value::fromJSON(*body), Value::array({"Home", "Cart"})) << *body;

    // Not from the background; a failure is only logged.
    auto application = platform::UIApplication::sharedApplication();
    application->enterBackground();
    EXPECT_TRUE(app.facade->kjCustomActivityList(names));
    app.settle();
    EXPECT_EQ(submitted(), 1u);
    application->enterForeground();
    app.server.addRoute(route("POST", "/v3/apps/submit_views/?", 500, R"({"detail": "busy"})"));
    auto logs = testsupport::RecordingLoggerManager::install();
    std::mutex mutex;
    std::vector<std::string> breakpoints;
    KJLogSetObserver([&](int level, const std::string& line) {
        std::lock_guard lock(mutex);
        if (level == 1 && line.rfind("Add breakpoint here", 0) == 0) breakpoints.push_back(line);
    });
    EXPECT_TRUE(app.facade->kjCustomActivityList(names));
    ASSERT_TRUE(app.pumpUntil([&] { return logs->count("Fail to submit friendly name: ") == 1; }));
    EXPECT_EQ(submitted(), 2u);
    // A debug start of a development build also gets the failed request described, with what was
    // sent and what came back (after the caller has heard of the failure).
    ASSERT_TRUE(app.pumpUntil([&] {
        std::lock_guard lock(mutex);
        return !breakpoints.empty();
    }));
    KJLogSetObserver({});
    std::lock_guard lock(mutex);
    ASSERT_EQ(breakpoints.size(), 1u);
    const std::string line = breakpoints[0];
    EXPECT_EQ(line.rfind("Add breakpoint here to know error request happen for Status(500) POST - " +
                             app.server.baseURL() + "/v3/apps/submit_views?installid=",
                         0),
              0u)
        << line;
    EXPECT_NE(line.find("\nPost body: [\"Home\",\"Cart\"]."), std::string::npos) << line;
    EXPECT_NE(line.find("\nError data: {\"detail\": \"busy\"}"), std::string::npos) << line;
}

TEST_F(FacadeTest, FriendlyNamesAreNotSubmittedBeforeTheInstallIsKnownOrWhenThereAreNone) {
    app.server.addRoute(route("POST", "/v3/apps/submit_views/?", 200, R"({"code": 0, "value": {}})"));
    app.launch();
    EXPECT_TRUE(app.facade->kjCustomActivityList({friendly("Home", "HomeVC")}));
    app.facade->submitFriendlyNames();
    ASSERT_TRUE(app.start());
    platform::UserDefaults::standard().set("FRIENDLYNAME_KEY", Value::array({Value::dictionary({{"x", 1}})}));
    app.facade->submitFriendlyNames();
    platform::UserDefaults::standard().remove("FRIENDLYNAME_KEY");
    app.facade->submitFriendlyNames();
    app.settle();
    EXPECT_EQ(app.requests("POST", "/v3/apps/submit_views"), 0u);
}

// A host delegate that opens links and continues activities itself, answering as told.
class LinkHost final : public platform::UIApplicationDelegate {
public:
    std::string className() const override { return "LinkHost"; }
    void didConstruct() override {
        UIApplicationDelegate::didConstruct();
        platform::ClassRegistry::registerClass(className(), "NSObject");
        platform::ClassRegistry::addMethods(
            className(), {"application:openURL:options:", "application:openURL:sourceApplication:annotation:",
                          "application:handleOpenURL:", "application:continueUserActivity:restorationHandler:"});
    }
    bool applicationOpenURLOptions(platform::UIApplication&, const std::string&, const Value&) override {
        return ++calls["openURL"], answer;
    }
    bool applicationOpenURLSourceApplicationAnnotation(platform::UIApplication&, const std::string&,
                                                       const std::string&, const Value&) override {
        return ++calls["openURLFrom"], answer;
    }
    bool applicationHandleOpenURL(platform::UIApplication&, const std::string&) override {
        return ++calls["handleOpenURL"], answer;
    }
    bool applicationContinueUserActivityRestorationHandler(
        platform::UIApplication&, const std::shared_ptr<platform::NSUserActivity>&,
        std::function<void(const platform::Array&)>) override {
        return ++calls["continue"], answer;
    }
    bool answer = false;
    std::map<std::string, int> calls;
};

TEST_F(FacadeTest, LinksAndActivitiesAreTheHostsWhenItTakesThemAndTheLibraryStillReadsThem) {
    auto application = platform::UIApplication::sharedApplication();
    auto previous = application->delegate();
    auto host = platform::make<LinkHost>();
    application->setDelegate(host);
    app.launch();
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil(
        [&] { return std::dynamic_pointer_cast<KJInterceptor>(application->delegate()) != nullptr; }));
    auto delegate = application->delegate();
    auto activity = std::make_shared<platform::NSUserActivity>(platform::NSUserActivity::CSSearchableItemActionType);
    activity->setUserInfo(
        Value::dictionary({{platform::NSUserActivity::CSSearchableItemActivityIdentifier, "app://orders/3"}}));

    // The host declines: the answer is the library's, which claims nothing without a handler.
    EXPECT_FALSE(delegate->applicationOpenURLOptions(*application, "host://shop?blq_guide=g-1", Value()));
    EXPECT_EQ(app.facade->onDemandCampaignID(), "g-1");
    EXPECT_FALSE(delegate->applicationContinueUserActivityRestorationHandler(*application, activity, nullptr));
    std::vector<std::string> opened;
    app.facade->setOpenUrlHandler([&](const std::string& url) { opened.push_back(url); });
    EXPECT_TRUE(delegate->applicationContinueUserActivityRestorationHandler(*application, activity, nullptr));
    EXPECT_EQ(opened, std::vector<std::string>{"app://orders/3"});

    // The host takes them: its answer stands, its older handler is not asked, the library reads the
    // link all the same.
    host->answer = true;
    host->calls.clear();
    app.facade->setOpenUrlHandler(nullptr);
    EXPECT_TRUE(delegate->applicationOpenURLSourceApplicationAnnotation(*application, "host://shop?blq_guide=g-2",
                                                                        "mail", Value()));
    EXPECT_EQ(app.facade->onDemandCampaignID(), "g-2");
    EXPECT_TRUE(delegate->applicationContinueUserActivityRestorationHandler(*application, activity, nullptr));
    EXPECT_EQ(host->calls, (std::map<std::string, int>{{"continue", 1}, {"openURLFrom", 1}}));

    application->setDelegate(delegate);
    app.relaunch();
    application->setDelegate(previous);
}

TEST_F(FacadeTest, TheRecordedInstallNamesTheStoredAppIdAndAHostMayKeepItsDelegateToItself) {
    platform::UserDefaults::standard().setInteger("APPID_KEY", 4711);
    auto application = platform::UIApplication::sharedApplication();
    auto previous = application->delegate();
    auto host = platform::make<LinkHost>();
    application->setDelegate(host);
    app.launch();
    app.facade->setAutoIntegrateAppDelegate(false);
    ASSERT_TRUE(app.start());
    app.settle();
    EXPECT_EQ(application->delegate(), host) << "not interposed";
    EXPECT_EQ(app.facade->appDelegateInterceptor(), nullptr);
    EXPECT_EQ(platform::UserDefaults::standard().object("SentInstall_AppId"), Value(4711));
    EXPECT_EQ(platform::UserDefaults::standard().string("SentInstall_AppKey"), testsupport::HostApp::kAppKey);
    application->setDelegate(previous);
}

}  // namespace
}  // namespace brindlecue
