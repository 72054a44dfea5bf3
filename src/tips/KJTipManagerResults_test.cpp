#include "platform/uikit/UIAlertController.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

// The step's dismissal settings as the presentation layer's record keeps them.
class DismissSettings final : public KJTipBaseElement {
public:
    Value document;
    Value valueForKey(std::string_view key) const override { return document[std::string(key)]; }
};

class StepResultsTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        KJElementClass::registerFactories(KJTipElement::kDismissClassName,
                                          {[](const Value& v) -> std::shared_ptr<KJTipBaseElement> {
                                               auto settings = std::make_shared<DismissSettings>();
                                               settings->document = v;
                                               return settings;
                                           },
                                           nullptr});
    }
    void TearDown() override {
        KJElementClass::registerFactories(KJTipElement::kDismissClassName, {});
        TipEngineTest::TearDown();
    }

    std::shared_ptr<RecordingTipController> current() const {
        return std::static_pointer_cast<RecordingTipController>(engine->currentTipViewController());
    }
    // Waits until the step of the campaign is the tip on screen.
    bool onScreen(const std::string& feedId, const std::string& suid) {
        return settle([&] {
            auto c = current();
            return c && c->isPresented() && c->tip()->feed_id == feedId && c->tip()->suid == suid;
        });
    }
    void show(const std::string& feedId) { engine->showTip(live(feedId)->arrayTips.at(0), home, nullptr, 0, false); }
};

TEST_F(StepResultsTest, CloseRejectsTheCampaignAndOffersTheScreensNextCampaign) {
    store({{.id = "two",
            .steps = {{.extra = R"(, "buttons": {"dismiss": {"dialogTitle": "Sure?", "dismissB1": "Leave",
                                                             "dismissB2": "Stay"}})"},
                      {}}},
           {.id = "next", .priority = 2}});
    makeEngine();
    show("two");
    ASSERT_TRUE(onScreen("two", "s0"));
    auto first = current();
    first->close(true);

    // The step asked for a dialog: the close leaves the step's one report to its answer.
    EXPECT_TRUE(facade->results.empty());
    EXPECT_EQ(first->dismissals, 1);
    EXPECT_FALSE(live("two"));
    EXPECT_TRUE(triggers->unhooked.empty());
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "");
    ASSERT_TRUE(onScreen("next", "s0"));

    // Its second button keeps the campaign's row: rejected without deletion, and nothing else.
    EXPECT_EQ(controllers.dialogTitle, "Sure?");
    EXPECT_EQ(controllers.dialogButtons, (std::vector<std::string>{"Leave", "Stay"}));
    controllers.dialogHandler(1);
    EXPECT_EQ(facade->results,
              (std::vector<FeedResult>{{"two", "c-two", BLQFeedResult::rejected, "s0", false, false}}));
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "next")
        << "the answer leaves the next tip's feed id alone";

    current()->close(true);
    EXPECT_EQ(facade->results.back(), (FeedResult{"next", "c-next", BLQFeedResult::rejected, "s0", true, true}));
    EXPECT_FALSE(KJDBManager::sharedInstance()->findTipSeriesByFeedId("next"));
}

TEST_F(StepResultsTest, ACloseDialogThatCannotBeAnsweredLeavesTheReportToTheClose) {
    store(
        {{.id = "bare", .steps = {{.extra = R"(, "buttons": {"dismiss": {"dialogTitle": "Bye"}})"}}},
         {.id = "last",
          .priority = 0,
          .steps = {
              {.extra = R"(, "buttons": {"dismiss": {"dialogContent": "Again?", "dismissB2": "Never"}})"}}}});
    makeEngine();
    show("bare");
    ASSERT_TRUE(onScreen("bare", "s0"));
    current()->close(true);
    EXPECT_EQ(facade->results,
              (std::vector<FeedResult>{{"bare", "c-bare", BLQFeedResult::rejected, "s0", true, true}}));
    EXPECT_EQ(controllers.dialogTitle, "Bye");
    EXPECT_TRUE(controllers.dialogButtons.empty());

    // A lone second button is the index-0 answer: rejected with deletion, completed on the last step.
    ASSERT_TRUE(onScreen("last", "s0"));
    current()->close(true);
    EXPECT_EQ(facade->results.size(), 1u);
    controllers.dialogHandler(0);
    EXPECT_EQ(facade->results.back(),
              (FeedResult{"last", "c-last", BLQFeedResult::rejected, "s0", true, true}));
    EXPECT_EQ(facade->results.size(), 2u);
}

