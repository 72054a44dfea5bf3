#include "preview/BLQTipCacheManager.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/uikit/UIButton.h"
#include "preview/PreviewScene_test.h"
#include "support/RecordingLoggerManager.h"
#include "widgets/ParseFAQ.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue {
namespace {

using namespace platform;
using namespace previewscene;
using testsupport::RecordingLoggerManager;
using Status = RecordingPreviewMode::Status;
using State = BLQPreviewModeNotificationState;
using SeriesList = std::vector<std::shared_ptr<KJTipSeriesElement>>;

class TipCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        tips->setCustomerCurrentVC(app.home);
    }
    void settle() { RunLoop::main().runUntilIdle(); }
    // As the tip engine posts a new preview campaign.
    void post(SeriesList list) {
        NotificationCenter::defaultCenter().post("QX_Preview_Tips_Updated", nullptr, Value::dictionary(),
                                                 {{"tips", std::make_shared<SeriesList>(std::move(list))}});
        settle();
    }
    // As a screen asks for the cached campaigns again.
    void postInfo(Value userInfo) {
        NotificationCenter::defaultCenter().post("QX_Preview_Tips_Updated", nullptr, std::move(userInfo));
        settle();
    }
    std::vector<Status> statuses() { return previewMode->statuses(); }

    HostApp app;
    std::shared_ptr<RecordingLoggerManager> logs = RecordingLoggerManager::install();
    std::shared_ptr<PreviewTipManager> tips = std::make_shared<PreviewTipManager>();
    std::shared_ptr<RecordingPreviewMode> previewMode = std::make_shared<RecordingPreviewMode>();
    std::shared_ptr<BLQTipCacheManager> cache = std::make_shared<BLQTipCacheManager>(tips, previewMode);
};

TEST_F(TipCacheTest, OneCampaignIsCachedAndNewerVersionsGoInFrontOfTheOld) {
    auto first = campaign("feed-a", 100);
    post({first});
    EXPECT_EQ(cache->cachedTips(), SeriesList{first});
    ASSERT_EQ(tips->shown.size(), 1u);
    EXPECT_EQ(tips->shown[0].step, first->arrayTips[0]);
    EXPECT_EQ(tips->shown[0].controller, app.home);
    EXPECT_EQ(tips->shown[0].delay, 1.0);
    EXPECT_EQ(statuses(), (std::vector<Status>{{State::guideDisplaying, ""}}));

    post({campaign("feed-a", 100)});
    EXPECT_EQ(cache->cachedTips(), SeriesList{first}) << "the same date changes nothing";
    auto newer = campaign("feed-a", 200);
    post({newer});
    EXPECT_EQ(cache->cachedTips(), (SeriesList{newer, first}));
    auto other = campaign("feed-b", 50);
    post({other});
    EXPECT_EQ(cache->cachedTips(), SeriesList{other}) << "another campaign replaces the list";

    // The interface's edits: the list's length appends, negative and past-the-end change nothing.
    cache->replaceCachedTip(1, first);
    EXPECT_EQ(cache->cachedTips(), (SeriesList{other, first}));
    cache->replaceCachedTip(0, newer);
    EXPECT_EQ(cache->cachedTips(), (SeriesList{newer, first}));
    cache->replaceCachedTip(5, other);
    cache->replaceCachedTip(-1, other);
    cache->removeCachedTipAtIndex(2);
    cache->removeCachedTipAtIndex(-1);
    EXPECT_EQ(cache->cachedTips(), (SeriesList{newer, first}));
    cache->removeCachedTip(campaign("feed-a", 200));
    EXPECT_EQ(cache->cachedTips().size(), 2u) << "only the very campaign is removed";
    cache->removeCachedTip(newer);
    cache->removeCachedTipAtIndex(0);
    EXPECT_TRUE(cache->cachedTips().empty());
}

