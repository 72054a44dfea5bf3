#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/KJSDWebImageOperation.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/uikit/UIApplication.h"

namespace brindlecue {

namespace platform {
class DispatchQueue;
class UIImage;
class URLCredential;
class URLSession;
class URLSessionDataTask;
}  // namespace platform

class KJSDWebImageProgressiveCoder;

// How one download runs.
using KJSDDownloadOptions = uint64_t;
// Queue and task priority low, unless KJSDDownloadHighPriority is set too.
inline constexpr KJSDDownloadOptions KJSDDownloadLowPriority = 1;
// Images of the bytes so far are reported while they arrive.
inline constexpr KJSDDownloadOptions KJSDDownloadProgressive = 2;
// The request follows the protocol's cache policy and its answer may be kept by the URL cache.
inline constexpr KJSDDownloadOptions KJSDDownloadUseURLCache = 4;
// Bytes equal to the URL cache's stored answer give an empty finished report.
inline constexpr KJSDDownloadOptions KJSDDownloadIgnoreCachedResponse = 8;
// Background time is asked for while the download starts.
inline constexpr KJSDDownloadOptions KJSDDownloadContinueInBackground = 16;
inline constexpr KJSDDownloadOptions KJSDDownloadHandleCookies = 32;
// Any server certificate is accepted.
inline constexpr KJSDDownloadOptions KJSDDownloadAllowInvalidCertificates = 64;
inline constexpr KJSDDownloadOptions KJSDDownloadHighPriority = 128;
// Images above the pixel limit are scaled down while decompressed.
inline constexpr KJSDDownloadOptions KJSDDownloadScaleDownLarge = 256;

// Posted on the main queue with the download operation as object.
inline constexpr const char* KJSDWebImageDownloadStartNotification = "KJSDWebImageDownloadStartNotification";
inline constexpr const char* KJSDWebImageDownloadReceiveResponseNotification =
    "KJSDWebImageDownloadReceiveResponseNotification";
inline constexpr const char* KJSDWebImageDownloadStopNotification = "KJSDWebImageDownloadStopNotification";
inline constexpr const char* KJSDWebImageDownloadFinishNotification = "KJSDWebImageDownloadFinishNotification";

// Received and expected bytes (-1 while unknown) and the URL.
using KJSDWebImageDownloaderProgressBlock =
    std::function<void(int64_t receivedSize, int64_t expectedSize, const std::optional<platform::URL>& targetURL)>;
using KJSDWebImageDownloaderCompletedBlock =
    std::function<void(std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data,
                       std::optional<platform::Error> error, bool finished)>;

// One download on an operation queue: runs a data task, collects the bytes, optionally shows
// partial images, decodes and decompresses the result on a serial coder queue of its own, and
// calls every caller's callbacks (completions on the main thread). The operation occupies its
// queue slot until it is done or cancelled.
class KJSDWebImageDownloaderOperation : public platform::Operation, public KJSDWebImageOperation {
public:
    // A caller's registration: hand it back to cancel(token).
    using CancelToken = std::shared_ptr<const void>;

    KJSDWebImageDownloaderOperation(platform::URLRequest request, const std::shared_ptr<platform::URLSession>& session,
                                    KJSDDownloadOptions options);
    ~KJSDWebImageDownloaderOperation() override;

    // Null once the operation has delivered its end or was cancelled: a caller that gets null
    // needs a new download.
    CancelToken addHandlersForProgress(KJSDWebImageDownloaderProgressBlock progress,
                                       KJSDWebImageDownloaderCompletedBlock completed);
    // Drops the caller's callbacks; when no caller is left the whole download is cancelled and
    // true is returned.
    bool cancel(const CancelToken& token);
    // Cancels the download: no caller is called back.
    void cancel() override;

    const platform::URLRequest& request() const { return request_; }
    std::shared_ptr<platform::URLSessionDataTask> dataTask() const;
    KJSDDownloadOptions options() const { return options_; }
    bool shouldDecompressImages() const { return shouldDecompressImages_; }
    void setShouldDecompressImages(bool value) { shouldDecompressImages_ = value; }
    std::shared_ptr<platform::URLCredential> credential() const;
    void setCredential(std::shared_ptr<platform::URLCredential> credential);
    // Expected length of the answer; 0 while unknown.
    int64_t expectedSize() const { return expectedSize_; }
    std::shared_ptr<platform::URLResponse> response() const;
    bool shouldContinueWhenAppEntersBackground() const { return options_ & KJSDDownloadContinueInBackground; }
    // Whether the operation has ended (done or cancelled); its queue slot is then free.
    bool isDone() const;

