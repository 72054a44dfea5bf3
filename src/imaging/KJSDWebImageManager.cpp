#include "imaging/KJSDWebImageManager.h"

#include <algorithm>

#include "imaging/KJSDScaledImageForKey.h"
#include "imaging/KJSDWebImageCompat.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLError.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::Data;
using platform::Error;
using platform::UIImage;
using platform::URL;

namespace {

// A URL that could not be loaded, refused without trying.
constexpr int64_t kRefusedURLErrorCode = -1100;

// Failures that say nothing about the image: they never block its URL.
bool isTransientFailure(int64_t code) {
    switch (code) {
        case platform::URLError::NotConnectedToInternet:
        case platform::URLError::Cancelled:
        case platform::URLError::TimedOut:
        case -1018:  // international roaming off
        case -1020:  // data not allowed
        case platform::URLError::CannotFindHost:
        case platform::URLError::CannotConnectToHost:
        case platform::URLError::NetworkConnectionLost: return true;
        default: return false;
    }
}

KJSDDownloadOptions downloaderOptionsFor(KJSDWebImageOptions options) {
    KJSDDownloadOptions out = 0;
    if (options & KJSDImageLoadLowPriority) out |= KJSDDownloadLowPriority;
    if (options & KJSDImageLoadProgressive) out |= KJSDDownloadProgressive;
    if (options & KJSDImageLoadRefreshCached) out |= KJSDDownloadUseURLCache;
    if (options & KJSDImageLoadContinueInBackground) out |= KJSDDownloadContinueInBackground;
    if (options & KJSDImageLoadHandleCookies) out |= KJSDDownloadHandleCookies;
    if (options & KJSDImageLoadAllowInvalidCertificates) out |= KJSDDownloadAllowInvalidCertificates;
    if (options & KJSDImageLoadHighPriority) out |= KJSDDownloadHighPriority;
    if (options & KJSDImageLoadScaleDownLarge) out |= KJSDDownloadScaleDownLarge;
    return out;
}

}  // namespace

// ---- Combined operation

void KJSDWebImageCombinedOperation::cancel() {
    std::shared_ptr<platform::Operation> cacheOperation;
    std::shared_ptr<KJSDWebImageDownloadToken> token;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        cacheOperation = std::move(cacheOperation_);
        token = downloadToken_;
    }
    // The rest outside the lock: the manager's list is locked before its operations when it
    // cancels them all.
    if (cacheOperation) cacheOperation->cancel();
    auto manager = manager_.lock();
    if (!manager) return;
    if (token) manager->imageDownloader()->cancel(token);
    manager->safelyRemoveOperationFromRunning(shared_from_this());
}

bool KJSDWebImageCombinedOperation::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

std::shared_ptr<KJSDWebImageDownloadToken> KJSDWebImageCombinedOperation::downloadToken() const {
    std::lock_guard lock(mutex_);
    return downloadToken_;
}

bool KJSDWebImageCombinedOperation::setDownloadToken(std::shared_ptr<KJSDWebImageDownloadToken> token) {
    std::lock_guard lock(mutex_);
    downloadToken_ = std::move(token);
    return !cancelled_;
}

std::shared_ptr<platform::Operation> KJSDWebImageCombinedOperation::cacheOperation() const {
    std::lock_guard lock(mutex_);
    return cacheOperation_;
}

void KJSDWebImageCombinedOperation::setCacheOperation(std::shared_ptr<platform::Operation> operation) {
    std::lock_guard lock(mutex_);
    cacheOperation_ = std::move(operation);
}

// ---- Manager

std::shared_ptr<KJSDWebImageManager> KJSDWebImageManager::sharedManager() {
    // Kept through exit: downloads and disk work may still be running on worker threads.
    static const auto* manager = new std::shared_ptr<KJSDWebImageManager>([] {
        auto made = create();
        platform::TestingReset::add("KJSDWebImageManager.shared", [] { resetSharedForTesting(); });
        return made;
    }());
    return *manager;
}

void KJSDWebImageManager::resetSharedForTesting() {
    auto manager = sharedManager();
    manager->cancelAll();
    {
        std::lock_guard lock(manager->failedURLsLock_);
        manager->failedURLs_.clear();
    }
    std::lock_guard lock(manager->settingsMutex_);
    manager->delegate_.reset();
    manager->cacheKeyFilter_ = nullptr;
    manager->cacheSerializer_ = nullptr;
}

std::shared_ptr<KJSDWebImageManager> KJSDWebImageManager::create() {
    return create(KJSDImageCache::sharedImageCache(), KJSDWebImageDownloader::sharedDownloader());
}

