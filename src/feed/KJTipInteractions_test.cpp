#include "feed/KJTipInteractions.h"

#include <gtest/gtest.h>

#include "feed/BLQTipTarget.h"
#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipCoachmarkElement.h"
#include "feed/NSDictionaryKeyValidator.h"
#include "foundation/UIColorKJExt.h"

namespace brindlecue {
namespace {

using platform::Value;

Value document(const std::string& json) {
    auto v = Value::fromJSON(json);
    EXPECT_TRUE(v) << json;
    return v.value_or(Value());
}

TEST(KJTipInteractions, RulesActionsAndConditions) {
    auto rule = KJTipInteractions::createFromFeed(document(R"({"match_type": 1,
        "actions": ["skip", {"type": "open", "value": 7}], "conditions": [{"type": "tap", "x": "12.5"}]})"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->matchType, "1");
    ASSERT_EQ(rule->actions->size(), 1u);
    EXPECT_EQ(rule->actions->front()->value, "7");
    auto condition = rule->conditions->front();
    EXPECT_EQ(condition->value, "");
    auto params = condition->targetParams;
    ASSERT_TRUE(params);
    EXPECT_EQ(params->x, 12.5);
    EXPECT_EQ(params->y, 0);
    EXPECT_EQ(params->type, "tap");
    EXPECT_EQ(params->ancestor, "");
    EXPECT_EQ(KJTipInteractions::createFromFeed(document(R"({"actions": []})"))->matchType, "");
    EXPECT_TRUE(KJTipInteractions::createFromFeed(document(R"({"actions": []})"))->actions->empty());
    EXPECT_FALSE(KJTipInteractions::createFromFeed(document(R"({})"))->conditions.has_value());

    // Only texts and numbers are stored: a condition comes back without its target parameters,
    // a rule without its actions.
    Value stored = condition->serializeToDictionary();
    EXPECT_EQ(stored, document(R"({"type": "tap", "value": "", "target": "", "view": ""})"));
    auto back = KJConditions::deserializeFromDictionary(stored);
    EXPECT_FALSE(back->targetParams);
    EXPECT_TRUE(back->isEqual(condition.get()));
    EXPECT_EQ(rule->serializeToDictionary(), document(R"({"matchType": "1"})"));
    EXPECT_TRUE(
        KJTargetParams::deserializeFromDictionary(params->serializeToDictionary())->isEqual(params.get()));
}

TEST(KJTipInteractions, TargetDescriptorsAndKeyLookup) {
    auto target = BLQTipTarget::createFromTarget(document(R"({"alg": "accessibility", "version": 3,
        "inputs": [{"target": "login"}, 5, {"target": "signup"}]})"));
    ASSERT_TRUE(target);
    EXPECT_EQ(target->alg, "accessibility");
    EXPECT_EQ(target->version, "3");
    ASSERT_EQ(target->inputs->size(), 2u);
    EXPECT_EQ(target->inputs->at(0).target, "login");
    EXPECT_EQ(target->inputs->at(1).target, "signup");
    EXPECT_FALSE(BLQTipTarget::createFromTarget(document(R"({"inputs": []})"))->inputs.has_value());
    EXPECT_FALSE(BLQTipTarget::createFromTarget(Value("x")));

    Value d = document(R"({"a": null, "b": 2})");
    EXPECT_TRUE(getValueIfkeyExists(d, "a").isNull());
    EXPECT_EQ(getValueIfkeyExists(d, "b"), Value(2));
    EXPECT_EQ(getValueIfkeyExists(d, "c"), Value(""));
}

TEST(KJTipInteractions, OverlayCoachmarkAndAnimation) {
    auto overlay = KJOverlay::createFromFeed(document(R"({"type": "coachmark", "padding-top": 4,
        "padding-right": "2", "corner-radius": 8, "border-color": "#00FF00"})"));
    ASSERT_TRUE(overlay);
    EXPECT_FALSE(overlay->backgroundColor.has_value());
    EXPECT_EQ(overlay->padding, (FourSide{4, 0, 0, 2}));
    overlay->highlightFrame = {1, 2, 3, 4};
    Value stored = overlay->serializeToDictionary();
    EXPECT_TRUE(stored["highlightFrame"].isAbsent());
    auto back = KJOverlay::deserializeFromDictionary(stored);
    EXPECT_EQ(back->highlightFrame.size.width, 0);
    EXPECT_TRUE(back->isEqual(overlay.get()));
    EXPECT_EQ(KJOverlay::createFromFeed(document(R"({"type": null})"))->type, "");

    EXPECT_EQ(KJTipCoachmarkElement::createFromFeed(document(R"({})"))->style, 3);
    EXPECT_EQ(KJTipCoachmarkElement::createFromFeed(document(R"({"style": "Circular"})"))->style, 3);
    auto coachmark = KJTipCoachmarkElement::createFromFeed(document(R"({"style": "rectangular",
        "diffuse": "gradient", "width": 30, "padding-left": 6, "background-color": "#80FFFFFF"})"));
    EXPECT_EQ(coachmark->style, 2);
    EXPECT_EQ(coachmark->diffuse, 1);
    EXPECT_EQ(coachmark->padding.left, 6);
    EXPECT_FALSE(coachmark->type.has_value());

    auto animation = KJTipAnimationElement::createFromFeed(document(
        R"({"transition-in": "fade", "transition-out": {"type": "slide", "duration": 0.3, "direction": "bottom"}})"));
    EXPECT_EQ(animation->inType, 0);
    EXPECT_EQ(animation->inDuration, 0);
    EXPECT_EQ(animation->inDirection, 0);
    EXPECT_EQ(animation->outType, 2);
    EXPECT_DOUBLE_EQ(animation->outDuration, 0.3);
    EXPECT_EQ(animation->outDirection, 4);
}

}  // namespace
}  // namespace brindlecue
