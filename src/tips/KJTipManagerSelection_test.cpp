#include "foundation/BLQDateUtils.h"
#include "tips/KJStoredCampaigns.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

const char* kFailingRepeat = R"([{"type": "seen_count", "op": "less_than", "value": 0}])";
const char* kGoldPlan = R"([{"type": "string", "op": "eq", "tag": "plan", "value": "gold"}])";

TEST_F(TipEngineTest, OnlyTheLastPageCampaignOfTheListCompetesAfterTheDefaultDelay) {
    store({{.id = "first", .priority = 1}, {.id = "last", .priority = 5}});
    makeEngine();
    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented("last") != nullptr; }));
    EXPECT_DOUBLE_EQ(controllers.of("last")[0]->createdAt, 1.0);
    EXPECT_TRUE(controllers.of("first").empty());
}

// In preview mode every preview campaign of the screen competes: the lowest priority shows,
// wherever it stands in the list.
TEST_F(TipEngineTest, InPreviewModeTheScreensCampaignOfLowestPriorityShows) {
    std::vector<std::shared_ptr<KJTipSeriesElement>> drafts;
    for (const CampaignSpec& spec : {CampaignSpec{.id = "late", .priority = 7, .preview = true},
                                     CampaignSpec{.id = "first", .priority = 2, .preview = true},
                                     CampaignSpec{.id = "middle", .priority = 4, .preview = true},
                                     CampaignSpec{.id = "elsewhere", .priority = 1, .preview = true,
                                                  .steps = {{.view = "CartViewController"}}}}) {
        auto series = engine->parseTipSeriesFromFeed(feed(spec), false);
        ASSERT_TRUE(series);
        ASSERT_EQ(series->seriesAuthorMode, "PREVIEW");
        // A campaign made from a feed record has no expiry of its own; a stored one has.
        series->expiry = blqParseDate(Value(spec.expires));
        drafts.push_back(series);
    }
    // A stored campaign of the screen with a lower priority is not a preview campaign.
    store({{.id = "live", .priority = 0}});
    makeEngine();
    engine->purgeDuplicateInfiniteCampaign(drafts);
    enterPreviewMode();

    showScreen(home, Value::dictionary({{"delay", 0.0}}));
    ASSERT_TRUE(settle([&] { return !controllers.made.empty(); }));
    settle([] { return false; }, 2.0);
    ASSERT_EQ(controllers.made.size(), 1u);
    EXPECT_EQ(controllers.made[0]->tip()->feed_id, "first");
    EXPECT_TRUE(log->contains("Guides: 5 tips come from non-polling", 2));
    EXPECT_TRUE(log->contains("Guides: 3 Valid tips for the screen", 2));
}

TEST_F(TipEngineTest, AnOnDemandCampaignLastInTheListDoesNotKeepTheScreensCampaignFromShowing) {
    store({{.id = "page", .priority = 1}, {.id = "help", .trigger = "on-demand", .priority = 5}});
    makeEngine();
    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented("page") != nullptr; }));
    EXPECT_TRUE(controllers.of("help").empty()) << "an on-demand guide waits to be asked for";
}

TEST_F(TipEngineTest, ARepeatFailureEndsTheWalkWhileATriggerFailureSkipsTheCampaign) {
    store({{.id = "repeat", .repeat = kFailingRepeat},
           {.id = "gold", .triggers = kGoldPlan},
           {.id = "click", .trigger = "click"},
           {.id = "page"}});
    makeEngine();

    engine->displayCachedTips({live("repeat"), live("page")}, home, 0);
    engine->displayCachedTips({live("gold"), live("click"), live("page")}, home, 0);
    settle([&] { return !controllers.made.empty(); }, 1.0);
    EXPECT_EQ(triggers->hooked, std::vector<std::string>{"click"});
    ASSERT_EQ(controllers.made.size(), 1u);
    EXPECT_EQ(controllers.made[0]->tip()->feed_id, "page");

    facade->triggers->passingTags.insert("plan");
    engine->displayCachedTips({live("gold"), live("page")}, home, 0);
    ASSERT_TRUE(settle([&] { return !controllers.of("gold").empty(); }));
}

TEST_F(TipEngineTest, TheScreenGetsItsFaqWidgetOrItsPendingOnDemandGuide) {
    store({{.id = "faq",
            .tool = "fab",
            .trigger = "floating-action-button",
            .steps = {{.tool = "fab", .extra = R"(, "title": {"text": "Questions"})"}}},
           {.id = "page"}});
    makeEngine();
    showScreen(home);
    ASSERT_EQ(widgets->layouts.size(), 1u);
    EXPECT_NE(widgets->layouts[0][0].find("floating-action-button"), std::string::npos);
    EXPECT_NE(widgets->layouts[0][1].find("Questions"), std::string::npos);
    EXPECT_EQ(widgets->layouts[0][2], "faq");
    EXPECT_EQ(widgets->layouts[0][3], "c-faq");
    EXPECT_EQ(widgets->layouts[0][4], "false");

    // A pending on-demand guide is shown instead of the screen's campaigns.
    engine->setOnDemandGuideId("c-guide");
    showScreen(home);
    EXPECT_EQ(triggers->onDemand, std::vector<std::string>{"c-guide"});
    settle([&] { return controllers.made.size() > 1; }, 3.0);
    EXPECT_EQ(controllers.of("page").size(), 1u);
}

