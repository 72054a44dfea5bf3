#include "config/BLQUtilsFacade.h"
#include "presentation/KJFeedbackTipViewController.h"

#include <gtest/gtest.h>

#include "feed/KJTipFeedbackElement.h"
#include "foundation/BLQUtils.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "presentation/KJChoiceViewController.h"
#include "presentation/KJFeedbackViewController.h"
#include "presentation/TipPresentationScene_test.h"
#include "support/StubConfigManager.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscreen {
namespace {

class SwitchableConfig final : public testsupport::StubConfigManager {
public:
    bool isBrindlecueEnabled() const override { return enabled; }
    bool enabled = true;
};

// A survey step: the options given (none: free text only), free text after a choice or not.
std::shared_ptr<KJTipElement> surveyStep(std::vector<std::string> options, bool needInput) {
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "survey";
    step->campaignid = "c-survey";
    step->suid = "s1";
    step->tipType = 5;
    step->feedback = std::make_shared<KJTipFeedbackElement>();
    step->feedback->feedbackTitle = "How was it?";
    step->feedback->feedbackMessage = "Tell us what you think.";
    if (!options.empty()) step->feedback->arrayOptions = std::move(options);
    step->feedback->needInput = needInput;
    return step;
}

class SurveyTipTest : public TipScreenTest {
protected:
    void SetUp() override {
        TipScreenTest::SetUp();
        blqSetFacade({config, nullptr});
    }
    void TearDown() override {
        if (survey) survey->dismissOnTopWithRemoveCover(true);
        if (auto first = UIResponder::currentFirstResponder()) first->resignFirstResponder();
        blqSetFacade({});
        TipScreenTest::TearDown();
    }

    // Presents the survey as the engine's current tip and records where it goes.
    void show(const std::shared_ptr<KJTipElement>& step) {
        survey = make<KJFeedbackTipViewController>();
        survey->setTipManager(engine);
        survey->setTip(step);
        survey->setClickButton2Handler(
            [this](bool report, bool triggerAction) { nexts.emplace_back(report, triggerAction); });
        engine->current = survey;
        present(survey);
        ASSERT_EQ(shown.size(), 1u);
    }
    void choose(int64_t row) {
        auto table = survey->choiceViewController()->tableChoice;
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::forRow(row, 0));
        ASSERT_TRUE(cell);
        TouchDriver::tap(cell);
    }
    std::shared_ptr<KJFeedbackViewController> form() const { return survey->feedbackViewController(); }
    bool formOnScreen() const {
        return form() && form()->view()->window() && form()->view()->superview() == survey->view();
    }

    std::shared_ptr<SwitchableConfig> config = std::make_shared<SwitchableConfig>();
    std::shared_ptr<KJFeedbackTipViewController> survey;
    std::vector<std::pair<bool, bool>> nexts;
};

TEST_F(SurveyTipTest, TheChoiceDialogSpreadsOverTheCoverAndAChoiceMovesOn) {
    show(surveyStep({"Great", "Fine", "Poor"}, false));
    const CGRect coverBounds = cover()->bounds();
    EXPECT_EQ(survey->view()->frame(), CGRect(0, 0, coverBounds.width(), coverBounds.height()));
    EXPECT_FALSE(survey->view()->clipsToBounds());
    auto choice = survey->choiceViewController();
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->parentViewController(), survey);
    EXPECT_EQ(survey->view()->subviews(), std::vector<std::shared_ptr<UIView>>{choice->view()});
    EXPECT_EQ(choice->labelTitle->text(), "How was it?");
    EXPECT_EQ(choice->labelMessage->text(), "Tell us what you think.");
    EXPECT_EQ(choice->view()->frame().width(), coverBounds.width() - 60);

    choose(1);
    EXPECT_EQ(nexts, (std::vector<std::pair<bool, bool>>{{true, false}}));
    // One answer: another tap, or a cancel, does nothing more, and no form follows.
    choose(2);
    TouchDriver::tap(choice->buttonCancel);
    Clock::advance(2);
    EXPECT_EQ(nexts.size(), 1u);
    EXPECT_TRUE(facade->results.empty());
    EXPECT_FALSE(form());
}

