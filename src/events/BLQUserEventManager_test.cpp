#include "events/BLQUserEventManager.h"

#include <gtest/gtest.h>

#include <future>

#include <mutex>

#include "network/BLQHTTPRequestError.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/DictionaryTransformer.h"
#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"
#include "support/StubConfigManager.h"
#include "support/UserEventPipeline.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Value;
using EventPtr = std::shared_ptr<BLQUserEventDTO>;
using Status = BLQUserEventStatus;

class EventConfig final : public testsupport::StubConfigManager {
public:
    std::vector<int64_t> getDisabledUserEventCodes() const override {
        std::lock_guard lock(mutex_);
        return disabled_;
    }
    bool isBrindlecueEnabled() const override {
        std::lock_guard lock(mutex_);
        return enabled_;
    }
    std::vector<int64_t> getPriorityUserEventCodes() const override { return {8051, 8104, 8200, 8201}; }
    std::optional<std::string> getSDKVersion() const override { return std::string("3.0.3"); }
    void set(std::vector<int64_t> disabled, bool enabled = true) {
        std::lock_guard lock(mutex_);
        disabled_ = std::move(disabled), enabled_ = enabled;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int64_t> disabled_;
    bool enabled_ = true;
};

// Keeps every batch it is given and answers when the test says so.
class HeldSender final : public BLQIUserEventSender {
public:
    struct Batch {
        std::vector<EventPtr> events;
        BLQRequestSuccessBlock success;
        BLQRequestFailureBlock failure;
    };
    void uploadUserEvents(const std::vector<EventPtr>& events, BLQRequestSuccessBlock success,
                          BLQRequestFailureBlock failure) override {
        std::lock_guard lock(mutex);
        batches.push_back({events, std::move(success), std::move(failure)});
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return batches.size();
    }
    Batch batch(size_t i) {
        std::lock_guard lock(mutex);
        return batches.at(i);
    }
    std::mutex mutex;
    std::vector<Batch> batches;
};

class UserEventManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        DictionaryTransformer::registerDictionaryTransformer();
        std::make_shared<BLQCoreDataInstallDataStore>(context)->createInstallForAppKey(
            "key-1", [&](BLQIInstallDataStore::CreateResult r) {
                install = std::get<std::shared_ptr<BLQInstallDTO>>(r);
            });
        settle();
        sessionStore->createSessionForInstall(install, [](BLQISessionDataStore::CreateResult) {});
        details->setAppKey("key-1");
        manager = makeManager();
        settle();
    }
    void TearDown() override {
        settle();
        std::lock_guard lock(sender->mutex);
        sender->batches.clear();  // the held callbacks hold the manager
    }
    std::shared_ptr<BLQUserEventManager> makeManager() {
        return testsupport::makeUserEventManager(store, sessionStore, details, config, sender);
    }

    // Lets queued store work and the saves it asked for run.
    void settle() {
        for (int i = 0; i < 3; ++i) context->performAndWait([] {});
        platform::RunLoop::main().runUntilIdle();
    }
    void record(int64_t code, const std::string& message, Value details = Value()) {
        manager->sendUserEventWithCode(code, message, details);
        settle();
    }
    // Moves the clock on and waits for the sender to have been handed the given number of
    // batches; a batch that is not to come is waited for briefly.
    bool advanceUntilBatch(double seconds, size_t batches, bool expected = true) {
        Clock::advance(seconds);
        return platform::RunLoop::main().runUntil([&] { return sender->count() >= batches; },
                                                  expected ? 5 : 0.3);
    }
    std::vector<Status> statuses() {
        settle();
        std::vector<Status> out;
        for (const auto& e : testsupport::storedUserEvents(store)) out.push_back(e->status);
        return out;
    }
    static std::vector<std::string> messages(const std::vector<EventPtr>& events) {
        std::vector<std::string> out;
        for (const auto& e : events) out.push_back(e->message.value_or("-"));
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<platform::ManagedObjectContext> context =
        BLQCoreData::sharedInstance().backgroundContext();
    std::shared_ptr<BLQCoreDataUserEventDataStore> store =
        std::make_shared<BLQCoreDataUserEventDataStore>(context);
    std::shared_ptr<BLQCoreDataSessionDataStore> sessionStore =
        std::make_shared<BLQCoreDataSessionDataStore>(context);
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<EventConfig> config = std::make_shared<EventConfig>();
    std::shared_ptr<HeldSender> sender = std::make_shared<HeldSender>();
    std::shared_ptr<BLQInstallDTO> install;
    std::shared_ptr<BLQUserEventManager> manager;
};

