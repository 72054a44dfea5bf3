#include "events/BLQUserEventManager.h"

#include <gtest/gtest.h>

#include <mutex>

#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQSessionManager.h"
#include "network/BLQHTTPRequestError.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/DictionaryTransformer.h"
#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Value;
using EventPtr = std::shared_ptr<BLQUserEventDTO>;
using Status = BLQUserEventStatus;

class EventConfig final : public testsupport::StubConfigManager {
public:
    std::vector<int64_t> getDisabledUserEventCodes() const override { return locked(disabled); }
    std::vector<int64_t> getPriorityUserEventCodes() const override { return locked(priority); }
    bool isBrindlecueEnabled() const override { return locked(enabled); }
    std::optional<std::string> getSDKVersion() const override { return std::string("3.0.3"); }

    template <class T>
    void set(T& field, T value) {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }
    std::vector<int64_t> disabled;
    std::vector<int64_t> priority{8102, 8104, 8103, 8051, 8999, 8997, 8998, 8200, 8201, 8050};
    bool enabled = true;

private:
    template <class T>
    T locked(const T& field) const {
        std::lock_guard lock(mutex_);
        return field;
    }
    mutable std::mutex mutex_;
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
        std::lock_guard lock(mutex_);
        batches_.push_back({events, std::move(success), std::move(failure)});
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return batches_.size();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        batches_.clear();
    }
    Batch batch(size_t i) const {
        std::lock_guard lock(mutex_);
        return batches_.at(i);
    }

private:
    mutable std::mutex mutex_;
    std::vector<Batch> batches_;
};

class UserEventManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        DictionaryTransformer::registerDictionaryTransformer();
        std::make_shared<BLQCoreDataInstallDataStore>(context)->createInstallForAppKey(
            "key-1", [&](BLQIInstallDataStore::CreateResult r) { install = std::get<std::shared_ptr<BLQInstallDTO>>(r); });
        settle();
        sessionStore->createSessionForInstall(install, [](BLQISessionDataStore::CreateResult) {});
        details->setAppKey("key-1");
        settle();
        manager = makeManager();
    }
    void TearDown() override {
        settle();
        sender->clear();  // the held callbacks hold the manager
    }

    std::shared_ptr<BLQUserEventManager> makeManager() {
        return std::make_shared<BLQUserEventManager>(
            store, std::make_shared<BLQSessionManager>(sessionStore, details),
            std::make_shared<BLQUserEventDeduperManager>(std::vector<std::shared_ptr<BLQIUserEventDeduper>>{
                std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
                std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()}),
            config, sender,
            std::vector<std::shared_ptr<BLQISendConditionVerifier>>{
                std::make_shared<BLQDisabledCodeSendConditionVerifier>(config),
                std::make_shared<BLQPriorityCodeSendConditionVerifier>(config)});
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
        return platform::RunLoop::main().runUntil([&] { return sender->count() >= batches; }, expected ? 5 : 0.3);
    }
    // Every stored event, in the order they were created.
    std::vector<EventPtr> stored() {
        settle();
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
    std::vector<Status> statuses() {
        std::vector<Status> out;
        for (const auto& e : stored()) out.push_back(e->status);
        return out;
    }
    static std::vector<std::string> messages(const std::vector<EventPtr>& events) {
        std::vector<std::string> out;
        for (const auto& e : events) out.push_back(e->message.value_or("-"));
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs = testsupport::RecordingLoggerManager::install();
    std::shared_ptr<platform::ManagedObjectContext> context = BLQCoreData::sharedInstance().backgroundContext();
    std::shared_ptr<BLQCoreDataUserEventDataStore> store = std::make_shared<BLQCoreDataUserEventDataStore>(context);
    std::shared_ptr<BLQCoreDataSessionDataStore> sessionStore = std::make_shared<BLQCoreDataSessionDataStore>(context);
    std::shared_ptr<testsupport::SettableAppDetails> details = std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<EventConfig> config = std::make_shared<EventConfig>();
    std::shared_ptr<HeldSender> sender = std::make_shared<HeldSender>();
    std::shared_ptr<BLQInstallDTO> install;
    std::shared_ptr<BLQUserEventManager> manager;
};

TEST_F(UserEventManagerTest, AFeedResultSendsEveryUnsentEventHalfASecondAfterItAndAFailureKeepsThem) {
    for (const char* page : {"Home", "Cart", "Profile"}) {
        record(8108, page);
        Clock::advance(0.2);
    }
    EXPECT_EQ(sender->count(), 0u);  // page enters ask for no upload
    record(8201, "Feed result: f1", Value::dictionary({{"feed_id", "f1"}, {"status", 1}}));
    EXPECT_FALSE(advanceUntilBatch(0.4, 1, false));
    ASSERT_TRUE(advanceUntilBatch(0.1, 1));
    auto first = sender->batch(0);
    EXPECT_EQ(messages(first.events), (std::vector<std::string>{"Home", "Cart", "Profile", "Feed result: f1"}));
    EXPECT_EQ(statuses(), std::vector<Status>(4, Status::sending));
    ASSERT_TRUE(first.events[0]->session);
    EXPECT_EQ(first.events[3]->details, Value::dictionary({{"feed_id", "f1"}, {"status", 1}}));
    EXPECT_EQ(first.events[0]->sdkVersion, "3.0.3");

    first.failure(BLQHTTPRequestError::unknownError("UserEvent: Error occurred. Response code: 500").toError());
    EXPECT_EQ(statuses(), std::vector<Status>(4, Status::unsent));
    EXPECT_TRUE(logs->contains("UserEvent: failed to send UserEvents, error: UserEvent: Error occurred. Response code: 500", 5));

    // The next trigger carries them with itself; a success marks exactly those sent.
    record(8051, "Heartbeat");
    ASSERT_TRUE(advanceUntilBatch(0.5, 2));
    auto second = sender->batch(1);
    EXPECT_EQ(second.events.size(), 5u);
    second.success(Value::dictionary(), *platform::URL::fromString("http://h/v3/logs"));
    EXPECT_EQ(statuses(), std::vector<Status>(5, Status::sent));
    EXPECT_TRUE(logs->contains("UserEvent: successfully sent UserEvents", 2));

    // A burst of triggers gives one upload, half a second after the last.
    record(8051, "Heartbeat");
    Clock::advance(0.3);
    record(8051, "Heartbeat");
    EXPECT_FALSE(advanceUntilBatch(0.3, 3, false));
    ASSERT_TRUE(advanceUntilBatch(0.2, 3));
    EXPECT_EQ(sender->batch(2).events.size(), 2u);
    EXPECT_FALSE(advanceUntilBatch(1.0, 4, false));
}

TEST_F(UserEventManagerTest, DuplicatesAndDisabledCodesAreStoredButNeverSent) {
    record(8108, "Home");
    Clock::advance(0.5);
    record(8108, "Home");  // within a second of its twin
    config->set(config->disabled, std::vector<int64_t>{8201});
    record(8201, "Feed result: f1", Value::dictionary({{"feed_id", "f1"}}));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::unsent, Status::deduped, Status::disabled}));
    EXPECT_TRUE(logs->count("UserEvent: Deduping with code 8108, saving to DB as 'deduped' status. Full object: "));
    EXPECT_TRUE(logs->count("UserEvent: Disabled code: 8201 - disabling this UserEvent instead of sending: "));

    // The disabled event still asked for the upload, which carries the one event left.
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events), std::vector<std::string>{"Home"});
    sender->batch(0).success(Value::dictionary(), *platform::URL::fromString("http://h/v3/logs"));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::sent, Status::deduped, Status::disabled}));

    // Nothing left: the next trigger uploads an empty batch.
    config->set(config->disabled, std::vector<int64_t>{8201, 8051});
    record(8051, "Heartbeat");
    ASSERT_TRUE(advanceUntilBatch(0.5, 2));
    EXPECT_TRUE(sender->batch(1).events.empty());
}

