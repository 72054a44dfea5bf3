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

// The columns of a drawing that hold ink.
std::pair<int, int> inkColumns(const CGImage& image) {
    int first = image.width(), last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelAt(x, y).a > 0) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

std::shared_ptr<const CGImage> drawn(const std::string& text, const TextStyle& s, CGSize size) {
    auto ctx = CGContext::createImageContext(size, false, 1);
    TextLayout::draw(*ctx, text, CGRect(0, 0, size.width, size.height), s);
    return ctx->makeImage();
}

TEST(TextLayoutDraw, AlignmentJustificationAndTruncationPlaceTheInk) {
    TextStyle s = style(UIFont::systemFontOfSize(14));
    s.alignment = NSTextAlignment::Right;
    auto right = inkColumns(*drawn("Hi", s, {200, 20}));
    EXPECT_GT(right.first, 150);
    EXPECT_GE(right.second, 190);
    s.alignment = NSTextAlignment::Center;
    auto centre = inkColumns(*drawn("Hi", s, {200, 20}));
    EXPECT_GT(centre.first, 80);
    EXPECT_LT(centre.second, 120);

    // A justified paragraph fills its first line to the right edge; a left one does not.
    s.alignment = NSTextAlignment::Justified;
    const std::string words = "aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp";
    auto justified = drawn(words, s, {150, 20});  // the first line only
    s.alignment = NSTextAlignment::Left;
    auto left = drawn(words, s, {150, 20});
    EXPECT_GE(inkColumns(*justified).second, 144);
    EXPECT_LT(inkColumns(*left).second, inkColumns(*justified).second);

    // Head, middle and tail truncation cut different parts of the line.
    s.numberOfLines = 1;
    std::vector<std::vector<uint32_t>> cuts;
    for (auto mode : {NSLineBreakMode::ByTruncatingHead, NSLineBreakMode::ByTruncatingMiddle,
                      NSLineBreakMode::ByTruncatingTail}) {
        s.lineBreakMode = mode;
        auto image = drawn(kSentence, s, {120, 20});
        EXPECT_LT(inkColumns(*image).second, 120);
        cuts.push_back(image->premultipliedARGB());
    }
    EXPECT_NE(cuts[0], cuts[1]);
    EXPECT_NE(cuts[1], cuts[2]);
    EXPECT_NE(cuts[0], cuts[2]);

    // Character wrapping breaks inside a word where word wrapping breaks at the space.
    s.numberOfLines = 0;
    s.lineBreakMode = NSLineBreakMode::ByCharWrapping;
    const std::string pair = "ab cdefghijklmnop";
    CGSize byChar = TextLayout::measure(pair, s, 60);
    s.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    CGSize byWord = TextLayout::measure(pair, s, 60);
    EXPECT_GT(byChar.width, TextLayout::measure("ab", s, 0).width + 10);
    EXPECT_LE(byChar.height, byWord.height);

    // Nothing to draw: no text, or no rectangle.
    auto ctx = CGContext::createImageContext({50, 20}, false, 1);
    TextLayout::draw(*ctx, "", CGRect(0, 0, 50, 20), s);
    TextLayout::draw(*ctx, "Hi", CGRect::null(), s);
    EXPECT_EQ(inkColumns(*ctx->makeImage()).second, -1);
}

TEST(TextLayoutFonts, SystemFontNamesItalicFacesAndMetrics) {
    // Names of the system font's faces (beginning with a point) draw as the system font, bold
    // when their name says so.
    EXPECT_EQ(TextLayout::measure(kSentence, style(UIFont::fontWithName(".SFUI-Semibold", 17)), 0),
              TextLayout::measure(kSentence, style(UIFont::boldSystemFontOfSize(17)), 0));
    EXPECT_EQ(TextLayout::measure(kSentence, style(UIFont::fontWithName(".SFUI-Regular", 17)), 0),
              TextLayout::measure(kSentence, style(UIFont::systemFontOfSize(17)), 0));
    EXPECT_EQ(TextLayout::measure(kSentence, style(UIFont::fontWithName("Mystery-Bold", 17)), 0),
              TextLayout::measure(kSentence, style(UIFont::boldSystemFontOfSize(17)), 0));

    // An italic face slants its strokes.
    auto faces = UIFont::fontNamesForFamilyName("Arial");
    auto italic = std::find_if(faces.begin(), faces.end(),
                               [](const std::string& f) { return f.find("Italic") != std::string::npos; });
    ASSERT_NE(italic, faces.end());
    auto upright = drawn("l", style(UIFont::fontWithName("ArialMT", 40)), {40, 50});
    auto slanted = drawn("l", style(UIFont::fontWithName(*italic, 40)), {40, 50});
    EXPECT_NE(upright->premultipliedARGB(), slanted->premultipliedARGB());
    auto span = [](const CGImage& image, int y) {
        int first = -1;
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelAt(x, y).a > 128 && first < 0) first = x;
        return first;
    };
    // The upright stroke starts at one column top and bottom; the slanted one further right at the top.
    EXPECT_EQ(span(*upright, 12), span(*upright, 30));
    EXPECT_GT(span(*slanted, 12), span(*slanted, 30));
    EXPECT_GE(span(*slanted, 30), 0);

    FontMetrics m = TextLayout::metrics(UIFont::systemFontOfSize(20));
    EXPECT_GT(m.ascender, 0);
    EXPECT_LT(m.descender, 0);
    EXPECT_NEAR(m.lineHeight, UIFont::systemFontOfSize(20).lineHeight(), 0.01);
}

}  // namespace
}  // namespace brindlecue::platform
