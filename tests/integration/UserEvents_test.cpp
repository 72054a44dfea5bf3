// User events recorded into the real store, judged against the real configuration and uploaded
// by the HTTP sender to the sample server: the batch, failed posts of every kind, and many
// threads recording while the server fails every third upload.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "config/BLQHTTPAPIEndpoints.h"
#include "events/BLQUserEventHTTPSender.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQFacadeLink.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQHTTPManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "support/ClockSteps.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "support/SettableAppDetails.h"
#include "support/UserEventPipeline.h"

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
        ++uploads;
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
    std::atomic<int> uploads{0};  // every upload begun

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
            "key-1", [&](BLQIInstallDataStore::CreateResult r) {
                install = std::get<std::shared_ptr<BLQInstallDTO>>(r);
            });
        testsupport::settleConfigStore();
        sessions->createSessionForInstall(install, [](BLQISessionDataStore::CreateResult) {});
        details->setAppKey("key-1");
        details->setInstallId(*install->installId);
        auto http = std::make_shared<BLQHTTPManager>(
            details,
            std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{std::make_shared<BLQ429HTTPErrorHandler>()});
        sender =
            std::make_shared<CountingSender>(std::make_shared<BLQUserEventHTTPSender>(http, config, details));
        manager = testsupport::makeUserEventManager(store, sessions, details, config, sender);
        testsupport::settleConfigStore();
    }
    void TearDown() override {
        RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 10);
        testsupport::settleConfigStore();
        BLQFacadeLink::setConfigManager(nullptr);
    }

    void record(int64_t code, const std::string& message, Value details = Value()) {
        manager->sendUserEventWithCode(code, message, details);
        testsupport::settleConfigStore();
    }
    std::vector<EventPtr> stored() {
        testsupport::settleConfigStore();
        return testsupport::storedUserEvents(store);
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
    // How often each event went out in a post the server answered (the others failed).
    std::map<std::string, int> delivered(const std::function<bool(size_t request)>& failed) {
        std::map<std::string, int> counts;
        for (size_t i = 0; i < server.journal().size(); ++i)
            if (!failed(i))
                for (const auto& r : records(i)) ++counts[r["log_id"].stringValue()];
        return counts;
    }
    std::vector<Value> records(size_t request) {
        auto journal = server.journal();
        auto body = Value::fromJSON(journal.at(request).body);
        std::vector<Value> out;
        if (body && (*body)["records"].getArray())
            for (const auto& r : *(*body)["records"].getArray()) out.push_back(r);
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    sampleserver::SampleServer server;
    std::shared_ptr<BLQConfigManager> config;
    std::shared_ptr<platform::ManagedObjectContext> context;
    std::shared_ptr<BLQCoreDataUserEventDataStore> store;
    std::shared_ptr<BLQCoreDataSessionDataStore> sessions;
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
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
    record(8201, "Feed result: f1",
           Value::dictionary({{"feed_id", "f1"}, {"status", 1}, {"complete", true}}));
    Clock::advance(0.4);
    EXPECT_FALSE(server.waitForRequests(1, 0.3));
    ASSERT_TRUE(sendAfter(0.1, 1));

    auto request = server.journal()[0];
    EXPECT_EQ(request.method + " " + request.path, "POST /v3/logs");
    auto body = *Value::fromJSON(request.body);
    EXPECT_EQ(body.getDictionary()->keys(), (std::vector<std::string>{"installid", "app_key", "records"}));
    EXPECT_EQ(body["installid"], Value(*install->installId));
    auto sent = records(0);
    auto events = stored();
    ASSERT_EQ(sent.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sent[i]["log_id"], Value(*events[i]->id));
    EXPECT_EQ(sent[2]["string"], "Profile");
    EXPECT_EQ(sent[3]["session_id"], 1);
    EXPECT_EQ(sent[3]["result"], Value::dictionary({{"status", 1}, {"complete", true}}));
    EXPECT_TRUE(allStatuses(Status::sent));
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
    auto failOnce = [&](sampleserver::Route answer, bool timesOut) {
        answer.times = 1;
        server.addRoute(answer);
        size_t request = server.journal().size();
        record(8051, "Heartbeat " + std::to_string(++heartbeat));
        Clock::advance(0.5);
        ASSERT_TRUE(server.waitForRequests(request + 1));
        auto answered = [&] { return sender->inFlight == 0; };
        if (timesOut) {
            ASSERT_TRUE(testsupport::stepClockUntil(BLQHTTPManager::kTimeoutInterval + 1, answered));
        }
        ASSERT_TRUE(RunLoop::main().runUntil(answered, 10));
        failed.insert(request);
        EXPECT_TRUE(allStatuses(Status::unsent));
    };
    // The dropped connection first: the client retries a request once on a connection it reused.
    failOnce(dropped, false);
    failOnce(route("POST", "/v3/logs", 500, "{}"), false);
    failOnce(slow, true);
    failOnce(tooMany, false);
    EXPECT_FALSE(config->isBrindlecueEnabled());  // paused by the 429 answer: stored, not sent
    record(8051, "Heartbeat while paused");
    Clock::advance(2);
    record(8051, "Heartbeat " + std::to_string(++heartbeat));
    ASSERT_TRUE(sendAfter(0.5, 5));
    EXPECT_EQ(logs->count("UserEvent: failed to send UserEvents, error: "), 4u);

    // Every event reached the server in exactly one answered post: the last one, with all.
    auto counts = delivered([&](size_t i) { return failed.count(i) > 0; });
    auto events = stored();
    ASSERT_EQ(events.size(), 6u);
    for (const auto& e : events) EXPECT_EQ(counts[*e->id], 1) << *e->message;
    EXPECT_EQ(counts.size(), 6u);
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
    // The threads record in rounds: each records a chunk of events and waits for the next round.
    // A round's chunks are on disk before the clock moves on and their upload starts, and the
    // threads record the next chunks while that upload waits for its answer. So every round's
    // upload carries its round's events, whatever the machine's load: the answered and the failed
    // uploads alternate as the routes do, and the events of every third round fail once.
    std::atomic<int> recording{kThreads};
    std::atomic<int> chunksDone{0};
    std::atomic<int> round{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            int myRound = 0;
            for (int i = 0; i < kPerThread; ++i) {
                // Distinct messages: no event is a duplicate of another.
                const std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
                manager->sendUserEventWithCode(codes[i % 5], name,
                                               Value::dictionary({{"feed_id", name}, {"status", 1}}));
                if (i % kChunk == kChunk - 1) {
                    ++chunksDone;
                    for (int seen; (seen = round.load()) == myRound;) round.wait(seen);
                    ++myRound;
                }
            }
            --recording;
        });
    auto release = [&] {
        ++round;
        round.notify_all();
    };

    auto unsent = [&] {
        for (const auto& e : stored())
            if (e->status != Status::sent) return true;
        return false;
    };
    constexpr int kRecordingRounds = kPerThread / kChunk;
    bool inStep = true;
    int rounds = 0;
    while (inStep && (recording > 0 || unsent()) && rounds < 600) {
        if (rounds < kRecordingRounds) {
            inStep = RunLoop::main().runUntil([&] { return chunksDone == kThreads * (rounds + 1); }, 30);
            EXPECT_TRUE(inStep) << "the threads did not record round " << rounds;
        } else {
            // The threads end once released from their last round; after that only a failed
            // batch can be left, and it waits for the next trigger: give it one. With nothing
            // left, no upload follows.
            inStep = RunLoop::main().runUntil([&] { return recording == 0; }, 30);
            EXPECT_TRUE(inStep) << "the threads did not end";
            if (!inStep || !unsent()) break;
            manager->sendAllUnsent();
        }
        // The round's events are stored and their upload is due once the clock moves on.
        testsupport::settleConfigStore();
        // The store may hand the last event's completion, which schedules the upload 0.5 s on,
        // to the manager after the clock has moved: the clock moves on in steps until the upload
        // has begun, and no further, so that it cannot time out.
        const int uploads = sender->uploads;
        inStep = inStep && testsupport::stepClockUntil(0.5, [&] { return sender->uploads > uploads; }, 30);
        EXPECT_TRUE(inStep) << "round " << rounds << " started no upload";
        // The threads record the next round while the upload waits for its answer; the clock
        // stays still until the answer is in, so that no upload times out.
        release();
        RunLoop::main().runUntil([&] { return sender->inFlight == 0; }, 30);
        ++rounds;
    }
    round = 1 << 30;
    round.notify_all();
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(inStep);

    auto events = stored();
    ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kPerThread));
    std::set<std::string> messages;
    for (const auto& e : events) {
        messages.insert(*e->message);
        EXPECT_EQ(e->status, Status::sent) << *e->message;
    }
    EXPECT_EQ(messages.size(), events.size());  // each stored once

    size_t failedRecords = 0;
    for (size_t i = 2; i < server.journal().size(); i += 3) failedRecords += records(i).size();
    // Failed uploads carried events, which went again: a third of the rounds' at least.
    EXPECT_GE(failedRecords, static_cast<size_t>(kThreads * kChunk * (kRecordingRounds / 3)));
    auto counts = delivered([](size_t i) { return i % 3 == 2; });
    EXPECT_EQ(counts.size(), events.size());
    for (const auto& e : events) EXPECT_EQ(counts[*e->id], 1) << *e->message;
}

}  // namespace
}  // namespace brindlecue
