#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace brindlecue {

enum KJAFNetworkReachabilityStatus : int64_t {
    KJAFNetworkReachabilityStatusUnknown = -1,
    KJAFNetworkReachabilityStatusNotReachable = 0,
    KJAFNetworkReachabilityStatusReachableViaWWAN = 1,
    KJAFNetworkReachabilityStatusReachableViaWiFi = 2,
};

// The platform's reachability flags.
enum KJNetworkReachabilityFlags : uint32_t {
    KJNetworkReachabilityFlagsTransientConnection = 1,
    KJNetworkReachabilityFlagsReachable = 2,
    KJNetworkReachabilityFlagsConnectionRequired = 4,
    KJNetworkReachabilityFlagsConnectionOnTraffic = 8,
    KJNetworkReachabilityFlagsInterventionRequired = 16,
    KJNetworkReachabilityFlagsConnectionOnDemand = 32,
    KJNetworkReachabilityFlagsIsLocalAddress = 65536,
    KJNetworkReachabilityFlagsIsDirect = 131072,
    KJNetworkReachabilityFlagsIsWWAN = 262144,
};

inline constexpr const char* KJMossgroveReachabilityDidChangeNotification =
    "com.quernwick.networking.reachability.change";
inline constexpr const char* KJMossgroveReachabilityNotificationStatusItem =
    "KJMossgroveReachabilityNotificationStatusItem";

// The status the flags stand for: not reachable unless reachable without a connection the user
// must make; then via WWAN when the WWAN flag is set, else via WiFi.
KJAFNetworkReachabilityStatus KJAFNetworkReachabilityStatusForFlags(uint32_t flags);
// "Reachable via WiFi", "Reachable via WWAN", "Not Reachable" or "Unknown", from the "KJMossgrove"
// string table.
std::string KJAFStringFromNetworkReachabilityStatus(int64_t status);

// The network reachability monitor of the HTTP library. The URL session managers hold the shared
// one; nothing starts monitoring, so its status stays unknown.
class KJAFNetworkReachabilityManager {
public:
    static std::shared_ptr<KJAFNetworkReachabilityManager> sharedManager();
    // A manager for the network in general.
    static std::shared_ptr<KJAFNetworkReachabilityManager> manager();

    int64_t networkReachabilityStatus() const { return status_; }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return status_ == KJAFNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return status_ == KJAFNetworkReachabilityStatusReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;

private:
    std::atomic<int64_t> status_{KJAFNetworkReachabilityStatusUnknown};
};

}  // namespace brindlecue
