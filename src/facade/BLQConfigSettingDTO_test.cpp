#include "facade/BLQConfigSettingDTO.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "storage/BLQConfigSetting.h"
#include "support/ConfigStoreLaunch.h"

namespace brindlecue {
namespace {

using platform::Date;

TEST(BLQConfigSettingDTO, ASettingMakesTheSameRecordBothWays) {
    platform::Clock::useVirtual();
    testsupport::firstLaunchConfigStore();
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    context->performAndWait([&] {
        auto stored = context->insertNewObject<BLQConfigSetting>(BLQConfigSetting::kEntityName);
        BLQConfigSettingDTO record("BLQ_CONFIG_APP_KEY", "key-1", Date::fromTimeIntervalSince1970(1706695200.25),
                                   Date::fromTimeIntervalSince1970(1706695300.5));
        stored->updateFromDTO(record);
        auto back = stored->toDTO();
        EXPECT_EQ(back->key, record.key);
        EXPECT_EQ(back->value, record.value);
        EXPECT_EQ(back->createdDate, record.createdDate);
        EXPECT_EQ(back->modifiedDate, record.modifiedDate);
        EXPECT_EQ(back->asDictionary()["created"].stringValue(), "2024-01-31T10:00:00.250Z");

        // Absent fields clear what the setting held.
        stored->updateFromDTO(BLQConfigSettingDTO("BLQ_CONFIG_APP_KEY", std::nullopt, std::nullopt, std::nullopt));
        EXPECT_FALSE(stored->valueText());
        EXPECT_FALSE(stored->createdDate());
        EXPECT_EQ(stored->toDTO()->asDictionary()["modified"].stringValue(), "");
        context->deleteObject(stored);
    });
}

}  // namespace
}  // namespace brindlecue
