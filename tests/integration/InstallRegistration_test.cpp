// Install registration, update and sessions over the real stores, the HTTP client and the sample
// server, with the app details read from the main bundle, the device and the class registry.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <regex>

#include "config/BLQAppDetailsProvider.h"
#include "facade/BLQFacadeLink.h"
#include "facade/BLQInstallRegistrationManager.h"
#include "facade/BLQSessionManager.h"
#include "facade/BLQUpdateRegistrationManager.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQInstallHTTPNetworkRequester.h"
#include "network/BLQUpdateHTTPNetworkRequester.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/URLError.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQSession.h"
#include "storage/DictionaryTransformer.h"
#include "support/ClockSteps.h"
#include "support/RecordingLoggerManager.h"
#include "support/RecordingRegistrationDelegate.h"
#include "support/SampleRoutes.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using Kind = BLQHTTPRequestError::Kind;
using testsupport::route;

class ServerConfig final : public testsupport::StubConfigManager {
public:
    std::string host, appKey;
    bool hostChange = false;
    std::string getHost() override { return host; }
    std::string getAppKey() const override { return appKey; }
    bool checkForHostChange(const Value&, const std::optional<std::string>&) override { return hostChange; }
};

// The install store, letting the test see each new install before it is sent, or refuse to make one.
class ObservedInstallStore final : public BLQIInstallDataStore {
public:
    explicit ObservedInstallStore(std::shared_ptr<BLQIInstallDataStore> store) : store_(std::move(store)) {}
    std::function<void(const BLQInstallDTO&)> onCreate = [](const BLQInstallDTO&) {};
    std::optional<platform::Error> createError;

    void createInstallForAppKey(const std::string& key,
                                std::function<void(CreateResult)> completion) override {
        if (createError) return completion(*createError);
        store_->createInstallForAppKey(key, [this, completion](CreateResult result) {
            onCreate(*std::get<std::shared_ptr<BLQInstallDTO>>(result));
            completion(std::move(result));
        });
    }
    std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& key) override {
        return store_->getInstallForAppKey(key);
    }
    void saveInstall(const std::shared_ptr<BLQInstallDTO>& i) override { store_->saveInstall(i); }
    void deleteInstall(const std::shared_ptr<BLQInstallDTO>& i) override { store_->deleteInstall(i); }

private:
    std::shared_ptr<BLQIInstallDataStore> store_;
};

// The server's answer about an install, written as it may be: the id in capitals, the operating
// system in mixed case and the SDK version under its oldest key.
std::string answerFor(std::string installId, int64_t appId = 4711) {
    for (char& c : installId) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return *Value::dictionary(
                {{"id", installId}, {"operating_system", "iOS"}, {"qx_version", "3.0.3"}, {"app_id", appId}})
                .toJSON();
}

class InstallRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        DictionaryTransformer::registerDictionaryTransformer();
        server.start();
        config->host = server.baseURL();
        config->appKey = appKey;
        BLQFacadeLink::setConfigManager(config);
        BLQAppDetailsProvider::setInstallManager(installs);
        bundleVersion("2.4.1", "77");
        platform::DeviceOverrides device;
        device.machine = "iPhone15,2";
        device.carrierName = "Telco";
        platform::Device::setOverrides(device);
        installs->setDelegate(delegate);
        updates->setDelegate(delegate);
    }
    void TearDown() override {
        BLQFacadeLink::setConfigManager(nullptr);
        platform::Device::setOverrides({});
    }

    void bundleVersion(const char* version, const char* build) {
        platform::Bundle::createMainBundle(
            {{platform::Bundle::kShortVersionStringKey, version}, {platform::Bundle::kVersionKey, build}});
    }
    // Starts a registration (or an update) and waits for the delegate to hear its outcome.
    testsupport::RecordingRegistrationDelegate::Outcome run(bool isUpdate = false) {
        size_t before = delegate->outcomes().size();
        isUpdate ? updates->registerInstallUpdate(nullptr, nullptr)
                 : installs->registerInstallWithHandler(nullptr);
        EXPECT_TRUE(delegate->waitFor(before + 1));
        return delegate->outcomes().back();
    }
    // The server answers every new install with its own id.
    void answerNewInstalls() {
        store->onCreate = [this](const BLQInstallDTO& made) {
            server.addRoute(route("POST", "/v3/installs", 201, answerFor(*made.installId)));
        };
    }

    // The stores outlive a test when the whole binary runs in one process: one app key each.
    const std::string appKey =
        std::string("key-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sampleserver::SampleServer server;
    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<ServerConfig> config = std::make_shared<ServerConfig>();
    std::shared_ptr<platform::ManagedObjectContext> context =
        BLQCoreData::sharedInstance().backgroundContext();
    std::shared_ptr<ObservedInstallStore> store =
        std::make_shared<ObservedInstallStore>(std::make_shared<BLQCoreDataInstallDataStore>(context));
    std::shared_ptr<BLQAppDetailsProvider> details = std::make_shared<BLQAppDetailsProvider>();
    std::shared_ptr<BLQHTTPManager> http =
        std::make_shared<BLQHTTPManager>(details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{});
    std::shared_ptr<BLQInstallRegistrationManager> installs = std::make_shared<BLQInstallRegistrationManager>(
        details, store, config, std::make_shared<BLQInstallHTTPNetworkRequester>(http, config),
        BLQResponseValidator<BLQInstallValidator>(std::make_shared<BLQInstallValidator>()));
    std::shared_ptr<BLQUpdateRegistrationManager> updates = std::make_shared<BLQUpdateRegistrationManager>(
        details, store, std::make_shared<BLQUpdateHTTPNetworkRequester>(http, config),
        BLQResponseValidator<BLQInstallValidator>(std::make_shared<BLQInstallValidator>()));
    std::shared_ptr<testsupport::RecordingRegistrationDelegate> delegate =
        std::make_shared<testsupport::RecordingRegistrationDelegate>();
};

TEST_F(InstallRegistrationTest, ANewInstallIsPostedCheckedAgainstTheAnswerAndStored) {
    answerNewInstalls();
    auto outcome = run();
    ASSERT_EQ(outcome.call, "installSuccess");
    EXPECT_EQ(outcome.url->absoluteString(), server.baseURL() + "/v3/installs");

    auto stored = store->getInstallForAppKey(appKey);
    ASSERT_TRUE(stored && stored->installId);
    EXPECT_TRUE(stored->isRegisteredWithServer);
    EXPECT_EQ(stored->appId, 4711);
    EXPECT_EQ(stored->registrationDate, platform::Date::now());
    EXPECT_EQ(installs->getCurrentInstall()->installId, stored->installId);
    EXPECT_TRUE(
        std::regex_match(*stored->installId, std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")));

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].method + " " + journal[0].path, "POST /v3/installs");
    // Exactly eleven keys. The new install is sent before its first save, so "modified" is empty.
    EXPECT_EQ(*Value::fromJSON(journal[0].body), Value::dictionary({{"id", *stored->installId},
                                                                    {"app_key", appKey},
                                                                    {"created", "2026-01-01T00:00:00.000Z"},
                                                                    {"modified", ""},
                                                                    {"operating_system", "ios"},
                                                                    {"development_platform", "native"},
                                                                    {"client_version", "2.4.1+77"},
                                                                    {"carrier_name", "Telco"},
                                                                    {"model", "iPhone15,2"},
                                                                    {"blq_version", "3.0.3"},
                                                                    {"qx_version", "3.0.3"}}));
}

TEST_F(InstallRegistrationTest, AnAnswerAboutAnotherInstallIsRefusedAndAnUnreadableOneChangesNothing) {
    server.addRoute(route("POST", "/v3/installs", 201, answerFor("another-install")));
    auto refused = run();
    ASSERT_EQ(refused.call, "installFailure");
    EXPECT_EQ(refused.requestError()->kind(), Kind::invalidReturnedObjectFromServer);
    EXPECT_EQ(
        refused.requestError()->message().rfind(
            "Install: Registration failed: Successful response, but invalid install received from server. "
            "Sent: {",
            0),
        0u);
    EXPECT_EQ(logs->count("Install: Incorrect install ID received from server, sent: "), 1u);
    EXPECT_FALSE(store->getInstallForAppKey(appKey));  // refused installs are dropped

    server.addRoute(route("POST", "/v3/installs", 201, "{\"id\": "));
    auto unreadable = run();
    EXPECT_EQ(unreadable.requestError()->kind(), Kind::failedToParseResponse);
    auto kept = store->getInstallForAppKey(appKey);
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->isRegisteredWithServer || kept->appId);
}

