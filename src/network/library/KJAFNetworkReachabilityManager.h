#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brindlecue {

namespace platform {
class NetworkReachability;
}

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

// The network reachability monitor of the HTTP library, for a host name, an address or the network
// in general. While it monitors, every change the platform reports (and one first reading) stores
// the status, calls the status block and posts the change notification, all on the main queue.
// The URL session managers hold the shared one; nothing starts it, so its status stays unknown.
class KJAFNetworkReachabilityManager : public std::enable_shared_from_this<KJAFNetworkReachabilityManager> {
public:
    using StatusBlock = std::function<void(int64_t status)>;

    static std::shared_ptr<KJAFNetworkReachabilityManager> sharedManager();
    // A manager for the zero IPv6 address, that is for the network in general.
    static std::shared_ptr<KJAFNetworkReachabilityManager> manager();
    static std::shared_ptr<KJAFNetworkReachabilityManager> managerForDomain(const std::string& domain);
    // A socket address record as the platform lays it out (see NetworkReachability).
    static std::shared_ptr<KJAFNetworkReachabilityManager> managerForAddress(
        const std::vector<uint8_t>& address);
    // Null for no reference, as the platform's initialiser gives nil.
    static std::shared_ptr<KJAFNetworkReachabilityManager> initWithReachability(
        std::shared_ptr<platform::NetworkReachability> reachability);
    ~KJAFNetworkReachabilityManager();

    int64_t networkReachabilityStatus() const { return status_; }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return status_ == KJAFNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return status_ == KJAFNetworkReachabilityStatusReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;

    void startMonitoring();
    void stopMonitoring();
    void setReachabilityStatusChangeBlock(StatusBlock block);

private:
    explicit KJAFNetworkReachabilityManager(std::shared_ptr<platform::NetworkReachability> reachability);
    // Computes the status and, on the main queue, runs the change closure and posts the notification.
    static void postReachabilityStatusChange(uint32_t flags, std::function<void(int64_t)> change);

    const std::shared_ptr<platform::NetworkReachability> networkReachability_;
    std::atomic<int64_t> status_{KJAFNetworkReachabilityStatusUnknown};
    mutable std::mutex mutex_;
    std::shared_ptr<StatusBlock> statusBlock_;
};

}  // namespace brindlecue
