#include "network/library/KJAFNetworkReachabilityManager.h"

#include "network/library/KJMossgroveStrings.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"
#include "platform/dispatch/DispatchOnce.h"
#include "platform/dispatch/DispatchQueue.h"

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
    std::vector<uint8_t> zeroIPv6(28, 0);
    zeroIPv6[0] = 28;
    zeroIPv6[1] = 30;
    return managerForAddress(zeroIPv6);
}

std::shared_ptr<KJAFNetworkReachabilityManager> KJAFNetworkReachabilityManager::managerForDomain(
    const std::string& domain) {
    return initWithReachability(platform::NetworkReachability::createWithName(domain));
}

std::shared_ptr<KJAFNetworkReachabilityManager> KJAFNetworkReachabilityManager::managerForAddress(
    const std::vector<uint8_t>& address) {
    return initWithReachability(platform::NetworkReachability::createWithAddress(address));
}

std::shared_ptr<KJAFNetworkReachabilityManager> KJAFNetworkReachabilityManager::initWithReachability(
    std::shared_ptr<platform::NetworkReachability> reachability) {
    if (!reachability) return nullptr;
    return std::shared_ptr<KJAFNetworkReachabilityManager>(
        new KJAFNetworkReachabilityManager(std::move(reachability)));
}

KJAFNetworkReachabilityManager::KJAFNetworkReachabilityManager(
    std::shared_ptr<platform::NetworkReachability> reachability)
    : networkReachability_(std::move(reachability)) {}

KJAFNetworkReachabilityManager::~KJAFNetworkReachabilityManager() {
    stopMonitoring();
}

std::string KJAFNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    return KJAFStringFromNetworkReachabilityStatus(status_);
}

void KJAFNetworkReachabilityManager::setReachabilityStatusChangeBlock(StatusBlock block) {
    std::lock_guard lock(mutex_);
    statusBlock_ = block ? std::make_shared<StatusBlock>(std::move(block)) : nullptr;
}

void KJAFNetworkReachabilityManager::postReachabilityStatusChange(uint32_t flags,
                                                                  std::function<void(int64_t)> change) {
    int64_t status = KJAFNetworkReachabilityStatusForFlags(flags);
    platform::DispatchQueue::main()->async([status, change] {
        if (change) change(status);
        platform::Value info = platform::Value::dictionary();
        info.set(KJMossgroveReachabilityNotificationStatusItem, status);
        platform::NotificationCenter::defaultCenter().post(KJMossgroveReachabilityDidChangeNotification,
                                                           nullptr, info);
    });
}

void KJAFNetworkReachabilityManager::startMonitoring() {
    stopMonitoring();
    if (!networkReachability_) return;
    std::weak_ptr<KJAFNetworkReachabilityManager> weakSelf = weak_from_this();
    std::function<void(int64_t)> change = [weakSelf](int64_t status) {
        auto self = weakSelf.lock();
        if (!self) return;
        self->status_ = status;
        std::shared_ptr<StatusBlock> block;
        {
            std::lock_guard lock(self->mutex_);
            block = self->statusBlock_;
        }
        if (block) (*block)(status);
    };
    networkReachability_->setCallback(
        [change](uint32_t flags) { postReachabilityStatusChange(flags, change); });
    networkReachability_->scheduleWithRunLoop();
    std::weak_ptr<platform::NetworkReachability> reference = networkReachability_;
    platform::DispatchQueue::global(platform::DispatchQueue::Priority::Background)
        ->async([reference, change] {
            auto r = reference.lock();
            if (!r) return;
            if (auto flags = r->getFlags()) postReachabilityStatusChange(*flags, change);
        });
}

void KJAFNetworkReachabilityManager::stopMonitoring() {
    if (!networkReachability_) return;
    networkReachability_->unscheduleFromRunLoop();
}

}  // namespace brindlecue