std::shared_ptr<KJSDWebImageManager> KJSDWebImageManager::create(std::shared_ptr<KJSDImageCache> cache,
                                                                 std::shared_ptr<KJSDWebImageDownloader> downloader) {
    return std::make_shared<KJSDWebImageManager>(Token{}, std::move(cache), std::move(downloader));
}

KJSDWebImageManager::KJSDWebImageManager(Token, std::shared_ptr<KJSDImageCache> cache,
                                         std::shared_ptr<KJSDWebImageDownloader> downloader)
    : imageCache_(std::move(cache)), imageDownloader_(std::move(downloader)) {}

std::shared_ptr<KJSDWebImageManagerDelegate> KJSDWebImageManager::delegate() const {
    std::lock_guard lock(settingsMutex_);
    return delegate_.lock();
}

void KJSDWebImageManager::setDelegate(const std::shared_ptr<KJSDWebImageManagerDelegate>& delegate) {
    std::lock_guard lock(settingsMutex_);
    delegate_ = delegate;
}

void KJSDWebImageManager::setCacheKeyFilter(KJSDWebImageCacheKeyFilterBlock filter) {
    std::lock_guard lock(settingsMutex_);
    cacheKeyFilter_ = std::move(filter);
}

void KJSDWebImageManager::setCacheSerializer(KJSDWebImageCacheSerializerBlock serializer) {
    std::lock_guard lock(settingsMutex_);
    cacheSerializer_ = std::move(serializer);
}

std::string KJSDWebImageManager::cacheKeyForURL(const std::optional<URL>& url) const {
    if (!url) return "";
    KJSDWebImageCacheKeyFilterBlock filter;
    {
        std::lock_guard lock(settingsMutex_);
        filter = cacheKeyFilter_;
    }
    return filter ? filter(url) : url->absoluteString();
}

std::shared_ptr<UIImage> KJSDWebImageManager::scaledImageForKey(const std::string& key,
                                                                const std::shared_ptr<UIImage>& image) const {
    return KJSDScaledImageForKey(key, image);
}

void KJSDWebImageManager::cachedImageExistsForURL(const std::optional<URL>& url, std::function<void(bool)> completion) {
    std::string key = cacheKeyForURL(url);
    if (imageCache_->imageFromMemoryCacheForKey(key)) {
        if (completion) platform::DispatchQueue::main()->async([completion] { completion(true); });
        return;
    }
    imageCache_->diskImageExistsWithKey(key, std::move(completion));
}

void KJSDWebImageManager::diskImageExistsForURL(const std::optional<URL>& url, std::function<void(bool)> completion) {
    imageCache_->diskImageExistsWithKey(cacheKeyForURL(url), std::move(completion));
}

void KJSDWebImageManager::saveImageToCache(const std::shared_ptr<UIImage>& image, const std::optional<URL>& url) {
    if (!image || !url) return;
    imageCache_->storeImage(image, cacheKeyForURL(url), true, nullptr);
}

void KJSDWebImageManager::cancelAll() {
    std::lock_guard lock(runningOperationsLock_);
    auto running = runningOperations_;
    for (const auto& operation : running) operation->cancel();
    std::erase_if(runningOperations_, [&](const auto& operation) {
        return std::find(running.begin(), running.end(), operation) != running.end();
    });
}

bool KJSDWebImageManager::isRunning() const {
    std::lock_guard lock(runningOperationsLock_);
    return !runningOperations_.empty();
}

void KJSDWebImageManager::safelyRemoveOperationFromRunning(
    const std::shared_ptr<KJSDWebImageCombinedOperation>& operation) {
    if (!operation) return;
    std::shared_ptr<KJSDWebImageCombinedOperation> removed;  // released outside the lock
    std::lock_guard lock(runningOperationsLock_);
    auto it = std::find_if(runningOperations_.begin(), runningOperations_.end(),
                           [&](const auto& running) { return running.get() == operation.get(); });
    if (it == runningOperations_.end()) return;
    removed = std::move(*it);
    runningOperations_.erase(it);
}

bool KJSDWebImageManager::isFailedURL(const URL& url) const {
    std::lock_guard lock(failedURLsLock_);
    return failedURLs_.contains(url.absoluteString());
}

void KJSDWebImageManager::callCompletionBlockForOperation(
    const std::shared_ptr<KJSDWebImageCombinedOperation>& operation, const KJSDInternalCompletionBlock& completion,
    const Error& error, const std::optional<URL>& url) {
    callCompletionBlockForOperation(operation, completion, nullptr, std::nullopt, error, KJSDImageCacheType::None, true,
                                    url);
}

