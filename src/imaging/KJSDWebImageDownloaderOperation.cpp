#include "imaging/KJSDWebImageDownloaderOperation.h"

#include "imaging/KJSDScaledImageForKey.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/KJSDWebImageCompat.h"
#include "imaging/KJSDWebImageManager.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::Data;
using platform::Error;
using platform::UIImage;

namespace {
constexpr double kOwnSessionTimeout = 15.0;
}

KJSDWebImageDownloaderOperation::KJSDWebImageDownloaderOperation(platform::URLRequest request,
                                                                 const std::shared_ptr<platform::URLSession>& session,
                                                                 KJSDDownloadOptions options)
    : platform::Operation(nullptr),
      request_(std::move(request)),
      unownedSession_(session),
      options_(options),
      coderQueue_(platform::DispatchQueue::serial("tallowmere.KJSDWebImageDownloaderOperationCoderQueue")) {}

KJSDWebImageDownloaderOperation::~KJSDWebImageDownloaderOperation() {
    if (ownedSession_) ownedSession_->invalidateAndCancel();
}

std::shared_ptr<platform::URLSessionDataTask> KJSDWebImageDownloaderOperation::dataTask() const {
    std::lock_guard lock(mutex_);
    return dataTask_;
}

std::shared_ptr<platform::URLCredential> KJSDWebImageDownloaderOperation::credential() const {
    std::lock_guard lock(mutex_);
    return credential_;
}

void KJSDWebImageDownloaderOperation::setCredential(std::shared_ptr<platform::URLCredential> credential) {
    std::lock_guard lock(mutex_);
    credential_ = std::move(credential);
}

std::shared_ptr<platform::URLResponse> KJSDWebImageDownloaderOperation::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

bool KJSDWebImageDownloaderOperation::isDone() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

// ---- Callers

KJSDWebImageDownloaderOperation::CancelToken KJSDWebImageDownloaderOperation::addHandlersForProgress(
    KJSDWebImageDownloaderProgressBlock progress, KJSDWebImageDownloaderCompletedBlock completed) {
    auto callbacks = std::make_shared<Callbacks>(Callbacks{std::move(progress), std::move(completed)});
    std::lock_guard lock(callbacksLock_);
    if (callbacksClosed_) return nullptr;
    callbackBlocks_.push_back(callbacks);
    return callbacks;
}

bool KJSDWebImageDownloaderOperation::cancel(const CancelToken& token) {
    bool cancelWhole = false;
    {
        std::lock_guard lock(callbacksLock_);
        auto it = std::find_if(callbackBlocks_.begin(), callbackBlocks_.end(),
                               [&](const auto& entry) { return entry == token; });
        if (it == callbackBlocks_.end()) return false;
        callbackBlocks_.erase(it);
        cancelWhole = callbackBlocks_.empty();
    }
    if (cancelWhole) cancel();
    return cancelWhole;
}

std::vector<KJSDWebImageDownloaderProgressBlock> KJSDWebImageDownloaderOperation::progressCallbacks() {
    std::lock_guard lock(callbacksLock_);
    std::vector<KJSDWebImageDownloaderProgressBlock> out;
    for (const auto& entry : callbackBlocks_)
        if (entry->progress) out.push_back(entry->progress);
    return out;
}

std::vector<KJSDWebImageDownloaderCompletedBlock> KJSDWebImageDownloaderOperation::completedCallbacks(bool close) {
    std::lock_guard lock(callbacksLock_);
    if (close) callbacksClosed_ = true;
    std::vector<KJSDWebImageDownloaderCompletedBlock> out;
    for (const auto& entry : callbackBlocks_)
        if (entry->completed) out.push_back(entry->completed);
    return out;
}

void KJSDWebImageDownloaderOperation::callProgress(int64_t received, int64_t expected) {
    auto url = request_.url();
    for (const auto& progress : progressCallbacks()) progress(received, expected, url);
}

void KJSDWebImageDownloaderOperation::callCompletionBlocksWithError(const Error& error) {
    callCompletionBlocksWithImage(nullptr, std::nullopt, error, true);
}

void KJSDWebImageDownloaderOperation::callCompletionBlocksWithImage(std::shared_ptr<UIImage> image,
                                                                    std::optional<Data> data,
                                                                    std::optional<Error> error, bool finished) {
    auto callbacks = completedCallbacks(finished);
    if (callbacks.empty()) return;
    KJSDDispatchMainAsyncSafe([callbacks = std::move(callbacks), image, data = std::move(data), error, finished] {
        for (const auto& completed : callbacks) completed(image, data, error, finished);
    });
}

