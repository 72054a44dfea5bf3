#include "feed/KJTipSeriesElement.h"

#include <gtest/gtest.h>

#include "feed/BLQITipTargetElement.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipElement.h"
#include "platform/dispatch/Clock.h"
#include "storage/KJDBManager.h"
#include "support/FakeTipElements.h"

namespace brindlecue {
namespace {

using platform::Value;

Value parse(const std::string& text) {
    return Value::fromJSON(text).value_or(Value());
}

// A row of the campaign cache with the setup and payload given.
std::shared_ptr<KJTipSeriesElement> campaign(
    const std::string& setup, const std::string& payload = R"([{"meta": {"tool": "tip", "view": "Home"}}])") {
    Value row = parse(R"({"seriesAuthorMode": "CAMPAIGN", "feed_id": "f1", "campaignid": "c1", "modified": "",
        "priority": 4, "repeat_conditions": "{\"repeat_conditions\": [{\"type\": \"seen_count\"}]}"})");
    row.set("setup", parse(setup));
    row.set("payload", parse(payload));
    return KJTipSeriesElement::createFromFeed(row);
}

class KJTipSeriesElementTest : public testing::Test {
protected:
    testsupport::ScopedFakeTipElements fakes;
};

TEST_F(KJTipSeriesElementTest, ARowBecomesACampaignWithItsSetupAndSteps) {
    auto series = campaign(
        R"({"tool": "tour", "view": "Home", "display": ["dom", "feed", "other"],
                              "launcher": {"type": "button", "id": "launch"}})",
        R"([{"meta": {"tool": "tour", "view": "Home"}}, 7, {"meta": {"tool": "tour", "view": "Cart"}}])");
    ASSERT_TRUE(series);
    EXPECT_EQ(series->tipType, 1);
    EXPECT_EQ(series->tipDisplayType, 5);
    EXPECT_EQ(series->triggerType, 3);
    EXPECT_EQ(series->launcher->valueForKey("id"), Value("launch"));
    EXPECT_EQ(series->priority, 4);
    EXPECT_FALSE(series->modified);  // kept as empty text in the row
    EXPECT_EQ(series->repeat_conditions.at(0)->currentValue, "0");
    ASSERT_EQ(series->arrayTips.size(), 2u);
    EXPECT_EQ(series->arrayTips[1]->campaignid, "c1");
    EXPECT_EQ(series->arrayTips[1]->series.lock(), series);
    EXPECT_TRUE(series->isMultipageTour);

    // Next to a step on every screen, only an action address of the first makes it multi-page.
    auto everywhere = campaign(
        R"({"tool": "tour", "view": "Home", "launcher": {"type": "page-open"}})",
        R"([{"meta": {"tool": "tour", "view": "_ALL_"}}, {"meta": {"tool": "tour", "view": "Cart"}}])");
    EXPECT_FALSE(everywhere->isMultipageTour);
    everywhere->arrayTips[0]->next = std::make_shared<KJTipButtonElement>();
    everywhere->arrayTips[0]->next->actionUrl = "app://cart";
    EXPECT_TRUE(KJTipSeriesElement::isMutiPage(everywhere->arrayTips));

    auto fab = campaign(R"({"tool": "fab", "launcher": {"type": "floating-action-button"}})", "[1]");
    ASSERT_TRUE(fab);
    EXPECT_EQ(fab->target->vcClass(), "_ALL_");
    EXPECT_EQ(fab->triggerType, 1);
    EXPECT_FALSE(fab->launcher);
    EXPECT_TRUE(fab->arrayTips.empty());

    for (const char* refused : {R"({"tool": "modal", "launcher": {"type": "page-open"}})",
                                R"({"tool": "wizard", "view": "Home", "launcher": {"type": "page-open"}})",
                                R"({"tool": "modal", "view": "Home", "launcher": "page-open"})",
                                R"({"tool": "modal", "view": "Home", "launcher": {"type": "shake"}})"}) {
        EXPECT_FALSE(campaign(refused)) << refused;
    }
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
    auto original = KJTipSeriesElement::createFromFeed(cache->setupFeedsDictionaryFromFeedObject(*feed));
    ASSERT_TRUE(original);
    ASSERT_TRUE(cache->saveMultipleTipSeries({feed}));

    auto stored = cache->findAllCampaignFeeds();
    ASSERT_EQ(stored.size(), 1u);
    auto back = std::dynamic_pointer_cast<KJTipSeriesElement>(stored[0]);
    EXPECT_TRUE(back->isEqual(original.get()));
    EXPECT_EQ(back->modified, feed->modified());

    // The stored form reads back equal too; a changed property or a missing launcher is a difference.
    auto copy = KJTipSeriesElement::deserializeFromDictionary(original->serializeToDictionary());
    EXPECT_TRUE(copy->isEqual(original.get()));
    copy->priority = 3;
    EXPECT_FALSE(copy->isEqual(original.get()));
    copy->priority = original->priority;
    copy->launcher = nullptr;
    EXPECT_FALSE(copy->isEqual(original.get()));

    // Without a launcher on either side the launchers do not stand in the way; one on one side only does.
    auto fab = campaign(R"({"tool": "fab", "launcher": {"type": "floating-action-button"}})", "[1]");
    ASSERT_TRUE(fab);
    ASSERT_FALSE(fab->launcher);
    auto fabCopy = KJTipSeriesElement::deserializeFromDictionary(fab->serializeToDictionary());
    EXPECT_FALSE(fabCopy->launcher);
    EXPECT_TRUE(fabCopy->isEqual(fab.get()));
    EXPECT_TRUE(fab->isEqual(fabCopy.get()));
    fabCopy->launcher = original->launcher;
    EXPECT_FALSE(fabCopy->isEqual(fab.get()));
    EXPECT_FALSE(fab->isEqual(fabCopy.get()));
}

}  // namespace
}  // namespace brindlecue
