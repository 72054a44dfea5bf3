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
class DispatchQueue;
class NetworkReachability;
}  // namespace platform

enum KJNetworkStatus : int64_t {
    KJNotReachable = 0,
    KJReachableViaWWAN = 1,
    KJReachableViaWiFi = 2,
};

inline constexpr const char* kKJReachabilityChangedNotification = "kKJReachabilityChangedNotification";

// The older stand-alone reachability monitor: flag tests on the current flags (read anew on every
// call, from any thread), and a notifier that calls the reachable or unreachable block on its own
// serial queue and posts "kKJReachabilityChangedNotification" (object: the monitor) on the main
// queue at every change the platform reports. While the notifier runs the monitor keeps itself
// alive.
class KJReachability : public std::enable_shared_from_this<KJReachability> {
public:
    using Block = std::function<void(const std::shared_ptr<KJReachability>& reachability)>;

    // Null when the platform cannot make a reference (an empty host name).
    static std::shared_ptr<KJReachability> reachabilityWithHostname(const std::string& hostname);
    static std::shared_ptr<KJReachability> reachabilityWithHostName(const std::string& hostname) {
        return reachabilityWithHostname(hostname);
    }
    // A socket address record as the platform lays it out (see NetworkReachability).
    static std::shared_ptr<KJReachability> reachabilityWithAddress(const std::vector<uint8_t>& address);
    // The zero IPv4 address: the network in general.
    static std::shared_ptr<KJReachability> reachabilityForInternetConnection();
    // The IPv4 link-local network 169.254.0.0.
    static std::shared_ptr<KJReachability> reachabilityForLocalWiFi();
    // Null for no reference.
    static std::shared_ptr<KJReachability> initWithKJReachabilityRef(
        std::shared_ptr<platform::NetworkReachability> reference);
    ~KJReachability();

    // When false, a connection over WWAN counts as not reachable.
    bool reachableOnWWAN() const;
    void setReachableOnWWAN(bool reachable);
    void setReachableBlock(Block block);
    void setUnreachableBlock(Block block);

    bool startNotifier();
    void stopNotifier();

    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const { return connectionRequired(); }
    bool connectionRequired() const;
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    bool isReachableWithFlags(uint32_t flags) const;

    KJNetworkStatus currentKJReachabilityStatus() const;
    // The flags, or 0 when they cannot be read.
    uint32_t reachabilityFlags() const;
    // "WiFi", "Cellular" or "No Connection", from the main bundle's default string table.
    std::string currentKJReachabilityString() const;
    // "WR ctiCDld" with "-" for every clear flag.
    std::string currentKJReachabilityFlags() const;
    // "<KJReachability: 0x... (flags)>".
    std::string description() const;

    // The flags text for the given flags.
    static std::string flagsText(uint32_t flags);

private:
    explicit KJReachability(std::shared_ptr<platform::NetworkReachability> reference);
    bool currentFlags(uint32_t& flags) const;
    void reachabilityChanged(uint32_t flags);

    const std::shared_ptr<platform::NetworkReachability> reachabilityRef_;
    const std::shared_ptr<platform::DispatchQueue> reachabilitySerialQueue_;

    std::atomic<bool> reachableOnWWAN_{true};
    mutable std::mutex mutex_;
    Block reachableBlock_;
    Block unreachableBlock_;
    // The monitor itself while the notifier runs.
    std::shared_ptr<KJReachability> reachabilityObject_;
};

}  // namespace brindlecue
