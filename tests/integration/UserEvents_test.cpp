// User events recorded into the real store, judged against the real configuration and uploaded
// by the HTTP sender to the sample server: the batch document, failed posts of every kind, and
// many threads recording while the server fails every third upload.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQUserEventHTTPSender.h"
#include "events/BLQUserEventManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQSessionManager.h"
#include "foundation/BLQFacadeLink.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQHTTPAPIEndpoints.h"
#include "network/BLQHTTPManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "support/SettableAppDetails.h"
#include "tags/BLQTagDTO.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::RunLoop;
using platform::Value;
using testsupport::route;
using EventPtr = std::shared_ptr<BLQUserEventDTO>;
using Status = BLQUserEventStatus;

// The HTTP sender, counting the uploads that have not heard back yet.
class CountingSender final : public BLQIUserEventSender {
public:
    explicit CountingSender(std::shared_ptr<BLQIUserEventSender> sender) : sender_(std::move(sender)) {}
    void uploadUserEvents(const std::vector<EventPtr>& events, BLQRequestSuccessBlock success,
                          BLQRequestFailureBlock failure) override {
        ++inFlight;
        sender_->uploadUserEvents(
            events,
            [this, success](const Value& json, const platform::URL& url) {
                success(json, url);
                --inFlight;
            },
            [this, failure](const platform::Error& error) {
                failure(error);
                --inFlight;
            });
    }
    std::atomic<int> inFlight{0};

private:
    std::shared_ptr<BLQIUserEventSender> sender_;
};

class UserEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
        config = std::make_shared<BLQConfigManager>(testsupport::firstLaunchConfigStore(),
                                                    std::make_shared<BLQHTTPAPIEndpoints>());
        config->setHost(server.baseURL());
        config->setSDKVersion("3.0.3");
        BLQFacadeLink::setConfigManager(config);  // the 429 handler pauses the library through it
        // The store's stack is the one the configuration's first launch has just loaded.
        context = BLQCoreData::sharedInstance().backgroundContext();
        store = std::make_shared<BLQCoreDataUserEventDataStore>(context);
        sessions = std::make_shared<BLQCoreDataSessionDataStore>(context);
        std::make_shared<BLQCoreDataInstallDataStore>(context)->createInstallForAppKey(
            "key-1", [&](BLQIInstallDataStore::CreateResult r) { install = std::get<std::shared_ptr<BLQInstallDTO>>(r); });
        testsupport::settleConfigStore();
        sessions->createSessionForInstall(install, [](BLQISessionDataStore::CreateResult) {});
        details->setAppKey("key-1");
        details->setInstallId(*install->installId);
        auto http = std::make_shared<BLQHTTPManager>(
            details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{std::make_shared<BLQ429HTTPErrorHandler>()});
        sender = std::make_shared<CountingSender>(std::make_shared<BLQUserEventHTTPSender>(http, config, details));
        manager = std::make_shared<BLQUserEventManager>(
            store, std::make_shared<BLQSessionManager>(sessions, details),
            std::make_shared<BLQUserEventDeduperManager>(std::vector<std::shared_ptr<BLQIUserEventDeduper>>{
                std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
                std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()}),
            config, sender,
            std::vector<std::shared_ptr<BLQISendConditionVerifier>>{
                std::make_shared<BLQDisabledCodeSendConditionVerifier>(config),
                std::make_shared<BLQPriorityCodeSendConditionVerifier>(config)});
        testsupport::settleConfigStore();
    }
    void TearDown() override {
        RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 10);
        testsupport::settleConfigStore();
        BLQFacadeLink::setConfigManager(nullptr);
    }

    void record(int64_t code, const std::string& message, Value details = Value(),
                std::shared_ptr<BLQTagDTO> tag = nullptr) {
        manager->sendUserEventWithCode(code, tag, message, details, nullptr);
        testsupport::settleConfigStore();
    }
    // Every stored event, in the order they were created.
    std::vector<EventPtr> stored() {
        testsupport::settleConfigStore();
        return context->performAndWait([&] {
            auto objects = *context->fetch(platform::FetchRequest("UserEvent"));
            std::sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) {
                return a->objectID().primaryKey < b->objectID().primaryKey;
            });
            std::vector<EventPtr> out;
            for (const auto& object : objects) out.push_back(store->getUserEvent(*object->stringValue("id")));
            return out;
        });
    }
    bool allStatuses(Status status) {
        for (const auto& e : stored())
            if (e->status != status) return false;
        return true;
    }
    // Lets the upload the clock starts finish and its outcome reach the store.
    bool sendAfter(double seconds, size_t requests) {
        Clock::advance(seconds);
        if (!server.waitForRequests(requests)) return false;
        return RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 10);
    }
    std::vector<Value> records(size_t request) {
        auto journal = server.journal();
        auto body = Value::fromJSON(journal.at(request).body);
        std::vector<Value> out;
        if (body && (*body)["records"].getArray())
            for (const auto& r : *(*body)["records"].getArray()) out.push_back(r);
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs = testsupport::RecordingLoggerManager::install();
    sampleserver::SampleServer server;
    std::shared_ptr<BLQConfigManager> config;
    std::shared_ptr<platform::ManagedObjectContext> context;
    std::shared_ptr<BLQCoreDataUserEventDataStore> store;
    std::shared_ptr<BLQCoreDataSessionDataStore> sessions;
    std::shared_ptr<testsupport::SettableAppDetails> details = std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<BLQInstallDTO> install;
    std::shared_ptr<CountingSender> sender;
    std::shared_ptr<BLQUserEventManager> manager;
};

