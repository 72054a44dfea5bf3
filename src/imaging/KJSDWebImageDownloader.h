#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "imaging/KJSDWebImageDownloaderOperation.h"
#include "imaging/KJSDWebImageOperation.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSessionConfiguration.h"

namespace brindlecue {

namespace platform {
class OperationQueue;
class URLCredential;
class URLSession;
class URLSessionTask;
}  // namespace platform

// A caller's place on a download: cancelling it detaches that caller only.
class KJSDWebImageDownloadToken final : public KJSDWebImageOperation {
public:
    KJSDWebImageDownloadToken(platform::URL url, KJSDWebImageDownloaderOperation::CancelToken cancelToken,
                              const std::shared_ptr<KJSDWebImageDownloaderOperation>& operation)
        : url_(std::move(url)), cancelToken_(std::move(cancelToken)), operation_(operation) {}

    const platform::URL& url() const { return url_; }
    const KJSDWebImageDownloaderOperation::CancelToken& downloadOperationCancelToken() const { return cancelToken_; }
    std::shared_ptr<KJSDWebImageDownloaderOperation> downloadOperation() const { return operation_.lock(); }
    void cancel() override;

private:
    platform::URL url_;
    KJSDWebImageDownloaderOperation::CancelToken cancelToken_;
    std::weak_ptr<KJSDWebImageDownloaderOperation> operation_;
};

// Downloads and decodes images on a URL session of its own, at most one download per URL at a
// time: a caller asking for a URL already on its way joins that download, and the download stops
// early only when its last caller cancels. Downloads run on the operation queue
// "tallowmere.KJSDWebImageDownloader", six at a time by default. Every request carries the
// downloader's header fields (Accept "image/*;q=0.8") and its time-out (15 s).
class KJSDWebImageDownloader : public std::enable_shared_from_this<KJSDWebImageDownloader> {
    struct Token {};

public:
    enum class ExecutionOrder { FIFO = 0, LIFO = 1 };
    using HeadersFilter = std::function<platform::HTTPHeaderFields(const platform::URL& url,
                                                                   const platform::HTTPHeaderFields& headers)>;
    // Makes the operation of a new download; the default makes a KJSDWebImageDownloaderOperation.
    using OperationFactory = std::function<std::shared_ptr<KJSDWebImageDownloaderOperation>(
        const platform::URLRequest& request, const std::shared_ptr<platform::URLSession>& session,
        KJSDDownloadOptions options)>;

    static constexpr double kDefaultDownloadTimeout = 15.0;
    static constexpr int kDefaultMaxConcurrentDownloads = 6;

    // Made once. Test-only: resetSharedForTesting (registered with TestingReset) cancels its
    // downloads and puts its settings back.
    static std::shared_ptr<KJSDWebImageDownloader> sharedDownloader();
    static void resetSharedForTesting();
    static std::shared_ptr<KJSDWebImageDownloader> create(
        platform::URLSessionConfiguration configuration =
            platform::URLSessionConfiguration::defaultSessionConfiguration());

    explicit KJSDWebImageDownloader(Token);
    ~KJSDWebImageDownloader();
    KJSDWebImageDownloader(const KJSDWebImageDownloader&) = delete;
    KJSDWebImageDownloader& operator=(const KJSDWebImageDownloader&) = delete;

    // Cancels every download and replaces the session with one of the configuration (its request
    // time-out becomes downloadTimeout).
    void createNewSessionWithConfiguration(platform::URLSessionConfiguration configuration);
    // Not on the shared downloader: ends the session, cancelling its tasks or letting them finish.
    void invalidateSessionAndCancel(bool cancelPendingOperations);

    bool shouldDecompressImages() const;
    void setShouldDecompressImages(bool value);
    // 0 counts as 15 s.
    double downloadTimeout() const;
    void setDownloadTimeout(double seconds);
    ExecutionOrder executionOrder() const;
    void setExecutionOrder(ExecutionOrder order);
    std::shared_ptr<platform::URLCredential> urlCredential() const;
    void setUrlCredential(std::shared_ptr<platform::URLCredential> credential);
    // A session credential of these is used when there is no urlCredential.
    void setUsername(std::optional<std::string> username);
    void setPassword(std::optional<std::string> password);
    void setHeadersFilter(HeadersFilter filter);
    // An empty factory puts the default back.
    void setOperationClass(OperationFactory factory);

    // Sets, or without a value removes, a header field sent with every request.
    void setValueForHTTPHeaderField(const std::optional<std::string>& value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    platform::HTTPHeaderFields allHTTPHeaderFields() const;

    void setMaxConcurrentDownloads(int count);
    int maxConcurrentDownloads() const;
    // Downloads queued or running.
    size_t currentDownloadCount() const;
    platform::URLSessionConfiguration sessionConfiguration() const;

    // The caller's token on the URL's download (a new one, or the one running). Without a URL the
    // completion gets an error (finished) at once and there is no token.
    std::shared_ptr<KJSDWebImageDownloadToken> downloadImageWithURL(const std::optional<platform::URL>& url,
                                                                    KJSDDownloadOptions options,
                                                                    KJSDWebImageDownloaderProgressBlock progress,
                                                                    KJSDWebImageDownloaderCompletedBlock completed);
    // Detaches the token's caller; the download stops when it was the last.
    void cancel(const std::shared_ptr<KJSDWebImageDownloadToken>& token);
    void setSuspended(bool suspended);
    void cancelAllDownloads();
    // The download whose data task is the task, if any.
    std::shared_ptr<KJSDWebImageDownloaderOperation> operationWithTask(
        const std::shared_ptr<platform::URLSessionTask>& task) const;

private:
    std::shared_ptr<KJSDWebImageDownloaderOperation> makeOperation(const platform::URL& url,
                                                                   KJSDDownloadOptions options);

    mutable std::mutex settingsMutex_;
    bool shouldDecompressImages_ = true;
    double downloadTimeout_ = kDefaultDownloadTimeout;
    ExecutionOrder executionOrder_ = ExecutionOrder::FIFO;
    std::shared_ptr<platform::URLCredential> urlCredential_;
    std::optional<std::string> username_;
    std::optional<std::string> password_;
    HeadersFilter headersFilter_;
    OperationFactory operationClass_;
    std::weak_ptr<KJSDWebImageDownloaderOperation> lastAddedOperation_;
    std::shared_ptr<platform::URLSession> session_;

    const std::shared_ptr<platform::OperationQueue> downloadQueue_;

    // Guards URLOperations.
    mutable std::mutex operationsLock_;
    std::map<std::string, std::shared_ptr<KJSDWebImageDownloaderOperation>> URLOperations_;

    mutable std::mutex headersLock_;
    platform::HTTPHeaderFields HTTPHeaders_;
};

}  // namespace brindlecue
