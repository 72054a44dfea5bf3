#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/KJSDImageCache.h"
#include "imaging/KJSDWebImageDownloader.h"
#include "imaging/KJSDWebImageOperation.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

namespace platform {
class Operation;
class UIImage;
}  // namespace platform

// How one load runs.
using KJSDWebImageOptions = uint64_t;
// A URL that failed for good is loaded anyway; a success takes it off the failed list.
inline constexpr KJSDWebImageOptions KJSDImageLoadRetryFailedURL = 1;
inline constexpr KJSDWebImageOptions KJSDImageLoadLowPriority = 2;
// The downloaded image is kept in memory only.
inline constexpr KJSDWebImageOptions KJSDImageLoadMemoryCacheOnly = 4;
// Partial images are reported while the bytes arrive.
inline constexpr KJSDWebImageOptions KJSDImageLoadProgressive = 8;
// Downloads even when the cache has the image (the HTTP cache decides); the cached image first.
inline constexpr KJSDWebImageOptions KJSDImageLoadRefreshCached = 16;
inline constexpr KJSDWebImageOptions KJSDImageLoadContinueInBackground = 32;
inline constexpr KJSDWebImageOptions KJSDImageLoadHandleCookies = 64;
inline constexpr KJSDWebImageOptions KJSDImageLoadAllowInvalidCertificates = 128;
inline constexpr KJSDWebImageOptions KJSDImageLoadHighPriority = 256;
// Read by the view loading: the placeholder waits until the load has failed.
inline constexpr KJSDWebImageOptions KJSDImageLoadDelayPlaceholder = 512;
// The delegate's transform is offered animated images too.
inline constexpr KJSDWebImageOptions KJSDImageLoadTransformAnimated = 1024;
// Read by the view loading: the loaded image is handed to the caller, not set on the view.
inline constexpr KJSDWebImageOptions KJSDImageLoadAvoidAutoSetImage = 2048;
inline constexpr KJSDWebImageOptions KJSDImageLoadScaleDownLarge = 4096;
// The cache query reads the file's bytes even when the image is in memory.
inline constexpr KJSDWebImageOptions KJSDImageLoadQueryDataInMemory = 8192;
// The cache query reads the disk on the calling thread.
inline constexpr KJSDWebImageOptions KJSDImageLoadQueryDiskSync = 16384;
// Never downloads.
inline constexpr KJSDWebImageOptions KJSDImageLoadFromCacheOnly = 32768;
// Read by the view loading.
inline constexpr KJSDWebImageOptions KJSDImageLoadForceTransition = 65536;

// A load's report: always on the main thread. A progressive load reports partial images with
// finished false before its last report.
using KJSDInternalCompletionBlock = std::function<void(
    std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data, std::optional<platform::Error> error,
    KJSDImageCacheType cacheType, bool finished, const std::optional<platform::URL>& imageURL)>;
using KJSDWebImageCacheKeyFilterBlock = std::function<std::string(const std::optional<platform::URL>& url)>;
// The bytes to keep on disk for a downloaded image.
using KJSDWebImageCacheSerializerBlock = std::function<std::optional<platform::Data>(
    const std::shared_ptr<platform::UIImage>& image, const std::optional<platform::Data>& data,
    const std::optional<platform::URL>& imageURL)>;

class KJSDWebImageManager;

// What a manager's delegate may decide; an empty member is an operation it does not implement.
struct KJSDWebImageManagerDelegate {
    // False keeps a load that missed the cache from downloading.
    std::function<bool(KJSDWebImageManager& manager, const platform::URL& imageURL)> shouldDownloadImageForURL;
    // Whether a failed URL is refused from now on; replaces the built-in rule.
    std::function<bool(KJSDWebImageManager& manager, const platform::URL& imageURL, const platform::Error& error)>
        shouldBlockFailedURL;
    // A replacement for a downloaded image, asked on a background queue.
    std::function<std::shared_ptr<platform::UIImage>(KJSDWebImageManager& manager,
                                                     const std::shared_ptr<platform::UIImage>& image,
                                                     const platform::URL& imageURL)>
        transformDownloadedImage;
};

// The handle of one load: cancelling it cancels the cache query or the caller's place on the
// download behind it, and nothing more is reported.
class KJSDWebImageCombinedOperation final : public KJSDWebImageOperation,
                                            public std::enable_shared_from_this<KJSDWebImageCombinedOperation> {
public:
    void cancel() override;
    bool isCancelled() const;

    std::shared_ptr<KJSDWebImageDownloadToken> downloadToken() const;
    // False when the load was cancelled meanwhile (the caller then cancels the token itself).
    bool setDownloadToken(std::shared_ptr<KJSDWebImageDownloadToken> token);
    std::shared_ptr<platform::Operation> cacheOperation() const;
    void setCacheOperation(std::shared_ptr<platform::Operation> operation);
    std::shared_ptr<KJSDWebImageManager> manager() const { return manager_.lock(); }
    void setManager(const std::shared_ptr<KJSDWebImageManager>& manager) { manager_ = manager; }

private:
    mutable std::recursive_mutex mutex_;
    bool cancelled_ = false;
    std::shared_ptr<KJSDWebImageDownloadToken> downloadToken_;
    std::shared_ptr<platform::Operation> cacheOperation_;
    std::weak_ptr<KJSDWebImageManager> manager_;
};