TEST_F(UserEventManagerTest, WhileTheLibraryIsOffEventsWaitAndTheirCodesAreCheckedWhenTheyLeave) {
    config->set(config->enabled, false);
    record(8108, "Home");
    record(8108, "Home");     // not judged while off
    record(8104, "App to BG.");  // a priority code
    record(8052, "Client version changed");
    EXPECT_FALSE(advanceUntilBatch(1.0, 1, false));
    EXPECT_TRUE(logs->contains("UserEvent: SDK is disabled, aborting send to server", 2));
    EXPECT_EQ(statuses(), std::vector<Status>(4, Status::unsent));

    // Back on, with 8052 disabled meanwhile: the batch leaves out the disabled event and, as
    // judged at upload, the repeated page enter.
    config->set(config->enabled, true);
    config->set(config->disabled, std::vector<int64_t>{8052});
    record(8200, "Ack feed: f1");
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events), (std::vector<std::string>{"Home", "App to BG.", "Ack feed: f1"}));
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::sending, Status::deduped, Status::sending, Status::disabled,
                                               Status::sending}));
    // The outcome is the uploaded events' only: the duplicate stays deduped.
    sender->batch(0).failure(BLQHTTPRequestError::invalidURL("UserEvent: No installId found").toError());
    EXPECT_EQ(statuses(), (std::vector<Status>{Status::unsent, Status::deduped, Status::unsent, Status::disabled,
                                               Status::unsent}));
}

TEST_F(UserEventManagerTest, EventsWithoutASessionJoinTheNextOpenSession) {
    details->setAppKey(std::nullopt);  // no app key: no session
    record(8200, "Ack feed: f1");
    EXPECT_FALSE(advanceUntilBatch(1.0, 1, false));
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_FALSE(stored()[0]->session);

    details->setAppKey("key-1");
    record(8200, "Ack feed: f2");
    ASSERT_TRUE(advanceUntilBatch(0.5, 1));
    EXPECT_EQ(messages(sender->batch(0).events), (std::vector<std::string>{"Ack feed: f1", "Ack feed: f2"}));
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

    // The process ends here, mid-upload. The next run's manager makes the events unsent again.
    manager = makeManager();
    EXPECT_EQ(statuses(), std::vector<Status>(20, Status::unsent));
    EXPECT_TRUE(logs->contains("UserEvent: 20 UserEvents left being sent are unsent again", 2));
}

TEST_F(UserEventManagerTest, ErrorEventsCarryTheirContentAndUnknownCodesAreDropped) {
    manager->sendUserEventErrorWithMessage("Disk full", "while saving a tip");
    manager->sendUserEventWithCode(8106, "no such code", Value());
    auto events = stored();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->code, BLQUserEventCode::error);
    EXPECT_EQ(events[0]->message, "Disk full");
    EXPECT_EQ(events[0]->details, Value::dictionary({{"message", "Disk full"}, {"description", "while saving a tip"}}));
    EXPECT_TRUE(logs->contains("UserEvent: Unknown code: 8106, the UserEvent is not recorded", 4));
    EXPECT_TRUE(logs->count("UserEvent: Saving with code 9103. Full object: "));
}

}  // namespace
}  // namespace brindlecue
