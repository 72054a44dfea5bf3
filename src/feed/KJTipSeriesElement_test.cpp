#include "feed/KJTipSeriesElement.h"

#include <gtest/gtest.h>

#include "feed/FeedValidatorService.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipElement.h"
#include "foundation/KJLog.h"
#include "platform/dispatch/Clock.h"
#include "storage/KJDBManager.h"
#include "support/FakeTipElements.h"
#include "targeting/BLQITipTargetElement.h"

namespace brindlecue {
namespace {

using platform::Value;

Value parse(const std::string& text) {
    auto v = Value::fromJSON(text);
    EXPECT_TRUE(v) << text;
    return v.value_or(Value());
}

// A row of the campaign cache with the setup and payload given.
Value row(const std::string& setup,
          const std::string& payload = R"([{"meta": {"tool": "tip", "view": "Home"}}])") {
    Value r = parse(R"({"seriesAuthorMode": "CAMPAIGN", "feed_id": "f1", "campaignid": "c1", "modified": "",
        "expires": "", "priority": 4, "current_preview_step": 1,
        "repeat_conditions": "{\"repeat_conditions\": [{\"type\": \"seen_count\", \"value\": \"2\"}]}"})");
    r.set("setup", parse(setup));
    r.set("payload", parse(payload));
    return r;
}

class KJTipSeriesElementTest : public testing::Test {
protected:
    testsupport::ScopedFakeTipElements fakes;
};

TEST_F(KJTipSeriesElementTest, ARowBecomesACampaignWithItsSetupAndSteps) {
    auto series = KJTipSeriesElement::createFromFeed(row(
        R"({"tool": "tour", "view": "Home", "display": ["dom", "feed", "other"],
               "launcher": {"type": "button", "id": "launch"}})",
        R"([{"meta": {"tool": "tour", "view": "Home"}}, 7, {"meta": {"tool": "tour", "view": "Cart"}}])"));
    ASSERT_TRUE(series);
    EXPECT_EQ(series->tipType, 1);
    EXPECT_EQ(series->tipDisplayType, 5);
    EXPECT_EQ(series->triggerType, 3);
    ASSERT_TRUE(series->launcher);
    EXPECT_EQ(series->launcher->valueForKey("id"), Value("launch"));
    EXPECT_EQ(series->target->vcClass(), "Home");
    EXPECT_EQ(series->priority, 4);
    EXPECT_EQ(series->currentPreviewStep, 1);
    // A missing date is kept as empty text in the row; the campaign has none.
    EXPECT_FALSE(series->modified);
    EXPECT_FALSE(series->expiry);
    ASSERT_EQ(series->repeat_conditions.size(), 1u);
    EXPECT_EQ(series->repeat_conditions[0]->currentValue, "0");
    EXPECT_TRUE(series->deletion_conditions.empty());
    ASSERT_EQ(series->arrayTips.size(), 2u);
    EXPECT_EQ(series->arrayTips[1]->campaignid, "c1");
    EXPECT_EQ(series->arrayTips[1]->feed_id, "f1");
    EXPECT_EQ(series->arrayTips[1]->series.lock(), series);
    EXPECT_TRUE(series->isMultipageTour);

    auto pageOpen = KJTipSeriesElement::createFromFeed(row(
        R"({"tool": "modal", "view": "Home", "display": ["faq"], "launcher": {"type": "floating-action-button"}})"));
    ASSERT_TRUE(pageOpen);
    EXPECT_EQ(pageOpen->triggerType, 1);
    EXPECT_EQ(pageOpen->tipDisplayType, 2);
    EXPECT_FALSE(pageOpen->launcher);
    EXPECT_FALSE(pageOpen->isMultipageTour);

    auto fab = KJTipSeriesElement::createFromFeed(
        row(R"({"tool": "fab", "launcher": {"type": "page-open"}})", "[1, 2]"));
    ASSERT_TRUE(fab);
    EXPECT_EQ(fab->target->vcClass(), "_ALL_");
    EXPECT_TRUE(fab->arrayTips.empty());

    for (const char* refused : {R"({"tool": "modal", "launcher": {"type": "page-open"}})",
                                R"({"tool": "wizard", "view": "Home", "launcher": {"type": "page-open"}})",
                                R"({"tool": "modal", "view": "Home"})",
                                R"({"tool": "modal", "view": "Home", "launcher": "page-open"})",
                                R"({"tool": "modal", "view": "Home", "launcher": {"type": "shake"}})"}) {
        EXPECT_FALSE(KJTipSeriesElement::createFromFeed(row(refused))) << refused;
    }
}

