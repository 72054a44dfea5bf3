#include "feed/KJTipElement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipCoachmarkElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipInteractions.h"
#include "feed/KJTipTextElement.h"
#include "feed/KJTipWebElement.h"
#include "foundation/KJLog.h"
#include "foundation/UIColorKJExt.h"
#include "platform/uikit/UIScreen.h"
#include "support/FakeTextMeasurer.h"
#include "support/FakeTipElements.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::FakeTipPartElement;
using testsupport::FakeTipTargetElement;

std::string hex(const std::optional<platform::Color>& color) {
    return UIColorKJExt::blqHexStringFromColor(color).value_or("none");
}

Value document(const std::string& json) {
    auto v = Value::fromJSON(json);
    EXPECT_TRUE(v) << json;
    return v.value_or(Value());
}

// A step of every kind of element, as the server sends it.
const char* kFullStep = R"json({
  "meta": {
    "id": 42, "tool": "tour", "view": "HomeVC", "placement": "bottom", "delay": 1.5,
    "padding-top": 4, "padding-left": "6", "margin-bottom": 8, "box-shadow": 2,
    "background-color": "#336699", "url": "https://example.com/page",
    "animation": {"transition-in": {"type": "fade", "duration": 0.3, "direction": "top"}},
    "display-params": {"border-color": "rgb(255,0,0)", "border-width": 2, "corner-radius": 12,
                       "width": "80%", "height": null, "dim": 50, "color": "#112233"},
    "dismiss-params": {"touch-in": true, "touch-out": 1},
    "cutout-params": {"style": "circular", "width": 50, "diffuse": "blur"}
  },
  "interactions": [{"match_type": "all", "actions": [{"type": "next"}], "conditions": [{"type": "tap", "x": "3"}]}, "junk"],
  "extra_json": {"guideBlockKey": "survey", "other": 1},
  "carousel": {"items": [{"id": "p1", "title": "Page", "button-text": "Go", "button-width": "50%"}]},
  "feedback": {"title": "Tell us", "c": ["Yes", "", 3, "No"], "i": true, "custom_tags_list": "[\"plan\",\"tier\"]"},
  "image": [{"id": "img1"}, 7, {"id": "img2"}],
  "title": {"text": "Welcome", "color": "#000000", "font-size": 18},
  "content": {"text": "Body", "line-height": "150%"},
  "buttons": {"pair": "yes", "layout": "Vertical",
              "next": {"text": "Next", "width": "50%", "height": "40%"},
              "prev": {"text": "Back"},
              "dismiss": {"id": "close"}},
  "pointer-params": {"width": 20}
})json";

class KJTipElementTest : public testing::Test {
protected:
    void SetUp() override { platform::UIScreen::mainScreen()->setBounds({0, 0, 390, 844}); }
    void TearDown() override { platform::UIScreen::mainScreen()->setBounds({0, 0, 375, 812}); }

    testsupport::ScopedFakeTipElements fakes;
    testsupport::ScopedTextMeasurer measurer;
};

