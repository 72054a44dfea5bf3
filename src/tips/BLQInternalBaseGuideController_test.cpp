// Custom guide blocks: registration, presentation through the engine, the display status and the
// host's answers.

#include "tips/BLQInternalBaseGuideController.h"

#include <gtest/gtest.h>

#include "feed/BLQGuidePayload.h"
#include "foundation/BrindlecueContainer.h"
#include "support/StubTipManager.h"
#include "tips/BLQBaseGuideController.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using namespace tipscene;
using Steps = std::vector<std::string>;

// A host's guide block that keeps what it is given and answers when the test says.
class HostBlock final : public BLQBaseGuideController {
public:
    void presentGuideBlockWithBrindlecueContainer(const std::shared_ptr<BrindlecueContainer>& container,
                                                  const std::shared_ptr<UIViewController>&,
                                                  PresentCompletion success, PresentCompletion failure) override {
        containers.push_back(container);
        succeed = std::move(success);
        fail = std::move(failure);
    }
    void isDismissingGuide() override { events.push_back("isDismissingGuide"); }
    std::shared_ptr<BLQInternalBaseGuideController> internal() const {
        return std::dynamic_pointer_cast<BLQInternalBaseGuideController>(internalBase());
    }

    std::vector<std::shared_ptr<BrindlecueContainer>> containers;
    PresentCompletion succeed, fail;
    Steps events;
};

CampaignSpec customCampaign(const std::string& id, int priority) {
    return {.id = id, .priority = priority, .steps = {StepSpec{.extra = R"(, "extra_json": {"guideBlockKey": "card"})"}}};
}

TEST_F(TipEngineTest, AHostBlockShowsItsStepsOneAtATimeAndAnswersThroughTheEngine) {
    // Outside preview mode the last campaign of the list is the one offered.
    store({customCampaign("b", 1), customCampaign("a", 2)});
    makeEngine();
    auto replaced = std::make_shared<HostBlock>();
    auto host = std::make_shared<HostBlock>();
    engine->registerGuideBlock(replaced, "card");
    engine->registerGuideBlock(host, "card");
    EXPECT_EQ(replaced->internalBase(), nullptr);
    auto internal = host->internal();
    ASSERT_NE(internal, nullptr);

    showScreen(home);
    ASSERT_TRUE(settle([&] { return !host->containers.empty(); }));
    auto payload = host->containers.front()->guidePayload();
    EXPECT_EQ(payload->guide()->feed_id, "a");
    EXPECT_NE(host->containers.front()->operations(), nullptr);
    EXPECT_EQ(internal->status(), BLQGuideStatus::isAttemptingToDisplay);
    host->succeed(payload);
    EXPECT_EQ(internal->status(), BLQGuideStatus::isDisplaying);
    ASSERT_TRUE(settle([&] { return facade->acksSoFar() == Steps{"a"}; }));

    // Another campaign's step for the same block is refused while the first is on screen, and the
    // first keeps its own step and result handlers.
    engine->showTip(live("b")->arrayTips.front(), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return log->count("Guides: tip not shown: b") == 1; }));
    EXPECT_TRUE(log->contains(
        "CustomGuides: Unable to display guide as it is not available for display - status: Is currently displaying", 2));
    EXPECT_EQ(host->containers.size(), 1u);

    host->nextStepOfGuide();
    ASSERT_TRUE(settle([&] { return !facade->results.empty(); }));
    EXPECT_EQ(facade->results.front(), (FeedResult{"a", "c-a", BLQFeedResult::accepted, "s0", true, true}));
    EXPECT_EQ(host->events, Steps{"isDismissingGuide"});
    EXPECT_EQ(internal->status(), BLQGuideStatus::idle);
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "");
    EXPECT_EQ(engine->currentTipViewController(), nullptr);
}

