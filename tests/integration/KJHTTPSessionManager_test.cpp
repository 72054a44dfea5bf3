#include "network/KJHTTPSessionManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>

#include "foundation/BLQDeviceUtils.h"
#include "foundation/KJLog.h"
#include "network/KJHTTPFacade.h"
#include "network/KJJSONSessionManager.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"

namespace brindlecue {
namespace {

using platform::Error;
using platform::RunLoop;
using platform::Value;
using testsupport::route;

class FakeFacade final : public KJHTTPFacade {
public:
    std::optional<int64_t> appId() const override { return 42; }
    std::string appKey() const override { return "key-1"; }
    std::string sdkVersion() const override { return "3.0.3"; }
    std::string installId() const override { return install; }
    bool isDebugMode() const override { return debug; }
    std::string host() const override { return hostText; }
    void setSDKDisabledTime(double time) override { disabledTime = time; }

    std::string install = "I";
    std::string hostText = "https://h.example";
    bool debug = false;
    std::atomic<double> disabledTime{0};
};

struct Outcome {
    std::atomic<bool> done{false};
    Value object;
    std::optional<Error> error;
    std::string queueLabel;
    bool succeeded = false;

    KJHTTPSessionManager::Success success() {
        return [this](const auto&, const Value& o) {
            object = o;
            succeeded = true;
            finish();
        };
    }
    KJHTTPSessionManager::Failure failure() {
        return [this](const auto&, const Error& e) {
            error = e;
            finish();
        };
    }
    void finish() {
        queueLabel = platform::DispatchQueue::currentLabel();
        done = true;
    }
    bool wait() { return RunLoop::main().runUntil([this] { return done.load(); }, 20); }
};

class KJHTTPSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        KJHTTPFacade::set(facade);
        server.start();
        facade->hostText = server.baseURL();
        manager = KJHTTPSessionManager::sharedInstance();
    }
    Outcome& get(const std::string& path) {
        outcomes.emplace_back(std::make_unique<Outcome>());
        Outcome& o = *outcomes.back();
        manager->GET(path, 3, Value(), o.success(), o.failure());
        EXPECT_TRUE(o.wait());
        return o;
    }
    std::shared_ptr<FakeFacade> facade = std::make_shared<FakeFacade>();
    sampleserver::SampleServer server;
    std::shared_ptr<KJHTTPSessionManager> manager;
    std::vector<std::unique_ptr<Outcome>> outcomes;
};

TEST_F(KJHTTPSessionManagerTest, CompletesRelativePathsOnTheConfiguredHost) {
    facade->hostText = "https://h.example";
    auto complete = [&](const std::string& path, const std::string& method = "GET") {
        return manager->completeBrindlecueSpecialUrl(path, 3, method);
    };
    EXPECT_EQ(complete("/versions/"), "https://h.example/v3/versions?installid=I");
    EXPECT_EQ(complete("feedbacks", "POST"), "https://h.example/v3/feedbacks?installid=I");
    EXPECT_EQ(complete("installs", "PATCH"), "https://h.example/v3/installs/I");
    EXPECT_EQ(complete("x", "DELETE"), "https://h.example/v3/x?installid=I");
    EXPECT_EQ(complete(""), "https://h.example/v3?installid=I");
    EXPECT_EQ(complete("//a//"), "https://h.example/v3//a/?installid=I");
    EXPECT_EQ(complete("HTTPS://other/x?y=1"), "HTTPS://other/x?y=1");
    // A path with its own query gets the install id as one more parameter.
    EXPECT_EQ(complete("items?page=2"), "https://h.example/v3/items?page=2&installid=I");
    facade->install = "";
    EXPECT_EQ(complete("/versions/"), "https://h.example/v3/versions");
    EXPECT_EQ(manager->requestSerializer()->timeoutInterval(), 60.0);
}

