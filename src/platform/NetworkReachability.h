#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace brindlecue::platform {

class DispatchQueue;

// The platform's network reachability reference: whether a host name, a socket address or the
// network in general can be reached, as the platform's reachability flags.
//
// The flags come from one process-wide provider. By default it is the system: reachable while a
// network interface other than loopback is up with an address; a loopback target (127.0.0.0/8,
// ::1, "localhost") is always reachable, local and direct. A host or test installs its own
// provider with setFlagsProvider() and calls networkChanged() when the network changes; every
// reference that has a callback and is scheduled (on the main run loop or on a dispatch queue)
// then reads its flags and calls its callback there.
class NetworkReachability : public std::enable_shared_from_this<NetworkReachability> {
public:
    using Flags = uint32_t;
    // Flags for the reference, or none when they cannot be read.
    using FlagsProvider = std::function<std::optional<Flags>(const NetworkReachability& target)>;
    using Callback = std::function<void(Flags flags)>;

    // Null for an empty name.
    static std::shared_ptr<NetworkReachability> createWithName(const std::string& nodename);
    // A socket address record (its length byte first, then the family, as the platform lays it out:
    // 16 bytes, family 2 for IPv4; 28 bytes, family 30 for IPv6). Null for a record that is neither.
    static std::shared_ptr<NetworkReachability> createWithAddress(const std::vector<uint8_t>& address);

    // None: the system's flags again.
    static void setFlagsProvider(FlagsProvider provider);
    static void networkChanged();
    // The system's flags for the target, whatever provider is installed.
    static std::optional<Flags> systemFlags(const NetworkReachability& target);

    const std::optional<std::string>& hostName() const { return hostName_; }
    const std::vector<uint8_t>& address() const { return address_; }
    // "127.0.0.1", "::", ... for an address target; empty for a host name.
    std::string addressText() const;

    std::optional<Flags> getFlags() const;

    // None removes the callback. Always succeeds.
    bool setCallback(Callback callback);
    // Callbacks arrive on the main run loop until unscheduled.
    bool scheduleWithRunLoop();
    bool unscheduleFromRunLoop();
    // Callbacks arrive on the queue; none detaches.
    bool setDispatchQueue(std::shared_ptr<DispatchQueue> queue);

private:
    NetworkReachability() = default;
    static std::shared_ptr<NetworkReachability> make();
    void changed();

    std::optional<std::string> hostName_;
    std::vector<uint8_t> address_;

    mutable std::mutex mutex_;
    std::shared_ptr<Callback> callback_;
    bool onRunLoop_ = false;
    std::shared_ptr<DispatchQueue> queue_;
};

}  // namespace brindlecue::platform