TEST_F(StepResultsTest, NextAndPreviousWalkATourAndTheLastNextAcceptsIt) {
    store({{.id = "tour", .tool = "tour", .steps = {{}, {}, {}}},
           {.id = "slides",
            .tool = "carousel",
            .priority = 0,
            .steps = {{.tool = "carousel", .extra = R"(, "carousel": {"items": [{}, {}, {}]})"}}}});
    makeEngine();
    showScreen(home);
    ASSERT_TRUE(onScreen("tour", "s0"));
    current()->next(true, false);
    EXPECT_EQ(engine->multipleTourSeries(), live("tour"));
    EXPECT_EQ(engine->multipleTourIndex(), 1);
    ASSERT_TRUE(onScreen("tour", "s1"));
    engine->coachmarkClicked();
    ASSERT_TRUE(onScreen("tour", "s2"));

    current()->previous(true, false);
    EXPECT_EQ(engine->shownTipIndex("tour"), 0);
    ASSERT_TRUE(onScreen("tour", "s1"));
    current()->next(true, false);
    ASSERT_TRUE(onScreen("tour", "s2"));
    current()->next(true, false);

    EXPECT_EQ(facade->results, (std::vector<FeedResult>{{"tour", "c-tour", BLQFeedResult::next, "s0", false, false},
                                                        {"tour", "c-tour", BLQFeedResult::next, "s1", false, false},
                                                        {"tour", "c-tour", BLQFeedResult::previous, "s2", false, false},
                                                        {"tour", "c-tour", BLQFeedResult::next, "s1", false, false},
                                                        {"tour", "c-tour", BLQFeedResult::accepted, "s2", true, true}}));
    EXPECT_FALSE(live("tour"));
    EXPECT_EQ(engine->multipleTourIndex(), 0);
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "");

    // The screen's next campaign follows; the last next of a carousel names its last item.
    ASSERT_TRUE(onScreen("slides", "s0"));
    current()->next(true, false);
    EXPECT_EQ(facade->results.back(), (FeedResult{"slides", "c-slides", BLQFeedResult::accepted, "2", true, true}));
}

TEST_F(StepResultsTest, ATourStepThatLeadsElsewhereIsResumedOnTheNextScreen) {
    store({{.id = "trip",
            .tool = "tour",
            .steps = {{.cta = "app://cart"}, {.view = "CartViewController", .cta = "app://pay"}, {.view = "CartViewController"}}}});
    makeEngine();
    UIApplication::sharedApplication()->setCanOpenScheme("app", true);
    showScreen(home);
    ASSERT_TRUE(onScreen("trip", "s0"));
    current()->next(true, true);
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs().back(), "app://cart");
    EXPECT_EQ(engine->multipleTourIndex(), 1);

    window->setRootViewController(cart);
    engine->setCustomerCurrentVC(cart);
    const double arrived = Clock::uptime();
    showScreen(cart);
    EXPECT_FALSE(engine->multipleTourSeries());
    ASSERT_TRUE(onScreen("trip", "s1"));
    EXPECT_DOUBLE_EQ(current()->createdAt - arrived, 1.0);
}

// The last step's next, asked with its action: its link is opened when the app can open it, and
// nothing else follows; an on-demand guide named instead is shown; without either, the screen's
// next campaign is offered.
TEST_F(StepResultsTest, TheLastStepsActionOpensItsLinkOrItsGuideInsteadOfTheNextCampaign) {
    store({{.id = "link", .steps = {{.cta = "app://offers"}}},
           {.id = "guide", .steps = {{.extra = R"(, "buttons": {"next": {"text": "Help", "on-demand": "c-help"}})"}}},
           {.id = "closed", .steps = {{.cta = "nowhere://x"}}},
           {.id = "page", .priority = 2}});
    makeEngine();
    auto app = UIApplication::sharedApplication();
    app->setCanOpenScheme("app", true);
    const size_t opened = app->openedURLs().size();

    show("link");
    ASSERT_TRUE(onScreen("link", "s0"));
    current()->next(true, true);
    ASSERT_EQ(app->openedURLs().size(), opened + 1);
    EXPECT_EQ(app->openedURLs().back(), "app://offers");
    EXPECT_EQ(facade->results.back(), (FeedResult{"link", "c-link", BLQFeedResult::accepted, "s0", true, true}));
    settle([] { return false; }, 2.0);
    EXPECT_TRUE(controllers.of("page").empty()) << "the link is the step's end";

    show("guide");
    ASSERT_TRUE(onScreen("guide", "s0"));
    current()->next(true, true);
    EXPECT_EQ(triggers->onDemand, std::vector<std::string>{"c-help"});
    settle([] { return false; }, 2.0);
    EXPECT_TRUE(controllers.of("page").empty());

    show("closed");
    ASSERT_TRUE(onScreen("closed", "s0"));
    current()->next(true, true);
    EXPECT_EQ(app->openedURLs().size(), opened + 1) << "a link the app cannot open is not opened";
    settle([] { return false; }, 2.0);
    EXPECT_TRUE(controllers.of("page").empty());

    show("page");
    ASSERT_TRUE(onScreen("page", "s0"));
    current()->next(true, true);
    EXPECT_EQ(facade->results.back(), (FeedResult{"page", "c-page", BLQFeedResult::accepted, "s0", true, true}));
    EXPECT_FALSE(live("page"));
}

