// Survey answers of custom guides posted as feedback records to the sample server.

#include <gtest/gtest.h>

#include <atomic>
#include <regex>

#include "config/BLQUtilsFacade.h"
#include "feed/BLQGuidePayload.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQUtils.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQCustomGuideLink.h"
#include "presentation/BLQFeedback.h"
#include "presentation/KJChoiceViewController.h"
#include "presentation/KJFeedbackManager.h"
#include "presentation/KJFeedbackTipViewController.h"
#include "sample-server/SampleServer.h"
#include "support/PublishedAppFacts.h"
#include "support/SampleRoutes.h"
#include "support/StubConfigManager.h"
#include "tags/BLQITagManager.h"
#include "tips/BLQOperations.h"
#include "uikit-support/KJMBProgressHUD.h"

namespace brindlecue {
namespace {

using platform::RunLoop;
using platform::Value;

class TagValues final : public BLQITagManager {
public:
    void deleteTagWithKey(const std::string&) override {}
    std::shared_ptr<BLQTagDTO> getTagWithKey(const std::string&) override { return nullptr; }
    std::string getTagValueWithKey(const std::string& key) override { return key == "plan" ? "gold" : ""; }
    void incrementTagWithKey(const std::string&, int64_t) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock, bool) override {}
};

struct Outcome {
    std::atomic<bool> done{false};
    std::optional<platform::URLRequest> request;
    std::optional<platform::Error> error;

    BLQIOperations::FeedbackHandler handler() {
        return [this](const std::optional<platform::URLRequest>& r, const std::optional<platform::Error>& e) {
            request = r;
            error = e;
            done = true;
        };
    }
    bool wait() { return RunLoop::main().runUntil([this] { return done.load(); }, 20); }
};

class FeedbackTest : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        server.start();
        facts = std::make_unique<testsupport::PublishedAppFacts>(server.baseURL(), "key-1", "inst-9", 42);
        BLQCustomGuideLink::setTagManager(std::make_shared<TagValues>());
        window = platform::make<platform::UIWindow>();
        window->makeKeyAndVisible();
    }
    void TearDown() override { window->setHidden(true); }

    Value sentRecord() {
        auto journal = server.journal();
        EXPECT_EQ(journal.size(), 1u);
        if (journal.empty()) return Value();
        EXPECT_EQ(journal[0].method, "POST");
        EXPECT_EQ(journal[0].path, "/v3/feedbacks");
        EXPECT_EQ(journal[0].query, "installid=inst-9");
        return Value::fromJSON(journal[0].body).value_or(Value());
    }

    sampleserver::SampleServer server;
    std::unique_ptr<testsupport::PublishedAppFacts> facts;
    std::shared_ptr<platform::UIWindow> window;
};

TEST_F(FeedbackTest, AnAnswerIsSentAsOneRecordAndThanked) {
    server.addRoute(testsupport::route("POST", "/v3/feedbacks", 201, "{}"));
    auto step = std::make_shared<KJTipElement>();
    step->suid = "12";
    step->feed_id = "feed-3";
    step->campaignid = "camp-3";
    step->feedback = std::make_shared<KJTipFeedbackElement>();
    step->feedback->customTagsList = std::vector<std::string>{"plan", "unset"};

    Outcome outcome;
    BLQOperations().submitFeedback(
        BLQFeedback("Rate us", {"Yes", "Later"}, platform::Dictionary{{"source", "host"}}),
        BLQGuidePayload(step), outcome.handler());
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.error);
    ASSERT_TRUE(outcome.request);

    Value record = sentRecord();
    EXPECT_EQ(record.getDictionary()->keys(),
              (std::vector<std::string>{"anonymous", "app_key", "campaignid", "contents", "extra_json",
                                        "feedback_type", "feedid", "installid", "created_on_client", "step_id",
                                        "title"}));
    EXPECT_TRUE(std::regex_match(record["created_on_client"].stringValue(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
    record.remove("created_on_client");
    EXPECT_EQ(record, Value::fromJSON(R"({"anonymous": "no", "app_key": "key-1", "campaignid": "camp-3",
        "contents": "Yes,Later", "extra_json": {"custom-json": {"source": "host"}, "custom-tags": {"plan": "gold"}},
        "feedback_type": 0, "feedid": "feed-3", "installid": "inst-9", "step_id": 12, "title": "Rate us"})"));

    // The thank-you message goes up on the window and away after 1.5 s.
    std::shared_ptr<KJMBProgressHUD> hud;
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return (hud = KJMBProgressHUD::HUDForView(window)) != nullptr; }));
    EXPECT_EQ(hud->mode(), KJMBProgressHUDDisplayMode::textMode);
    EXPECT_EQ(hud->label()->text(), "Thanks for your feedback!");
    platform::Clock::advance(1.4);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(KJMBProgressHUD::HUDForView(window), hud);
    platform::Clock::advance(1.0);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(KJMBProgressHUD::HUDForView(window), nullptr);
}