TEST_F(SurveyTipTest, AChoiceThatWantsTextOpensTheFormASecondLater) {
    show(surveyStep({"Great", "Too slow"}, true));
    auto choice = survey->choiceViewController();
    choose(1);
    EXPECT_TRUE(nexts.empty());
    Clock::advance(0.99);
    EXPECT_FALSE(form());
    TouchDriver::tap(choice->buttonCancel);  // the dialog has its answer already
    Clock::advance(0.02);
    ASSERT_TRUE(formOnScreen());
    EXPECT_EQ(choice->view()->superview(), nullptr) << "the form replaced the dialog";
    EXPECT_EQ(survey->view()->subviews().size(), 1u);
    EXPECT_EQ(form()->parentViewController(), survey);
    EXPECT_FALSE(form()->isViewAdjustForKeyboard);
    EXPECT_EQ(form()->view()->frame(),
              CGRect((375 - KJFeedbackViewController::kSize.width) * 0.5, 50,
                     KJFeedbackViewController::kSize.width, KJFeedbackViewController::kSize.height));
    EXPECT_EQ(form()->textboxTitle->text(), "Too slow");
    EXPECT_TRUE(form()->textboxContent->isFirstResponder());

    form()->textboxContent->typeText("The list takes ages.");
    TouchDriver::tap(form()->buttonSubmit);
    EXPECT_EQ(nexts, (std::vector<std::pair<bool, bool>>{{true, false}}));
    TouchDriver::tap(form()->buttonCancel);
    EXPECT_EQ(nexts.size(), 1u) << "the step was left once";
    EXPECT_TRUE(facade->results.empty());
}

TEST_F(SurveyTipTest, WithoutOptionsTheFormOpensEmptyAndItsCancelMovesOn) {
    show(surveyStep({}, false));
    EXPECT_FALSE(survey->choiceViewController());
    EXPECT_TRUE(survey->view()->subviews().empty());
    Clock::advance(1.0);
    ASSERT_TRUE(formOnScreen());
    EXPECT_FALSE(form()->textboxTitle->text().value_or("").size());
    EXPECT_TRUE(form()->textboxTitle->isFirstResponder());
    TouchDriver::tap(form()->buttonCancel);
    EXPECT_EQ(nexts, (std::vector<std::pair<bool, bool>>{{true, false}}));
    EXPECT_TRUE(facade->results.empty());
}

TEST_F(SurveyTipTest, CancellingTheChoiceRejectsTheStepOnceAndEndsTheSurvey) {
    auto step = surveyStep({"Great", "Poor"}, true);
    auto series = std::make_shared<KJTipSeriesElement>();
    series->triggerType = 3;
    series->arrayTips = {surveyStep({}, false), step};
    step->series = series;
    show(step);
    EXPECT_EQ(survey->stepIndex(), 1);
    auto choice = survey->choiceViewController();
    auto shownCover = cover();
    TouchDriver::tap(choice->buttonCancel);
    EXPECT_EQ(facade->results, std::vector<std::string>{"survey -1 delete"});
    EXPECT_EQ(engine->displayedFeedId, "");
    EXPECT_EQ(engine->unhooked, 1);
    EXPECT_EQ(engine->removedSeries, 1);
    EXPECT_FALSE(shownCover->window()) << "the current tip was dismissed";

    // A late answer of the dialog (its view has gone with the tip) reports nothing more.
    choice->tableViewDidSelectRowAtIndexPath(*choice->tableChoice, NSIndexPath::forRow(0, 0));
    choice->buttonCancelClicked();
    Clock::advance(2);
    EXPECT_EQ(facade->results.size(), 1u);
    EXPECT_TRUE(nexts.empty());
    EXPECT_FALSE(form());
}

TEST_F(SurveyTipTest, ATipThatLeftBeforeItsFormOpensGetsNoForm) {
    show(surveyStep({"Great"}, true));
    choose(0);
    survey->dismissTipWithRemoveCoverView(true, true, nullptr);
    Clock::advance(2);
    EXPECT_FALSE(form());
    EXPECT_TRUE(nexts.empty());
}