void KJSDWebImageManager::callCompletionBlockForOperation(
    const std::shared_ptr<KJSDWebImageCombinedOperation>& operation, const KJSDInternalCompletionBlock& completion,
    std::shared_ptr<UIImage> image, std::optional<Data> data, std::optional<Error> error, KJSDImageCacheType cacheType,
    bool finished, const std::optional<URL>& url) {
    KJSDDispatchMainAsyncSafe([operation, completion, image = std::move(image), data = std::move(data),
                               error = std::move(error), cacheType, finished, url]() mutable {
        if (operation && !operation->isCancelled() && completion)
            completion(image, std::move(data), error, cacheType, finished, url);
    });
}

std::shared_ptr<KJSDWebImageCombinedOperation> KJSDWebImageManager::loadImageWithURL(
    std::string_view url, KJSDWebImageOptions options, KJSDWebImageDownloaderProgressBlock progress,
    KJSDInternalCompletionBlock completed) {
    return loadImageWithURL(URL::fromString(url), options, std::move(progress), std::move(completed));
}

std::shared_ptr<KJSDWebImageCombinedOperation> KJSDWebImageManager::loadImageWithURL(
    const std::optional<URL>& url, KJSDWebImageOptions options, KJSDWebImageDownloaderProgressBlock progress,
    KJSDInternalCompletionBlock completed) {
    auto self = shared_from_this();
    auto operation = std::make_shared<KJSDWebImageCombinedOperation>();
    operation->setManager(self);

    bool isFailed = url && isFailedURL(*url);
    if (!url || url->absoluteString().empty() || (isFailed && !(options & KJSDImageLoadRetryFailedURL))) {
        callCompletionBlockForOperation(operation, completed, platform::URLError::make(kRefusedURLErrorCode, url), url);
        return operation;
    }
    {
        std::lock_guard lock(runningOperationsLock_);
        runningOperations_.push_back(operation);
    }
    const std::string key = cacheKeyForURL(url);
    KJSDCacheQueryOptions cacheOptions = 0;
    if (options & KJSDImageLoadQueryDataInMemory) cacheOptions |= KJSDImageCacheQueryDataWhenInMemory;
    if (options & KJSDImageLoadQueryDiskSync) cacheOptions |= KJSDImageCacheQueryDiskSync;

    std::weak_ptr<KJSDWebImageCombinedOperation> weakOperation = operation;
    auto cacheOperation = imageCache_->queryCacheOperationForKey(
        key, cacheOptions,
        [self, weakOperation, url = *url, key, options, progress, completed](
            std::shared_ptr<UIImage> cachedImage, std::optional<Data> cachedData, KJSDImageCacheType cacheType) {
            auto operation = weakOperation.lock();
            if (!operation || operation->isCancelled()) {
                self->safelyRemoveOperationFromRunning(operation);
                return;
            }
            auto delegate = self->delegate();
            bool shouldDownload = !(options & KJSDImageLoadFromCacheOnly) &&
                                  (!cachedImage || (options & KJSDImageLoadRefreshCached)) &&
                                  (!delegate || !delegate->shouldDownloadImageForURL ||
                                   delegate->shouldDownloadImageForURL(*self, url));
            if (shouldDownload) {
                self->startDownload(operation, url, key, options, progress, completed, cachedImage, cachedData,
                                    cacheType);
                return;
            }
            if (cachedImage)
                self->callCompletionBlockForOperation(operation, completed, cachedImage, std::move(cachedData),
                                                      std::nullopt, cacheType, true, url);
            else
                self->callCompletionBlockForOperation(operation, completed, nullptr, std::nullopt, std::nullopt,
                                                      KJSDImageCacheType::None, true, url);
            self->safelyRemoveOperationFromRunning(operation);
        });
    operation->setCacheOperation(std::move(cacheOperation));
    return operation;
}

