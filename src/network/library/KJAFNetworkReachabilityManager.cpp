#include "network/library/KJAFNetworkReachabilityManager.h"

#include "network/library/KJMossgroveStrings.h"
#include "platform/dispatch/DispatchOnce.h"

namespace brindlecue {

KJAFNetworkReachabilityStatus KJAFNetworkReachabilityStatusForFlags(uint32_t flags) {
    bool reachable = flags & KJNetworkReachabilityFlagsReachable;
    bool needsConnection = flags & KJNetworkReachabilityFlagsConnectionRequired;
    bool canConnectAutomatically =
        flags & (KJNetworkReachabilityFlagsConnectionOnDemand | KJNetworkReachabilityFlagsConnectionOnTraffic);
    bool canConnectWithoutUser = canConnectAutomatically && !(flags & KJNetworkReachabilityFlagsInterventionRequired);
    bool networkReachable = reachable && (!needsConnection || canConnectWithoutUser);
    if (!networkReachable) return KJAFNetworkReachabilityStatusNotReachable;
    if (flags & KJNetworkReachabilityFlagsIsWWAN) return KJAFNetworkReachabilityStatusReachableViaWWAN;
    return KJAFNetworkReachabilityStatusReachableViaWiFi;
}

std::string KJAFStringFromNetworkReachabilityStatus(int64_t status) {
    switch (status) {
        case KJAFNetworkReachabilityStatusReachableViaWiFi:
            return KJMossgroveLocalizedString("Reachable via WiFi");
        case KJAFNetworkReachabilityStatusReachableViaWWAN:
            return KJMossgroveLocalizedString("Reachable via WWAN");
        case KJAFNetworkReachabilityStatusNotReachable:
            return KJMossgroveLocalizedString("Not Reachable");
        default:
            return KJMossgroveLocalizedString("Unknown");
    }
}

std::shared_ptr<KJAFNetworkReachabilityManager> KJAFNetworkReachabilityManager::sharedManager() {
    static platform::DispatchOnceToken token;
    static std::shared_ptr<KJAFNetworkReachabilityManager>* shared = nullptr;
    platform::dispatchOnce(token, [] { shared = new std::shared_ptr<KJAFNetworkReachabilityManager>(manager()); });
    return *shared;
}

std::shared_ptr<KJAFNetworkReachabilityManager> KJAFNetworkReachabilityManager::manager() {
    return std::make_shared<KJAFNetworkReachabilityManager>();
}

std::string KJAFNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    return KJAFStringFromNetworkReachabilityStatus(status_);
}

}  // namespace brindlecue
