#pragma once

#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

namespace brindlecue {

// A dictionary whose every access goes through one non-recursive lock. A read followed by a
// write is two separate locked steps, not one atomic update. The body given to forEach runs under
// the lock and must not touch the same dictionary.
template <class Key, class Value>
class SynchronizedDictionary {
public:
    SynchronizedDictionary() = default;
    SynchronizedDictionary(const SynchronizedDictionary&) = delete;
    SynchronizedDictionary& operator=(const SynchronizedDictionary&) = delete;

    std::optional<Value> get(const Key& key) const {
        std::lock_guard lock(accessLock_);
        auto it = dictionary_.find(key);
        if (it == dictionary_.end()) return std::nullopt;
        return it->second;
    }

    // None removes the key.
    void set(const Key& key, std::optional<Value> value) {
        std::lock_guard lock(accessLock_);
        if (value) {
            dictionary_.insert_or_assign(key, std::move(*value));
        } else {
            dictionary_.erase(key);
        }
    }

    void removeAll() {
        std::lock_guard lock(accessLock_);
        dictionary_ = {};
    }

    template <class Body>
    void forEach(Body&& body) const {
        std::lock_guard lock(accessLock_);
        for (const auto& [key, value] : dictionary_) body(key, value);
    }

private:
    std::unordered_map<Key, Value> dictionary_;
    mutable std::mutex accessLock_;
};

}  // namespace brindlecue
