#include "platform/uikit/TargetAction.h"

#include <algorithm>

#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

bool TargetAction::send(const std::shared_ptr<NSObject>& sender) const {
    if (!action.call) return false;
    if (hasTarget) {
        auto t = target.lock();
        if (!t) return false;
        action.call(*t, sender);
        return true;
    }
    // No target: the first responder along the sender's chain that implements the action.
    auto responder = std::dynamic_pointer_cast<UIResponder>(sender);
    for (auto r = responder; r; r = r->nextResponder()) {
        if (r->respondsToSelector(action.name)) {
            action.call(*r, sender);
            return true;
        }
    }
    return false;
}

void TargetActionList::add(const std::shared_ptr<NSObject>& target, Selector action, uint64_t events) {
    for (auto& e : entries_) {
        if (e.hasTarget == (target != nullptr) && e.target.lock() == target && e.action.name == action.name) {
            e.events |= events;
            return;
        }
    }
    TargetAction entry;
    entry.target = target;
    entry.hasTarget = target != nullptr;
    entry.action = std::move(action);
    entry.events = events;
    entries_.push_back(std::move(entry));
}

void TargetActionList::remove(const std::shared_ptr<NSObject>& target, const std::string& actionName,
                              uint64_t events) {
    for (auto& e : entries_) {
        if (target && e.target.lock() != target) continue;
        if (!actionName.empty() && e.action.name != actionName) continue;
        e.events &= ~events;
    }
    std::erase_if(entries_,
                  [](const TargetAction& e) { return e.events == 0 || (e.hasTarget && e.target.expired()); });
}

void TargetActionList::send(uint64_t events, const std::shared_ptr<NSObject>& sender) const {
    // A copy: actions may add or remove pairs while they run.
    auto entries = entries_;
    for (const auto& e : entries)
        if (e.events & events) e.send(sender);
}

std::vector<std::shared_ptr<NSObject>> TargetActionList::allTargets() const {
    std::vector<std::shared_ptr<NSObject>> out;
    for (const auto& e : entries_) {
        auto t = e.target.lock();
        if (t && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    }
    return out;
}

std::vector<std::string> TargetActionList::actionsForTarget(const std::shared_ptr<NSObject>& target,
                                                            uint64_t events) const {
    std::vector<std::string> out;
    for (const auto& e : entries_)
        if (e.target.lock() == target && (e.events & events)) out.push_back(e.action.name);
    return out;
}

uint64_t TargetActionList::allEvents() const {
    uint64_t all = 0;
    for (const auto& e : entries_) all |= e.events;
    return all;
}

}  // namespace brindlecue::platform
