#include "widgets/ParseFAQ.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::widgets {
namespace {

using platform::CGRect;
using platform::Value;

// A payload with every required section, as an editable value.
Value minimalPayload() {
    return *Value::fromJSON(R"({"meta":{"display-params":{},"fab":{}},"title":{},"content":{},)"
                            R"("button-list":[{"id":1}],"buttons":{},"dismiss-forever":{}})");
}

std::optional<Payload> decodeEdited(const std::function<void(Value&)>& edit) {
    Value payload = minimalPayload();
    edit(payload);
    return ParseFAQ().decodePayload(*payload.toJSON());
}

TEST(WidgetKeys, KebabCaseKeysMeetCamelCaseFields) {
    auto key = [](std::string text) { return keyFromKebabCase({AnyKey("root"), AnyKey(std::move(text))}).stringValue; };
    EXPECT_EQ(key("icon-placement"), "iconPlacement");
    EXPECT_EQ(key("iconPlacement"), "iconPlacement");
    EXPECT_EQ(key("list_type"), "list_type");
    EXPECT_EQ(key("Background-Color"), "backgroundColor");
    EXPECT_EQ(key("ID"), "iD");
    EXPECT_EQ(key("a--b"), "aB");
    EXPECT_EQ(key("-lead-"), "lead");
    EXPECT_EQ(key(""), "");
    AnyKey index = keyFromKebabCase({AnyKey(int64_t{3})});
    EXPECT_EQ(index.intValue, 3);
}

TEST(WidgetKeys, SizeTextsReadAsWritten) {
    EXPECT_FLOAT_EQ(parseDPOrPercentage("80%"), 80);
    EXPECT_FLOAT_EQ(parseDPOrPercentage("300"), 300);
    EXPECT_FLOAT_EQ(parseDPOrPercentage("12.5"), 12.5);
    EXPECT_FLOAT_EQ(parseDPOrPercentage("%"), 0);
    EXPECT_FLOAT_EQ(parseDPOrPercentage(" 80"), 0);
    EXPECT_FLOAT_EQ(parseDPOrPercentage("80 %"), 0);
    EXPECT_FLOAT_EQ(parseDPOrPercentage("5%0"), 0);
    EXPECT_EQ(FABImagesFromRawValue("None"), FABImages::none);
    EXPECT_FALSE(FABImagesFromRawValue("none"));
}

TEST(WidgetDocument, DefaultDocumentDecodesWhole) {
    ParseFAQ parser;
    // The one constant text: JSON without white space between tokens, keys in the document's
    // order, so that writing it back compactly gives the same text.
    EXPECT_EQ(parser.getDefaultData(), std::string(defaultWidgetJSON));
    auto parsed = Value::fromJSON(parser.getDefaultData());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->toJSON(), parser.getDefaultData());
    EXPECT_EQ((*parsed)["setup"].getDictionary()->keys(),
              (std::vector<std::string>{"display", "target", "dynamicUrl", "launcher", "view", "tool"}));
    // The content's text: 57 characters, the last one an emoji.
    const std::string text = *(*parsed)["payload"][0]["content"]["text"].getString();
    EXPECT_TRUE(text.starts_with("Here are a few tours that might help you out"));
    EXPECT_EQ(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }), 57);
    EXPECT_TRUE(text.ends_with("\xF0\x9F\x9A\x80"));
    auto document = parser.decodeFAQPayload(parser.getDefaultData());
    ASSERT_TRUE(document);
    ASSERT_TRUE(document->setup && document->setup->launcher);
    const Launcher& launcher = *document->setup->launcher;
    EXPECT_EQ(launcher.width, 32);
    EXPECT_EQ(launcher.iconPlacement, "start");
    EXPECT_EQ(launcher.list_type, "faqList");
    EXPECT_EQ(document->setup->display, std::vector<std::string>{"dom"});
    ASSERT_EQ(document->payload->size(), 1u);
    const Payload& payload = document->payload->front();
    EXPECT_EQ(payload.meta.displayParams.width, MixedValue(std::string("80%")));
    EXPECT_EQ(payload.meta.displayParams.height, MixedValue(int64_t{300}));
    EXPECT_EQ(payload.meta.dismissParams->touchOut, true);
    EXPECT_EQ(payload.meta.paddingLeft, 10);
    EXPECT_EQ(payload.content.lineHeight, MixedValue(int64_t{140}));
    ASSERT_EQ(payload.buttonList.size(), 3u);
    EXPECT_EQ(payload.buttonList[2].id, 3);
    EXPECT_EQ(payload.buttonList[2].text, "How to add a team member");
    EXPECT_EQ(payload.buttons.dismiss->fileName, "expand_more");
    EXPECT_EQ(payload.dismissForever.text, "Don`t show me again");
    EXPECT_EQ(payload.templateId, 254);
    EXPECT_EQ(payload.screenshot->operating_system, "");

    // The FAB and FAQ wrappers carry what the plain decodes give.
    Value root = *Value::fromJSON(parser.getDefaultData());
    auto fab = parser.getFABData(*root["setup"].toJSON());
    ASSERT_TRUE(fab && fab->setup && fab->setup->launcher);
    EXPECT_EQ(fab->setup->view, "_ALL_");
    auto faq = parser.getFAQData(*root["payload"][0].toJSON());
    ASSERT_TRUE(faq && faq->faq);
    EXPECT_EQ(faq->faq->title.text, "Need some help?");
    // The screen list is not a screen, nor is a list a whole document.
    EXPECT_FALSE(parser.decodePayload(*root["payload"].toJSON()));
    EXPECT_FALSE(parser.decodeFAQPayload(*root["payload"].toJSON()));
}

