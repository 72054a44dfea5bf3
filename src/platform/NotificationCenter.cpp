#include "platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

class NotificationObserver {
public:
    NotificationObserver(std::string name, const std::shared_ptr<void>& object,
                         std::shared_ptr<DispatchQueue> queue, NotificationCenter::Block block)
        : name(std::move(name)),
          object(object),
          hasObjectFilter(object != nullptr),
          queue(std::move(queue)),
          block(std::move(block)) {}

    bool matches(const Notification& n) const { return matches(n.name(), n.object().get()); }
    bool matches(std::string_view postedName, const void* poster) const {
        if (postedName != name) return false;
        if (!hasObjectFilter) return true;
        // A filter object that has gone away matches nothing, even an object that now lives at
        // the same address.
        auto filter = object.lock();
        return filter && filter.get() == poster;
    }

    void deliver(const Notification& n) const {
        if (!removed.load()) block(n);
    }

    const std::string name;
    const std::weak_ptr<void> object;
    const bool hasObjectFilter;
    const std::shared_ptr<DispatchQueue> queue;
    const NotificationCenter::Block block;
    std::atomic<bool> removed{false};
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter();  // leaked: workers may post or remove during exit
    return *center;
}

std::shared_ptr<NotificationObserver> NotificationCenter::addObserver(std::string name,
                                                                      const std::shared_ptr<void>& object,
                                                                      std::shared_ptr<DispatchQueue> queue,
                                                                      Block block) {
    auto observer =
        std::make_shared<NotificationObserver>(std::move(name), object, std::move(queue), std::move(block));
    std::lock_guard lock(mutex_);
    observers_.push_back(observer);
    return observer;
}

void NotificationCenter::removeObserver(const std::shared_ptr<NotificationObserver>& observer) {
    if (!observer) return;
    observer->removed = true;
    std::lock_guard lock(mutex_);
    std::erase(observers_, observer);
}

bool NotificationCenter::hasObservers(std::string_view name, const void* poster) const {
    std::lock_guard lock(mutex_);
    return std::any_of(observers_.begin(), observers_.end(),
                       [&](const auto& o) { return o->matches(name, poster); });
}

void NotificationCenter::post(const Notification& notification) {
    // Deliveries run without the lock, so that blocks may add or remove observers.
    std::vector<std::shared_ptr<NotificationObserver>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& o : observers_) {
            if (o->matches(notification)) targets.push_back(o);
        }
    }
    if (targets.empty()) return;
    std::shared_ptr<const Notification> shared;
    for (const auto& o : targets) {
        if (!o->queue) {
            o->deliver(notification);
            continue;
        }
        if (!shared) shared = std::make_shared<const Notification>(notification);
        o->queue->async([o, shared] { o->deliver(*shared); });
    }
}

void NotificationCenter::post(std::string name, std::shared_ptr<void> object, Value userInfo,
                              Notification::ObjectMap objects) {
    post(Notification(std::move(name), std::move(object), std::move(userInfo), std::move(objects)));
}

}  // namespace brindlecue::platform