TEST_F(UserEventManagerTest, ABurstOfTriggersGivesOneUploadHalfASecondAfterTheLast) {
    record(8108, "Home");  // asks for no upload
    record(8051, "Heartbeat");
    Clock::advance(0.3);
    record(8051, "Heartbeat");
    EXPECT_FALSE(advanceUntilBatch(0.3, 1, false));
    ASSERT_TRUE(advanceUntilBatch(0.2, 1));
    EXPECT_EQ(messages(sender->batch(0).events),
              (std::vector<std::string>{"Home", "Heartbeat", "Heartbeat"}));
    EXPECT_EQ(statuses(), std::vector<Status>(3, Status::sending));
    EXPECT_FALSE(advanceUntilBatch(1.0, 2, false));

    sender->batch(0).success(Value::dictionary(), *platform::URL::fromString("http://h/v3/logs"));
    EXPECT_EQ(statuses(), std::vector<Status>(3, Status::sent));
}

TEST_F(UserEventManagerTest, DuplicatesAndDisabledCodesAreStoredButNeverSent) {
    record(8108, "Home");
    Clock::advance(0.5);
    record(8108, "Home");  // within a second of its twin
    config->set({8201});
    record(8201, "Feed result: f1", Value::dictionary({{"feed_id", "f1"}}));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::unsent, Status::deduped, Status::disabled}));
    EXPECT_TRUE(
        logs->count("UserEvent: Deduping with code 8108, saving to DB as 'deduped' status. Full object: "));
    EXPECT_TRUE(
        logs->count("UserEvent: Disabled code: 8201 - disabling this UserEvent instead of sending: "));

    // The disabled event still asked for the upload, which carries the one event left.
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events), std::vector<std::string>{"Home"});
    sender->batch(0).success(Value::dictionary(), *platform::URL::fromString("http://h/v3/logs"));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::sent, Status::deduped, Status::disabled}));

    // Nothing left: the next trigger uploads an empty batch.
    config->set({8201, 8051});
    record(8051, "Heartbeat");
    ASSERT_TRUE(advanceUntilBatch(0.5, 2));
    EXPECT_TRUE(sender->batch(1).events.empty());
}

TEST_F(UserEventManagerTest, TheSameTargetErrorSecondsApartIsUploadedOnce) {
    const Value details = Value::dictionary({{"feed_id", "f1"},
                                             {"step_id", "s1"},
                                             {"status", "error"},
                                             {"complete", false},
                                             {"error_content", "failed to find target"}});
    record(8201, "Feed result with error: f1", details);
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(sender->batch(0).events.size(), 1u);
    sender->batch(0).success(Value::dictionary(), *platform::URL::fromString("http://h/v3/logs"));

    Clock::advance(5);
    record(8201, "Feed result with error: f1", details);
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::sent, Status::deduped}));
    EXPECT_FALSE(advanceUntilBatch(1.0, 2, false));  // a duplicate asks for no upload
    record(8051, "Heartbeat");
    ASSERT_TRUE(advanceUntilBatch(0.5, 2));
    EXPECT_EQ(messages(sender->batch(1).events), std::vector<std::string>{"Heartbeat"});
}

