#include "imaging/KJSDWebImagePrefetcher.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

using platform::URL;

namespace {
constexpr int kPrefetchConcurrentDownloads = 3;
}

std::shared_ptr<KJSDWebImagePrefetcher> KJSDWebImagePrefetcher::sharedImagePrefetcher() {
    static const auto* prefetcher = new std::shared_ptr<KJSDWebImagePrefetcher>(create(KJSDWebImageManager::create()));
    return *prefetcher;
}

std::shared_ptr<KJSDWebImagePrefetcher> KJSDWebImagePrefetcher::create(std::shared_ptr<KJSDWebImageManager> manager) {
    auto prefetcher = std::make_shared<KJSDWebImagePrefetcher>(Token{}, std::move(manager));
    prefetcher->setMaxConcurrentDownloads(kPrefetchConcurrentDownloads);
    return prefetcher;
}

KJSDWebImagePrefetcher::KJSDWebImagePrefetcher(Token, std::shared_ptr<KJSDWebImageManager> manager)
    : manager_(std::move(manager)), prefetcherQueue_(platform::DispatchQueue::main()) {}

int KJSDWebImagePrefetcher::maxConcurrentDownloads() const {
    return manager_->imageDownloader()->maxConcurrentDownloads();
}

void KJSDWebImagePrefetcher::setMaxConcurrentDownloads(int count) {
    manager_->imageDownloader()->setMaxConcurrentDownloads(count);
}

KJSDWebImageOptions KJSDWebImagePrefetcher::options() const {
    std::lock_guard lock(mutex_);
    return options_;
}

void KJSDWebImagePrefetcher::setOptions(KJSDWebImageOptions options) {
    std::lock_guard lock(mutex_);
    options_ = options;
}

void KJSDWebImagePrefetcher::setPrefetcherQueue(std::shared_ptr<platform::DispatchQueue> queue) {
    std::lock_guard lock(mutex_);
    prefetcherQueue_ = queue ? std::move(queue) : platform::DispatchQueue::main();
}

void KJSDWebImagePrefetcher::setDelegate(const std::shared_ptr<KJSDWebImagePrefetcherDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void KJSDWebImagePrefetcher::prefetchURLs(std::vector<URL> urls, ProgressBlock progress, CompletionBlock completed) {
    cancelPrefetching();
    size_t count = urls.size();
    {
        std::lock_guard lock(mutex_);
        startedTime_ = platform::Clock::now();
        prefetchURLs_ = std::move(urls);
        progressBlock_ = std::move(progress);
        completionBlock_ = count == 0 ? nullptr : completed;
    }
    if (count == 0) {
        if (completed) completed(0, 0);
        return;
    }
    int concurrent = std::max(1, maxConcurrentDownloads());
    for (int i = 0; i < concurrent && i < int(count); ++i) startNextPrefetch();
}

void KJSDWebImagePrefetcher::startNextPrefetch() {
    std::optional<URL> url;
    uint64_t generation;
    KJSDWebImageOptions options;
    {
        std::lock_guard lock(mutex_);
        // The next index is read when the load starts, so two loads never take the same one.
        if (requestedCount_ >= prefetchURLs_.size()) return;
        url = prefetchURLs_[requestedCount_];
        ++requestedCount_;
        generation = generation_;
        options = options_;
    }
    std::weak_ptr<KJSDWebImagePrefetcher> weak = shared_from_this();
    manager_->loadImageWithURL(
        url, options, nullptr,
        [weak, url = *url, generation](std::shared_ptr<platform::UIImage> image, std::optional<platform::Data>,
                                std::optional<platform::Error>, KJSDImageCacheType, bool finished,
                                const std::optional<URL>&) {
            auto self = weak.lock();
            if (!self || !finished) return;
            ProgressBlock progress;
            CompletionBlock completion;
            std::shared_ptr<KJSDWebImagePrefetcherDelegate> delegate;
            std::shared_ptr<platform::DispatchQueue> queue;
            uint64_t finishedCount, skippedCount, total;
            bool startNext = false, allDone = false;
            {
                std::lock_guard lock(self->mutex_);
                if (generation != self->generation_) return;
                ++self->finishedCount_;
                if (!image) ++self->skippedCount_;
                finishedCount = self->finishedCount_;
                skippedCount = self->skippedCount_;
                total = self->prefetchURLs_.size();
                progress = self->progressBlock_;
                delegate = self->delegate_.lock();
                queue = self->prefetcherQueue_;
                if (total > self->requestedCount_) {
                    startNext = true;
                } else if (finishedCount == self->requestedCount_) {
                    allDone = true;
                    completion = std::move(self->completionBlock_);
                    self->completionBlock_ = nullptr;
                    self->progressBlock_ = nullptr;
                }
            }
            if (progress) progress(finishedCount, total);
            if (delegate && delegate->didPrefetchURL) delegate->didPrefetchURL(*self, url, finishedCount, total);
            if (startNext) {
                queue->async([weak] {
                    if (auto self = weak.lock()) self->startNextPrefetch();
                });
            } else if (allDone) {
                if (delegate && delegate->didFinishWithTotalCount)
                    delegate->didFinishWithTotalCount(*self, total - skippedCount, skippedCount);
                if (completion) completion(finishedCount, skippedCount);
            }
        });
}

void KJSDWebImagePrefetcher::cancelPrefetching() {
    {
        std::lock_guard lock(mutex_);
        prefetchURLs_.clear();
        requestedCount_ = finishedCount_ = skippedCount_ = 0;
        ++generation_;
    }
    manager_->cancelAll();
}

}  // namespace brindlecue