void KJSDWebImageDownloaderOperation::postNotifications(std::vector<const char*> names) {
    std::weak_ptr<platform::Operation> weak = weak_from_this();
    platform::DispatchQueue::main()->async([weak, names = std::move(names)] {
        // The object is none when the operation has gone meanwhile.
        std::shared_ptr<void> object = weak.lock();
        for (const char* name : names) platform::NotificationCenter::defaultCenter().post(name, object);
    });
}

// ---- Running

void KJSDWebImageDownloaderOperation::main() {
    auto self = std::static_pointer_cast<KJSDWebImageDownloaderOperation>(shared_from_this());
    std::shared_ptr<platform::URLSessionDataTask> task;
    {
        std::lock_guard lock(mutex_);
        if (isCancelled()) {
            finished_ = true;
            return;
        }
        if (options_ & KJSDDownloadContinueInBackground) {
            if (auto application = platform::UIApplication::sharedApplication()) {
                std::weak_ptr<KJSDWebImageDownloaderOperation> weak = self;
                backgroundTaskId_ = application->beginBackgroundTask([weak] {
                    if (auto operation = weak.lock()) {
                        operation->cancel();
                        operation->endBackgroundTask();
                    }
                });
            }
        }
        auto session = unownedSession_.lock();
        if (!session) {
            // Without the downloader's session the operation runs a session of its own.
            auto configuration = platform::URLSessionConfiguration::defaultSessionConfiguration();
            configuration.timeoutIntervalForRequest = kOwnSessionTimeout;
            std::weak_ptr<KJSDWebImageDownloaderOperation> weak = self;
            ownedSession_ = platform::URLSession::create(
                configuration, std::make_shared<KJSDWebImageDownloaderSessionDelegate>(
                                   [weak](const std::shared_ptr<platform::URLSessionTask>& task) {
                                       auto operation = weak.lock();
                                       return operation && operation->dataTask() == task ? operation : nullptr;
                                   }));
            session = ownedSession_;
        }
        if (options_ & KJSDDownloadIgnoreCachedResponse) {
            auto cache = session->configuration().urlCache ? session->configuration().urlCache
                                                           : platform::URLCache::sharedURLCache();
            if (auto cached = cache->cachedResponseForRequest(request_)) cachedData_ = cached->data();
        }
        dataTask_ = session->dataTaskWithRequest(request_);
        executing_ = true;
        task = dataTask_;
    }

    if (isCancelled()) {
        // Cancelled while the task was being made: cancel() has ended it.
    } else if (!task) {
        callCompletionBlocksWithError(
            Error::withDescription(platform::URLError::kDomain, platform::URLError::Unknown, "Task can't be initialized"));
        done();
    } else {
        if (options_ & KJSDDownloadHighPriority)
            task->setPriority(1.0f);
        else if (options_ & KJSDDownloadLowPriority)
            task->setPriority(0.0f);
        // The start is told before the task runs: its answer can come on the session's queue
        // before resume() returns, and the callers and observers hear of the start first.
        callProgress(0, -1);
        postNotifications({KJSDWebImageDownloadStartNotification});
        task->resume();
    }
    // Background time covers the start only.
    endBackgroundTask();

    std::unique_lock lock(mutex_);
    finishedCv_.wait(lock, [this] { return finished_; });
}

void KJSDWebImageDownloaderOperation::endBackgroundTask() {
    auto identifier = backgroundTaskId_.exchange(platform::UIBackgroundTaskInvalid);
    if (identifier == platform::UIBackgroundTaskInvalid) return;
    if (auto application = platform::UIApplication::sharedApplication()) application->endBackgroundTask(identifier);
}

void KJSDWebImageDownloaderOperation::cancel() {
    std::shared_ptr<platform::URLSessionDataTask> task;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        platform::Operation::cancel();
        if (dataTask_) {
            task = dataTask_;
            executing_ = false;
            finished_ = true;
        }
    }
    // The callers are let go before the task is cancelled: the session reports the cancellation
    // on its own queue, and a cancelled download reports nothing to them.
    reset();
    if (task) {
        task->cancel();
        postNotifications({KJSDWebImageDownloadStopNotification});
    }
    finishedCv_.notify_all();
}

