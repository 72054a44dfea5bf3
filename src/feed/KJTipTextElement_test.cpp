#include "feed/KJTipTextElement.h"

#include <gtest/gtest.h>

#include "feed/BLQIPaddingLabel.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipWebElement.h"
#include "foundation/UIColorKJExt.h"
#include "platform/Bundle.h"
#include "platform/uikit/CALayer.h"
#include "support/FakeTextMeasurer.h"

namespace brindlecue {
namespace {

using platform::Value;

Value document(const std::string& json) {
    auto v = Value::fromJSON(json);
    EXPECT_TRUE(v) << json;
    return v.value_or(Value());
}

std::shared_ptr<KJTipTextElement> text(const std::string& json) {
    return KJTipTextElement::createFromFeed(document(json));
}

std::string hex(const std::optional<platform::Color>& color) {
    return UIColorKJExt::blqHexStringFromColor(color).value_or("none");
}

class PaddedLabel : public platform::UILabel, public BLQIPaddingLabel {
public:
    void setContentEdgeInsets(const platform::UIEdgeInsets& insets) override { this->insets = insets; }
    platform::UIEdgeInsets insets;
};

TEST(KJTipTextElement, DocumentDefaultsAndLineHeights) {
    auto t = text(R"({"text": "Hi", "color": "not a colour", "font-family": "Arial", "font-size": "15",
                      "text-align": "center", "padding-top": 1, "padding-left": 2, "margin-right": 3})");
    ASSERT_TRUE(t);
    EXPECT_EQ(hex(t->textColor), "#FF000000");
    EXPECT_EQ(hex(t->backgroundColor), "#00000000");
    EXPECT_EQ(t->alignment, 1);
    EXPECT_EQ(t->padding, (FourSide{1, 0, 2, 0}));
    EXPECT_EQ(t->margin, (FourSide{0, 0, 0, 3}));
    EXPECT_EQ(t->fontName, "Arial");
    EXPECT_EQ(t->fontSize, 15);
    EXPECT_EQ(t->fontWeight, "");
    EXPECT_EQ(hex(text(R"({})")->textColor), "#FF000000");
    EXPECT_FALSE(text(R"({})")->text.has_value());

    auto attributes = [](const char* lineHeight) {
        return KJTipTextElement::textAttributeForElement(
            text(std::string(R"({"line-height": )") + lineHeight + "}"));
    };
    EXPECT_DOUBLE_EQ(attributes("\"150%\"").lineHeightMultiple, 1.5);
    EXPECT_EQ(attributes("\"150%\"").minimumLineHeight, 0);
    EXPECT_EQ(attributes("20").minimumLineHeight, 20);
    EXPECT_EQ(attributes("20").lineHeightMultiple, 0);
    EXPECT_EQ(attributes("5").lineHeightMultiple, 5);
    EXPECT_EQ(attributes("0").lineHeightMultiple + attributes("0").minimumLineHeight, 0);
    auto styled = KJTipTextElement::textAttributeForElement(t);
    EXPECT_EQ(styled.alignment, platform::NSTextAlignment::Center);
    EXPECT_EQ(styled.font->pointSize, 15);
    EXPECT_EQ(styled.lineBreakMode, platform::NSLineBreakMode::ByWordWrapping);
}

TEST(KJTipTextElement, MeasuresTheTextInsideMarginsAndPadding) {
    testsupport::ScopedTextMeasurer measurer;
    // One line of a 32.56-point font is 40.7 points high: 8 + 40 + 8 + 10.
    auto t = text(R"({"text": "Hello", "font-size": 32.56, "padding-top": 8, "padding-bottom": 8})");
    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(t, 300), 66);

    t = text(R"({"text": "abcdefghij", "font-size": 16, "margin-left": 5, "margin-right": 5,
                 "padding-left": 10, "padding-right": 10})");
    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(t, 70), 2 * 20 + 10);  // 40 wide: 5 a line
    EXPECT_EQ(measurer.calls().back().maxWidth, 40);
    // A minimum line height applies to every line; a multiple scales them.
    t->lineHeight = 30;
    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(t, 70), 2 * 30 + 10);
    t->lineHeight = 1.5;
    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(t, 70), 60 + 10);

    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(text(R"({"text": ""})"), 70), 0);
    EXPECT_EQ(KJTipTextElement::calculateTextHeightForElement(nullptr, 70), 0);
}