TEST_F(InstallRegistrationTest, AKnownInstallIsPatchedUnderItsIdAndOnlyAMatchingAnswerIsStored) {
    answerNewInstalls();
    ASSERT_EQ(run().call, "installSuccess");
    const std::string id = *store->getInstallForAppKey(appKey)->installId;
    bundleVersion("2.5.0", "80");
    server.addRoute(route("PATCH", "/v3/installs/" + id, 200, answerFor(id, 99)));
    ASSERT_EQ(run(true).call, "updateSuccess");
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].method + " " + journal[1].path, "PATCH /v3/installs/" + id);
    // The app details give the HTTP client the current install once it is registered.
    EXPECT_EQ(journal[1].header("X-Installid"), id);
    EXPECT_EQ(journal[1].header("X-App-Id"), "4711");
    EXPECT_EQ(journal[1].header("X-App-Key"), appKey);
    EXPECT_EQ((*Value::fromJSON(journal[1].body))["client_version"], Value("2.5.0+80"));
    EXPECT_EQ(store->getInstallForAppKey(appKey)->clientAppVersion, "2.5.0+80");
    EXPECT_EQ(store->getInstallForAppKey(appKey)->appId, 99);

    bundleVersion("2.6.0", "81");
    server.addRoute(route("PATCH", "/v3/installs/" + id, 200, answerFor("another-install")));
    EXPECT_EQ(run(true).requestError()->message().rfind("Update: Registration failed: Successful response, "
                                                        "but invalid install received from server. Sent: {",
                                                        0),
              0u);
    EXPECT_EQ(store->getInstallForAppKey(appKey)->clientAppVersion, "2.5.0+80");
}

TEST_F(InstallRegistrationTest, ServerErrorsTimeOutsAndDroppedConnectionsStoreNothing) {
    auto failure = [&](sampleserver::Route answer, bool timesOut) {
        server.clearRoutes();
        server.clearJournal();
        server.addRoute(answer);
        size_t before = delegate->outcomes().size();
        installs->registerInstallWithHandler(nullptr);
        if (timesOut) {
            EXPECT_TRUE(server.waitForRequests(1));
            EXPECT_TRUE(testsupport::stepClockUntil(BLQHTTPManager::kTimeoutInterval + 1,
                                                    [&] { return delegate->outcomes().size() > before; }));
        }
        EXPECT_TRUE(delegate->waitFor(before + 1));
        EXPECT_EQ(delegate->outcomes().back().call, "installFailure");
        auto stored = store->getInstallForAppKey(appKey);
        EXPECT_TRUE(stored && !stored->isRegisteredWithServer && !stored->registrationDate);
        auto error = delegate->outcomes().back().requestError();
        EXPECT_EQ(error ? error->kind() : Kind::unknownError, Kind::networkRequestFailed);
        return error && error->underlyingError() ? *error->underlyingError() : platform::Error();
    };
    auto slow = route("POST", "/v3/installs", 201, "{}");
    slow.delaySeconds = 3;
    auto dropped = route("POST", "/v3/installs", 201, "{}");
    dropped.closeConnection = true;

    EXPECT_EQ(failure(route("POST", "/v3/installs", 500, "{}"), false).code(), 500);
    EXPECT_EQ(failure(slow, true).code(), platform::URLError::TimedOut);
    EXPECT_EQ(failure(dropped, false).domain(), platform::URLError::kDomain);
    EXPECT_EQ(logs->count("Install: Registration failed: Error occurred: "), 3u);
}

