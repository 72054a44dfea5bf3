// Custom guide blocks: registration, presentation through the engine, the display status and the
// host's answers.

#include "tips/BLQInternalBaseGuideController.h"

#include <gtest/gtest.h>

#include "feed/BLQGuidePayload.h"
#include "foundation/BrindlecueContainer.h"
#include "tags/BLQITagManager.h"
#include "tips/BLQBaseGuideController.h"
#include "tips/BLQCustomGuideLink.h"
#include "support/RecordingLoggerManager.h"
#include "support/StubTipManager.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using namespace tipscene;

class NoTags final : public BLQITagManager {
public:
    void deleteTagWithKey(const std::string&) override {}
    std::shared_ptr<BLQTagDTO> getTagWithKey(const std::string&) override { return nullptr; }
    std::string getTagValueWithKey(const std::string&) override { return ""; }
    void incrementTagWithKey(const std::string&, int64_t) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock, bool) override {}
};

// A host's guide block that keeps what it is given and answers when the test says.
class HostBlock final : public BLQBaseGuideController {
public:
    void presentGuideBlockWithBrindlecueContainer(const std::shared_ptr<BrindlecueContainer>& container,
                                                  const std::shared_ptr<UIViewController>& screen,
                                                  PresentCompletion success, PresentCompletion failure) override {
        containers.push_back(container);
        screens.push_back(screen);
        succeed = std::move(success);
        fail = std::move(failure);
    }
    void isDismissingGuide() override { events.push_back("isDismissingGuide"); }

    std::shared_ptr<BLQInternalBaseGuideController> internal() const {
        return std::dynamic_pointer_cast<BLQInternalBaseGuideController>(internalBase());
    }

    std::vector<std::shared_ptr<BrindlecueContainer>> containers;
    std::vector<std::shared_ptr<UIViewController>> screens;
    PresentCompletion succeed, fail;
    std::vector<std::string> events;
};

CampaignSpec customCampaign(const std::string& id, int priority) {
    CampaignSpec c{.id = id, .priority = priority};
    c.steps = {StepSpec{.extra = R"(, "extra_json": {"guideBlockKey": "card"})"}};
    return c;
}

class CustomGuideTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        BLQCustomGuideLink::setTagManager(tags);
    }
    std::shared_ptr<NoTags> tags = std::make_shared<NoTags>();
};

TEST_F(CustomGuideTest, AHostBlockShowsTheStepAndAnswersThroughTheEngine) {
    // Outside preview mode the last campaign of the list is the one offered.
    store({customCampaign("b", 1), customCampaign("a", 2)});
    makeEngine();
    auto host = std::make_shared<HostBlock>();
    engine->registerGuideBlock(host, "card");
    auto internal = host->internal();
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(engine->retrieveGuideBlockForKey("card"), internal);

    showScreen(home);
    ASSERT_TRUE(settle([&] { return !host->containers.empty(); }));
    const auto& container = host->containers.front();
    auto step = container->guidePayload()->guide();
    EXPECT_EQ(step->feed_id, "a");
    EXPECT_EQ(step->tipType, 99);
    EXPECT_EQ(container->tagManager(), tags);
    EXPECT_NE(container->operations(), nullptr);
    EXPECT_EQ(host->screens.front(), home);
    EXPECT_EQ(internal->status(), BLQGuideStatus::isAttemptingToDisplay);

    host->succeed(container->guidePayload());
    EXPECT_EQ(internal->status(), BLQGuideStatus::isDisplaying);
    ASSERT_TRUE(settle([&] { return facade->acksSoFar() == std::vector<std::string>{"a"}; }));
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "a");

    // Another campaign's step for the same block is refused while the first is on screen, and the
    // first keeps its own step and result handlers.
    engine->showTip(live("b")->arrayTips.front(), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return log->count("Guides: tip not shown: b") == 1; }));
    EXPECT_TRUE(log->contains(
        "CustomGuides: Unable to display guide as it is not available for display - status: Is currently displaying", 2));
    EXPECT_EQ(host->containers.size(), 1u);
    EXPECT_EQ(internal->tip()->feed_id, "a");

    host->nextStepOfGuide();
    ASSERT_TRUE(settle([&] { return !facade->results.empty(); }));
    EXPECT_EQ(facade->results.front(), (FeedResult{"a", "c-a", BLQFeedResult::accepted, "s0", true, true}));
    EXPECT_EQ(host->events, std::vector<std::string>{"isDismissingGuide"});
    EXPECT_EQ(internal->status(), BLQGuideStatus::idle);
    EXPECT_EQ(engine->currentDisplayedTipFeedID(), "");
    EXPECT_EQ(engine->currentTipViewController(), nullptr);
}