TEST(WidgetDocument, OneBadValueAnywhereFailsTheWhole) {
    ASSERT_TRUE(decodeEdited([](Value&) {}));
    struct Case {
        const char* what;
        std::function<void(Value&)> edit;
    };
    const std::vector<Case> failing = {
        {"no meta", [](Value& p) { p.remove("meta"); }},
        {"null title", [](Value& p) { p.set("title", nullptr); }},
        {"no button list", [](Value& p) { p.remove("button-list"); }},
        {"no dismiss-forever", [](Value& p) { p.remove("dismiss-forever"); }},
        {"meta without fab", [](Value& p) { p.mutableDictionary().find("meta")->remove("fab"); }},
        {"entry id as text", [](Value& p) { p.set("button-list", Value::array({Value::dictionary({{"id", "1"}})})); }},
        {"entry without id", [](Value& p) { p.set("button-list", Value::array({Value::dictionary()})); }},
        {"action without type",
         [](Value& p) {
             p.set("button-list", Value::array({Value::dictionary(
                                      {{"id", 1}, {"actions", Value::array({Value::dictionary({{"value", "x"}})})}})}));
         }},
        {"fractional font size", [](Value& p) { p.set("title", Value::dictionary({{"font-size", 14.5}})); }},
        {"integer as text", [](Value& p) { p.set("dismiss-forever", Value::dictionary({{"width", "50%"}})); }},
        {"text as number", [](Value& p) { p.set("content", Value::dictionary({{"text", 7}})); }},
        {"flag as number",
         [](Value& p) { p.mutableDictionary().find("meta")->set("dismiss-params", Value::dictionary({{"touch-out", 1}})); }},
        {"title id not a UUID", [](Value& p) { p.set("title", Value::dictionary({{"id", "x"}})); }},
        {"feedback without tags", [](Value& p) { p.set("feedback", Value::dictionary({{"title", "t"}})); }},
        {"feedback list as text",
         [](Value& p) { p.set("feedback", Value::dictionary({{"custom_tags_list", Value::array()}, {"c", "a"}})); }},
        {"screenshot id as number", [](Value& p) { p.set("screenshot", Value::dictionary({{"id", 7}})); }},
        {"section that is not an object", [](Value& p) { p.set("carousel", "wide"); }},
        {"mixed value as fraction",
         [](Value& p) {
             p.mutableDictionary().find("meta")->mutableDictionary().find("display-params")->set("width", 80.5);
         }},
        {"mixed value too large",
         [](Value& p) { p.set("title", *Value::fromJSON(R"({"line-height":12345678901234567890})")); }},
    };
    for (const auto& c : failing) EXPECT_FALSE(decodeEdited(c.edit)) << c.what;

    const std::vector<Case> passing = {
        {"empty list", [](Value& p) { p.set("button-list", Value::array()); }},
        {"null optional section", [](Value& p) { p.set("feedback", nullptr); }},
        {"feedback with only empty tags",
         [](Value& p) { p.set("feedback", Value::dictionary({{"custom_tags_list", Value::array()}})); }},
        {"capitalised key", [](Value& p) {
             Value m = p["meta"];
             m.remove("display-params");
             m.set("Display-Params", Value::dictionary());
             p.set("meta", m);
         }},
        {"underscore key ignored", [](Value& p) { p.set("dismiss-forever", Value::dictionary({{"_width-unit", 3}})); }},
        {"whole number as real", [](Value& p) { p.set("templateId", 254.0); }},
    };
    for (const auto& c : passing) EXPECT_TRUE(decodeEdited(c.edit)) << c.what;

    // A key with the underscore spelled as a dash reaches no field.
    auto lower = decodeEdited([](Value& p) {
        Value m = p["meta"];
        m.remove("display-params");
        m.set("displayparams", Value::dictionary());
        p.set("meta", m);
    });
    EXPECT_FALSE(lower);
}