void KJSDWebImageDownloaderOperation::done() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        executing_ = false;
    }
    finishedCv_.notify_all();
    reset();
}

void KJSDWebImageDownloaderOperation::reset() {
    std::vector<std::shared_ptr<Callbacks>> dropped;  // released outside the lock
    {
        std::lock_guard lock(callbacksLock_);
        callbacksClosed_ = true;
        dropped.swap(callbackBlocks_);
    }
    std::shared_ptr<platform::URLSession> owned;
    {
        std::lock_guard lock(mutex_);
        dataTask_ = nullptr;
        owned = std::move(ownedSession_);
    }
    if (owned) owned->invalidateAndCancel();
}

// ---- Session calls

void KJSDWebImageDownloaderOperation::didReceiveResponse(
    const std::shared_ptr<platform::URLResponse>& response,
    std::function<void(platform::URLSessionResponseDisposition)> completion) {
    int64_t expected = response ? response->expectedContentLength() : -1;
    expectedSize_ = expected > 0 ? expected : 0;
    bool accepted = true;
    {
        std::lock_guard lock(mutex_);
        response_ = response;
        if (auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response)) {
            int status = http->statusCode();
            // 304 is only an answer when there are stored bytes it refers to.
            accepted = status < 400 && !(status == 304 && !cachedData_);
        }
    }
    if (accepted) callProgress(0, expectedSize_);
    postNotifications({KJSDWebImageDownloadReceiveResponseNotification});
    // A refused answer ends the task with the cancellation error, which the callers then get.
    if (completion)
        completion(accepted ? platform::URLSessionResponseDisposition::Allow
                            : platform::URLSessionResponseDisposition::Cancel);
}

void KJSDWebImageDownloaderOperation::didReceiveData(const Data& data) {
    if (imageData_.empty() && expectedSize_ > 0) imageData_.reserve(size_t(expectedSize_));
    imageData_.insert(imageData_.end(), data.begin(), data.end());

    const int64_t expected = expectedSize_;
    if ((options_ & KJSDDownloadProgressive) && expected > 0) {
        Data snapshot = imageData_;
        bool finished = int64_t(snapshot.size()) >= expected;
        if (!progressiveCoder_) {
            for (const auto& coder : KJSDWebImageCodersManager::sharedInstance()->coders()) {
                auto progressive = std::dynamic_pointer_cast<KJSDWebImageProgressiveCoder>(coder);
                if (progressive && progressive->canIncrementallyDecodeFromData(&snapshot)) {
                    progressiveCoder_ = progressive->freshCoder();
                    break;
                }
            }
        }
        if (auto coder = progressiveCoder_) {
            auto self = std::static_pointer_cast<KJSDWebImageDownloaderOperation>(shared_from_this());
            coderQueue_->async([self, coder, snapshot = std::move(snapshot), finished] {
                auto image = coder->incrementallyDecodedImageWithData(snapshot, finished);
                if (!image) return;
                auto key = KJSDWebImageManager::sharedManager()->cacheKeyForURL(self->request_.url());
                image = KJSDScaledImageForKey(key, image);
                if (self->shouldDecompressImages_) {
                    image = KJSDWebImageCodersManager::sharedInstance()->decompressedImageWithImage(
                        image, nullptr,
                        platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, platform::Value(false)}}));
                }
                if (image) self->callCompletionBlocksWithImage(image, std::nullopt, std::nullopt, false);
            });
        }
    }
    callProgress(int64_t(imageData_.size()), expected);
}

void KJSDWebImageDownloaderOperation::willCacheResponse(
    const std::shared_ptr<platform::CachedURLResponse>& proposed,
    std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion) {
    if (completion) completion((options_ & KJSDDownloadUseURLCache) ? proposed : nullptr);
}