void KJSDWebImageManager::startDownload(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation,
                                        const URL& url, const std::string& key, KJSDWebImageOptions options,
                                        const KJSDWebImageDownloaderProgressBlock& progress,
                                        const KJSDInternalCompletionBlock& completed,
                                        const std::shared_ptr<UIImage>& cachedImage,
                                        const std::optional<Data>& cachedData, KJSDImageCacheType cacheType) {
    bool refreshing = cachedImage && (options & KJSDImageLoadRefreshCached);
    // A refresh shows the cached image first and lets the URL cache answer the download.
    if (refreshing)
        callCompletionBlockForOperation(operation, completed, cachedImage, cachedData, std::nullopt, cacheType, true,
                                        url);
    KJSDDownloadOptions downloaderOptions = downloaderOptionsFor(options);
    if (refreshing) {
        downloaderOptions &= ~KJSDDownloadProgressive;
        downloaderOptions |= KJSDDownloadIgnoreCachedResponse;
    }
    auto self = shared_from_this();
    std::weak_ptr<KJSDWebImageCombinedOperation> weakOperation = operation;
    bool hadCachedImage = cachedImage != nullptr;
    auto token = imageDownloader_->downloadImageWithURL(
        url, downloaderOptions, progress,
        [self, weakOperation, url, key, options, completed, hadCachedImage](
            std::shared_ptr<UIImage> image, std::optional<Data> data, std::optional<Error> error, bool finished) {
            auto operation = weakOperation.lock();
            if (operation && !operation->isCancelled())
                self->downloadDidReport(operation, url, key, options, completed, hadCachedImage, std::move(image),
                                        std::move(data), std::move(error), finished);
            if (finished) self->safelyRemoveOperationFromRunning(operation);
        });
    // A load cancelled while its download was being asked for gives its place up now.
    if (!operation->setDownloadToken(token)) imageDownloader_->cancel(token);
}

void KJSDWebImageManager::downloadDidReport(const std::shared_ptr<KJSDWebImageCombinedOperation>& operation,
                                            const URL& url, const std::string& key, KJSDWebImageOptions options,
                                            const KJSDInternalCompletionBlock& completed, bool hadCachedImage,
                                            std::shared_ptr<UIImage> image, std::optional<Data> data,
                                            std::optional<Error> error, bool finished) {
    auto delegate = this->delegate();
    if (error) {
        callCompletionBlockForOperation(operation, completed, nullptr, std::nullopt, error, KJSDImageCacheType::None,
                                        true, url);
        bool block = delegate && delegate->shouldBlockFailedURL ? delegate->shouldBlockFailedURL(*this, url, *error)
                                                                : !isTransientFailure(error->code());
        if (block) {
            std::lock_guard lock(failedURLsLock_);
            failedURLs_.insert(url.absoluteString());
        }
        return;
    }
    if (options & KJSDImageLoadRetryFailedURL) {
        std::lock_guard lock(failedURLsLock_);
        failedURLs_.erase(url.absoluteString());
    }
    const bool toDisk = !(options & KJSDImageLoadMemoryCacheOnly);
    KJSDWebImageCacheSerializerBlock serializer;
    bool hasKeyFilter;
    {
        std::lock_guard lock(settingsMutex_);
        serializer = cacheSerializer_;
        hasKeyFilter = bool(cacheKeyFilter_);
    }
    // The shared manager's downloads are scaled for their key already.
    if (image && hasKeyFilter && this != sharedManager().get()) image = scaledImageForKey(key, image);

    if ((options & KJSDImageLoadRefreshCached) && hadCachedImage && !image) {
        // The URL cache answered the refresh: the image reported first stands.
        return;
    }
    auto self = shared_from_this();
    if (image && (image->images().empty() || (options & KJSDImageLoadTransformAnimated)) && delegate &&
        delegate->transformDownloadedImage) {
        platform::DispatchQueue::global(platform::DispatchQueue::Priority::High)
            ->async([self, delegate, operation, url, key, completed, image, data = std::move(data), finished, toDisk,
                     serializer] {
                auto transformed = delegate->transformDownloadedImage(*self, image, url);
                if (transformed && finished) {
                    bool isTransformed = transformed != image;
                    std::optional<Data> cacheData = isTransformed ? std::nullopt : data;
                    if (serializer) cacheData = serializer(transformed, isTransformed ? std::nullopt : data, url);
                    self->imageCache_->storeImage(transformed, cacheData, key, toDisk, nullptr);
                }
                self->callCompletionBlockForOperation(operation, completed, transformed, data, std::nullopt,
                                                      KJSDImageCacheType::None, finished, url);
            });
        return;
    }
    if (image && finished) {
        if (serializer) {
            platform::DispatchQueue::global(platform::DispatchQueue::Priority::High)
                ->async([self, serializer, image, data, url, key, toDisk] {
                    self->imageCache_->storeImage(image, serializer(image, data, url), key, toDisk, nullptr);
                });
        } else {
            imageCache_->storeImage(image, data, key, toDisk, nullptr);
        }
    }
    callCompletionBlockForOperation(operation, completed, image, std::move(data), std::nullopt,
                                    KJSDImageCacheType::None, finished, url);
}

}  // namespace brindlecue
