#include <atomic>
#include <thread>

#include "platform/UserDefaults.h"
#include "targeting/BLQITargetingAlgorithm.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

std::shared_ptr<KJTipElement> firstStep(const std::shared_ptr<KJTipSeriesElement>& series) {
    return series ? series->arrayTips.at(0) : nullptr;
}

TEST_F(TipEngineTest, AStepWaitsItsDelayButAtLeastTheMinimumExceptACarousel) {
    store({{.id = "slow", .steps = {{.delay = 3}}},
           {.id = "quick"},
           {.id = "carousel", .tool = "carousel", .steps = {{.tool = "carousel"}}}});
    makeEngine();
    for (const char* id : {"slow", "quick", "carousel"}) engine->showTip(firstStep(live(id)), home, nullptr, 1.0, false);
    ASSERT_TRUE(settle([&] { return controllers.made.size() == 3; }));
    EXPECT_DOUBLE_EQ(controllers.of("carousel").at(0)->createdAt, 0.0);
    EXPECT_DOUBLE_EQ(controllers.of("quick").at(0)->createdAt, 1.0);
    EXPECT_DOUBLE_EQ(controllers.of("slow").at(0)->createdAt, 3.0);
    EXPECT_EQ(controllers.kinds[0], BLQTipViewControllerKind::modal);
}

TEST_F(TipEngineTest, ASecondTipWaitsUntilTheFirstHasLeftTheScreen) {
    store({{.id = "a"}, {.id = "b", .priority = 2}});
    makeEngine();
    engine->showTip(firstStep(live("a")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("a") != nullptr; }));
    engine->showTip(firstStep(live("b")), home, nullptr, 0, false);
    settle([] { return false; }, 5.0);
    ASSERT_EQ(controllers.of("b").size(), 1u);
    EXPECT_FALSE(controllers.of("b")[0]->isPresented());
    EXPECT_EQ(engine->currentTipViewController(), controllers.presented("a"));

    auto first = controllers.presented("a");
    first->dismissTipWithRemoveCoverView(true, true, nullptr);
    ASSERT_TRUE(settle([&] { return controllers.presented("b") != nullptr; }));
    EXPECT_EQ(engine->currentTipViewController(), controllers.presented("b"));
    // A late dismissal of the first tip leaves the second current.
    first->dismissed();
    EXPECT_EQ(engine->currentTipViewController(), controllers.presented("b"));
}

// The worker waits, up to its bound, for the cover to be in a window holding the tip, looking every
// half second; with the bound at 0, as from start-up, it does not wait.
TEST_F(TipEngineTest, ThePresentingWorkerWaitsForTheCoverToComeOnScreenUpToItsBound) {
    store({{.id = "hidden"}, {.id = "shown", .priority = 2}, {.id = "after", .priority = 3}});
    makeEngine();
    const std::string waiting = "Guides: waitingForTipsShownTimeInterval - ";
    auto waits = [&] {
        std::vector<double> seconds;
        for (const auto& line : log->linesStartingWith(waiting)) seconds.push_back(std::stod(line.message.substr(waiting.size())));
        return seconds;
    };
    auto lockIsFree = [&] {
        auto lock = engine->singleTipLock();
        if (!lock->try_lock()) return false;
        lock->unlock();
        return true;
    };
    // The worker of the campaign's n-th presentation has taken the lock (it logs that it displays
    // the tip once it holds it) and let go of it again.
    auto workerDone = [&](size_t n) {
        return [&, n] { return log->count("Guides: displaying tip: hidden ") == n && lockIsFree(); };
    };

    // No bound: a cover that never reaches a window is not waited for.
    controllers.nextOutcome = RecordingTipController::Outcome::offWindow;
    engine->showTip(firstStep(live("hidden")), home, nullptr, 0, false);
    ASSERT_TRUE(settle(workerDone(1)));
    EXPECT_TRUE(waits().empty());

    // With a bound, a cover that holds the tip outside every window is waited for until the bound
    // has passed; then the worker lets go.
    engine->setAutoDismissedTimeIntervalForTesting(2.0);
    engine->showTip(firstStep(live("hidden")), home, nullptr, 0, false);
    ASSERT_TRUE(settle(workerDone(2)));
    const auto seconds = waits();
    ASSERT_FALSE(seconds.empty());
    EXPECT_LE(seconds.size(), 4u);
    EXPECT_GE(seconds.back(), 2.0);
    for (size_t i = 0; i < seconds.size(); ++i) {
        EXPECT_GE(seconds[i], 0.5 * static_cast<double>(i + 1)) << i;
        if (i + 1 < seconds.size()) {
            EXPECT_LT(seconds[i], 2.0) << i;
        }
    }

    // A tip that comes on screen at once ends the wait at once.
    controllers.nextOutcome = RecordingTipController::Outcome::show;
    engine->showTip(firstStep(live("shown")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("shown") != nullptr; }));
    controllers.presented("shown")->dismissTipWithRemoveCoverView(true, true, nullptr);
    ASSERT_TRUE(settle(lockIsFree));
    EXPECT_EQ(waits().size(), seconds.size());
}

