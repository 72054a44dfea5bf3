#include "config/BLQUtilsFacade.h"
#include "foundation/BLQUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/KJLog.h"
#include "platform/CaptureLogSink.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using testing::ElementsAre;
using testing::Return;

// Collects the older layer's log lines while it exists.
struct KJLogLines {
    std::vector<std::string> lines;
    KJLogLines() {
        KJLogSetObserver([this](int, const std::string& line) { lines.push_back(line); });
    }
    ~KJLogLines() { KJLogSetObserver(nullptr); }
};

TEST(BLQUtilsText, ConversionsAndEmptiness) {
    EXPECT_EQ(blqConvertKJTipTypeString(7), "fab");
    EXPECT_EQ(blqConvertKJTipTypeString(1), "tour");
    for (int t : {8, 99, -1}) EXPECT_EQ(blqConvertKJTipTypeString(t), "Unknown") << t;
    EXPECT_EQ(blqDataToHexString({0x00, 0xAB, 0x0F, 0xF0}), "00AB0FF0");

    EXPECT_TRUE(blqStrIsEmpty(Value()));
    EXPECT_TRUE(blqStrIsEmpty(Value("")));
    EXPECT_FALSE(blqStrIsEmpty(Value::null()));
    EXPECT_FALSE(blqStrIsEmpty(Value(0)));
    EXPECT_FALSE(blqStrIsEmpty(Value("x")));

    EXPECT_EQ(blqAppendString("", "x"), "x");
    EXPECT_EQ(blqAppendString("a", "b"), "a b");
    EXPECT_EQ(blqAppendString("a", std::nullopt), "a");
    EXPECT_EQ(blqAppendString(std::nullopt, ""), std::nullopt);
}

TEST(BLQUtilsText, ArraysCompareOneWayByText) {
    EXPECT_TRUE(blqArrayIsSame(Value::array({1, 1}), Value::array({1, 2})));
    EXPECT_FALSE(blqArrayIsSame(Value::array({1, 2}), Value::array({1, 1})));
    EXPECT_TRUE(blqArrayIsSame(Value::array({1, "b"}), Value::array({"b", "1"})));
    EXPECT_FALSE(blqArrayIsSame(Value::array({1}), Value::array({1, 1})));
    EXPECT_TRUE(blqArrayIsSame(Value(), Value()));
    EXPECT_FALSE(blqArrayIsSame(Value(), Value::array()));
    EXPECT_TRUE(blqArrayIsSame(Value::array(), Value::array()));
}

TEST(BLQUtilsText, UrlEncodingEscapesReservedCharacters) {
    EXPECT_EQ(blqUrlEncodeFull("aZ9-.~"), "aZ9-.~");
    EXPECT_EQ(blqUrlEncodeFull("!*'();:@&=+$,/?%#[]_"),
              "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%5F");
    EXPECT_EQ(blqUrlEncodeFull("a b\xC3\xA9"), "a%20b%C3%A9");
}

TEST(BLQUtilsText, QueryTextsSplitIntoPairs) {
    EXPECT_EQ(blqParseGetParamStringToDict("a=1&b=&c"), Value::dictionary({{"a", "1"}}));
    EXPECT_EQ(blqParseGetParamStringToDict(" k%20=%20v%3D1 &x=1=2&k=%E2%82%AC"),
              Value::dictionary({{"k", "\xE2\x82\xAC"}, {"x", "1"}}));
    // Broken escapes and bytes that are not UTF-8 drop the pair.
    EXPECT_EQ(blqParseGetParamStringToDict("a=%ZZ&b=%FF&c=%4&d=ok"), Value::dictionary({{"d", "ok"}}));
    EXPECT_EQ(blqParseGetParamStringToDict(""), Value::dictionary());
}

TEST(BLQUtilsJSON, ObjectToDictionaryTurnsSpacedNullsIntoEmptyText) {
    Value d = blqParseObjectToDict(Value(R"({"a": null, "b": 1, "c": null})"));
    EXPECT_EQ(d["a"], Value(""));
    EXPECT_EQ(d["c"], Value(""));
    EXPECT_EQ(d["b"], Value(1));
    EXPECT_TRUE(blqParseObjectToDict(Value(R"({"a":null})"))["a"].isNull());

    Value dict = Value::dictionary({{"k", Value::null()}});
    EXPECT_EQ(blqParseObjectToDict(dict), dict);

    // Found by fuzzing: texts that hold the same characters stay as they are, and the document
    // still reads (it used to be cut into text that is no JSON).
    d = blqParseObjectToDict(
        Value(R"({"tag": "p: null}lan", "op": "a: null, b", "n": null, "e": "\": null}"})"));
    EXPECT_EQ(
        d, Value::dictionary({{"tag", "p: null}lan"}, {"op", "a: null, b"}, {"n", ""}, {"e", "\": null}"}}));
    EXPECT_EQ(blqParseObjectToDict(Value(R"({"a": [{"b": null}, null], "c": {"d": null }})")),
              *Value::fromJSON(R"({"a": [{"b": ""}, null], "c": {"d": null }})"));

    KJLogLines log;
    EXPECT_TRUE(blqParseObjectToDict(Value("[1]")).isAbsent());
    EXPECT_TRUE(blqParseObjectToDict(Value("{broken")).isAbsent());
    EXPECT_TRUE(blqParseObjectToDict(Value(3)).isAbsent());
    EXPECT_TRUE(blqParseObjectToDict(Value("")).isAbsent());
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_THAT(log.lines[0], testing::StartsWith("Fail to parse object ([1]) to dict, error: "));
}

