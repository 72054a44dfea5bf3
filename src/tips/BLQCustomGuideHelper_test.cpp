// Guides the host adds from code: expanding the document over the bundled templates, and handing
// the result to the tip engine.

#include "tips/BLQCustomGuideHelper.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "feed/BLQFeedManager.h"
#include "feed/KJTipTextElement.h"
#include "foundation/BLQDateUtils.h"
#include "support/ResourceBundle.h"
#include "support/StubConfigManager.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using platform::Value;
using namespace tipscene;

Value parse(const std::string& text) {
    return Value::fromJSON(text).value_or(Value());
}

class BLQCustomGuideHelperTest : public testing::Test {
protected:
    void SetUp() override { bundle = testsupport::installResourceBundle(); }
    std::optional<Value> expand(const std::string& document) {
        auto out = helper->createPayloadForAppKey("key-7", parse(document));
        return out ? std::optional<Value>(Value(*out)) : std::nullopt;
    }

    std::filesystem::path bundle;
    std::shared_ptr<BLQCustomGuideHelper> helper = BLQCustomGuideHelper::withDefaultParams();
    std::shared_ptr<testsupport::RecordingLoggerManager> log = testsupport::RecordingLoggerManager::install();
};

TEST_F(BLQCustomGuideHelperTest, ACampaignOfTheAppKeyForAYearWhoseStepsAreTemplatesWithTheHostsValues) {
    auto item = expand(R"({"steps": [
        {"template": "ModalTemplate", "title": "Hi", "content": {"rich": true}, "width": "80%", "height": "320"},
        {"template": "FeedbackTemplate", "title": "Rate us", "content": "More?", "options": ["Yes"], "width": 320}]})");
    ASSERT_TRUE(item);
    const Value& modal = (*item)["content"]["payload"][0];
    EXPECT_EQ(modal["meta"]["id"], Value(0));
    EXPECT_EQ(modal["title"]["text"], Value("Hi"));
    EXPECT_EQ(modal["title"]["color"], Value("#222222"));
    EXPECT_EQ(modal["content"]["text"], parse(R"({"rich": true})"));
    EXPECT_EQ(modal["meta"]["display-params"],
              parse(R"({"width": "80%", "_width_unit": "%", "corner-radius": 8, "height": "320", "_height_unit": "px"})"));
    // On a feedback template the title and content are the survey's; a width that is not text is
    // not taken.
    const Value& survey = (*item)["content"]["payload"][1];
    EXPECT_EQ(survey["meta"]["id"], Value(1));
    EXPECT_EQ(survey["feedback"], parse(R"({"title": "Rate us", "message": "More?", "i": false, "c": ["Yes"]})"));
    EXPECT_TRUE(survey["title"].isAbsent());
    EXPECT_EQ(survey["meta"]["display-params"]["width"], Value("90%"));

    EXPECT_EQ((*item)["content"]["setup"]["launcher"]["type"], Value("page-open"));
    EXPECT_EQ((*item)["app_key"], Value("key-7"));
    EXPECT_TRUE(std::regex_match((*item)["id"].stringValue(), std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
    EXPECT_EQ((*item)["campaignid"], (*item)["id"]);
    auto activates = blqParseDate((*item)["activates"]);
    auto expires = blqParseDate((*item)["expires"]);
    ASSERT_TRUE(activates && expires);
    EXPECT_EQ(expires->timeIntervalSince(*activates), 365 * 24 * 3600.0);

    auto empty = expand(R"({"steps": []})");
    ASSERT_TRUE(empty);
    EXPECT_EQ((*empty)["content"]["payload"], Value::array());
    EXPECT_NE((*empty)["id"], (*item)["id"]);
}

TEST_F(BLQCustomGuideHelperTest, ADocumentThatCannotBeExpandedGivesNothing) {
    EXPECT_FALSE(expand(R"({})"));
    EXPECT_FALSE(expand(R"({"steps": [{"template": "ModalTemplate"}, 5]})"));
    EXPECT_TRUE(log->contains(
        "CustomGuideHelper: No steps included in the 'guide' dictionary, please refer to documentation", 4));
    EXPECT_FALSE(expand(R"({"steps": [{"title": "no template"}]})"));
    EXPECT_TRUE(log->contains("CustomGuideHelper: Aborting custom guide, a step was found with no 'template' specified", 4));
    // A good first step does not save a document whose second template is missing.
    EXPECT_FALSE(expand(R"({"steps": [{"template": "ModalTemplate"}, {"template": "Nowhere"}]})"));
    EXPECT_TRUE(log->contains("CustomGuideHelper: Aborting custom guide, a step was found with a 'template' name of: "
                              "Nowhere, but no template was found in the SDK bundle matching that name",
                              4));
    std::ofstream(bundle / "Broken.json") << "{\"meta\": ";
    EXPECT_FALSE(expand(R"({"steps": [{"template": "Broken"}]})"));
    EXPECT_EQ(log->count("CustomGuideHelper: Failed to parse JSON for template: Broken. Error: "), 1u);

    std::filesystem::remove(bundle / "SetupTemplate.json");
    EXPECT_FALSE(expand(R"({"steps": [{"template": "ModalTemplate"}]})"));
    EXPECT_TRUE(log->contains(
        "CustomGuideHelper: Failed to merge template with name: SetupTemplate with payload for guide", 4));
}

// The facade's feed delegate: it would prune the campaign cache if asked.
class PruningDelegate final : public BLQIFeedReceivedDelegate {
public:
    void onFeedReceivedSuccessWithResponse(const Value&, const platform::URL&) override {}
    void onFeedReceivedFailureWithError(const platform::Error&) override {}
    void deleteInfiniteGuides() override { ++prunings; }
    void deletedDisabledGuides(const std::vector<std::string>&) override { ++prunings; }
    int prunings = 0;
};

TEST_F(TipEngineTest, AnAddedGuideJoinsTheStoredCampaignsAndShows) {
    testsupport::installResourceBundle();
    store({CampaignSpec{.id = "stored", .trigger = "click", .priority = -1}});
    makeEngine();
    auto delegate = std::make_shared<PruningDelegate>();
    auto feeds = std::make_shared<BLQFeedManager>(nullptr, std::make_shared<testsupport::StubConfigManager>(), engine,
                                                  nullptr,
                                                  BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    feeds->setDelegate(delegate);
    auto helper = BLQCustomGuideHelper::withDefaultParams();
    // The guide is active from the moment it is made, written to the millisecond: time that stands
    // still on a whole millisecond would leave it not yet active.
    Clock::advance(0.0005);

    ASSERT_TRUE(blqAddCustomGuide(*helper, *feeds, kAppKey,
                                  parse(R"({"steps": [{"template": "ModalTemplate", "title": "Welcome"}]})")));
    EXPECT_EQ(delegate->prunings, 0);
    auto ids = liveIds();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], "stored");
    const std::string added = ids[1];
    EXPECT_NE(KJDBManager::sharedInstance()->findTipSeriesByFeedId("stored"), nullptr);
    EXPECT_EQ(live(added)->arrayTips.at(0)->title->text, "Welcome");
    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented(added) != nullptr; }));
    EXPECT_EQ(controllers.kinds.back(), BLQTipViewControllerKind::modal);

    // A document that does not expand adds nothing.
    EXPECT_FALSE(blqAddCustomGuide(*helper, *feeds, kAppKey, parse(R"({"steps": [{"template": "Gone"}]})")));
    EXPECT_EQ(liveIds(), ids);
}

}  // namespace
}  // namespace brindlecue
