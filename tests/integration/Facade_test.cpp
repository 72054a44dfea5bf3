// The facade as a host starts it: registration, sessions, the feed, the application's life cycle,
// page visits, the interposed application delegate and feed reports, against the sample server.

#include <gtest/gtest.h>

#include <unicode/timezone.h>

#include <atomic>

#include "facade/BLQInstallNotificationKeys.h"
#include "facade/KJInterceptor.h"
#include "foundation/NSStringKJExt.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/uikit/ClassRegistry.h"
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
