// Guides the host adds from code: expanding the document over the bundled templates, and handing
// the result to the tip engine.

#include "tips/BLQCustomGuideHelper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "feed/BLQFeedManager.h"
#include "foundation/BLQDateUtils.h"
#include "feed/KJTipTextElement.h"
#include "support/RecordingLoggerManager.h"
#include "support/ResourceBundle.h"
#include "support/StubConfigManager.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using platform::Value;

Value parse(const std::string& text) {
    auto parsed = Value::fromJSON(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(Value());
}

class BLQCustomGuideHelperTest : public testing::Test {
protected:
    void SetUp() override { bundle = testsupport::installResourceBundle(); }

    std::optional<Value> expand(const std::string& document) {
        auto out = helper->createPayloadForAppKey("key-7", parse(document));
        return out ? std::optional<Value>(Value(*out)) : std::nullopt;
    }
    void writeTemplate(const std::string& name, const std::string& text) {
        std::ofstream(bundle / (name + ".json")) << text;
    }

    std::filesystem::path bundle;
    std::shared_ptr<BLQCustomGuideHelper> helper = BLQCustomGuideHelper::withDefaultParams();
    std::shared_ptr<testsupport::RecordingLoggerManager> log = testsupport::RecordingLoggerManager::install();
};

TEST_F(BLQCustomGuideHelperTest, EachStepIsItsTemplateWithTheHostsValuesOverIt) {
    auto item = expand(R"({"steps": [
        {"template": "ModalTemplate", "title": "Hi", "content": {"rich": true}, "width": "80%", "height": "320",
         "image": "https://img.test/a.png", "extra": "ignored"},
        {"template": "FeedbackTemplate", "title": "Rate us", "content": "Tell us more", "options": ["Yes", "No"],
         "width": 320}]})");
    ASSERT_TRUE(item);
    const Value& steps = (*item)["content"]["payload"];
    ASSERT_EQ(steps.count(), 2u);

    const Value& modal = steps[0];
    EXPECT_EQ(modal["meta"]["id"], Value(0));
    EXPECT_EQ(modal["meta"]["tool"], Value("modal"));
    EXPECT_EQ(modal["title"], parse(R"({"text": "Hi", "color": "#222222", "text-align": "center"})"));
    EXPECT_EQ(modal["content"]["text"], parse(R"({"rich": true})"));
    EXPECT_EQ(modal["meta"]["display-params"],
              parse(R"({"width": "80%", "_width_unit": "%", "corner-radius": 8, "height": "320", "_height_unit": "px"})"));
    EXPECT_EQ(modal["image"], parse(R"([{"resource": "https://img.test/a.png"}])"));
    EXPECT_EQ(modal["buttons"], parse(R"({"next": {"text": "OK"}})"));
    EXPECT_FALSE(modal.getDictionary()->contains("extra"));

    // On a feedback template the title and content are the survey's; a width that is not text is
    // not taken.
    const Value& survey = steps[1];
    EXPECT_EQ(survey["meta"]["id"], Value(1));
    EXPECT_EQ(survey["feedback"],
              parse(R"({"title": "Rate us", "message": "Tell us more", "i": false, "c": ["Yes", "No"]})"));
    EXPECT_TRUE(survey["title"].isAbsent());
    EXPECT_TRUE(survey["content"].isAbsent());
    EXPECT_EQ(survey["meta"]["display-params"]["width"], Value("90%"));
}

TEST_F(BLQCustomGuideHelperTest, TheCampaignIsANewOneOfTheAppKeyForAYearOverTheSetupTemplate) {
    auto first = expand(R"({"steps": []})");
    auto second = expand(R"({"steps": [{"template": "ModalTemplate"}]})");
    ASSERT_TRUE(first && second);
    const Value& item = *first;
    EXPECT_THAT(item.getDictionary()->keys(),
                testing::ElementsAre("priority", "content", "id", "app_key", "campaignid", "title", "message", "type",
                                     "activates", "expires", "created", "modified"));
    EXPECT_EQ(item["content"]["payload"], Value::array());
    EXPECT_EQ(item["content"]["setup"],
              parse(R"({"tool": "modal", "view": "_ALL_", "display": ["dom"], "launcher": {"type": "page-open"}})"));
    EXPECT_EQ(item["app_key"], Value("key-7"));
    EXPECT_EQ(item["type"], Value("CAMPAIGN"));
    EXPECT_EQ(item["title"], Value(""));
    EXPECT_TRUE(std::regex_match(item["id"].stringValue(), std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
    EXPECT_EQ(item["campaignid"], item["id"]);
    EXPECT_NE((*second)["id"], item["id"]);

    auto activates = blqParseDate(item["activates"]);
    auto expires = blqParseDate(item["expires"]);
    ASSERT_TRUE(activates && expires);
    EXPECT_EQ(expires->timeIntervalSince(*activates), 365 * 24 * 3600.0);
    EXPECT_EQ(item["created"], item["activates"]);
    EXPECT_EQ(item["modified"], item["activates"]);
    EXPECT_TRUE(std::regex_match(item["activates"].stringValue(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
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
    EXPECT_TRUE(log->contains("CustomGuideHelper: Failed to find bundle for template with name: Nowhere", 4));
    EXPECT_TRUE(log->contains("CustomGuideHelper: Aborting custom guide, a step was found with a 'template' name of: "
                              "Nowhere, but no template was found in the SDK bundle matching that name",
                              4));

    writeTemplate("Broken", "{\"meta\": ");
    writeTemplate("Listed", "[1, 2]");
    EXPECT_FALSE(expand(R"({"steps": [{"template": "Broken"}]})"));
    EXPECT_EQ(log->count("CustomGuideHelper: Failed to parse JSON for template: Broken. Error: "), 1u);
    EXPECT_FALSE(expand(R"({"steps": [{"template": "Listed"}]})"));

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

class AddedGuideTest : public tipscene::TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        testsupport::installResourceBundle();
    }
    // The feed manager of the engine as it is now.
    std::shared_ptr<BLQFeedManager> feedManager() {
        auto manager = std::make_shared<BLQFeedManager>(
            nullptr, std::make_shared<testsupport::StubConfigManager>(), engine, nullptr,
            BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
        manager->setDelegate(delegate);
        return manager;
    }
    std::shared_ptr<PruningDelegate> delegate = std::make_shared<PruningDelegate>();
    std::shared_ptr<BLQCustomGuideHelper> helper = BLQCustomGuideHelper::withDefaultParams();
};

TEST_F(AddedGuideTest, AnAddedGuideJoinsTheStoredCampaignsAndShows) {
    store({tipscene::CampaignSpec{.id = "stored", .trigger = "click", .priority = -1}});
    makeEngine();
    auto feeds = feedManager();
    // The guide is active from the moment it is made, written to the millisecond: time that stands
    // still on a whole millisecond would leave it not yet active.
    platform::Clock::advance(0.0005);

    ASSERT_TRUE(blqAddCustomGuide(*helper, *feeds, tipscene::kAppKey,
                                  parse(R"({"steps": [{"template": "ModalTemplate", "title": "Welcome"}]})")));
    EXPECT_EQ(delegate->prunings, 0);
    auto ids = liveIds();
    ASSERT_EQ(ids.size(), 2u);
    // By priority: the setup template's 0 comes last.
    EXPECT_EQ(ids[0], "stored");
    const std::string added = ids[1];
    EXPECT_NE(KJDBManager::sharedInstance()->findTipSeriesByFeedId("stored"), nullptr);
    EXPECT_NE(KJDBManager::sharedInstance()->findTipSeriesByFeedId(added), nullptr);
    EXPECT_EQ(live(added)->arrayTips.at(0)->title->text, "Welcome");

    showScreen(home);
    ASSERT_TRUE(settle([&] { return controllers.presented(added) != nullptr; }));
    EXPECT_EQ(controllers.kinds.back(), BLQTipViewControllerKind::modal);

    // A document that does not expand adds nothing.
    EXPECT_FALSE(blqAddCustomGuide(*helper, *feeds, tipscene::kAppKey, parse(R"({"steps": [{"template": "Gone"}]})")));
    EXPECT_EQ(liveIds(), ids);
}

}  // namespace
}  // namespace brindlecue
