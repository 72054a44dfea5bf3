// What the feed manager does with the records of a feed. Fetching and time stamps are shown
// against the sample server (tests/integration/Feed_test.cpp).

#include "feed/BLQFeedManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "feed/KJFeedObject.h"
#include "foundation/BLQFacadeLink.h"
#include "support/RecordingTipManager.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using testing::ElementsAre;

class PruningDelegate final : public BLQIFeedReceivedDelegate {
public:
    void onFeedReceivedSuccessWithResponse(const Value&, const platform::URL&) override {}
    void onFeedReceivedFailureWithError(const platform::Error&) override {}
    void deleteInfiniteGuides() override { ++infiniteDeletions; }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override { kept.push_back(ids); }
    int infiniteDeletions = 0;
    std::vector<std::vector<std::string>> kept;
};

std::shared_ptr<KJFeedObject> record(const char* id) {
    return KJFeedObject::createFromDictionary(Value::dictionary({{"id", id}}));
}

TEST(BLQFeedManager, OnlyACompleteFeedOutsidePreviewModePrunesTheCampaignCache) {
    auto tips = std::make_shared<testsupport::RecordingTipManager>();
    auto delegate = std::make_shared<PruningDelegate>();
    auto manager = std::make_shared<BLQFeedManager>(
        nullptr, std::make_shared<testsupport::StubConfigManager>(), tips, nullptr,
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    manager->setDelegate(delegate);

    manager->processFeeds({record("7"), record("9")}, BLQFeedOrigin::completeFeed);
    manager->processFeeds({}, BLQFeedOrigin::completeFeed);
    manager->processFeeds({record("12")}, BLQFeedOrigin::addedGuide);
    manager->processFeeds({}, BLQFeedOrigin::addedGuide);
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    manager->processFeeds({record("5")}, BLQFeedOrigin::completeFeed);
    BLQFacadeLink::setPreviewModeCheck(nullptr);

    EXPECT_THAT(delegate->kept, ElementsAre(ElementsAre("7", "9")));
    EXPECT_EQ(delegate->infiniteDeletions, 1);
    // Every list reaches the tip engine, the empty ones included.
    auto calls = tips->calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].size(), 2u);
    EXPECT_TRUE(calls[1].empty());
    EXPECT_EQ(calls[2].at(0)->feed_id(), "12");
}

}  // namespace
}  // namespace brindlecue
