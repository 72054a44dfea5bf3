#include "feed/KJTipUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/Bundle.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using platform::Value;

TEST(KJTipUtilWords, EveryTableWordAndItsFallback) {
    using Converter = int64_t (*)(const Value&);
    struct Table {
        const char* name;
        Converter convert;
        std::map<std::string, int64_t> words;
        int64_t fallback;
    };
    // clang-format off
    std::vector<Table> tables{
        {"tip type", [](const Value& v) -> int64_t { return KJTipUtil::convertTipTypeFromString(v); },
         {{"tour", 1}, {"tip", 2}, {"modal", 3}, {"coachmark", 4}, {"feedback", 5}, {"carousel", 6}, {"fab", 7}}, 0},
        {"trigger", [](const Value& v) -> int64_t { return KJTipUtil::convertTriggerTypeFromString(v); },
         {{"page-open", 1}, {"click", 2}, {"button", 3}, {"on-demand", 4}, {"floating-action-button", 1}}, 0},
        {"placement", [](const Value& v) -> int64_t { return KJTipUtil::convertPlacementTypeFromString(v); },
         {{"left", 1}, {"right", 2}, {"top", 3}, {"bottom", 4}}, 0},
        {"image alignment", [](const Value& v) -> int64_t { return KJTipUtil::convertImageAlignmentFromString(v); },
         {{"left-top", 0}, {"left-middle", 1}, {"left-bottom", 2}, {"center-top", 3}, {"center-middle", 4},
          {"center-bottom", 5}, {"right-top", 6}, {"right-middle", 7}, {"right-bottom", 8}}, 3},
        {"animation", [](const Value& v) -> int64_t { return KJTipUtil::convertTipAnimationTypeFromString(v); },
         {{"fade", 1}, {"slide", 2}, {"explode", 3}, {"compress", 4}}, 0},
        {"direction", [](const Value& v) -> int64_t { return KJTipUtil::convertTipAnimationDirectionFromString(v); },
         {{"left", 1}, {"top", 2}, {"right", 3}, {"bottom", 4}}, 0},
        {"text alignment", [](const Value& v) { return KJTipUtil::convertTextAlignmentFromString(v); },
         {{"left", 0}, {"center", 1}, {"right", 2}}, 0},
        {"coachmark style", [](const Value& v) -> int64_t { return KJTipUtil::convertCoachmarkStyleFromString(v); },
         {{"circular", 1}, {"rectangular", 2}, {"custom", 3}}, 3},
        {"diffuse", [](const Value& v) -> int64_t { return KJTipUtil::convertCoachmarkDiffuseFromString(v); },
         {{"none", 0}, {"gradient", 1}, {"blur", 2}}, 0},
    };
    // clang-format on
    for (const Table& t : tables) {
        for (const auto& [word, number] : t.words)
            EXPECT_EQ(t.convert(Value(word)), number) << t.name << " " << word;
        // Matching is exact: another case, blanks, the empty text, nothing, null and non-text
        // all give the fallback.
        std::string first = t.words.begin()->first;
        std::string upper = first;
        upper[0] = static_cast<char>(std::toupper(upper[0]));
        for (const Value& other : {Value(upper), Value(" " + first), Value(""), Value(), Value::null(),
                                   Value(1), Value::array({Value(first)})}) {
            EXPECT_EQ(t.convert(other), t.fallback) << t.name << " " << other.description();
        }
    }

    EXPECT_EQ(KJTipUtil::convertTipDisplayTypeFromArray(Value::array({"feed", "dom", "other", 3})), 5);
    EXPECT_EQ(KJTipUtil::convertTipDisplayTypeFromArray(Value::array({"faq", "faq"})), 2);
    EXPECT_EQ(KJTipUtil::convertTipDisplayTypeFromArray(Value("dom")), 0);

    EXPECT_EQ(KJTipUtil::convertIconFromString(Value("CLOSE-btn")), "close.png");
    EXPECT_EQ(KJTipUtil::convertIconFromString(Value("close alert")),
              "alert-circled.png");  // first word wins
    EXPECT_EQ(KJTipUtil::convertIconFromString(Value("Pulse")), "animation-pulse.gif");
    EXPECT_EQ(KJTipUtil::convertIconFromString(Value("information")), "information-circled.png");
    EXPECT_EQ(KJTipUtil::convertIconFromString(Value::null()), "icon.png");

    EXPECT_EQ(KJTipUtil::getButtonHorizontalAlignment(0), 1);
    EXPECT_EQ(KJTipUtil::getButtonHorizontalAlignment(1), 0);
    EXPECT_EQ(KJTipUtil::getButtonHorizontalAlignment(2), 2);
    EXPECT_EQ(KJTipUtil::getButtonHorizontalAlignment(7), 0);
}