// Turns a request for the image at a URL into one cancellable load: the image cache first, the
// downloader only on a miss (or a refresh), the download stored in the cache, and URLs that failed
// for good refused afterwards unless the load retries them. Reports arrive on the main thread.
class KJSDWebImageManager : public std::enable_shared_from_this<KJSDWebImageManager> {
    struct Token {};

public:
    // On the shared cache and the shared downloader, made once. Test-only: resetSharedForTesting
    // (registered with TestingReset) cancels its loads and forgets its failed URLs and settings.
    static std::shared_ptr<KJSDWebImageManager> sharedManager();
    static void resetSharedForTesting();
    // On the shared cache and the shared downloader.
    static std::shared_ptr<KJSDWebImageManager> create();
    static std::shared_ptr<KJSDWebImageManager> create(std::shared_ptr<KJSDImageCache> cache,
                                                       std::shared_ptr<KJSDWebImageDownloader> downloader);
    KJSDWebImageManager(Token, std::shared_ptr<KJSDImageCache> cache, std::shared_ptr<KJSDWebImageDownloader> downloader);

    const std::shared_ptr<KJSDImageCache>& imageCache() const { return imageCache_; }
    const std::shared_ptr<KJSDWebImageDownloader>& imageDownloader() const { return imageDownloader_; }
    // Held weakly.
    std::shared_ptr<KJSDWebImageManagerDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<KJSDWebImageManagerDelegate>& delegate);
    void setCacheKeyFilter(KJSDWebImageCacheKeyFilterBlock filter);
    void setCacheSerializer(KJSDWebImageCacheSerializerBlock serializer);

    // The load's handle comes back at once; everything else comes through the completion. No URL,
    // an empty one or a refused one is reported as an error of code -1100 (NSURLErrorDomain).
    std::shared_ptr<KJSDWebImageCombinedOperation> loadImageWithURL(const std::optional<platform::URL>& url,
                                                                    KJSDWebImageOptions options,
                                                                    KJSDWebImageDownloaderProgressBlock progress,
                                                                    KJSDInternalCompletionBlock completed);
    // The text read as a URL; text that is no URL counts as none.
    std::shared_ptr<KJSDWebImageCombinedOperation> loadImageWithURL(std::string_view url, KJSDWebImageOptions options,
                                                                    KJSDWebImageDownloaderProgressBlock progress,
                                                                    KJSDInternalCompletionBlock completed);

    // The key filter's text, else the URL's absolute text; "" without a URL.
    std::string cacheKeyForURL(const std::optional<platform::URL>& url) const;
    std::shared_ptr<platform::UIImage> scaledImageForKey(const std::string& key,
                                                         const std::shared_ptr<platform::UIImage>& image) const;

    // Whether the memory or the disk has the image; answered on the main queue.
    void cachedImageExistsForURL(const std::optional<platform::URL>& url, std::function<void(bool)> completion);
    void diskImageExistsForURL(const std::optional<platform::URL>& url, std::function<void(bool)> completion);
    // Into memory and onto disk under the URL's key.
    void saveImageToCache(const std::shared_ptr<platform::UIImage>& image, const std::optional<platform::URL>& url);

    void cancelAll();
    bool isRunning() const;
    void safelyRemoveOperationFromRunning(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation);

    // Reports on the main thread, unless the operation has been cancelled by then.
    void callCompletionBlockForOperation(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation,
                                         const KJSDInternalCompletionBlock& completion, const platform::Error& error,
                                         const std::optional<platform::URL>& url);
    void callCompletionBlockForOperation(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation,
                                         const KJSDInternalCompletionBlock& completion,
                                         std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data,
                                         std::optional<platform::Error> error, KJSDImageCacheType cacheType,
                                         bool finished, const std::optional<platform::URL>& url);

private:
    void startDownload(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation, const platform::URL& url,
                       const std::string& key, KJSDWebImageOptions options,
                       const KJSDWebImageDownloaderProgressBlock& progress,
                       const KJSDInternalCompletionBlock& completed,
                       const std::shared_ptr<platform::UIImage>& cachedImage,
                       const std::optional<platform::Data>& cachedData, KJSDImageCacheType cacheType);
    void downloadDidReport(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation, const platform::URL& url,
                           const std::string& key, KJSDWebImageOptions options,
                           const KJSDInternalCompletionBlock& completed, bool hadCachedImage,
                           std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data,
                           std::optional<platform::Error> error, bool finished);
    bool isFailedURL(const platform::URL& url) const;

    const std::shared_ptr<KJSDImageCache> imageCache_;
    const std::shared_ptr<KJSDWebImageDownloader> imageDownloader_;

    mutable std::mutex settingsMutex_;
    std::weak_ptr<KJSDWebImageManagerDelegate> delegate_;
    KJSDWebImageCacheKeyFilterBlock cacheKeyFilter_;
    KJSDWebImageCacheSerializerBlock cacheSerializer_;

    mutable std::recursive_mutex failedURLsLock_;
    std::set<std::string> failedURLs_;
    mutable std::recursive_mutex runningOperationsLock_;
    std::vector<std::shared_ptr<KJSDWebImageCombinedOperation>> runningOperations_;
};

}  // namespace brindlecue
