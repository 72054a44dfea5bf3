#include "storage/BLQCoreDataConfigDataStore.h"

#include <gtest/gtest.h>

#include "config/BLQConfigSettingDTO.h"
#include "platform/CaptureLogSink.h"
#include "storage/BLQConfigSetting.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using platform::Date;

class ConfigStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataConfigDataStore>(context);
    }
    void set(const std::string& key, const std::any& value) {
        store->setConfigSetting(key, value);
        settle();
    }
    size_t settingCount() {
        return context->performAndWait([&] { return *context->count(BLQConfigSetting::fetchRequest()); });
    }
    platform::CaptureLogSink systemLog;
    std::shared_ptr<BLQCoreDataConfigDataStore> store;
};

TEST_F(ConfigStoreTest, TheSeededLevelReadsAsLoggingLevelTwo) {
    EXPECT_EQ(store->getConfigSetting<BLQLoggingLevel>("BLQ_CONFIG_DEBUG_LOG_LEVEL"), BLQLoggingLevel::info);
    EXPECT_EQ(store->getConfigSetting<std::string>("BLQ_CONFIG_DEBUG_LOG_LEVEL"), "2");
    EXPECT_TRUE(systemLog.messages("BrindlecueSDK").empty());
}

TEST_F(ConfigStoreTest, SettingAKeyCreatesOneRecordAndUpdatesItAfterwards) {
    store->setConfigSetting("BLQ_CONFIG_HOST", std::string("https://a.example"));
    // Queued after the write, the read sees the new value.
    EXPECT_EQ(store->getConfigSetting<std::string>("BLQ_CONFIG_HOST"), "https://a.example");
    set("BLQ_CONFIG_HOST", std::string("https://b.example"));
    EXPECT_EQ(store->getConfigSetting<std::string>("BLQ_CONFIG_HOST"), "https://b.example");
    EXPECT_EQ(settingCount(), 2u);
    EXPECT_EQ(systemLog.messages("BrindlecueSDK"),
              std::vector<std::string>{"Config: Couldn't find ConfigSetting for key: BLQ_CONFIG_HOST"});

    EXPECT_FALSE(store->getConfigSetting<std::string>("BLQ_CONFIG_MISSING"));
    EXPECT_EQ(systemLog.messages("BrindlecueSDK").back(), "Config: Couldn't find ConfigSetting for key: BLQ_CONFIG_MISSING");
    EXPECT_EQ(settingCount(), 2u);
    EXPECT_TRUE(logger->lines().empty());  // straight to the system log, not the logging chain
}

TEST_F(ConfigStoreTest, StoredTextIsConvertedToTheKindAskedFor) {
    set("int", std::string("-5"));
    set("plus", std::string("+5"));
    set("signs", std::string("+-5"));
    set("word", std::string("abc"));
    set("empty", std::string(""));
    set("level", std::string("7"));
    set("codes", std::vector<int64_t>{8201, 8108});
    set("when", Date::fromTimeIntervalSince1970(1709647629.123));
    set("handlers", std::string(R"([{"name":"cloud","log_level":4}])"));
    set("unconvertible", true);

    EXPECT_EQ(store->getConfigSetting<int64_t>("int"), -5);
    EXPECT_EQ(store->getConfigSetting<int64_t>("plus"), 5);
    EXPECT_FALSE(store->getConfigSetting<int64_t>("signs"));  // one optional sign only
    EXPECT_FALSE(store->getConfigSetting<int64_t>("word"));
    EXPECT_FALSE(store->getConfigSetting<int64_t>("empty"));
    EXPECT_EQ(store->getConfigSetting<std::string>("empty"), "");
    EXPECT_FALSE(store->getConfigSetting<BLQLoggingLevel>("level"));
    EXPECT_FALSE(store->getConfigSetting<bool>("int"));
    EXPECT_EQ(store->getConfigSetting<std::vector<int64_t>>("codes"), (std::vector<int64_t>{8201, 8108}));
    EXPECT_EQ(store->getConfigSetting<std::string>("codes"), "8201, 8108");
    EXPECT_EQ(store->getConfigSetting<Date>("when"), Date::fromTimeIntervalSince1970(1709647629.123));
    auto handlers = store->getConfigSetting<std::vector<BLQLogHandlerModel>>("handlers");
    ASSERT_TRUE(handlers);
    EXPECT_EQ(*handlers, (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::cloud, BLQLoggingLevel::warning}}));
    // A value with no text form leaves the setting without a value, which reads as nothing.
    EXPECT_FALSE(store->getConfigSetting<std::string>("unconvertible"));
}

TEST_F(ConfigStoreTest, SettingsReadInOneGoAnswerAsEachReadAlone) {
    set("int", std::string("-5"));
    set("word", std::string("abc"));
    set("codes", std::vector<int64_t>{8201, 8108});
    set("unconvertible", true);
    using Type = BLQConfigValueType;
    const std::vector<std::pair<std::string, Type>> asked{{"int", Type::integer},
                                                          {"word", Type::integer},
                                                          {"codes", Type::integerList},
                                                          {"missing", Type::text},
                                                          {"unconvertible", Type::text},
                                                          {"int", Type::text},
                                                          {"BLQ_CONFIG_DEBUG_LOG_LEVEL", Type::loggingLevel}};
    systemLog.clear();
    auto together = store->getConfigSettings(asked);
    const auto togetherLog = systemLog.messages("BrindlecueSDK");
    ASSERT_EQ(together.size(), asked.size());
    EXPECT_EQ(std::any_cast<int64_t>(together[0]), -5);
    EXPECT_FALSE(together[1].has_value());
    EXPECT_EQ(std::any_cast<std::vector<int64_t>>(together[2]), (std::vector<int64_t>{8201, 8108}));
    EXPECT_FALSE(together[3].has_value());
    EXPECT_FALSE(together[4].has_value());
    EXPECT_EQ(std::any_cast<std::string>(together[5]), "-5");
    EXPECT_EQ(std::any_cast<BLQLoggingLevel>(together[6]), BLQLoggingLevel::info);

    // The same answers and log lines as the reads one by one.
    systemLog.clear();
    for (size_t i = 0; i < asked.size(); ++i) {
        std::any alone = store->getConfigSetting(asked[i].first, asked[i].second);
        EXPECT_EQ(alone.has_value(), together[i].has_value()) << asked[i].first;
        EXPECT_EQ(alone.type(), together[i].type()) << asked[i].first;
    }
    EXPECT_EQ(systemLog.messages("BrindlecueSDK"), togetherLog);
    EXPECT_EQ(togetherLog, std::vector<std::string>{"Config: Couldn't find ConfigSetting for key: missing"});
}

TEST(BLQConfigSettingDTO, AbsentFieldsAreEmptyTextInTheDictionary) {
    auto bare = BLQConfigSettingDTO("BLQ_CONFIG_APP_KEY", std::nullopt, std::nullopt, std::nullopt).asDictionary();
    EXPECT_EQ(bare, platform::Value::dictionary(
                        {{"key", "BLQ_CONFIG_APP_KEY"}, {"value", ""}, {"created", ""}, {"modified", ""}}));
}

}  // namespace
}  // namespace brindlecue