// A screen going away takes its tip with it, silently; a tip of another screen stays.
TEST_F(StepResultsTest, AScreenThatGoesTakesItsTipAlong) {
    store({{.id = "a"}});
    makeEngine();
    show("a");
    ASSERT_TRUE(onScreen("a", "s0"));
    auto tip = current();
    engine->forceDismissTipForViewController(cart);
    EXPECT_EQ(tip->dismissals, 0);
    engine->forceDismissTipForViewController(home);
    EXPECT_EQ(tip->dismissals, 1);
    EXPECT_FALSE(tip->next) << "its buttons reach nothing";
    EXPECT_FALSE(tip->close);
    EXPECT_TRUE(facade->results.empty());
}

// A step that lost its campaign finds it again by an equal step; one that cannot is only dismissed.
TEST_F(StepResultsTest, AStepThatLostItsCampaignFindsItAgain) {
    store({{.id = "two", .steps = {{}, {}}}});
    makeEngine();
    show("two");
    ASSERT_TRUE(onScreen("two", "s0"));
    auto step = current()->tip();
    step->series.reset();
    current()->next(true, false);
    EXPECT_EQ(step->series.lock(), live("two"));
    EXPECT_EQ(facade->results.back(), (FeedResult{"two", "c-two", BLQFeedResult::next, "s0", false, false}));
    ASSERT_TRUE(onScreen("two", "s1"));

    // Its campaign gone from the live list as well: nothing to find, nothing reported.
    auto tip = current();
    auto second = tip->tip();
    engine->removeTipSeries(live("two"));
    second->series.reset();
    const size_t reported = facade->results.size();
    tip->next(true, false);
    EXPECT_FALSE(second->series.lock());
    EXPECT_EQ(facade->results.size(), reported);
    EXPECT_EQ(tip->dismissals, 1);
}

TEST_F(StepResultsTest, AnOutsideTapPostponesAndEndsTheCampaign) {
    store({{.id = "click", .trigger = "click"}, {.id = "page", .priority = 2}});
    makeEngine();
    show("click");
    ASSERT_TRUE(onScreen("click", "s0"));
    current()->outside(true);
    EXPECT_EQ(facade->results, (std::vector<FeedResult>{{"click", "c-click", BLQFeedResult::postponed, "s0", true, false}}));
    EXPECT_EQ(triggers->unhooked, std::vector<std::string>{"click"});
    EXPECT_FALSE(live("click"));
    EXPECT_TRUE(onScreen("page", "s0"));
}

TEST_F(StepResultsTest, NothingIsReportedInPreviewMode) {
    store({{.id = "a", .steps = {{}, {}}}});
    makeEngine();
    enterPreviewMode();
    show("a");
    ASSERT_TRUE(onScreen("a", "s0"));
    auto tip = current();
    tip->next(true, false);
    tip->close(true);
    tip->outside(true);
    EXPECT_TRUE(facade->results.empty());
    EXPECT_EQ(facade->previewMode->states, std::vector<int64_t>{0});

    // Going back from the first step, the author is told how to get the tip back.
    show("a");
    ASSERT_TRUE(onScreen("a", "s0"));
    current()->previous(true, false);
    settle([&] { return home->presentedViewController() != nullptr; }, 1.0);
    auto alert = std::dynamic_pointer_cast<UIAlertController>(home->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Brindlecue Preview dismiss");
    EXPECT_TRUE(facade->results.empty());
}

}  // namespace
}  // namespace brindlecue::tipscene