// A screen without a widget of its own gets the widget of the screen last reported current.
TEST_F(TipEngineTest, TheCurrentScreensWidgetIsLaidOutForAScreenWithoutOne) {
    store({{.id = "faq",
            .tool = "fab",
            .trigger = "floating-action-button",
            .steps = {{.tool = "fab", .extra = R"(, "title": {"text": "Questions"})"}}}});
    makeEngine();
    engine->setCustomerCurrentVC(home);
    showScreen(cart);
    ASSERT_EQ(widgets->layouts.size(), 1u);
    EXPECT_EQ(widgets->layouts[0][2], "faq");
    engine->setCustomerCurrentVC(cart);
    showScreen(cart);
    EXPECT_EQ(widgets->layouts.size(), 1u) << "neither screen has one";
}

// A tour that waits for a click resumes on its next screen by being hooked there, not shown.
TEST_F(TipEngineTest, ATourThatWaitsForAClickIsHookedOnTheScreenItResumesOn) {
    store({{.id = "trip",
            .tool = "tour",
            .trigger = "click",
            .steps = {{.cta = "app://cart"}, {.view = "CartViewController", .cta = "app://pay"}, {.view = "CartViewController"}}}});
    makeEngine();
    engine->showTip(live("trip")->arrayTips.at(0), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("trip") != nullptr; }));
    controllers.presented("trip")->next(true, false);
    ASSERT_EQ(engine->multipleTourSeries(), live("trip"));
    ASSERT_EQ(engine->multipleTourIndex(), 1);

    window->setRootViewController(cart);
    showScreen(cart);
    EXPECT_EQ(triggers->hooked, std::vector<std::string>{"trip"});
    EXPECT_FALSE(engine->multipleTourSeries());
    settle([] { return false; }, 2.0);
    EXPECT_EQ(controllers.of("trip").size(), 1u);
}

TEST_F(TipEngineTest, AMultiPageTourResumesFromItsLastShownStepWithinThirtySeconds) {
    store({{.id = "tour", .tool = "tour", .steps = {{}, {}, {}, {.view = "CartViewController"}}}});
    makeEngine();
    ASSERT_TRUE(live("tour")->isMultipageTour);
    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented("tour") != nullptr; }));
    EXPECT_EQ(engine->shownTipIndex("tour"), 0);

    // The tip went without an answer; the screen comes on view again.
    controllers.presented("tour")->dismissTipWithRemoveCoverView(true, true, nullptr);
    engine->setCurrentDisplayedTipFeedID("");
    showScreen(home);
    ASSERT_TRUE(settle(
        [&] { return controllers.of("tour").size() == 2 && controllers.of("tour")[1]->isPresented(); }));
    EXPECT_EQ(controllers.of("tour")[1]->tip()->suid, "s1");
    EXPECT_EQ(engine->shownTipIndex("tour"), 1);

    controllers.of("tour")[1]->dismissTipWithRemoveCoverView(true, true, nullptr);
    engine->setCurrentDisplayedTipFeedID("");
    Clock::advance(31);
    showScreen(home);
    EXPECT_TRUE(log->contains("Guides: Not Showing the tip - Tip expired 30 sec timeout", 2));
    EXPECT_FALSE(engine->shownTipIndex("tour"));
    EXPECT_FALSE(engine->lastShownTime("tour"));
}

TEST_F(TipEngineTest, TheStoredListFollowsTheMomentsItsCampaignsStartAndStop) {
    // The clock starts at 2026-01-01T00:00:00Z.
    store({{.id = "now"},
           {.id = "soon", .activates = "2026-01-01T00:01:00.000Z"},
           {.id = "ending", .expires = "2026-01-01T00:02:00.000Z"}});
    KJStoredCampaigns stored;
    auto ids = [&] {
        std::set<std::string> out;
        for (const auto& series : *stored.campaigns().list) out.insert(series->feed_id.value_or("?"));
        return out;
    };
    EXPECT_EQ(ids(), (std::set<std::string>{"ending", "now"}));
    EXPECT_EQ(ids(), (std::set<std::string>{"ending", "now"}));
    Clock::advance(61);
    EXPECT_EQ(ids(), (std::set<std::string>{"ending", "now", "soon"}));
    Clock::advance(60);
    EXPECT_EQ(ids(), (std::set<std::string>{"now", "soon"}));

    // A read the clock overtook before its next question: the next question reads again.
    stored.invalidate();
    EXPECT_EQ(ids(), (std::set<std::string>{"now", "soon"}));
    store({{.id = "later", .activates = "2026-01-01T00:03:00.000Z"}});
    stored.invalidate();
    EXPECT_EQ(ids(), (std::set<std::string>{"now", "soon"}));
    Clock::advance(60);
    EXPECT_EQ(ids(), (std::set<std::string>{"later", "now", "soon"}));
}

}  // namespace
}  // namespace brindlecue::tipscene