TEST_F(KJTipElementTest, FullDocumentParsesEveryElement) {
    auto step = KJTipElement::createFromFeed(document(kFullStep));
    ASSERT_TRUE(step);
    EXPECT_EQ(step->suid, "42");
    EXPECT_EQ(step->tipType, 99);  // a guide block key makes it a custom guide step
    EXPECT_EQ(step->guideBlockKey, "survey");
    EXPECT_EQ(step->extraJson["other"], Value(1));
    EXPECT_EQ(step->view, "HomeVC");
    ASSERT_TRUE(step->target);
    EXPECT_EQ(step->target->vcClass(), "HomeVC");
    EXPECT_EQ(std::dynamic_pointer_cast<FakeTipTargetElement>(step->target)->parent.lock(), step);
    EXPECT_EQ(step->placement, 4);
    EXPECT_DOUBLE_EQ(step->delaySeconds, 1.5);
    EXPECT_EQ(step->padding, (FourSide{4, 0, 6, 0}));
    EXPECT_EQ(step->margin, (FourSide{0, 8, 0, 0}));
    EXPECT_EQ(hex(step->backgroundColor), "#FF336699");
    EXPECT_EQ(hex(step->borderColor), "#FFFF0000");
    EXPECT_EQ(step->borderCornerRadius, 12);
    EXPECT_DOUBLE_EQ(step->width, 0.8);
    EXPECT_EQ(step->widthUnit, "PERCENTAGE");
    EXPECT_EQ(step->height, 0);
    EXPECT_EQ(step->heightUnit, "DP");  // null is there, so it is points

    // "dim" 50 with "#112233" becomes an overlay of "#80112233", which colours the cover.
    ASSERT_TRUE(step->overlay);
    EXPECT_EQ(step->overlay->type, "overlay");
    EXPECT_EQ(hex(step->overlay->backgroundColor), "#80112233");
    EXPECT_EQ(hex(step->overlayColor), "#80112233");

    EXPECT_TRUE(step->dismissWhenTouchInside);
    EXPECT_TRUE(step->dismissWhenTouchOutside);
    ASSERT_TRUE(step->coachmark);
    EXPECT_EQ(step->coachmark->style, 1);
    EXPECT_EQ(step->coachmark->diffuse, 2);
    ASSERT_TRUE(step->animation);
    EXPECT_EQ(step->animation->inType, 1);
    EXPECT_DOUBLE_EQ(step->animation->inDuration, 0.3);
    EXPECT_EQ(step->animation->inDirection, 2);
    EXPECT_EQ(step->animation->outType, 0);

    ASSERT_TRUE(step->arrayInteractions);
    ASSERT_EQ(step->arrayInteractions->size(), 1u);
    auto& rule = *step->arrayInteractions->front();
    EXPECT_EQ(rule.matchType, "all");
    ASSERT_EQ(rule.conditions->size(), 1u);
    EXPECT_EQ(rule.conditions->front()->targetParams->x, 3);
    EXPECT_EQ(rule.conditions->front()->targetParams->type, "tap");

    ASSERT_TRUE(step->carousel);
    EXPECT_EQ(step->carousel->items->size(), 1u);
    ASSERT_TRUE(step->feedback);  // read for a custom guide step
    EXPECT_TRUE(step->feedback->needInput);
    ASSERT_TRUE(step->arrayImages);
    ASSERT_EQ(step->arrayImages->size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<FakeTipPartElement>(step->arrayImages->at(1))->id, "img2");
    EXPECT_EQ(step->title->text, "Welcome");
    EXPECT_DOUBLE_EQ(step->content->lineHeight, 1.5);
    EXPECT_EQ(step->web->url, "https://example.com/page");
    EXPECT_EQ(std::dynamic_pointer_cast<FakeTipPartElement>(step->dismiss)->id, "close");

    // Buttons get the step's size in whole points: 80% of the 390-point screen is 312, and a
    // percentage of the step's height is taken of the screen's height.
    EXPECT_EQ(step->pair, "yes");
    ASSERT_TRUE(step->next && step->prev);
    EXPECT_EQ(step->next->buttonType, "next");
    EXPECT_EQ(step->prev->buttonType, "prev");
    EXPECT_DOUBLE_EQ(step->next->width, 156);
    EXPECT_FALSE(step->isHorizontal);  // both buttons have text and the layout is vertical

    EXPECT_EQ(step->pointerParams, (PointerParams{20, 0, 0}));
}

