#include "feed/KJTipButtonElement.h"

#include <gtest/gtest.h>

#include "foundation/KJLog.h"
#include "foundation/UIColorKJExt.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "support/FakeTextMeasurer.h"

namespace brindlecue {
namespace {

using platform::Value;

std::shared_ptr<KJTipButtonElement> button(const std::string& json) {
    auto document = Value::fromJSON(json);
    EXPECT_TRUE(document) << json;
    return KJTipButtonElement::createFromFeed(document.value_or(Value()));
}

std::string hex(const std::optional<platform::Color>& color) {
    return UIColorKJExt::blqHexStringFromColor(color).value_or("none");
}

// Characters are half the point size wide and lines 1.25 times it high (system font: 14 points).
class KJTipButtonElementTest : public testing::Test {
protected:
    testsupport::ScopedTextMeasurer measurer;
};

TEST_F(KJTipButtonElementTest, DocumentDefaultsAndSizes) {
    auto b = button(R"({"text": "Next", "button-align": null})");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->buttonAlignment, "center");
    EXPECT_EQ(hex(b->textColor), "#FF000000");
    EXPECT_EQ(hex(b->backgroundColor), "#00000000");
    EXPECT_EQ(hex(b->borderColor), hex(b->backgroundColor));
    EXPECT_EQ(b->width, -1);  // no width, no explicit alignment: the full width
    EXPECT_EQ(b->height, 0);
    EXPECT_EQ(b->borderCornerRadius, 0);
    EXPECT_FALSE(b->actionUrl.has_value());

    // Percentages are of the container the step passes; a percentage height gets 10 more.
    b = button(
        R"({"text": "Go", "width": "50%", "height": "50%", "containerWidth": 300, "containerHeight": 200,
                   "border-width": -2, "corner-radius": 100, "background-color": "#0000FF", "cta": "app://x",
                   "on-demand": 17, "font-size": "12px", "text-align": "right"})");
    EXPECT_DOUBLE_EQ(b->width, 150);
    EXPECT_DOUBLE_EQ(b->height, 110);
    EXPECT_EQ(b->borderWidth, 0);
    EXPECT_EQ(b->borderCornerRadius, 55);  // half of the smaller side
    EXPECT_EQ(hex(b->borderColor), "#FF0000FF");
    EXPECT_EQ(b->actionUrl, "app://x");
    EXPECT_EQ(b->ondemand, "17");
    EXPECT_EQ(b->fontSize, 12);
    EXPECT_EQ(b->alignment, 2);

    EXPECT_EQ(button(R"({"corner-radius": 100, "height": 30, "width": 200})")->borderCornerRadius, 15);
    EXPECT_EQ(button(R"({"corner-radius": 100})")->borderCornerRadius, 20);  // neither size known
    EXPECT_EQ(button(R"({"corner-radius": -4, "width": 50})")->borderCornerRadius, 0);

    // No width with an explicit alignment: measured from the text (4 characters of 7 points)
    // plus the left and right padding.
    b = button(R"({"text": "Next", "button-align": "left", "padding-left": 5, "padding-right": 6})");
    EXPECT_EQ(b->width, 28 + 5 + 6);
    ASSERT_FALSE(measurer.calls().empty());
    EXPECT_EQ(measurer.calls().back().maxWidth, 220);
    EXPECT_EQ(button(R"({"button-align": "left"})")->width, 0);
    EXPECT_FALSE(KJTipButtonElement::createFromFeed(Value("text")));
}

// A step's button reads its own entries with those the step gives it as the dictionary of them
// all does: a given entry takes the place of the button's own of its key, and what it is not given
// is read from its own entries.
TEST_F(KJTipButtonElementTest, EntriesTheStepGivesReadInThePlaceOfTheButtonsOwn) {
    const Value own = *Value::fromJSON(
        R"({"button-type": "stale", "text": "Go", "width": "50%", "height": "25%", "containerWidth": 10,
            "corner-radius": 100, "background-color": "#0000FF"})");
    const platform::Dictionary::Entry given[] = {{"button-type", Value("next")},
                                                 {"containerWidth", Value(int64_t{300})},
                                                 {"containerHeight", Value(int64_t{200})}};
    Value merged = own;
    for (const auto& [key, value] : given) merged.set(key, value);

    auto overlaid = KJTipButtonElement::createFromFeed(own, given);
    auto fromMerged = KJTipButtonElement::createFromFeed(merged);
    ASSERT_TRUE(overlaid);
    ASSERT_TRUE(fromMerged);
    EXPECT_EQ(overlaid->buttonType, "next");
    EXPECT_DOUBLE_EQ(overlaid->width, 150);
    EXPECT_DOUBLE_EQ(overlaid->height, 60);
    EXPECT_EQ(overlaid->buttonText, "Go");
    EXPECT_EQ(hex(overlaid->backgroundColor), "#FF0000FF");
    EXPECT_TRUE(overlaid->isEqual(fromMerged.get()));
    EXPECT_EQ(overlaid->serializeToDictionary(), fromMerged->serializeToDictionary());
    EXPECT_FALSE(KJTipButtonElement::createFromFeed(Value("text"), given));
}