TEST(BLQUtilsJSON, SerializingAndDeserializing) {
    Value d = Value::dictionary({{"b", 1}, {"a", Value::array({"x", true})}});
    EXPECT_EQ(blqSerializeObjToJson(d), R"({"b":1,"a":["x",true]})");
    EXPECT_EQ(blqSerializeObjToJson(Value()), "");
    EXPECT_EQ(blqSerializeObjToJson(Value::dictionary({{"when", platform::Date()}})), "");

    EXPECT_EQ(blqDeSerializeJsonStringToDict(Value(R"({"b":1,"a":["x",true]})")), d);
    EXPECT_EQ(blqDeSerializeJsonStringToDict(Value("[1,2]")), Value::array({1, 2}));
    EXPECT_TRUE(blqDeSerializeJsonStringToDict(Value("42")).isAbsent());
    EXPECT_TRUE(blqDeSerializeJsonStringToDict(Value("{")).isAbsent());
    EXPECT_TRUE(blqDeSerializeJsonStringToDict(Value()).isAbsent());
    EXPECT_EQ(blqDeSerializeJsonStringToArray(Value("[1]")), Value::array({1}));
    EXPECT_TRUE(blqDeSerializeJsonStringToArray(Value("{}")).isAbsent());

    auto pretty = blqSerializeDicToJsonString(Value::dictionary({{"a", 1}}));
    ASSERT_TRUE(pretty);
    EXPECT_NE(pretty->find('\n'), std::string::npos);
    EXPECT_EQ(Value::fromJSON(*pretty), Value::dictionary({{"a", 1}}));
    EXPECT_EQ(blqSerializeDicToJsonString(Value()), std::nullopt);

    platform::CaptureLogSink capture;
    EXPECT_EQ(blqSerializeDicToJsonString(Value::dictionary({{"when", platform::Date()}})), std::nullopt);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_THAT(capture.messages()[0], testing::StartsWith("Got an error: "));
}

// Only the facade questions are mocked; the rest keep the stub's answers.
class MockConfigManager : public testsupport::StubConfigManager {
public:
    MOCK_METHOD(bool, isBrindlecueEnabled, (), (const, override));
    MOCK_METHOD(bool, isSuperTagsEnabled, (int32_t), (const, override));
    MOCK_METHOD(bool, isSuperTagFilterPassed, (const std::string&), (const, override));
};

TEST(BLQUtilsFacadeQuestions, AnswerNoWithoutAFacadeAndForwardOtherwise) {
    platform::CaptureLogSink capture;
    EXPECT_FALSE(brindlecueIsEnabled());
    EXPECT_FALSE(isSuperTagEnabled(1));
    EXPECT_FALSE(isSuperTagFilterPassed("x"));
    EXPECT_THAT(capture.messages(),
                ElementsAre("This App is disabled, please contact Administrator to enable it."));

    auto manager = std::make_shared<testing::StrictMock<MockConfigManager>>();
    blqSetFacade({manager, nullptr});
    EXPECT_CALL(*manager, isBrindlecueEnabled()).WillOnce(Return(true));
    EXPECT_CALL(*manager, isSuperTagsEnabled(1)).WillOnce(Return(true));
    EXPECT_CALL(*manager, isSuperTagsEnabled(2)).WillOnce(Return(false));
    EXPECT_CALL(*manager, isSuperTagFilterPassed("home")).WillOnce(Return(true));
    capture.clear();
    EXPECT_TRUE(brindlecueIsEnabled());
    EXPECT_TRUE(isSuperTagEnabled(1));
    EXPECT_FALSE(isSuperTagEnabled(2));
    EXPECT_TRUE(isSuperTagFilterPassed("home"));
    EXPECT_TRUE(capture.messages().empty());
    blqSetFacade({});
}

TEST(BLQUtilsScreenName, NativeIdReplacesTheClassNameOnlyInReactNative) {
    auto nativeID = [](std::optional<std::string> id) { return [id] { return id; }; };
    EXPECT_EQ(blqAppendUniqueSuffix("Shop.HomeViewController", nativeID("home")), "Shop.HomeViewController");

    blqSetFacade({{}, [] { return true; }});
    EXPECT_EQ(blqAppendUniqueSuffix("RNScreen", nativeID("checkout")), "checkout");
    EXPECT_EQ(blqAppendUniqueSuffix("RNScreen", nativeID("")), "RNScreen");
    EXPECT_EQ(blqAppendUniqueSuffix("RNScreen", nativeID(std::nullopt)), "RNScreen");

    // Called off the main queue, the lookup still runs on it.
    std::atomic<bool> done{false}, lookedUpOnMain{false};
    std::string name;
    std::thread worker([&] {
        name = blqAppendUniqueSuffix("RNScreen", [&]() -> std::optional<std::string> {
            lookedUpOnMain = platform::isMainThread();
            return "cart";
        });
        done = true;
    });
    EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(lookedUpOnMain);
    EXPECT_EQ(name, "cart");
    blqSetFacade({});
}

}  // namespace
}  // namespace brindlecue
