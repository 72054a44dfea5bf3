#pragma once

#include <memory>

namespace brindlecue {

namespace platform {
class NSObject;
}  // namespace platform

// React Native's UI-manager observer protocol, as a host that embeds React Native offers it: the
// observer hears when the UI manager is about to mount views (the argument is the UI manager).
class RCTUIManagerObserver {
public:
    virtual ~RCTUIManagerObserver() = default;
    virtual void uiManagerWillPerformMounting(const std::shared_ptr<platform::NSObject>& manager) {}
};

// React Native's observer coordinator (the UI manager's "observerCoordinator"): it keeps its
// observers weakly; adding one that is there already changes nothing.
class RCTUIManagerObserverCoordinator {
public:
    virtual ~RCTUIManagerObserverCoordinator() = default;
    virtual void addObserver(const std::shared_ptr<RCTUIManagerObserver>& observer) = 0;
};

}  // namespace brindlecue
