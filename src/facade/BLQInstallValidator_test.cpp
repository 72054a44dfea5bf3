#include "facade/BLQInstallValidator.h"

#include <gtest/gtest.h>

#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using platform::Value;

TEST(BLQInstallValidator, ComparesIdSystemAndVersionIgnoringCaseAndLogsOnlyTheFirstFailure) {
    auto logs = testsupport::RecordingLoggerManager::install();
    BLQInstallDTO sent("Ab-12", std::nullopt, "key", "3.0.3-Beta", std::nullopt, std::nullopt, std::nullopt,
                       std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, false,
                       std::nullopt, std::nullopt, std::nullopt);
    // The one level-5 line of a refusal, or none when the answer is accepted.
    auto refusal = [&](const Value& answer, const BLQInstallDTO* install) -> std::optional<std::string> {
        logs->clear();
        bool accepted = BLQInstallValidator().validateResponse(answer, install, "Update");
        auto lines = logs->lines();
        EXPECT_EQ(lines.size(), accepted ? 0u : 1u);
        if (accepted || lines.empty()) return std::nullopt;
        EXPECT_EQ(lines[0].level, 5);
        return lines[0].message;
    };

    // A non-text "id" gives way to "installid"; "qx_version" is the last place for the version.
    EXPECT_EQ(refusal(Value::dictionary({{"id", 12},
                                         {"installid", "AB-12"},
                                         {"operating_system", "iOS"},
                                         {"blq_version", Value::null()},
                                         {"qx_version", "3.0.3-BETA"}}),
                      &sent),
              std::nullopt);
    EXPECT_EQ(refusal(Value::dictionary({{"operating_system", "android"}}), &sent),
              "Update: Received no install ID from successful response from server, aborting");
    EXPECT_EQ(refusal(Value::dictionary({{"id", "ab-13"}}), &sent),
              "Update: Incorrect install ID received from server, sent: Ab-12, but received: ab-13");
    EXPECT_EQ(refusal(Value::dictionary({{"id", "ab-12"}, {"operating_system", "iOS "}}), &sent),
              "Update: Incorrect Operating System received from server, received: iOS ");
    EXPECT_EQ(
        refusal(Value::dictionary({{"id", "ab-12"}, {"operating_system", "ios"}, {"sdk_version", "3.0.3"}}),
                &sent),
        "Update: Incorrect Sdk Version received from server, sent: 3.0.3-Beta, but received: 3.0.3");
    sent.sdkVersion.reset();
    EXPECT_EQ(
        refusal(Value::dictionary({{"id", "ab-12"}, {"operating_system", "ios"}, {"qx_version", "1"}}),
                &sent),
        "Update: No Sdk Version sent to server, should have returned an error, but came back successfully, "
        "aborting");
    EXPECT_EQ(refusal(Value::dictionary({{"id", "x"}}), nullptr),
              "Install/Update: No install sent - this should never happen - received: {\n    id = x;\n}");
}

}  // namespace
}  // namespace brindlecue