TEST(KJTipUtilMeasures, SizesPercentagesAndCorners) {
    EXPECT_DOUBLE_EQ(KJTipUtil::parseDPOrPercentage(Value("80%")), 0.8);
    EXPECT_DOUBLE_EQ(KJTipUtil::parseDPOrPercentage(Value("50%")), 0.5);
    EXPECT_DOUBLE_EQ(KJTipUtil::parseDPOrPercentage(Value("50")), 50);
    EXPECT_DOUBLE_EQ(KJTipUtil::parseDPOrPercentage(Value("12px")), 12);
    EXPECT_DOUBLE_EQ(KJTipUtil::parseDPOrPercentage(Value(0.1)), static_cast<float>(0.1));
    for (const Value& none : {Value(), Value::null(), Value("abc"), Value::array({5})}) {
        EXPECT_EQ(KJTipUtil::parseDPOrPercentage(none), 0) << none.description();
    }
    EXPECT_DOUBLE_EQ(KJTipUtil::getSizeFromDPOrPercentage(Value("50%"), 200), 100);
    EXPECT_DOUBLE_EQ(KJTipUtil::getSizeFromDPOrPercentage(Value(30), 200), 30);
    EXPECT_DOUBLE_EQ(KJTipUtil::maxCornerRadius({40, 100}, 30), 20);
    EXPECT_DOUBLE_EQ(KJTipUtil::maxCornerRadius({40, 100}, 12), 12);
}

TEST(KJTipUtilMeasures, ArbitraryPositionsInTheRootViewOfTheWindow) {
    platform::UIScreen::mainScreen()->setBounds({0, 0, 390, 844});
    auto window = platform::make<platform::UIWindow>(platform::CGRect{0, 0, 390, 844});
    window->setRootViewController(platform::make<platform::UIViewController>());
    window->makeKeyAndVisible();
    auto view = platform::make<platform::UIView>();
    window->rootViewController()->view()->addSubview(view);

    EXPECT_TRUE(KJTipUtil::isArbitraryPosition(Value("point_1_2")));
    EXPECT_FALSE(KJTipUtil::isArbitraryPosition(Value("Point_1_2")));
    EXPECT_FALSE(KJTipUtil::isArbitraryPosition(Value::null()));
    platform::CGPoint p = KJTipUtil::parseArbitraryPosition(Value("point_50%_100"), view);
    EXPECT_DOUBLE_EQ(p.x, 195);
    EXPECT_DOUBLE_EQ(p.y, 100);
    p = KJTipUtil::parseArbitraryPosition(Value("point_10.5_25%"), view);
    EXPECT_DOUBLE_EQ(p.x, 10.5);
    EXPECT_DOUBLE_EQ(p.y, 211);
    p = KJTipUtil::parseArbitraryPosition(Value("point_12"), view);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = KJTipUtil::parseArbitraryPosition(Value("50_100"), view);
    EXPECT_EQ(p.x, 0);
    // A view in no window has no reference size: percentages give 0, points stay.
    p = KJTipUtil::parseArbitraryPosition(Value("point_50%_7"), platform::make<platform::UIView>());
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 7);
    window->setHidden(true);
}

