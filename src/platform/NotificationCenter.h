#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {

class DispatchQueue;

// A posted notification: its name, the posting object (compared by identity; null for none),
// a user-info value and, for objects that Value cannot hold (a view controller under "vc", say),
// a map of shared objects by key.
class Notification {
public:
    using ObjectMap = std::map<std::string, std::shared_ptr<void>>;

    explicit Notification(std::string name, std::shared_ptr<void> object = nullptr, Value userInfo = Value(),
                          ObjectMap objects = {})
        : name_(std::move(name)),
          object_(std::move(object)),
          userInfo_(std::move(userInfo)),
          objects_(std::move(objects)) {}

    const std::string& name() const { return name_; }
    const std::shared_ptr<void>& object() const { return object_; }
    const Value& userInfo() const { return userInfo_; }
    const ObjectMap& objects() const { return objects_; }

    // The object under the key as a T, or null when there is none. No type check is possible:
    // the poster and the reader of a notification agree on the type stored under each key.
    template <class T>
    std::shared_ptr<T> object(const std::string& key) const {
        auto it = objects_.find(key);
        return it == objects_.end() ? nullptr : std::static_pointer_cast<T>(it->second);
    }

private:
    std::string name_;
    std::shared_ptr<void> object_;
    Value userInfo_;
    ObjectMap objects_;
};

// The token addObserver returns; hand it to removeObserver to stop the deliveries.
class NotificationObserver;

// The process's notification bus. Observers are called in the order they were added: at once on
// the posting thread when they gave no queue, otherwise by an async block on their queue. The
// center keeps observers until they are removed; an observer removed before its queued delivery
// runs is not called. Observers may add and remove observers from inside a delivery.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();
    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // object: only notifications posted by this very object are delivered (null: any poster).
    // The center does not keep the object alive; once it is gone the observer matches nothing.
    std::shared_ptr<NotificationObserver> addObserver(std::string name, const std::shared_ptr<void>& object,
                                                      std::shared_ptr<DispatchQueue> queue, Block block);
    void removeObserver(const std::shared_ptr<NotificationObserver>& observer);

    // Whether a notification of the name posted by the object would reach an observer now; a
    // poster whose user info is costly to make may leave it unmade when none would.
    bool hasObservers(std::string_view name, const void* poster) const;

    void post(const Notification& notification);
    void post(std::string name, std::shared_ptr<void> object = nullptr, Value userInfo = Value(),
              Notification::ObjectMap objects = {});

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<NotificationObserver>> observers_;
};

}  // namespace brindlecue::platform
