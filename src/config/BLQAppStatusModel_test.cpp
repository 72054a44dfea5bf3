#include "config/BLQAppStatusModel.h"

#include <gtest/gtest.h>

#include "config/BLQConfigDefaults.h"
#include "foundation/DecodingError.h"

namespace brindlecue {
namespace {

using platform::Value;

BLQAppStatusModel decodeText(const std::string& json) {
    return BLQAppStatusResponseModel::decode(*Value::fromJSON(json)).appStatus;
}

TEST(BLQAppStatusModel, EveryKeyDecodesToItsField) {
    auto model = decodeText(R"({"app_status": {
        "id": 7, "disabled": 789000000.5, "log_level": 9,
        "log_handlers": [{"name": "cloud", "log_level": 4}],
        "feed_updated": "2024-01-31T10:00:00.000Z", "host": "", "installid": "i-1",
        "install_token": "tok", "preview_mode": null, "supertags_level": "no_clicks",
        "supertags_filter": "^Home", "app_status_poll_interval": 30,
        "priority_loglines": [], "disabled_loglines": [8051, 8050.0], "unknown": {"x": 1}}})");
    EXPECT_EQ(model.id, 7);
    EXPECT_EQ(model.disabledTimeInSeconds, 789000000.5);
    EXPECT_EQ(model.logLevel, 9);  // the range is checked where the level is applied
    EXPECT_EQ(model.logHandlers,
              (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::cloud, BLQLoggingLevel::warning}}));
    EXPECT_EQ(model.feedUpdatedTimeStamp, "2024-01-31T10:00:00.000Z");
    EXPECT_EQ(model.host, "");
    EXPECT_EQ(model.installId, "i-1");
    EXPECT_EQ(model.installToken, "tok");
    EXPECT_FALSE(model.previewMode);  // null is absent
    EXPECT_EQ(model.superTagsDisabledLevel, "no_clicks");
    EXPECT_EQ(model.superTagsFilter, "^Home");
    EXPECT_EQ(model.appStatusPollInterval, 30);
    EXPECT_EQ(model.priorityUserEventCodes, std::vector<int64_t>{});
    EXPECT_EQ(model.disabledUserEventCodes, (std::vector<int64_t>{8051, 8050}));
}

TEST(BLQAppStatusModel, AnEmptyDocumentLeavesEvenTheTwoZeroFieldsEmpty) {
    auto decoded = decodeText(R"({"app_status": {}})");
    EXPECT_FALSE(decoded.disabledTimeInSeconds);
    EXPECT_FALSE(decoded.appStatusPollInterval);
    EXPECT_EQ(BLQAppStatusModel().disabledTimeInSeconds, 0);
    EXPECT_EQ(BLQAppStatusModel().appStatusPollInterval, 0);
}

TEST(BLQAppStatusModel, AValueOfTheWrongTypeFailsTheWholeDocument) {
    const char* refused[] = {
        R"({"app_status": {"disabled": "0"}})",
        R"({"app_status": {"disabled": true}})",
        R"({"app_status": {"log_level": 2.5}})",
        R"({"app_status": {"log_level": "2"}})",
        R"({"app_status": {"host": 5}})",
        R"({"app_status": {"app_status_poll_interval": 1e30}})",
        R"({"app_status": {"priority_loglines": [8102, "8104"]}})",
        R"({"app_status": {"disabled_loglines": [1.5]}})",
        R"({"app_status": {"disabled_loglines": 8051}})",
        R"({"app_status": {"log_handlers": [{"name": "file", "log_level": 2}]}})",
        R"({"app_status": "text"})",
        R"({"app_status": null})",
        R"({"status": {}})",
        R"([{"app_status": {}}])",
    };
    for (const char* json : refused) {
        EXPECT_THROW(BLQAppStatusResponseModel::decode(*Value::fromJSON(json)), DecodingError) << json;
    }
}

TEST(BLQAppStatusModel, SettingsMatchTheirRawValuesExactly) {
    EXPECT_EQ(BLQAppStatusStringSettingsFromRawValue("enabled"),
              BLQAppStatusStringSettings::superTagEnabledDefault);
    EXPECT_FALSE(BLQAppStatusStringSettingsFromRawValue("Enabled"));
    EXPECT_EQ(BLQAppStatusStringSettingsFromRawValue(BLQConfigDefaults::host()),
              BLQAppStatusStringSettings::defaultHost);
}

}  // namespace
}  // namespace brindlecue