TEST_F(KJTipButtonElementTest, SizesBeyondWhatANumberHoldsAreNoSizes) {
    std::vector<std::string> lines;
    KJLogSetObserver([&lines](int, const std::string& line) { lines.push_back(line); });
    // Beyond single precision, and a percentage that large of a step of no size.
    auto element =
        button(R"({"button-type": "next", "text": "Go", "height": "2222222222222222222222222222222222222240",
        "width": "1e39%", "containerWidth": 0, "containerHeight": 0})");
    ASSERT_TRUE(element);
    EXPECT_EQ(element->height, 0);
    EXPECT_EQ(element->width, 0);
    element = button(R"({"text": "Go", "height": "1e39%", "containerHeight": 0})");
    ASSERT_TRUE(element);
    EXPECT_EQ(element->height, 0);
    KJLogSetObserver(nullptr);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(
        lines[0],
        "Model: KJTipButtonElement \"height\" is text where a finite size is expected; the default is used.");
}

TEST_F(KJTipButtonElementTest, MeasuringKeepsTheSizeInTheRecord) {
    auto b = button(R"({"text": "A long button title", "padding-top": 3, "padding-bottom": 4,
                        "padding-left": 1, "padding-right": 1, "font-size": 20, "font-weight": "bold"})");
    // Width -1 spans the container; 0 is measured in the container and kept.
    EXPECT_EQ(KJTipButtonElement::calculateButtonWidthForElement(b, 100), 100);
    b->width = 0;
    // 19 characters of 12 points (bold 20-point font) wrap at 96 points.
    EXPECT_EQ(KJTipButtonElement::calculateButtonWidthForElement(b, 100), 96 + 2);
    EXPECT_EQ(b->width, 98);
    EXPECT_EQ(KJTipButtonElement::calculateButtonWidthForElement(b, 500), 98);
    // Height 0: the text's height in the container width (3 lines of 25), plus padding, kept.
    EXPECT_EQ(KJTipButtonElement::calculateButtonHeightForElement(b, 100), 75 + 7);
    EXPECT_EQ(b->height, 82);
    EXPECT_EQ(KJTipButtonElement::calculateButtonHeightForElement(b, 1000), 82);

    auto empty = button(R"({"width": 0})");
    EXPECT_EQ(KJTipButtonElement::calculateButtonWidthForElement(empty), 0);
    EXPECT_EQ(KJTipButtonElement::calculateButtonHeightForElement(empty, 100), 0);
}

TEST_F(KJTipButtonElementTest, StylesButtons) {
    auto b = button(
        R"({"text": "Buy", "color": "#FF0000", "background-color": "#00FF00", "border-color": "#0000FF",
                        "border-width": 2, "corner-radius": 6, "padding-top": 1, "padding-left": 2,
                        "padding-bottom": 3, "padding-right": 4, "box-shadow": 3, "text-align": "left",
                        "font-size": 15, "height": 30, "width": 100})");
    auto ui = platform::UIButton::buttonWithType(platform::UIButtonType::System);
    auto container = platform::make<platform::UIView>();
    container->setClipsToBounds(true);
    KJTipButtonElement::layoutButton(ui, container, b);
    EXPECT_FALSE(ui->isHidden());
    EXPECT_EQ(ui->titleForState(platform::UIControlStateNormal), "Buy");
    EXPECT_EQ(ui->titleColorForState(platform::UIControlStateNormal), platform::UIColor::redColor());
    EXPECT_EQ(ui->backgroundColor(), platform::UIColor::greenColor());
    EXPECT_EQ(ui->contentEdgeInsets(), (platform::UIEdgeInsets{1, 2, 3, 4}));
    EXPECT_EQ(ui->valueForKey("contentHorizontalAlignment"), Value(1));
    EXPECT_EQ(ui->layer()->borderColor, platform::UIColor::blueColor());
    EXPECT_EQ(ui->layer()->cornerRadius, 6);
    EXPECT_EQ(ui->layer()->shadowOffset.width, 3);
    EXPECT_EQ(ui->layer()->shadowOpacity, 0.5);
    EXPECT_FALSE(container->clipsToBounds());

    b->buttonText.reset();
    KJTipButtonElement::layoutButton(ui, container, b);
    EXPECT_TRUE(ui->isHidden());

    // A percentage button takes its share of the container, at most the whole of it.
    b->buttonText = "Buy";
    b->buttonWidthUnit = "PERCENTAGE";
    b->width = 0.25;
    auto made = b->createButton(320);
    EXPECT_EQ(made->buttonType(), platform::UIButtonType::Custom);
    EXPECT_EQ(made->frame().size.width, 80);
    EXPECT_EQ(made->layer()->shadowOpacity, 0);
    b->width = 1.5;
    EXPECT_EQ(b->createButton(320)->frame().size.width, 320);
    b->borderCornerRadius = 100;
    EXPECT_EQ(b->createButton(320)->layer()->cornerRadius, 15);
}

}  // namespace
}  // namespace brindlecue