// Asked for on another thread, the dismissal of the tip on screen runs on the main queue, and the
// caller's completion after it.
TEST_F(TipEngineTest, ADismissalAskedForOffTheMainThreadRunsOnTheMainQueue) {
    store({{.id = "a"}});
    makeEngine();
    engine->showTip(firstStep(live("a")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("a") != nullptr; }));
    auto tip = controllers.presented("a");

    std::atomic<int> completions = 0;
    std::atomic<bool> completedOnMain = false;
    std::thread caller([&] {
        engine->dismissAShowingTipWithCompletion([&] {
            completedOnMain = isMainThread();
            ++completions;
        });
    });
    caller.join();
    EXPECT_EQ(tip->dismissals, 0) << "not on the caller's thread";
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(tip->dismissals, 1);
    EXPECT_FALSE(tip->dismissedOffTheMainThread);
    EXPECT_EQ(completions.load(), 1);
    EXPECT_TRUE(completedOnMain.load());
    EXPECT_EQ(tip->coverView()->superview(), nullptr);
    EXPECT_FALSE(tip->next) << "the step's buttons reach nothing once it is being dismissed";
}

TEST_F(TipEngineTest, AStepAskedForTwiceBeforeItShowsIsShownOnce) {
    // The screen comes on view and the feed arrives: both ask for the screen's campaign before it
    // shows. The user answers it; it does not come back.
    store({{.id = "welcome"}});
    makeEngine();
    auto presented = [&] {
        size_t count = 0;
        for (const auto& c : controllers.of("welcome")) count += c->isPresented();
        return count;
    };
    showScreen(home);
    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented("welcome") != nullptr; }));
    auto step = controllers.presented("welcome")->tip();
    controllers.presented("welcome")->next(true, true);
    settle([] { return false; }, 5.0);
    EXPECT_EQ(presented(), 1u);
    EXPECT_EQ(log->count("Guides: Step s0 of welcome was presented since it was asked for."), 1u);

    // Asked for after it showed, the same step shows again.
    engine->showTip(step, home, nullptr, 0, false);
    EXPECT_TRUE(settle([&] { return presented() == 2; }));
}

TEST_F(TipEngineTest, InPreviewModeTooAStepAskedForTwiceBeforeItShowsIsShownOnce) {
    store({{.id = "draft"}});
    makeEngine();
    enterPreviewMode();
    auto step = firstStep(live("draft"));
    engine->showTip(step, home, nullptr, 1.0, false);
    engine->showTip(step, home, nullptr, 1.0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("draft") != nullptr; }));
    settle([] { return false; }, 3.0);
    size_t presented = 0;
    for (const auto& c : controllers.of("draft")) presented += c->isPresented();
    EXPECT_EQ(presented, 1u);
}

