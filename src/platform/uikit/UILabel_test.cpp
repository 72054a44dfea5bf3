#include "platform/uikit/UILabel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue::platform {
namespace {

TEST(UILabelMeasure, TheFontFreeEstimateCountsCharactersWrapsAndStopsAtTheLineLimit) {
    const UIFont font = UIFont::systemFontOfSize(10);  // 5.5 points a character, lines of 12
    EXPECT_EQ(UILabel::estimateTextSize("", font, 0, 0), (CGSize{0, 0}));
    EXPECT_EQ(UILabel::estimateTextSize("abcd", font, 0, 0), (CGSize{22, 12}));
    // "é" and "€" are two and three bytes, one character each.
    EXPECT_EQ(UILabel::estimateTextSize("\xC3\xA9\xE2\x82\xAC", font, 0, 0), (CGSize{11, 12}));
    EXPECT_EQ(UILabel::estimateTextSize(std::string(20, 'x'), font, 40, 0), (CGSize{40, 36}));  // 110 wide: 3 lines
    EXPECT_EQ(UILabel::estimateTextSize(std::string(20, 'x'), font, 40, 2), (CGSize{40, 24}));
    EXPECT_EQ(UILabel::estimateTextSize("abcd", font, 40, 2), (CGSize{22, 12}));
}

TEST(UILabelMeasure, OneLineLabelsIgnoreTheWidthTheyAreOffered) {
    UILabel::setTextMeasurer(UILabel::estimateTextSize);
    struct Restore {
        ~Restore() { UILabel::setTextMeasurer(nullptr); }
    } restore;
    auto label = make<UILabel>();
    label->setFont(UIFont::systemFontOfSize(10));
    const std::string text(20, 'x');
    const CGSize oneLine = UILabel::estimateTextSize(text, UIFont::systemFontOfSize(10), 0, 1);
    EXPECT_GT(oneLine.width, 100);
    label->setText(text);
    label->setNumberOfLines(1);
    EXPECT_EQ(label->sizeThatFits({40, 100}), oneLine);
    label->setNumberOfLines(0);
    EXPECT_EQ(label->sizeThatFits({40, 100}), (CGSize{40, 36}));
    EXPECT_EQ(label->intrinsicContentSize(), oneLine);
    label->setText(std::nullopt);
    EXPECT_EQ(label->intrinsicContentSize(), (CGSize{0, 0}));
}

// The rows and columns of a label's drawing that hold ink: minimum and maximum of each.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink inkOf(const std::shared_ptr<UILabel>& label) {
    UIGraphicsBeginImageContextWithOptions(label->bounds().size, false, 1);
    label->drawViewHierarchyInRect(label->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext()->cgImage();
    UIGraphicsEndImageContext();
    Ink ink;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) {
            if (image->pixelAt(x, y).a == 0) continue;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y;
            ink.left = ink.left < 0 ? x : std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
        }
    return ink;
}

TEST(UILabelDrawing, TextIsCentredVerticallyAndShrinksToFitWhenAsked) {
    auto label = make<UILabel>(CGRect(0, 0, 120, 80));
    label->setFont(UIFont::systemFontOfSize(20));
    label->setNumberOfLines(1);
    EXPECT_EQ(inkOf(label).top, -1);  // no text, no ink
    label->setText("");
    EXPECT_EQ(inkOf(label).top, -1);
    label->setText("Hxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    Ink plain = inkOf(label);
    ASSERT_GE(plain.top, 0);
    EXPECT_NEAR((plain.top + plain.bottom) / 2.0, 40, 8);
    EXPECT_LT(plain.right, 120);

    // Shrunk to fit: the whole line within the width, in smaller letters.
    label->setAdjustsFontSizeToFitWidth(true);
    Ink shrunk = inkOf(label);
    EXPECT_LT(shrunk.bottom - shrunk.top, plain.bottom - plain.top);
    EXPECT_GT(shrunk.right, 90);  // the line reaches across
    // Not below the minimum scale: at 0.9 the letters stay almost as tall (and the line is cut).
    label->setMinimumScaleFactor(0.9);
    Ink floor = inkOf(label);
    EXPECT_GE(floor.bottom - floor.top, (plain.bottom - plain.top) * 8 / 10);
    EXPECT_GT(floor.bottom - floor.top, shrunk.bottom - shrunk.top);
    // A short text needs no shrinking.
    label->setText("Hi");
    label->setMinimumScaleFactor(0);
    Ink shortText = inkOf(label);
    label->setAdjustsFontSizeToFitWidth(false);
    Ink unadjusted = inkOf(label);
    EXPECT_EQ(shortText.bottom - shortText.top, unadjusted.bottom - unadjusted.top);
    EXPECT_EQ(shortText.right, unadjusted.right);
}

TEST(UILabelDescription, TheTextStaysOnOneLineAndIsReadByKey) {
    auto label = make<UILabel>();
    EXPECT_TRUE(label->valueForKey("text").isAbsent());
    EXPECT_EQ(label->description().find("text ="), std::string::npos);
    label->setText("one\ntwo\rthree");
    EXPECT_EQ(label->valueForKey("text"), Value("one\ntwo\rthree"));
    EXPECT_NE(label->description().find("text = 'one\\ntwo\\rthree'"), std::string::npos);
    EXPECT_EQ(label->description().find('\n'), std::string::npos);
    EXPECT_EQ(label->layer()->className(), "_UILabelLayer");
}

}  // namespace
}  // namespace brindlecue::platform
