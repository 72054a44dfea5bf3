#include "targeting/BLQScreenshotMetaDataElementUniquenessFilter.h"

#include <gtest/gtest.h>

#include "platform/Date.h"
#include "targeting/ScreenshotMetaDataElement.h"

namespace brindlecue {
namespace {

using platform::Dictionary;
using platform::Value;
using Ids = std::vector<std::string>;

// A complete record at x, with the extra members set.
Dictionary record(const std::string& id, double x, const std::string& type = "UIButton",
                  std::initializer_list<Dictionary::Entry> extra = {}) {
    Dictionary d{{"ancestor", "UIView@HomeViewController"}, {"height", 44}, {"id", id}, {"index", 0},
                 {"ios_version", "17.5"}, {"type", type}, {"version", "3.0.0"}, {"width", 120}, {"x", x}, {"y", 0.5}};
    for (const auto& [key, value] : extra) d.set(key, value);
    return d;
}

Ids unique(const std::vector<Dictionary>& records) {
    Ids out;
    for (const auto& r : BLQScreenshotMetaDataElementUniquenessFilter::getUniqueElementsOnly(records))
        out.push_back(r.find("id")->stringValue());
    return out;
}

TEST(BLQScreenshotMetaDataElementUniquenessFilter, KeepsTheFirstOfARectangleAndTypeAndTheBestOfTheRest) {
    EXPECT_TRUE(unique({}).empty());
    // b and c lie on a's rectangle with a's type; c has an identifier, so b goes. d differs in
    // type, e in x by a hair; f's -0 is g's 0.
    EXPECT_EQ(unique({record("a", 10), record("b", 10), record("c", 10, "UIButton", {{"accessibility_identifier", "x"}}),
                      record("d", 10, "UILabel"), record("e", 10.000001), record("f", -0.0), record("g", 0.0)}),
              (Ids{"a", "d", "e", "f", "c", "g"}));
    // Without an identifier among the later ones, all stay, after the first occurrences; an empty
    // identifier counts as one, and types compare as canonically equivalent text.
    EXPECT_EQ(unique({record("a", 1), record("b", 1), record("c", 1), record("d", 2)}), (Ids{"a", "d", "b", "c"}));
    EXPECT_EQ(unique({record("a", 1, "Caf\xC3\xA9"), record("b", 1, "Cafe\xCC\x81"),
                      record("c", 1, "Cafe\xCC\x81", {{"accessibility_identifier", ""}})}),
              (Ids{"a", "c"}));
}

TEST(BLQScreenshotMetaDataElementUniquenessFilter, RecordsComeBackWithAllKeysAndUnreadableOnesAreDropped) {
    Dictionary noVersion = record("v", 1);
    noVersion.remove("version");
    Dictionary extra = record("ok", 6, "UIButton", {{"viewController", "HomeViewController"}, {"tag", Value::null()}});
    testing::internal::CaptureStdout();
    auto out = BLQScreenshotMetaDataElementUniquenessFilter::getUniqueElementsOnly(
        {noVersion, record("w", 2, "UIButton", {{"width", "120"}}), record("h", 3, "UIButton", {{"height", true}}),
         record("d", 5, "UIButton", {{"tag", platform::Date::now()}}), extra,
         record("full", 7, "UIButton", {{"accessibility_identifier", "pay"}, {"supertag", "kj_x"}, {"tag", 12}})});
    const std::string printed = testing::internal::GetCapturedStdout();

    const std::string line = "Error decoding JSON: ";
    size_t lines = 0;
    for (size_t at = printed.find(line); at != std::string::npos; at = printed.find(line, at + 1)) ++lines;
    EXPECT_EQ(lines, 4u) << printed;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Value(out[0]), Value::dictionary({{"accessibility_identifier", nullptr}, {"ancestor", "UIView@HomeViewController"},
                                                {"height", 44}, {"id", "ok"}, {"index", 0}, {"ios_version", "17.5"},
                                                {"supertag", nullptr}, {"tag", nullptr}, {"type", "UIButton"},
                                                {"version", "3.0.0"}, {"width", 120}, {"x", 6}, {"y", 0.5}}));
    EXPECT_EQ(out[0].keys().size(), 13u);
    EXPECT_EQ(*out[1].find("tag"), Value(12));
    // The element's own document leaves absent optional keys out.
    EXPECT_EQ(ScreenshotMetaDataElement::decode(Value(extra)).encode().size(), 10u);
}


TEST(BLQScreenshotMetaDataElementUniquenessFilter, NullRequiredValuesAndValuesOfAnotherKindAreRefused) {
    auto refusal = [](const Value& document) -> std::string {
        try {
            ScreenshotMetaDataElement::decode(document);
        } catch (const DecodingError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_NE(refusal(Value(record("n", 1, "UIButton", {{"version", Value::null()}}))).find("valueNotFound(\"version\")"),
              std::string::npos);
    EXPECT_NE(refusal(Value(record("a", 1, "UIButton", {{"ancestor", 5}}))).find("typeMismatch(\"ancestor\")"),
              std::string::npos);
    EXPECT_NE(refusal(Value(record("s", 1, "UIButton", {{"supertag", 3}}))).find("typeMismatch(\"supertag\")"),
              std::string::npos);
    EXPECT_NE(refusal(Value(record("i", 1, "UIButton", {{"index", "0"}}))).find("typeMismatch(\"index\")"),
              std::string::npos);
    EXPECT_FALSE(refusal(Value::array({record("list", 1)})).empty());
    EXPECT_FALSE(refusal(Value("text")).empty());

    // Such entries are dropped from the filter's answer; the others stay.
    testing::internal::CaptureStdout();
    EXPECT_EQ(unique({record("n", 1, "UIButton", {{"version", Value::null()}}), record("a", 1, "UIButton", {{"ancestor", 5}}),
                      record("ok", 1)}),
              Ids{"ok"});
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace brindlecue