TEST(KJTipUtilFonts, FamiliesWeightsAndFallbacks) {
    std::map<std::string, std::vector<std::string>> families{
        {"Arial", {"ArialMT", "Arial-BoldItalicMT", "Arial-BoldMT", "Arial-ItalicMT"}},
        {"Times New Roman", {"TimesNewRomanPSMT", "TimesNewRomanPS-BoldMT"}},
        {"Avenir", {"Avenir-Book", "Avenir-Heavy", "Avenir-BoldOblique"}},
    };
    std::vector<std::string> installed{"ArialMT",
                                       "Arial-BoldMT",
                                       "Arial-BoldItalicMT",
                                       "TimesNewRomanPS-BoldMT",
                                       "Avenir-Book",
                                       "Avenir-BoldOblique",
                                       "Courier"};
    KJTipUtil::setFontCatalog(
        {[&](const std::string& family) {
             return families.count(family) ? families[family] : std::vector<std::string>{};
         },
         [&](const std::string& name) {
             return std::find(installed.begin(), installed.end(), name) != installed.end();
         }});

    auto font = KJTipUtil::getFontFromName(Value("Arial"), 16, Value(700));
    EXPECT_EQ(font.fontName, "Arial-BoldMT");  // ends in -boldmt, preferred to the italic bold
    EXPECT_EQ(font.pointSize, 16);
    EXPECT_EQ(KJTipUtil::getFontFromName(Value("times"), 12, Value("Bold")).fontName,
              "TimesNewRomanPS-BoldMT");
    // No face ends in "-bold": the last face with "bold" in its name.
    EXPECT_EQ(KJTipUtil::getFontFromName(Value::array({"Avenir", "x"}), 12, Value("bold")).fontName,
              "Avenir-BoldOblique");
    // Not bold (400 is not above 400), or a face name: the named font.
    EXPECT_EQ(KJTipUtil::getFontFromName(Value("Avenir-Book"), 12, Value(400)).fontName, "Avenir-Book");
    EXPECT_EQ(KJTipUtil::getFontFromName(Value("Courier"), 12, Value("700")).fontName, "Courier");
    // Nothing installed by that name: the system font of the size and weight.
    auto missing = KJTipUtil::getFontFromName(Value("Nope"), 12, Value("bold"));
    EXPECT_EQ(missing, platform::UIFont::boldSystemFontOfSize(12));
    EXPECT_EQ(KJTipUtil::getFontFromName(Value(), 0, Value()), platform::UIFont::systemFontOfSize(14));
    EXPECT_EQ(KJTipUtil::getFontFromName(Value(""), -3, Value(900)),
              platform::UIFont::boldSystemFontOfSize(14));
    KJTipUtil::setFontCatalog({});

    EXPECT_EQ(KJTipUtil::isMonoTypeFont("Courier New"), "mt");
    EXPECT_EQ(KJTipUtil::isMonoTypeFont("arial"), "");
    EXPECT_EQ(KJTipUtil::searchAdditionalFontKeys("TIMES"), "Times New Roman");
    EXPECT_EQ(KJTipUtil::searchAdditionalFontKeys("Helvetica"), "");
}

TEST(KJTipUtilIds, RemovesTransitionViewSegments) {
    EXPECT_EQ(KJTipUtil::removeExceptionForRawId("a@UITransitionView:3@b"), "a@b");
    EXPECT_EQ(
        KJTipUtil::removeExceptionForRawId("a@UITransitionView:3@b@UITransitionView:3@UITransitionView"),
        "a@b");
    EXPECT_EQ(KJTipUtil::removeExceptionForRawId("UIButton_0@UIView_1"), "UIButton_0@UIView_1");
}

class KJTipUtilImages : public testing::Test {
protected:
    void SetUp() override {
        KJTipUtil::setImageDecoding({[this](const platform::Data& bytes) {
                                         std::lock_guard lock(mutex);
                                         decoded.emplace_back(bytes.begin(), bytes.end());
                                         return std::make_shared<platform::UIImage>(platform::CGSize{4, 4});
                                     },
                                     nullptr});
    }
    void TearDown() override { KJTipUtil::setImageDecoding({}); }

    std::mutex mutex;
    std::vector<std::string> decoded;
};

TEST_F(KJTipUtilImages, BundleAndEmptySourcesCallBackAtOnce) {
    auto bundle = platform::Bundle::main();
    std::ofstream(bundle->path() / "star.png", std::ios::binary) << "PNGBYTES";

    int calls = 0;
    KJTipUtil::prepareImageWithSource(Value("star.png"),
                                      [&](auto image, const Value& source, const auto& error) {
                                          ++calls;
                                          EXPECT_TRUE(image);
                                          EXPECT_EQ(source, Value("star.png"));
                                          EXPECT_FALSE(error);
                                      });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(decoded, std::vector<std::string>{"PNGBYTES"});

    KJTipUtil::prepareImageWithSource(Value::null(), [&](auto image, const Value&, const auto& error) {
        ++calls;
        EXPECT_FALSE(image);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "KJErrorDomain");
        EXPECT_EQ(error->code(), 0);
        EXPECT_EQ(error->localizedDescription(), "Unknown image source to prepare image.");
    });
    EXPECT_EQ(calls, 2);
    KJTipUtil::prepareImageWithSource(Value(""), nullptr);  // no callback, nothing happens
}

}  // namespace
}  // namespace brindlecue