struct Wired {
    std::shared_ptr<BLQInternalBaseGuideController> internal = std::make_shared<BLQInternalBaseGuideController>();
    std::shared_ptr<HostBlock> host = std::make_shared<HostBlock>();
    Steps seen;
    Wired() {
        internal->setCustomGuideBlock(host);
        host->setInternalBase(internal);
    }
    void present() {
        internal->presentTipWithCoverView(
            nullptr, nullptr, nullptr, [this](const auto& s) { seen.push_back("success " + s->suid.value_or("")); },
            [this](const auto& s) { seen.push_back("failure " + (s ? s->suid.value_or("") : "nil")); });
    }
};

std::shared_ptr<KJTipElement> stepWithId(const std::string& id) {
    auto step = std::make_shared<KJTipElement>();
    step->suid = id;
    return step;
}

TEST(BLQInternalBaseGuideController, RefusesWithoutBlockOrStepAndWhileAStepIsUnderway) {
    auto log = testsupport::RecordingLoggerManager::install();
    Wired w;
    w.internal->setCustomGuideBlock(nullptr);
    w.present();
    EXPECT_TRUE(log->contains("CustomGuides: There is no custom guide registered for key: <none>", 2));
    w.internal->setCustomGuideBlock(w.host);
    w.present();
    EXPECT_TRUE(log->contains("CustomGuides: Unable to display guide as there is no tip info", 2));

    w.internal->setTip(stepWithId("1"));
    w.present();
    w.present();
    EXPECT_TRUE(log->contains(
        "CustomGuides: Unable to display guide as it is not available for display - status: Attempting to display", 2));
    EXPECT_EQ(w.host->containers.size(), 1u);
    // The host's payload goes back to the engine; after a failure the next presentation is taken.
    w.host->fail(std::make_shared<BLQGuidePayload>(stepWithId("2")));
    EXPECT_EQ(w.internal->status(), BLQGuideStatus::failedToDisplay);
    w.present();
    EXPECT_EQ(w.host->containers.size(), 2u);
    EXPECT_EQ(w.seen, (Steps{"failure nil", "failure nil", "failure 1", "failure 2"}));
}

TEST(BLQInternalBaseGuideController, TheHostsAnswersReachTheHandlersAndDismissingEndsBeforeTheCompletion) {
    class Engine final : public testsupport::StubTipManager {
    public:
        void setCurrentDisplayedTipFeedID(std::optional<std::string> id) override { displayed.push_back(*id); }
        Steps displayed;
    };
    auto engine = std::make_shared<Engine>();
    Wired w;
    w.internal->setTipManager(engine);
    w.internal->setTip(stepWithId("1"));
    auto note = [&](const std::string& what) { w.seen.push_back(what + " " + description(w.internal->status())); };
    w.internal->setClickButton1Handler([&](bool r, bool a) { note("previous " + std::to_string(r && a)); });
    w.internal->setClickButton2Handler([&](bool r, bool a) { note("next " + std::to_string(r && a)); });
    w.internal->setClickOutsideHandler([&](bool r) { note("outside " + std::to_string(r)); });
    w.internal->setClickCloseButtonHandler([&](bool r) { note("close " + std::to_string(r)); });
    w.internal->setDismissHandler([&] { note("dismiss handler"); });

    w.present();
    w.host->succeed(w.host->containers.back()->guidePayload());
    w.host->previousStepOfGuide();
    w.host->nextStepOfGuide();
    w.host->tapInsideOfGuide();  // the engine sets no inside handler
    w.host->tapOutsideOfGuide();
    w.host->dismissGuide();
    w.internal->dismissTipWithRemoveCoverView(true, true, [&] { w.host->events.push_back("completion"); });
    EXPECT_EQ(w.seen, (Steps{"success 1", "previous 1 Is currently displaying", "next 1 Idle", "outside 1 Idle",
                             "close 1 Idle", "dismiss handler Idle"}));
    EXPECT_EQ(engine->displayed, Steps{""});
    EXPECT_EQ(w.host->events, (Steps{"isDismissingGuide", "completion"}));
}

}  // namespace
}  // namespace brindlecue