TEST_F(TipEngineTest, APopTipWithoutItsTargetIsReportedAndTheScreenMovesOn) {
    store({{.id = "pop", .tool = "tip", .steps = {{.tool = "tip", .target = "missingButton"}}},
           {.id = "tour", .tool = "tour", .priority = 2, .steps = {{.tool = "tip", .target = "missingButton"}, {}}},
           {.id = "next", .priority = 3},
           {.id = "spot", .tool = "tip", .priority = 4, .steps = {{.tool = "tip", .target = "point_50%_50%"}}}});
    makeEngine();

    engine->showTip(firstStep(live("pop")), home, nullptr, 0, false);
    settle([&] { return failures() == 1; });
    ASSERT_EQ(facade->errors.size(), 1u);
    EXPECT_EQ(facade->errors[0], (std::vector<std::string>{"pop", "c-pop", "tip", "s0",
                                                           Value::dictionary({{"message", "failed to find target"}})
                                                               .description()}));
    EXPECT_FALSE(controllers.of("pop").at(0)->isPresented());
    EXPECT_FALSE(triggers->hasOffScreenTip("pop"));

    // The first step of a tour is kept for a scroll, and the screen's next campaign is offered.
    engine->removeTipSeries(live("pop"));
    engine->showTip(firstStep(live("tour")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("next") != nullptr; }));
    EXPECT_TRUE(triggers->hasOffScreenTip("tour"));
    EXPECT_EQ(facade->errors.size(), 2u);

    // A target at a position of the screen needs no view.
    controllers.presented("next")->dismissTipWithRemoveCoverView(true, true, nullptr);
    engine->showTip(firstStep(live("spot")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("spot") != nullptr; }));
    EXPECT_EQ(controllers.kinds.back(), BLQTipViewControllerKind::pop);
}

TEST_F(TipEngineTest, EveryPresentationEndsInItsSuccessOrItsFailure) {
    store({{.id = "home", .repeat = R"([{"type": "seen_count", "op": "less_than", "value": 3}])"},
           {.id = "other", .priority = 2},
           {.id = "odd", .priority = 3, .steps = {{.tool = "fab"}}},
           {.id = "fails", .priority = 4}});
    makeEngine();

    // A step of another screen: its campaign cannot go on here.
    engine->showTip(firstStep(live("other")), cart, nullptr, 0, false);
    EXPECT_EQ(failures(), 1u);
    EXPECT_FALSE(live("other"));

    // The screen left before the delay ran out.
    engine->showTip(firstStep(live("home")), home, nullptr, 2.0, false);
    window->setRootViewController(cart);
    settle([&] { return failures() == 2; });
    EXPECT_EQ(failures(), 2u);
    EXPECT_TRUE(controllers.made.empty());
    window->setRootViewController(home);

    // A step type without a controller.
    engine->showTip(firstStep(live("odd")), home, nullptr, 0, false);
    settle([&] { return failures() == 3; });
    EXPECT_EQ(failures(), 3u);

    // The controller could not present: the step waits for a scroll.
    controllers.nextOutcome = RecordingTipController::Outcome::fail;
    engine->showTip(firstStep(live("fails")), home, nullptr, 0, false);
    settle([&] { return failures() == 4; });
    controllers.nextOutcome = RecordingTipController::Outcome::show;
    EXPECT_TRUE(triggers->hasOffScreenTip("fails"));

    // Shown: acknowledged, counted against its repeat conditions, no longer off screen.
    engine->showTip(firstStep(live("home")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("home") && !facade->acksSoFar().empty(); }));
    EXPECT_EQ(failures(), 4u);
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "home");
    EXPECT_EQ(facade->acksSoFar(), std::vector<std::string>{"home"});
    auto saved = KJFeedConditions::createConditionsObject(
        UserDefaults::standard().object("repeat_conditions_home"), "repeat_conditions");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]->currentValue, "1");
}