TEST_F(TipCacheTest, ACampaignOfAnotherScreenIsAnnouncedNotShown) {
    post({campaign("feed-a", 1, "CartViewController")});
    const std::vector<Status> announced{
        {State::guideOnAnotherscreen, "Please go to CartViewController to see the Guide"}};
    EXPECT_EQ(statuses(), announced);
    EXPECT_EQ(tips->count("removeFAQLauncher"), 1u);
    EXPECT_TRUE(tips->shown.empty());
    EXPECT_EQ(logs->count("TipsCache: Series element "), 1u);

    auto nowhere = campaign("feed-b", 1);
    nowhere->target = targetOn("");
    post({nowhere});
    EXPECT_EQ(statuses().back(),
              (Status{State::guideOnAnotherscreen, "Please go to other screen to see the Guide"}));
}

// Whether a campaign belongs to the screen is asked again when its turn comes on the main queue:
// a screen that changed meanwhile, or a replay on another screen, announces it instead.
TEST_F(TipCacheTest, AGuideOfAnotherScreenAtItsTurnIsAnnouncedNotShown) {
    NotificationCenter::defaultCenter().post(
        "QX_Preview_Tips_Updated", nullptr, Value::dictionary(),
        {{"tips", std::make_shared<SeriesList>(SeriesList{campaign("feed-a", 1)})}});
    tips->setCustomerCurrentVC(app.cart);
    settle();
    const Status announced{State::guideOnAnotherscreen, "Please go to HomeViewController to see the Guide"};
    EXPECT_EQ(statuses(), std::vector<Status>{announced});
    EXPECT_TRUE(logs->contains("TipsCache: TipSeriesElement does not match current View Controller, switch to next", 2));
    EXPECT_TRUE(tips->shown.empty());
    EXPECT_EQ(cache->cachedTips().size(), 1u) << "still cached for its screen";

    cache->replayCachedPreviewTips();
    settle();
    EXPECT_EQ(statuses(), (std::vector<Status>{announced, announced}));
    EXPECT_TRUE(tips->shown.empty());
    tips->setCustomerCurrentVC(app.home);
    cache->replayCachedPreviewTips();
    settle();
    ASSERT_EQ(tips->shown.size(), 1u);
    EXPECT_EQ(tips->shown[0].controller, app.home);
}

// A cached version without a modification date cannot be compared with a new one: the cache is
// left as it is, and says so.
TEST_F(TipCacheTest, AVersionWithoutAModificationDateIsNotComparedAndKeepsTheCache) {
    auto undated = campaign("feed-a", 1);
    undated->modified.reset();
    cache->setCachedTips({undated});
    post({campaign("feed-a", 500)});
    EXPECT_EQ(cache->cachedTips(), SeriesList{undated});
    EXPECT_EQ(logs->count("TipsCache: Series element "), 1u);
    const auto lines = logs->linesStartingWith("TipsCache: Series element ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].message.find("cannot be compared with the cached one: a modification date is missing"),
              std::string::npos);

    // Another campaign still replaces the list.
    auto other = campaign("feed-b", 2);
    post({other});
    EXPECT_EQ(cache->cachedTips(), SeriesList{other});
}

// With no screen reported current, the tip cache takes the top screen the facade finds.
TEST_F(TipCacheTest, WithoutACurrentScreenATourShowsOnTheTopScreen) {
    auto tour = campaign("feed-a", 1);
    tour->isMultipageTour = true;
    tips->setCustomerCurrentVC(nullptr);
    const int sets = tips->currentSets;
    post({tour});
    EXPECT_TRUE(logs->contains("TipsCache: No current Customer View Controller, aborting removal of button launchers", 2));
    EXPECT_EQ(tips->currentSets, sets + 1);
    EXPECT_EQ(tips->customerCurrentVC(), app.home);
    ASSERT_EQ(tips->shown.size(), 1u);
    EXPECT_EQ(tips->shown[0].controller, app.home);

    // Nor a top screen: nothing is shown, and the author is told where the tour is.
    tips->setCustomerCurrentVC(nullptr);
    app.facade->top.reset();
    auto newer = campaign("feed-a", 2);
    newer->isMultipageTour = true;
    post({newer});
    EXPECT_EQ(tips->shown.size(), 1u);
    EXPECT_EQ(statuses().back(),
              (Status{State::guideOnAnotherscreen, "Please go to HomeViewController to see the Guide"}));
}

