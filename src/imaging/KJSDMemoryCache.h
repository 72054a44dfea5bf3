#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace brindlecue {

namespace platform {
class NotificationObserver;
class UIImage;
}  // namespace platform

// The memory level of the image cache: an evictable part with optional total-cost and count
// limits (the least recently used entries leave first when a limit is passed), and a map of weak
// references that keeps reaching images the evictable part has let go while something else
// still holds them (a view showing one). A memory warning empties only the evictable part.
// Safe to use from any thread.
class KJSDMemoryCache : public std::enable_shared_from_this<KJSDMemoryCache> {
    struct Token {};

public:
    static std::shared_ptr<KJSDMemoryCache> create(std::string name = "");
    KJSDMemoryCache(Token, std::string name) : name_(std::move(name)) {}
    ~KJSDMemoryCache();
    KJSDMemoryCache(const KJSDMemoryCache&) = delete;
    KJSDMemoryCache& operator=(const KJSDMemoryCache&) = delete;

    const std::string& name() const { return name_; }

    void setObject(const std::string& key, const std::shared_ptr<platform::UIImage>& image, uint64_t cost = 0);
    // An image found only through the weak map goes back into the evictable part with its cost.
    std::shared_ptr<platform::UIImage> objectForKey(const std::string& key);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();

    // 0: no limit.
    uint64_t totalCostLimit() const;
    void setTotalCostLimit(uint64_t limit);
    uint64_t countLimit() const;
    void setCountLimit(uint64_t limit);
    uint64_t totalCost() const;

    // What an image costs: its pixel count (size in points times the square of its scale).
    static uint64_t costForImage(const platform::UIImage& image);

private:
    struct Entry {
        std::shared_ptr<platform::UIImage> image;
        uint64_t cost = 0;
        std::list<std::string>::iterator use;
    };
    void setEvictable(const std::string& key, const std::shared_ptr<platform::UIImage>& image, uint64_t cost);
    void removeEvictable(const std::string& key);
    void evictLocked();
    // The evictable part alone, as a memory warning empties it.
    void removeEvictableObjects();

    const std::string name_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    std::list<std::string> uses_;  // most recently used first
    uint64_t totalCost_ = 0;
    uint64_t totalCostLimit_ = 0;
    uint64_t countLimit_ = 0;

    std::mutex weakCacheLock_;
    std::map<std::string, std::weak_ptr<platform::UIImage>> weakCache_;
    size_t weakCachePruneAt_ = 64;

    std::shared_ptr<platform::NotificationObserver> memoryWarningObserver_;
};

}  // namespace brindlecue
