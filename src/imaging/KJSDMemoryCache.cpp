#include "imaging/KJSDMemoryCache.h"

#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

std::shared_ptr<KJSDMemoryCache> KJSDMemoryCache::create(std::string name) {
    auto cache = std::make_shared<KJSDMemoryCache>(Token{}, std::move(name));
    std::weak_ptr<KJSDMemoryCache> weak = cache;
    cache->memoryWarningObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        platform::UIApplication::UIApplicationDidReceiveMemoryWarningNotification, nullptr, nullptr,
        [weak](const platform::Notification&) {
            if (auto self = weak.lock()) self->removeEvictableObjects();
        });
    return cache;
}

KJSDMemoryCache::~KJSDMemoryCache() {
    platform::NotificationCenter::defaultCenter().removeObserver(memoryWarningObserver_);
}

uint64_t KJSDMemoryCache::costForImage(const platform::UIImage& image) {
    double pixels = image.size().width * image.size().height * image.scale() * image.scale();
    return pixels > 0 ? uint64_t(pixels) : 0;
}

void KJSDMemoryCache::setObject(const std::string& key, const std::shared_ptr<platform::UIImage>& image,
                                uint64_t cost) {
    if (!image) return;
    setEvictable(key, image, cost);
    std::lock_guard lock(weakCacheLock_);
    weakCache_[key] = image;
    if (weakCache_.size() >= weakCachePruneAt_) {
        std::erase_if(weakCache_, [](const auto& entry) { return entry.second.expired(); });
        weakCachePruneAt_ = std::max<size_t>(64, weakCache_.size() * 2);
    }
}

std::shared_ptr<platform::UIImage> KJSDMemoryCache::objectForKey(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            uses_.splice(uses_.begin(), uses_, it->second.use);
            return it->second.image;
        }
    }
    std::shared_ptr<platform::UIImage> image;
    {
        std::lock_guard lock(weakCacheLock_);
        auto it = weakCache_.find(key);
        if (it != weakCache_.end()) image = it->second.lock();
    }
    if (image) setEvictable(key, image, costForImage(*image));
    return image;
}

void KJSDMemoryCache::removeObjectForKey(const std::string& key) {
    removeEvictable(key);
    std::lock_guard lock(weakCacheLock_);
    weakCache_.erase(key);
}

void KJSDMemoryCache::removeAllObjects() {
    removeEvictableObjects();
    std::lock_guard lock(weakCacheLock_);
    weakCache_.clear();
}

void KJSDMemoryCache::removeEvictableObjects() {
    std::map<std::string, Entry> gone;  // released outside the lock
    std::lock_guard lock(mutex_);
    gone.swap(entries_);
    uses_.clear();
    totalCost_ = 0;
}

uint64_t KJSDMemoryCache::totalCostLimit() const {
    std::lock_guard lock(mutex_);
    return totalCostLimit_;
}

void KJSDMemoryCache::setTotalCostLimit(uint64_t limit) {
    std::lock_guard lock(mutex_);
    totalCostLimit_ = limit;
    evictLocked();
}

uint64_t KJSDMemoryCache::countLimit() const {
    std::lock_guard lock(mutex_);
    return countLimit_;
}

void KJSDMemoryCache::setCountLimit(uint64_t limit) {
    std::lock_guard lock(mutex_);
    countLimit_ = limit;
    evictLocked();
}

uint64_t KJSDMemoryCache::totalCost() const {
    std::lock_guard lock(mutex_);
    return totalCost_;
}

void KJSDMemoryCache::setEvictable(const std::string& key, const std::shared_ptr<platform::UIImage>& image,
                                   uint64_t cost) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        totalCost_ -= it->second.cost;
        uses_.erase(it->second.use);
        entries_.erase(it);
    }
    uses_.push_front(key);
    entries_[key] = Entry{image, cost, uses_.begin()};
    totalCost_ += cost;
    evictLocked();
}

void KJSDMemoryCache::removeEvictable(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    totalCost_ -= it->second.cost;
    uses_.erase(it->second.use);
    entries_.erase(it);
}

void KJSDMemoryCache::evictLocked() {
    // The entry just stored stays, even when it alone passes the cost limit.
    while (entries_.size() > 1 && ((totalCostLimit_ > 0 && totalCost_ > totalCostLimit_) ||
                                   (countLimit_ > 0 && entries_.size() > countLimit_))) {
        auto it = entries_.find(uses_.back());
        totalCost_ -= it->second.cost;
        entries_.erase(it);
        uses_.pop_back();
    }
}

}  // namespace brindlecue
