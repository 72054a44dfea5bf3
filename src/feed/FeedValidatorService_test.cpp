#include "feed/FeedValidatorService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "feed/KJFeedObject.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/KJLog.h"
#include "platform/dispatch/Clock.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"
#include "support/FakeTipElements.h"

namespace brindlecue {
namespace {

using platform::Value;

// A row as the campaign cache stores it for a feed item of the tool.
Value storedRow(const std::string& id, const std::string& tool) {
    auto item = Value::fromJSON(R"({"id": ")" + id + R"(", "app_key": "k", "campaignid": "c-)" + id +
                                R"(", "type": "CAMPAIGN", "priority": 1,
        "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
        "modified": "2025-06-01T12:00:00.000Z",
        "content": {"setup": {"tool": ")" + tool + R"(", "view": "Home", "display": ["dom"],
                              "launcher": {"type": "page-open"}},
                    "payload": [{"meta": {"id": "s0", "tool": ")" + tool + R"(", "view": "Home"}}]}})");
    EXPECT_TRUE(item);
    auto feed = KJFeedObject::createFromDictionary(item.value_or(Value()));
    EXPECT_TRUE(feed);
    return KJDBManager::sharedInstance()->setupFeedsDictionaryFromFeedObject(*feed);
}

TEST(FeedValidatorService, ARowNeedsItsIdsKindDateAndASetupNamingViewDisplayAndTool) {
    platform::Clock::useVirtual();
    KJDBManager::sharedInstance()->updateCollaborators(
        [](KJDBManager::Collaborators& c) { c.appKey = [] { return std::optional<std::string>("k"); }; });
    const Value row = storedRow("f1", "modal");
    ASSERT_TRUE(row.isDictionary());
    EXPECT_TRUE(FeedValidatorService::isFeedValid(row));

    for (const char* key : {"setup", "seriesAuthorMode", "feed_id", "campaignid", "modified"}) {
        Value without = row;
        without.remove(key);
        EXPECT_FALSE(FeedValidatorService::isFeedValid(without)) << key;
        // Present but null is present.
        Value nulled = row;
        nulled.set(key, Value::null());
        if (std::string(key) != "setup") {
            EXPECT_TRUE(FeedValidatorService::isFeedValid(nulled)) << key;
        }
    }
    for (const char* key : {"view", "display", "tool"}) {
        Value setup = row["setup"];
        setup.remove(key);
        Value without = row;
        without.set("setup", setup);
        EXPECT_FALSE(FeedValidatorService::isFeedValid(without)) << key;
        EXPECT_TRUE(FeedValidatorService::isPayloadFeedValid(without)) << key;
    }
    Value flatSetup = row;
    flatSetup.set("setup", "modal");
    EXPECT_FALSE(FeedValidatorService::isFeedValid(flatSetup));
    EXPECT_FALSE(FeedValidatorService::isFeedValid(Value::array({row})));
    EXPECT_FALSE(FeedValidatorService::isFeedValid(Value()));
}

// The campaign cache builds no campaign of a row the check refuses, of either kind, and says so.
TEST(FeedValidatorService, TheCampaignCacheSkipsTheRowsItRefuses) {
    platform::Clock::useVirtual();
    auto cache = KJDBManager::sharedInstance();
    cache->updateCollaborators(
        [](KJDBManager::Collaborators& c) { c.appKey = [] { return std::optional<std::string>("k"); }; });
    KJTipSeriesElement::registerWithCampaignCache(*cache);
    testsupport::ScopedFakeTipElements elements;
    std::vector<std::string> log;
    KJLogSetObserver([&](int, const std::string& line) { log.push_back(line); });
    struct Unobserve {
        ~Unobserve() { KJLogSetObserver(nullptr); }
    } unobserve;

    auto store = [&](Value row, const char* missing) {
        if (missing) row.remove(missing);
        ASSERT_TRUE(KJDao::insertATip(cache->archiveDataToBeSaved(row)));
    };
    store(storedRow("good", "modal"), nullptr);
    store(storedRow("undated", "modal"), "modified");
    store(storedRow("nameless", "modal"), "campaignid");
    store(storedRow("widget", "fab"), nullptr);
    store(storedRow("anonymous", "fab"), "campaignid");
    ASSERT_EQ(KJDao::getAllSeries().size(), 5u);

    auto idsOf = [](const KJDBManager::SeriesList& list) {
        std::vector<std::string> ids;
        for (const auto& series : list)
            ids.push_back(std::dynamic_pointer_cast<KJTipSeriesElement>(series)->feed_id.value_or(""));
        return ids;
    };
    auto ids = idsOf(cache->findAllCampaignFeeds());
    EXPECT_THAT(ids, testing::ElementsAre("good"));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Invalid feed parameter"), 2);
    EXPECT_THAT(idsOf(cache->findAllFAQFeeds()), testing::ElementsAre("widget"));
    EXPECT_EQ(std::count(log.begin(), log.end(), "KJDB: Invalid feed parameter missing in feed - setup"), 1);
}

}  // namespace
}  // namespace brindlecue