TEST_F(KJTipElementTest, DefaultsOfASparseStep) {
    auto step = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A", "tool": "tip"},
        "feedback": {"title": "ignored"}, "buttons": {"layout": "vertical", "next": {"text": "Go"}}})"));
    ASSERT_TRUE(step);
    EXPECT_FALSE(step->suid.has_value());  // no id: absent, never "(null)"
    EXPECT_EQ(step->tipType, 2);
    EXPECT_EQ(step->placement, 1);
    EXPECT_EQ(hex(step->backgroundColor), "#FFFFFFFF");
    EXPECT_FALSE(step->borderColor.has_value());
    EXPECT_FALSE(step->widthUnit.has_value());
    EXPECT_FALSE(step->overlay);
    EXPECT_FALSE(step->feedback);  // a plain tip has no survey
    EXPECT_FALSE(step->arrayInteractions.has_value());
    EXPECT_EQ(step->pointerParams, (PointerParams{15, 10, 0}));
    EXPECT_TRUE(step->isHorizontal);  // only one button: the layout word does not apply
    EXPECT_EQ(step->next->width, -1);

    auto noButtons = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A",
        "display-params": {"border-width": -2, "corner-radius": -1, "width": 300}}})"));
    ASSERT_TRUE(noButtons);
    EXPECT_FALSE(noButtons->isHorizontal);
    EXPECT_EQ(noButtons->borderWidth, 0);
    EXPECT_EQ(noButtons->borderCornerRadius, 0);
    EXPECT_EQ(hex(noButtons->borderColor), "#00000000");
    EXPECT_EQ(noButtons->width, 300);
    EXPECT_EQ(noButtons->widthUnit, "DP");
    EXPECT_EQ(noButtons->heightUnit, "EMPTY");

    // No usable target, no step.
    EXPECT_FALSE(KJTipElement::createFromFeed(document(R"({"meta": {"tool": "tip"}})")));
    EXPECT_FALSE(KJTipElement::createFromFeed(document(R"({"title": {"text": "x"}})")));
    EXPECT_FALSE(KJTipElement::createFromFeed(Value::array({1})));
}

TEST_F(KJTipElementTest, PercentageSizesOfButtonsFollowTheScreen) {
    auto step = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A",
        "display-params": {"width": "50%", "height": "40%"}},
        "buttons": {"next": {"text": "Go", "width": "100%", "height": "10%"}}})"));
    ASSERT_TRUE(step);
    // The container is 195 wide (50% of 390) and 337 high (40% of 844, whole points).
    EXPECT_DOUBLE_EQ(step->next->width, 195);
    EXPECT_DOUBLE_EQ(step->next->height, 337 * 0.1 + 10);
}

TEST_F(KJTipElementTest, SizesBeyondTheIntegerRangeAreHeldToItForTheButtons) {
    // Found by fuzzing: the step's size as whole points overflowed the integer before the buttons
    // took it. Without a screen there is no step, but its buttons' sizes are reckoned first.
    EXPECT_FALSE(KJTipElement::createFromFeed(
        document(R"({"meta":{"display-params":{"width":"90222222222222222222"}},"buttons":{}})")));

    auto step = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A",
        "display-params": {"width": "1e300%", "height": "-1e300%"}},
        "buttons": {"next": {"text": "Go", "width": "50%", "height": "10%"}}})"));
    ASSERT_TRUE(step && step->next);
    // Half of the largest integer, in single precision as the button reckons.
    EXPECT_DOUBLE_EQ(step->next->width, double(float(INT64_MAX) * 50) / 100.0);
    EXPECT_DOUBLE_EQ(step->next->height, double(INT64_MIN) * 10 / 100 + 10);
}

TEST_F(KJTipElementTest, AButtonSizeBeyondWhatANumberHoldsKeepsTheStepWhole) {
    // Found by fuzzing: a button height beyond single precision made the step differ from its own
    // stored form.
    auto step = KJTipElement::createFromFeed(document(R"({ "meta":{
 "view": "#"},"buttons":{ "next": {"height":"2222222222222222222222222222222222222240"}}})"));
    ASSERT_TRUE(step && step->next);
    EXPECT_EQ(step->next->height, 0);
    auto back = KJTipElement::deserializeFromDictionary(step->serializeToDictionary());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(step.get()));
}

TEST_F(KJTipElementTest, AnInfiniteSideKeepsTheStepEqualToItsStoredForm) {
    // Found by fuzzing (a feed's step): a padding beyond single precision is infinite, and the step
    // no longer equalled the step read back from its stored form.
    auto step = KJTipElement::createFromFeed(document(
        R"({"meta": {"view": "HomeVC", "padding-top": 4, "padding-left": "6e999", "margin-top": -1e300}})"));
    ASSERT_TRUE(step);
    EXPECT_TRUE(std::isinf(step->padding.left));
    auto back = KJTipElement::deserializeFromDictionary(step->serializeToDictionary());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(step.get()));
    EXPECT_TRUE(step->isEqual(step.get()));
}

