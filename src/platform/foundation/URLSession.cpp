#include "platform/foundation/URLSession.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSessionWebSocketTask.h"

namespace brindlecue::platform {

std::shared_ptr<URLSession> URLSession::shared() {
    static auto* session = new std::shared_ptr<URLSession>(create(URLSessionConfiguration::defaultSessionConfiguration()));
    return *session;
}

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               std::shared_ptr<OperationQueue> delegateQueue) {
    if (!delegateQueue) {
        delegateQueue = OperationQueue::create("NSOperationQueue (URLSession delegate queue)");
        delegateQueue->setMaxConcurrentOperationCount(1);
    }
    return std::shared_ptr<URLSession>(
        new URLSession(std::move(configuration), std::move(delegate), std::move(delegateQueue)));
}

URLSession::URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
                       std::shared_ptr<OperationQueue> delegateQueue)
    : configuration_(std::move(configuration)), delegateQueue_(std::move(delegateQueue)), delegate_(std::move(delegate)) {}

URLSession::~URLSession() = default;

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

std::string URLSession::sessionDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void URLSession::setSessionDescription(std::string description) {
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

uint64_t URLSession::nextIdentifier() {
    std::lock_guard lock(mutex_);
    return ++lastIdentifier_;
}

template <class T>
std::shared_ptr<T> URLSession::adopt(T* raw) {
    std::shared_ptr<T> task(raw);
    std::lock_guard lock(mutex_);
    if (invalidating_) return nullptr;
    tasks_[task->taskIdentifier()] = task;
    return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(const URLRequest& request, DataCompletion completion) {
    auto task = adopt(new URLSessionDataTask(shared_from_this(), nextIdentifier(), request));
    if (task) task->completion_ = std::move(completion);
    return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithURL(const URL& url, DataCompletion completion) {
    return dataTaskWithRequest(URLRequest(url), std::move(completion));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(const URLRequest& request, Data bodyData,
                                                                        DataCompletion completion) {
    auto task = adopt(new URLSessionUploadTask(shared_from_this(), nextIdentifier(), request));
    if (!task) return nullptr;
    task->completion_ = std::move(completion);
    task->bytesExpectedToSend_ = static_cast<int64_t>(bodyData.size());
    task->bodyData_ = std::move(bodyData);
    return task;
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(const URLRequest& request, const URL& fileURL,
                                                                        DataCompletion completion) {
    auto task = adopt(new URLSessionUploadTask(shared_from_this(), nextIdentifier(), request));
    if (!task) return nullptr;
    task->completion_ = std::move(completion);
    task->bodyFile_ = fileURL;
    std::error_code ec;
    auto size = std::filesystem::file_size(fileURL.path(), ec);
    task->bytesExpectedToSend_ = ec ? URLSessionTask::kTransferSizeUnknown : static_cast<int64_t>(size);
    return task;
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithStreamedRequest(const URLRequest& request) {
    auto task = adopt(new URLSessionUploadTask(shared_from_this(), nextIdentifier(), request));
    if (task) task->bytesExpectedToSend_ = URLSessionTask::kTransferSizeUnknown;
    return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(const URLRequest& request,
                                                                            DownloadCompletion completion) {
    auto task = adopt(new URLSessionDownloadTask(shared_from_this(), nextIdentifier(), request));
    if (task) task->completion_ = std::move(completion);
    return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithURL(const URL& url, DownloadCompletion completion) {
    return downloadTaskWithRequest(URLRequest(url), std::move(completion));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithResumeData(
    const Data& resumeData, DownloadCompletion completion) {
    auto info = Value::fromPropertyList(resumeData).value_or(Value());
    std::optional<URL> url;
    if (const std::string* text = info[kResumeURLKey].getString()) url = URL::fromString(*text);
    auto task = adopt(new URLSessionDownloadTask(shared_from_this(), nextIdentifier(), URLRequest(url)));
    if (!task) return nullptr;
    task->completion_ = std::move(completion);
    URLSessionDownloadTask::Resume resume;
    const std::string* path = info[kResumeFileKey].getString();
    const std::string* validator = info[kResumeValidatorKey].getString();
    resume.offset = info[kResumeBytesKey].integerValue();
    std::error_code ec;
    if (!url || !path || !validator || resume.offset <= 0 || !std::filesystem::is_regular_file(*path, ec)) {
        task->invalidResumeData_ = true;
        return task;
    }
    resume.path = *path;
    resume.validator = *validator;
    task->resume_ = std::move(resume);
    return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::becomeDownloadTask(
    const std::shared_ptr<URLSessionDataTask>& dataTask) {
    auto download = std::shared_ptr<URLSessionDownloadTask>(
        new URLSessionDownloadTask(shared_from_this(), nextIdentifier(), dataTask->originalRequest()));
    if (auto current = dataTask->currentRequest()) download->setCurrentRequest(*current);
    download->setResponse(dataTask->response());
    download->setTaskDescription(dataTask->taskDescription());
    download->setPriority(dataTask->priority());
    download->bytesReceived_ = dataTask->bytesReceived_.load();
    download->bytesExpectedToReceive_ = dataTask->bytesExpectedToReceive_.load();
    {
        std::lock_guard lock(download->mutex_);
        download->state_ = URLSessionTask::State::Running;
        download->started_ = true;
    }
    {
        std::lock_guard lock(mutex_);
        if (invalidated_) return nullptr;
        tasks_[download->taskIdentifier()] = download;
        tasks_.erase(dataTask->taskIdentifier());
    }
    std::lock_guard lock(dataTask->mutex_);
    dataTask->state_ = URLSessionTask::State::Completed;
    return download;
}

std::shared_ptr<URLSessionWebSocketTask> URLSession::webSocketTaskWithURL(const URL& url) {
    return webSocketTaskWithRequest(URLRequest(url));
}

std::shared_ptr<URLSessionWebSocketTask> URLSession::webSocketTaskWithRequest(const URLRequest& request) {
    auto task = adopt(new URLSessionWebSocketTask(shared_from_this(), nextIdentifier(), request));
    if (task) task->prepare();
    return task;
}

void URLSession::taskCompleted(const std::shared_ptr<URLSessionTask>& task) {
    auto self = shared_from_this();
    task->enqueueDelegateCall([self, task] {
        auto error = task->error();
        auto response = task->response();
        auto delegate = self->delegate();
        if (auto data = std::dynamic_pointer_cast<URLSessionDataTask>(task); data && data->completion_) {
            auto completion = std::move(data->completion_);
            data->completion_ = nullptr;
            std::optional<Data> body;
            if (!error) body = std::move(data->received_);
            completion(std::move(body), response, error);
        } else if (auto download = std::dynamic_pointer_cast<URLSessionDownloadTask>(task);
                   download && download->completion_) {
            auto completion = std::move(download->completion_);
            download->completion_ = nullptr;
            completion(error ? std::nullopt : download->location_, response, error);
            if (download->location_) {
                std::error_code ec;
                std::filesystem::remove(download->location_->path(), ec);
            }
        } else if (delegate) {
            delegate->taskDidCompleteWithError(self, task, error);
        }
        self->forget(task);
    });
}

void URLSession::forget(const std::shared_ptr<URLSessionTask>& task) {
    bool lastOfBackground;
    std::shared_ptr<URLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        tasks_.erase(task->taskIdentifier());
        lastOfBackground = configuration_.identifier && tasks_.empty();
        delegate = delegate_;
    }
    if (lastOfBackground && delegate) {
        auto self = shared_from_this();
        delegateQueue_->addOperation(
            [self, delegate] { delegate->didFinishEventsForBackgroundURLSession(self); });
    }
    invalidateIfDone();
}

void URLSession::invalidateIfDone() {
    std::shared_ptr<URLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        if (!invalidating_ || invalidated_ || !tasks_.empty()) return;
        invalidated_ = true;
        delegate = std::move(delegate_);
        loaderState_.reset();
    }
    if (!delegate) return;
    auto self = shared_from_this();
    delegateQueue_->addOperation([self, delegate] { delegate->didBecomeInvalidWithError(self, std::nullopt); });
}

void URLSession::finishTasksAndInvalidate() {
    {
        std::lock_guard lock(mutex_);
        invalidating_ = true;
    }
    invalidateIfDone();
}

void URLSession::invalidateAndCancel() {
    std::vector<std::shared_ptr<URLSessionTask>> running;
    {
        std::lock_guard lock(mutex_);
        invalidating_ = true;
        for (auto& [id, task] : tasks_) running.push_back(task);
    }
    for (auto& task : running) task->cancel();
    invalidateIfDone();
}

void URLSession::getTasksWithCompletionHandler(
    std::function<void(std::vector<std::shared_ptr<URLSessionDataTask>>,
                       std::vector<std::shared_ptr<URLSessionUploadTask>>,
                       std::vector<std::shared_ptr<URLSessionDownloadTask>>)>
        completion) {
    std::vector<std::shared_ptr<URLSessionDataTask>> data;
    std::vector<std::shared_ptr<URLSessionUploadTask>> uploads;
    std::vector<std::shared_ptr<URLSessionDownloadTask>> downloads;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, task] : tasks_) {
            if (task->state() == URLSessionTask::State::Completed) continue;
            if (auto u = std::dynamic_pointer_cast<URLSessionUploadTask>(task)) {
                uploads.push_back(u);
            } else if (auto d = std::dynamic_pointer_cast<URLSessionDataTask>(task)) {
                data.push_back(d);
            } else if (auto dl = std::dynamic_pointer_cast<URLSessionDownloadTask>(task)) {
                downloads.push_back(dl);
            }
        }
    }
    delegateQueue_->addOperation([completion = std::move(completion), data = std::move(data),
                                  uploads = std::move(uploads), downloads = std::move(downloads)] {
        completion(data, uploads, downloads);
    });
}

void URLSession::getAllTasksWithCompletionHandler(
    std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> completion) {
    std::vector<std::shared_ptr<URLSessionTask>> all;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, task] : tasks_) {
            if (task->state() != URLSessionTask::State::Completed) all.push_back(task);
        }
    }
    delegateQueue_->addOperation([completion = std::move(completion), all = std::move(all)] { completion(all); });
}

URLSession::TrustDecision URLSession::decideServerTrust(const std::shared_ptr<URLSessionTask>& task,
                                                        const std::shared_ptr<SecTrust>& trust,
                                                        const std::string& host, int port,
                                                        const std::string& protocol) {
    struct Answer {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
        URLSessionAuthChallengeDisposition disposition = URLSessionAuthChallengeDisposition::PerformDefaultHandling;
        std::shared_ptr<URLCredential> credential;
    };
    auto answer = std::make_shared<Answer>();
    if (auto delegate = this->delegate()) {
        auto self = shared_from_this();
        URLAuthenticationChallenge challenge(
            URLProtectionSpace(host, port, protocol, URLProtectionSpace::kServerTrust, trust), 0);
        task->enqueueDelegateCall([self, task, delegate, challenge, answer] {
            delegate->taskDidReceiveChallenge(
                self, task, challenge,
                [answer](URLSessionAuthChallengeDisposition disposition, std::shared_ptr<URLCredential> credential) {
                    std::lock_guard lock(answer->mutex);
                    if (answer->done) return;
                    answer->done = true;
                    answer->disposition = disposition;
                    answer->credential = std::move(credential);
                    answer->cv.notify_all();
                });
        });
        std::unique_lock lock(answer->mutex);
        while (!answer->done) {
            // The answer is awaited without limit, as the platform does; a cancelled task stops waiting.
            if (!answer->cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return answer->done; })) {
                auto state = task->state();
                if (state == URLSessionTask::State::Canceling || state == URLSessionTask::State::Completed) {
                    return TrustDecision::Cancelled;
                }
            }
        }
    }
    switch (answer->disposition) {
        case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
            trust->setPolicies({SecPolicy::createSSL(true, host)});
            return trust->evaluateWithError() ? TrustDecision::Accept : TrustDecision::Untrusted;
        case URLSessionAuthChallengeDisposition::UseCredential:
            return answer->credential && answer->credential->serverTrust() ? TrustDecision::Accept
                                                                           : TrustDecision::Cancelled;
        default:
            return TrustDecision::Cancelled;
    }
}

}  // namespace brindlecue::platform