TEST_F(CustomGuideTest, TheHostsFailureEndsTheShowingAndAllowsTheNext) {
    store({customCampaign("a", 1)});
    makeEngine();
    auto host = std::make_shared<HostBlock>();
    engine->registerGuideBlock(host, "card");
    showScreen(home);
    ASSERT_TRUE(settle([&] { return !host->containers.empty(); }));

    auto payload = host->containers.front()->guidePayload();
    host->fail(payload);
    EXPECT_EQ(host->internal()->status(), BLQGuideStatus::failedToDisplay);
    ASSERT_TRUE(settle([&] { return log->count("Guides: tip not shown: a") == 1; }));
    EXPECT_TRUE(facade->acksSoFar().empty());

    engine->showTip(payload->guide(), home, nullptr, 0, false);
    ASSERT_TRUE(settle([&] { return host->containers.size() == 2; }));
    EXPECT_EQ(host->internal()->status(), BLQGuideStatus::isAttemptingToDisplay);
    host->dismissGuide();
    ASSERT_TRUE(settle([&] { return !facade->results.empty(); }));
    EXPECT_EQ(facade->results.front().result, BLQFeedResult::rejected);
}

// The controller alone, as a tip engine drives it.
class RecordingEngine final : public testsupport::StubTipManager {
public:
    void setCurrentDisplayedTipFeedID(std::optional<std::string> id) override { displayed.push_back(id.value_or("(none)")); }
    std::vector<std::string> displayed;
};

struct Outcomes {
    std::vector<std::string> seen;
    BLQITipViewController::PresentSuccess success() {
        return [this](const std::shared_ptr<KJTipElement>& s) { seen.push_back("success " + (s ? *s->suid : "nil")); };
    }
    BLQITipViewController::PresentFailure failure() {
        return [this](const std::shared_ptr<KJTipElement>& s) { seen.push_back("failure " + (s ? *s->suid : "nil")); };
    }
};

std::shared_ptr<KJTipElement> stepWithId(const std::string& id) {
    auto step = std::make_shared<KJTipElement>();
    step->suid = id;
    step->guideBlockKey = "k";
    return step;
}

TEST(BLQInternalBaseGuideController, RefusesWithoutBlockOrStepAndWhileAStepIsUnderway) {
    auto log = testsupport::RecordingLoggerManager::install();
    auto internal = std::make_shared<BLQInternalBaseGuideController>();
    Outcomes outcomes;
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, outcomes.success(), outcomes.failure());
    EXPECT_TRUE(log->contains("CustomGuides: There is no custom guide registered for key: <none>", 2));

    auto host = std::make_shared<HostBlock>();
    internal->setCustomGuideBlock(host);
    host->setInternalBase(internal);
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, outcomes.success(), outcomes.failure());
    EXPECT_TRUE(log->contains("CustomGuides: Unable to display guide as there is no tip info", 2));
    EXPECT_EQ(internal->status(), BLQGuideStatus::idle);

    internal->setTip(stepWithId("1"));
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, outcomes.success(), outcomes.failure());
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, outcomes.success(), outcomes.failure());
    EXPECT_TRUE(log->contains(
        "CustomGuides: Unable to display guide as it is not available for display - status: Attempting to display", 2));
    EXPECT_EQ(host->containers.size(), 1u);
    EXPECT_EQ(outcomes.seen, (std::vector<std::string>{"failure nil", "failure nil", "failure 1"}));

    // The host's own payload goes back to the engine.
    host->fail(std::make_shared<BLQGuidePayload>(stepWithId("2")));
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, outcomes.success(), outcomes.failure());
    EXPECT_EQ(host->containers.size(), 2u);
    host->succeed(host->containers.back()->guidePayload());
    EXPECT_EQ(outcomes.seen.back(), "success 1");
    EXPECT_EQ(outcomes.seen.at(3), "failure 2");
}