TEST_F(KJTipElementTest, DimMigration) {
    EXPECT_EQ(KJTipElement::getColorWithAlpha(Value::dictionary({{"dim", 5}, {"color", "#abcdef"}})),
              "#0Dabcdef");
    EXPECT_EQ(KJTipElement::getColorWithAlpha(Value::dictionary({{"dim", "100"}, {"color", "000000"}})),
              "#FF000000");
    EXPECT_EQ(KJTipElement::converToHex(KJTipElement::calculateRoundedAlpha(Value(250))), "FF");
    EXPECT_EQ(KJTipElement::converToHex(KJTipElement::calculateRoundedAlpha(Value(-10))), "00");
    // Far beyond what an integer alpha holds before it is held to a byte.
    EXPECT_EQ(KJTipElement::calculateRoundedAlpha(Value(int64_t{501'000'000'000})), 255);
    EXPECT_EQ(KJTipElement::calculateRoundedAlpha(Value("-9000000000000")), 0);
    // Without a colour the overlay has none, and so the cover has none.
    auto step =
        KJTipElement::createFromFeed(document(R"({"meta": {"view": "A", "display-params": {"dim": 40}}})"));
    ASSERT_TRUE(step && step->overlay);
    EXPECT_FALSE(step->overlay->backgroundColor.has_value());
    EXPECT_FALSE(step->overlayColor.has_value());
    // An "overlay" object replaces the migrated one; a coachmark overlay leaves the cover alone.
    step = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A", "display-params": {"dim": 40,
        "color": "#111111"}}, "overlay": {"type": "coachmark", "background-color": "#222222"}})"));
    ASSERT_TRUE(step && step->overlay);
    EXPECT_EQ(step->overlay->type, "coachmark");
    EXPECT_FALSE(step->overlayColor.has_value());
}

TEST_F(KJTipElementTest, StoredAndRestoredStepEqualsTheOriginal) {
    auto step = KJTipElement::createFromFeed(document(kFullStep));
    ASSERT_TRUE(step);
    step->feed_id = "feed-1";
    Value stored = step->serializeToDictionary();
    // Nested records under their property names, the overlay and the pointer kept too.
    for (const char* key : {"target", "arrayImages", "title", "content", "prev", "next", "dismiss", "web",
                            "coachmark", "carousel", "feedback", "animation", "overlay"}) {
        EXPECT_TRUE(stored[key].isDictionary() || stored[key].isArray()) << key;
    }
    EXPECT_EQ(stored["pointerParams.width"], Value(20.0));
    EXPECT_EQ(stored["tipType"], Value(99));
    EXPECT_EQ(stored["padding.left"], Value(6.0));
    for (const char* never : {"arrayInteractions", "extraJson", "series", "viewController"}) {
        EXPECT_TRUE(stored[never].isAbsent()) << never;
    }

    auto back = KJTipElement::deserializeFromDictionary(stored);
    EXPECT_TRUE(back->isEqual(step.get()));
    EXPECT_TRUE(step->isEqual(back.get()));
    EXPECT_EQ(back->pointerParams, step->pointerParams);
    EXPECT_EQ(hex(back->overlay->backgroundColor), "#80112233");
    EXPECT_EQ(back->guideBlockKey, "survey");
    EXPECT_EQ(std::dynamic_pointer_cast<FakeTipTargetElement>(back->target)->parent.lock(), back);
    EXPECT_FALSE(back->arrayInteractions.has_value());

    // A difference in a nested record, the overlay or the pointer makes them unequal.
    back->title->text = "Other";
    EXPECT_FALSE(back->isEqual(step.get()));
    back = KJTipElement::deserializeFromDictionary(stored);
    back->overlay.reset();
    EXPECT_FALSE(back->isEqual(step.get()));
    back = KJTipElement::deserializeFromDictionary(stored);
    back->pointerParams.offset = 3;
    EXPECT_FALSE(back->isEqual(step.get()));
    back = KJTipElement::deserializeFromDictionary(stored);
    back->arrayImages->pop_back();
    EXPECT_FALSE(back->isEqual(step.get()));

    // Two steps without any nested record are equal; a stored form without a pointer reads the
    // document's default pointer.
    auto bare = std::make_shared<KJTipElement>();
    EXPECT_TRUE(bare->isEqual(std::make_shared<KJTipElement>().get()));
    EXPECT_EQ(KJTipElement::deserializeFromDictionary(Value::dictionary({{"suid", "1"}}))->pointerParams,
              (PointerParams{15, 10, 0}));
}

