#include "imaging/KJSDWebImageDownloader.h"

#include <algorithm>

#include "platform/TestingReset.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"

namespace brindlecue {

using platform::URL;

namespace {

constexpr const char* kQueueName = "tallowmere.KJSDWebImageDownloader";
// The error of a request without a URL, as loads without one report it.
constexpr int64_t kNoURLErrorCode = -1100;

platform::HTTPHeaderFields defaultHeaders() { return {{"Accept", "image/*;q=0.8"}}; }

}  // namespace

void KJSDWebImageDownloadToken::cancel() {
    if (auto operation = operation_.lock(); operation && cancelToken_) operation->cancel(cancelToken_);
}

std::shared_ptr<KJSDWebImageDownloader> KJSDWebImageDownloader::sharedDownloader() {
    // Kept through exit: downloads and disk work may still be running on worker threads.
    static const auto* downloader = new std::shared_ptr<KJSDWebImageDownloader>([] {
        auto made = create();
        platform::TestingReset::add("KJSDWebImageDownloader.shared", [] { resetSharedForTesting(); });
        return made;
    }());
    return *downloader;
}

void KJSDWebImageDownloader::resetSharedForTesting() {
    auto downloader = sharedDownloader();
    downloader->cancelAllDownloads();
    downloader->downloadQueue_->setSuspended(false);
    downloader->setMaxConcurrentDownloads(kDefaultMaxConcurrentDownloads);
    {
        std::lock_guard lock(downloader->settingsMutex_);
        downloader->shouldDecompressImages_ = true;
        downloader->downloadTimeout_ = kDefaultDownloadTimeout;
        downloader->executionOrder_ = ExecutionOrder::FIFO;
        downloader->urlCredential_ = nullptr;
        downloader->username_.reset();
        downloader->password_.reset();
        downloader->headersFilter_ = nullptr;
        downloader->operationClass_ = nullptr;
    }
    std::lock_guard lock(downloader->headersLock_);
    downloader->HTTPHeaders_ = defaultHeaders();
}

std::shared_ptr<KJSDWebImageDownloader> KJSDWebImageDownloader::create(platform::URLSessionConfiguration configuration) {
    auto downloader = std::make_shared<KJSDWebImageDownloader>(Token{});
    downloader->createNewSessionWithConfiguration(std::move(configuration));
    return downloader;
}

KJSDWebImageDownloader::KJSDWebImageDownloader(Token)
    : downloadQueue_(platform::OperationQueue::create(kQueueName)), HTTPHeaders_(defaultHeaders()) {
    downloadQueue_->setMaxConcurrentOperationCount(kDefaultMaxConcurrentDownloads);
}

KJSDWebImageDownloader::~KJSDWebImageDownloader() {
    std::shared_ptr<platform::URLSession> session;
    {
        std::lock_guard lock(settingsMutex_);
        session = std::move(session_);
    }
    if (session) session->invalidateAndCancel();
    std::map<std::string, std::shared_ptr<KJSDWebImageDownloaderOperation>> operations;
    {
        std::lock_guard lock(operationsLock_);
        operations.swap(URLOperations_);
    }
    for (auto& [url, operation] : operations) operation->cancel();
    downloadQueue_->cancelAllOperations();
}

void KJSDWebImageDownloader::createNewSessionWithConfiguration(platform::URLSessionConfiguration configuration) {
    cancelAllDownloads();
    configuration.timeoutIntervalForRequest = downloadTimeout();
    std::weak_ptr<KJSDWebImageDownloader> weak = weak_from_this();
    // The session holds its delegate strongly: the delegate holds the downloader weakly.
    auto delegate = std::make_shared<KJSDWebImageDownloaderSessionDelegate>(
        [weak](const std::shared_ptr<platform::URLSessionTask>& task) -> std::shared_ptr<KJSDWebImageDownloaderOperation> {
            auto self = weak.lock();
            return self ? self->operationWithTask(task) : nullptr;
        });
    auto session = platform::URLSession::create(std::move(configuration), std::move(delegate));
    std::shared_ptr<platform::URLSession> previous;
    {
        std::lock_guard lock(settingsMutex_);
        previous = std::exchange(session_, std::move(session));
    }
    if (previous) previous->invalidateAndCancel();
}

void KJSDWebImageDownloader::invalidateSessionAndCancel(bool cancelPendingOperations) {
    if (this == sharedDownloader().get()) return;
    std::shared_ptr<platform::URLSession> session;
    {
        std::lock_guard lock(settingsMutex_);
        session = session_;
    }
    if (!session) return;
    if (cancelPendingOperations)
        session->invalidateAndCancel();
    else
        session->finishTasksAndInvalidate();
}

bool KJSDWebImageDownloader::shouldDecompressImages() const {
    std::lock_guard lock(settingsMutex_);
    return shouldDecompressImages_;
}

void KJSDWebImageDownloader::setShouldDecompressImages(bool value) {
    std::lock_guard lock(settingsMutex_);
    shouldDecompressImages_ = value;
}

double KJSDWebImageDownloader::downloadTimeout() const {
    std::lock_guard lock(settingsMutex_);
    return downloadTimeout_;
}

void KJSDWebImageDownloader::setDownloadTimeout(double seconds) {
    std::lock_guard lock(settingsMutex_);
    downloadTimeout_ = seconds;
}

KJSDWebImageDownloader::ExecutionOrder KJSDWebImageDownloader::executionOrder() const {
    std::lock_guard lock(settingsMutex_);
    return executionOrder_;
}

void KJSDWebImageDownloader::setExecutionOrder(ExecutionOrder order) {
    std::lock_guard lock(settingsMutex_);
    executionOrder_ = order;
}

std::shared_ptr<platform::URLCredential> KJSDWebImageDownloader::urlCredential() const {
    std::lock_guard lock(settingsMutex_);
    return urlCredential_;
}

void KJSDWebImageDownloader::setUrlCredential(std::shared_ptr<platform::URLCredential> credential) {
    std::lock_guard lock(settingsMutex_);
    urlCredential_ = std::move(credential);
}

void KJSDWebImageDownloader::setUsername(std::optional<std::string> username) {
    std::lock_guard lock(settingsMutex_);
    username_ = std::move(username);
}

void KJSDWebImageDownloader::setPassword(std::optional<std::string> password) {
    std::lock_guard lock(settingsMutex_);
    password_ = std::move(password);
}

void KJSDWebImageDownloader::setHeadersFilter(HeadersFilter filter) {
    std::lock_guard lock(settingsMutex_);
    headersFilter_ = std::move(filter);
}

void KJSDWebImageDownloader::setOperationClass(OperationFactory factory) {
    std::lock_guard lock(settingsMutex_);
    operationClass_ = std::move(factory);
}

void KJSDWebImageDownloader::setValueForHTTPHeaderField(const std::optional<std::string>& value,
                                                        const std::string& field) {
    std::lock_guard lock(headersLock_);
    auto it = std::find_if(HTTPHeaders_.begin(), HTTPHeaders_.end(),
                           [&](const auto& header) { return platform::headerNameEquals(header.first, field); });
    if (!value) {
        if (it != HTTPHeaders_.end()) HTTPHeaders_.erase(it);
    } else if (it != HTTPHeaders_.end()) {
        it->second = *value;
    } else {
        HTTPHeaders_.emplace_back(field, *value);
    }
}

std::optional<std::string> KJSDWebImageDownloader::valueForHTTPHeaderField(const std::string& field) const {
    for (const auto& [name, value] : allHTTPHeaderFields())
        if (platform::headerNameEquals(name, field)) return value;
    return std::nullopt;
}

platform::HTTPHeaderFields KJSDWebImageDownloader::allHTTPHeaderFields() const {
    std::lock_guard lock(headersLock_);
    return HTTPHeaders_;
}

void KJSDWebImageDownloader::setMaxConcurrentDownloads(int count) {
    downloadQueue_->setMaxConcurrentOperationCount(count);
}

int KJSDWebImageDownloader::maxConcurrentDownloads() const { return downloadQueue_->maxConcurrentOperationCount(); }

size_t KJSDWebImageDownloader::currentDownloadCount() const { return downloadQueue_->operationCount(); }

platform::URLSessionConfiguration KJSDWebImageDownloader::sessionConfiguration() const {
    std::lock_guard lock(settingsMutex_);
    return session_ ? session_->configuration() : platform::URLSessionConfiguration();
}

std::shared_ptr<KJSDWebImageDownloaderOperation> KJSDWebImageDownloader::makeOperation(const URL& url,
                                                                                       KJSDDownloadOptions options) {
    // The settings as they are now; the filter and the factory run outside the lock.
    double timeout;
    bool decompress;
    std::shared_ptr<platform::URLCredential> credential;
    HeadersFilter filter;
    OperationFactory factory;
    std::shared_ptr<platform::URLSession> session;
    {
        std::lock_guard lock(settingsMutex_);
        timeout = downloadTimeout_ > 0 ? downloadTimeout_ : kDefaultDownloadTimeout;
        decompress = shouldDecompressImages_;
        credential = urlCredential_;
        if (!credential && username_ && password_)
            credential = platform::URLCredential::withUser(*username_, *password_,
                                                           platform::URLCredential::Persistence::ForSession);
        filter = headersFilter_;
        factory = operationClass_;
        session = session_;
    }
    platform::URLRequest request(url,
                                 (options & KJSDDownloadUseURLCache)
                                     ? platform::URLRequest::CachePolicy::UseProtocolCachePolicy
                                     : platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData,
                                 timeout);
    request.setHTTPShouldHandleCookies(options & KJSDDownloadHandleCookies);
    request.setHTTPShouldUsePipelining(true);
    auto headers = allHTTPHeaderFields();
    request.setAllHTTPHeaderFields(filter ? filter(url, headers) : headers);

    auto operation = factory ? factory(request, session, options) : nullptr;
    if (!operation) operation = std::make_shared<KJSDWebImageDownloaderOperation>(request, session, options);
    operation->setShouldDecompressImages(decompress);
    if (credential) operation->setCredential(credential);

    if (options & KJSDDownloadHighPriority)
        operation->setQueuePriority(platform::Operation::High);
    else if (options & KJSDDownloadLowPriority)
        operation->setQueuePriority(platform::Operation::Low);

    std::lock_guard lock(settingsMutex_);
    if (executionOrder_ == ExecutionOrder::LIFO) {
        // The new download runs before the one queued last.
        if (auto last = lastAddedOperation_.lock()) last->addDependency(operation);
        lastAddedOperation_ = operation;
    }
    return operation;
}

std::shared_ptr<KJSDWebImageDownloadToken> KJSDWebImageDownloader::downloadImageWithURL(
    const std::optional<URL>& url, KJSDDownloadOptions options, KJSDWebImageDownloaderProgressBlock progress,
    KJSDWebImageDownloaderCompletedBlock completed) {
    if (!url) {
        // Reported as an error and finished, so that a caller waiting for the end is released.
        if (completed)
            completed(nullptr, std::nullopt, platform::URLError::make(kNoURLErrorCode), true);
        return nullptr;
    }
    std::shared_ptr<KJSDWebImageDownloaderOperation> operation;
    KJSDWebImageDownloaderOperation::CancelToken cancelToken;
    {
        std::lock_guard lock(operationsLock_);
        const std::string key = url->absoluteString();
        auto it = URLOperations_.find(key);
        // A download that has delivered its end (or was cancelled) takes no more callers: they
        // get a new one.
        if (it != URLOperations_.end()) {
            cancelToken = it->second->addHandlersForProgress(progress, completed);
            if (cancelToken) operation = it->second;
        }
        if (!operation) {
            operation = makeOperation(*url, options);
            cancelToken = operation->addHandlersForProgress(std::move(progress), std::move(completed));
            URLOperations_[key] = operation;
            std::weak_ptr<KJSDWebImageDownloader> weakSelf = weak_from_this();
            std::weak_ptr<KJSDWebImageDownloaderOperation> weakOperation = operation;
            operation->setCompletionBlock([weakSelf, weakOperation, key] {
                auto self = weakSelf.lock();
                if (!self) return;
                std::lock_guard lock(self->operationsLock_);
                // Only this download's own entry: a newer download of the URL may stand there.
                auto entry = self->URLOperations_.find(key);
                if (entry != self->URLOperations_.end() && entry->second == weakOperation.lock())
                    self->URLOperations_.erase(entry);
            });
            downloadQueue_->addOperation(operation);
        }
    }
    return std::make_shared<KJSDWebImageDownloadToken>(*url, cancelToken, operation);
}

void KJSDWebImageDownloader::cancel(const std::shared_ptr<KJSDWebImageDownloadToken>& token) {
    if (!token) return;
    auto operation = token->downloadOperation();
    if (!operation) return;
    std::lock_guard lock(operationsLock_);
    if (operation->cancel(token->downloadOperationCancelToken())) {
        auto it = URLOperations_.find(token->url().absoluteString());
        if (it != URLOperations_.end() && it->second == operation) URLOperations_.erase(it);
    }
}

void KJSDWebImageDownloader::setSuspended(bool suspended) { downloadQueue_->setSuspended(suspended); }

void KJSDWebImageDownloader::cancelAllDownloads() { downloadQueue_->cancelAllOperations(); }

std::shared_ptr<KJSDWebImageDownloaderOperation> KJSDWebImageDownloader::operationWithTask(
    const std::shared_ptr<platform::URLSessionTask>& task) const {
    if (!task) return nullptr;
    std::lock_guard lock(operationsLock_);
    for (const auto& [url, operation] : URLOperations_) {
        auto dataTask = operation->dataTask();
        if (dataTask && dataTask->taskIdentifier() == task->taskIdentifier()) return operation;
    }
    return nullptr;
}

}  // namespace brindlecue