TEST(KJTipTextElement, StylesLabels) {
    auto label = platform::make<PaddedLabel>();
    auto container = platform::make<platform::UIView>();
    container->setClipsToBounds(true);
    auto t = text(R"({"text": "Hello", "color": "#FF0000", "text-align": "right", "font-size": 18,
                      "padding-top": 1, "padding-bottom": 2, "padding-left": 3, "padding-right": 4, "box-shadow": 2})");
    KJTipTextElement::layoutLabel(label, container, t);
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->text(), "Hello");
    EXPECT_EQ(label->numberOfLines(), 0);
    EXPECT_EQ(label->textColor(), platform::UIColor::redColor());
    EXPECT_EQ(label->textAlignment(), platform::NSTextAlignment::Right);
    EXPECT_EQ(label->font().pointSize, 18);
    EXPECT_EQ(label->insets, (platform::UIEdgeInsets{1, 3, 2, 4}));
    EXPECT_EQ(label->layer()->shadowOffset.height, 2);
    EXPECT_EQ(label->layer()->shadowOpacity, 0.5);
    EXPECT_FALSE(container->clipsToBounds());

    t->text = "";
    KJTipTextElement::layoutLabel(label, container, t);
    EXPECT_TRUE(label->isHidden());
    EXPECT_EQ(label->text(), "Hello");  // nothing else changes
}

TEST(KJTipTextElement, WebAndFeedbackElements) {
    auto web =
        KJTipWebElement::createFromFeed(document(R"({"url": "https://a", "url-content": "<p>x</p>"})"));
    EXPECT_EQ(web->url, "https://a");
    EXPECT_EQ(web->urlcontent, "<p>x</p>");
    EXPECT_TRUE(KJTipWebElement::deserializeFromDictionary(web->serializeToDictionary())->isEqual(web.get()));

    // Without a display name the app's bundle name stands in, never "(null)".
    platform::Bundle::createMainBundle({{"CFBundleIdentifier", "com.shop"}, {"CFBundleName", "ShopApp"}});
    EXPECT_EQ(KJTipFeedbackElement::createFromFeed(document(R"({})"))->feedbackTitle,
              "ShopApp loves Feedback!");
    platform::Bundle::createMainBundle({{"CFBundleIdentifier", "com.shop"}, {"CFBundleDisplayName", "Shop"}});
    auto feedback = KJTipFeedbackElement::createFromFeed(document(
        R"({"title": "", "message": null, "i": 1, "c": ["Yes", "", 3, "No"], "custom_tags_list": "[\"plan\", \"tier\"]"})"));
    ASSERT_TRUE(feedback);
    EXPECT_EQ(feedback->feedbackTitle, "Shop loves Feedback!");
    EXPECT_EQ(feedback->feedbackMessage, "");
    EXPECT_TRUE(feedback->needInput);
    EXPECT_EQ(*feedback->arrayOptions, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(*feedback->customTagsList, (std::vector<std::string>{"plan", "tier"}));
    EXPECT_FALSE(
        KJTipFeedbackElement::createFromFeed(document(R"({"custom_tags_list": "{}"})"))->customTagsList);
    EXPECT_TRUE(KJTipFeedbackElement::createFromFeed(document(R"({"c": []})"))->arrayOptions->empty());

    Value stored = feedback->serializeToDictionary();
    EXPECT_EQ(stored["arrayOptions"], Value::array({"Yes", "No"}));
    EXPECT_EQ(stored["needInput"], Value(true));
    auto back = KJTipFeedbackElement::deserializeFromDictionary(stored);
    EXPECT_TRUE(back->isEqual(feedback.get()));
    std::reverse(back->arrayOptions->begin(), back->arrayOptions->end());
    EXPECT_TRUE(back->isEqual(feedback.get()));  // options compare as members
    back->arrayOptions->back() = "Maybe";
    EXPECT_FALSE(back->isEqual(feedback.get()));
    back = KJTipFeedbackElement::deserializeFromDictionary(stored);
    back->customTagsList->pop_back();
    EXPECT_FALSE(back->isEqual(feedback.get()));
}

}  // namespace
}  // namespace brindlecue
