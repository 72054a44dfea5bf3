#include "events/BLQUserEventDeduperManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/BLQSessionDTO.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQViewEnterDeduper.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {
namespace {

using platform::Date;
using platform::Value;
using EventPtr = std::shared_ptr<BLQUserEventDTO>;

constexpr double kStart = 1767225600.0;

class DeduperManagerTest : public ::testing::Test {
protected:
    // An event of the session created at the given second after the start.
    EventPtr event(BLQUserEventCode code, double at, std::optional<std::string> message = "Home",
                   int64_t session = 1, Value details = Value()) {
        auto sessionRecord = session ? std::make_shared<BLQSessionDTO>(session, std::nullopt, std::nullopt,
                                                                       nullptr, std::nullopt)
                                     : nullptr;
        return std::make_shared<BLQUserEventDTO>("e" + std::to_string(++count), code, std::move(details),
                                                 std::move(message), BLQUserEventStatus::unsent, nullptr,
                                                 std::move(sessionRecord), "3.0.3",
                                                 Date::fromTimeIntervalSince1970(kStart + at), std::nullopt);
    }
    EventPtr tagIncrement(double at, const std::string& key, const std::string& value) {
        auto e = event(BLQUserEventCode::tagIncremented, at, "Tag incremented");
        e->tag = std::make_shared<BLQTagDTO>(key, value);
        return e;
    }
    EventPtr feedError(double at, const std::string& status, const std::string& content) {
        return event(BLQUserEventCode::feedResult, at, "Feed result with error: f1", 1,
                     Value::dictionary({{"feed_id", "f1"},
                                        {"complete", false},
                                        {"error_content", content},
                                        {"status", status},
                                        {"step_id", "s1"}}));
    }
    // The same event as the store hands it out again for an upload: another record, the same id.
    static EventPtr reloaded(const EventPtr& e) {
        auto copy = std::make_shared<BLQUserEventDTO>(*e);
        copy->status = BLQUserEventStatus::sending;
        return copy;
    }

    std::atomic<int> count{0};
    BLQUserEventDeduperManager manager{std::vector<std::shared_ptr<BLQIUserEventDeduper>>{
        std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
        std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()}};
};

TEST_F(DeduperManagerTest, APageEventRepeatsOnlyAKeptTwinOfTheSameSessionUpToOneSecondBefore) {
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0)));
    auto twin = event(BLQUserEventCode::pageEnter, 0.8);
    EXPECT_TRUE(manager.shouldDedupe(twin));
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0.85, "Cart")));    // another page
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageExit, 0.9)));              // another code
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0.9, "Home", 0)));  // no session
    twin->status = BLQUserEventStatus::deduped;  // seen through the shared record
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 1.2)));  // 1.2 s after the kept one
    EXPECT_TRUE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 2.2)));   // exactly 1.0 s
    // Absent names are one name; an absent and a present one are not.
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageExit, 10, std::nullopt)));
    EXPECT_TRUE(manager.shouldDedupe(event(BLQUserEventCode::pageExit, 10.5, std::nullopt)));
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageExit, 10.6, "")));
    // Codes without a deduper are neither judged nor remembered.
    size_t before = manager.rememberedCount(1);
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::heartbeat, 11)));
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::heartbeat, 11)));
    EXPECT_EQ(manager.rememberedCount(1), before);
}

TEST_F(DeduperManagerTest, AnEarlierEventAskedAgainAtUploadIsNoDuplicateOfALaterOne) {
    // Both kept at intake, 60 s apart; uploaded together, neither is dropped.
    auto first = event(BLQUserEventCode::pageEnter, 0);
    auto second = event(BLQUserEventCode::pageEnter, 60);
    EXPECT_FALSE(manager.shouldDedupe(first));
    EXPECT_FALSE(manager.shouldDedupe(second));
    EXPECT_FALSE(manager.shouldDedupe(reloaded(first)));
    EXPECT_FALSE(manager.shouldDedupe(reloaded(second)));
    // Asked again, an event never matches itself, under the same id or without one; a record
    // without an id still counts against an event with one.
    auto anonymous = event(BLQUserEventCode::pageEnter, 100);
    anonymous->id.reset();
    EXPECT_FALSE(manager.shouldDedupe(anonymous));
    EXPECT_FALSE(manager.shouldDedupe(anonymous));
    EXPECT_TRUE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 100.5)));
}

TEST_F(DeduperManagerTest, TheLatestSessionAndTheOneBeforeItAreRemembered) {
    manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0, "Home", 5));
    manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0, "Home", 6));
    manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0, "Cart", 7));
    EXPECT_EQ(manager.latestSessionId(), 7);
    EXPECT_EQ(manager.rememberedCount(5), 0u);
    EXPECT_EQ(manager.rememberedCount(6), 1u);
    EXPECT_TRUE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0.5, "Home", 6)));
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::pageEnter, 0.5, "Home", 5)));
}