TEST_F(KJHTTPSessionManagerTest, SendsTheIdentificationHeadersAndCompletesOnItsQueue) {
    server.addRoute(route("GET", "/v3/versions", 200, R"({"count":1})"));
    Outcome& o = get("/versions/");
    EXPECT_TRUE(o.succeeded);
    EXPECT_EQ(o.object["count"], Value(1));
    EXPECT_EQ(o.queueLabel, "com.brindlecue.network");
    auto entry = server.journal().at(0);
    EXPECT_EQ(entry.query, "installid=I");
    EXPECT_EQ(entry.header("User-Agent"), "42(3.0.3)");
    EXPECT_EQ(entry.header("X-App-Id"), "42");
    EXPECT_EQ(entry.header("X-App-Key"), "key-1");
    EXPECT_EQ(entry.header("X-Version"), "3.0.3");
    EXPECT_EQ(entry.header("X-Installid"), "I");
    EXPECT_EQ(entry.header("X-Install-Token"), "");
}

TEST_F(KJHTTPSessionManagerTest, UnwrapsTheEnvelopeOfOlderPaths) {
    server.addRoute(route("GET", "/v3/feeds", 200, R"({"code":3,"value":[1]})"));
    server.addRoute(route("GET", "/v3/logs/ok", 200, R"({"code":0,"value":[1,2]})"));
    server.addRoute(route("GET", "/v3/logs/text", 200, R"({"code":"5"})"));
    server.addRoute(route("GET", "/v3/logs/bad", 200, R"({"code":3,"push":{"p":1}})"));
    server.addRoute(route("GET", "/V2/x", 200, R"({"code":0,"value":"v"})"));
    server.addRoute(route("GET", "/v2/plain", 200, "hello", {{"Content-Type", "text/plain"}}));

    EXPECT_EQ(get("feeds").object, Value::dictionary({{"code", 3}, {"value", Value::array({1})}}));
    EXPECT_EQ(get("logs/ok").object, Value::array({1, 2}));
    Outcome& text = get("logs/text");
    EXPECT_TRUE(text.succeeded);
    EXPECT_TRUE(text.object.isAbsent());
    EXPECT_EQ(get(server.baseURL() + "/V2/x").object, Value("v"));
    EXPECT_EQ(get(server.baseURL() + "/v2/plain").object, Value("hello"));

    platform::UIApplication::sharedApplication();
    Outcome& bad = get("logs/bad");
    EXPECT_FALSE(bad.succeeded);
    ASSERT_TRUE(bad.error);
    EXPECT_EQ(bad.error->domain(), "KJErrorDomain");
    EXPECT_EQ(bad.error->code(), INT32_MIN);
    EXPECT_NE(bad.error->localizedDescription().find("code = 3;"), std::string::npos);
    // The push payload is kept whatever the code.
    EXPECT_EQ(platform::UserDefaults::standard().object("SMART_PUSH_PAYLOAD"), Value::dictionary({{"p", 1}}));
}

TEST_F(KJHTTPSessionManagerTest, AnErrorBodyBecomesTheCallersError) {
    server.addRoute(route("GET", "/v3/missing", 404, R"({"detail":"gone"})"));
    Outcome& o = get("missing");
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->domain(), "KJErrorDomain");
    EXPECT_EQ(o.error->code(), 0);
    EXPECT_EQ(o.error->localizedDescription(), R"({"detail":"gone"})");
    EXPECT_EQ(facade->disabledTime, 0);
}

TEST_F(KJHTTPSessionManagerTest, TooManyRequestsPausesTheLibrary) {
    const double now = platform::Clock::now() - 978307200.0;
    // The pause is set right after the failure block has been called, on the thread that called it.
    auto pausedUntil = [&] {
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return facade->disabledTime.load() != 0; }, 20));
        return facade->disabledTime.load();
    };
    server.addRoute(route("GET", "/v3/limited", 429, "{}", {{"Retry-After", "120"}}));
    get("limited");
    EXPECT_DOUBLE_EQ(pausedUntil(), now + 120);

    for (const char* retry : {"0", "-5", "soon"}) {
        facade->disabledTime = 0;
        server.clearRoutes();
        server.addRoute(route("GET", "/v3/limited", 429, "{}", {{"Retry-After", retry}}));
        get("limited");
        EXPECT_DOUBLE_EQ(pausedUntil(), now + 3600) << retry;
    }
    facade->disabledTime = 0;
    server.clearRoutes();
    server.addRoute(route("GET", "/v3/limited", 429, "{}"));
    get("limited");
    EXPECT_DOUBLE_EQ(pausedUntil(), now + 3600);
}

