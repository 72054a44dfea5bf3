#include "storage/BLQUserEventDTO.h"

#include <gtest/gtest.h>

#include "config/BLQSessionDTO.h"
#include "storage/BLQTagDTO.h"

namespace brindlecue {
namespace {

using platform::Value;

BLQUserEventDTO event(BLQUserEventCode code, Value details = Value(), std::shared_ptr<BLQTagDTO> tag = nullptr) {
    return BLQUserEventDTO("e-1", code, std::move(details), "Home", BLQUserEventStatus::unsent, std::move(tag), nullptr,
                           std::nullopt, platform::Date::fromTimeIntervalSince1970(1709647629.123), std::nullopt);
}

TEST(BLQUserEventDTO, DetailsGoUnderTheMemberOfTheirCode) {
    auto result = event(BLQUserEventCode::feedResult,
                        Value::dictionary({{"feed_id", 12}, {"status", "error"}, {"step", 2},
                                           {"nested", Value::dictionary({{"a", 1}})}}))
                      .encode();
    EXPECT_EQ(result["feed_id"], 12);
    EXPECT_EQ(result["result"], Value::dictionary({{"status", "error"}, {"step", 2}}));
    EXPECT_TRUE(result["string"].isAbsent());
    EXPECT_EQ(result["created_on_client"], "2024-03-05T14:07:09.123Z");
    EXPECT_TRUE(result["blq_version"].isNull());
    EXPECT_TRUE(result["qx_version"].isNull());
    EXPECT_TRUE(result["modified"].isAbsent());
    EXPECT_TRUE(result["session_id"].isAbsent());

    auto error = event(BLQUserEventCode::error, Value::dictionary({{"message", "m"}, {"description", "d"}})).encode();
    EXPECT_EQ(error["content"], Value::dictionary({{"message", "m"}, {"description", "d"}}));

    auto complete = event(BLQUserEventCode::appSessionComplete,
                          Value::dictionary({{"start", 1.5}, {"end", 3}, {"length", 2}, {"other", 1}}))
                        .encode();
    EXPECT_EQ(complete["start"], 1.5);
    EXPECT_EQ(complete["length"], 2);
    EXPECT_TRUE(complete["other"].isAbsent());
    EXPECT_TRUE(complete["details"].isAbsent());

    auto page = event(BLQUserEventCode::pageEnter).encode();
    EXPECT_EQ(page["string"], "Home");
    EXPECT_TRUE(page["details"].isAbsent());
}

TEST(BLQUserEventDTO, DetailsKeepTheirKinds) {
    auto doc = event(BLQUserEventCode::appBackground,
                     Value::dictionary({{"flag", true},
                                        {"one", 1},
                                        {"big", int64_t{9007199254740993}},
                                        {"at", 1709647629.125},
                                        {"ratio", 0.1},
                                        {"when", platform::Date::fromTimeIntervalSince1970(1)}}))
                   .toDictionary();
    ASSERT_TRUE(doc);
    const Value& details = (*doc)["details"];
    EXPECT_TRUE(details["flag"].isBool());
    EXPECT_TRUE(details["one"].isInteger());  // not read as true
    EXPECT_EQ(details["big"].getInteger(), 9007199254740993);
    EXPECT_EQ(details["at"].getNumber(), 1709647629.125);  // a time stamp keeps its fraction
    EXPECT_EQ(details["ratio"].getNumber(), 0.1);
    EXPECT_TRUE(details["when"].isAbsent());

    // A text that is not UTF-8 cannot be written: the record has no document.
    auto broken = event(BLQUserEventCode::pageEnter);
    broken.message = std::string("\xff\xfe");
    EXPECT_FALSE(broken.toDictionary());
}

TEST(BLQUserEventDTO, TagValuesAreWrittenByWhatTheyReadAs) {
    auto valueOf = [](const std::string& text, BLQUserEventCode code = BLQUserEventCode::tagUpdated) {
        return event(code, Value(), std::make_shared<BLQTagDTO>("k", text)).encode();
    };
    EXPECT_EQ(valueOf("42")["numeric"], 42);
    EXPECT_EQ(valueOf("2.5")["numeric"], 2.5);
    EXPECT_EQ(valueOf("2024-03-05")["datetime"], "2024-03-05T00:00:00.000Z");
    EXPECT_EQ(valueOf("gold")["string"], "gold");
    EXPECT_EQ(valueOf("gold")["key"], "k");
    EXPECT_EQ(valueOf("3", BLQUserEventCode::tagIncremented)["numeric"], 3);
    // A deletion writes no tag members, whatever the value it had; its message still names the key.
    for (const char* text : {"3", "2.5", "2024-03-05", "gold"}) {
        auto deleted = event(BLQUserEventCode::tagDeleted, Value(), std::make_shared<BLQTagDTO>("k", text));
        const Value doc = deleted.encode();
        for (const char* member : {"key", "numeric", "datetime", "string"})
            EXPECT_TRUE(doc[member].isAbsent()) << text << " wrote " << member;
        EXPECT_EQ(doc["code"], 8998);
    }

    auto withSession = event(BLQUserEventCode::heartbeat);
    withSession.session = std::make_shared<BLQSessionDTO>(7, std::nullopt, std::nullopt, nullptr, std::nullopt);
    auto dictionary = withSession.toDictionary();
    ASSERT_TRUE(dictionary);
    EXPECT_EQ((*dictionary)["session_id"], 7);
    EXPECT_FALSE(BLQUserEventStatusFromRawValue(5));
    EXPECT_FALSE(BLQUserEventCodeFromRawValue(8106));
    EXPECT_EQ(BLQUserEventCodeFromRawValue(8201), BLQUserEventCode::feedResult);
}

}  // namespace
}  // namespace brindlecue