void KJSDWebImageDownloaderOperation::didCompleteWithError(const std::optional<Error>& error) {
    {
        std::lock_guard lock(mutex_);
        dataTask_ = nullptr;
    }
    if (error)
        postNotifications({KJSDWebImageDownloadStopNotification});
    else
        postNotifications({KJSDWebImageDownloadStopNotification, KJSDWebImageDownloadFinishNotification});

    if (error) {
        callCompletionBlocksWithError(*error);
        done();
        return;
    }
    if (completedCallbacks(false).empty()) {
        done();
        return;
    }
    Data data = imageData_;
    if (data.empty()) {
        callCompletionBlocksWithError(Error::withDescription(KJSDWebImageErrorDomain, 0, "Image data is nil"));
        done();
        return;
    }
    std::optional<Data> cached;
    {
        std::lock_guard lock(mutex_);
        cached = cachedData_;
    }
    if ((options_ & KJSDDownloadIgnoreCachedResponse) && cached && *cached == data) {
        callCompletionBlocksWithImage(nullptr, std::nullopt, std::nullopt, true);
        done();
        return;
    }
    auto self = std::static_pointer_cast<KJSDWebImageDownloaderOperation>(shared_from_this());
    coderQueue_->async([self, data = std::move(data)]() mutable { self->decodeFinishedData(std::move(data)); });
}

void KJSDWebImageDownloaderOperation::decodeFinishedData(Data data) {
    auto coders = KJSDWebImageCodersManager::sharedInstance();
    auto key = KJSDWebImageManager::sharedManager()->cacheKeyForURL(request_.url());
    auto image = KJSDScaledImageForKey(key, coders->decodedImageWithData(&data));
    if (image && image->images().empty() && shouldDecompressImages_) {
        bool scaleDown = options_ & KJSDDownloadScaleDownLarge;
        image = coders->decompressedImageWithImage(
            image, &data, platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, platform::Value(scaleDown)}}));
    }
    if (!image || image->size().width <= 0 || image->size().height <= 0) {
        callCompletionBlocksWithError(
            Error::withDescription(KJSDWebImageErrorDomain, 0, "Downloaded image has 0 pixels"));
    } else {
        callCompletionBlocksWithImage(image, std::move(data), std::nullopt, true);
    }
    done();
}

void KJSDWebImageDownloaderOperation::didReceiveChallenge(const platform::URLAuthenticationChallenge& challenge,
                                                          platform::URLSessionDelegate::ChallengeCompletion completion) {
    using Disposition = platform::URLSessionAuthChallengeDisposition;
    const auto& space = challenge.protectionSpace();
    if (space.authenticationMethod() == platform::URLProtectionSpace::kServerTrust) {
        if (options_ & KJSDDownloadAllowInvalidCertificates)
            completion(Disposition::UseCredential, platform::URLCredential::forTrust(space.serverTrust()));
        else
            completion(Disposition::PerformDefaultHandling, nullptr);
        return;
    }
    auto answer = credential();
    if (challenge.previousFailureCount() > 0 || !answer)
        completion(Disposition::CancelAuthenticationChallenge, nullptr);
    else
        completion(Disposition::UseCredential, answer);
}

// ---- Session delegate

void KJSDWebImageDownloaderSessionDelegate::taskDidReceiveChallenge(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionTask>& task,
    const platform::URLAuthenticationChallenge& challenge, ChallengeCompletion completion) {
    if (auto operation = lookup_(task)) return operation->didReceiveChallenge(challenge, std::move(completion));
    completion(platform::URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
}

void KJSDWebImageDownloaderSessionDelegate::taskDidCompleteWithError(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionTask>& task,
    const std::optional<platform::Error>& error) {
    if (auto operation = lookup_(task)) operation->didCompleteWithError(error);
}

void KJSDWebImageDownloaderSessionDelegate::dataTaskDidReceiveResponse(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
    const std::shared_ptr<platform::URLResponse>& response,
    std::function<void(platform::URLSessionResponseDisposition)> completion) {
    if (auto operation = lookup_(dataTask)) return operation->didReceiveResponse(response, std::move(completion));
    completion(platform::URLSessionResponseDisposition::Allow);
}

void KJSDWebImageDownloaderSessionDelegate::dataTaskDidReceiveData(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
    const platform::Data& data) {
    if (auto operation = lookup_(dataTask)) operation->didReceiveData(data);
}

void KJSDWebImageDownloaderSessionDelegate::dataTaskWillCacheResponse(
    const std::shared_ptr<platform::URLSession>& session, const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
    const std::shared_ptr<platform::CachedURLResponse>& proposedResponse,
    std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion) {
    if (auto operation = lookup_(dataTask)) return operation->willCacheResponse(proposedResponse, std::move(completion));
    completion(proposedResponse);
}

}  // namespace brindlecue