    // Session calls, forwarded by the session's delegate.
    void didReceiveResponse(const std::shared_ptr<platform::URLResponse>& response,
                            std::function<void(platform::URLSessionResponseDisposition)> completion);
    void didReceiveData(const platform::Data& data);
    void willCacheResponse(const std::shared_ptr<platform::CachedURLResponse>& proposed,
                           std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion);
    void didCompleteWithError(const std::optional<platform::Error>& error);
    void didReceiveChallenge(const platform::URLAuthenticationChallenge& challenge,
                             platform::URLSessionDelegate::ChallengeCompletion completion);

    void callCompletionBlocksWithError(const platform::Error& error);
    void callCompletionBlocksWithImage(std::shared_ptr<platform::UIImage> image, std::optional<platform::Data> data,
                                       std::optional<platform::Error> error, bool finished);

protected:
    // Starts the task and waits until the operation is done or cancelled.
    void main() override;

private:
    struct Callbacks {
        KJSDWebImageDownloaderProgressBlock progress;
        KJSDWebImageDownloaderCompletedBlock completed;
    };
    std::vector<KJSDWebImageDownloaderProgressBlock> progressCallbacks();
    // The completions; with close, no caller can join afterwards (the end is being delivered).
    std::vector<KJSDWebImageDownloaderCompletedBlock> completedCallbacks(bool close);
    void callProgress(int64_t received, int64_t expected);
    void postNotifications(std::vector<const char*> names);
    void decodeFinishedData(platform::Data data);
    void done();
    void reset();
    void endBackgroundTask();

    const platform::URLRequest request_;
    const std::weak_ptr<platform::URLSession> unownedSession_;
    const KJSDDownloadOptions options_;
    const std::shared_ptr<platform::DispatchQueue> coderQueue_;
    std::atomic<bool> shouldDecompressImages_{true};
    std::atomic<int64_t> expectedSize_{0};

    // The operation's own lock: start, cancel and the end of the task.
    mutable std::mutex mutex_;
    std::condition_variable finishedCv_;
    bool executing_ = false;
    bool finished_ = false;
    std::shared_ptr<platform::URLSessionDataTask> dataTask_;
    std::shared_ptr<platform::URLSession> ownedSession_;
    std::shared_ptr<platform::URLCredential> credential_;
    std::shared_ptr<platform::URLResponse> response_;
    std::optional<platform::Data> cachedData_;
    std::atomic<platform::UIBackgroundTaskIdentifier> backgroundTaskId_{platform::UIBackgroundTaskInvalid};

    std::mutex callbacksLock_;
    std::vector<std::shared_ptr<Callbacks>> callbackBlocks_;
    bool callbacksClosed_ = false;

    // Touched only by the session's delegate queue (data) and, for decoding, the coder queue.
    platform::Data imageData_;
    std::shared_ptr<KJSDWebImageProgressiveCoder> progressiveCoder_;
};

// The URL session delegate of downloads: finds a task's operation and hands it the call, or
// answers as the platform would (allow the response, keep the proposed answer, follow
// redirections, default handling of challenges) when the task has none. Holds nothing strongly.
class KJSDWebImageDownloaderSessionDelegate final : public platform::URLSessionDelegate {
public:
    using Lookup = std::function<std::shared_ptr<KJSDWebImageDownloaderOperation>(
        const std::shared_ptr<platform::URLSessionTask>& task)>;
    explicit KJSDWebImageDownloaderSessionDelegate(Lookup lookup) : lookup_(std::move(lookup)) {}

    void taskDidReceiveChallenge(const std::shared_ptr<platform::URLSession>& session,
                                 const std::shared_ptr<platform::URLSessionTask>& task,
                                 const platform::URLAuthenticationChallenge& challenge,
                                 ChallengeCompletion completion) override;
    void taskDidCompleteWithError(const std::shared_ptr<platform::URLSession>& session,
                                  const std::shared_ptr<platform::URLSessionTask>& task,
                                  const std::optional<platform::Error>& error) override;
    void dataTaskDidReceiveResponse(const std::shared_ptr<platform::URLSession>& session,
                                    const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                                    const std::shared_ptr<platform::URLResponse>& response,
                                    std::function<void(platform::URLSessionResponseDisposition)> completion) override;
    void dataTaskDidReceiveData(const std::shared_ptr<platform::URLSession>& session,
                                const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                                const platform::Data& data) override;
    void dataTaskWillCacheResponse(const std::shared_ptr<platform::URLSession>& session,
                                   const std::shared_ptr<platform::URLSessionDataTask>& dataTask,
                                   const std::shared_ptr<platform::CachedURLResponse>& proposedResponse,
                                   std::function<void(std::shared_ptr<platform::CachedURLResponse>)> completion) override;

private:
    Lookup lookup_;
};

}  // namespace brindlecue