TEST_F(TipEngineTest, ARotationRedrawsTheTipOnlyWhenTheOrientationChanges) {
    store({{.id = "a"}});
    makeEngine();
    engine->showTip(firstStep(live("a")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("a") != nullptr; }));
    auto tip = controllers.presented("a");
    auto rotate = [](double width, double height) {
        NotificationCenter::defaultCenter().post("KJ_TipManager_OrientationChanged_Notification",
                                                 std::make_shared<CGSize>(CGSize{width, height}));
    };

    rotate(390, 844);
    EXPECT_EQ(tip->onTopDismissals, 1);
    EXPECT_EQ(tip->presentations, 2);
    rotate(400, 844);
    EXPECT_EQ(tip->presentations, 2);
    EXPECT_TRUE(log->contains("Guides: received a rotation notification with window size not changed", 2));
    rotate(844, 390);
    EXPECT_EQ(tip->presentations, 3);
    EXPECT_EQ(widgets->adjustments, 3);

    // A full-screen player on screen: the tip is presented again in the window that holds its cover,
    // and nothing is dismissed.
    class PlayerOnScreen final : public BLQITargetingAlgorithm {
    public:
        std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate() const override { return nullptr; }
        void setDelegate(std::shared_ptr<BLQITargetingAlgorithmDelegate>) override {}
        void traverseHierarchy(const Visitor&) override {}
        KJTargetNodes generateAuthorMetaData(const std::vector<std::shared_ptr<NSObject>>&) override { return {}; }
        KJTargetNodes processRawLeaves(const KJTargetNodes&, const std::vector<std::shared_ptr<NSObject>>&) override {
            return {};
        }
        std::string getTreeNodes() override { return dump; }
        std::string dump = "<UIWindow>\n|<AVPlayerViewControllerContentView: 0x1>\n";
    };
    auto player = std::make_shared<PlayerOnScreen>();
    BLQFacadeLink::setTargetingAlgo(player);
    struct Unpublish {
        ~Unpublish() { BLQFacadeLink::setTargetingAlgo(nullptr); }
    } unpublish;
    rotate(390, 844);
    EXPECT_EQ(tip->presentations, 4);
    EXPECT_EQ(tip->presentedInWindow, window);
    EXPECT_EQ(tip->onTopDismissals, 2);
    EXPECT_TRUE(log->contains("Guides: received a rotation notification with fullscreen player showing", 2));
    // Without the player, the dump read changes nothing.
    player->dump = "<UIWindow>\n";
    rotate(844, 390);
    EXPECT_EQ(tip->presentations, 5);
    EXPECT_EQ(tip->onTopDismissals, 3);
    EXPECT_EQ(tip->presentedInWindow, nullptr);
}

// In preview mode a rotation puts the preview panel back at (100, 100); with no tip, or a tip
// controller without its step, nothing is redrawn.
TEST_F(TipEngineTest, ARotationMovesThePreviewPanelAndRedrawsNothingWithoutATip) {
    auto rotate = [](double width, double height) {
        NotificationCenter::defaultCenter().post("KJ_TipManager_OrientationChanged_Notification",
                                                 std::make_shared<CGSize>(CGSize{width, height}));
    };
    auto panel = make<UIViewController>();
    panel->view()->setFrame(CGRect{{240, 600}, {100, 90}});
    facade->previewMode->overlay = panel;
    rotate(844, 390);
    EXPECT_EQ(panel->view()->frame(), (CGRect{{240, 600}, {100, 90}})) << "only in preview mode";
    EXPECT_TRUE(log->contains(
        "Guides: Detect orientation changed, but currentTipViewController is nil, no tips need to be redrawn", 2));
    enterPreviewMode();
    rotate(390, 844);
    EXPECT_EQ(panel->view()->frame(), (CGRect{{100, 100}, {100, 90}}));
    EXPECT_EQ(widgets->adjustments, 2);

    store({{.id = "a"}});
    makeEngine();
    engine->showTip(firstStep(live("a")), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return controllers.presented("a") != nullptr; }));
    auto tip = controllers.presented("a");
    tip->setTip(nullptr);
    rotate(844, 390);
    EXPECT_EQ(tip->presentations, 1);
    EXPECT_TRUE(log->contains(
        "Guides: Trying to redraw tip after orientation changed, but got current tip lost, redraw tips failed", 2));
}

// A custom guide step whose key no block was registered under shows nothing and says so.
TEST_F(TipEngineTest, ACustomGuideStepWithoutItsBlockIsNotShown) {
    store({{.id = "custom", .steps = {{.extra = R"(, "extra_json": {"guideBlockKey": "nobody"})"}}}});
    makeEngine();
    auto step = firstStep(live("custom"));
    ASSERT_EQ(step->tipType, 99);
    engine->showTip(step, home, nullptr, 0, false);
    settle([&] { return failures() > 0; });
    settle([] { return false; }, 1.0);
    EXPECT_TRUE(controllers.made.empty());
    EXPECT_EQ(failures(), 1u);
    EXPECT_EQ(log->count("Guides: No custom widget registered for key: nobody. Failed to show guide with tip: "), 1u);
    EXPECT_EQ(log->linesStartingWith("Guides: No custom widget registered")[0].level, 5);
    EXPECT_TRUE(facade->acksSoFar().empty());
}

}  // namespace
}  // namespace brindlecue::tipscene