TEST_F(UserEventManagerTest, WhileTheLibraryIsOffEventsWaitAndTheirCodesAreCheckedWhenTheyLeave) {
    config->set({}, false);
    record(8108, "Home");
    record(8108, "Home");        // not judged while off
    record(8104, "App to BG.");  // a priority code
    record(8052, "Client version changed");
    EXPECT_FALSE(advanceUntilBatch(1.0, 1, false));
    EXPECT_TRUE(logs->contains("UserEvent: SDK is disabled, aborting send to server", 2));
    EXPECT_EQ(statuses(), std::vector<Status>(4, Status::unsent));

    // Back on, with 8052 disabled meanwhile: the batch leaves out the disabled event and, as
    // judged at upload, the repeated page enter.
    config->set({8052});
    record(8200, "Ack feed: f1");
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events),
              (std::vector<std::string>{"Home", "App to BG.", "Ack feed: f1"}));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::sending, Status::deduped, Status::sending,
                                               Status::disabled, Status::sending}));
    // The outcome is the uploaded events' only: the duplicate stays deduped.
    sender->batch(0).failure(BLQHTTPRequestError::invalidURL("UserEvent: No installId found").toError());
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::unsent, Status::deduped, Status::unsent,
                                               Status::disabled, Status::unsent}));
}

TEST_F(UserEventManagerTest, EventsWithoutASessionJoinTheNextOpenSession) {
    details->setAppKey(std::nullopt);  // no app key: no session
    record(8200, "Ack feed: f1");
    EXPECT_FALSE(advanceUntilBatch(1.0, 1, false));
    settle();
    auto events = testsupport::storedUserEvents(store);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0]->session);

    details->setAppKey("key-1");
    record(8200, "Ack feed: f2");
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events), (std::vector<std::string>{"Ack feed: f1", "Ack feed: f2"}));
}

TEST_F(UserEventManagerTest, AnEventKeepsTheSessionItHappenedInThoughItClosesBeforeTheEventIsStored) {
    auto sessions = std::make_shared<BLQSessionManager>(sessionStore, details);
    manager = testsupport::makeUserEventManager(store, sessionStore, details, config, sender, sessions);
    settle();
    ASSERT_NE(sessions->getCurrentSession(), nullptr);

    // The app goes to the background: its events are recorded and its session closed while the
    // store's queue is still busy.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    context->perform([released] { released.wait(); });
    manager->sendUserEventWithCode(8104, "App to BG.", Value());
    sessions->closeCurrentSession();
    release.set_value();
    settle();

    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    auto batch = sender->batch(0).events;
    EXPECT_EQ(messages(batch), std::vector<std::string>{"App to BG."});
    ASSERT_EQ(batch.size(), 1u);
    EXPECT_NE(batch[0]->session, nullptr);
}

TEST_F(UserEventManagerTest, EachEventLeavesInOneBatchAndMarksOfAnEndedRunAreUndoneAtStart) {
    for (int i = 0; i < 20; ++i) manager->sendUserEventWithCode(8052, "e" + std::to_string(i), Value());
    settle();
    // Two sends right after another: the second finds nothing the first has taken.
    manager->sendAllUnsent();
    manager->sendAllUnsent();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return sender->count() == 2; }, 5));
    EXPECT_EQ(sender->batch(0).events.size() + sender->batch(1).events.size(), 20u);
    EXPECT_EQ(statuses(), std::vector<Status>(20, Status::sending));

    // The process ends here, mid-upload. The next run's manager makes the events unsent again
    // before its first upload takes any, and that upload carries all of them.
    manager = makeManager();
    manager->sendAllUnsent();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return sender->count() == 3; }, 5));
    EXPECT_EQ(sender->batch(2).events.size(), 20u);
    EXPECT_EQ(statuses(), std::vector<Status>(20, Status::sending));
    EXPECT_TRUE(logs->contains("UserEvent: 20 UserEvents left being sent are unsent again", 2));

}

}  // namespace
}  // namespace brindlecue
