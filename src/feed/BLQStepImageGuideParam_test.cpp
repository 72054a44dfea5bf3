#include "feed/BLQStepImageGuideParam.h"

#include <gtest/gtest.h>

#include "feed/BLQStepOptionsGuideParam.h"

namespace brindlecue {
namespace {

using platform::Value;

Value parse(const std::string& text) {
    return Value::fromJSON(text).value_or(Value());
}

Value withParam(const BLQICustomGuideParam& param, const std::string& host, const std::string& step,
                const std::string& feedTemplate = R"({"meta": {"tool": "modal"}})") {
    Value built = parse(step);
    param.insertValue(parse(host), built, parse(feedTemplate));
    return built;
}

TEST(BLQStepImageGuideParam, TheHostsImageGoesIntoTheFirstImageOfTheStep) {
    BLQStepImageGuideParam image;
    EXPECT_EQ(withParam(image, R"({"image": "https://x.test/a.png"})", R"({"title": 1})"),
              parse(R"({"title": 1, "image": [{"resource": "https://x.test/a.png"}]})"));
    EXPECT_EQ(withParam(image, R"({"image": {"url": "u.png", "image-align": "left-top", "size": 3}})",
                        R"({"image": [{"resource": "t.png", "height": 40}, {"resource": "second.png"}]})"),
              parse(R"({"image": [{"resource": "u.png", "height": 40, "image-align": "left-top"},
                                  {"resource": "second.png"}]})"));
    // An empty list has no first image: one is added.
    EXPECT_EQ(withParam(image, R"({"image": "a.png"})", R"({"image": []})"),
              parse(R"({"image": [{"resource": "a.png"}]})"));
    EXPECT_EQ(withParam(image, R"({"image": 5})", R"({"image": []})"), parse(R"({"image": []})"));
}

TEST(BLQStepOptionsGuideParam, OptionsReplaceTheChoicesOfAFeedbackStepOnly) {
    BLQStepOptionsGuideParam options;
    const char* feedbackTemplate = R"({"meta": {"tool": "feedback"}})";
    EXPECT_EQ(withParam(options, R"({"options": ["Yes", "No"]})",
                        R"({"feedback": {"title": "Q", "c": ["a"]}})", feedbackTemplate),
              parse(R"({"feedback": {"title": "Q", "c": ["Yes", "No"]}})"));
    EXPECT_EQ(withParam(options, R"({"options": ["Yes"]})", R"({"feedback": {"c": ["a"]}})"),
              parse(R"({"feedback": {"c": ["a"]}})"));
    EXPECT_EQ(withParam(options, R"({"options": [1, 2]})", R"({})", feedbackTemplate), parse(R"({})"));
}

}  // namespace
}  // namespace brindlecue