TEST_F(UserEventsTest, PageEntersAndAFeedResultGoInOnePostWithTheirDocuments) {
    server.addRoute(route("POST", "/v3/logs", 200, "{}"));
    for (const char* page : {"Home", "Cart", "Profile"}) {
        record(8108, page);
        Clock::advance(0.2);
    }
    record(8201, "Feed result: f1", Value::dictionary({{"feed_id", "f1"}, {"status", 1}, {"complete", true}}));
    Clock::advance(0.4);
    EXPECT_FALSE(server.waitForRequests(1, 0.3));
    ASSERT_TRUE(sendAfter(0.1, 1));

    auto request = server.journal()[0];
    EXPECT_EQ(request.method + " " + request.path, "POST /v3/logs");
    auto body = *Value::fromJSON(request.body);
    EXPECT_EQ(body.getDictionary()->keys(), (std::vector<std::string>{"installid", "app_key", "records"}));
    EXPECT_EQ(body["installid"], Value(*install->installId));
    EXPECT_EQ(body["app_key"], Value("key-1"));
    auto sent = records(0);
    ASSERT_EQ(sent.size(), 4u);
    auto events = stored();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sent[i]["code"], 8108);
        EXPECT_EQ(sent[i]["string"], Value(*events[i]->message));
        EXPECT_EQ(sent[i]["log_id"], Value(*events[i]->id));
        EXPECT_EQ(sent[i]["session_id"], 1);
        EXPECT_EQ(sent[i]["blq_version"], "3.0.3");
        EXPECT_EQ(sent[i]["qx_version"], "3.0.3");
        EXPECT_TRUE(sent[i]["created_on_client"].isString());
    }
    EXPECT_EQ(sent[3]["feed_id"], "f1");
    EXPECT_EQ(sent[3]["result"], Value::dictionary({{"status", 1}, {"complete", true}}));
    EXPECT_TRUE(sent[3]["string"].isAbsent());
    EXPECT_TRUE(allStatuses(Status::sent));

    // A page entered again at once is never sent; a tag's numeric value goes out as a number.
    record(8108, "Settings");
    record(8108, "Settings");
    std::make_shared<BLQCoreDataTagDataStore>(context)->saveTag("level", std::any(std::string("42")), nullptr);
    record(8999, "Tag updated", Value(), std::make_shared<BLQTagDTO>("level", "42"));
    ASSERT_TRUE(sendAfter(0.5, 2));
    sent = records(1);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0]["string"], "Settings");
    EXPECT_EQ(sent[1]["key"], "level");
    EXPECT_EQ(sent[1]["numeric"], 42);
    EXPECT_EQ(stored()[5]->status, Status::deduped);
}