TEST_F(DeduperManagerTest, TagIncrementsAndFeedErrorsHaveTheirOwnTwins) {
    EXPECT_FALSE(manager.shouldDedupe(tagIncrement(0, "visits", "3")));
    EXPECT_FALSE(manager.shouldDedupe(tagIncrement(0.2, "visits", "4")));
    EXPECT_FALSE(
        manager.shouldDedupe(tagIncrement(0.3, "visit", "s3")));  // key and value are not run together
    EXPECT_TRUE(manager.shouldDedupe(tagIncrement(0.5, "visits", "3")));
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::tagIncremented, 0.6)));  // no tag

    const std::string content = "failed to find target in the navigation bar of the checkout screen";
    EXPECT_FALSE(manager.shouldDedupe(feedError(10, "error", content)));
    EXPECT_TRUE(manager.shouldDedupe(feedError(10.4, "error", content + ".")));
    EXPECT_FALSE(manager.shouldDedupe(feedError(10.5, "error", "a wholly different failure reported")));
    EXPECT_FALSE(manager.shouldDedupe(feedError(10.6, "ok", content)));  // only errors repeat
    // An error repeats however far apart in time, and a later one repeats an earlier asked one.
    EXPECT_TRUE(manager.shouldDedupe(feedError(15, "error", content)));
    EXPECT_TRUE(manager.shouldDedupe(feedError(3600, "error", content)));
    EXPECT_TRUE(manager.shouldDedupe(feedError(2, "error", content)));
    // Only kept errors of the same session count.
    EXPECT_FALSE(manager.shouldDedupe(event(BLQUserEventCode::feedResult, 20, "Feed result with error: f1", 2,
                                            feedError(0, "error", content)->details)));
}

// Records the earlier records it is handed, and answers no.
class RecordingDeduper final : public BLQIUserEventDeduper {
public:
    explicit RecordingDeduper(BLQUserEventCode code) : code_(code) {}
    BLQUserEventCode getCode() const override { return code_; }
    bool shouldDedupe(const BLQUserEventDTO&, const std::optional<Records>& previous) const override {
        handed.push_back(previous ? previous->size() : size_t(-1));
        return false;
    }
    std::optional<std::string> twinKey(const BLQUserEventDTO& event) const override {
        return code_ == BLQUserEventCode::pageEnter ? event.message : std::nullopt;
    }
    // As the real ones: a page's twins within a second, a feed error's at any time.
    std::optional<double> twinWindow() const override {
        return code_ == BLQUserEventCode::feedResult ? std::nullopt : std::optional<double>(kTwinWindow);
    }
    mutable std::vector<size_t> handed;

private:
    BLQUserEventCode code_;
};

// The page dedupers' twins are made at most a second before the event, so they are handed only
// those; a feed result's deduper compares texts and is handed every kept record of its code,
// however long ago it was made.
TEST_F(DeduperManagerTest, EachDeduperIsHandedTheRecordsItsRuleCanMatch) {
    auto results = std::make_shared<RecordingDeduper>(BLQUserEventCode::feedResult);
    auto pages = std::make_shared<RecordingDeduper>(BLQUserEventCode::pageEnter);
    BLQUserEventDeduperManager recording({results, pages});
    for (int i = 0; i < 5; ++i) recording.shouldDedupe(feedError(i * 3600.0, "error", "x"));
    recording.shouldDedupe(event(BLQUserEventCode::feedResult, 5, "other", 2));  // another session
    EXPECT_EQ(results->handed, (std::vector<size_t>{size_t(-1), 1, 2, 3, 4, size_t(-1)}));

    for (int i = 0; i < 50; ++i) recording.shouldDedupe(event(BLQUserEventCode::pageEnter, i * 0.25));
    recording.shouldDedupe(event(BLQUserEventCode::pageEnter, 12.3, "Cart"));
    // The events of the last second before each: at most four, and none of another page.
    ASSERT_EQ(pages->handed.size(), 51u);
    EXPECT_EQ(pages->handed[1], 1u);
    EXPECT_EQ(pages->handed[49], 4u);
    EXPECT_EQ(pages->handed[50], 0u);
    EXPECT_EQ(recording.rememberedCount(1), 56u);
}

TEST_F(DeduperManagerTest, TheMemoryTakesQuestionsFromManyThreads) {
    // Four threads, 200 pages each, then each page once more half a second later.
    std::vector<std::thread> threads;
    std::atomic<int> duplicates{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (double at : {0.0, 0.5})
                for (int i = 0; i < 200; ++i)
                    duplicates += manager.shouldDedupe(event(BLQUserEventCode::pageEnter, at + i * 0.001,
                                                             "P" + std::to_string(t * 1000 + i)));
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(duplicates.load(), 800);
    EXPECT_EQ(manager.rememberedCount(1), 1600u);
}

}  // namespace
}  // namespace brindlecue