TEST_F(KJHTTPSessionManagerTest, TheFormClientSendsVerbatimBodiesAndTheJSONClientSendsJSON) {
    server.addRoute(route("POST", "/v3/apps/submit_views", 200, "{}"));
    server.addRoute(route("POST", "/v3/feedbacks", 200, "{}"));
    server.addRoute(route("PATCH", "/v3/objects/I", 200, "{}"));
    Outcome form, json, patch;
    manager->POST("/apps/submit_views/", 1, Value::dictionary({{"KJ_BODY", R"([{"n":"a"}])"}}), form.success(),
                  form.failure());
    ASSERT_TRUE(form.wait());
    auto json_ = KJJSONSessionManager::sharedInstance();
    EXPECT_NE(json_.get(), static_cast<KJHTTPSessionManager*>(manager.get()));
    json_->POST("feedbacks", 3, Value::dictionary({{"title", "t"}}), json.success(), json.failure());
    ASSERT_TRUE(json.wait());
    json_->PATCH("objects", 3, Value::dictionary({{"a", 1}}), patch.success(), patch.failure());
    ASSERT_TRUE(patch.wait());

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].body, R"([{"n":"a"}])");
    EXPECT_EQ(journal[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(journal[1].body, R"({"title":"t"})");
    EXPECT_EQ(journal[1].header("Content-Type"), "application/json");
    EXPECT_EQ(journal[1].header("X-App-Id"), "");
    EXPECT_NE(journal[1].header("User-Agent"), "42(3.0.3)");
    EXPECT_EQ(journal[2].body, R"({"a":1})");
}

TEST_F(KJHTTPSessionManagerTest, UploadsAMultipartBody) {
    server.addRoute(route("POST", "/v3/screenshots", 200, "{}"));
    Outcome o;
    manager->POST(
        "screenshots/", 3,
        [](KJAFMultipartFormData& form) { form.appendPartWithFileData({'P', 'N', 'G'}, "file", "s.png", "image/png"); },
        o.success(), o.failure());
    ASSERT_TRUE(o.wait());
    EXPECT_TRUE(o.succeeded);
    auto entry = server.journal().at(0);
    EXPECT_EQ(entry.query, "installid=I");
    EXPECT_NE(entry.body.find("filename=\"s.png\"\r\nContent-Type: image/png\r\n\r\nPNG\r\n"), std::string::npos);
}

TEST_F(KJHTTPSessionManagerTest, WithoutAFacadeTheClientKnowsNoAppOrHostAndNeverPausesTheLibrary) {
    KJHTTPFacade::set(nullptr);
    KJHTTPSessionManager::resetSharedForTesting();
    manager = KJHTTPSessionManager::sharedInstance();
    auto serializer = manager->requestSerializer();
    EXPECT_EQ(serializer->valueForHTTPHeaderField("User-Agent"), "(null)((null))");
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("X-App-Id"));
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("X-App-Key"));
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("X-Version"));
    EXPECT_EQ(serializer->valueForHTTPHeaderField("X-Installid"), "null");
    // No host and no install: a relative path stays relative and unanswerable.
    EXPECT_EQ(manager->completeBrindlecueSpecialUrl("/versions/", 3, "GET"), "/v3/versions");

    // A 429 from a full URL still reaches the caller, and pauses nothing.
    server.addRoute(route("GET", "/v3/limited", 429, "{}", {{"Retry-After", "120"}}));
    Outcome& o = get(server.baseURL() + "/v3/limited");
    ASSERT_TRUE(o.error);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(facade->disabledTime, 0);
}

TEST_F(KJHTTPSessionManagerTest, TheInstallTokenHeaderIsSentOnlyWhenTheDefaultsHoldOne) {
    platform::UserDefaults::standard().set("KJ_INSTALL_TOKEN", Value("tok-1"));
    KJHTTPSessionManager::resetSharedForTesting();
    manager = KJHTTPSessionManager::sharedInstance();
    server.addRoute(route("GET", "/v3/versions", 200, "{}"));
    get("versions");
    EXPECT_EQ(server.journal().at(0).header("X-Install-Token"), "tok-1");

    platform::UserDefaults::standard().set("KJ_INSTALL_TOKEN", Value(""));
    KJHTTPSessionManager::resetSharedForTesting();
    EXPECT_FALSE(KJHTTPSessionManager::sharedInstance()->requestSerializer()->valueForHTTPHeaderField("X-Install-Token"));
}