TEST_F(TipCacheTest, ScreensAskForTheCacheAgainInEitherShape) {
    postInfo(Value::dictionary({{"tips", "ReshowCache"}}));
    EXPECT_TRUE(statuses().empty()) << "an empty cache offers nothing and says nothing";
    EXPECT_EQ(logs->count("TipsCache"), 0u);
    cache->replayCachedPreviewTips();
    EXPECT_EQ(statuses(), (std::vector<Status>{{State::nothingtodisplay, ""}}));

    postInfo(Value::dictionary());
    EXPECT_TRUE(logs->contains(
        "TipsCache: Received notification for updating preview tips, but handler got nothing to show", 2));

    auto cached = campaign("feed-a", 1);
    cache->setCachedTips({cached});
    postInfo(Value::dictionary({{"tips", "ReshowCache"}}));
    postInfo(Value::dictionary({{"tips", Value::dictionary({{"ReshowCache", true}})}}));
    postInfo(Value::dictionary({{"tips", Value::dictionary({{"ReshowCache", false}})}}));
    postInfo(Value::dictionary({{"tips", Value::array({1, 2})}}));
    EXPECT_EQ(tips->shown.size(), 2u);
    EXPECT_EQ(cache->cachedTips(), SeriesList{cached});

    // The menu's replay starts over at the first step.
    cache->setShowingTipIndex(1);
    cache->replayCachedPreviewTips();
    EXPECT_EQ(cache->showingTipIndex(), 0);
    EXPECT_EQ(tips->shown.back().step, cached->arrayTips[0]);
}

TEST_F(TipCacheTest, TheStepShownFollowsTheChosenStepTheTourAndTheShowingIndex) {
    auto chosen = campaign("feed-a", 1, "HomeViewController", 3);
    chosen->currentPreviewStep = 2;
    post({chosen});
    EXPECT_EQ(tips->shown.back().step, chosen->arrayTips[2]);
    EXPECT_EQ(cache->showingTipIndex(), 2);
    EXPECT_EQ(tips->tourIndex, 2);

    auto plain = campaign("feed-b", 1, "HomeViewController", 3);
    cache->setShowingTipIndex(1);
    post({plain});
    EXPECT_EQ(tips->shown.back().step, plain->arrayTips[1]);

    // A tour replayed on a later screen resumes where the tour is.
    auto tour = campaign("feed-c", 1, "HomeViewController", 3);
    tour->isMultipageTour = true;
    tour->arrayTips[2]->target = targetOn("CartViewController");
    cache->setCachedTips({tour});
    tips->tourIndex = 2;
    postInfo(Value::dictionary({{"tips", "ReshowCache"}}));
    EXPECT_EQ(statuses().back(),
              (Status{State::guideOnAnotherscreen, "Please go to CartViewController to see the Guide"}));
    tips->setCustomerCurrentVC(app.cart);
    const size_t shown = tips->shown.size();
    postInfo(Value::dictionary({{"tips", "ReshowCache"}}));
    ASSERT_EQ(tips->shown.size(), shown + 1);
    EXPECT_EQ(tips->shown.back().step, tour->arrayTips[2]);
    EXPECT_EQ(tips->shown.back().controller, app.cart);
}

TEST_F(TipCacheTest, CampaignsThatCannotBeShownAreSkippedAndLogged) {
    auto beyond = campaign("feed-a", 1);
    beyond->currentPreviewStep = 5;
    auto negative = campaign("feed-b", 1);
    negative->currentPreviewStep = -1;
    auto noTarget = campaign("feed-c", 1);
    noTarget->target.reset();
    auto noDate = campaign("feed-d", 1);
    noDate->modified.reset();
    auto noSteps = campaign("feed-e", 1, "HomeViewController", 0);
    post({beyond, negative, noTarget, noDate, noSteps});
    EXPECT_TRUE(tips->shown.empty());
    EXPECT_TRUE(statuses().empty()) << "nothing claims a guide is displayed";
    EXPECT_EQ(logs->count("TipsCache: Series element "), 5u);
    EXPECT_EQ(cache->cachedTips(), (SeriesList{negative}))
        << "skipped before the cache: no target, date or steps";
}

