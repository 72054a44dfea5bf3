#include "foundation/BLQJSONMerger.h"

#include <gtest/gtest.h>

#include "foundation/DecodableTypeStringOrFloatOrBool.h"
#include "foundation/DecodingError.h"

namespace brindlecue {
namespace {

using platform::Dictionary;
using platform::Value;

Dictionary json(const char* text) {
    return *Value::fromJSON(text)->getDictionary();
}

Value merged(const char* base, const char* overlay) {
    return Value(BLQJSONMerger::mergeJSONObjects(json(base), json(overlay)));
}

TEST(JSONMerger, ObjectsMergeKeyByKeyAtEveryDepth) {
    EXPECT_EQ(merged("{}", R"({"a":1})"), Value(json(R"({"a":1})")));
    EXPECT_EQ(merged(R"({"a":1})", "{}"), Value(json(R"({"a":1})")));
    EXPECT_EQ(merged(R"({"a":{"x":1,"y":{"k":1}},"b":2})", R"({"a":{"y":{"j":2}},"c":3})"),
              Value(json(R"({"a":{"x":1,"y":{"k":1,"j":2}},"b":2,"c":3})")));
    // The inputs are left as they were.
    Dictionary base = json(R"({"a":{"x":1}})");
    BLQJSONMerger::mergeJSONObjects(base, json(R"({"a":{"x":2}})"));
    EXPECT_EQ(Value(base), Value(json(R"({"a":{"x":1}})")));
}

TEST(JSONMerger, ArraysOfObjectsMergeByPosition) {
    EXPECT_EQ(merged(R"({"s":[{"a":1},{"b":2},{"c":3}]})", R"({"s":[{"a":9,"z":0}]})"),
              Value(json(R"({"s":[{"a":9,"z":0},{"b":2},{"c":3}]})")));
    EXPECT_EQ(merged(R"({"s":[{"a":1}]})", R"({"s":[{"b":1},{"c":2}]})"),
              Value(json(R"({"s":[{"a":1,"b":1},{"c":2}]})")));
    EXPECT_EQ(merged(R"({"s":[{"a":1}]})", R"({"s":[]})"), Value(json(R"({"s":[{"a":1}]})")));
}

TEST(JSONMerger, OtherwiseTheOverlayWins) {
    EXPECT_EQ(merged(R"({"a":{"x":1}})", R"({"a":null})"), Value(json(R"({"a":null})")));
    EXPECT_EQ(merged(R"({"a":{"x":1}})", R"({"a":5})"), Value(json(R"({"a":5})")));
    EXPECT_EQ(merged(R"({"a":{"x":1}})", R"({"a":"t"})"), Value(json(R"({"a":"t"})")));
    EXPECT_EQ(merged(R"({"a":[{"x":1}]})", R"({"a":[1,2]})"), Value(json(R"({"a":[1,2]})")));
    EXPECT_EQ(merged(R"({"a":[1,2]})", R"({"a":[{"x":1}]})"), Value(json(R"({"a":[{"x":1}]})")));
    EXPECT_EQ(merged(R"({"a":{"x":1}})", R"({"a":[{"x":2}]})"), Value(json(R"({"a":[{"x":2}]})")));
}

using Scalar = DecodableTypeStringOrFloatOrBool;

TEST(DecodableScalar, FloatFirstThenBoolThenText) {
    EXPECT_EQ(Scalar::decode(Value(true)), Scalar::boolValue(true));
    EXPECT_EQ(Scalar::decode(Value(3)), Scalar::floatValue(3.0f));
    EXPECT_EQ(Scalar::decode(Value(2.5)), Scalar::floatValue(2.5f));
    EXPECT_EQ(Scalar::decode(Value("x")), Scalar::stringValue("x"));
    // Beyond the float range a number is no float, and not an integer either.
    EXPECT_THROW(Scalar::decode(Value(1e300)), DecodingError);
}

TEST(DecodableScalar, OtherKindsFailAndValuesEncodeAsThemselves) {
    for (const Value& bad : {Value::array({1}), Value::null(), Value::dictionary()}) {
        try {
            Scalar::decode(bad);
            ADD_FAILURE() << "decoded " << bad.description();
        } catch (const DecodingError& e) {
            EXPECT_EQ(e.kind(), DecodingError::Kind::dataCorrupted);
            EXPECT_EQ(e.debugDescription(), "Invalid value type");
        }
    }
    EXPECT_EQ(Scalar::intValue(7).encode(), Value(7));
    EXPECT_TRUE(Scalar::intValue(7).encode().isInteger());
    EXPECT_TRUE(Scalar::boolValue(false).encode().isBool());
    EXPECT_EQ(Scalar::floatValue(0.5f).encode(), Value(0.5));
}

TEST(DecodableDictionary, DecodesScalarsUnderTheDictionaryKey) {
    auto d = DecodableDictionary::decode(*Value::fromJSON(R"({"dictionary":{"a":"t","b":2,"c":false}})"));
    EXPECT_EQ(d.dictionary.size(), 3u);
    EXPECT_EQ(d.dictionary.at("b"), Scalar::floatValue(2));
    for (const char* bad : {R"({"dictionary":{"a":{"n":1}}})", R"({"other":{}})", R"({"dictionary":[1]})",
                            R"({"dictionary":null})", "[1]"}) {
        EXPECT_THROW(DecodableDictionary::decode(*Value::fromJSON(bad)), DecodingError) << bad;
    }
}

}  // namespace
}  // namespace brindlecue