TEST_F(UserEventsTest, AFailedPostOfAnyKindKeepsItsEventsForTheNextOneAndNoneIsSentTwice) {
    auto slow = route("POST", "/v3/logs", 500, "{}");
    slow.delaySeconds = 3;
    auto dropped = route("POST", "/v3/logs", 200, "{}");
    dropped.closeConnection = true;
    auto tooMany = route("POST", "/v3/logs", 429, "{}", {{"Retry-After", "2"}});
    server.addRoute(route("POST", "/v3/logs", 200, "{}"));

    std::set<size_t> failed;
    int heartbeat = 0;
    auto failOnce = [&](sampleserver::Route answer, bool timesOut, double pause) {
        answer.times = 1;
        server.addRoute(answer);
        size_t request = server.journal().size();
        record(8051, "Heartbeat " + std::to_string(++heartbeat));
        Clock::advance(0.5);
        ASSERT_TRUE(server.waitForRequests(request + 1));
        if (timesOut) Clock::advance(BLQHTTPManager::kTimeoutInterval + 1);
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 10));
        failed.insert(request);
        EXPECT_TRUE(allStatuses(Status::unsent));
        Clock::advance(pause);
    };
    failOnce(route("POST", "/v3/logs", 500, "{}"), false, 0);
    failOnce(slow, true, 0);
    failOnce(dropped, false, 0);
    failOnce(tooMany, false, 0);
    EXPECT_FALSE(config->isBrindlecueEnabled());  // paused by the 429 answer: stored, not sent
    record(8051, "Heartbeat while paused");
    Clock::advance(2);
    record(8051, "Heartbeat " + std::to_string(++heartbeat));
    ASSERT_TRUE(sendAfter(0.5, 5));
    EXPECT_EQ(logs->count("UserEvent: failed to send UserEvents, error: "), 4u);

    // Every event reached the server in exactly one answered post, and the failed ones carried
    // what the last one delivered.
    std::map<std::string, int> delivered;
    auto journal = server.journal();
    for (size_t i = 0; i < journal.size(); ++i)
        if (!failed.count(i))
            for (const auto& r : records(i)) ++delivered[r["log_id"].stringValue()];
    auto events = stored();
    ASSERT_EQ(events.size(), 6u);
    for (const auto& e : events) EXPECT_EQ(delivered[*e->id], 1) << *e->message;
    EXPECT_EQ(delivered.size(), 6u);
    EXPECT_EQ(records(4).size(), 6u);
    EXPECT_TRUE(allStatuses(Status::sent));
}

TEST_F(UserEventsTest, ManyThreadsRecordWhileEveryThirdUploadFailsAndEachEventIsDeliveredOnce) {
    // Routes in document order: two answered uploads, then a failed one, again and again.
    std::string scenario = R"({"routes": [)";
    for (int i = 0; i < 400; ++i)
        scenario += std::string(i ? "," : "") +
                    R"({"method": "POST", "path": "/v3/logs", "status": 200, "body": {}, "times": 2},)"
                    R"({"method": "POST", "path": "/v3/logs", "status": 500, "body": {}, "times": 1})";
    scenario += "]}";
    ASSERT_TRUE(server.loadScenario(scenario));

    constexpr int kThreads = 4, kPerThread = 250, kChunk = 5;
    const int64_t codes[] = {8051, 8200, 8052, 8108, 8201};
    std::atomic<int> recording{kThreads};
    // Each thread records a few events per round of the clock, so recording and uploads overlap.
    std::atomic<int> round{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // Distinct messages: no event is a duplicate of another.
                const std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
                manager->sendUserEventWithCode(codes[i % 5], name,
                                               Value::dictionary({{"feed_id", name}, {"status", 1}}));
                if (i % kChunk == kChunk - 1) round.wait(round.load());
            }
            --recording;
        });

    // The clock moves on only while no upload is waiting for its answer, so none times out.
    auto unsent = [&] {
        for (const auto& e : stored())
            if (e->status != Status::sent) return true;
        return false;
    };
    int rounds = 0;
    while ((recording > 0 || unsent()) && rounds++ < 600) {
        RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 10);
        // Once the threads are done, a failed batch waits for the next trigger: give it one.
        if (recording == 0) manager->sendAllUnsent();
        Clock::advance(0.5);
        RunLoop::main().runUntil([&] { return sender->inFlight > 0; }, 0.05);
        ++round;
        round.notify_all();
    }
    round = 1 << 30;
    round.notify_all();
    for (auto& thread : threads) thread.join();

    auto events = stored();
    ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kPerThread));
    std::set<std::string> messages;
    for (const auto& e : events) {
        messages.insert(*e->message);
        EXPECT_EQ(e->status, Status::sent) << *e->message;
    }
    EXPECT_EQ(messages.size(), events.size());  // each stored once

    std::map<std::string, int> delivered;
    auto journal = server.journal();
    size_t failedRecords = 0;
    for (size_t i = 0; i < journal.size(); ++i) {
        if (i % 3 == 2)
            failedRecords += records(i).size();
        else
            for (const auto& r : records(i)) ++delivered[r["log_id"].stringValue()];
    }
    EXPECT_GT(failedRecords, 0u);  // failed uploads carried events, which went again
    EXPECT_EQ(delivered.size(), events.size());
    for (const auto& e : events) EXPECT_EQ(delivered[*e->id], 1) << *e->message;
}

}  // namespace
}  // namespace brindlecue
