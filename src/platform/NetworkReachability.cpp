#include "platform/NetworkReachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

namespace {

constexpr NetworkReachability::Flags kReachable = 2;
constexpr NetworkReachability::Flags kIsLocalAddress = 65536;
constexpr NetworkReachability::Flags kIsDirect = 131072;
constexpr uint8_t kFamilyIPv4 = 2;
constexpr uint8_t kFamilyIPv6 = 30;

struct Registry {
    std::mutex mutex;
    std::shared_ptr<NetworkReachability::FlagsProvider> provider;
    std::vector<std::weak_ptr<NetworkReachability>> references;
};

// Process-wide and never destroyed: callbacks may run on workers during exit.
Registry& registry() {
    static auto* r = new Registry();
    return *r;
}

bool anyInterfaceUp() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool up = false;
    for (ifaddrs* a = list; a != nullptr && !up; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || (a->ifa_flags & IFF_LOOPBACK) || !(a->ifa_flags & IFF_UP)) continue;
        int family = a->ifa_addr->sa_family;
        up = family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return up;
}

bool isLoopback(const NetworkReachability& target) {
    if (const auto& name = target.hostName()) {
        std::string lower = *name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (lower == "localhost") return true;
        in_addr v4{};
        if (inet_pton(AF_INET, lower.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
        return lower == "::1";
    }
    const auto& a = target.address();
    if (a.size() >= 8 && a[1] == kFamilyIPv4) return a[4] == 127;
    if (a.size() >= 24 && a[1] == kFamilyIPv6) {
        static const uint8_t loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        return std::memcmp(a.data() + 8, loopback, 16) == 0;
    }
    return false;
}

}  // namespace

std::shared_ptr<NetworkReachability> NetworkReachability::make() {
    std::shared_ptr<NetworkReachability> reference(new NetworkReachability());
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.references, [](const auto& weak) { return weak.expired(); });
    r.references.push_back(reference);
    return reference;
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(const std::string& nodename) {
    if (nodename.empty()) return nullptr;
    auto reference = make();
    reference->hostName_ = nodename;
    return reference;
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(
    const std::vector<uint8_t>& address) {
    bool v4 = address.size() == 16 && address[0] == 16 && address[1] == kFamilyIPv4;
    bool v6 = address.size() == 28 && address[0] == 28 && address[1] == kFamilyIPv6;
    if (!v4 && !v6) return nullptr;
    auto reference = make();
    reference->address_ = address;
    return reference;
}

std::string NetworkReachability::addressText() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (address_.size() == 16) inet_ntop(AF_INET, address_.data() + 4, text, sizeof text);
    if (address_.size() == 28) inet_ntop(AF_INET6, address_.data() + 8, text, sizeof text);
    return text;
}

void NetworkReachability::setFlagsProvider(FlagsProvider provider) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.provider = provider ? std::make_shared<FlagsProvider>(std::move(provider)) : nullptr;
}

std::optional<NetworkReachability::Flags> NetworkReachability::systemFlags(
    const NetworkReachability& target) {
    if (isLoopback(target)) return kReachable | kIsLocalAddress | kIsDirect;
    return anyInterfaceUp() ? kReachable : 0;
}

std::optional<NetworkReachability::Flags> NetworkReachability::getFlags() const {
    std::shared_ptr<FlagsProvider> provider;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        provider = r.provider;
    }
    return provider ? (*provider)(*this) : systemFlags(*this);
}

void NetworkReachability::networkChanged() {
    std::vector<std::shared_ptr<NetworkReachability>> live;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        for (const auto& weak : r.references) {
            if (auto reference = weak.lock()) live.push_back(std::move(reference));
        }
    }
    for (const auto& reference : live) reference->changed();
}

void NetworkReachability::changed() {
    std::shared_ptr<Callback> callback;
    std::shared_ptr<DispatchQueue> queue;
    {
        std::lock_guard lock(mutex_);
        if (!callback_ || (!onRunLoop_ && !queue_)) return;
        callback = callback_;
        queue = onRunLoop_ ? DispatchQueue::main() : queue_;
    }
    // Each report carries the flags of its moment.
    auto flags = getFlags();
    if (!flags) return;
    std::weak_ptr<NetworkReachability> weak = weak_from_this();
    queue->async([weak, callback, flags = *flags] {
        auto self = weak.lock();
        if (!self) return;
        {
            // A callback removed or replaced meanwhile is not called any more.
            std::lock_guard lock(self->mutex_);
            if (self->callback_ != callback) return;
        }
        (*callback)(flags);
    });
}

bool NetworkReachability::setCallback(Callback callback) {
    std::lock_guard lock(mutex_);
    callback_ = callback ? std::make_shared<Callback>(std::move(callback)) : nullptr;
    return true;
}

bool NetworkReachability::scheduleWithRunLoop() {
    std::lock_guard lock(mutex_);
    onRunLoop_ = true;
    return true;
}

bool NetworkReachability::unscheduleFromRunLoop() {
    std::lock_guard lock(mutex_);
    onRunLoop_ = false;
    return true;
}

bool NetworkReachability::setDispatchQueue(std::shared_ptr<DispatchQueue> queue) {
    std::lock_guard lock(mutex_);
    queue_ = std::move(queue);
    return true;
}

}  // namespace brindlecue::platform
