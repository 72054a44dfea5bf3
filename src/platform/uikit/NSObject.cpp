#include "platform/uikit/NSObject.h"

#include <optional>

#include "platform/uikit/AddressRegistry.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue::platform {

NSObject::~NSObject() {
    // Most objects never print their address: they have no entry, and their end takes no lock.
    // (One being entered is held by the thread entering it, so it cannot be ending.)
    if (addressRegistered_.load(std::memory_order_acquire)) AddressRegistry::remove(this);
}

std::string NSObject::className() const {
    return runtimeClassName_.empty() ? std::string(platformClassName()) : runtimeClassName_;
}

bool NSObject::setRuntimeClassName(const std::string& name) {
    if (!ClassRegistry::exists(name) || !ClassRegistry::isSubclass(name, platformClassName())) return false;
    if (name != platformClassName() && ClassRegistry::hasStandIn(name)) return false;
    runtimeClassName_ = name;
    return true;
}

bool NSObject::isKindOfClass(std::string_view name) const {
    std::string own = className();
    // A host class that was never registered still belongs to its stand-in's family.
    if (!ClassRegistry::exists(own))
        return own == name || ClassRegistry::isSubclass(platformClassName(), name);
    return ClassRegistry::isSubclass(own, name);
}

bool NSObject::respondsToSelector(std::string_view selector) const {
    std::string own = className();
    if (ClassRegistry::exists(own)) return ClassRegistry::instancesRespond(own, selector);
    return ClassRegistry::instancesRespond(platformClassName(), selector);
}

void NSObject::registerAddress() const {
    if (addressRegistered_.load(std::memory_order_acquire)) return;
    // An object not owned by a shared pointer yet cannot be entered; a later call does it.
    auto self = weak_from_this().lock();
    if (self && !addressRegistered_.exchange(true, std::memory_order_acq_rel)) AddressRegistry::add(self);
}

std::string NSObject::addressText() const {
    registerAddress();
    return AddressRegistry::addressText(this);
}

std::string NSObject::description() const {
    std::string out = "<";
    out += className();
    out += ": ";
    out += addressText();
    out += '>';
    return out;
}

void NSObject::setAssociatedObject(const std::string& key, std::shared_ptr<void> object, bool weak) {
    std::lock_guard lock(assocMutex_);
    if (!object) {
        associations_.erase(key);
        return;
    }
    Association a;
    a.isWeak = weak;
    if (weak)
        a.weak = object;
    else
        a.strong = std::move(object);
    associations_[key] = std::move(a);
}

std::shared_ptr<void> NSObject::associatedObject(const std::string& key) const {
    std::lock_guard lock(assocMutex_);
    auto it = associations_.find(key);
    if (it == associations_.end()) return nullptr;
    return it->second.isWeak ? it->second.weak.lock() : it->second.strong;
}

void NSObject::setAssociatedValue(const std::string& key, Value value) {
    std::lock_guard lock(assocMutex_);
    if (value.isAbsent())
        associatedValues_.erase(key);
    else
        associatedValues_[key] = std::move(value);
}

Value NSObject::associatedValue(const std::string& key) const {
    std::lock_guard lock(assocMutex_);
    auto it = associatedValues_.find(key);
    return it == associatedValues_.end() ? Value() : it->second;
}

Value NSObject::valueForKey(std::string_view key) const {
    std::lock_guard lock(assocMutex_);
    auto it = kvcValues_.find(key);
    return it == kvcValues_.end() ? Value() : it->second;
}

std::shared_ptr<NSObject> NSObject::objectForKey(std::string_view key) const {
    std::lock_guard lock(assocMutex_);
    auto it = kvcObjects_.find(key);
    return it == kvcObjects_.end() ? nullptr : it->second;
}

void NSObject::setValueForKey(const std::string& key, Value value) {
    std::lock_guard lock(assocMutex_);
    kvcValues_[key] = std::move(value);
}

void NSObject::setObjectForKey(const std::string& key, std::shared_ptr<NSObject> object) {
    std::lock_guard lock(assocMutex_);
    kvcObjects_[key] = std::move(object);
}

std::shared_ptr<NSObject> NSObject::performSelector(std::string_view selector) const {
    std::optional<std::string> cls = className();
    // A host class that was never registered answers as its stand-in class does.
    if (!ClassRegistry::exists(*cls)) cls = platformClassName();
    while (cls) {
        for (const auto& property : ClassRegistry::properties(*cls))
            if (property.name == selector && property.getter) return property.getter(*this);
        cls = ClassRegistry::superclassOf(*cls);
    }
    return objectForKey(selector);
}

void NSObject::addObserver(const std::shared_ptr<NSObject>& observer, const std::string& keyPath) {
    if (!observer) return;
    std::lock_guard lock(assocMutex_);
    observations_.push_back({observer, observer.get(), keyPath});
}

bool NSObject::removeObserver(const NSObject* observer, std::string_view keyPath) {
    std::lock_guard lock(assocMutex_);
    for (auto it = observations_.begin(); it != observations_.end(); ++it) {
        if (it->identity == observer && it->keyPath == keyPath) {
            observations_.erase(it);
            return true;
        }
    }
    return false;
}

bool NSObject::hasObservers() const {
    std::lock_guard lock(assocMutex_);
    return !observations_.empty();
}

void NSObject::didChangeValueForKey(const std::string& key) {
    std::vector<std::shared_ptr<NSObject>> observers;
    {
        std::lock_guard lock(assocMutex_);
        for (const auto& o : observations_)
            if (o.keyPath == key)
                if (auto live = o.observer.lock()) observers.push_back(std::move(live));
    }
    if (observers.empty()) return;
    // Observers run outside the lock: they may add or remove observations in turn.
    auto self = std::const_pointer_cast<NSObject>(shared_from_this());
    for (const auto& observer : observers) observer->observeValueForKeyPath(key, self);
}

}  // namespace brindlecue::platform