TEST_F(KJTipElementTest, WrongTypesEverywhereFallBackToDefaultsAndLog) {
    std::vector<std::string> lines;
    KJLogSetObserver([&](int, const std::string& line) { lines.push_back(line); });
    auto step = KJTipElement::createFromFeed(document(R"({
      "meta": {"view": "A", "id": [1], "tool": {"x": 1}, "placement": [], "delay": "soon",
               "background-color": 12, "animation": "fade", "padding-top": {},
               "display-params": {"width": [50], "height": {}, "border-width": "wide", "dim": "x"},
               "dismiss-params": [], "cutout-params": "circle"},
      "overlay": [1], "interactions": {"a": 1}, "extra_json": "text", "carousel": [],
      "image": {"id": 1}, "title": "Hello", "content": 5, "buttons": [],
      "pointer-params": "big"
    })"));
    KJLogSetObserver(nullptr);
    ASSERT_TRUE(step);
    EXPECT_FALSE(step->suid.has_value());
    EXPECT_EQ(step->tipType, 0);
    EXPECT_EQ(step->placement, 1);
    EXPECT_EQ(step->delaySeconds, 0);
    EXPECT_EQ(hex(step->backgroundColor), "#FFFFFFFF");
    EXPECT_EQ(step->padding.top, 0);
    EXPECT_EQ(step->width, 0);
    EXPECT_EQ(step->widthUnit, "EMPTY");
    EXPECT_EQ(step->heightUnit, "EMPTY");
    EXPECT_FALSE(step->animation || step->coachmark || step->overlay || step->carousel || step->title ||
                 step->content || step->next);
    EXPECT_FALSE(step->arrayInteractions.has_value() || step->arrayImages.has_value());
    EXPECT_TRUE(step->extraJson.isAbsent());
    EXPECT_EQ(step->pointerParams, (PointerParams{15, 10, 0}));
    EXPECT_EQ(lines.size(), 19u);  // one line per field of the wrong kind
    EXPECT_NE(
        std::find(
            lines.begin(), lines.end(),
            "Model: KJTipElement \"buttons\" is a list where a dictionary is expected; the default is used."),
        lines.end());

    // Wrong kinds inside nested elements and in a stored form.
    auto nested = KJTipElement::createFromFeed(document(R"({"meta": {"view": "A"},
        "title": {"text": ["x"], "color": 1, "padding-top": "x"},
        "buttons": {"next": {"text": {}, "width": [], "height": {}, "font-family": [1], "cta": {}}},
        "carousel": {"items": [{"button-text": 1, "title-color": 5}, "x"]},
        "feedback": {"c": "Yes", "custom_tags_list": 3}})"));
    ASSERT_TRUE(nested);
    EXPECT_FALSE(nested->title->text.has_value());
    EXPECT_EQ(hex(nested->title->textColor), "#FF000000");
    EXPECT_FALSE(nested->next->buttonText.has_value() || nested->next->actionUrl.has_value());
    EXPECT_EQ(nested->next->width, -1);
    ASSERT_EQ(nested->carousel->items->size(), 1u);
    EXPECT_FALSE(nested->carousel->items->front()->button);
    auto odd = KJTipElement::deserializeFromDictionary(document(R"({"target": "x", "title": [1],
        "arrayImages": {"a": 1}, "tipType": "7", "padding.top": [1], "pointerParams.width": "9"})"));
    EXPECT_EQ(odd->tipType, 7);
    EXPECT_FALSE(odd->target || odd->title || odd->arrayImages);
    EXPECT_EQ(odd->pointerParams, (PointerParams{9, 0, 0}));
}

}  // namespace
}  // namespace brindlecue
