#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

// One registered target-action pair. The target is held weakly; a pair added without a target
// sends its action up the sender's responder chain, to the first object that responds to it.
struct TargetAction {
    std::weak_ptr<NSObject> target;
    bool hasTarget = false;
    Selector action;
    uint64_t events = 0;

    // Sends the action. A pair whose target has gone is skipped (false).
    bool send(const std::shared_ptr<NSObject>& sender) const;
};

// The list kept by controls and gesture recognisers.
class TargetActionList {
public:
    // Adding an equal pair (same target and action name) again only widens its events.
    void add(const std::shared_ptr<NSObject>& target, Selector action, uint64_t events);
    // A null target matches every target; an empty name every action.
    void remove(const std::shared_ptr<NSObject>& target, const std::string& actionName, uint64_t events);
    // Sends, in the order they were added, every pair whose events meet the mask.
    void send(uint64_t events, const std::shared_ptr<NSObject>& sender) const;
    std::vector<std::shared_ptr<NSObject>> allTargets() const;
    std::vector<std::string> actionsForTarget(const std::shared_ptr<NSObject>& target, uint64_t events) const;
    uint64_t allEvents() const;
    bool empty() const { return entries_.empty(); }

private:
    std::vector<TargetAction> entries_;
};

}  // namespace brindlecue::platform
