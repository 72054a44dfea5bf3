#include "network/library/KJReachability.h"

#include <cstdio>

#include "network/library/KJAFNetworkReachabilityManager.h"
#include "network/library/KJMossgroveStrings.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

namespace {

std::vector<uint8_t> ipv4Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    std::vector<uint8_t> record(16, 0);
    record[0] = 16;
    record[1] = 2;
    record[4] = a;
    record[5] = b;
    record[6] = c;
    record[7] = d;
    return record;
}

}  // namespace

std::shared_ptr<KJReachability> KJReachability::reachabilityWithHostname(const std::string& hostname) {
    return initWithKJReachabilityRef(platform::NetworkReachability::createWithName(hostname));
}

std::shared_ptr<KJReachability> KJReachability::reachabilityWithAddress(const std::vector<uint8_t>& address) {
    return initWithKJReachabilityRef(platform::NetworkReachability::createWithAddress(address));
}

std::shared_ptr<KJReachability> KJReachability::reachabilityForInternetConnection() {
    return reachabilityWithAddress(ipv4Address(0, 0, 0, 0));
}

std::shared_ptr<KJReachability> KJReachability::reachabilityForLocalWiFi() {
    return reachabilityWithAddress(ipv4Address(169, 254, 0, 0));
}

std::shared_ptr<KJReachability> KJReachability::initWithKJReachabilityRef(
    std::shared_ptr<platform::NetworkReachability> reference) {
    if (!reference) return nullptr;
    return std::shared_ptr<KJReachability>(new KJReachability(std::move(reference)));
}

KJReachability::KJReachability(std::shared_ptr<platform::NetworkReachability> reference)
    : reachabilityRef_(std::move(reference)),
      reachabilitySerialQueue_(platform::DispatchQueue::serial("com.brindlecue.reachability")) {}

KJReachability::~KJReachability() {
    // The notifier keeps the monitor alive, so it is already stopped here; detach the reference anyway.
    reachabilityRef_->setCallback(nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
}

bool KJReachability::reachableOnWWAN() const {
    return reachableOnWWAN_;
}

void KJReachability::setReachableOnWWAN(bool reachable) {
    reachableOnWWAN_ = reachable;
}

void KJReachability::setReachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    reachableBlock_ = std::move(block);
}

void KJReachability::setUnreachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    unreachableBlock_ = std::move(block);
}

// ---- Notifier --------------------------------------------------------------------------------

bool KJReachability::startNotifier() {
    {
        std::lock_guard lock(mutex_);
        if (reachabilityObject_.get() == this) return true;
    }
    // The callback holds the monitor weakly; reachabilityObject_ is what keeps it alive.
    std::weak_ptr<KJReachability> weakSelf = weak_from_this();
    if (!reachabilityRef_->setCallback([weakSelf](uint32_t flags) {
            if (auto self = weakSelf.lock()) self->reachabilityChanged(flags);
        })) {
        std::lock_guard lock(mutex_);
        reachabilityObject_.reset();
        return false;
    }
    if (!reachabilityRef_->setDispatchQueue(reachabilitySerialQueue_)) {
        reachabilityRef_->setCallback(nullptr);
        std::lock_guard lock(mutex_);
        reachabilityObject_.reset();
        return false;
    }
    std::lock_guard lock(mutex_);
    reachabilityObject_ = shared_from_this();
    return true;
}