TEST_F(FeedbackTest, TextsThatAreNoneGoAsEmptyAndAFailureIsHandedBack) {
    server.addRoute(testsupport::route("POST", "/v3/feedbacks", 400, R"({"detail": "bad record"})"));
    Outcome outcome;
    KJFeedbackManager::shared().submitFeedbackWithTitle(std::nullopt, 0, std::nullopt, std::nullopt, "feed-4", 0,
                                                         platform::Dictionary{}, outcome.handler());
    ASSERT_TRUE(outcome.wait());
    EXPECT_TRUE(outcome.error && outcome.request);
    Value record = sentRecord();
    EXPECT_EQ(Value::array({record["title"], record["contents"], record["campaignid"]}), Value::array({"", "", ""}));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(KJMBProgressHUD::HUDForView(window), nullptr);
}

TEST_F(FeedbackTest, WithoutAnInstallNothingIsSent) {
    server.addRoute(testsupport::route("POST", "/v3/feedbacks", 201, "{}"));
    facts->setInstallId(std::nullopt);
    Outcome outcome;
    BLQOperations().submitFeedback(BLQFeedback("Rate us", {"Yes"}), BLQGuidePayload(std::make_shared<KJTipElement>()),
                                   outcome.handler());
    // The answer comes before the call returns.
    ASSERT_TRUE(outcome.done);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), "KJErrorDomain");
    EXPECT_EQ(outcome.error->code(), 0);
    EXPECT_EQ(outcome.error->localizedDescription(), "Parameter installid needed to determine Install.");
    EXPECT_FALSE(outcome.request);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(server.journal().empty());
    EXPECT_EQ(KJMBProgressHUD::HUDForView(window), nullptr);
}

// The library counts as enabled while it lives.
struct EnabledLibrary {
    EnabledLibrary() { blqSetFacade({config, nullptr}); }
    ~EnabledLibrary() { blqSetFacade({}); }
    std::shared_ptr<testsupport::StubConfigManager> config =
        std::make_shared<testsupport::StubConfigManager>();
};

TEST_F(FeedbackTest, ASurveyTipSendsTheChosenOptionAndThanksOnItsOwnView) {
    server.addRoute(testsupport::route("POST", "/v3/feedbacks", 201, "{}"));
    EnabledLibrary enabled;
    // The survey is the second step of its campaign.
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "feed-7";
    step->campaignid = "camp-7";
    step->tipType = 5;
    step->feedback = std::make_shared<KJTipFeedbackElement>();
    step->feedback->feedbackTitle = "Do you like it?";
    step->feedback->arrayOptions = std::vector<std::string>{"Yes", "No"};
    step->feedback->customTagsList = std::vector<std::string>{"plan"};
    auto series = std::make_shared<KJTipSeriesElement>();
    series->arrayTips = {std::make_shared<KJTipElement>(), step};
    step->series = series;

    auto present = [&] {
        auto tip = platform::make<KJFeedbackTipViewController>();
        tip->setTip(step);
        bool shown = false;
        tip->presentTipWithCoverView(
            nullptr, window, nullptr, [&](const std::shared_ptr<KJTipElement>&) { shown = true; }, nullptr);
        RunLoop::main().runUntilIdle();
        EXPECT_TRUE(shown);
        return tip;
    };
    auto choose = [](const std::shared_ptr<KJFeedbackTipViewController>& tip, int64_t row) {
        auto table = tip->choiceViewController()->tableChoice;
        table->layoutIfNeeded();
        platform::TouchDriver::tap(table->cellForRowAtIndexPath(platform::NSIndexPath::forRow(row, 0)));
    };

    auto tip = present();
    choose(tip, 0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !server.journal().empty(); }, 20));
    Value record = sentRecord();
    EXPECT_EQ(record["title"], Value("Yes"));
    EXPECT_EQ(record["contents"], Value(""));
    EXPECT_EQ(record["feedback_type"], Value(0));
    EXPECT_EQ(record["step_id"], Value(1));
    EXPECT_EQ(record["feedid"], Value("feed-7"));
    EXPECT_EQ(record["campaignid"], Value("camp-7"));
    EXPECT_EQ(record["extra_json"], Value::fromJSON(R"({"custom-tags": {"plan": "gold"}})"));

    // The thank-you goes on the tip's view, not the window; it hides after 1.5 s and removes itself.
    auto tipView = tip->view();
    std::shared_ptr<KJMBProgressHUD> hud;
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return (hud = KJMBProgressHUD::HUDForView(tipView)) != nullptr; }, 20));
    EXPECT_EQ(KJMBProgressHUD::HUDForView(window), nullptr);
    EXPECT_EQ(hud->mode(), KJMBProgressHUDDisplayMode::textMode);
    EXPECT_EQ(hud->label()->text(), "Thanks for your feedback!");
    platform::Clock::advance(1.4);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(hud->superview(), tipView);
    platform::Clock::advance(1.0);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(hud->superview(), nullptr);
    tip->dismissOnTopWithRemoveCover(true);

    // A tip that has left before the server answers takes its view away: the thank-you goes on
    // the window instead, where it can be seen.
    tip = present();
    choose(tip, 1);
    tip->dismissOnTopWithRemoveCover(true);
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return (hud = KJMBProgressHUD::HUDForView(window)) != nullptr; }, 20));
    EXPECT_EQ(server.journal().size(), 2u);
    platform::Clock::advance(2.0);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(hud->superview(), nullptr);
}

}  // namespace
}  // namespace brindlecue
