#include "network/BLQWebSocketEventModel.h"

#include <gtest/gtest.h>

#include <limits>

#include "foundation/DecodingError.h"

namespace brindlecue {
namespace {

using platform::Value;
using Scalar = DecodableTypeStringOrFloatOrBool;

BLQWebSocketEventModel sample(std::optional<std::string> installId) {
    return BLQWebSocketEventModel(
        BLQWebSocketEventType::update, 1767225600, "key", std::move(installId),
        {{"kj_version", Scalar::stringValue("3.0.3")}, {"utc_offset", Scalar::intValue(50)}});
}

TEST(BLQWebSocketEventModelTest, TypesMatchTheirRawValuesExactly) {
    EXPECT_EQ(BLQWebSocketEventTypeFromRawValue("userEvent"), BLQWebSocketEventType::userEvent);
    EXPECT_EQ(BLQWebSocketEventTypeFromRawValue("guide_delete"), BLQWebSocketEventType::guideDelete);
    for (const char* text : {"user_event", "Config", "", "guideDelete"}) {
        EXPECT_EQ(BLQWebSocketEventTypeFromRawValue(text), std::nullopt) << text;
    }
}

TEST(BLQWebSocketEventModelTest, EnvelopeCodesItsMembersAndLeavesOutAMissingInstallId) {
    auto envelope = *sample("inst-1").asDictionary();
    EXPECT_EQ(envelope.getDictionary()->keys(),
              (std::vector<std::string>{"id", "type", "timestamp", "app_key", "install_id", "payload"}));
    EXPECT_EQ(envelope["type"].stringValue(), "update");
    EXPECT_EQ(envelope["timestamp"].getInteger(), 1767225600);
    EXPECT_TRUE(envelope["payload"]["utc_offset"].isInteger());
    EXPECT_TRUE(envelope["payload"]["kj_version"].isString());
    EXPECT_FALSE(sample(std::nullopt).asDictionary()->getDictionary()->contains("install_id"));

    std::string id = envelope["id"].stringValue(), other = sample(std::nullopt).id;
    EXPECT_NE(id, other);
    EXPECT_EQ(id.size(), 36u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef-"), std::string::npos) << id;
}

TEST(BLQWebSocketEventModelTest, APayloadNumberThatIsNotFiniteGivesNoDictionary) {
    BLQWebSocketEventModel model(BLQWebSocketEventType::log, 1, "key", std::nullopt,
                                 {{"x", Scalar::floatValue(std::numeric_limits<float>::infinity())}});
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(model.asDictionary(), std::nullopt);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("Error: ", 0), 0u);
}

TEST(BLQWebSocketEventModelTest, DecodingRoundTripsAndRejectsBadMembers) {
    auto original = sample("inst-1");
    auto decoded = BLQWebSocketEventModel::decode(*original.asDictionary());
    EXPECT_EQ(decoded.id, original.id);
    EXPECT_EQ(decoded.timestamp, 1767225600);
    EXPECT_EQ(decoded.installId, "inst-1");
    EXPECT_EQ(decoded.payload.at("kj_version"), Scalar::stringValue("3.0.3"));
    EXPECT_EQ(decoded.payload.at("utc_offset"), Scalar::floatValue(50));  // numbers read as floats first

    auto with = [&](const char* key, Value value) {
        Value document = *original.asDictionary();
        value.isAbsent() ? (void)document.remove(key) : (void)document.set(key, value);
        return document;
    };
    EXPECT_THROW(BLQWebSocketEventModel::decode(with("type", "user_event")), DecodingError);
    EXPECT_THROW(BLQWebSocketEventModel::decode(with("timestamp", "1767225600")), DecodingError);
    EXPECT_THROW(BLQWebSocketEventModel::decode(with("app_key", Value())), DecodingError);
    EXPECT_THROW(BLQWebSocketEventModel::decode(with("payload", Value::array({1}))), DecodingError);
    EXPECT_EQ(BLQWebSocketEventModel::decode(with("install_id", Value())).installId, std::nullopt);
}

TEST(BLQWebSocketEventModelTest, DecodingSaysWhatIsWrongWithAnEnvelope) {
    auto kindOf = [](const Value& document) {
        try {
            BLQWebSocketEventModel::decode(document);
        } catch (const DecodingError& error) {
            return std::optional<DecodingError::Kind>(error.kind());
        }
        return std::optional<DecodingError::Kind>();
    };
    auto original = *sample("inst-1").asDictionary();
    auto with = [&](const char* key, Value value) {
        Value document = original;
        document.set(key, value);
        return document;
    };
    EXPECT_EQ(kindOf(Value::array({original})), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(kindOf(with("id", Value::null())), DecodingError::Kind::valueNotFound);
    EXPECT_EQ(kindOf(with("type", 7)), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(kindOf(with("type", "user_event")), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(kindOf(with("install_id", 12)), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(kindOf(with("install_id", Value::null())), std::nullopt);
    // A time stamp written as a whole real number is read as that integer; any other real is refused.
    EXPECT_EQ(kindOf(with("timestamp", 1767225600.0)), std::nullopt);
    EXPECT_EQ(BLQWebSocketEventModel::decode(with("timestamp", 1767225600.0)).timestamp, 1767225600);
    EXPECT_EQ(kindOf(with("timestamp", 1.5)), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(kindOf(with("timestamp", 1e19)), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(kindOf(with("timestamp", true)), DecodingError::Kind::typeMismatch);
}

}  // namespace
}  // namespace brindlecue
