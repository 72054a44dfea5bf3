#include "network/library/KJAFNetworkReachabilityManager.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

TEST(KJAFNetworkReachabilityManager, FlagsMapToStatusesAndTexts) {
    constexpr uint32_t R = KJNetworkReachabilityFlagsReachable;
    constexpr uint32_t required = KJNetworkReachabilityFlagsConnectionRequired;
    constexpr uint32_t onTraffic = KJNetworkReachabilityFlagsConnectionOnTraffic;
    constexpr uint32_t onDemand = KJNetworkReachabilityFlagsConnectionOnDemand;
    constexpr uint32_t intervention = KJNetworkReachabilityFlagsInterventionRequired;
    constexpr uint32_t wwan = KJNetworkReachabilityFlagsIsWWAN;

    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(0), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R), KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onTraffic),
              KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onDemand | wwan),
              KJAFNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onTraffic | intervention),
              KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(wwan), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | wwan), KJAFNetworkReachabilityStatusReachableViaWWAN);

    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(KJAFNetworkReachabilityStatusForFlags(R | wwan)),
              "Reachable via WWAN");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(2), "Reachable via WiFi");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(0), "Not Reachable");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(7), "Unknown");
}

TEST(KJAFNetworkReachabilityManager, TheSharedManagerIsNeverStartedAndStaysUnknown) {
    auto shared = KJAFNetworkReachabilityManager::sharedManager();
    EXPECT_EQ(shared, KJAFNetworkReachabilityManager::sharedManager());
    EXPECT_EQ(shared->networkReachabilityStatus(), KJAFNetworkReachabilityStatusUnknown);
    EXPECT_FALSE(shared->isReachable());
    EXPECT_FALSE(shared->isReachableViaWiFi());
    EXPECT_FALSE(shared->isReachableViaWWAN());
    EXPECT_EQ(shared->localizedNetworkReachabilityStatusString(), "Unknown");
}

}  // namespace
}  // namespace brindlecue
