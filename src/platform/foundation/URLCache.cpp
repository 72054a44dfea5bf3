#include "platform/foundation/URLCache.h"

#include <algorithm>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {

namespace {

std::mutex& sharedMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::shared_ptr<URLCache>& sharedSlot() {
    static auto* cache = new std::shared_ptr<URLCache>(std::make_shared<URLCache>());
    return *cache;
}

}  // namespace

std::shared_ptr<URLCache> URLCache::sharedURLCache() {
    std::lock_guard lock(sharedMutex());
    return sharedSlot();
}

void URLCache::setSharedURLCache(std::shared_ptr<URLCache> cache) {
    std::lock_guard lock(sharedMutex());
    sharedSlot() = cache ? std::move(cache) : std::make_shared<URLCache>();
}

URLCache::URLCache(uint64_t memoryCapacity) : capacity_(memoryCapacity) {}

std::optional<std::string> URLCache::keyFor(const URLRequest& request) {
    if (!request.url() || request.httpMethod() != "GET") return std::nullopt;
    std::string key = request.url()->absoluteString();
    if (auto hash = key.find('#'); hash != std::string::npos) key.erase(hash);
    return key;
}

std::shared_ptr<CachedURLResponse> URLCache::cachedResponseForRequest(const URLRequest& request) const {
    auto key = keyFor(request);
    if (!key) return nullptr;
    std::lock_guard lock(mutex_);
    auto it = entries_.find(*key);
    if (it == entries_.end()) return nullptr;
    order_.remove(*key);
    order_.push_front(*key);
    return it->second.response;
}

std::optional<double> URLCache::storedDateForRequest(const URLRequest& request) const {
    auto key = keyFor(request);
    if (!key) return std::nullopt;
    std::lock_guard lock(mutex_);
    auto it = entries_.find(*key);
    if (it == entries_.end()) return std::nullopt;
    return it->second.storedAt;
}

void URLCache::storeCachedResponse(std::shared_ptr<CachedURLResponse> cachedResponse,
                                   const URLRequest& request) {
    auto key = keyFor(request);
    if (!key || !cachedResponse ||
        cachedResponse->storagePolicy() == CachedURLResponse::StoragePolicy::NotAllowed) {
        return;
    }
    std::lock_guard lock(mutex_);
    uint64_t size = cachedResponse->data().size();
    if (size > capacity_ / 20) return;
    if (auto it = entries_.find(*key); it != entries_.end()) {
        usage_ -= it->second.response->data().size();
        order_.remove(*key);
    }
    entries_[*key] = Entry{std::move(cachedResponse), Clock::now()};
    usage_ += size;
    order_.push_front(*key);
    trim();
}

void URLCache::removeCachedResponseForRequest(const URLRequest& request) {
    auto key = keyFor(request);
    if (!key) return;
    std::lock_guard lock(mutex_);
    auto it = entries_.find(*key);
    if (it == entries_.end()) return;
    usage_ -= it->second.response->data().size();
    entries_.erase(it);
    order_.remove(*key);
}

void URLCache::removeAllCachedResponses() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    order_.clear();
    usage_ = 0;
}

uint64_t URLCache::memoryCapacity() const {
    std::lock_guard lock(mutex_);
    return capacity_;
}

void URLCache::setMemoryCapacity(uint64_t capacity) {
    std::lock_guard lock(mutex_);
    capacity_ = capacity;
    trim();
}

uint64_t URLCache::currentMemoryUsage() const {
    std::lock_guard lock(mutex_);
    return usage_;
}

void URLCache::trim() {
    while (usage_ > capacity_ && !order_.empty()) {
        auto it = entries_.find(order_.back());
        if (it != entries_.end()) {
            usage_ -= it->second.response->data().size();
            entries_.erase(it);
        }
        order_.pop_back();
    }
}

}  // namespace brindlecue::platform