TEST_F(KJHTTPSessionManagerTest, EnvelopesOfEveryJSONTypeAreUnwrappedAndOnlyDictionariesHoldOne) {
    server.addRoute(route("GET", "/v2/json", 200, R"({"code":0,"value":"j"})", {{"Content-Type", "text/json"}}));
    server.addRoute(route("GET", "/v2/script", 200, R"({"code":0,"value":"s"})", {{"Content-Type", "text/javascript"}}));
    server.addRoute(route("GET", "/v2/list", 200, R"([{"code":0,"value":"l"}])"));
    server.addRoute(route("GET", "/v2/xml", 200, "<a/>", {{"Content-Type", "application/xml"}}));
    EXPECT_EQ(get(server.baseURL() + "/v2/json").object, Value("j"));
    EXPECT_EQ(get(server.baseURL() + "/v2/script").object, Value("s"));
    Outcome& list = get(server.baseURL() + "/v2/list");
    EXPECT_TRUE(list.succeeded);
    EXPECT_TRUE(list.object.isAbsent());
    // An answer the JSON serializer refuses by its type fails as any refused answer does.
    Outcome& xml = get(server.baseURL() + "/v2/xml");
    EXPECT_FALSE(xml.succeeded);
}

TEST_F(KJHTTPSessionManagerTest, APushPayloadIsAnnouncedOnlyWhileTheAppIsActive) {
    server.addRoute(route("GET", "/v3/logs/push", 200, R"({"code":0,"push":{"p":2}})"));
    auto application = platform::UIApplication::sharedApplication();
    int posted = 0;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        "KJ_PushBridge_Smart_Notification", nullptr, nullptr, [&](const platform::Notification&) { ++posted; });
    application->enterBackground();
    EXPECT_TRUE(get("logs/push").succeeded);
    application->enterForeground();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(posted, 0);
    EXPECT_EQ(platform::UserDefaults::standard().object("SMART_PUSH_PAYLOAD"), Value::dictionary({{"p", 2}}));
    EXPECT_TRUE(get("logs/push").succeeded);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(posted, 1);
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(KJHTTPSessionManagerTest, ADebugStartOfADevelopmentBuildDescribesFailuresWithoutAnAnswer) {
    std::mutex mutex;
    std::vector<std::string> breakpoints;
    KJLogSetObserver([&](int level, const std::string& line) {
        std::lock_guard lock(mutex);
        if (level == 1 && line.rfind("Add breakpoint here", 0) == 0) breakpoints.push_back(line);
    });
    facade->debug = true;
    // An App Store build describes nothing, debug mode or not.
    Outcome& store = get("http://127.0.0.1:1/v3/x");
    ASSERT_TRUE(store.error);
    // The description is decided after the caller has heard: that is over once the queue is.
    manager->completionQueue()->sync([] {});

    auto profile = Value::dictionary({{"ProvisionedDevices", Value::array({"00008030-001A"})},
                                      {"Entitlements", Value::dictionary({{"get-task-allow", true}})}});
    auto xml = profile.toPropertyList(platform::PropertyListFormat::XML);
    ASSERT_TRUE(xml);
    std::ofstream(platform::Bundle::main()->path() / "embedded.mobileprovision", std::ios::binary)
        << std::string(xml->begin(), xml->end());
    blqResetAppModeForTesting();
    ASSERT_EQ(blqAppMode(), BLQAppModeInternalDevelopment);
    // A transport failure has no HTTP answer to describe; a GET has no body to show.
    Outcome& unreachable = get("http://127.0.0.1:1/v3/x");
    ASSERT_TRUE(unreachable.error);
    manager->completionQueue()->sync([] {});
    KJLogSetObserver({});
    std::lock_guard lock(mutex);
    ASSERT_EQ(breakpoints.size(), 1u);
    EXPECT_EQ(breakpoints[0].rfind("Add breakpoint here to know error request happen for URL request error: GET - (null). Error: ", 0),
              0u)
        << breakpoints[0];
    EXPECT_EQ(breakpoints[0].find("Post body"), std::string::npos);
}

}  // namespace
}  // namespace brindlecue