void KJReachability::stopNotifier() {
    reachabilityRef_->setCallback(nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
    std::shared_ptr<KJReachability> keptAlive;
    {
        std::lock_guard lock(mutex_);
        keptAlive = std::move(reachabilityObject_);
    }
    // keptAlive may be the last reference: it goes after the lock is released.
}

// Runs on the serial queue.
void KJReachability::reachabilityChanged(uint32_t flags) {
    auto self = shared_from_this();
    bool reachable = isReachableWithFlags(flags);
    Block block;
    {
        std::lock_guard lock(mutex_);
        block = reachable ? reachableBlock_ : unreachableBlock_;
    }
    if (block) block(self);
    platform::DispatchQueue::main()->async([self] {
        platform::NotificationCenter::defaultCenter().post(kKJReachabilityChangedNotification, self);
    });
}

// ---- Flag tests ------------------------------------------------------------------------------

bool KJReachability::currentFlags(uint32_t& flags) const {
    auto read = reachabilityRef_->getFlags();
    if (!read) return false;
    flags = *read;
    return true;
}

bool KJReachability::isReachableWithFlags(uint32_t flags) const {
    if (!(flags & KJNetworkReachabilityFlagsReachable)) return false;
    constexpr uint32_t transientAndRequired =
        KJNetworkReachabilityFlagsConnectionRequired | KJNetworkReachabilityFlagsTransientConnection;
    if ((flags & transientAndRequired) == transientAndRequired) return false;
    if ((flags & KJNetworkReachabilityFlagsIsWWAN) && !reachableOnWWAN_) return false;
    return true;
}

bool KJReachability::isReachable() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return isReachableWithFlags(flags);
}

bool KJReachability::isReachableViaWWAN() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return (flags & KJNetworkReachabilityFlagsReachable) && (flags & KJNetworkReachabilityFlagsIsWWAN);
}

bool KJReachability::isReachableViaWiFi() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return (flags & KJNetworkReachabilityFlagsReachable) && !(flags & KJNetworkReachabilityFlagsIsWWAN);
}

bool KJReachability::connectionRequired() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return flags & KJNetworkReachabilityFlagsConnectionRequired;
}

bool KJReachability::isConnectionOnDemand() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return (flags & KJNetworkReachabilityFlagsConnectionRequired) &&
           (flags &
            (KJNetworkReachabilityFlagsConnectionOnTraffic | KJNetworkReachabilityFlagsConnectionOnDemand));
}

bool KJReachability::isInterventionRequired() const {
    uint32_t flags = 0;
    if (!currentFlags(flags)) return false;
    return (flags & KJNetworkReachabilityFlagsConnectionRequired) &&
           (flags & KJNetworkReachabilityFlagsInterventionRequired);
}

KJNetworkStatus KJReachability::currentKJReachabilityStatus() const {
    if (!isReachable()) return KJNotReachable;
    if (isReachableViaWiFi()) return KJReachableViaWiFi;
    return KJReachableViaWWAN;
}

uint32_t KJReachability::reachabilityFlags() const {
    uint32_t flags = 0;
    return currentFlags(flags) ? flags : 0;
}

std::string KJReachability::currentKJReachabilityString() const {
    switch (currentKJReachabilityStatus()) {
        case KJReachableViaWiFi:
            return KJMainBundleLocalizedString("WiFi", "Localizable");
        case KJReachableViaWWAN:
            return KJMainBundleLocalizedString("Cellular", "Localizable");
        default:
            return KJMainBundleLocalizedString("No Connection", "Localizable");
    }
}

std::string KJReachability::flagsText(uint32_t flags) {
    auto flag = [flags](uint32_t bit, char letter) { return (flags & bit) ? letter : '-'; };
    std::string text;
    text += flag(KJNetworkReachabilityFlagsIsWWAN, 'W');
    text += flag(KJNetworkReachabilityFlagsReachable, 'R');
    text += ' ';
    text += flag(KJNetworkReachabilityFlagsConnectionRequired, 'c');
    text += flag(KJNetworkReachabilityFlagsTransientConnection, 't');
    text += flag(KJNetworkReachabilityFlagsInterventionRequired, 'i');
    text += flag(KJNetworkReachabilityFlagsConnectionOnTraffic, 'C');
    text += flag(KJNetworkReachabilityFlagsConnectionOnDemand, 'D');
    text += flag(KJNetworkReachabilityFlagsIsLocalAddress, 'l');
    text += flag(KJNetworkReachabilityFlagsIsDirect, 'd');
    return text;
}

std::string KJReachability::currentKJReachabilityFlags() const {
    return flagsText(reachabilityFlags());
}

std::string KJReachability::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%#x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this) & 0xffffffffu));
    return std::string("<KJReachability: ") + address + " (" + currentKJReachabilityFlags() + ")>";
}

}  // namespace brindlecue