TEST(BLQInternalBaseGuideController, DismissingEndsTheStepBeforeTheCompletionRuns) {
    auto engine = std::make_shared<RecordingEngine>();
    auto internal = std::make_shared<BLQInternalBaseGuideController>();
    auto host = std::make_shared<HostBlock>();
    internal->setCustomGuideBlock(host);
    host->setInternalBase(internal);
    internal->setTipManager(engine);
    internal->setTip(stepWithId("1"));
    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, nullptr, nullptr);
    host->succeed(host->containers.back()->guidePayload());

    internal->setDismissHandler([&] {
        host->events.push_back("dismiss handler, status " + description(internal->status()));
    });
    internal->dismissTipWithRemoveCoverView(true, true, [&] { host->events.push_back("completion"); });
    EXPECT_EQ(engine->displayed, std::vector<std::string>{""});
    EXPECT_EQ(host->events,
              (std::vector<std::string>{"dismiss handler, status Idle", "isDismissingGuide", "completion"}));
}

TEST(BLQBaseGuideController, TheHostsAnswersReachTheEngineHandlers) {
    auto internal = std::make_shared<BLQInternalBaseGuideController>();
    auto host = std::make_shared<HostBlock>();
    // Without an internal controller the answers go nowhere.
    host->nextStepOfGuide();
    host->dismissGuide();

    internal->setCustomGuideBlock(host);
    host->setInternalBase(internal);
    internal->setTip(stepWithId("1"));
    std::vector<std::string> calls;
    internal->setClickCloseButtonHandler([&](bool report) { calls.push_back("close " + std::to_string(report)); });
    internal->setClickButton1Handler([&](bool report, bool action) {
        calls.push_back("previous " + std::to_string(report) + std::to_string(action) + " " +
                        description(internal->status()));
    });
    internal->setClickButton2Handler([&](bool report, bool action) {
        calls.push_back("next " + std::to_string(report) + std::to_string(action) + " " +
                        description(internal->status()));
    });
    internal->setClickOutsideHandler([&](bool report) { calls.push_back("outside " + std::to_string(report)); });

    internal->presentTipWithCoverView(nullptr, nullptr, nullptr, nullptr, nullptr);
    host->succeed(host->containers.back()->guidePayload());
    host->previousStepOfGuide();
    host->nextStepOfGuide();
    host->tapInsideOfGuide();
    host->tapOutsideOfGuide();
    host->dismissGuide();
    EXPECT_EQ(calls, (std::vector<std::string>{"previous 11 Is currently displaying", "next 11 Idle", "outside 1",
                                               "close 1"}));
    internal->setClickInsideHandler([&](bool report) { calls.push_back("inside " + std::to_string(report)); });
    host->tapInsideOfGuide();
    EXPECT_EQ(calls.back(), "inside 1");
}

TEST_F(CustomGuideTest, ALaterRegistrationUnderTheKeyReplacesTheEarlierBlock) {
    auto first = std::make_shared<HostBlock>();
    auto second = std::make_shared<HostBlock>();
    engine->registerGuideBlock(first, "card");
    std::weak_ptr<BLQIInternalGuideController> firstInternal = first->internalBase();
    engine->registerGuideBlock(second, "card");
    EXPECT_EQ(engine->retrieveGuideBlockForKey("card"), second->internalBase());
    EXPECT_EQ(first->internalBase(), nullptr);
    EXPECT_TRUE(firstInternal.expired());
}

}  // namespace
}  // namespace brindlecue