TEST_F(SurveyTipTest, ADisabledLibraryKeepsTheStepButCancelStillWorks) {
    config->enabled = false;
    show(surveyStep({"Great"}, false));
    choose(0);
    EXPECT_TRUE(nexts.empty());
    EXPECT_EQ(survey->choiceViewController()->view()->superview(), survey->view());
    TouchDriver::tap(survey->choiceViewController()->buttonCancel);
    EXPECT_EQ(facade->results, std::vector<std::string>{"survey -1 delete"});

    // The form: a submission is swallowed, its cancel moves on.
    survey->dismissOnTopWithRemoveCover(true);
    facade->results.clear();
    shown.clear();
    show(surveyStep({}, false));
    Clock::advance(1.0);
    ASSERT_TRUE(formOnScreen());
    form()->textboxTitle->typeText("Broken");
    TouchDriver::tap(form()->buttonSubmit);
    EXPECT_TRUE(nexts.empty());
    EXPECT_TRUE(formOnScreen());
    config->enabled = true;
    TouchDriver::tap(form()->buttonCancel);
    EXPECT_EQ(nexts, (std::vector<std::pair<bool, bool>>{{true, false}}));
}

TEST_F(SurveyTipTest, TheTipEngineMakesSurveyTipsForTipType5) {
    KJTipPresentation::registerWithTipEngine();
    auto made = BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::feedback);
    EXPECT_TRUE(std::dynamic_pointer_cast<KJFeedbackTipViewController>(made));
    EXPECT_TRUE(std::dynamic_pointer_cast<KJModalTipViewController>(
        BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::modal)));
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::feedback, nullptr);
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::modal, nullptr);
    BLQTipViewControllerRegistry::registerDialogPresenter(nullptr);
}

}  // namespace
}  // namespace brindlecue::tipscreen

namespace brindlecue::tipscene {
namespace {

// What the survey asks of the facade, answered from the engine scene's facade.
class SurveyFacade final : public BLQITipPresentationFacade {
public:
    explicit SurveyFacade(std::shared_ptr<RecordingFacade> facade) : facade_(std::move(facade)) {}
    std::optional<std::string> appKey() const override { return facade_->appKey(); }
    std::shared_ptr<UIViewController> topMostViewController() const override { return nullptr; }
    void sendFeedAck(const std::string& feedId) override { facade_->sendFeedAck(feedId); }
    void notifyFeedResult(const std::string& feedId, const std::string& campaignId, BLQFeedResult result,
                          const std::string& stepId, bool deleteFeed, bool completed) override {
        facade_->notifyFeedResult(feedId, campaignId, result, stepId, deleteFeed, completed);
    }

private:
    std::shared_ptr<RecordingFacade> facade_;
};

class SurveyThroughTheEngineTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        KJTipPresentation::registerWithTipEngine();
        KJTipPresentation::setFacade(surveyFacade);
        blqSetFacade({config, nullptr});
    }
    void TearDown() override {
        blqSetFacade({});
        KJTipPresentation::setFacade(nullptr);
        TipEngineTest::TearDown();
    }
    std::shared_ptr<KJFeedbackTipViewController> current() const {
        return std::dynamic_pointer_cast<KJFeedbackTipViewController>(engine->currentTipViewController());
    }

    std::shared_ptr<SurveyFacade> surveyFacade = std::make_shared<SurveyFacade>(facade);
    std::shared_ptr<testsupport::StubConfigManager> config =
        std::make_shared<testsupport::StubConfigManager>();
};

TEST_F(SurveyThroughTheEngineTest, AnOptionChosenOnTheEnginesSurveyAcceptsTheCampaignOnce) {
    store({{.id = "survey",
            .tool = "feedback",
            .steps = {{.tool = "feedback",
                       .extra = R"(, "feedback": {"title": "Rate us", "c": ["Yes", "No"]})"}}}});
    makeEngine();
    showScreen(home);
    std::shared_ptr<KJFeedbackTipViewController> survey;
    ASSERT_TRUE(settle([&] {
        survey = current();
        return survey && survey->coverView() && survey->coverView()->window() &&
               survey->choiceViewController();
    }));
    auto cover = survey->coverView();
    auto table = survey->choiceViewController()->tableChoice;
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath(NSIndexPath::forRow(1, 0))->textLabel()->text(), "No");
    TouchDriver::tap(table->cellForRowAtIndexPath(NSIndexPath::forRow(0, 0)));

    EXPECT_EQ(facade->results,
              (std::vector<FeedResult>{{"survey", "c-survey", BLQFeedResult::accepted, "s0", true, true}}));
    EXPECT_FALSE(engine->currentTipViewController());
    ASSERT_TRUE(settle([&] { return !cover->window(); }));
    survey->choiceViewController()->tableViewDidSelectRowAtIndexPath(*table, NSIndexPath::forRow(1, 0));
    EXPECT_EQ(facade->results.size(), 1u);
}

}  // namespace
}  // namespace brindlecue::tipscene
