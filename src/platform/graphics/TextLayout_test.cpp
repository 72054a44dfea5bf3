#include "platform/graphics/TextLayout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/graphics/CGContext.h"

namespace brindlecue::platform {
namespace {

TextStyle style(UIFont font, int lines = 0) {
    TextStyle s;
    s.font = std::move(font);
    s.numberOfLines = lines;
    return s;
}

const std::string kSentence = "The quick brown fox jumps over the lazy dog";

TEST(TextLayoutMeasure, StableWrappedTallerAndWithinTheWidth) {
    auto s = style(UIFont::systemFontOfSize(17));
    CGSize one = TextLayout::measure(kSentence, s, 0);
    EXPECT_EQ(TextLayout::measure(kSentence, s, 0), one);
    EXPECT_GT(one.width, 200);
    EXPECT_NEAR(one.height, UIFont::systemFontOfSize(17).lineHeight(), 0.01);

    CGSize wrapped = TextLayout::measure(kSentence, s, 120);
    EXPECT_LE(wrapped.width, 120);
    EXPECT_GT(wrapped.height, 2.5 * one.height);
    CGSize twoLines = TextLayout::measure(kSentence, style(UIFont::systemFontOfSize(17), 2), 120);
    EXPECT_NEAR(twoLines.height, 2 * one.height, 0.01);
    EXPECT_NEAR(TextLayout::measure("a\nb", s, 0).height, 2 * one.height, 0.01);
    EXPECT_EQ(TextLayout::measure("", s, 0), (CGSize{0, 0}));
    // Size scales with the font; bold is wider.
    EXPECT_GT(TextLayout::measure(kSentence, style(UIFont::systemFontOfSize(34)), 0).width, 1.9 * one.width);
    EXPECT_GT(TextLayout::measure(kSentence, style(UIFont::boldSystemFontOfSize(17)), 0).width, one.width);
}

TEST(TextLayoutFonts, CatalogueFamiliesAndFallback) {
    auto families = UIFont::familyNames();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    ASSERT_NE(std::find(families.begin(), families.end(), "Arial"), families.end());
    auto arial = UIFont::fontNamesForFamilyName("Arial");
    ASSERT_EQ(arial.size(), 4u);
    EXPECT_EQ(arial.front(), "ArialMT");
    EXPECT_NE(std::find(arial.begin(), arial.end(), "Arial-BoldMT"), arial.end());
    EXPECT_TRUE(UIFont::fontNamesForFamilyName("No Such Family").empty());

    UIFont arialFont = UIFont::fontWithName("ArialMT", 17);
    EXPECT_TRUE(arialFont.isAvailable());
    EXPECT_EQ(arialFont.familyName(), "Arial");
    EXPECT_TRUE(UIFont::fontWithName("Arial", 17).isAvailable());  // a family name gives its regular face
    // Arial (Liberation Sans metrics) is narrower than the system font.
    EXPECT_LT(TextLayout::measure(kSentence, style(arialFont), 0).width,
              TextLayout::measure(kSentence, style(UIFont::systemFontOfSize(17)), 0).width);

    // An unknown font is not available but measures, without error, as the system font.
    UIFont unknown = UIFont::fontWithName("NoSuchFont-Regular", 17);
    EXPECT_FALSE(unknown.isAvailable());
    EXPECT_EQ(unknown.familyName(), FontCatalog::kSystemFamily);
    EXPECT_EQ(TextLayout::measure(kSentence, style(unknown), 0),
              TextLayout::measure(kSentence, style(UIFont::systemFontOfSize(17)), 0));
    EXPECT_EQ(UIFont::preferredFontForTextStyle(UIFontTextStyleTitle1).pointSize, 28);
    EXPECT_EQ(UIFont::preferredFontForTextStyle(UIFontTextStyleTitle1).familyName(), FontCatalog::kSystemFamily);
}

TEST(TextLayoutDraw, InkStaysInTheRectangleAndLinesAreCut) {
    auto ctx = CGContext::createImageContext({200, 100}, false, 2);
    TextStyle s = style(UIFont::systemFontOfSize(14), 1);
    s.color = UIColor(0, 0, 1, 1);
    s.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    TextLayout::draw(*ctx, kSentence + " " + kSentence, CGRect(10, 10, 100, 60), s);
    auto image = ctx->makeImage();
    int inside = 0, outside = 0, below = 0;
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            if (image->pixelAt(x, y).a == 0) continue;
            EXPECT_GT(image->pixelAt(x, y).b, 200);
            bool in = x >= 20 && x < 220 && y >= 20 && y < 140;
            (in ? inside : outside) += 1;
            if (y >= 20 + 2 * 20) ++below;  // beyond one line of 14-point text
        }
    }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(below, 0);
}

TEST(TextLayoutDraw, EmojiDrawTheirGlyphsInTheirOwnColours) {
    // A rocket after text in the system font: the emoji font draws it, in its colours, where a
    // font without it would draw an empty box in the text's colour.
    auto ctx = CGContext::createImageContext({200, 60}, false, 1);
    TextStyle s = style(UIFont::systemFontOfSize(40), 1);
    s.color = UIColor(0, 0, 1, 1);
    TextLayout::draw(*ctx, "A \xF0\x9F\x9A\x80", CGRect(0, 0, 200, 60), s);
    auto image = ctx->makeImage();
    int coloured = 0;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) {
            RGBA8 p = image->pixelAt(x, y);
            if (p.a > 128 && (p.r > 64 || p.g > 64)) ++coloured;
        }
    EXPECT_GT(coloured, 200);
    EXPECT_GT(TextLayout::measure("\xF0\x9F\x9A\x80", s, 0).width, 20);
}

TEST(TextLayoutMeasure, InvalidUtf8IsMeasuredNotRejected) {
    std::string bad = "ab\xff\xfe" "cd";
    EXPECT_GT(TextLayout::measure(bad, style(UIFont::systemFontOfSize(12)), 0).width, 0);
}

}  // namespace
}  // namespace brindlecue::platform
