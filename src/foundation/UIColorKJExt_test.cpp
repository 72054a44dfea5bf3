#include "foundation/UIColorKJExt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "foundation/ColoringArea.h"
#include "foundation/NSObjectKJExt.h"
#include "foundation/NSStringKJExt.h"
#include "foundation/SynchronizedDictionary.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {
namespace {

using platform::Color;
using platform::Value;

void expectColor(const std::optional<Color>& c, double r, double g, double b, double a) {
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->red, r, 1e-9);
    EXPECT_NEAR(c->green, g, 1e-9);
    EXPECT_NEAR(c->blue, b, 1e-9);
    EXPECT_NEAR(c->alpha, a, 1e-9);
}

TEST(ColorText, HexForms) {
    expectColor(UIColorKJExt::blqColorFromString(Value("#F00")), 1, 0, 0, 1);
    expectColor(UIColorKJExt::blqColorFromString(Value("#FF0000")), 1, 0, 0, 1);
    expectColor(UIColorKJExt::blqColorFromString(Value("#80FF0000")), 1, 0, 0, 128 / 255.0);
    expectColor(UIColorKJExt::blqColorFromString(Value("#00ff80")), 0, 1, 128 / 255.0, 1);
    // Six characters go to the functional parser; read directly they take alpha from the top byte.
    EXPECT_FALSE(UIColorKJExt::blqColorFromString(Value("#FFFFF")));
    expectColor(UIColorKJExt::colorFromHexString("#FFFFF"), 15 / 255.0, 1, 1, 0);
    // Too many digits saturate; nothing readable is black with alpha 0.
    expectColor(UIColorKJExt::colorFromHexString("#FFFFFFFFFF"), 1, 1, 1, 1);
    expectColor(UIColorKJExt::colorFromHexString("#zz"), 0, 0, 0, 0);
    EXPECT_FALSE(UIColorKJExt::colorFromHexString("F00"));
    EXPECT_FALSE(UIColorKJExt::colorFromHexString(""));
    EXPECT_FALSE(UIColorKJExt::blqColorFromString(Value(12)));
}

TEST(ColorText, FunctionalForms) {
    expectColor(UIColorKJExt::colorFromRGBString("rgb(255, 0, 0)"), 1, 0, 0, 1);
    expectColor(UIColorKJExt::colorFromRGBString("rgb(255,0,0,0.5)"), 1, 0, 0, 0.5);
    expectColor(UIColorKJExt::colorFromRGBString("rgb(255,0,0,128)"), 1, 0, 0, 128 / 255.0);
    expectColor(UIColorKJExt::blqColorFromString(Value("RGB(0,0,255)")), 0, 0, 1, 1);
    for (const char* bad : {"rgb(300,0,0)", "rgba(255,0,0,0.5)", "rgb(1,2)", "rgb(1,2,3", "rgb(-1,0,0)",
                            "rgb(0,0,0,300)", "hsl(0,0,0)"}) {
        EXPECT_FALSE(UIColorKJExt::colorFromRGBString(bad)) << bad;
    }
    EXPECT_TRUE(UIColorKJExt::blqIsRGB(platform::Array{1, 2, 3}));
    EXPECT_FALSE(UIColorKJExt::blqIsRGBA(platform::Array{1, 2, 3}));
}

TEST(ColorText, WritesAlphaFirstInUpperCase) {
    EXPECT_EQ(UIColorKJExt::blqHexStringFromColor(Color{1, 1, 1, 1}), "#FFFFFFFF");
    EXPECT_EQ(UIColorKJExt::blqHexStringFromColor(Color{0.5, 0, 0, 1}), "#FF7F0000");
    EXPECT_EQ(UIColorKJExt::blqHexStringFromColor(Color{2, -1, 0.2, 0}), "#00FF0033");
    EXPECT_EQ(UIColorKJExt::blqHexStringFromColor(Color{NAN, 0, 0, 1}), "#FF000000");
    EXPECT_FALSE(UIColorKJExt::blqHexStringFromColor(std::nullopt));
    EXPECT_TRUE(std::isnan(UIColorKJExt::validateColorRange(NAN)));
}

TEST(ColorWithHex, AreaDecidesTheFallback) {
    EXPECT_EQ(colorWithHex("#80FF0000"), (Color{1, 0, 0, 128 / 255.0}));
    EXPECT_EQ(colorWithHex(" FF0000\n"), (Color{1, 0, 0, 1}));
    EXPECT_EQ(colorWithHex("#FFF", ColoringArea::background), (Color{0, 0, 0, 0}));
    EXPECT_EQ(colorWithHex("#FFF", ColoringArea::foreground), (Color{0, 0, 0, 0}));
    EXPECT_EQ(colorWithHex("#FFF", ColoringArea::textcolor), (Color{0, 0, 0, 1}));
    for (auto area : {ColoringArea::background, ColoringArea::foreground, ColoringArea::textcolor}) {
        EXPECT_EQ(colorWithHex("xyz", area), (Color{0, 0, 0, 1}));
    }
}

TEST(SmallHelpers, Md5AndPropertyTypes) {
    EXPECT_EQ(NSStringKJExt::md5(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(NSStringKJExt::md5(std::string_view("abc\0def", 7)), NSStringKJExt::md5("abc"));
    EXPECT_EQ(NSStringKJExt::md5("abc"), "900150983CD24FB0D6963F7D28E17F72");

    EXPECT_EQ(NSObjectKJExt::getPropertyType(R"(T@"NSString",&,N,V_title)"), "NSString");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("Tq,N,V_alignment"), "NSTextAlignment");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("TQ,N,V_count"), "");
    EXPECT_EQ(NSObjectKJExt::getPropertyType(R"(T@"FourSide",&,N,V_margin)"), "FourSide");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("Tf,N,V_w"), "double");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("Tc,N,V_b"), "bool");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("T@?,C,N,V_block"), "");
    EXPECT_EQ(NSObjectKJExt::getPropertyType("T@,&,N,V_any"), "id");

    platform::ClassRegistry::registerClass("KJTestBase", "NSObject");
    platform::ClassRegistry::registerClass("KJTestStep", "KJTestBase");
    platform::ClassRegistry::addProperty("KJTestBase", {"inherited", "Ti,N,V_inherited", nullptr});
    platform::ClassRegistry::addProperty("KJTestStep", {"title", R"(T@"NSString",&,N,V_title)", nullptr});
    platform::ClassRegistry::addProperty("KJTestStep", {"count", "TQ,N,V_count", nullptr});
    auto types = NSObjectKJExt::getPropertyNameTypes("KJTestStep");
    EXPECT_EQ(types.keys(), (std::vector<std::string>{"title", "count"}));
    EXPECT_EQ(*types.find("title"), Value("NSString"));
    EXPECT_EQ(*types.find("count"), Value(""));
}

TEST(SynchronizedDictionary, NilRemovesAndThreadsDoNotRace) {
    SynchronizedDictionary<std::string, std::string> headers;
    headers.set("X-App-Key", "k");
    EXPECT_EQ(headers.get("X-App-Key"), "k");
    headers.set("X-App-Key", std::nullopt);
    EXPECT_EQ(headers.get("X-App-Key"), std::nullopt);

    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) headers.set(std::to_string(t * 1000 + i), "v");
        });
    }
    for (auto& w : writers) w.join();
    size_t count = 0;
    headers.forEach([&](const std::string&, const std::string& v) { count += v == "v"; });
    EXPECT_EQ(count, 800u);
    headers.removeAll();
    count = 0;
    headers.forEach([&](const std::string&, const std::string&) { ++count; });
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace brindlecue
