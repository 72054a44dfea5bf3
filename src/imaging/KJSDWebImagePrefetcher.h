#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/KJSDWebImageManager.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

namespace platform {
class DispatchQueue;
}

class KJSDWebImagePrefetcher;

// What a prefetcher tells its delegate; empty members are not called.
struct KJSDWebImagePrefetcherDelegate {
    std::function<void(KJSDWebImagePrefetcher& prefetcher, const platform::URL& url, uint64_t finishedCount,
                       uint64_t totalCount)>
        didPrefetchURL;
    // The total counts the images that came.
    std::function<void(KJSDWebImagePrefetcher& prefetcher, uint64_t totalCount, uint64_t skippedCount)>
        didFinishWithTotalCount;
};

// Warms the image cache for a list of URLs, a few loads at a time (at low priority by default).
class KJSDWebImagePrefetcher : public std::enable_shared_from_this<KJSDWebImagePrefetcher> {
    struct Token {};

public:
    using ProgressBlock = std::function<void(uint64_t finishedCount, uint64_t totalCount)>;
    using CompletionBlock = std::function<void(uint64_t finishedCount, uint64_t skippedCount)>;

    // Made once, on a manager of its own over the shared cache and the shared downloader.
    static std::shared_ptr<KJSDWebImagePrefetcher> sharedImagePrefetcher();
    // Sets the manager's downloader to 3 downloads at a time.
    static std::shared_ptr<KJSDWebImagePrefetcher> create(std::shared_ptr<KJSDWebImageManager> manager);
    KJSDWebImagePrefetcher(Token, std::shared_ptr<KJSDWebImageManager> manager);

    const std::shared_ptr<KJSDWebImageManager>& manager() const { return manager_; }
    // The downloader's limit, which is also how many loads a prefetch starts at first.
    int maxConcurrentDownloads() const;
    void setMaxConcurrentDownloads(int count);
    KJSDWebImageOptions options() const;
    void setOptions(KJSDWebImageOptions options);
    // Where the next load of a prefetch is started; the main queue unless set.
    void setPrefetcherQueue(std::shared_ptr<platform::DispatchQueue> queue);
    // Held weakly.
    void setDelegate(const std::shared_ptr<KJSDWebImagePrefetcherDelegate>& delegate);

    // Cancels a prefetch in progress, then loads the URLs; the completion runs once every load
    // has finished (at once for an empty list).
    void prefetchURLs(std::vector<platform::URL> urls, ProgressBlock progress = nullptr,
                      CompletionBlock completed = nullptr);
    void cancelPrefetching();

private:
    void startNextPrefetch();

    const std::shared_ptr<KJSDWebImageManager> manager_;
    mutable std::mutex mutex_;
    KJSDWebImageOptions options_ = KJSDImageLoadLowPriority;
    std::shared_ptr<platform::DispatchQueue> prefetcherQueue_;
    std::weak_ptr<KJSDWebImagePrefetcherDelegate> delegate_;
    std::vector<platform::URL> prefetchURLs_;
    uint64_t requestedCount_ = 0;
    uint64_t finishedCount_ = 0;
    uint64_t skippedCount_ = 0;
    double startedTime_ = 0;
    // Counts prefetches, so that the loads of a cancelled one change nothing.
    uint64_t generation_ = 0;
    ProgressBlock progressBlock_;
    CompletionBlock completionBlock_;
};

}  // namespace brindlecue