TEST(WidgetDocument, ParserPrintsDecodingErrorsButNotMixedValueFailures) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ParseFAQ().decodeSetup(R"({"launcher":{"type":"fab"}})"));
    std::string missingKey = testing::internal::GetCapturedStdout();
    EXPECT_NE(missingKey.find("keyNotFound"), std::string::npos);
    EXPECT_NE(missingKey.find("iconPlacement"), std::string::npos);
    EXPECT_EQ(std::count(missingKey.begin(), missingKey.end(), '\n'), 1);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(ParseFAQ().decodeSetup(""));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("dataCorrupted"), std::string::npos);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(decodeEdited([](Value& p) { p.set("title", Value::dictionary({{"line-height", true}})); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // A setup without a launcher still decodes.
    auto setup = ParseFAQ().decodeSetup(R"({"view":"_ALL_","dynamicUrl":{}})");
    ASSERT_TRUE(setup);
    EXPECT_FALSE(setup->launcher);
}

TEST(WidgetDocument, MixedValuesAndWrittenForms) {
    auto params = [](const char* json) {
        auto p = decodeEdited([&](Value& v) {
            Value m = v["meta"];
            m.set("display-params", *Value::fromJSON(json));
            v.set("meta", m);
        });
        return p ? std::optional<DisplayParams>(p->meta.displayParams) : std::nullopt;
    };
    EXPECT_EQ(params(R"({"width":-5})")->width, MixedValue(int64_t{-5}));
    EXPECT_EQ(params(R"({"width":"320"})")->width, MixedValue(std::string("320")));
    EXPECT_EQ(params(R"({"width":"320"})")->widthUnit(), "DP");
    EXPECT_EQ(params(R"({"width":"80%"})")->widthUnit(), "PERCENTAGE");
    EXPECT_EQ(params(R"({"width":-5})")->width->textForm(), "-5");

    // Writing back uses field names, leaves out absent fields and writes no mixed value.
    Value root = *Value::fromJSON(ParseFAQ().getDefaultData());
    Value written = encodeRecord(*ParseFAQ().decodePayload(*root["payload"][0].toJSON()));
    EXPECT_TRUE(written["buttonList"].isArray());
    EXPECT_TRUE(written["dismissForever"].isDictionary());
    EXPECT_TRUE(written["meta"]["displayParams"]["width"].isAbsent());
    EXPECT_EQ(written["meta"]["displayParams"]["dim"], Value(50));
    EXPECT_TRUE(written["feedback"].isAbsent());

    EXPECT_EQ(sortedJSONString(*Value::fromJSON(R"({"b":1,"a":{"d":2,"c":[3]}})")), R"({"a":{"c":[3],"d":2},"b":1})");
    EXPECT_EQ(sortedJSONString(Value::dictionary()), "{}");
    EXPECT_FALSE(sortedJSONString(Value::dictionary({{"k", "caf\xC3\xA9"}})));
}

TEST(WidgetRecords, LauncherStyleAndFallbacks) {
    auto launcher = [](const char* json) { return ParseFAQ().decodeSetup(std::string(R"({"launcher":)") + json + "}")->launcher; };
    auto plain = launcher(R"({"icon-placement":"start"})");
    EXPECT_EQ(plain->iconFileName(), "None");
    EXPECT_TRUE(plain->isImagePresent());
    EXPECT_EQ(plain->imageName(), "");  // the symbol of the "None" icon is none
    EXPECT_EQ(plain->marginInsets(), (EdgeInsets{0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(plain->btnWidth(), 0);
    EXPECT_DOUBLE_EQ(plain->btnHeight(), 50);
    EXPECT_EQ(plain->fontfamily(), "Arial");
    EXPECT_EQ(plain->bgColor(), widgetColor("#2c88da"));
    EXPECT_EQ(plain->btnBorderColor(), platform::UIColor::clearColor());
    EXPECT_DOUBLE_EQ(plain->contentWidth(40), 0);
    EXPECT_DOUBLE_EQ(launcher(R"({"icon-placement":"start","file-name":"help"})")->contentWidth(40), 25);

    auto styled = launcher(R"({"icon-placement":"end","file-name":"expand_more","text":"FAQ","margin-right":5,)"
                           R"("padding-left":4,"padding-right":6,"font-weight":"Bold","font-family":"arial","icon-height":30})");
    EXPECT_EQ(styled->iconFileName(), "expandmore");
    EXPECT_EQ(styled->imageName(), "chevron.down");
    EXPECT_DOUBLE_EQ(styled->marginInsets().trailing, 15);
    EXPECT_DOUBLE_EQ(styled->btnWidth(), 110);
    EXPECT_EQ(styled->fontweight(), FontWeight::regular);
    EXPECT_EQ(styled->fontweightString(), "normal");
    EXPECT_EQ(styled->fontfamily(), "arial");  // installed as "Arial": kept as written
    EXPECT_DOUBLE_EQ(styled->contentWidth(40), 40);
    EXPECT_DOUBLE_EQ(styled->frameWidth(40), 40 + 4 + 6 + 30);

    auto missing = launcher(R"({"icon-placement":"start","font-family":"No Such Family","file-name":"None","width":90})");
    EXPECT_EQ(missing->fontfamily(),
              platform::UIFont::preferredFontForTextStyle(platform::UIFontTextStyleTitle1).familyName());
    EXPECT_FALSE(missing->isImagePresent());
    EXPECT_DOUBLE_EQ(missing->frameWidth(12), 90);
}

class WidgetPlacement : public testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::UIScreen::mainScreen()->bounds();
        platform::UIScreen::mainScreen()->setBounds(CGRect(0, 0, 390, 844));
        resetScreenBoundsForTesting();
    }
    void TearDown() override {
        platform::UIScreen::mainScreen()->setBounds(saved_);
        resetScreenBoundsForTesting();
    }
    static Meta meta(const char* json) {
        return decodeEdited([&](Value& p) { p.set("meta", *Value::fromJSON(json)); })->meta;
    }
    CGRect saved_;
};

TEST_F(WidgetPlacement, ButtonOriginsFollowThePlacement) {
    Launcher launcher;
    launcher.marginRight = 0;
    EXPECT_EQ(buttonOrigin(FABPlacement::bottomRight, 110, 50, launcher.marginInsets()), (platform::CGPoint{270, 774}));
    EXPECT_EQ(buttonOrigin(FABPlacement::bottomRight, 110, 50, Launcher{}.marginInsets()), (platform::CGPoint{280, 774}));
    launcher = Launcher{};
    launcher.marginTop = 8;
    launcher.marginBottom = 4;
    launcher.marginLeft = 3;
    EXPECT_EQ(buttonOrigin(FABPlacement::topLeft, 110, 50, launcher.marginInsets()), (platform::CGPoint{3, 24}));
    EXPECT_EQ(buttonOrigin(FABPlacement::bottomCenter, 110, 50, launcher.marginInsets()),
              (platform::CGPoint{195 - 55 + 3, 844 - 50 - 20 - 4}));
    // The screen's bounds are read once.
    platform::UIScreen::mainScreen()->setBounds(CGRect(0, 0, 844, 390));
    EXPECT_EQ(buttonOrigin(FABPlacement::bottomRight, 110, 50, Launcher{}.marginInsets()), (platform::CGPoint{280, 774}));
    EXPECT_FALSE(FABPlacementFromRawValue("bottom"));
}

TEST_F(WidgetPlacement, ListSizeAndFrame) {
    EXPECT_EQ(ElementPositon::listSize(meta(R"({"display-params":{"width":"80%","height":300},"fab":{}})")),
              (platform::CGSize{312, 300}));
    EXPECT_EQ(ElementPositon::listSize(meta(R"({"display-params":{"height":"50%"},"fab":{}})")),
              (platform::CGSize{90, 422}));
    EXPECT_EQ(ElementPositon::listSize(meta(R"({"display-params":{"width":100,"border-width":2},"fab":{}})")),
              (platform::CGSize{104, 0}));

    // "bottom" is no placement: bottom-right, above the button, moved by the margins.
    Launcher launcher;
    launcher.marginTop = 7;
    Meta bottom = meta(R"({"placement":"bottom","display-params":{"width":200},"fab":{},)"
                       R"("margin-left":3,"margin-right":5,"margin-top":2,"margin-bottom":4})");
    CGRect fab(270, 774, 110, 50);
    EXPECT_EQ(ElementPositon::listFrame(bottom, launcher, fab, {150, 260}),
              CGRect(3 - 5 + 390 - 200, 774 - 260 - 4 + 2 - 7, 200, 260));

    // A top-centre list is centred on the screen and opens below the button, under the first
    // window's top inset.
    auto window = platform::make<platform::UIWindow>(CGRect(0, 0, 390, 844));
    window->setSafeAreaInsets({47, 0, 34, 0});
    auto windows = platform::UIApplication::sharedApplication()->windows();
    double inset = windows.front()->safeAreaInsets().top;
    Meta top = meta(R"({"placement":"top-center","display-params":{"width":"50%","height":100},"fab":{}})");
    EXPECT_EQ(ElementPositon::listFrame(top, Launcher{}, CGRect(140, 20, 110, 50), {}),
              CGRect(195 - 97.5, inset + 70, 195, 100));
}

TEST(WidgetRecords, DerivedStyleValues) {
    auto payload = *decodeEdited([](Value& p) {
        p.set("title", *Value::fromJSON(R"({"line-height":"140%","font-weight":"Bold"})"));
        p.set("content", *Value::fromJSON(R"({"line-height":140,"font-weight":"bold"})"));
        p.set("button-list", *Value::fromJSON(R"([{"id":1},{"id":2,"line-height":149,"background-color":"#111111"},)"
                                             R"({"id":3,"line-height":151}])"));
        Value m = p["meta"];
        m.set("padding-top", 10);
        m.set("fab", *Value::fromJSON(R"({"padding-top":10,"padding-bottom":10,"padding-left":10,"padding-right":10})"));
        p.set("meta", m);
    });
    EXPECT_DOUBLE_EQ(payload.title.lineSpacing(), 17.5);
    EXPECT_DOUBLE_EQ(payload.content.lineSpacing(), 17.5);
    EXPECT_EQ(payload.title.resolvedFontWeight(), "normal");
    EXPECT_EQ(payload.content.resolvedFontWeight(), "Bold");
    EXPECT_FALSE(payload.title.id);

    const ButtonList& only = payload.buttonList[0];
    EXPECT_EQ(only.textOrEmpty(), "");
    EXPECT_EQ(only.textAlignOrDefault(), "left");
    EXPECT_EQ(only.colorOrDefault(), "#555454");
    EXPECT_EQ(only.backgroundColorOrDefault(), "#ffffff");
    EXPECT_DOUBLE_EQ(only.fontSizeOrDefault(), 18);
    EXPECT_DOUBLE_EQ(only.heightOrDefault(), 5);
    EXPECT_EQ(only.resolvedFontFamily(), "Arial");
    EXPECT_DOUBLE_EQ(payload.buttonList[1].lineSpacing(), 0);
    EXPECT_DOUBLE_EQ(payload.buttonList[2].lineSpacing(), 18);
    // The first entry decides the list's background, even when a later one has one.
    EXPECT_EQ(payload.listBackgroundColor(), "#ffffff");

    const Fab& fab = payload.meta.fab;
    EXPECT_EQ(fab.iconName(), "none");
    EXPECT_TRUE(fab.showsIcon());
    EXPECT_EQ(fab.iconSymbolName(), "none");
    EXPECT_DOUBLE_EQ(fab.totalWidth(), 120);
    EXPECT_DOUBLE_EQ(fab.totalHeight(), 70);
    EXPECT_EQ(payload.meta.paddingInsets(), (EdgeInsets{10, 0, 0, 0}));

    // The collapse button's colour is opaque black unless the document names one.
    DismissButton dismiss = payload.buttons.dismissOrEmpty();
    EXPECT_EQ(widgetColor(dismiss.colorOrDefault()), platform::UIColor::blackColor());
    EXPECT_DOUBLE_EQ(dismiss.widthOrDefault(), 24);
    EXPECT_EQ(dismiss.backgroundColorOrDefault(), "#FFFFFF");
    EXPECT_EQ(payload.dismissForever.borderColorValue(), platform::UIColor::clearColor());
    EXPECT_FALSE(payload.dismissForever.widthValue());

    const DisplayParams& display = payload.meta.displayParams;
    EXPECT_DOUBLE_EQ(display.borderWidthOrZero(), 0);
    EXPECT_EQ(display.borderColorOrDefault(), "#000000");
    EXPECT_EQ(display.cornerRadiusOrDefault(), 5);
    EXPECT_EQ(display.heightUnit(), "DP");
    EXPECT_DOUBLE_EQ(display.heightInPoints(), 0);
    EXPECT_EQ(display.dimColor(), platform::UIColor::clearColor());
    DisplayParams dimmed;
    dimmed.color = "80000000";
    EXPECT_EQ(dimmed.dimColor(), platform::UIColor(0, 0, 0, 128.0 / 255));
    dimmed.color = "zz";
    EXPECT_EQ(dimmed.dimColor(), platform::UIColor::blackColor());
    dimmed.height = MixedValue(std::string("50%"));
    EXPECT_DOUBLE_EQ(dimmed.heightInPoints(), platform::UIScreen::mainScreen()->bounds().size.height / 2);
    dimmed.height = MixedValue(std::string("abc"));
    EXPECT_DOUBLE_EQ(dimmed.heightInPoints(), 0);
}


TEST(WidgetRecords, TitleIdentitiesAreUUIDTextsInEitherCase) {
    auto titled = [](const char* id) {
        return decodeEdited([&](Value& p) { p.set("title", Value::dictionary({{"id", id}, {"text", "Help"}})); });
    };
    auto lower = titled("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
    ASSERT_TRUE(lower && lower->title.id);
    EXPECT_EQ(lower->title.id->uuidString(), "6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    auto upper = titled("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    ASSERT_TRUE(upper && upper->title.id);
    EXPECT_EQ(*upper->title.id, *lower->title.id);
    // Written back in the standard form.
    EXPECT_EQ(encodeRecord(lower->title)["id"], Value("6BA7B810-9DAD-11D1-80B4-00C04FD430C8"));

    testing::internal::CaptureStdout();
    for (const char* bad : {"6ba7b810x9dad-11d1-80b4-00c04fd430c8", "6ba7b810-9dad-11d1-80b4-00c04fd430cg",
                            "6ba7b8109dad11d180b400c04fd430c8", "6ba7b810-9dad-11d1-80b4-00c04fd430c", "",
                            "6ba7b810-9dad-11d1-80b4_00c04fd430c8", "6ba7b81-09dad-11d1-80b4-00c04fd430c8"})
        EXPECT_FALSE(titled(bad)) << bad;
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Attempted to decode UUID from invalid UUID string."),
              std::string::npos);
    EXPECT_FALSE(WidgetUUID::fromString("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"));
}

TEST(WidgetRecords, FloatingButtonAndDontShowStylesFallBackToTheirDefaults) {
    auto payload = *decodeEdited([](Value& p) {
        Value m = p["meta"];
        m.set("fab", *Value::fromJSON(R"({"file-name":"expand_more","font-weight":"bold","font-size":20})"));
        p.set("meta", m);
        p.set("dismiss-forever", *Value::fromJSON(R"({"font-weight":"bold","border-color":"#ff0000","width":120,)"
                                                  R"("height":40})"));
    });
    const Fab& fab = payload.meta.fab;
    EXPECT_EQ(fab.iconName(), "expandmore");
    EXPECT_EQ(fab.iconSymbolName(), "chevron.down");
    EXPECT_EQ(fab.fontWeightValue(), FontWeight::bold);
    EXPECT_DOUBLE_EQ(fab.fontSizeOrDefault(), 20);
    Fab plain;
    EXPECT_EQ(plain.fontWeightValue(), FontWeight::regular);
    EXPECT_DOUBLE_EQ(plain.fontSizeOrDefault(), 16);
    plain.fileName = "help";
    EXPECT_EQ(plain.iconSymbolName(), "questionmark.circle.fill");
    plain.fontWeight = "Bold";
    EXPECT_EQ(plain.fontWeightValue(), FontWeight::regular);

    const DismissForver& dismiss = payload.dismissForever;
    EXPECT_EQ(dismiss.fontWeightValue(), FontWeight::bold);
    EXPECT_EQ(dismiss.borderColorValue(), widgetColor("#ff0000"));
    EXPECT_EQ(dismiss.widthValue(), 120);
    EXPECT_EQ(dismiss.heightValue(), 40);
    EXPECT_EQ(DismissForver{}.heightValue(), std::nullopt);

    // The launcher's words: "bold" only in lower case, its size, its border.
    auto launcher = ParseFAQ().decodeSetup(R"({"launcher":{"icon-placement":"start","font-weight":"bold",)"
                                           R"("font-size":22,"border-color":"#00ff00"}})")
                        ->launcher;
    EXPECT_EQ(launcher->fontweightString(), "Bold");
    EXPECT_DOUBLE_EQ(launcher->fontsize(), 22);
    EXPECT_EQ(launcher->btnBorderColor(), widgetColor("#00ff00"));
    EXPECT_DOUBLE_EQ(Launcher{}.fontsize(), 16);
}

TEST(WidgetRecords, TitleLineHeightsReadAsNumbersOrGiveNoSpacing) {
    auto spacing = [](MixedValue lineHeight) {
        FAQTitle title;
        title.lineHeight = std::move(lineHeight);
        return title.lineSpacing();
    };
    EXPECT_DOUBLE_EQ(spacing(MixedValue(std::string("12.5"))), 12.5 * 0.125);
    EXPECT_DOUBLE_EQ(spacing(MixedValue(std::string("12.5%"))), 12.5 * 0.125);
    EXPECT_DOUBLE_EQ(spacing(MixedValue(std::string("-8"))), -1);
    EXPECT_DOUBLE_EQ(spacing(MixedValue(int64_t{160})), 20);
    for (const char* text : {"abc", "1.2.3", ".", "", "%", "12px", "1e3"})
        EXPECT_DOUBLE_EQ(spacing(MixedValue(std::string(text))), 0) << text;
    EXPECT_DOUBLE_EQ(FAQTitle{}.lineSpacing(), 0);
    EXPECT_EQ(MixedValue(std::string("12")).intValue(), std::nullopt);
    EXPECT_EQ(MixedValue(std::string("12")).stringValue(), "12");
    EXPECT_EQ(MixedValue(int64_t{12}).intValue(), 12);
    EXPECT_EQ(MixedValue(int64_t{12}).stringValue(), std::nullopt);
}

TEST(WidgetDocument, ModelsOfUnreadableTextsAreNone) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ParseFAQ().getFABData("{"));
    EXPECT_FALSE(ParseFAQ().getFABData(R"({"launcher":{"type":"fab"}})"));
    EXPECT_FALSE(ParseFAQ().getFAQData("[]"));
    EXPECT_FALSE(ParseFAQ().getFAQData(R"({"meta":{}})"));
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(sortedJSONString(Value::array()));
}

TEST_F(WidgetPlacement, ListsOpenBesideTheButtonForEveryPlacementWord) {
    auto window = platform::make<platform::UIWindow>(CGRect(0, 0, 390, 844));
    window->setSafeAreaInsets({47, 0, 34, 0});
    const double inset = platform::UIApplication::sharedApplication()->windows().front()->safeAreaInsets().top;
    Launcher launcher;
    launcher.marginTop = 6;
    const CGRect fab(100, 700, 110, 50);
    struct Case {
        const char* placement;
        double x;
        bool top;
    };
    // 200 wide, 300 high; margins left 3, right 5, top 2, bottom 4.
    for (const Case c : {Case{"top-left", 3 - 5, true}, Case{"top-right", 3 - 5 + 390 - 200, true},
                         Case{"top-center", 3 - 5 + 195 - 100, true}, Case{"bottom-left", 3 - 5, false},
                         Case{"bottom-right", 3 - 5 + 390 - 200, false}, Case{"bottom-center", 3 - 5 + 195 - 100, false}}) {
        Meta m = meta((std::string(R"({"placement":")") + c.placement +
                       R"(","display-params":{"width":200,"height":300},"fab":{},)"
                       R"("margin-left":3,"margin-right":5,"margin-top":2,"margin-bottom":4})")
                          .c_str());
        const double y = c.top ? inset + 700 + 50 - 4 + 2 : 700 - 300 - 4 + 2 - 6;
        EXPECT_EQ(ElementPositon::listFrame(m, launcher, fab, {}), CGRect(c.x, y, 200, 300)) << c.placement;
        ASSERT_TRUE(FABPlacementFromRawValue(c.placement)) << c.placement;
    }
    // The button's own placement words put it in the same corners.
    const EdgeInsets none{0, 0, 0, 0};
    EXPECT_EQ(buttonOrigin(*FABPlacementFromRawValue("top-right"), 110, 50, none), (platform::CGPoint{280, 20}));
    EXPECT_EQ(buttonOrigin(*FABPlacementFromRawValue("bottom-left"), 110, 50, none), (platform::CGPoint{0, 774}));
    EXPECT_EQ(buttonOrigin(*FABPlacementFromRawValue("top-center"), 110, 50, none), (platform::CGPoint{140, 20}));
}

}  // namespace
}  // namespace brindlecue::widgets
