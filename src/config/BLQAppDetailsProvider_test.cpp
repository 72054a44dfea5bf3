#include "config/BLQAppDetailsProvider.h"

#include <gtest/gtest.h>

#include "platform/Bundle.h"
#include "platform/uikit/ClassRegistry.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using platform::Bundle;

TEST(BLQAppDetailsProvider, ClientVersionIsVersionPlusBuildCutToSixtyFourCharacters) {
    auto logs = testsupport::RecordingLoggerManager::install();
    auto clientVersion = [](const std::string& version, const std::string& build) {
        Bundle::createMainBundle({{Bundle::kShortVersionStringKey, version}, {Bundle::kVersionKey, build}});
        return BLQAppDetailsProvider().clientVersion();
    };
    const std::string build62(62, '9');
    EXPECT_EQ(clientVersion("1", build62), "1+" + build62);
    EXPECT_TRUE(logs->lines().empty());
    EXPECT_EQ(clientVersion("1", build62 + "8"), "1+" + build62);
    EXPECT_EQ(logs->lines(),
              (std::vector<testsupport::LogLine>{
                  {"WARNING: ClientVersion (1+" + build62 + "8) is trimmed to max length (64).", 4}}));
    // Characters, not bytes: of 70 two-byte letters the first 64 stay whole.
    std::string accents;
    for (int i = 0; i < 70; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(clientVersion(accents, "1"), accents.substr(0, 128));
}

TEST(BLQAppDetailsProvider, OnlyTheHostsOwnReactNativeRootViewMakesAReactNativeApp) {
    // The registry knows the class's name from the start, so that targets can name its views.
    ASSERT_TRUE(platform::ClassRegistry::exists("RCTRootView"));
    EXPECT_EQ(BLQAppDetailsProvider().developmentPlatform(), "native");
    platform::ClassRegistry::registerClass("RCTRootView", "UIView");
    EXPECT_EQ(BLQAppDetailsProvider().developmentPlatform(), "reactnative");
    platform::ClassRegistry::registerClass("RCTRootView", "UIView", true);
}

}  // namespace
}  // namespace brindlecue