TEST_F(TipCacheTest, TriggeredAndFloatingButtonCampaignsAreHookedOrLaidOut) {
    auto launcher = UIButton::buttonWithType(UIButtonType::Custom);
    launcher->setTag(888900);
    app.window->addSubview(launcher);

    auto click = campaign("feed-a", 1);
    click->triggerType = 2;
    post({click});
    ASSERT_EQ(tips->hooked.size(), 1u);
    EXPECT_EQ(tips->hooked[0].series, click);
    EXPECT_EQ(tips->hooked[0].controller, app.home);
    EXPECT_EQ(tips->hooked[0].delay, 0);
    EXPECT_TRUE(tips->shown.empty()) << "nothing shows until the author taps the target";
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(logs->count("TipsCache: Removing button launcher: "), 1u);

    auto document = *Value::fromJSON(widgets::ParseFAQ().getDefaultData());
    auto fab = campaign("feed-b", 1, "_ALL_");
    fab->tipType = 7;
    fab->faq = document["payload"][0];
    fab->fab = document["setup"];
    tips->onDemand = "waiting-guide";
    post({fab});
    EXPECT_FALSE(tips->onDemand);
    EXPECT_EQ(statuses().back(),
              (Status{State::noOnDemand, "OnDemand Guides not available during preview mode"}));
    settle();
    EXPECT_NE(app.window->viewWithTag(widgets::ViewTags::fabButton), nullptr);
}

TEST_F(TipCacheTest, ACampaignTheEngineDropsWhileItIsShownDoesNotDisturbTheReplay) {
    auto older = campaign("feed-a", 1);
    auto newer = campaign("feed-a", 2);
    cache->setCachedTips({newer, older});
    tips->onShowTip = [&] {
        if (!cache->cachedTips().empty()) cache->removeCachedTipAtIndex(0);
    };
    cache->replayCachedPreviewTips();
    settle();
    ASSERT_EQ(tips->shown.size(), 2u);
    EXPECT_EQ(tips->shown[0].step, newer->arrayTips[0]);
    EXPECT_EQ(tips->shown[1].step, older->arrayTips[0]);
    EXPECT_TRUE(cache->cachedTips().empty());

    // Taken in on another thread while the main queue reads the list.
    tips->onShowTip = nullptr;
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            NotificationCenter::defaultCenter().post(
                "QX_Preview_Tips_Updated", nullptr, Value::dictionary(),
                {{"tips",
                  std::make_shared<SeriesList>(SeriesList{campaign("feed-" + std::to_string(i), 1)})}});
    });
    for (int i = 0; i < 50; ++i) (void)cache->cachedTips();
    poster.join();
    settle();
    EXPECT_EQ(cache->cachedTips().size(), 1u);
    EXPECT_EQ(cache->cachedTips()[0]->feed_id, "feed-49");
}

TEST(TipCacheLifetime, ACacheThatWentHearsNothing) {
    auto tips = std::make_shared<PreviewTipManager>();
    auto previewMode = std::make_shared<RecordingPreviewMode>();
    std::weak_ptr<BLQTipCacheManager> weak;
    {
        auto cache = std::make_shared<BLQTipCacheManager>(tips, previewMode);
        weak = cache;
    }
    EXPECT_TRUE(weak.expired());
    NotificationCenter::defaultCenter().post(
        "QX_Preview_Tips_Updated", nullptr, Value::dictionary(),
        {{"tips", std::make_shared<SeriesList>(SeriesList{campaign("a", 1)})}});
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(previewMode->statuses().empty());
}

}  // namespace
}  // namespace brindlecue