TEST_F(KJTipSeriesElementTest, StepsOnEveryScreenMakeAMultiPageTourOnlyThroughAnActionAddress) {
    auto steps = [](const std::string& payload) {
        auto series = KJTipSeriesElement::createFromFeed(
            row(R"({"tool": "tour", "view": "Home", "launcher": {"type": "page-open"}})", payload));
        return series ? series->arrayTips : std::vector<std::shared_ptr<KJTipElement>>{};
    };
    EXPECT_FALSE(KJTipSeriesElement::isMutiPage(steps(
        R"([{"meta": {"tool": "tour", "view": "_ALL_"}}, {"meta": {"tool": "tour", "view": "_ALL_"}}])")));
    auto linked =
        steps(R"([{"meta": {"tool": "tour", "view": "_ALL_"}}, {"meta": {"tool": "tour", "view": "Home"}}])");
    ASSERT_EQ(linked.size(), 2u);
    linked[0]->next = std::make_shared<KJTipButtonElement>();
    linked[0]->next->actionUrl = "app://cart";
    EXPECT_TRUE(KJTipSeriesElement::isMutiPage(linked));
    EXPECT_FALSE(KJTipSeriesElement::isMutiPage(steps(
        R"([{"meta": {"tool": "tour", "view": "Home"}}, {"meta": {"tool": "tour", "view": "Home"}}])")));
}

TEST_F(KJTipSeriesElementTest, ACampaignStoredAndReadBackEqualsTheOriginal) {
    platform::Clock::useVirtual();
    auto cache = KJDBManager::sharedInstance();
    cache->setCollaborators({.appKey = [] { return std::optional<std::string>("key-1"); }});
    KJTipSeriesElement::registerWithCampaignCache(*cache);

    auto feed = KJFeedObject::createFromDictionary(parse(R"({"id": 9, "app_key": "key-1", "campaignid": "c9",
        "activates": "2025-12-31T00:00:00.000Z", "expires": "2026-02-01T00:00:00.000Z",
        "modified": "2025-12-30T10:00:00.000Z", "priority": 2,
        "content": {"setup": {"tool": "tip", "view": "Home", "display": ["dom"], "launcher": {"type": "button"}},
                    "payload": [{"meta": {"tool": "tip", "view": "Home"}, "title": {"text": "Hi"}}]}})"));
    ASSERT_TRUE(feed);
    auto original = KJTipSeriesElement::createFromFeed(cache->setupFeedsDictionaryFromFeedObject(*feed));
    ASSERT_TRUE(original);
    ASSERT_TRUE(cache->saveMultipleTipSeries({feed}));

    auto stored = cache->findAllCampaignFeeds();
    ASSERT_EQ(stored.size(), 1u);
    auto back = std::dynamic_pointer_cast<KJTipSeriesElement>(stored[0]);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(original.get()));
    EXPECT_EQ(back->modified, feed->modified());
    EXPECT_EQ(back->feed_id, "9");

    // The stored form reads back equal too; a changed property or a missing launcher is a difference.
    auto copy = KJTipSeriesElement::deserializeFromDictionary(original->serializeToDictionary());
    EXPECT_TRUE(copy->isEqual(original.get()));
    EXPECT_EQ(copy->arrayTips.at(0)->series.lock(), copy);
    copy->priority = 3;
    EXPECT_FALSE(copy->isEqual(original.get()));
    copy->priority = original->priority;
    copy->launcher = nullptr;
    EXPECT_FALSE(copy->isEqual(original.get()));
    EXPECT_FALSE(original->isEqual(copy.get()));
}

TEST(FeedValidatorService, ARowNeedsItsIdsAndASetupWithScreenDisplayAndTool) {
    Value valid =
        parse(R"({"setup": {"view": null, "display": [], "tool": "tip"}, "seriesAuthorMode": "CAMPAIGN",
                            "feed_id": "1", "campaignid": "", "modified": ""})");
    EXPECT_TRUE(FeedValidatorService::isFeedValid(valid));
    for (const char* key : {"seriesAuthorMode", "feed_id", "campaignid", "modified"}) {
        Value without = valid;
        without.remove(key);
        EXPECT_FALSE(FeedValidatorService::isFeedValid(without)) << key;
    }
    Value noView = valid;
    noView.set("setup", parse(R"({"display": [], "tool": "tip"})"));
    EXPECT_FALSE(FeedValidatorService::isFeedValid(noView));
    EXPECT_FALSE(FeedValidatorService::isFeedValid(Value("text")));
}

}  // namespace
}  // namespace brindlecue