TEST_F(InstallRegistrationTest, EveryEarlyEndReachesTheDelegateWithItsLogLine) {
    auto message = [](const testsupport::RecordingRegistrationDelegate::Outcome& outcome) {
        return outcome.requestError() ? outcome.requestError()->message() : "no request error";
    };
    config->appKey = "";
    EXPECT_EQ(message(run()), "Install: No appKey specified");
    EXPECT_EQ(message(run(true)), "Update: No appKey specified");
    config->appKey = appKey;
    EXPECT_EQ(message(run(true)), "Update: Attempted an update, but found no current install");
    store->createError = platform::Error::withDescription("Store", 1, "disk full");
    EXPECT_EQ(message(run()), "Install: Error occurred during creation of new Install: disk full");
    for (const char* line : {"Install: No appKey specified", "Update: No appKey specified",
                             "Update: Attempted an update, but found no current install",
                             "Install: Error occurred during creation of new Install: disk full"})
        EXPECT_TRUE(logs->contains(line, 4)) << line;
    EXPECT_TRUE(server.journal().empty());
}

TEST_F(InstallRegistrationTest, ClientVersionsOfMoreThanThreePartsAndHostChangesEndTheRegistration) {
    bundleVersion("1.2.3.4", "5");
    auto refused = run();
    ASSERT_TRUE(refused.requestError());
    EXPECT_EQ(refused.requestError()->kind(), Kind::failedToParseRequestBody);
    EXPECT_TRUE(logs->contains(
        "Install: Registration failed: Invalid client app version detected. Please provide a valid semantic "
        "version for your app. Found version: 1.2.3.4+5",
        5));
    EXPECT_TRUE(server.journal().empty());

    // Long parts are fine; the install created above is the one sent.
    bundleVersion("1.10.10", "5");
    const std::string id = *store->getInstallForAppKey(appKey)->installId;
    server.addRoute(route("POST", "/v3/installs", 201, answerFor(id)));
    config->hostChange = true;
    auto moved = run();
    ASSERT_EQ(server.journal().size(), 1u);
    EXPECT_EQ((*Value::fromJSON(server.journal()[0].body))["client_version"], Value("1.10.10+5"));
    EXPECT_EQ(moved.requestError()->message().rfind(
                  "Install: Registration failed: Host change is required. From: " + server.baseURL() +
                      "/v3/installs to " + server.baseURL() + "). Sent: {",
                  0),
              0u);
    EXPECT_FALSE(store->getInstallForAppKey(appKey)->isRegisteredWithServer);
}

TEST_F(InstallRegistrationTest, SessionsOfTheInstallAreNumberedAndTheOpenOneIsClosedFirst) {
    answerNewInstalls();
    ASSERT_EQ(run().call, "installSuccess");
    auto sessions =
        std::make_shared<BLQSessionManager>(std::make_shared<BLQCoreDataSessionDataStore>(context), details);
    auto open = [&] {
        std::atomic<bool> done{false};
        std::shared_ptr<BLQSessionDTO> made;
        sessions->createNewSession(
            installs->getCurrentInstall(), [&](auto session) { made = session, done = true; },
            [&](const SessionError&) { done = true; });
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return done.load(); }));
        return made ? made->id : -1;
    };

    // The end time that the stored session carries, read on the store's own context.
    auto storedEndTime = [&](int64_t id) {
        return context->performAndWait([&]() -> std::optional<platform::Date> {
            auto request = BLQSession::fetchRequest();
            request.setPredicate(BLQSession::findBySessionId(id, appKey));
            auto found = context->fetch(request);
            if (!found || found->empty()) return std::nullopt;
            return std::dynamic_pointer_cast<BLQSession>(found->front())->endTime();
        });
    };

    EXPECT_EQ(open(), 1);
    EXPECT_TRUE(sessions->isSessionStarted());
    EXPECT_EQ(storedEndTime(1), std::nullopt);
    platform::Clock::advance(60);
    const auto firstClosed = platform::Date::now();
    EXPECT_EQ(open(), 2);
    EXPECT_TRUE(logs->contains("Session: Found open session: 1, closing session and creating a new one", 2));
    EXPECT_EQ(storedEndTime(1), firstClosed);
    EXPECT_EQ(sessions->getCurrentSession()->id, 2);
    platform::Clock::advance(30);
    const auto secondClosed = platform::Date::now();
    sessions->closeCurrentSession();
    EXPECT_FALSE(sessions->isSessionStarted());
    EXPECT_FALSE(sessions->getCurrentSession());
    EXPECT_EQ(storedEndTime(2), secondClosed);
    EXPECT_EQ(storedEndTime(1), firstClosed);  // closing the second leaves the first as it was
}

}  // namespace
}  // namespace brindlecue
