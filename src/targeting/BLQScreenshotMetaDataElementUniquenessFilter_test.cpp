#include "targeting/BLQScreenshotMetaDataElementUniquenessFilter.h"

#include <gtest/gtest.h>

#include "platform/Date.h"
#include "targeting/ScreenshotMetaDataElement.h"

namespace brindlecue {
namespace {

using platform::Dictionary;
using platform::Value;

// A complete record; the key "x" and the extra members change it.
Dictionary record(const std::string& id, double x, const std::string& type = "UIButton",
                  std::initializer_list<Dictionary::Entry> extra = {}) {
    Dictionary d{{"ancestor", "UIView@HomeViewController"}, {"height", 44}, {"id", id}, {"index", 0},
                 {"ios_version", "17.5"}, {"type", type}, {"version", "3.0.0"}, {"width", 120}, {"x", x},
                 {"y", 300.5}};
    for (const auto& [key, value] : extra) d.set(key, value);
    return d;
}

std::vector<std::string> idsOf(const std::vector<Dictionary>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(r.find("id") ? r.find("id")->stringValue() : "?");
    return out;
}

std::vector<Dictionary> unique(const std::vector<Dictionary>& records) {
    return BLQScreenshotMetaDataElementUniquenessFilter::getUniqueElementsOnly(records);
}

TEST(BLQScreenshotMetaDataElementUniquenessFilter, KeepsTheFirstOfARectangleAndTypeAndTheBestOfTheRest) {
    EXPECT_TRUE(unique({}).empty());

    // b and c lie on a's rectangle with a's type; c has an identifier, so b goes. d differs in
    // type, e in x by a hair; f's -0 is g's 0.
    auto out = unique({record("a", 10), record("b", 10), record("c", 10, "UIButton", {{"accessibility_identifier", "buy"}}),
                       record("d", 10, "UILabel"), record("e", 10.000001), record("f", -0.0), record("g", 0.0)});
    EXPECT_EQ(idsOf(out), (std::vector<std::string>{"a", "d", "e", "f", "c", "g"}));

    // Without an identifier among the later ones, all of them stay, after the first occurrences;
    // an empty identifier counts as one.
    EXPECT_EQ(idsOf(unique({record("a", 1), record("b", 1), record("c", 1), record("d", 2)})),
              (std::vector<std::string>{"a", "d", "b", "c"}));
    EXPECT_EQ(idsOf(unique({record("a", 1), record("b", 1), record("c", 1, "UIButton", {{"accessibility_identifier", ""}})})),
              (std::vector<std::string>{"a", "c"}));

    // Types compare as canonically equivalent text.
    EXPECT_EQ(idsOf(unique({record("a", 1, "Caf\xC3\xA9"), record("b", 1, "Cafe\xCC\x81"),
                            record("c", 1, "Cafe\xCC\x81", {{"accessibility_identifier", "x"}})})),
              (std::vector<std::string>{"a", "c"}));
}

TEST(BLQScreenshotMetaDataElementUniquenessFilter, RecordsComeBackWithAllKeysAndUnreadableOnesAreDropped) {
    Dictionary noVersion = record("v", 1);
    noVersion.remove("version");
    Dictionary textWidth = record("w", 2, "UIButton", {{"width", "120"}});
    Dictionary boolHeight = record("h", 3, "UIButton", {{"height", true}});
    Dictionary nullType = record("t", 4, "UIButton", {{"type", Value::null()}});
    Dictionary dated = record("d", 5, "UIButton", {{"tag", platform::Date::now()}});
    Dictionary extra = record("ok", 6, "UIButton", {{"viewController", "HomeViewController"}, {"tag", Value::null()}});
    Dictionary full = record("full", 7, "UIButton", {{"accessibility_identifier", "pay"}, {"supertag", "kj_supertag_x"},
                                                     {"tag", 12}});

    testing::internal::CaptureStdout();
    auto out = unique({noVersion, textWidth, boolHeight, nullType, dated, extra, full});
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(idsOf(out), (std::vector<std::string>{"ok", "full"}));
    size_t lines = 0;
    for (size_t at = printed.find("Error decoding JSON: "); at != std::string::npos;
         at = printed.find("Error decoding JSON: ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 5u) << printed;
    EXPECT_NE(printed.find("\"version\""), std::string::npos) << printed;

    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].keys(), (std::vector<std::string>{"accessibility_identifier", "ancestor", "height", "id", "index",
                                                       "ios_version", "supertag", "tag", "type", "version", "width",
                                                       "x", "y"}));
    EXPECT_TRUE(out[0].find("accessibility_identifier")->isNull());
    EXPECT_TRUE(out[0].find("supertag")->isNull());
    EXPECT_TRUE(out[0].find("tag")->isNull());
    EXPECT_EQ(*out[0].find("y"), Value(300.5));
    EXPECT_EQ(*out[1].find("accessibility_identifier"), Value("pay"));
    EXPECT_EQ(*out[1].find("supertag"), Value("kj_supertag_x"));
    EXPECT_EQ(*out[1].find("tag"), Value(12));
    EXPECT_EQ(*out[1].find("ancestor"), Value("UIView@HomeViewController"));

    // The element's own document leaves absent optional keys out.
    EXPECT_EQ(ScreenshotMetaDataElement::decode(Value(extra)).encode().keys(),
              (std::vector<std::string>{"ancestor", "height", "id", "index", "ios_version", "type", "version", "width",
                                        "x", "y"}));
}

}  // namespace
}  // namespace brindlecue
